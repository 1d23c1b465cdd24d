// One client of msqld: the handshake, then requests answered one at a time on its own engine
// session until the client quits, breaks the protocol, goes silent mid-packet or the server stops.
#pragma once

#include <string>

namespace msql::server {

class Server;

// Serves the connected socket fd (owned by the caller) until the conversation ends.
// `local`: came over the UNIX socket or from a loopback address (admin requests allowed).
void ServeConnection(Server& server, int id, int fd, bool local);

} // namespace msql::server
