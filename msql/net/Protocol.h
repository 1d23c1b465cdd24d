// Constants of mSQL's wire protocol shared by the client library and msqld: request codes, reply
// markers, the packet limit and the protocol numbers.
#pragma once

#include <cstddef>

namespace msql::net {

// Largest payload of one packet; a row must fit one packet.
constexpr size_t kMaxPacket = 128 * 1024;
// Longest statement: a query request "3:<statement>\n" must fit one packet. The client library
// refuses longer statements on every connection, embedded ones included, so that what runs
// embedded also runs against msqld.
constexpr size_t kMaxQueryLength = kMaxPacket - 3;

// Protocol number announced in the greeting: mSQL 4.x speaks 24, the 2.0 series 23.
constexpr int kDefaultProtocol = 24;
constexpr int kLegacyProtocol = 23;
constexpr int kDefaultTcpPort = 1114;

// Request codes (client -> server); every request is "<code>:<argument>\n".
enum Request : int {
    kQuit = 1,
    kInitDb = 2,
    kQuery = 3,
    kDbList = 4,
    kTableList = 5,
    kFieldList = 6,
    kCreateDb = 7,
    kDropDb = 8,
    kReloadAcl = 9,
    kShutdown = 10,
    kIndexList = 11,
    kServerStats = 12,
    kSeqInfo = 13,
};

// Reply markers: the leading number of a reply packet.
constexpr int kReplyError = -1;
constexpr int kReplyEnd = -100;
// Value length that stands for NULL in rows.
constexpr int kNullLength = -2;

} // namespace msql::net
