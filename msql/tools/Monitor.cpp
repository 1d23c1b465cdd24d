// msql - the mSQL terminal monitor: `msql [-h host] database`. Reads statements ended by \g or ';'
// from a terminal or a pipe, runs them and prints results as tables, errors as "ERROR : text".
// Other commands: \q quit, \p print the buffer, \h help. In a script (input not a terminal) the
// exit status is 1 when any statement failed.
#include "tools/TablePrinter.h"

#include "msql.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

void Usage() {
    std::fprintf(stderr, "usage: msql [-h host] database\n");
}

void Help() {
    std::printf("\nMiniSQL Help!\n\n"
                "The following commands are available :-\n\n"
                "\t\\q\tQuit\n"
                "\t\\g\tGo (Send query to database)\n"
                "\t\\p\tPrint (Print the query buffer)\n"
                "\t\\h\tHelp\n\n"
                "A ';' at the end of a line also sends the query.\n\n");
}

class Monitor {
public:
    Monitor(int sock, bool interactive) : sock_(sock), interactive_(interactive) {}

    // Returns the process exit status.
    int Run() {
        if (interactive_) std::printf("\nWelcome to the miniSQL monitor.  Type \\h for help.\n\n");
        std::string line;
        Prompt();
        while (std::getline(std::cin, line)) {
            if (!Feed(line + "\n")) return Finish();
            Prompt();
        }
        if (!Trimmed(buffer_).empty()) Send();
        return Finish();
    }

private:
    int Finish() {
        if (interactive_) std::printf("\nBye!\n\n");
        return failed_ && !interactive_ ? 1 : 0;
    }

    void Prompt() {
        if (!interactive_) return;
        std::printf(Trimmed(buffer_).empty() ? "mSQL > " : "    -> ");
        std::fflush(stdout);
    }

    static std::string Trimmed(const std::string& s) {
        size_t b = s.find_first_not_of(" \t\r\n");
        if (b == std::string::npos) return {};
        size_t e = s.find_last_not_of(" \t\r\n");
        return s.substr(b, e - b + 1);
    }

    // Adds one input line; runs the buffer at \g or ';'. Returns false on \q.
    bool Feed(const std::string& line) {
        for (size_t i = 0; i < line.size(); ++i) {
            char c = line[i];
            if (inString_) {
                buffer_ += c;
                if (c == '\\' && i + 1 < line.size())
                    buffer_ += line[++i];
                else if (c == '\'')
                    inString_ = false;
                continue;
            }
            if (c == '\'') {
                inString_ = true;
                buffer_ += c;
            } else if (c == '#') {
                // A comment runs to the end of the line; quotes and ';' in it mean nothing.
                buffer_ += line.substr(i);
                return true;
            } else if (c == ';') {
                Send();
            } else if (c == '\\' && i + 1 < line.size()) {
                char command = line[++i];
                if (command == 'g')
                    Send();
                else if (command == 'q')
                    return false;
                else if (command == 'p')
                    std::printf("\nQuery buffer\n------------\n%s\n[continue]\n", buffer_.c_str());
                else if (command == 'h')
                    Help();
                else
                    buffer_ += std::string{'\\', command};
            } else {
                buffer_ += c;
            }
        }
        return true;
    }

    void Send() {
        std::string query = Trimmed(buffer_);
        buffer_.clear();
        if (query.empty()) return;
        if (!interactive_) std::printf("%s\n", query.c_str());
        int count = msqlQuery(sock_, query.data());
        if (count < 0) {
            std::printf("\nERROR : %s\n\n", msqlGetErrMsg(nullptr));
            std::fflush(stdout);
            failed_ = true;
            return;
        }
        std::printf("\nQuery OK.  %d row(s) modified or retrieved.\n\n", count);
        if (m_result* result = msqlStoreResult()) {
            msql::PrintTable(result, stdout);
            std::printf("\n");
            msqlFreeResult(result);
        }
        std::fflush(stdout);
    }

    int sock_;
    bool interactive_;
    bool inString_ = false;
    bool failed_ = false;
    std::string buffer_;
};

} // namespace

int main(int argc, char** argv) {
    std::string host;
    int opt;
    while ((opt = ::getopt(argc, argv, "h:")) != -1) {
        if (opt != 'h') {
            Usage();
            return 2;
        }
        host = optarg;
    }
    if (optind != argc - 1) {
        Usage();
        return 2;
    }
    int sock = msqlConnect(host.data());
    if (sock < 0) {
        std::printf("ERROR : %s\n", msqlGetErrMsg(nullptr));
        return 1;
    }
    if (msqlSelectDB(sock, argv[optind]) < 0) {
        std::printf("ERROR : %s\n", msqlGetErrMsg(nullptr));
        msqlClose(sock);
        return 1;
    }
    int status = Monitor(sock, ::isatty(STDIN_FILENO) != 0).Run();
    msqlClose(sock);
    return status;
}
