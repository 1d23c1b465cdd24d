// msqld - the mSQL server over the embedded engine. See `msqld --help` and msql/README.md.
// SIGTERM and SIGINT stop it like `msqladmin shutdown`: requests in flight finish first.
#include "server/Server.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

msql::server::Server* gServer = nullptr;

void OnStopSignal(int) {
    if (gServer) gServer->RequestStop();
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        bool help = false;
        msql::server::ServerOptions options = msql::server::ParseOptions(args, help);
        if (help) {
            std::fputs(msql::server::UsageText(), stdout);
            return 0;
        }
        std::signal(SIGPIPE, SIG_IGN);
        msql::server::Server server(std::move(options));
        gServer = &server;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
        server.Listen();
        server.Run();
        gServer = nullptr;
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "msqld: %s\n", e.what());
        if (std::string(e.what()).rfind("unknown option", 0) == 0)
            std::fputs(msql::server::UsageText(), stderr);
        return 1;
    }
}
