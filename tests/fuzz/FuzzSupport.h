// Shared set-up of the fuzz targets: a native cursor over a table of every mSQL type on the embedded
// engine (its rows read once into work buffers, for the filter evaluator), and the host's view of the
// same table as an open in-memory dataset (for the filter text parser).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "access/mSQLAccess.h"
#include "client/msqlBinding.h"
#include "host/MemDataSet.h"
#include "host/Strings.h"

namespace corvane::fuzz {

// The table f both views describe: field numbers follow the column order.
inline const char* const TableStatements[] = {
    ("create table f (id int, name char(10), amount real, price money, born date, at time, note text(20), "
     "code uint)"),
    "insert into f values (1, 'Smith', 1.5, 10.25, '05-Mar-1999', '13:05:09', 'x', 7)",
    "insert into f values (2, 'SMYTHE', -2.5, 20.00, '06-Mar-1999', '08:00:00', NULL, 8)",
    "insert into f values (3, '', 3.5e10, NULL, NULL, NULL, 'y', 4294967295)",
    "insert into f values (4, NULL, NULL, 5.00, '01-Jan-2000', '23:59:59', NULL, NULL)",
    "insert into f values (-2147483647, 'Smi%_\\\\', 0.5, 0.5, '29-Feb-2000', '00:00:00', NULL, 0)",
};

// The native cursor on f and one work buffer per row, made once per process.
class NativeTable {
public:
    static NativeTable& Get() {
        static NativeTable table;
        return table;
    }
    TNativeDataSet& Cursor() { return *fCursor; }
    std::vector<std::vector<uint8_t>>& Rows() { return fRows; }

private:
    NativeTable() {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvane-fuzz.XXXXXX").string();
        if (!mkdtemp(pattern.data())) Fail("no temporary folder");
        fDataDir = pattern;
        setenv("MSQL_DATA_DIR", fDataDir.c_str(), 1);
        if (!TryLoadmSQLLibrary(FUZZ_CLIENT_LIBRARY) || !mSQLLibraryComplete()) Fail(mSQLLoadErrorText());
        const int admin = msqlConnect("");
        if (admin < 0 || msqlCreateDB(admin, "fuzz") < 0 || msqlSelectDB(admin, "fuzz") < 0)
            Fail(ClientErrorText());
        for (const char* statement : TableStatements)
            if (msqlQuery(admin, statement) < 0) Fail(std::string(statement) + ": " + ClientErrorText());
        msqlClose(admin);
        fConnection = std::make_unique<TNativeConnect>();
        host::TStringList params;
        params.Add("DatabaseName=fuzz");
        fConnection->ProcessDBParams(params);
        fConnection->InternalConnect();
        TNativeDataSet* cursor = nullptr;
        fConnection->OpenTable("f", "", 0, dbiREADONLY, dbiOPENSHARED, cursor);
        fCursor.reset(cursor);
        fCursor->SetToBegin();
        for (;;) {
            std::vector<uint8_t> row(static_cast<size_t>(fCursor->GetWorkBufferSize()), 0);
            try {
                fCursor->GetNextRecord(dbiNOLOCK, row.data(), nullptr);
            } catch (const EmSQLException&) {
                break; // the end of the table
            }
            fRows.push_back(std::move(row));
        }
        if (fRows.size() != std::size(TableStatements) - 1) Fail("the rows do not read back");
    }
    // Without its table a target would test nothing: it stops at once instead.
    [[noreturn]] static void Fail(const std::string& why) {
        std::fprintf(stderr, "the fuzz table cannot be made: %s\n", why.c_str());
        std::abort();
    }
    ~NativeTable() {
        fCursor.reset();
        fConnection.reset();
        std::error_code ignored;
        if (!fDataDir.empty()) std::filesystem::remove_all(fDataDir, ignored);
    }

    std::string fDataDir;
    std::unique_ptr<TNativeConnect> fConnection;
    std::unique_ptr<TNativeDataSet> fCursor;
    std::vector<std::vector<uint8_t>> fRows;
};

// The host's view of f: an open in-memory dataset with the same fields and a few rows.
class HostTable {
public:
    static HostTable& Get() {
        static HostTable table;
        return table;
    }
    hosttest::MemDataSet* DataSet() { return fDataSet; }

private:
    HostTable() : fOwner(std::make_unique<host::TComponent>(nullptr)) {
        using namespace host;
        fDataSet = new hosttest::MemDataSet(fOwner.get(), {{"id", ftInteger},
                                                           {"name", ftString, 10},
                                                           {"amount", ftFloat},
                                                           {"price", ftCurrency},
                                                           {"born", ftDate},
                                                           {"at", ftTime},
                                                           {"note", ftMemo},
                                                           {"code", ftInteger}});
        fDataSet->AddRow({1, "Smith", 1.5, 10.25});
        fDataSet->AddRow({2, Null(), -2.5});
        fDataSet->Open();
    }

    std::unique_ptr<host::TComponent> fOwner;
    hosttest::MemDataSet* fDataSet = nullptr; // owned by fOwner
};

// Evaluates the blob against every row of the native table; a blob the filter
// check refuses is the expected outcome for most bytes.
inline void EvaluateBlob(const std::vector<uint8_t>& blob) {
    NativeTable& table = NativeTable::Get();
    try {
        TmSQLFilter filter(&table.Cursor(), reinterpret_cast<const host::CANExpr*>(blob.data()));
        filter.SetActive(true);
        TFilterValue value;
        for (std::vector<uint8_t>& row : table.Rows())
            filter.GetFilterResult(row.data(), value);
    } catch (const EmSQLException&) {
        // Refused by the check.
    }
}

} // namespace corvane::fuzz
