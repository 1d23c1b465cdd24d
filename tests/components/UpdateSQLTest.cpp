// The update-SQL component on the embedded engine: statements run with the row's old and new values,
// the re-read of the dataset, the binding to one dataset at a time, and statement changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "QueryFixture.h"

namespace corvane::test {
namespace {

class UpdateSQLTest : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        CreateNumbers();
        update = std::make_unique<TmSQLUpdateSQL>(nullptr);
        update->ModifySQL()->SetText("update t set id = :id, name = :name where id = :OLD_id");
        update->InsertSQL()->SetText("insert into t (id, name) values (:id, :name)");
        update->DeleteSQL()->SetText("delete from t where id = :old_ID");
    }
    void TearDown() override {
        update.reset();
        QueryTest::TearDown();
    }

    // The rows on the server as "id name", in id order.
    std::vector<std::string> ServerRows() {
        std::vector<std::string> rows;
        for (const std::string& id : Column("select id from t order by id"))
            rows.push_back(id + " " + Column("select name from t where id = " + id).at(0));
        return rows;
    }

    // The rows the dataset shows as "id name", sorted.
    static std::vector<std::string> Shown(TmSQLDataSet& dataSet) {
        std::vector<std::string> rows;
        dataSet.First();
        while (!dataSet.Eof()) {
            rows.push_back(dataSet.FieldByName("id")->AsString() + " " +
                           dataSet.FieldByName("name")->AsString());
            dataSet.Next();
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    std::unique_ptr<TmSQLUpdateSQL> update;
};

TEST_F(UpdateSQLTest, AnEditAppliedThroughTheStatementsUsesOldAndNewValues) {
    TestTable* table = NewTable("t");
    table->Open();
    table->SetUpdateObject(update.get());
    EXPECT_EQ(update->GetDataSet(), table);

    // The application's handler applies the edit itself and drops the generated one.
    table->Next();
    table->Edit();
    table->FieldByName("id")->SetAsInteger(20);
    table->FieldByName("name")->SetAsString("TWENTY");
    update->Apply(host::ukModify);
    EXPECT_EQ(ServerRows(), (std::vector<std::string>{"1 one", "3 three", "20 TWENTY"}));
    table->Cancel();
    EXPECT_EQ(Shown(*table), (std::vector<std::string>{"1 one", "20 TWENTY", "3 three"}));

    table->Insert();
    table->FieldByName("id")->SetAsInteger(4);
    table->FieldByName("name")->SetAsString("four");
    update->Apply(host::ukInsert);
    table->Cancel();
    EXPECT_EQ(ServerRows(), (std::vector<std::string>{"1 one", "3 three", "4 four", "20 TWENTY"}));
    EXPECT_EQ(table->RecordCount(), 4);
}

TEST_F(UpdateSQLTest, ARowDeletedThroughTheStatementsLeavesAReadOnlyResultAtOnce) {
    TmSQLQuery* query = NewQuery("select id, name from t order by id");
    query->SetUpdateObject(update.get());
    query->Open();
    EXPECT_FALSE(query->CanModify());
    query->Next();
    update->Apply(host::ukDelete);
    EXPECT_EQ(ServerRows(), (std::vector<std::string>{"1 one", "3 three"}));
    EXPECT_EQ(query->RecordCount(), 2);
    EXPECT_NE(query->FieldByName("id")->AsInteger(), 2) << "the rows shown were read again";
    EXPECT_EQ(Values(*query, "name"), (std::vector<std::string>{"one", "three"}));
}

TEST_F(UpdateSQLTest, ParametersTakeOldValuesNewValuesOrKeepTheirOwn) {
    Exec("create table p (id int, oldid int, name char(20))");
    Exec("insert into p values (1, 100, 'a')");
    TestTable* table = NewTable("p");
    table->Open();
    table->SetUpdateObject(update.get());
    update->ModifySQL()->SetText(
        "update p set name = :name where id = :Old_id and oldid = :OLDID and name <> :nofield");
    TmSQLQuery* modify = update->GetQuery(host::ukModify);
    EXPECT_EQ(modify->Database(), database);
    modify->ParamByName("nofield")->SetAsString("keep");

    table->Edit();
    table->FieldByName("id")->SetAsInteger(7);
    table->FieldByName("oldid")->SetAsInteger(200);
    table->FieldByName("name")->SetAsString("b");
    update->SetParams(host::ukModify);
    EXPECT_EQ(modify->ParamByName("Old_id")->AsInteger(), 1) << "the old value of id";
    EXPECT_EQ(modify->ParamByName("Old_id")->DataType(), host::ftInteger);
    EXPECT_EQ(modify->ParamByName("OLDID")->AsInteger(), 200) << "the new value of the field named OLDID";
    EXPECT_EQ(modify->ParamByName("name")->AsString(), "b");
    EXPECT_EQ(modify->ParamByName("nofield")->AsString(), "keep");
    table->Cancel();

    // In browse mode old and new values are both the row as shown.
    update->Apply(host::ukModify);
    EXPECT_EQ(modify->GetRowsAffected(), 1);
    EXPECT_EQ(Column("select name from p"), std::vector<std::string>{"a"});
    EXPECT_EQ(modify->ParamByName("OLDID")->AsInteger(), 100);
}

TEST_F(UpdateSQLTest, AFailedStatementPropagatesItsError) {
    TestTable* table = NewTable("t");
    table->Open();
    table->SetUpdateObject(update.get());
    update->DeleteSQL()->SetText("delete from nosuch where id = :old_id");
    ExpectDatabaseError(DBIERR_NATIVE, [&] { update->Apply(host::ukDelete); });
    EXPECT_EQ(ServerRows().size(), 3u);
    EXPECT_EQ(table->RecordCount(), 3);
}

TEST_F(UpdateSQLTest, ChangingAStatementRebuildsOnlyItsQuery) {
    TmSQLQuery* insert = update->GetQuery(host::ukInsert);
    TmSQLQuery* remove = update->GetQuery(host::ukDelete);
    EXPECT_EQ(update->GetQuery(host::ukInsert), insert) << "created once";
    EXPECT_EQ(insert->Owner(), update.get());
    insert->ParamByName("id")->SetAsInteger(9);
    remove->ParamByName("old_ID")->SetAsInteger(3);

    host::TStringList lines;
    lines.SetText("insert into t (id) values (:id)");
    update->SetSQL(host::ukInsert, &lines);
    EXPECT_EQ(update->InsertSQL()->Text(), lines.Text());
    EXPECT_EQ(insert->SQL()->Text(), lines.Text());
    ASSERT_EQ(insert->GetParamsCount(), 1);
    EXPECT_FALSE(insert->ParamByName("id")->Bound()) << "the statement's parameters start afresh";
    EXPECT_EQ(remove->ParamByName("old_ID")->AsInteger(), 3) << "the other statements are untouched";
    EXPECT_EQ(update->GetSQL(host::ukInsert), update->InsertSQL());
    EXPECT_THROW(update->GetSQLIndex(3), host::EListError);
}

TEST_F(UpdateSQLTest, AnObjectServesOneDataSetAndRunsOnItsDatabase) {
    ASSERT_EQ(msqlCreateDB(fAdmin, "other"), 0) << ClientErrorText();
    TmSQLDatabase* other = NewDatabase("other");
    TmSQLQuery* create = NewQuery("create table t (id int, name char(20))", other);
    create->ExecSQL();
    TestTable* here = NewTable("t");
    TestTable* there = NewTable("t", other);

    // Without a dataset there is nothing to take values from, and no database to run on.
    update->SetParams(host::ukInsert);
    EXPECT_EQ(ExpectHostError([&] { update->ExecSQL(host::ukInsert); }), "Property Database not set!");

    here->SetUpdateObject(update.get());
    EXPECT_EQ(update->GetQuery(host::ukInsert)->Database(), database);
    there->SetUpdateObject(update.get());
    EXPECT_EQ(here->UpdateObject(), nullptr);
    EXPECT_EQ(update->GetDataSet(), there);
    there->Open();
    there->Insert();
    there->FieldByName("id")->SetAsInteger(5);
    there->FieldByName("name")->SetAsString("five");
    update->Apply(host::ukInsert);
    there->Cancel();
    EXPECT_EQ(Values(*there, "name"), std::vector<std::string>{"five"});
    EXPECT_EQ(update->GetQuery(host::ukInsert)->Database(), other);
    EXPECT_EQ(ServerRows().size(), 3u) << "nothing was written to the first database";

    update.reset();
    EXPECT_EQ(there->UpdateObject(), nullptr) << "the object unbinds its dataset when it goes";
    auto second = std::make_unique<TmSQLUpdateSQL>(nullptr);
    here->SetUpdateObject(second.get());
    tables.clear();
    EXPECT_EQ(second->GetDataSet(), nullptr) << "the dataset unbinds its object when it goes";
}

} // namespace
} // namespace corvane::test
