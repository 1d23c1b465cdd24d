// Substitution of parameter values into statement text.
#include "host/Params.h"
#include "AccessFixture.h"
#include "RecordHelpers.h"
#include "access/ModifySQL.h"
#include "host/Exceptions.h"

namespace corvane::test {
namespace {

class ParamsTest : public ::testing::Test {
protected:
    host::TParam& Param(const std::string& name, host::TFieldType type = host::ftUnknown) {
        return *params.CreateParam(type, name, host::ptInput);
    }
    std::string Substitute(const std::string& sql) { return SubstituteParams(params, sql); }

    host::TParams params;
};

TEST_F(ParamsTest, EachValueKindHasItsLiteral) {
    Param("unassigned");
    Param("null").SetValue(host::Null());
    Param("int").SetAsInteger(-42);
    Param("small").SetAsSmallInt(7);
    Param("big").SetValue(host::Variant(int64_t{5000000000}));
    Param("byte").SetValue(host::Variant(uint8_t{200}));
    Param("float").SetAsFloat(2.5);
    Param("money").SetAsCurrency(19.99);
    Param("yes").SetAsBoolean(true);
    Param("no").SetAsBoolean(false);
    Param("text").SetAsString("O'Brien \\ :x");
    EXPECT_EQ(Substitute(":unassigned :null :int :small :big :byte"), "NULL NULL -42 7 5000000000 200");
    EXPECT_EQ(Substitute(":float,:money"), "2.5,19.99");
    EXPECT_EQ(Substitute(":yes :no"), "'Y' 'N'");
    EXPECT_EQ(Substitute("v = :text"), "v = 'O\\'Brien \\\\ :x'") << "escaped, and not searched for markers";
}

TEST_F(ParamsTest, DateTimesAreWrittenByTheirParts) {
    const host::TDateTime day = host::EncodeDate(1999, 3, 5);
    const host::TDateTime time = host::EncodeTime(13, 5, 9, 0);
    Param("date").SetAsDate(day);
    Param("time").SetAsTime(time);
    Param("both").SetAsDateTime(day + time);
    Param("dayonly").SetAsDateTime(day);
    Param("timeonly").SetAsDateTime(time);
    Param("midnight").SetAsTime(0);
    EXPECT_EQ(Substitute(":date :time"), "'5-Mar-1999' '13:05:09'");
    EXPECT_EQ(Substitute(":both"), "'5-Mar-1999 13:05:09'");
    EXPECT_EQ(Substitute(":dayonly :timeonly"), "'5-Mar-1999' '13:05:09'");
    EXPECT_EQ(Substitute(":midnight"), "'00:00:00'");
}

TEST_F(ParamsTest, ValuesMsqlCannotCarryAreRefusedNotChanged) {
    Param("nul").SetAsString(std::string("a\0b", 3));
    const EmSQLException e = ExpectNativeError(DBIERR_INVALIDPARAM, [&] { Substitute("v = :nul"); });
    EXPECT_NE(e.GetNativeErrorMsg().find("'nul'"), std::string::npos) << e.GetNativeErrorMsg();

    const host::TDateTime firstDay = host::EncodeDate(1, 1, 1);
    Param("first").SetAsDate(firstDay);
    Param("before").SetAsDateTime(firstDay - 1);
    Param("beforeday", host::ftDate).SetAsDateTime(firstDay - 1.5); // 31-Dec-0000 12:00
    EXPECT_EQ(Substitute(":first"), "'1-Jan-0001'");
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { Substitute(":before"); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { Substitute(":beforeday"); });
    Param("after").SetAsDateTime(host::EncodeDate(9999, 12, 31) + 1);
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { Substitute(":after"); });

    // A time that rounds to 24:00:00 stays on its day as its last second.
    const host::TDateTime day = host::EncodeDate(1999, 3, 5);
    Param("late").SetAsDateTime(day + host::EncodeTime(23, 59, 59, 600));
    Param("latetime").SetAsTime(host::EncodeTime(23, 59, 59, 700));
    EXPECT_EQ(Substitute(":late"), "'5-Mar-1999 23:59:59'");
    EXPECT_EQ(Substitute(":latetime"), "'23:59:59'");
}

TEST_F(ParamsTest, MarkersFollowTheHostParserRules) {
    Param("a").SetAsInteger(1);
    Param("my name").SetAsInteger(2);
    Param("c").SetAsInteger(4);
    EXPECT_EQ(Substitute("select * from t where x = :a and y = ':a' and z = \"::a\""),
              "select * from t where x = 1 and y = ':a' and z = \"::a\"");
    EXPECT_EQ(Substitute("a::b :\"my name\" :'my name'"), "a:b 2 2");
    EXPECT_EQ(Substitute(":[c] (:a,:c);"), "4 (1,4);");
    EXPECT_EQ(Substitute("x : y"), "x : y") << "a colon without a name is kept";
    EXPECT_EQ(Substitute("   leading\tand  inner  blanks "), "   leading\tand  inner  blanks ");
    EXPECT_THROW(Substitute("where x = :nosuch"), host::EDatabaseError);
}

TEST_F(ParamsTest, SubstitutesExactlyTheParametersParseSQLFinds) {
    const std::string sql =
        "select * from t where a = :first and b = ':skip' and c = :\"second one\", :third)";
    params.ParseSQL(sql, true);
    ASSERT_EQ(params.Count(), 3);
    for (int i = 0; i < params.Count(); ++i)
        params.Items(i)->SetAsInteger(i + 1);
    EXPECT_EQ(Substitute(sql), "select * from t where a = 1 and b = ':skip' and c = 2, 3)");
}

TEST_F(ParamsTest, AMarkerAfterABackslashEscapedQuoteIsSubstituted) {
    Param("n").SetAsInteger(7);
    EXPECT_EQ(Substitute("select * from t where v = 'it\\'s' and k = :n"),
              "select * from t where v = 'it\\'s' and k = 7");
    EXPECT_EQ(Substitute("v = 'dir\\\\' and k = :n"), "v = 'dir\\\\' and k = 7");
}

class QueryParamsTest : public AccessTest {};

TEST_F(QueryParamsTest, AParameterAfterAnEscapedQuoteReachesTheServer) {
    Exec("create table e (k int, v char(10))");
    Exec("insert into e values (1, 'it\\'s')");
    Exec("insert into e values (2, 'it\\'s')");
    auto connection = Connect();
    TNativeDataSet* raw = nullptr;
    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> query(raw);
    host::TParams params;
    params.CreateParam(host::ftInteger, "n", host::ptInput)->SetAsInteger(2);
    std::string sql = "select k from e where v = 'it\\'s' and k = :n";
    query->QuerySetParams(params, sql);
    query->OpenTable();
    EXPECT_EQ(query->GetRecordCount(), 1);
}

TEST_F(QueryParamsTest, QuerySetParamsMakesTheStatementText) {
    Exec("create table q (k int, v char(10), d date, t time)");
    Exec("insert into q values (1, 'O\\'Brien', '05-Mar-1999', '13:05:09')");
    Exec("insert into q values (2, 'back\\\\', '06-Mar-1999', '14:00:00')");
    Exec("insert into q values (3, 'plain', '07-Mar-1999', '15:00:00')");
    auto connection = Connect();
    TNativeDataSet* raw = nullptr;
    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> query(raw);

    host::TParams params;
    params.CreateParam(host::ftString, "v", host::ptInput)->SetAsString("O'Brien");
    params.CreateParam(host::ftString, "w", host::ptInput)->SetAsString("back\\");
    params.CreateParam(host::ftDate, "d", host::ptInput)->SetAsDate(host::EncodeDate(1999, 3, 6));
    params.CreateParam(host::ftTime, "t", host::ptInput)->SetAsTime(host::EncodeTime(15, 0, 0, 0));
    std::string sql = "select k from q where v = :v or v = :w or d = :d or t = :t";
    query->QuerySetParams(params, sql);
    EXPECT_STREQ(query->GetSQLText(), sql.c_str());
    query->OpenTable();
    EXPECT_EQ(query->GetRecordCount(), 3);
}

} // namespace
} // namespace corvane::test
