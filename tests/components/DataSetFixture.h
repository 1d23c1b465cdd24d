// Fixture for the dataset core: a concrete dataset that opens one table by name (the smallest
// descendant of TmSQLDataSet, as the table component will be), a database on the per-test database,
// and a log of the host events.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ComponentsFixture.h"
#include "host/DataSource.h"

namespace corvane::test {

// A dataset on tableName, opened through the engine on its database's handle.
class TestTable : public TmSQLDataSet {
public:
    explicit TestTable(host::TComponent* owner = nullptr, std::string table = "") : TmSQLDataSet(owner) {
        tableName = std::move(table);
    }

    std::string tableName;
    int handlesCreated = 0;

    // The protected machinery, for tests that look inside.
    using TmSQLDataSet::ActiveBuffer;
    using TmSQLDataSet::AddFieldDesc;
    using TmSQLDataSet::BufferCount;
    using TmSQLDataSet::fBlobCacheOfs;
    using TmSQLDataSet::fBookmarkOfs;
    using TmSQLDataSet::fCacheBlobs;
    using TmSQLDataSet::fRecBufSize;
    using TmSQLDataSet::fRecInfoOfs;
    using TmSQLDataSet::fRecordSize;
    using TmSQLDataSet::GetRecInfo;

protected:
    hDBICur CreateHandle() override {
        ++handlesCreated;
        hDBIDb database = GetDBHandle();
        TmSQLEngine* engine = Engine();
        hDBICur cursor = nullptr;
        while (!CheckOpen(engine->OpenTable(database, tableName, "", "", "", 0, dbiREADWRITE, dbiOPENSHARED,
                                            xltFIELD, false, nullptr, cursor))) {
        }
        return cursor;
    }
};

// Records the before/after events of a dataset.
inline void LogEvents(host::TDataSet& dataSet, std::vector<std::string>& log) {
    auto add = [&log](const char* name) { return [&log, name](host::TDataSet*) { log.push_back(name); }; };
    dataSet.SetBeforeOpen(add("BeforeOpen"));
    dataSet.SetAfterOpen(add("AfterOpen"));
    dataSet.SetBeforeClose(add("BeforeClose"));
    dataSet.SetAfterClose(add("AfterClose"));
    dataSet.SetBeforeEdit(add("BeforeEdit"));
    dataSet.SetAfterEdit(add("AfterEdit"));
    dataSet.SetBeforeInsert(add("BeforeInsert"));
    dataSet.SetAfterInsert(add("AfterInsert"));
    dataSet.SetBeforePost(add("BeforePost"));
    dataSet.SetAfterPost(add("AfterPost"));
    dataSet.SetBeforeCancel(add("BeforeCancel"));
    dataSet.SetAfterCancel(add("AfterCancel"));
    dataSet.SetBeforeDelete(add("BeforeDelete"));
    dataSet.SetAfterDelete(add("AfterDelete"));
    dataSet.SetBeforeScroll(add("BeforeScroll"));
    dataSet.SetAfterScroll(add("AfterScroll"));
}

class DataSetTest : public ComponentsTest {
protected:
    void SetUp() override {
        ComponentsTest::SetUp();
        database = NewDatabase();
    }
    void TearDown() override {
        tables.clear();
        ComponentsTest::TearDown();
    }

    // A closed dataset on table, destroyed with the test.
    TestTable* NewTable(const std::string& table, TmSQLDatabase* on = nullptr) {
        tables.push_back(std::make_unique<TestTable>(nullptr, table));
        tables.back()->SetDatabase(on ? on : database);
        return tables.back().get();
    }

    // The values of field name in every row, read forwards through the dataset from the first row.
    static std::vector<std::string> Values(TmSQLDataSet& dataSet, const std::string& name) {
        std::vector<std::string> values;
        dataSet.First();
        while (!dataSet.Eof()) {
            host::TField* field = dataSet.FieldByName(name);
            values.push_back(field->IsNull() ? "NULL" : field->AsString());
            dataSet.Next();
        }
        return values;
    }

    TmSQLDatabase* database = nullptr;
    std::vector<std::unique_ptr<TestTable>> tables;
};

} // namespace corvane::test
