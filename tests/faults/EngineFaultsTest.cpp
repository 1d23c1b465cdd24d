// Every client call of an engine scenario fails in turn (N = 1, 2, ... until the scenario completes), as a
// call that fails once, as a connection lost before the request, and as a reply lost after the server
// did the work. For every failure point: no crash or leak, a result code with a readable message,
// handles that can be used or closed, and the data in a state the scenario passes through.
#include <cstdio>
#include <cstring>

#include "EngineScenario.h"
#include "access/CANExprBuilder.h"
#include "host/Params.h"

namespace corvane::test {
namespace {

using EngineFaultsTest = TableScenarioTest<EngineScenario>;

const std::vector<int32_t> AllKeys = {1, 2, 3, 4, 5};

// Writes k, s and n into record (s and n derived from k).
void FillRow(EngineScenario& s, hDBICur cursor, std::vector<uint8_t>& record, int32_t k) {
    const std::string text = "new" + std::to_string(k);
    const double n = k + 0.25;
    s.Ok(s.Engine().PutField(cursor, FieldK, record.data(), &k), "PutField k");
    s.Ok(s.Engine().PutField(cursor, FieldS, record.data(), text.c_str()), "PutField s");
    s.Ok(s.Engine().PutField(cursor, FieldN, record.data(), &n), "PutField n");
}

TEST_F(EngineFaultsTest, OpenAndScroll) {
    RunScenario("open and scroll", [](EngineScenario& s, ScenarioCheckpoints&) {
        s.OpenDatabase();
        hDBICur cursor = s.OpenTable();
        s.Expect(s.Keys(cursor) == AllKeys, "every row, forwards");
        s.Expect(s.Keys(cursor, true) == std::vector<int32_t>{5, 4, 3, 2, 1}, "every row, backwards");
        int32_t count = 0;
        s.Ok(s.Engine().GetRecordCount(cursor, count), "GetRecordCount");
        s.Expect(count == ScenarioRows, "record count");
        s.Ok(s.Engine().ForceReread(cursor), "ForceReread");
        s.Expect(s.Keys(cursor) == AllKeys, "every row after a re-read");
    });
}

TEST_F(EngineFaultsTest, SwitchIndexAndRange) {
    RunScenario("switch index and range", [](EngineScenario& s, ScenarioCheckpoints&) {
        s.OpenDatabase();
        hDBICur cursor = s.OpenTable("tk");
        s.Expect(s.Keys(cursor) == AllKeys, "ordered by k");
        s.Ok(s.Engine().SwitchToIndex(cursor, "ts", nullptr, 0, false), "SwitchToIndex ts");
        s.Expect(s.Keys(cursor) == std::vector<int32_t>{5, 4, 3, 2, 1}, "ordered by s");
        s.Ok(s.Engine().SwitchToIndex(cursor, "tk", nullptr, 0, false), "SwitchToIndex tk");
        std::vector<uint8_t> low = s.Record(cursor), high = s.Record(cursor);
        const int32_t two = 2, four = 4;
        s.Ok(s.Engine().PutField(cursor, FieldK, low.data(), &two), "PutField low");
        s.Ok(s.Engine().PutField(cursor, FieldK, high.data(), &four), "PutField high");
        s.Ok(s.Engine().SetRange(cursor, false, 1, 0, low.data(), true, 1, 0, high.data(), true), "SetRange");
        s.Expect(s.Keys(cursor) == std::vector<int32_t>{2, 3, 4}, "rows in the range");
        s.Ok(s.Engine().ResetRange(cursor), "ResetRange");
        s.Expect(s.Keys(cursor) == AllKeys, "every row again");
    });
}

TEST_F(EngineFaultsTest, FilteredScroll) {
    RunScenario("filtered scroll", [](EngineScenario& s, ScenarioCheckpoints&) {
        s.OpenDatabase();
        hDBICur cursor = s.OpenTable();
        const std::vector<uint8_t> above2 = Blob(Binary(host::canGT, Field("k"), Int(2)));
        hDBIFilter filter = nullptr;
        s.Ok(s.Engine().AddFilter(cursor, 0, 1, false, AsCANExpr(above2), nullptr, filter), "AddFilter");
        s.Ok(s.Engine().ActivateFilter(cursor, filter), "ActivateFilter");
        s.Expect(s.Keys(cursor) == std::vector<int32_t>{3, 4, 5}, "filtered rows");
        s.Expect(s.Keys(cursor, true) == std::vector<int32_t>{5, 4, 3}, "filtered rows, backwards");
        s.Ok(s.Engine().ForceReread(cursor), "ForceReread");
        s.Expect(s.Keys(cursor) == std::vector<int32_t>{3, 4, 5}, "filtered rows after a re-read");
    });
}

TEST_F(EngineFaultsTest, CatalogLists) {
    RunScenario("catalog lists", [](EngineScenario& s, ScenarioCheckpoints&) {
        s.OpenDatabase();
        host::TStringList tables;
        s.Ok(s.Engine().OpenTableList(s.Database(), tables), "OpenTableList");
        s.Expect(tables.IndexOf(ScenarioTable) >= 0, "the table is listed");
        hDBICur fields = nullptr;
        s.Ok(s.Engine().OpenFieldList(s.Database(), ScenarioTable, "", false, fields), "OpenFieldList");
        s.Keep(fields);
        int32_t count = 0;
        s.Ok(s.Engine().GetRecordCount(fields, count), "GetRecordCount fields");
        s.Expect(count == 4, "four fields");
        hDBICur indexes = nullptr;
        s.Ok(s.Engine().OpenIndexList(s.Database(), ScenarioTable, "", indexes), "OpenIndexList");
        s.Keep(indexes);
        s.Ok(s.Engine().GetRecordCount(indexes, count), "GetRecordCount indexes");
        s.Expect(count == 2, "two indexes");
    });
}

TEST_F(EngineFaultsTest, InsertRecord) {
    RunScenario("insert", [](EngineScenario& s, ScenarioCheckpoints& checkpoints) {
        s.OpenDatabase();
        hDBICur cursor = s.OpenTable();
        std::vector<uint8_t> record = s.Record(cursor);
        FillRow(s, cursor, record, 7);
        s.Ok(s.Engine().InsertRecord(cursor, dbiNOLOCK, record.data()), "InsertRecord");
        checkpoints.Mark();
        s.Ok(s.Engine().GetRecord(cursor, dbiNOLOCK, record.data(), nullptr), "GetRecord");
        s.Expect(s.K(cursor, record) == 7, "the cursor stands on the new row");
        s.Expect(s.Keys(cursor) == std::vector<int32_t>{1, 2, 3, 4, 5, 7}, "the new row is read back");
    });
}

TEST_F(EngineFaultsTest, ModifyRecord) {
    RunScenario("modify", [](EngineScenario& s, ScenarioCheckpoints& checkpoints) {
        s.OpenDatabase();
        hDBICur cursor = s.OpenTable();
        std::vector<uint8_t> record = s.SeekKey(cursor, 3);
        const std::vector<uint8_t> old = record;
        const char* text = "changed";
        s.Ok(s.Engine().PutField(cursor, FieldS, record.data(), text), "PutField s");
        s.Ok(s.Engine().ModifyRecord(cursor, const_cast<uint8_t*>(old.data()), record.data(), true),
             "ModifyRecord");
        checkpoints.Mark();
        s.Ok(s.Engine().GetRecord(cursor, dbiNOLOCK, record.data(), nullptr), "GetRecord");
        s.Expect(s.K(cursor, record) == 3, "the cursor stands on the changed row");
    });
}

TEST_F(EngineFaultsTest, DeleteRecord) {
    RunScenario("delete", [](EngineScenario& s, ScenarioCheckpoints& checkpoints) {
        s.OpenDatabase();
        hDBICur cursor = s.OpenTable();
        std::vector<uint8_t> record = s.SeekKey(cursor, 2);
        s.Ok(s.Engine().DeleteRecord(cursor, record.data()), "DeleteRecord");
        checkpoints.Mark();
        s.Expect(s.Keys(cursor) == std::vector<int32_t>{1, 3, 4, 5}, "the row is gone");
    });
}

TEST_F(EngineFaultsTest, BlobWrite) {
    RunScenario("blob write", [](EngineScenario& s, ScenarioCheckpoints& checkpoints) {
        s.OpenDatabase();
        hDBICur cursor = s.OpenTable();
        std::vector<uint8_t> record = s.SeekKey(cursor, 4);
        const std::vector<uint8_t> old = record;
        const std::string text(300, 'z');
        s.Ok(s.Engine().OpenBlob(cursor, record.data(), FieldB, dbiREADWRITE), "OpenBlob");
        s.Ok(s.Engine().PutBlob(cursor, record.data(), FieldB, 0, static_cast<uint32_t>(text.size()),
                                reinterpret_cast<const uint8_t*>(text.data())),
             "PutBlob");
        s.Ok(s.Engine().ModifyRecord(cursor, const_cast<uint8_t*>(old.data()), record.data(), true),
             "ModifyRecord");
        checkpoints.Mark();
        uint32_t size = 0;
        s.Ok(s.Engine().GetRecord(cursor, dbiNOLOCK, record.data(), nullptr), "GetRecord");
        s.Ok(s.Engine().GetBlobSize(cursor, record.data(), FieldB, size), "GetBlobSize");
        s.Expect(size == text.size(), "the whole text was written");
        s.Ok(s.Engine().FreeBlob(cursor, record.data(), FieldB), "FreeBlob");
    });
}

TEST_F(EngineFaultsTest, QueryWithParameters) {
    RunScenario("query with parameters", [](EngineScenario& s, ScenarioCheckpoints& checkpoints) {
        s.OpenDatabase();
        hDBIStmt statement = nullptr;
        s.Ok(s.Engine().QAlloc(s.Database(), qrylangSQL, statement), "QAlloc");
        s.KeepStatement(statement);
        host::TParams params;
        params.CreateParam(host::ftInteger, "k", host::ptInput)->SetAsInteger(8);
        params.CreateParam(host::ftString, "s", host::ptInput)->SetAsString("it's : eight");
        s.Ok(s.Engine().QuerySetParams(statement, params, "insert into t (k, s) values (:k, :s)"),
             "QuerySetParams insert");
        s.Ok(s.Engine().QExec(statement, nullptr), "QExec insert");
        checkpoints.Mark();
        int32_t rows = 0;
        uint32_t length = 0;
        s.Ok(s.Engine().GetEngProp(statement, stmtROWCOUNT, &rows, sizeof rows, length), "GetEngProp");
        s.Expect(rows == 1, "one row inserted");

        host::TParams low;
        low.CreateParam(host::ftInteger, "low", host::ptInput)->SetAsInteger(4);
        s.Ok(s.Engine().QuerySetParams(statement, low, "select * from t where k >= :low"),
             "QuerySetParams select");
        hDBICur cursor = nullptr;
        s.Ok(s.Engine().QExec(statement, &cursor), "QExec select");
        s.Keep(cursor);
        std::vector<int32_t> keys = s.Keys(cursor);
        std::sort(keys.begin(), keys.end());
        s.Expect(keys == std::vector<int32_t>{4, 5, 8}, "the selected rows");
    });
}

TEST_F(EngineFaultsTest, ExecuteDirectly) {
    RunScenario("execute directly", [](EngineScenario& s, ScenarioCheckpoints& checkpoints) {
        s.OpenDatabase();
        s.Ok(s.Engine().QExecDirect(s.Database(), qrylangSQL, "update t set s = 'all' where k > 3", nullptr),
             "QExecDirect update");
        checkpoints.Mark();
        s.Ok(s.Engine().QExecDirect(s.Database(), qrylangSQL, "delete from t where k = 1", nullptr),
             "QExecDirect delete");
        checkpoints.Mark();
    });
}

TEST_F(EngineFaultsTest, EditingSession) {
    RunScenario("editing session", [](EngineScenario& s, ScenarioCheckpoints& checkpoints) {
        s.OpenDatabase();
        hDBICur cursor = s.OpenTable("tk");
        std::vector<uint8_t> record = s.Record(cursor);
        FillRow(s, cursor, record, 6);
        s.Ok(s.Engine().AppendRecord(cursor, record.data()), "AppendRecord");
        checkpoints.Mark();

        record = s.SeekKey(cursor, 1);
        const std::vector<uint8_t> old = record;
        const double n = -1.5;
        s.Ok(s.Engine().PutField(cursor, FieldN, record.data(), &n), "PutField n");
        s.Ok(s.Engine().ModifyRecord(cursor, const_cast<uint8_t*>(old.data()), record.data(), true),
             "ModifyRecord");
        checkpoints.Mark();

        record = s.SeekKey(cursor, 5);
        s.Ok(s.Engine().DeleteRecord(cursor, record.data()), "DeleteRecord");
        checkpoints.Mark();
        s.Expect(s.Keys(cursor) == std::vector<int32_t>{1, 2, 3, 4, 6}, "the edited table");
    });
}

} // namespace
} // namespace corvane::test
