// Rows per second of msqlQuery + msqlStoreResult over a 100,000-row, 6-column table, next to a raw
// sqlite3_step loop that reads the same rows as text from a plain SQLite table, in the same run;
// and the memory the stored result takes against its text payload (the bytes of its values).
#include "bench/common/BenchRows.h"
#include "bench/common/CountingAllocator.h"
#include "msql.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

// Every operator new of the process (libmsql's included) is counted: bench/common/CountingAllocator.cpp.
namespace {

constexpr int kRows = 100000;
constexpr int kBatch = 1000;

using bench::C;

struct Data {
    int sock = -1;
    sqlite3* raw = nullptr;

    Data() {
        const char* dir = std::getenv("MSQL_DATA_DIR");
        std::string folder = dir && *dir ? dir : "./msqldata";
        sock = msqlConnect(C(""));
        if (sock < 0) throw std::runtime_error(msqlGetErrMsg(nullptr));
        msqlDropDB(sock, C("bench"));
        if (msqlCreateDB(sock, C("bench")) < 0 || msqlSelectDB(sock, C("bench")) < 0)
            throw std::runtime_error(msqlGetErrMsg(nullptr));
        Query(std::string("create table bench ") + bench::kRowColumns);

        std::string rawPath = folder + "/raw-bench.sqlite";
        std::remove(rawPath.c_str());
        if (sqlite3_open(rawPath.c_str(), &raw) != SQLITE_OK)
            throw std::runtime_error("cannot open raw database");
        Raw("PRAGMA journal_mode=WAL; CREATE TABLE bench (id, name, score, price, day, at); BEGIN");
        for (int start = 0; start < kRows; start += kBatch) {
            const std::string values = bench::RowLiterals(start, start + kBatch);
            Query("insert into bench values " + values);
            Raw("INSERT INTO bench VALUES " + values);
        }
        Raw("COMMIT");
    }
    ~Data() {
        sqlite3_close(raw);
        msqlClose(sock);
    }
    void Query(const std::string& sql) {
        if (msqlQuery(sock, C(sql)) < 0) throw std::runtime_error(msqlGetErrMsg(nullptr));
    }
    void Raw(const std::string& sql) {
        if (sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(raw));
    }
};

Data& Shared() {
    static Data data;
    return data;
}

void BM_MsqlStoreResult(benchmark::State& state) {
    Data& data = Shared();
    for (auto _ : state) {
        int n = msqlQuery(data.sock, C("select * from bench"));
        m_result* result = msqlStoreResult();
        if (n != kRows || !result) {
            state.SkipWithError("query failed");
            return;
        }
        benchmark::DoNotOptimize(result->queryData);
        msqlFreeResult(result);
    }
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);

    // Memory, measured once outside the timed loop: the peak while querying and storing, and what
    // the stored result keeps, each against the payload.
    const size_t before = bench::ResetPeak();
    msqlQuery(data.sock, C("select * from bench"));
    m_result* result = msqlStoreResult();
    const size_t peak = bench::PeakBytes() - before;
    const size_t kept = bench::LiveBytes() - before;
    size_t payload = 0;
    while (m_row row = msqlFetchRow(result)) {
        for (int c = 0; c < msqlNumFields(result); ++c)
            payload += row[c] ? std::strlen(row[c]) : 0;
    }
    msqlFreeResult(result);
    state.counters["payload_MB"] = static_cast<double>(payload) / 1e6;
    state.counters["peak_x_payload"] = static_cast<double>(peak) / static_cast<double>(payload);
    state.counters["kept_x_payload"] = static_cast<double>(kept) / static_cast<double>(payload);
}
BENCHMARK(BM_MsqlStoreResult)->Unit(benchmark::kMillisecond);

void BM_RawSqliteStep(benchmark::State& state) {
    Data& data = Shared();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(data.raw, "SELECT id, name, score, price, day, at FROM bench", -1, &stmt, nullptr);
    for (auto _ : state) {
        size_t bytes = 0;
        int rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < 6; ++c) {
                benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
                bytes += static_cast<size_t>(sqlite3_column_bytes(stmt, c));
            }
            ++rows;
        }
        sqlite3_reset(stmt);
        benchmark::DoNotOptimize(bytes);
        if (rows != kRows) state.SkipWithError("raw loop saw a different row count");
    }
    sqlite3_finalize(stmt);
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RawSqliteStep)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
