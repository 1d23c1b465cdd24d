// msqladmin - database administration, on the embedded engine or (with -h) an mSQL server:
//   msqladmin [-h host] [-f] create <db> | drop <db> | list | version | stats | shutdown | reload
// `drop` asks for confirmation on a terminal unless -f is given.
#include "msql.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: msqladmin [-h host] [-f] create <db> | drop <db> | list | version | stats | shutdown"
                 " | reload\n");
    return 2;
}

int Fail() {
    std::fprintf(stderr, "ERROR : %s\n", msqlGetErrMsg(nullptr));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string host;
    bool force = false;
    int opt;
    while ((opt = ::getopt(argc, argv, "h:f")) != -1) {
        if (opt == 'h')
            host = optarg;
        else if (opt == 'f')
            force = true;
        else
            return Usage();
    }
    if (optind >= argc) return Usage();
    std::string command = argv[optind];
    std::string db = optind + 1 < argc ? argv[optind + 1] : "";
    if ((command == "create" || command == "drop") && db.empty()) return Usage();

    int sock = msqlConnect(host.data());
    if (sock < 0) return Fail();
    int status = 0;
    if (command == "create") {
        if (msqlCreateDB(sock, db.data()) < 0)
            status = Fail();
        else
            std::printf("Database \"%s\" created.\n", db.c_str());
    } else if (command == "drop") {
        if (!force && ::isatty(STDIN_FILENO)) {
            std::printf("Dropping the database is potentially a very bad thing to do.\n"
                        "Any data stored in the database will be destroyed.\n\n"
                        "Do you really want to drop the \"%s\" database?  [Y/N] ",
                        db.c_str());
            std::fflush(stdout);
            std::string answer;
            std::getline(std::cin, answer);
            if (answer.empty() || (answer[0] != 'y' && answer[0] != 'Y')) {
                std::printf("\nOK, aborting database drop!\n");
                msqlClose(sock);
                return 0;
            }
        }
        if (msqlDropDB(sock, db.data()) < 0)
            status = Fail();
        else
            std::printf("Database \"%s\" dropped\n", db.c_str());
    } else if (command == "list") {
        m_result* list = msqlListDBs(sock);
        if (!list) {
            status = Fail();
        } else {
            while (m_row row = msqlFetchRow(list))
                std::printf("%s\n", row[0]);
            msqlFreeResult(list);
        }
    } else if (command == "version") {
        std::printf("Version Details :-\n\n\tmsqladmin version \t2.0\n\tmSQL server version \t%s\n"
                    "\tmSQL protocol version \t%d\n\tmSQL connection \t%s\n",
                    msqlGetServerInfo(), msqlGetProtoInfo(), msqlGetHostInfo());
    } else if (command == "stats") {
        if (msqlGetServerStats(sock) < 0) status = Fail();
    } else if (command == "shutdown") {
        // The server answers, then finishes the requests in flight of other clients and exits.
        if (msqlShutdown(sock) < 0) status = Fail();
    } else if (command == "reload") {
        if (msqlReloadAcls(sock) < 0) status = Fail();
    } else {
        status = Usage();
    }
    msqlClose(sock);
    return status;
}
