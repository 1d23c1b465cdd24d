// A connection to an mSQL server (ours or any other speaking protocol 23/24) over TCP or a UNIX
// socket.
#pragma once

#include "client/Backend.h"

#include <memory>
#include <string>
#include <string_view>

namespace msql {

// Where a host text leads. Forms: "/path/to/socket" (a UNIX socket; any text starting with '/'),
// "name" or "address" (TCP at the configured port), "name:port", "[v6 address]:port", or a bare
// IPv6 address ("::1").
struct RemoteAddress {
    bool unixSocket = false;
    std::string path; // UNIX socket
    std::string host; // TCP host name or address
    int port = 0;     // TCP port
};

// Throws Error "Unknown mSQL Server Host (<host>)" for a malformed port.
RemoteAddress ParseHostForm(std::string_view host, int defaultPort);

// Connects, reads the greeting (which must announce `protocol`), sends the user name and reads
// the acknowledgement. Throws Error with mSQL's client texts.
std::unique_ptr<Backend> ConnectRemote(const std::string& host, const std::string& user, int defaultPort,
                                       int protocol);

} // namespace msql
