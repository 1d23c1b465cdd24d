// Fixture for the query and update-SQL components: queries on the per-test database, destroyed with
// the test before the databases go.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DataSetFixture.h"

namespace corvane::test {

class QueryTest : public DataSetTest {
protected:
    void TearDown() override {
        queries.clear();
        DataSetTest::TearDown();
    }

    // t (id int, name char(20)) with a unique index on id and the rows 1 one, 2 two, 3 three.
    void CreateNumbers() {
        Exec("create table t (id int, name char(20))");
        Exec("create unique index tid on t (id)");
        Exec("insert into t values (1, 'one')");
        Exec("insert into t values (2, 'two')");
        Exec("insert into t values (3, 'three')");
    }

    // A closed query on the test's database (or on) with the text sql, destroyed with the test.
    TmSQLQuery* NewQuery(const std::string& sql, TmSQLDatabase* on = nullptr) {
        queries.push_back(std::make_unique<TmSQLQuery>(nullptr));
        TmSQLQuery* query = queries.back().get();
        query->SetDatabase(on ? on : database);
        query->SQL()->SetText(sql);
        return query;
    }

    std::vector<std::unique_ptr<TmSQLQuery>> queries;
};

} // namespace corvane::test
