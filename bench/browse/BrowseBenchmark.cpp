// A grid of 25 rows on a 100,000-row table: TmSQLTable opened under a GridLink and moved to its
// last row (what a user does who opens a big table and presses Ctrl+End), and paging through it
// screen by screen; beside them the raw client API storing the same result and fetching the last
// 25 rows, in the same run. Counters: cells_read is what the grid read per iteration (the rows it
// shows, never the whole table).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "client/msqlBinding.h"
#include "components/mSQLDbTables.h"
#include "ui/DataLinks.h"

namespace {

using namespace corvane;

constexpr int kRows = 100000;
constexpr int kBatch = 500;
constexpr int kVisibleRows = 25;

struct Data {
    int sock = -1;
    Data() {
        if (!TryLoadmSQLLibrary()) throw std::runtime_error(mSQLLoadErrorText());
        sock = msqlConnect("");
        if (sock < 0) throw std::runtime_error(msqlGetErrMsg(nullptr));
        msqlDropDB(sock, "browse");
        if (msqlCreateDB(sock, "browse") < 0 || msqlSelectDB(sock, "browse") < 0)
            throw std::runtime_error(msqlGetErrMsg(nullptr));
        Query("create table big (id int, name char(20), city char(16), amount money, born date, note "
              "char(30))");
        for (int start = 0; start < kRows; start += kBatch) {
            std::string values;
            for (int i = start; i < start + kBatch; ++i)
                values += (i > start ? ", (" : "(") + std::to_string(i + 1) + ", 'Name " + std::to_string(i) +
                          "', 'City " + std::to_string(i % 97) + "', " + std::to_string(i % 10000) +
                          ".25, '" + std::to_string(1 + i % 28) + "-Mar-1990', 'row " + std::to_string(i) +
                          "')";
            Query("insert into big values " + values);
        }
    }
    ~Data() { msqlClose(sock); }
    void Query(const std::string& sql) {
        if (msqlQuery(sock, sql.c_str()) < 0) throw std::runtime_error(msqlGetErrMsg(nullptr));
        if (m_result* result = msqlStoreResult()) msqlFreeResult(result);
    }
};

Data& Shared() {
    static Data data;
    return data;
}

// A grid's link that counts the cells it reads.
struct CountingGrid : ui::GridLink {
    long cells = 0;
    CountingGrid() {
        onChange = [this] { cells += static_cast<long>(Rows()) * static_cast<long>(Columns().size()); };
    }
};

struct Browser {
    TmSQLDatabase database{nullptr};
    TmSQLTable table{nullptr};
    host::TDataSource source{nullptr};
    CountingGrid grid;
    Browser() {
        database.SetDatabaseName("browse");
        database.SetLoginPrompt(false);
        table.SetDatabase(&database);
        table.SetTableName("big");
        source.SetDataSet(&table);
        grid.SetVisibleRows(kVisibleRows);
        grid.SetDataSource(&source);
    }
    ~Browser() { grid.SetDataSource(nullptr); }
};

void BM_GridOpenAndGoToEnd(benchmark::State& state) {
    Shared();
    long cells = 0;
    for (auto _ : state) {
        Browser browser;
        browser.table.Open();
        browser.table.Last();
        if (browser.grid.Rows() != kVisibleRows ||
            browser.grid.Cell(kVisibleRows - 1, 0) != std::to_string(kRows))
            state.SkipWithError("the grid does not show the table's last rows");
        cells += browser.grid.cells;
        browser.table.Close();
    }
    state.counters["rows"] = kRows;
    state.counters["cells_read"] = static_cast<double>(cells) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_GridOpenAndGoToEnd)->Unit(benchmark::kMillisecond);

void BM_RawStoreAndFetchLastScreen(benchmark::State& state) {
    Data& data = Shared();
    for (auto _ : state) {
        if (msqlQuery(data.sock, "select * from big") < 0) state.SkipWithError(msqlGetErrMsg(nullptr));
        m_result* result = msqlStoreResult();
        msqlDataSeek(result, kRows - kVisibleRows);
        int fetched = 0;
        while (m_row row = msqlFetchRow(result)) {
            benchmark::DoNotOptimize(row[0]);
            ++fetched;
        }
        if (fetched != kVisibleRows) state.SkipWithError("wrong row count");
        msqlFreeResult(result);
    }
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_RawStoreAndFetchLastScreen)->Unit(benchmark::kMillisecond);

// Page Down through the open table: one screen per iteration, wrapping to the top at the end.
void BM_GridPageDown(benchmark::State& state) {
    Shared();
    Browser browser;
    browser.table.Open();
    for (auto _ : state) {
        if (browser.grid.Scroll(kVisibleRows) == 0) {
            state.PauseTiming();
            browser.table.First();
            state.ResumeTiming();
        }
    }
    state.counters["rows_per_page"] = kVisibleRows;
    browser.table.Close();
}
BENCHMARK(BM_GridPageDown)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
