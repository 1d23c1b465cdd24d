// The dataset components against the raw mSQL C API, on the same 10,000- and 100,000-row tables in
// the same run. Every benchmark iteration runs both sides, in alternating order, so that a load
// swing of the shared machine hits both alike; the reported time is Corvane's, and the counters
// give the raw side's time and the ratios (x_raw by wall clock, x_raw_cpu by thread CPU time):
//   Open    TmSQLTable::Open + Close      vs  msqlQuery("select *") + msqlStoreResult + free
//   Scan    every row, every field read through TField (AsInteger, AsFloat, AsString, AsDateTime)
//           vs  msqlDataSeek(0) + msqlFetchRow over the stored result, each value converted
//   Locate  Locate on the unindexed name column (a row near the end)
//           vs  a fetch loop comparing the name column
//   Post    Edit + set a field + Post (UPDATE, then the whole result re-read)
//           vs  a raw UPDATE and a raw re-fetch (query + store) of the table
//   Memory  the most memory an open table took while opening and what it keeps, against the text
//           payload of its values (every operator new of the process is counted, libmsql's too)
// The raw side calls the same client library through Corvane's binding of it (the function
// variables msqlQuery, msqlStoreResult, ...), as an application linking it would call it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <new>
#include <stdexcept>
#include <string>

#include "bench/common/BenchRows.h"
#include "bench/common/CountingAllocator.h"
#include "client/msqlBinding.h"
#include "components/mSQLDbTables.h"

// Every operator new of the process is counted (bench/common/CountingAllocator.cpp).
namespace {

namespace cv = corvane;
using bench::C;

// Database "bench" with one table per row count ("b10000", "b100000"), each with a unique index on
// id; the tables are made on first use. The raw side's socket stays open for the whole run.
class Data {
public:
    static Data& Shared() {
        static Data data;
        return data;
    }

    int Socket() const { return fSocket; }

    // The table of rows rows, created and filled on first use.
    std::string Table(int rows) {
        std::string name = "b" + std::to_string(rows);
        if (fMade.count(rows)) return name;
        Query("create table " + name + " " + bench::kRowColumns);
        for (int start = 0; start < rows; start += 1000)
            Query("insert into " + name + " values " +
                  bench::RowLiterals(start, std::min(start + 1000, rows)));
        Query("create unique index " + name + "_id on " + name + " (id)");
        fMade[rows] = true;
        return name;
    }

    void Query(const std::string& sql) {
        if (cv::msqlQuery(fSocket, C(sql)) < 0)
            throw std::runtime_error(sql + ": " + cv::msqlGetErrMsg(nullptr));
    }

private:
    Data() {
        if (!cv::mSQLLibraryLoaded()) cv::LoadmSQLLibrary();
        fSocket = cv::msqlConnect(C(""));
        if (fSocket < 0) throw std::runtime_error(cv::msqlGetErrMsg(nullptr));
        cv::msqlDropDB(fSocket, C("bench"));
        if (cv::msqlCreateDB(fSocket, C("bench")) < 0 || cv::msqlSelectDB(fSocket, C("bench")) < 0)
            throw std::runtime_error(cv::msqlGetErrMsg(nullptr));
    }

    int fSocket = -1;
    std::map<int, bool> fMade;
};

// A table component on the bench table of rows rows, in natural order (the same SELECT as the
// raw side sends), with its own database component.
struct OpenTable {
    explicit OpenTable(int rows, bool open = true) : database(nullptr), table(nullptr) {
        const std::string name = Data::Shared().Table(rows);
        database.SetDatabaseName("bench");
        table.SetDatabase(&database);
        table.SetTableName(name);
        table.SetDefaultIndex(false);
        database.Open();
        if (open) table.Open();
    }
    cv::TmSQLDatabase database;
    cv::TmSQLTable table;
};

// Wall-clock and thread CPU time of the two sides, summed over the iterations.
class Comparison {
public:
    // Runs raw() and ours() once each, in an order that alternates between calls; returns the
    // wall-clock seconds ours() took.
    template <class Raw, class Ours>
    double Run(Raw&& raw, Ours&& ours) {
        double ourSeconds = 0;
        if (fRuns++ % 2 == 0) {
            Time(raw, fRawWall, fRawCpu);
            ourSeconds = Time(ours, fOurWall, fOurCpu);
        } else {
            ourSeconds = Time(ours, fOurWall, fOurCpu);
            Time(raw, fRawWall, fRawCpu);
        }
        return ourSeconds;
    }

    void Report(benchmark::State& state, int rows) const {
        if (fRuns == 0 || fRawWall <= 0 || fRawCpu <= 0) return;
        state.counters["raw_ms"] = fRawWall / static_cast<double>(fRuns) * 1e3;
        state.counters["x_raw"] = fOurWall / fRawWall;
        state.counters["x_raw_cpu"] = fOurCpu / fRawCpu;
        state.counters["rows"] = rows;
    }

private:
    static double CpuNow() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    }

    template <class F>
    static double Time(F&& f, double& wall, double& cpu) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuNow();
        f();
        cpu += CpuNow() - cpuStart;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        wall += seconds;
        return seconds;
    }

    long fRuns = 0;
    double fRawWall = 0, fRawCpu = 0, fOurWall = 0, fOurCpu = 0;
};

// ---- the raw side's value conversions, what an application would write over the C API

// "DD-Mon-YYYY" as days since 1899-12-30 (the host's date value), without validation.
double RawDate(const char* text) {
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const int day = std::atoi(text);
    const char* dash = std::strchr(text, '-');
    if (!dash) return 0;
    int month = 1;
    for (int m = 0; m < 12; ++m)
        if (std::strncmp(dash + 1, months + 3 * m, 3) == 0) month = m + 1;
    const int year = std::atoi(dash + 5);
    // Days from civil (proleptic Gregorian), shifted to the 1899-12-30 epoch.
    const int y = year - (month <= 2);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;
}

// "HH:MM:SS" as a fraction of a day.
double RawTime(const char* text) {
    const int h = std::atoi(text);
    const int m = std::atoi(text + 3);
    const int s = std::atoi(text + 6);
    return (h * 3600 + m * 60 + s) / 86400.0;
}

// Reads every value of the stored result's rows into typed variables, from the first row.
void RawScan(cv::m_result* result, int rows) {
    cv::msqlDataSeek(result, 0);
    std::string name;
    int seen = 0;
    while (cv::m_row row = cv::msqlFetchRow(result)) {
        int id = row[0] ? std::atoi(row[0]) : 0;
        if (row[1]) name.assign(row[1]);
        double score = row[2] ? std::strtod(row[2], nullptr) : 0;
        double price = row[3] ? std::strtod(row[3], nullptr) : 0;
        double day = row[4] ? RawDate(row[4]) : 0;
        double at = row[5] ? RawTime(row[5]) : 0;
        benchmark::DoNotOptimize(id);
        benchmark::DoNotOptimize(name.data());
        benchmark::DoNotOptimize(score);
        benchmark::DoNotOptimize(price);
        benchmark::DoNotOptimize(day);
        benchmark::DoNotOptimize(at);
        ++seen;
    }
    if (seen != rows) throw std::runtime_error("the raw scan saw a different row count");
}

cv::m_result* RawSelectAll(const std::string& table) {
    if (cv::msqlQuery(Data::Shared().Socket(), C("select * from " + table)) < 0)
        throw std::runtime_error(cv::msqlGetErrMsg(nullptr));
    cv::m_result* result = cv::msqlStoreResult();
    if (!result) throw std::runtime_error("no stored result");
    return result;
}

// ---- benchmarks

void BM_Open(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    OpenTable ours(rows, false);
    const std::string table = ours.table.TableName();
    Comparison comparison;
    for (auto _ : state) {
        const double seconds = comparison.Run([&] { cv::msqlFreeResult(RawSelectAll(table)); },
                                              [&] {
                                                  ours.table.Open();
                                                  if (ours.table.RecordCount() != rows)
                                                      throw std::runtime_error("open saw a different count");
                                                  ours.table.Close();
                                              });
        state.SetIterationTime(seconds);
    }
    comparison.Report(state, rows);
}

void BM_Scan(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    OpenTable ours(rows);
    cv::m_result* result = RawSelectAll(ours.table.TableName());
    host::TField* id = ours.table.FieldByName("id");
    host::TField* name = ours.table.FieldByName("name");
    host::TField* score = ours.table.FieldByName("score");
    host::TField* price = ours.table.FieldByName("price");
    host::TField* day = ours.table.FieldByName("day");
    host::TField* at = ours.table.FieldByName("at");
    Comparison comparison;
    for (auto _ : state) {
        const double seconds =
            comparison.Run([&] { RawScan(result, rows); },
                           [&] {
                               int seen = 0;
                               for (ours.table.First(); !ours.table.Eof(); ours.table.Next()) {
                                   benchmark::DoNotOptimize(id->AsInteger());
                                   benchmark::DoNotOptimize(name->AsString());
                                   benchmark::DoNotOptimize(score->AsFloat());
                                   benchmark::DoNotOptimize(price->AsFloat());
                                   benchmark::DoNotOptimize(day->AsDateTime());
                                   benchmark::DoNotOptimize(at->AsDateTime());
                                   ++seen;
                               }
                               if (seen != rows) throw std::runtime_error("the scan saw a different count");
                           });
        state.SetIterationTime(seconds);
    }
    cv::msqlFreeResult(result);
    comparison.Report(state, rows);
}

void BM_LocateUnindexed(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    OpenTable ours(rows);
    cv::m_result* result = RawSelectAll(ours.table.TableName());
    char key[32];
    std::snprintf(key, sizeof key, "name-%06d", rows - 10);
    Comparison comparison;
    for (auto _ : state) {
        const double seconds = comparison.Run(
            [&] {
                cv::msqlDataSeek(result, 0);
                int at = 0;
                while (cv::m_row row = cv::msqlFetchRow(result)) {
                    if (row[1] && std::strcmp(row[1], key) == 0) break;
                    ++at;
                }
                if (at != rows - 10) throw std::runtime_error("the raw search missed");
            },
            [&] {
                if (!ours.table.Locate("name", host::Variant(key), {}))
                    throw std::runtime_error("Locate missed");
            });
        state.SetIterationTime(seconds);
    }
    cv::msqlFreeResult(result);
    comparison.Report(state, rows);
}

void BM_PostEdit(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    OpenTable ours(rows);
    const std::string table = ours.table.TableName();
    const int rawId = rows / 2;
    const int ourId = rows / 2 + 1;
    if (!ours.table.Locate("id", host::Variant(ourId), {})) throw std::runtime_error("no row to edit");
    host::TField* score = ours.table.FieldByName("score");
    cv::m_result* rawResult = RawSelectAll(table);
    Comparison comparison;
    int value = 0;
    for (auto _ : state) {
        ++value;
        const double seconds = comparison.Run(
            [&] {
                Data::Shared().Query("update " + table + " set score = " + std::to_string(value) +
                                     ".5 where id = " + std::to_string(rawId));
                // The new result is stored before the old one goes, as the dataset's cursor does.
                cv::m_result* previous = rawResult;
                rawResult = RawSelectAll(table);
                cv::msqlFreeResult(previous);
            },
            [&] {
                ours.table.Edit();
                score->SetAsFloat(value + 0.25);
                ours.table.Post();
            });
        state.SetIterationTime(seconds);
    }
    cv::msqlFreeResult(rawResult);
    if (ours.table.FieldByName("id")->AsInteger() != ourId) state.SkipWithError("the edited row was lost");
    comparison.Report(state, rows);
}

// Memory of an open table: measured once (a single iteration), outside any timing.
void BM_OpenMemory(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    OpenTable ours(rows, false);
    const std::string table = ours.table.TableName();
    size_t ourPeak = 0, ourKept = 0, rawPeak = 0, rawKept = 0, payload = 0;
    for (auto _ : state) {
        size_t before = bench::ResetPeak();
        cv::m_result* result = RawSelectAll(table);
        rawPeak = bench::PeakBytes() - before;
        rawKept = bench::LiveBytes() - before;
        payload = 0;
        while (cv::m_row row = cv::msqlFetchRow(result))
            for (int c = 0; c < 6; ++c)
                payload += row[c] ? std::strlen(row[c]) : 0;
        cv::msqlFreeResult(result);

        before = bench::ResetPeak();
        ours.table.Open();
        ourPeak = bench::PeakBytes() - before;
        ourKept = bench::LiveBytes() - before;
        ours.table.Close();
    }
    const double p = static_cast<double>(payload);
    state.counters["rows"] = rows;
    state.counters["payload_per_row"] = p / rows;
    state.counters["peak_per_row"] = static_cast<double>(ourPeak) / rows;
    state.counters["peak_x_payload"] = static_cast<double>(ourPeak) / p;
    state.counters["kept_x_payload"] = static_cast<double>(ourKept) / p;
    state.counters["raw_peak_x_payload"] = static_cast<double>(rawPeak) / p;
    state.counters["raw_kept_x_payload"] = static_cast<double>(rawKept) / p;
    state.counters["x_raw"] = static_cast<double>(ourPeak) / static_cast<double>(rawPeak);
}

BENCHMARK(BM_Open)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateUnindexed)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostEdit)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenMemory)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
