// The query component on the embedded engine: the live decision, writes through live results,
// preparing, running and rows affected, SQL changes, and the life of the statement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QueryFixture.h"
#include "host/Messages.h"

namespace corvane::test {
namespace {

TEST(NamesOneTableTest, TheTableListEndsAtWhereGroupByAndOrderBy) {
    EXPECT_TRUE(NamesOneTable("select a, b from t where x = 1"));
    EXPECT_TRUE(NamesOneTable("select a from t where x = 1 or y = 2, 3"));
    EXPECT_FALSE(NamesOneTable("select * from t1, t2 where t1.id = t2.id"));
    EXPECT_FALSE(NamesOneTable("select * from t1 ,t2"));
    // The column lists of ORDER BY and GROUP BY are no table lists.
    EXPECT_TRUE(NamesOneTable("select a from t order by b, c"));
    EXPECT_TRUE(NamesOneTable("Select A From T Order\r\n  By B, C"));
    EXPECT_TRUE(NamesOneTable("select a, count(b) from t group by a, c"));
    EXPECT_FALSE(NamesOneTable("select a from t1, t2 order by a, b"));
    EXPECT_FALSE(NamesOneTable("select a from t1, t2 where t1.a = t2.a order by a, b"));
    // Only whole words count: neither "preorder" nor "order byte" opens an ORDER BY clause.
    EXPECT_FALSE(NamesOneTable("select a from preorder by_x, t"));
    EXPECT_FALSE(NamesOneTable("select a from t, u order byte"));
    // The first "from" may end a longer word; what follows holds no comma.
    EXPECT_TRUE(NamesOneTable("select datefrom from t"));
    EXPECT_TRUE(NamesOneTable("x"));
}

class LiveTest : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        Exec("create table t (id int, name char(20), datefrom date)");
        Exec("create unique index tid on t (id)");
        Exec("insert into t values (1, 'one', '1-Jan-2020')");
        Exec("insert into t values (2, 'two', '2-Jan-2020')");
        Exec("insert into t values (3, 'three', '3-Jan-2020')");
        Exec("create table u (id int, note char(20))");
        Exec("insert into u values (2, 'second')");
    }

    // Whether sql opens editable with RequestLive as given.
    bool OpensLive(const std::string& sql, bool requestLive) {
        TmSQLQuery* query = NewQuery(sql);
        query->SetRequestLive(requestLive);
        query->Open();
        const bool live = query->CanModify();
        query->Close();
        return live;
    }
};

TEST_F(LiveTest, OnlyALiveRequestOnOneTableOpensEditable) {
    EXPECT_TRUE(OpensLive("select id, name from t where id = 1", true));
    EXPECT_FALSE(OpensLive("select id, name from t where id = 1", false));
    EXPECT_FALSE(OpensLive("select t.id, u.note from t, u where t.id = u.id", true));
    EXPECT_TRUE(OpensLive("select id, name from t order by name, id", true));
    EXPECT_FALSE(OpensLive("select t.id from t, u where t.id = u.id order by t.id", true));
    EXPECT_TRUE(OpensLive("select datefrom from t", true));
}

TEST_F(LiveTest, WritesThroughALiveQueryReachItsTable) {
    TmSQLQuery* query = NewQuery("select id, name from t where id >= 2 order by id desc, name");
    query->SetRequestLive(true);
    query->Open();
    EXPECT_EQ(Values(*query, "name"), (std::vector<std::string>{"three", "two"}));
    query->First();
    query->Edit();
    query->FieldByName("name")->SetAsString("THREE");
    query->Post();
    query->AppendRecord({host::Variant(int32_t{4}), host::Variant("four")});
    EXPECT_EQ(Column("select name, id from t order by id"),
              (std::vector<std::string>{"one", "two", "THREE", "four"}));
    query->First();
    while (!query->Eof() && query->FieldByName("id")->AsInteger() != 2)
        query->Next();
    query->Delete();
    EXPECT_EQ(Column("select name, id from t order by id"),
              (std::vector<std::string>{"one", "THREE", "four"}));
    EXPECT_EQ(Values(*query, "name"), (std::vector<std::string>{"four", "THREE"}));
}

TEST_F(LiveTest, AReadOnlyResultRefusesEdits) {
    TmSQLQuery* query = NewQuery("select t.id, u.note from t, u where t.id = u.id");
    query->SetRequestLive(true);
    query->Open();
    EXPECT_EQ(Values(*query, "note"), std::vector<std::string>{"second"});
    EXPECT_EQ(ExpectHostError([&] { query->Edit(); }), host::SDataSetReadOnly);
    EXPECT_EQ(Column("select note from u"), std::vector<std::string>{"second"});
}

class RunTest : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        Exec("create table t (id int, name char(20))");
        for (int id = 1; id <= 4; ++id)
            Exec("insert into t values (" + std::to_string(id) + ", 'n" + std::to_string(id) + "')");
    }
};

TEST_F(RunTest, ExecSQLOnAnUnpreparedQueryKeepsTheCountWhenItUnprepares) {
    TmSQLQuery* query = NewQuery("update t set name = 'x' where id > :low");
    EXPECT_EQ(query->GetRowsAffected(), -1) << "before any run";
    query->ParamByName("low")->SetAsInteger(1);
    query->ExecSQL();
    EXPECT_FALSE(query->Prepared());
    EXPECT_EQ(query->GetRowsAffected(), 3);
    EXPECT_EQ(Column("select name, id from t order by id"), (std::vector<std::string>{"n1", "x", "x", "x"}));
}

TEST_F(RunTest, ExecSQLOnAPreparedQueryReadsTheLiveCount) {
    TmSQLQuery* query = NewQuery("delete from t where id = :id or id = :other");
    query->ParamByName("id")->SetAsInteger(1);
    query->ParamByName("other")->SetAsInteger(2);
    query->Prepare();
    EXPECT_TRUE(query->Prepared());
    query->ExecSQL();
    EXPECT_TRUE(query->Prepared());
    EXPECT_EQ(query->GetRowsAffected(), 2);
    query->ParamByName("id")->SetAsInteger(3);
    query->ParamByName("other")->SetAsInteger(99);
    query->ExecSQL();
    EXPECT_EQ(query->GetRowsAffected(), 1);
    query->UnPrepare();
    EXPECT_EQ(query->GetRowsAffected(), 1) << "the count is kept when the statement goes";
    EXPECT_EQ(Column("select id from t"), std::vector<std::string>{"4"});
}

TEST_F(RunTest, ExecSQLNeedsAClosedQueryAndAStatement) {
    TmSQLQuery* query = NewQuery("select id from t");
    query->Open();
    EXPECT_EQ(ExpectHostError([&] { query->ExecSQL(); }), host::SDataSetOpen);
    EXPECT_TRUE(query->Active());
    EXPECT_EQ(ExpectHostError([&] { query->UnPrepare(); }), host::SDataSetOpen);
    query->Close();

    query->SQL()->Clear();
    EXPECT_EQ(ExpectHostError([&] { query->ExecSQL(); }), host::SEmptySQLStatement);
    EXPECT_EQ(ExpectHostError([&] { query->Open(); }), host::SEmptySQLStatement);
    query->SQL()->SetText("x");
    EXPECT_EQ(ExpectHostError([&] { query->Prepare(); }), host::SEmptySQLStatement);
    EXPECT_FALSE(query->Prepared());

    TmSQLQuery* orphan = NewQuery("delete from t");
    orphan->SetDatabase(nullptr);
    EXPECT_EQ(ExpectHostError([&] { orphan->ExecSQL(); }), "Property Database not set!");
    EXPECT_EQ(Column("select id from t").size(), 4u);
}

TEST_F(RunTest, AFailedStatementIsFreedAndReported) {
    TmSQLQuery* query = NewQuery("select nosuch from t");
    const std::string message = ExpectDatabaseError(DBIERR_NATIVE, [&] { query->Open(); });
    EXPECT_EQ(message.rfind("mSQL Error : \r\n", 0), 0u) << message;
    EXPECT_FALSE(query->Active());
    EXPECT_FALSE(query->Prepared());
    EXPECT_TRUE(query->DBFlags().Empty());

    query->SQL()->SetText("update nosuch set a = 1");
    query->Prepare();
    ExpectDatabaseError(DBIERR_NATIVE, [&] { query->ExecSQL(); });
    EXPECT_TRUE(query->Prepared()) << "a prepared statement stays prepared";
    query->UnPrepare();
    EXPECT_TRUE(query->DBFlags().Empty());
}

TEST_F(RunTest, ChangingTheSQLClosesUnpreparesAndKeepsSurvivingValues) {
    TmSQLQuery* query = NewQuery("select id from t where id > :low and id < :high");
    query->ParamByName("low")->SetAsInteger(1);
    query->ParamByName("high")->SetAsInteger(4);
    query->Open();
    EXPECT_EQ(Values(*query, "id"), (std::vector<std::string>{"2", "3"}));
    EXPECT_EQ(query->Text(), "select id from t where id > ? and id < ?\r\n");

    query->SQL()->SetText("select id from t where id < :high or id = :other");
    EXPECT_FALSE(query->Active());
    EXPECT_FALSE(query->Prepared());
    ASSERT_EQ(query->GetParamsCount(), 2);
    EXPECT_EQ(query->Params()->Items(0)->Name(), "high");
    EXPECT_EQ(query->ParamByName("high")->AsInteger(), 4);
    EXPECT_FALSE(query->ParamByName("other")->Bound());
    EXPECT_EQ(ExpectHostError([&] { query->ParamByName("low"); }), "Parameter 'low' not found");
    query->Open();
    EXPECT_EQ(Values(*query, "id"), (std::vector<std::string>{"1", "2", "3"})) << "an unset value reads NULL";

    // Without ParamCheck the parameters are left alone and the text is prepared as written.
    query->SetParamCheck(false);
    query->SQL()->SetText("select id from t where id = 4");
    EXPECT_FALSE(query->Active());
    EXPECT_EQ(query->GetParamsCount(), 2);
    EXPECT_EQ(query->Text(), "select id from t where id = 4\r\n");
    query->Params()->Clear();
    query->Open();
    EXPECT_EQ(Values(*query, "id"), std::vector<std::string>{"4"});

    // SetSQL replaces the lines only when the text differs.
    host::TStringList lines;
    lines.SetText("select id from t where id = 4");
    query->SetSQL(&lines);
    EXPECT_TRUE(query->Active());
    lines.SetText("select id from t where id = 3");
    query->SetSQL(&lines);
    EXPECT_FALSE(query->Active());
    query->Open();
    EXPECT_EQ(Values(*query, "id"), std::vector<std::string>{"3"});
}

TEST_F(RunTest, APreparedQueryReopensOnItsStatement) {
    TmSQLQuery* query = NewQuery("select id from t where id >= :low order by id");
    query->ParamByName("low")->SetAsInteger(3);
    query->Prepare();
    for (int low : {3, 1, 4}) {
        query->ParamByName("low")->SetAsInteger(low);
        query->Open();
        EXPECT_EQ(query->RecordCount(), 5 - low);
        query->Close();
        EXPECT_TRUE(query->Prepared());
    }
    query->SetPrepare(false);
    EXPECT_FALSE(query->Prepared());
    EXPECT_TRUE(query->DBFlags().Empty());
}

TEST_F(RunTest, ThePreparedStatementGoesWithItsQueryOrItsDatabase) {
    TmSQLQuery* open = NewQuery("select id from t");
    open->Prepare();
    open->Open();
    TmSQLQuery* prepared = NewQuery("delete from t where id = 1");
    prepared->Prepare();
    // Closing the database disconnects both: the open one closes, both unprepare.
    database->Close();
    EXPECT_FALSE(open->Active());
    EXPECT_FALSE(open->Prepared());
    EXPECT_FALSE(prepared->Prepared());
    EXPECT_TRUE(prepared->DBFlags().Empty());

    // Destroyed while open and prepared (the sanitizer build sees anything left behind).
    open->Open();
    prepared->Prepare();
    queries.clear();
    EXPECT_EQ(Column("select id from t").size(), 4u);
}

TEST_F(RunTest, AQueryOnTheStackIsTornDownWithItsStatement) {
    TmSQLQuery query(nullptr);
    query.SetDatabase(database);
    query.SQL()->SetText("select id from t");
    query.Prepare();
    query.Open();
    EXPECT_EQ(query.RecordCount(), 4);
}

} // namespace
} // namespace corvane::test
