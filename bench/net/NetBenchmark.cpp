// The network client and msqld against the embedded engine, in one run on the same data:
//   Select: msqlQuery + msqlStoreResult + fetching every value of SELECT * over 100,000 rows x 6
//           columns (target: TCP <= 1.5x embedded),
//   Insert: 50,000 single-row INSERTs (target: TCP <= 2x embedded),
//   Mixed32: 32 client processes, each a read/write mix over TCP; total requests per second.
// The ratios are printed after the table.
#include "bench/common/BenchRows.h"
#include "msql.h"
#include "server/TestServer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kRows = 100000;
constexpr int kInserts = 50000;
constexpr int kClients = 32;
constexpr int kMixedRequests = 400; // per client

using bench::C;

void Check(int rc, const char* what) {
    if (rc < 0) throw std::runtime_error(std::string(what) + ": " + msqlGetErrMsg(nullptr));
}

// A data folder with database "bench" (table big: 100,000 rows) served by msqld on loopback.
struct Setup {
    std::string folder;
    std::unique_ptr<msqltest::TestServer> server;
    int embedded = -1;
    int tcp = -1;

    Setup() {
        const char* base = std::getenv("MSQL_DATA_DIR");
        folder = std::string(base && *base ? base : "./msqldata") + "/netbench";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        setenv("MSQL_DATA_DIR", folder.c_str(), 1);
        embedded = msqlConnect(C(""));
        Check(embedded, "connect");
        Check(msqlCreateDB(embedded, C("bench")), "create database");
        Check(msqlSelectDB(embedded, C("bench")), "select database");
        Check(msqlQuery(embedded, C(std::string("create table big ") + bench::kRowColumns)), "create table");
        for (int start = 0; start < kRows; start += 1000)
            Check(msqlQuery(embedded, C("insert into big values " + bench::RowLiterals(start, start + 1000))),
                  "insert");
        Check(msqlQuery(embedded, C("create table mix (id int, v int, note char(30))")), "create table");
        Check(msqlQuery(embedded, C("create index mix_id on mix (id)")), "create index");
        std::string values;
        for (int i = 0; i < 1000; ++i)
            values += (i ? ", (" : "(") + std::to_string(i) + ", 0, 'seed')";
        Check(msqlQuery(embedded, C("insert into mix values " + values)), "insert");
        server = std::make_unique<msqltest::TestServer>(folder);
        tcp = msqlConnect(C(server->Host()));
        Check(tcp, "connect over TCP");
        Check(msqlSelectDB(tcp, C("bench")), "select database over TCP");
    }
    ~Setup() {
        msqlClose(tcp);
        msqlClose(embedded);
        server.reset();
        std::filesystem::remove_all(folder);
    }
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

void SelectAll(benchmark::State& state, int sock) {
    for (auto _ : state) {
        if (msqlQuery(sock, C("select * from big")) != kRows) {
            state.SkipWithError(msqlGetErrMsg(nullptr));
            return;
        }
        m_result* result = msqlStoreResult();
        size_t bytes = 0;
        while (m_row row = msqlFetchRow(result)) {
            for (int c = 0; c < 6; ++c)
                bytes += row[c] ? std::char_traits<char>::length(row[c]) : 0;
        }
        benchmark::DoNotOptimize(bytes);
        msqlFreeResult(result);
    }
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Select_Embedded(benchmark::State& state) {
    SelectAll(state, Shared().embedded);
}
void BM_Select_Tcp(benchmark::State& state) {
    SelectAll(state, Shared().tcp);
}
BENCHMARK(BM_Select_Embedded)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Select_Tcp)->Unit(benchmark::kMillisecond)->UseRealTime();

void Inserts(benchmark::State& state, int sock) {
    for (auto _ : state) {
        state.PauseTiming();
        msqlQuery(sock, C("drop table ins"));
        Check(msqlQuery(sock, C("create table ins (id int, name char(20), score real)")), "create table");
        state.ResumeTiming();
        char sql[128];
        for (int i = 0; i < kInserts; ++i) {
            std::snprintf(sql, sizeof sql, "insert into ins values (%d, 'name-%06d', %d.5)", i, i, i % 1000);
            if (msqlQuery(sock, sql) != 1) {
                state.SkipWithError(msqlGetErrMsg(nullptr));
                return;
            }
        }
    }
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(kInserts), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Insert_Embedded(benchmark::State& state) {
    Inserts(state, Shared().embedded);
}
void BM_Insert_Tcp(benchmark::State& state) {
    Inserts(state, Shared().tcp);
}
BENCHMARK(BM_Insert_Embedded)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Insert_Tcp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// One client process of the mix: 70% point reads, 20% inserts, 10% updates. Exit status 0 when
// every request succeeded.
[[noreturn]] void MixedClient(const std::string& host, int seed) {
    int sock = msqlConnect(C(host));
    if (sock < 0 || msqlSelectDB(sock, C("bench")) < 0) _exit(2);
    std::mt19937 random(static_cast<unsigned>(seed));
    char sql[160];
    for (int i = 0; i < kMixedRequests; ++i) {
        const int kind = static_cast<int>(random() % 10);
        const int id = static_cast<int>(random() % 1000);
        if (kind < 7)
            std::snprintf(sql, sizeof sql, "select id, v, note from mix where id = %d", id);
        else if (kind < 9)
            std::snprintf(sql, sizeof sql, "insert into mix values (%d, %d, 'client %d')",
                          1000 + seed * kMixedRequests + i, i, seed);
        else
            std::snprintf(sql, sizeof sql, "update mix set v = %d where id = %d", i, id);
        if (msqlQuery(sock, sql) < 0) {
            std::fprintf(stderr, "client %d: %s: %s\n", seed, sql, msqlGetErrMsg(nullptr));
            _exit(1);
        }
        if (m_result* r = msqlStoreResult()) msqlFreeResult(r);
    }
    msqlClose(sock);
    _exit(0);
}

void BM_Mixed32_Tcp(benchmark::State& state) {
    const std::string host = Shared().server->Host();
    int failed = 0;
    for (auto _ : state) {
        std::vector<pid_t> clients;
        for (int c = 0; c < kClients; ++c) {
            pid_t pid = fork();
            if (pid == 0) MixedClient(host, c + kClients * static_cast<int>(state.iterations()));
            clients.push_back(pid);
        }
        for (pid_t pid : clients) {
            int status = 0;
            waitpid(pid, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
        }
    }
    if (failed) state.SkipWithError((std::to_string(failed) + " clients saw an error").c_str());
    state.counters["clients"] = kClients;
    state.counters["errors"] = failed;
    state.counters["requests_per_s"] = benchmark::Counter(static_cast<double>(kClients * kMixedRequests),
                                                          benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Mixed32_Tcp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Prints the table as usual and remembers each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred) times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintRatio(const std::string& what, const std::string& tcp, const std::string& embedded,
                    double target) {
        auto t = times.find(tcp);
        auto e = times.find(embedded);
        if (t == times.end() || e == times.end() || e->second <= 0) return;
        const double ratio = t->second / e->second;
        std::printf("%-40s %.2fx embedded (target <= %.1fx): %s\n", what.c_str(), ratio, target,
                    ratio <= target ? "met" : "NOT met");
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    reporter.PrintRatio("SELECT * 100,000 rows over TCP:", "BM_Select_Tcp/real_time",
                        "BM_Select_Embedded/real_time", 1.5);
    reporter.PrintRatio("50,000 single-row INSERTs over TCP:", "BM_Insert_Tcp/iterations:2/real_time",
                        "BM_Insert_Embedded/iterations:2/real_time", 2.0);
    benchmark::Shutdown();
    return 0;
}
