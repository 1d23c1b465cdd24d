// The client's reading of server replies (mSQL protocol 23/24): greeting, OK/count/error packets,
// SELECT results, lists, field descriptions and sequence information. Works on any source of
// packets so that it can be driven without a socket.
#pragma once

#include "engine/Catalog.h"
#include "engine/Error.h"
#include "engine/Executor.h"
#include "engine/ResultSet.h"

#include <string>
#include <string_view>

namespace msql {

// The stream of reply packets of one connection. Next throws Error when the connection fails;
// the returned payload is valid until the following call.
class PacketSource {
public:
    virtual ~PacketSource() = default;
    virtual std::string_view Next() = 0;
};

// A reply that breaks the protocol: the connection can no longer be used.
class BadReply : public Error {
public:
    BadReply() : Error("Bad packet received from server") {}
};

struct Greeting {
    int protocol = 0;
    std::string serverInfo;
};

// The server's first packet. Throws Error for "-1:" refusals, a packet without ':', a protocol
// number other than `protocol`, or a greeting without server version.
Greeting ParseGreeting(std::string_view payload, int protocol);

// Throws Error with the text of a "-1:" packet ("Unknown mSQL error" when there is none).
void ThrowIfError(std::string_view payload);

// A reply to QUERY: a count, or a SELECT's rows and field descriptions.
QueryOutcome ReadQueryReply(PacketSource& source);
// List rows (one value each) up to "-100:", as a list result with column `column`.
ResultSet ReadListReply(PacketSource& source, const std::string& column);
// Field descriptions up to "-100:" (FIELD_LIST), as a result without rows.
ResultSet ReadFieldListReply(PacketSource& source);
// "1:<step>:<value>".
SequenceInfo ReadSequenceReply(PacketSource& source);
// Any packet but an error (INIT_DB's "1:", the admin commands' "-100:").
void ReadAcknowledgement(PacketSource& source);

} // namespace msql
