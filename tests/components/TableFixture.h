// Fixture for the table component: TmSQLTable components on the per-test database and a table of
// people with four indexes to order, search and restrict by.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DataSetFixture.h"
#include "host/DateTime.h"

namespace corvane::test {

// A table with the protected key machinery opened up, for tests that look inside.
class InspectTable : public TmSQLTable {
public:
    using TmSQLDataSet::fKeySize;
    using TmSQLDataSet::GetKeyBuffer;
    using TmSQLDataSet::KeyBufferSize;
    using TmSQLDataSet::LocateNearestRecord;
    using TmSQLDataSet::MapsToIndex;
    using TmSQLDataSet::SetCursorRange;
    using TmSQLDataSet::SetLinkRanges;
    using TmSQLTable::TmSQLTable;
};

class TableTest : public DataSetTest {
protected:
    void TearDown() override {
        sources.clear();
        tmTables.clear();
        DataSetTest::TearDown();
    }

    // A closed table component on table, destroyed with the test.
    TmSQLTable* NewTmTable(const std::string& table, TmSQLDatabase* on = nullptr) {
        tmTables.push_back(std::make_unique<InspectTable>(nullptr));
        tmTables.back()->SetDatabase(on ? on : database);
        tmTables.back()->SetTableName(table);
        return tmTables.back().get();
    }
    InspectTable* Inspect(TmSQLTable* table) { return static_cast<InspectTable*>(table); }

    // A data source on dataSet, destroyed with the test (before the tables).
    host::TDataSource* NewSource(host::TDataSet* dataSet) {
        sources.push_back(std::make_unique<host::TDataSource>(nullptr));
        sources.back()->SetDataSet(dataSet);
        return sources.back().get();
    }

    // people: five rows; indexes by_city (city, name), by_id (unique id), by_name (name), by_born
    // (born). The server lists the two-field index first, so it is index 1.
    void CreatePeople() {
        Exec("create table people (id int, name char(20), city char(20), born date, pay money, "
             "note char(10))");
        Exec("insert into people values (1, 'Smith', 'Oslo', '01-Jan-1980', 100.50, 'first')");
        Exec("insert into people values (2, 'jones', 'Bergen', '15-Mar-1975', 200.00, NULL)");
        Exec("insert into people values (3, 'Brown', 'Oslo', '30-Jun-1990', 150.25, 'third')");
        Exec("insert into people values (4, 'O\\'Neil', 'Bergen', '01-Jan-1981', 99.99, NULL)");
        Exec("insert into people values (5, 'back\\\\slash', 'Trondheim', '24-Dec-1999', 75.00, 'last')");
        Exec("create index by_city on people (city, name)");
        Exec("create unique index by_id on people (id)");
        Exec("create index by_name on people (name)");
        Exec("create index by_born on people (born)");
    }

    std::vector<std::unique_ptr<InspectTable>> tmTables;
    std::vector<std::unique_ptr<host::TDataSource>> sources;
};

} // namespace corvane::test
