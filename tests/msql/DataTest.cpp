// Stored values and their output texts per type, NULLs, escapes, ranges, and the write statements.
#include "MsqlFixture.h"

using namespace msqltest;

class Data : public MsqlTest {};

TEST_F(Data, EachTypeStoresAndPrintsItsText) {
    Exec("create table t (i int, u uint, c char(10), r real, d date, tm time, m money, x text(4))");
    EXPECT_EQ(
        Exec("insert into t values (-2147483647, 4294967295, 'abc', 1.50, '1-Jan-1997', '8:30:00', 12.5, "
             "'hello world')"),
        1);
    Rows rows = Select("select * from t");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (Row{"-2147483647", "4294967295", "abc", "1.50", "01-Jan-1997", "08:30:00", "12.50",
                            "hello world"}));
}

TEST_F(Data, RealsKeepTheDecimalsTheyWereWrittenWith) {
    Exec("create table t (n int, r real)");
    Exec("insert into t values (1, 1.50)");
    Exec("insert into t values (2, 2.)");
    Exec("insert into t values (3, .5)");
    Exec("insert into t values (4, 1.0e+3)");
    Exec("insert into t values (5, 2)");
    Exec("insert into t values (6, -0.125)");
    Rows rows = Select("select r, n from t order by n");
    EXPECT_EQ(
        rows,
        (Rows{{"1.50", "1"}, {"2", "2"}, {"0.5", "3"}, {"1000.0000", "4"}, {"2", "5"}, {"-0.125", "6"}}));
}

TEST_F(Data, MoneyPrintsTwoDecimals) {
    Exec("create table t (n int, m money)");
    Exec("insert into t values (1, 12.345)");
    Exec("insert into t values (2, 12.346)");
    Exec("insert into t values (3, -0.05)");
    Exec("insert into t values (4, 1000)");
    Exec("insert into t values (5, 0)");
    EXPECT_EQ(Select("select n, m from t order by n"),
              (Rows{{"1", "12.34"}, {"2", "12.35"}, {"3", "-0.05"}, {"4", "1000.00"}, {"5", "0.00"}}));
    EXPECT_EQ(Error("insert into t values (6, '12.34')"), "Literal value for 'm' is wrong type");
    EXPECT_EQ(Error("insert into t values (6, 99999999.00)"), "Numeric value outside field value range");
}

TEST_F(Data, IntegerRangesAreChecked) {
    Exec("create table t (i int, u uint)");
    EXPECT_EQ(Error("insert into t values (-2147483648, 0)"), "Numeric value outside field value range");
    EXPECT_EQ(Error("insert into t values (2147483648, 0)"), "Numeric value outside field value range");
    EXPECT_EQ(Error("insert into t values (0, -1)"), "Numeric value outside field value range");
    EXPECT_EQ(Error("insert into t values (0, 4294967296)"), "Numeric value outside field value range");
    EXPECT_EQ(Error("insert into t values (99999999999999999999999, 0)"),
              "Numeric value outside field value range");
    Exec("insert into t values (2.7, 3.9)");
    Exec("insert into t values (-2.7, 0)");
    EXPECT_EQ(Select("select i, u from t order by i"), (Rows{{"-2", "0"}, {"2", "3"}}));
    EXPECT_EQ(Error("insert into t values ('1', 0)"), "Literal value for 'i' is wrong type");
}

TEST_F(Data, StringsKeepQuotesBackslashesAndEmptyIsNotNull) {
    Exec("create table t (n int, c char(20), x text(5))");
    Exec("insert into t values (1, 'O\\'Brien', 'a\\\\b')");
    Exec("insert into t values (2, '', 'line1\\nline2')");
    Exec("insert into t values (3, NULL, null)");
    Exec("insert into t values (4, 'trail  ', 'x')");
    Rows rows = Select("select c, x, n from t order by n");
    EXPECT_EQ(
        rows,
        (Rows{{"O'Brien", "a\\b", "1"}, {"", "line1\nline2", "2"}, {NUL, NUL, "3"}, {"trail  ", "x", "4"}}));
    EXPECT_EQ(Select("select n from t where c = 'O\\'Brien'"), (Rows{{"1"}}));
    EXPECT_EQ(Select("select n from t where c = ''"), (Rows{{"2"}}));
}

TEST_F(Data, TooLongCharIsRefusedOnInsertAndUpdate) {
    Exec("create table t (a char(3), b int)");
    EXPECT_EQ(Error("insert into t values ('abcd', 1)"), "Value for \"a\" is too large");
    Exec("insert into t values ('abc', 1)");
    EXPECT_EQ(Error("update t set a = 'wxyz'"), "Value for \"a\" is too large");
    EXPECT_EQ(Select("select a, b from t"), (Rows{{"abc", "1"}}));
}

TEST_F(Data, TextHoldsLongValuesBeyondItsLength) {
    Exec("create table t (x text(4))");
    std::string big(100000, 'z');
    Exec("insert into t values ('" + big + "')");
    EXPECT_EQ(One("select x from t"), big);
}

TEST_F(Data, StatementLengthIsBoundByOnePacketOnEveryConnection) {
    Exec("create table t (x text(4))");
    const std::string value(100000, 'v');
    std::string sql = "insert into t values ('" + value + "')";
    sql.resize(131069, ' '); // the longest statement: "3:" and a newline make one full packet
    Exec(sql);
    sql += ' ';
    EXPECT_EQ(Error(sql), "Query too long (limit 131069 bytes)");
    // The refusal changes nothing and leaves the connection usable.
    EXPECT_EQ(Select("select x from t"), (Rows{{value}}));
}

TEST_F(Data, ARowMustFitOneReplyPacketWhicheverWayItGrows) {
    Exec("create table t (a text(10), b char(100), n real)");
    const std::string b(100, 'b');
    Exec("insert into t values ('a', '" + b + "', 1.5)");
    // The row reply: "130955:<a>" "100:<b>" "3:1.5" and a newline, 131072 bytes in all.
    const std::string fits(130955, 'x');
    Exec("update t set a = '" + fits + "'");
    EXPECT_EQ(Select("select a, b, n from t"), (Rows{{fits, b, "1.5"}}));
    const std::string refused = Error("update t set a = '" + fits + "y'");
    EXPECT_EQ(refused,
              "Row too large for table \"t\": a row must fit one 128 KiB packet (131073 bytes)");
    EXPECT_EQ(Error("update t set n = 10.5"),
              "Row too large for table \"t\": a row must fit one 128 KiB packet (131073 bytes)");
    // A real prints longer than its literal: 1e300 takes 301 digits and its decimals.
    EXPECT_EQ(Error("insert into t values ('" + std::string(130700, 'z') + "', '" + b + "', 1e300)")
                  .rfind("Row too large for table \"t\": a row must fit one 128 KiB packet", 0),
              0u);
    // Nothing of the refused writes is kept; a row that shrinks is written.
    EXPECT_EQ(Select("select a, b, n from t"), (Rows{{fits, b, "1.5"}}));
    Exec("insert into t values ('a', '" + b + "', 2.5)");
    Exec("update t set a = '" + fits + "' where n = 2.5");
    EXPECT_EQ(Error("update t set b = '" + b + "c' where n = 2.5"), "Value for \"b\" is too large");
    Exec("update t set b = 'short'");
    EXPECT_EQ(Select("select b, n from t order by n"), (Rows{{"short", "1.5"}, {"short", "2.5"}}));
}

TEST_F(Data, DatesAndTimesValidateAndEmptyMeansNull) {
    Exec("create table t (d date, tm time)");
    EXPECT_EQ(Error("insert into t values ('05-MAR-1999', '1:00:00')"), "Invalid date format");
    EXPECT_EQ(Error("insert into t values ('31-Apr-1999', '1:00:00')"), "Invalid date format");
    EXPECT_EQ(Error("insert into t values ('5-Mar-1999', '12:30')"), "Invalid time format");
    EXPECT_EQ(Error("insert into t values ('5-Mar-1999', '12:60:00')"), "Invalid time format");
    EXPECT_EQ(Error("insert into t values (19990305, '1:00:00')"), "Literal value for 'd' is wrong type");
    Exec("insert into t values ('', '')");
    Exec("insert into t values ('29-feb-2000', '0:00:00')");
    EXPECT_EQ(Select("select d, tm from t order by d"), (Rows{{NUL, NUL}, {"29-Feb-2000", "00:00:00"}}));
}

TEST_F(Data, InsertColumnListChecks) {
    Exec("create table t (a int not null, b char(5), c int)");
    Exec("insert into t (b, a) values ('x', 1)");
    EXPECT_EQ(Select("select a, b, c from t"), (Rows{{"1", "x", NUL}}));
    EXPECT_EQ(Error("insert into t (a, a) values (1, 2)"), "Field 'a' not unique");
    EXPECT_EQ(Error("insert into t (a, b) values (1)"), "Missing value for field 'b'");
    EXPECT_EQ(Error("insert into t values (1, 'x')"), "Missing value for field 'c'");
    EXPECT_EQ(Error("insert into t (zz) values (1)"), "Unknown field \"t.zz\"");
    EXPECT_EQ(Error("insert into t (b) values ('y')"), "Field \"a\" cannot be null");
    EXPECT_EQ(Error("insert into t values (NULL, 'x', 1)"), "Field \"a\" cannot be null");
    EXPECT_EQ(Error("insert into t values (1, 'x', 1, 2)"), "Too many values for table \"t\"");
    EXPECT_EQ(Error("insert into nosuch values (1)"), "Unknown table \"nosuch\"");
}

TEST_F(Data, BulkInsertKeepsRowsBeforeAFailure) {
    Exec("create table t (a int not null)");
    EXPECT_EQ(Exec("insert into t values (1), (2), (3)"), 3);
    EXPECT_EQ(Error("insert into t values (4), (NULL)"), "Field \"a\" cannot be null");
    EXPECT_EQ(Select("select a from t order by a"), (Rows{{"1"}, {"2"}, {"3"}, {"4"}}));
}

TEST_F(Data, UpdateAndDeleteReturnAffectedCounts) {
    Exec("create table t (a int, b char(5))");
    Exec("insert into t values (1, 'x'), (2, 'y'), (3, 'x')");
    EXPECT_EQ(Exec("update t set b = 'z' where b = 'x'"), 2);
    EXPECT_EQ(Exec("update t set b = 'q' where a = 99"), 0);
    EXPECT_EQ(Exec("update t set a = 2.9, b = NULL where a = 3"), 1);
    EXPECT_EQ(Select("select a, b from t order by a, b"), (Rows{{"1", "z"}, {"2", NUL}, {"2", "y"}}));
    EXPECT_EQ(Exec("delete from t where a = 2"), 2);
    EXPECT_EQ(Exec("delete from t"), 1);
    EXPECT_EQ(Exec("delete from t"), 0);
    EXPECT_EQ(Error("update t set zz = 1"), "Unknown field \"t.zz\"");
    EXPECT_EQ(Error("update t set a = 'x'"), "Literal value for 'a' is wrong type");
}

TEST_F(Data, UniqueIndexRefusesDuplicatesAndIndexedColumnsRefuseNull) {
    Exec("create table t (a int, b char(5))");
    Exec("create unique index ia on t (a)");
    Exec("insert into t values (1, 'x')");
    EXPECT_EQ(Error("insert into t values (1, 'y')"), "Non unique value for unique index");
    EXPECT_EQ(Error("insert into t values (NULL, 'y')"), "Index field \"a\" cannot be NULL");
    Exec("insert into t values (2, 'y')");
    EXPECT_EQ(Error("update t set a = 1 where a = 2"), "Non unique value for unique index");
    EXPECT_EQ(Error("update t set a = NULL"), "Index field \"a\" cannot be NULL");
    EXPECT_EQ(Select("select a, b from t order by a"), (Rows{{"1", "x"}, {"2", "y"}}));
}

TEST_F(Data, TimestampTracksModification) {
    Exec("create table t (a int)");
    Exec("insert into t values (1)");
    Value ts = One("select _timestamp from t");
    ASSERT_TRUE(ts.has_value());
    EXPECT_GT(std::stoll(*ts), 1000000000LL);
}
