// Single-row INSERTs through libmsql on the embedded engine (each its own statement and
// transaction, as a client sends them), next to the same rows written by a raw SQLite loop with
// one prepared statement in autocommit mode, on the same kind of file, in the same run.
#include "msql.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

constexpr int kRows = 50000;

char* C(const std::string& s) {
    return const_cast<char*>(s.c_str());
}

std::string TableName(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "t%d", n);
    return name;
}

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + ": " + msqlGetErrMsg(nullptr));
}

void BM_MsqlSingleRowInsert(benchmark::State& state) {
    int sock = msqlConnect(C(""));
    Check(sock >= 0, "connect");
    msqlDropDB(sock, C("insert_bench"));
    Check(msqlCreateDB(sock, C("insert_bench")) == 0 && msqlSelectDB(sock, C("insert_bench")) == 0, "create");
    char sql[200];
    int table = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::string name = TableName(table++);
        std::snprintf(sql, sizeof sql,
                      "create table %s (id int, name char(20), score real, price money, day date, at time)",
                      name.c_str());
        Check(msqlQuery(sock, sql) == 1, "create table");
        state.ResumeTiming();
        for (int i = 0; i < kRows; ++i) {
            std::snprintf(sql, sizeof sql,
                          "insert into %s values (%d, 'name-%06d', %d.%02d, %d.%02d, '%d-Mar-1999', "
                          "'%02d:%02d:%02d')",
                          name.c_str(), i, i, i % 1000, i % 100, i % 5000, i % 100, i % 28 + 1, i % 24,
                          i % 60, (i * 7) % 60);
            if (msqlQuery(sock, sql) != 1) {
                state.SkipWithError(msqlGetErrMsg(nullptr));
                return;
            }
        }
    }
    msqlDropDB(sock, C("insert_bench"));
    msqlClose(sock);
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MsqlSingleRowInsert)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_RawSqliteSingleRowInsert(benchmark::State& state) {
    const char* dir = std::getenv("MSQL_DATA_DIR");
    std::string path = std::string(dir && *dir ? dir : ".") + "/raw-insert.sqlite";
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open raw database");
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    int table = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::string name = TableName(table++);
        char sql[200];
        std::snprintf(sql, sizeof sql, "CREATE TABLE %s (c0, c1, c2, p2, c3, c4, c5, ts)", name.c_str());
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_stmt* stmt = nullptr;
        std::snprintf(sql, sizeof sql, "INSERT INTO %s VALUES (?, ?, ?, ?, ?, ?, ?, ?)", name.c_str());
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        state.ResumeTiming();
        char text[32];
        for (int i = 0; i < kRows; ++i) {
            std::snprintf(text, sizeof text, "name-%06d", i);
            sqlite3_bind_int(stmt, 1, i);
            sqlite3_bind_text(stmt, 2, text, -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(stmt, 3, i % 1000 + (i % 100) / 100.0);
            sqlite3_bind_int(stmt, 4, 2);
            sqlite3_bind_int(stmt, 5, (i % 5000) * 100 + i % 100);
            sqlite3_bind_int(stmt, 6, (1999 + 4096) * 512 + 3 * 32 + i % 28 + 1);
            sqlite3_bind_int(stmt, 7, (i % 24) * 4096 + (i % 60) * 64 + (i * 7) % 60);
            sqlite3_bind_int(stmt, 8, 0);
            if (sqlite3_step(stmt) != SQLITE_DONE) {
                state.SkipWithError(sqlite3_errmsg(db));
                break;
            }
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    std::remove(path.c_str());
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RawSqliteSingleRowInsert)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
