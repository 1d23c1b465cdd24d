// Scanning a 100,000-row, 6-column table (int, char(20), real, money, date, time) through the engine
// cursor (GetNextRecord and GetField of every field, the path the dataset components take for each
// row) against a raw client loop (msqlFetchRow over the stored result, converting the same texts to
// the same binary values), in the same run. Both sides call the client library through the same
// run-time binding, and both produce the same checksum of the values they read.
//
//   BM_ScanRatio       the per-row path: a scan of an open cursor against a scan of a stored result
//   BM_OpenScanRatio   the same, each side also running the statement and storing its result
//   BM_RawScan, BM_CorvaneScan   one side each (for profiling one side alone); allocs_per_row counts
//                      every operator new of the process during the engine cursor's scan
//   BM_ClassicSeekScan/N  the engine cursor's scan of N rows (10,000 and 100,000) with a classic client
//                      library's msqlDataSeek, which walks the row list from the first row: the time
//                      per row and the rows walked per row must not grow with N
//   BM_ClassicSeekEveryRow/10000  a raw loop that seeks before every fetch with that seek (how rows
//                      were reached before): the walk grows with the row number, the scan is quadratic
//
// The ratio benchmarks time each side on the thread's CPU clock, alternating the sides within every
// iteration, so that the load of a shared machine falls on both alike; x_raw is the Corvane time
// over the raw time. Instruction counts: run one side under valgrind with
//   --tool=callgrind --toggle-collect='*ScanCorvane*' (or '*ScanRaw*') --benchmark_filter=BM_CorvaneScan
#include <benchmark/benchmark.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "access/mSQLAccess.h"
#include "bench/common/CountingAllocator.h"
#include "client/msqlTypes.h"
#include "tests/access/ClassicSeek.h"

// Every operator new of the process is counted (bench/common/CountingAllocator.cpp).
namespace {

using namespace corvane;

constexpr int kRows = 100000;
constexpr int kSmallRows = 10000;
constexpr int kBatch = 1000;
constexpr int kNameLength = 20;
constexpr const char* kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";

std::string ClientError() {
    char text[512] = {};
    msqlGetErrMsg(text);
    return text;
}

// The i-th row as an SQL literal: dates run over every month of thirty years.
std::string RowLiteral(int i) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "(%d, 'name-%06d', %d.%02d, %d.%02d, '%02d-%.3s-%d', '%02d:%02d:%02d')", i,
                  i, i % 1000, i % 100, i % 5000, i % 100, i % 28 + 1, kMonths + 3 * (i % 12), 1990 + i % 30,
                  i % 24, i % 60, (i * 7) % 60);
    return buf;
}

// The values of one row in host form, and a checksum of everything read.
struct TRowValues {
    int32_t id = 0;
    char name[kNameLength + 1] = {};
    double score = 0;
    double price = 0;
    int32_t day = 0;   // day number, 0001-01-01 = 1
    int32_t msecs = 0; // milliseconds since midnight
    double checksum = 0;

    void Add() {
        checksum += id + static_cast<double>(std::strlen(name)) + name[kNameLength - 1] + score + price +
                    day + msecs / 1000.0;
    }
};

// ---- The raw client loop's conversions: what an application reading the texts itself would write.

int32_t RawInt(const char* text) {
    int32_t value = 0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

double RawFloat(const char* text) {
    double value = 0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

int Digits(const char* text, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// "DD-Mon-YYYY" to the day number (0001-01-01 is day 1).
int32_t RawDate(const char* text) {
    static constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int day = Digits(text, 2);
    int month = 1;
    for (int m = 0; m < 12; ++m) {
        if (std::memcmp(text + 3, kMonths + 3 * m, 3) == 0) {
            month = m + 1;
            break;
        }
    }
    const int year = Digits(text + 7, 4);
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const int before = year - 1;
    return before * 365 + before / 4 - before / 100 + before / 400 + kDaysBefore[month - 1] +
           (leap && month > 2 ? 1 : 0) + day;
}

// "HH:MM:SS" (or an empty text, midnight) to milliseconds since midnight.
int32_t RawTime(const char* text) {
    if (std::strlen(text) < 8) return 0;
    return ((Digits(text, 2) * 60 + Digits(text + 3, 2)) * 60 + Digits(text + 6, 2)) * 1000;
}

[[gnu::noinline]] int ScanRaw(m_result* result, TRowValues& values) {
    int rows = 0;
    msqlDataSeek(result, 0);
    while (m_row row = msqlFetchRow(result)) {
        values.id = row[0] ? RawInt(row[0]) : 0;
        if (row[1]) {
            const size_t length = strnlen(row[1], kNameLength);
            std::memcpy(values.name, row[1], length);
            values.name[length] = 0;
        }
        values.score = row[2] ? RawFloat(row[2]) : 0;
        values.price = row[3] ? RawFloat(row[3]) : 0;
        values.day = row[4] ? RawDate(row[4]) : 0;
        values.msecs = row[5] ? RawTime(row[5]) : 0;
        values.Add();
        ++rows;
    }
    return rows;
}

// ---- The engine cursor

[[gnu::noinline]] int ScanCorvane(TmSQLEngine& engine, hDBICur cursor, uint8_t* record, TRowValues& values) {
    int rows = 0;
    bool blank = false;
    engine.SetToBegin(cursor);
    while (engine.GetNextRecord(cursor, dbiNOLOCK, record, nullptr) == DBIERR_NONE) {
        engine.GetField(cursor, 1, record, &values.id, blank);
        engine.GetField(cursor, 2, record, values.name, blank);
        engine.GetField(cursor, 3, record, &values.score, blank);
        engine.GetField(cursor, 4, record, &values.price, blank);
        engine.GetField(cursor, 5, record, &values.day, blank);
        engine.GetField(cursor, 6, record, &values.msecs, blank);
        values.Add();
        ++rows;
    }
    return rows;
}

// The bench database: the table for both sides, a raw socket and an engine database handle.
struct TData {
    int sock = -1;
    TmSQLEngine engine;
    hDBIDb db = nullptr;

    TData() {
        if (!TryLoadmSQLLibrary()) throw std::runtime_error(mSQLLoadErrorText());
        sock = msqlConnect("");
        if (sock < 0) throw std::runtime_error(ClientError());
        msqlDropDB(sock, "bench_access");
        if (msqlCreateDB(sock, "bench_access") < 0 || msqlSelectDB(sock, "bench_access") < 0)
            throw std::runtime_error(ClientError());
        Fill("bench", kRows);
        Fill("bench_small", kSmallRows);
        host::TStringList params;
        params.Add("DatabaseName=bench_access");
        if (engine.OpenDatabase(params, db) != DBIERR_NONE)
            throw std::runtime_error(engine.GetNativeErrorMsg());
    }
    ~TData() {
        engine.CloseDatabase(db);
        msqlClose(sock);
    }
    TData(const TData&) = delete;
    TData& operator=(const TData&) = delete;

    // table := the first rows rows.
    void Fill(const std::string& table, int rows) {
        Query("create table " + table +
              " (id int, name char(20), score real, price money, day date, at time)");
        for (int start = 0; start < rows; start += kBatch) {
            std::string values;
            for (int i = start; i < start + kBatch; ++i)
                values += (i > start ? ", " : "") + RowLiteral(i);
            Query("insert into " + table + " values " + values);
        }
    }

    void Query(const std::string& sql) {
        if (msqlQuery(sock, sql.c_str()) < 0) throw std::runtime_error(ClientError());
        if (m_result* result = msqlStoreResult()) msqlFreeResult(result);
    }

    m_result* Store(const std::string& table = "bench") {
        if (msqlQuery(sock, ("select * from " + table).c_str()) < 0) throw std::runtime_error(ClientError());
        return msqlStoreResult();
    }

    hDBICur Open(const std::string& table = "bench") {
        hDBICur cursor = nullptr;
        if (engine.OpenTable(db, table, "", "", "", 0, dbiREADONLY, dbiOPENSHARED, xltNONE, false, nullptr,
                             cursor) != DBIERR_NONE)
            throw std::runtime_error(engine.GetNativeErrorMsg());
        return cursor;
    }

    std::vector<uint8_t> Record(hDBICur cursor) {
        CURProps props;
        engine.GetCursorProps(cursor, props);
        return std::vector<uint8_t>(props.iRecBufSize, 0);
    }
};

TData& Shared() {
    static TData data;
    return data;
}

double CpuNow() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void ReportRatio(benchmark::State& state, double raw, double corvane, int64_t pairs) {
    const double rows = static_cast<double>(kRows) * static_cast<double>(pairs);
    state.counters["raw_ns_row"] = raw / rows * 1e9;
    state.counters["corvane_ns_row"] = corvane / rows * 1e9;
    state.counters["x_raw"] = corvane / raw;
}

// Both sides must have read the same values.
bool SameValues(benchmark::State& state, int rawRows, int corvaneRows, const TRowValues& raw,
                const TRowValues& corvane) {
    if (rawRows == kRows && corvaneRows == kRows && raw.checksum == corvane.checksum) return true;
    state.SkipWithError("the two scans read different rows or values");
    return false;
}

void BM_ScanRatio(benchmark::State& state) {
    TData& data = Shared();
    m_result* result = data.Store();
    hDBICur cursor = data.Open();
    std::vector<uint8_t> record = data.Record(cursor);
    double raw = 0, corvane = 0;
    for (auto _ : state) {
        TRowValues rawValues, corvaneValues;
        const double t0 = CpuNow();
        const int rawRows = ScanRaw(result, rawValues);
        const double t1 = CpuNow();
        const int corvaneRows = ScanCorvane(data.engine, cursor, record.data(), corvaneValues);
        const double t2 = CpuNow();
        raw += t1 - t0;
        corvane += t2 - t1;
        if (!SameValues(state, rawRows, corvaneRows, rawValues, corvaneValues)) break;
    }
    ReportRatio(state, raw, corvane, state.iterations());
    data.engine.CloseCursor(cursor);
    msqlFreeResult(result);
}
BENCHMARK(BM_ScanRatio)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_OpenScanRatio(benchmark::State& state) {
    TData& data = Shared();
    double raw = 0, corvane = 0;
    for (auto _ : state) {
        TRowValues rawValues, corvaneValues;
        const double t0 = CpuNow();
        m_result* result = data.Store();
        const int rawRows = ScanRaw(result, rawValues);
        msqlFreeResult(result);
        const double t1 = CpuNow();
        hDBICur cursor = data.Open();
        std::vector<uint8_t> record = data.Record(cursor);
        const int corvaneRows = ScanCorvane(data.engine, cursor, record.data(), corvaneValues);
        data.engine.CloseCursor(cursor);
        const double t2 = CpuNow();
        raw += t1 - t0;
        corvane += t2 - t1;
        if (!SameValues(state, rawRows, corvaneRows, rawValues, corvaneValues)) break;
    }
    ReportRatio(state, raw, corvane, state.iterations());
}
BENCHMARK(BM_OpenScanRatio)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_RawScan(benchmark::State& state) {
    TData& data = Shared();
    m_result* result = data.Store();
    for (auto _ : state) {
        TRowValues values;
        benchmark::DoNotOptimize(ScanRaw(result, values));
        benchmark::DoNotOptimize(values.checksum);
    }
    msqlFreeResult(result);
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RawScan)->Unit(benchmark::kMillisecond);

void BM_CorvaneScan(benchmark::State& state) {
    TData& data = Shared();
    hDBICur cursor = data.Open();
    std::vector<uint8_t> record = data.Record(cursor);
    int64_t allocated = 0;
    for (auto _ : state) {
        TRowValues values;
        const int64_t before = bench::Allocations();
        benchmark::DoNotOptimize(ScanCorvane(data.engine, cursor, record.data(), values));
        allocated += bench::Allocations() - before;
        benchmark::DoNotOptimize(values.checksum);
    }
    data.engine.CloseCursor(cursor);
    state.counters["rows_per_s"] =
        benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["allocs_per_row"] = static_cast<double>(allocated) /
                                       (static_cast<double>(kRows) * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_CorvaneScan)->Unit(benchmark::kMillisecond);

void BM_ClassicSeekScan(benchmark::State& state) {
    TData& data = Shared();
    const int rows = static_cast<int>(state.range(0));
    hDBICur cursor = data.Open(rows == kRows ? "bench" : "bench_small");
    std::vector<uint8_t> record = data.Record(cursor);
    const corvane::test::ClassicRowSeek seek;
    double cpu = 0;
    for (auto _ : state) {
        TRowValues values;
        const double t0 = CpuNow();
        const int read = ScanCorvane(data.engine, cursor, record.data(), values);
        cpu += CpuNow() - t0;
        if (read != rows) {
            state.SkipWithError("the scan read another number of rows");
            break;
        }
        benchmark::DoNotOptimize(values.checksum);
    }
    data.engine.CloseCursor(cursor);
    const double read = static_cast<double>(rows) * static_cast<double>(state.iterations());
    state.counters["cpu_ns_row"] = cpu / read * 1e9;
    state.counters["walked_per_row"] = static_cast<double>(corvane::test::ClassicRowSeek::Steps()) / read;
    state.counters["seeks_per_scan"] =
        static_cast<double>(corvane::test::ClassicRowSeek::Seeks()) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ClassicSeekScan)->Arg(kSmallRows)->Arg(kRows)->Unit(benchmark::kMillisecond);

void BM_ClassicSeekEveryRow(benchmark::State& state) {
    TData& data = Shared();
    const int rows = static_cast<int>(state.range(0));
    m_result* result = data.Store(rows == kRows ? "bench" : "bench_small");
    const corvane::test::ClassicRowSeek seek;
    for (auto _ : state) {
        TRowValues values;
        for (int i = 0; i < rows; ++i) {
            msqlDataSeek(result, i);
            m_row row = msqlFetchRow(result);
            values.id = row && row[0] ? RawInt(row[0]) : 0;
            values.Add();
        }
        benchmark::DoNotOptimize(values.checksum);
    }
    msqlFreeResult(result);
    const double read = static_cast<double>(rows) * static_cast<double>(state.iterations());
    state.counters["walked_per_row"] = static_cast<double>(corvane::test::ClassicRowSeek::Steps()) / read;
}
BENCHMARK(BM_ClassicSeekEveryRow)->Arg(kSmallRows)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
