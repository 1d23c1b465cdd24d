// Query parameters on the embedded engine: values of every kind written into statements, parameter
// names in every form ParseSQL knows, values missing, and parameters driven by a master dataset.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QueryFixture.h"
#include "host/DateTime.h"
#include "host/Messages.h"

namespace corvane::test {
namespace {

class ParamsTest : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        Exec("create table v (id int, s char(40), r real, d date, tm time, m money, b char(1), u uint, "
             "x text(100))");
    }
};

TEST_F(ParamsTest, ValuesOfEveryKindReachTheServerAsWritten) {
    const std::string awkward = "it's a \\ back'slash \\' and :colon";
    TmSQLQuery* insert = NewQuery("insert into v values (:id, :s, :r, :d, :tm, :m, :b, :u, :x)");
    ASSERT_EQ(insert->GetParamsCount(), 9);
    insert->ParamByName("id")->SetAsInteger(1);
    insert->ParamByName("s")->SetAsString(awkward);
    insert->ParamByName("r")->SetAsFloat(2.5);
    insert->ParamByName("d")->SetAsDate(host::EncodeDate(2024, 2, 29));
    insert->ParamByName("tm")->SetAsTime(host::EncodeTime(13, 5, 9, 0));
    insert->ParamByName("m")->SetAsCurrency(12.34);
    insert->ParamByName("b")->SetAsBoolean(true);
    insert->ParamByName("u")->SetAsInteger(7);
    insert->ParamByName("x")->SetAsMemo("line one\r\nline 'two' \\ end");
    insert->ExecSQL();
    EXPECT_EQ(insert->GetRowsAffected(), 1);

    // Every value cleared, or never given, is written as NULL (never as an empty text).
    insert->ParamByName("id")->SetAsInteger(2);
    for (const char* name : {"s", "r", "d", "tm", "m", "b", "u", "x"})
        insert->ParamByName(name)->Clear();
    insert->ExecSQL();
    TmSQLQuery* partial = NewQuery("insert into v (id, s, x) values (:id, :s, :x)");
    partial->ParamByName("id")->SetAsInteger(3);
    partial->ExecSQL();
    EXPECT_EQ(Column("select s, id from v order by id"), (std::vector<std::string>{awkward, "NULL", "NULL"}));
    EXPECT_EQ(Column("select x, id from v order by id"),
              (std::vector<std::string>{"line one\r\nline 'two' \\ end", "NULL", "NULL"}));

    TmSQLQuery* select = NewQuery("select id, s, r, d, tm, m, b, u, x from v where id = 1");
    select->Open();
    EXPECT_EQ(select->FieldByName("s")->AsString(), awkward);
    EXPECT_DOUBLE_EQ(select->FieldByName("r")->AsFloat(), 2.5);
    EXPECT_EQ(select->FieldByName("d")->AsDateTime(), host::EncodeDate(2024, 2, 29));
    EXPECT_DOUBLE_EQ(select->FieldByName("tm")->AsDateTime(), host::EncodeTime(13, 5, 9, 0));
    EXPECT_DOUBLE_EQ(select->FieldByName("m")->AsCurrency(), 12.34);
    EXPECT_EQ(select->FieldByName("b")->AsString(), "Y");
    EXPECT_EQ(select->FieldByName("u")->AsInteger(), 7);

    // The same values find the row again.
    TmSQLQuery* find = NewQuery("select id from v where s = :s and r = :r and d = :d and tm = :tm and m = :m "
                                "and b = :b and u = :u");
    find->SetParamsList(insert->Params());
    find->ParamByName("s")->SetAsString(awkward);
    find->ParamByName("r")->SetAsFloat(2.5);
    find->ParamByName("d")->SetAsDate(host::EncodeDate(2024, 2, 29));
    find->ParamByName("tm")->SetAsTime(host::EncodeTime(13, 5, 9, 0));
    find->ParamByName("m")->SetAsCurrency(12.34);
    find->ParamByName("b")->SetAsBoolean(true);
    find->ParamByName("u")->SetAsInteger(7);
    find->Open();
    EXPECT_EQ(Values(*find, "id"), std::vector<std::string>{"1"});
}

TEST_F(ParamsTest, AValueMSQLCannotCarryIsRefusedBeforeAnythingRuns) {
    TmSQLQuery* insert = NewQuery("insert into v (id, s) values (1, :s)");
    insert->ParamByName("s")->SetAsString(std::string("zero\0byte", 9));
    ExpectDatabaseError(DBIERR_INVALIDPARAM, [&] { insert->ExecSQL(); });
    insert->ParamByName("s")->SetAsString("fine");
    insert->ExecSQL();
    EXPECT_EQ(Column("select s from v"), std::vector<std::string>{"fine"});
}

TEST_F(ParamsTest, NamesInEveryFormAreFoundAndFilledAlike) {
    for (const char* row : {"1, 'one'", "2, 'two'", "3, 'three'", "4, 'four'", "5, 'it\\'s :no'", "6, 'a:b'"})
        Exec(std::string("insert into v (id, s) values (") + row + ")");
    const std::string where = "where s = :\"my name\" or id = :[key] or id = :'odd, name'\n"
                              "or s = 'it\\'s :no' or id = :plain";
    TmSQLQuery* query = NewQuery("select id from v " + where + " or s = 'a::b' order by id");
    ASSERT_EQ(query->GetParamsCount(), 4);
    EXPECT_EQ(query->Params()->Items(0)->Name(), "my name");
    EXPECT_EQ(query->Params()->Items(1)->Name(), "[key]");
    EXPECT_EQ(query->Params()->Items(2)->Name(), "odd, name");
    EXPECT_EQ(query->Params()->Items(3)->Name(), "plain");
    query->ParamByName("my name")->SetAsString("two");
    query->ParamByName("[key]")->SetAsInteger(3);
    query->ParamByName("odd, name")->SetAsInteger(4);
    // "plain" is never given: NULL, which matches no row.
    query->Open();
    EXPECT_EQ(Values(*query, "id"), (std::vector<std::string>{"2", "3", "4", "5"}));

    // Outside a literal "::" is one colon and no parameter.
    query->SQL()->SetText("select id from v " + where + " or s = ::six");
    EXPECT_EQ(query->GetParamsCount(), 4);
    EXPECT_NE(query->Text().find("or s = :six"), std::string::npos) << query->Text();
    EXPECT_EQ(query->ParamByName("[key]")->AsInteger(), 3) << "values survive the change";
}

class QueryMasterDetailTest : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        Exec("create table m (id int, label char(10))");
        Exec("create table d (id int, v char(10))");
        for (int id = 1; id <= 3; ++id) {
            Exec("insert into m values (" + std::to_string(id) + ", 'm" + std::to_string(id) + "')");
            for (int n = 1; n <= id; ++n)
                Exec("insert into d values (" + std::to_string(id) + ", 'd" + std::to_string(id) +
                     std::to_string(n) + "')");
        }
        master = NewQuery("select id, label from m order by id");
        source = std::make_unique<host::TDataSource>(nullptr);
        source->SetDataSet(master);
        detail = NewQuery("select v, id from d where id = :id order by v");
        detail->SetDataSource(source.get());
    }
    void TearDown() override {
        source.reset();
        QueryTest::TearDown();
    }

    TmSQLQuery* master = nullptr;
    TmSQLQuery* detail = nullptr;
    std::unique_ptr<host::TDataSource> source;
};

TEST_F(QueryMasterDetailTest, TheDetailFollowsTheMastersCurrentRow) {
    EXPECT_EQ(detail->DataSource(), source.get());
    master->Open();
    detail->Open();
    EXPECT_EQ(Values(*detail, "v"), std::vector<std::string>{"d11"});
    master->Next();
    EXPECT_EQ(Values(*detail, "v"), (std::vector<std::string>{"d21", "d22"}));
    master->Last();
    EXPECT_EQ(Values(*detail, "v"), (std::vector<std::string>{"d31", "d32", "d33"}));
    EXPECT_FALSE(detail->ParamByName("id")->Bound()) << "the master is read again at every run";

    // A value the application binds wins over the master's.
    detail->ParamByName("id")->SetAsInteger(2);
    master->First();
    EXPECT_EQ(Values(*detail, "v"), (std::vector<std::string>{"d21", "d22"}));
    detail->ParamByName("id")->Clear();
    detail->ParamByName("id")->SetBound(false);
    master->Next();
    master->Next();
    EXPECT_EQ(detail->RecordCount(), 3);

    // An edit of a master field is no new row: the detail stays as it is.
    int reopened = 0;
    detail->SetAfterOpen([&](host::TDataSet*) { ++reopened; });
    master->Close();
    master->SetRequestLive(true);
    master->Open();
    EXPECT_GE(reopened, 1) << "the master's activation re-opens the detail";
    master->Edit();
    const int beforeFieldEdit = reopened;
    master->FieldByName("label")->SetAsString("changed");
    EXPECT_EQ(reopened, beforeFieldEdit);
    master->Post();
    EXPECT_EQ(Values(*detail, "v"), std::vector<std::string>{"d11"});
}

TEST_F(QueryMasterDetailTest, LinkFieldsAndCircularLinks) {
    master->Open();
    detail->Open();
    std::vector<host::TField*> masterFields, detailFields;
    detail->GetDetailLinkFields(masterFields, detailFields);
    ASSERT_EQ(masterFields.size(), 1u);
    EXPECT_EQ(masterFields[0], master->FieldByName("id"));
    ASSERT_EQ(detailFields.size(), 1u);
    EXPECT_EQ(detailFields[0], detail->FieldByName("id"));

    host::TDataSource detailSource(nullptr);
    detailSource.SetDataSet(detail);
    EXPECT_NE(ExpectHostError([&] { master->SetDataSource(&detailSource); }).find(host::SCircularDataLink),
              std::string::npos);
    EXPECT_NE(ExpectHostError([&] { detail->SetDataSource(&detailSource); }).find(host::SCircularDataLink),
              std::string::npos);
    EXPECT_EQ(master->DataSource(), nullptr);
    EXPECT_EQ(detail->DataSource(), source.get());
}

TEST_F(QueryMasterDetailTest, AParameterWithoutAMasterFieldIsReported) {
    detail->SQL()->SetText("select v from d where id = :nosuch");
    master->Open();
    EXPECT_NE(ExpectHostError([&] { detail->Open(); }).find("Field 'nosuch' not found"), std::string::npos);
    EXPECT_FALSE(detail->Active());
    EXPECT_FALSE(detail->Prepared());
}

} // namespace
} // namespace corvane::test
