// crash_writer <writer> <seed> <writes>: writes rows of table kt in database "crash" through
// libmsql.so (data folder $MSQL_DATA_DIR) and reports every write on standard output (CrashProtocol.h).
// The kill tests run it and kill it at random moments.
#include "CrashProtocol.h"

#include "msql.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>

namespace {

// One report line, written whole.
void Report(const std::string& line) {
    const std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) std::_Exit(3); // the test is gone
        done += static_cast<size_t>(n);
    }
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

// Sends a write announced as "B op k v"; true when acknowledged.
bool Write(int sock, char op, int32_t k, int32_t v, const std::string& sql) {
    Report(std::string("B ") + op + " " + std::to_string(k) + " " + std::to_string(v));
    if (msqlQuery(sock, const_cast<char*>(sql.c_str())) < 0) {
        Report(std::string("F ") + msqlGetErrMsg(nullptr));
        return false;
    }
    if (m_result* result = msqlStoreResult()) msqlFreeResult(result);
    Report("A");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: crash_writer <writer> <seed> <writes>\n");
        return 2;
    }
    const int writer = std::atoi(argv[1]);
    std::mt19937 random(static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)));
    const int writes = std::atoi(argv[3]);

    const int sock = msqlConnect(nullptr);
    if (sock < 0 || msqlSelectDB(sock, const_cast<char*>(crash::Database)) < 0) {
        Report(std::string("F ") + msqlGetErrMsg(nullptr));
        return 1;
    }
    std::map<int32_t, int32_t> rows; // k -> v of the rows this writer has written and not deleted
    int32_t nextKey = crash::FirstKey(writer);
    int32_t generation = 0;
    std::set<int32_t> tables; // numbers of the tables this writer has created and not dropped
    int32_t nextTable = 0;
    const std::string mine = " where w = " + std::to_string(writer);
    for (int i = 0; i < writes; ++i) {
        const unsigned choice = random() % 12;
        auto pick = rows.begin();
        if (!rows.empty()) std::advance(pick, static_cast<long>(random() % rows.size()));
        if (rows.empty() || choice < 5) {
            const int32_t k = nextKey++;
            const std::string sql = "insert into kt values (" + std::to_string(k) + ", " +
                                    std::to_string(writer) + ", 0, " + std::to_string(generation) + ", " +
                                    Quoted(crash::Payload(k, 0)) + ")";
            if (Write(sock, 'I', k, 0, sql)) rows[k] = 0;
        } else if (choice < 7) {
            const int32_t k = pick->first, v = pick->second + 1;
            const std::string sql = "update kt set v = " + std::to_string(v) +
                                    ", p = " + Quoted(crash::Payload(k, v)) +
                                    " where k = " + std::to_string(k);
            if (Write(sock, 'U', k, v, sql)) rows[k] = v;
        } else if (choice < 8) {
            const int32_t k = pick->first;
            if (Write(sock, 'D', k, 0, "delete from kt where k = " + std::to_string(k))) rows.erase(k);
        } else if (choice < 9) {
            const int32_t g = generation + 1;
            if (Write(sock, 'G', 0, g, "update kt set g = " + std::to_string(g) + mine)) generation = g;
        } else if (choice == 10 || (choice == 11 && tables.empty())) {
            const int32_t n = nextTable++;
            const std::string name = crash::TableName(writer, n);
            if (Write(sock, 'T', n, 0, "create table " + name + " (a int, b char(4))")) tables.insert(n);
        } else if (choice == 11) {
            const int32_t n = *tables.begin();
            if (Write(sock, 'Z', n, 0, "drop table " + crash::TableName(writer, n))) tables.erase(n);
        } else {
            // Refused by the unique index: the row must stay as it was.
            const int32_t k = pick->first;
            Write(sock, 'X', k, 0,
                  "insert into kt values (" + std::to_string(k) + ", " + std::to_string(writer) +
                      ", 99, 99, 'dup')");
        }
    }
    msqlClose(sock);
    Report("E");
    return 0;
}
