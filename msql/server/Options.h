// msqld's settings: an msql.conf-style file (--config, else $CONF_FILE) overridden by flags.
#pragma once

#include <string>
#include <vector>

namespace msql::server {

struct ServerOptions {
    std::string configFile; // the file read, empty when none
    std::string dataDir;    // databases (<name>.msql)
    std::string listen;     // TCP address to bind; empty: no TCP listener
    int port = 1114;        // TCP port; 0 picks a free one
    std::string unixSocket; // UNIX socket path; empty: none
    std::string pidFile;    // empty: none
    std::string adminUser = "root";
    int protocol = 24;
    int maxConnections = 250;
    int timeoutMs = 10000; // for the rest of a packet, the handshake and a reply the client does not take
    int readyFd = -1;      // receives "<port>\n" once listening
};

// Reads the configuration and the command line. Throws std::runtime_error with a message for bad
// input; sets `help` when --help was given.
ServerOptions ParseOptions(const std::vector<std::string>& args, bool& help);

const char* UsageText();

} // namespace msql::server
