// Literals, generated INSERT/UPDATE/DELETE statements, record writes and re-positioning.
#include <cmath>
#include <cstring>

#include "AccessFixture.h"
#include "ClientSpy.h"
#include "RecordHelpers.h"
#include "access/ModifySQL.h"
#include "client/ValueConversions.h"

namespace corvane::test {
namespace {

// ---- Literals

TEST(mSQLLiterals, QuoteEscapesQuotesAndBackslashesOnly) {
    EXPECT_EQ(mSQLQuote("plain"), "'plain'");
    EXPECT_EQ(mSQLQuote(""), "''");
    EXPECT_EQ(mSQLQuote("O'Brien"), "'O\\'Brien'");
    EXPECT_EQ(mSQLQuote("a\\b"), "'a\\\\b'");
    EXPECT_EQ(mSQLQuote("ends\\"), "'ends\\\\'") << "a trailing backslash cannot escape the closing quote";
    EXPECT_EQ(mSQLQuote("''"), "'\\'\\''");
    // A statement cannot carry a zero byte: such a text is refused, never cut.
    ExpectNativeError(DBIERR_INVALIDPARAM, [] { mSQLQuote(std::string_view("cut\0here", 8)); });

    std::string bytes;
    for (int c = 1; c < 256; ++c)
        bytes += static_cast<char>(c);
    std::string expected = "'";
    for (const char c : bytes) {
        if (c == '\'' || c == '\\') expected += '\\';
        expected += c;
    }
    expected += "'";
    EXPECT_EQ(mSQLQuote(bytes), expected);
}

TEST(mSQLLiterals, FloatTextReadsBackExactlyInMsqlSyntax) {
    EXPECT_EQ(mSQLFloatText(1.5), "1.5");
    EXPECT_EQ(mSQLFloatText(-0.25), "-0.25");
    EXPECT_EQ(mSQLFloatText(100), "100");
    EXPECT_EQ(mSQLFloatText(1e20), "1.0e+20");
    EXPECT_EQ(mSQLFloatText(1e-5), "1.0e-05");
    EXPECT_EQ(mSQLFloatText(1.25e-7), "1.25e-07");
    for (const double value : {1.0 / 3, 0.1, 123456789.123456789, -2.5e300})
        EXPECT_EQ(StrToSQLFloat(mSQLFloatText(value)), value) << mSQLFloatText(value);
    ExpectNativeError(DBIERR_INVALIDPARAM, [] { mSQLFloatText(std::nan("")); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [] { mSQLFloatText(HUGE_VAL); });
}

TEST(mSQLLiterals, DateAndTimeTexts) {
    EXPECT_EQ(mSQLDateText(host::EncodeDate(1999, 3, 5)), "5-Mar-1999");
    EXPECT_EQ(mSQLDateText(host::EncodeDate(999, 12, 31)), "31-Dec-0999") << "four-digit year";
    EXPECT_EQ(mSQLDateText(0), "30-Dec-1899") << "day 0 is a date like any other";
    EXPECT_EQ(mSQLTimeText(0), "00:00:00") << "midnight is a time like any other";
    EXPECT_EQ(mSQLTimeText(host::EncodeTime(13, 5, 9, 0) - 1e-9), "13:05:09") << "rounded to the second";
    EXPECT_EQ(mSQLTimeText(host::EncodeDate(2001, 1, 1) + host::EncodeTime(23, 59, 59, 999)), "23:59:59");
}

// ---- Statements and writes

class ModifyTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        Exec("create table w (i int, u uint, c char(12), r real, m money, d date, t time, x text(4))");
        Exec("create unique index wi on w (i)");
        connection = Connect();
    }
    void TearDown() override {
        connection.reset();
        AccessTest::TearDown();
    }
    std::vector<std::string> Rows(const std::string& sql) { return QueryRows(fAdmin, sql); }

    // A table cursor with its own record buffer.
    struct Opened {
        std::unique_ptr<TNativeDataSet> cursor;
        std::vector<uint8_t> row;
    };
    Opened Open(const std::string& table, const std::string& index = "") {
        TNativeDataSet* raw = nullptr;
        connection->OpenTable(table, index, 0, dbiREADWRITE, dbiOPENSHARED, raw);
        Opened opened{std::unique_ptr<TNativeDataSet>(raw), {}};
        opened.row = WorkBuffer(*opened.cursor);
        return opened;
    }
    // Positions on row n (0-based) and reads it into the cursor's buffer.
    static void ReadRow(Opened& opened, int32_t n) {
        opened.cursor->SetCurrentBuffer(opened.row.data());
        opened.cursor->SettoSeqNo(n);
    }

    std::unique_ptr<TNativeConnect> connection;
};

TEST_F(ModifyTest, InsertWritesEveryTypeAndRoundTrips) {
    Opened w = Open("w");
    std::vector<uint8_t> record = NewRecord(*w.cursor);
    SetInt(*w.cursor, record, 1, -7);
    const int32_t bigUnsigned = static_cast<int32_t>(4000000000u);
    w.cursor->PutField(2, record.data(), &bigUnsigned);
    SetText(*w.cursor, record, 3, "O'Brien\\");
    SetReal(*w.cursor, record, 4, 0.1);
    SetReal(*w.cursor, record, 5, 19.99);
    SetDate(*w.cursor, record, 6, 1999, 3, 5);
    SetTime(*w.cursor, record, 7, 0, 0, 0);
    const std::string text = "it's a \\ long text";
    w.cursor->PutBlob(record.data(), 8, 0, static_cast<uint32_t>(text.size()),
                      reinterpret_cast<const uint8_t*>(text.data()));
    EXPECT_EQ(w.cursor->GetInsertSQL("w", record.data()),
              "INSERT INTO w (i, u, c, r, m, d, t, x) VALUES (-7, 4000000000, 'O\\'Brien\\\\', 0.1, 19.99, "
              "'5-Mar-1999', '00:00:00', 'it\\'s a \\\\ long text')");
    w.cursor->InsertRecord(dbiNOLOCK, record.data());
    EXPECT_EQ(Rows("select * from w"),
              std::vector<std::string>{"-7|4000000000|O'Brien\\|0.1|19.99|05-Mar-1999|"
                                       "00:00:00|it's a \\ long text"});
    EXPECT_EQ(w.cursor->RowsAffected(), 1);
    EXPECT_EQ(w.cursor->Position(), cpOnRecord);

    // The record buffer now holds the row as the server stored it.
    bool blank = true;
    char c[13] = {};
    w.cursor->GetField(3, record.data(), c, blank);
    EXPECT_STREQ(c, "O'Brien\\");
    double r = 0;
    w.cursor->GetField(4, record.data(), &r, blank);
    EXPECT_EQ(r, 0.1);
    int32_t time = -1;
    w.cursor->GetField(7, record.data(), &time, blank);
    EXPECT_FALSE(blank) << "midnight is stored as a time, not as NULL";
    EXPECT_EQ(time, 0);
    int32_t u = 0;
    w.cursor->GetField(2, record.data(), &u, blank);
    EXPECT_EQ(u, bigUnsigned) << "an unsigned value above 2^31 keeps its 32 bits";

    // Writing the row back keeps the unsigned value.
    std::vector<uint8_t> changed = record;
    SetText(*w.cursor, changed, 3, "changed");
    w.cursor->ModifyRecord(record.data(), changed.data(), -1);
    EXPECT_EQ(Rows("select u, c from w"), std::vector<std::string>{"4000000000|changed"});
}

TEST_F(ModifyTest, NullFieldsAreLeftOutOfInserts) {
    Opened w = Open("w");
    std::vector<uint8_t> record = NewRecord(*w.cursor);
    SetInt(*w.cursor, record, 1, 1);
    SetText(*w.cursor, record, 3, "");
    EXPECT_EQ(w.cursor->GetInsertSQL("w", record.data()), "INSERT INTO w (i, c) VALUES (1, '')");
    w.cursor->InsertRecord(dbiNOLOCK, record.data());
    EXPECT_EQ(Rows("select * from w"), std::vector<std::string>{"1|NULL||NULL|NULL|NULL|NULL|NULL"});
}

TEST_F(ModifyTest, AnAllNullRecordInsertsARowOfNulls) {
    Exec("create table p (a int, b char(3))");
    Opened p = Open("p");
    std::vector<uint8_t> record = NewRecord(*p.cursor);
    EXPECT_EQ(p.cursor->GetInsertSQL("p", record.data()), "INSERT INTO p (a) VALUES (NULL)");
    p.cursor->InsertRecord(dbiNOLOCK, record.data());
    EXPECT_EQ(Rows("select * from p"), std::vector<std::string>{"NULL|NULL"});
}

TEST_F(ModifyTest, UpdateWritesChangedFieldsAndNulls) {
    Exec("insert into w values (1, 2, 'a\\'b', 1.5, 2.50, '01-Jan-2000', '10:00:00', 'memo')");
    Exec("insert into w values (2, 3, 'keep', 1.5, 2.50, '01-Jan-2000', '10:00:00', 'memo')");
    Opened w = Open("w");
    ReadRow(w, 0);
    std::vector<uint8_t> changed = w.row;
    SetNull(*w.cursor, changed, 3);
    SetReal(*w.cursor, changed, 4, 2.75);
    EXPECT_EQ(w.cursor->GetUpdateSQL("w", w.row.data(), changed.data()),
              "UPDATE w SET c=NULL, r=2.75 WHERE i=1");
    w.cursor->ModifyRecord(w.row.data(), changed.data(), -1);
    EXPECT_EQ(Rows("select i, c, r from w"), (std::vector<std::string>{"1|NULL|2.75", "2|keep|1.5"}));
    EXPECT_EQ(w.cursor->RowsAffected(), 1);
    EXPECT_EQ(w.cursor->GetRecordNo(), 0);
    EXPECT_FALSE(w.cursor->RecordLocked());

    // Nothing changed: nothing is sent, and the cursor is refreshed all the same.
    QuerySpy spy;
    std::vector<uint8_t> same = NewRecord(*w.cursor);
    EXPECT_EQ(w.cursor->GetUpdateSQL("w", w.row.data(), same.data()), "");
    w.cursor->ModifyRecord(w.row.data(), same.data(), -1);
    EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from w "});
}

TEST_F(ModifyTest, KeyConditionsWithoutUniqueIndexTestNulls) {
    Exec("create table n (a int, b char(4), x text(5))");
    Exec("insert into n values (1, NULL, 'one')");
    Exec("insert into n values (1, 'x', 'two')");
    Opened n = Open("n");
    ReadRow(n, 0);
    std::vector<uint8_t> changed = n.row;
    SetInt(*n.cursor, changed, 1, 5);
    EXPECT_EQ(n.cursor->GetUpdateSQL("n", n.row.data(), changed.data()),
              "UPDATE n SET a=5 WHERE a=1 AND b=NULL");
    n.cursor->ModifyRecord(n.row.data(), changed.data(), -1);
    EXPECT_EQ(Rows("select a, b from n"), (std::vector<std::string>{"5|NULL", "1|x"}))
        << "the row with the non-null key field is not touched";
    EXPECT_EQ(n.cursor->GetDeleteSQL("n", changed.data()), "DELETE FROM n WHERE a=5 AND b=NULL");
}

TEST_F(ModifyTest, WritesThatCannotNameTheirRowAreRefused) {
    Exec("create table tx (x text(10))");
    Exec("insert into tx values ('a')");
    Exec("insert into tx values ('b')");
    Opened tx = Open("tx");
    ReadRow(tx, 0);
    std::vector<uint8_t> changed = tx.row;
    const char text[] = "new";
    tx.cursor->PutBlob(changed.data(), 1, 0, 3, reinterpret_cast<const uint8_t*>(text));
    QuerySpy spy;
    ExpectNativeError(DBIERR_NOTUNIQUELYINDEXED,
                      [&] { tx.cursor->ModifyRecord(tx.row.data(), changed.data(), -1); });
    ExpectNativeError(DBIERR_NOTUNIQUELYINDEXED, [&] { tx.cursor->DeleteRecord(tx.row.data()); });
    EXPECT_TRUE(spy.Statements().empty()) << "nothing is sent";
    EXPECT_EQ(Rows("select x from tx"), (std::vector<std::string>{"a", "b"}));
}

TEST_F(ModifyTest, DeleteRepositionsAndSucceedsOnTheLastRow) {
    Exec("insert into w (i, c) values (1, 'O\\'Brien')");
    Exec("insert into w (i, c) values (2, 'two')");
    Exec("insert into w (i, c) values (3, 'three')");
    Opened w = Open("w", "wi");
    ReadRow(w, 2);
    w.cursor->DeleteRecord(w.row.data());
    EXPECT_EQ(w.cursor->GetRecordNo(), 1) << "on the row before the deleted one";
    EXPECT_EQ(CurrentRow(*w.cursor).substr(0, 2), "2|");
    ReadRow(w, 0);
    EXPECT_EQ(w.cursor->GetDeleteSQL("w", w.row.data()), "DELETE FROM w WHERE i=1");
    w.cursor->DeleteRecord(w.row.data());
    EXPECT_EQ(w.cursor->GetRecordNo(), 0);
    EXPECT_EQ(w.cursor->RowsAffected(), 1);

    ReadRow(w, 0);
    w.cursor->DeleteRecord(w.row.data()); // the last row: no error after the row is gone
    EXPECT_TRUE(Rows("select i from w").empty());
    EXPECT_EQ(w.cursor->Position(), cpUnpositioned);
    EXPECT_EQ(w.cursor->GetRecordCount(), 0);
    ExpectNativeError(DBIERR_BOF, [&] { w.cursor->GetNextRecord(dbiNOLOCK, w.row.data(), nullptr); });
}

TEST_F(ModifyTest, InsertIntoAnOrderedTableLandsOnTheNewRow) {
    Exec("insert into w (i, c) values (10, 'ten')");
    Exec("insert into w (i, c) values (30, 'thirty')");
    Opened w = Open("w", "wi");
    std::vector<uint8_t> record = NewRecord(*w.cursor);
    SetInt(*w.cursor, record, 1, 20);
    SetText(*w.cursor, record, 3, "twenty");
    w.cursor->InsertRecord(dbiNOLOCK, record.data());
    EXPECT_EQ(w.cursor->GetRecordNo(), 1);
    EXPECT_EQ(IntField(*w.cursor, record.data(), 1), 20) << "the buffer holds the new row";
    EXPECT_EQ(w.cursor->Position(), cpOnRecord);

    // A modify that moves the row in the order follows it.
    ReadRow(w, 0);
    std::vector<uint8_t> changed = w.row;
    SetInt(*w.cursor, changed, 1, 40);
    w.cursor->ModifyRecord(w.row.data(), changed.data(), -1);
    EXPECT_EQ(w.cursor->GetRecordNo(), 2);
    EXPECT_EQ(CurrentRow(*w.cursor).substr(0, 7), "40|NULL");
}

TEST_F(ModifyTest, ARowOutsideTheRangeLeavesTheCursorOnTheNearestRow) {
    Exec("insert into w (i) values (10)");
    Exec("insert into w (i) values (30)");
    Opened w = Open("w", "wi");
    std::vector<uint8_t> low = NewRecord(*w.cursor);
    SetInt(*w.cursor, low, 1, 20);
    w.cursor->SetRange(false, 1, 0, low.data(), true, 0, 0, nullptr, false);
    std::vector<uint8_t> record = NewRecord(*w.cursor);
    SetInt(*w.cursor, record, 1, 5);
    w.cursor->InsertRecord(dbiNOLOCK, record.data());
    EXPECT_EQ(Rows("select i from w where i = 5"), std::vector<std::string>{"5"});
    EXPECT_EQ(w.cursor->Position(), cpOnRecord);
    EXPECT_EQ(IntField(*w.cursor, record.data(), 1), 30);
}

TEST_F(ModifyTest, InsertWithoutUniqueKeyFindsTheRowByItsValues) {
    Exec("create table o (k int, v char(4))");
    Exec("create index ok on o (k)");
    Exec("insert into o values (1, 'a')");
    Exec("insert into o values (3, 'c')");
    Opened o = Open("o", "ok");
    std::vector<uint8_t> record = NewRecord(*o.cursor);
    SetInt(*o.cursor, record, 1, 2);
    SetText(*o.cursor, record, 2, "b");
    o.cursor->InsertRecord(dbiNOLOCK, record.data());
    EXPECT_EQ(o.cursor->GetRecordNo(), 1);
    EXPECT_EQ(CurrentRow(*o.cursor), "2|b");
}

TEST_F(ModifyTest, AServerErrorLeavesTheCursorAsItWas) {
    Exec("insert into w (i) values (1)");
    Exec("insert into w (i) values (2)");
    Opened w = Open("w");
    ReadRow(w, 1);
    std::vector<uint8_t> record = NewRecord(*w.cursor);
    SetInt(*w.cursor, record, 1, 1);
    const EmSQLException error =
        ExpectNativeError(DBIERR_NATIVE, [&] { w.cursor->InsertRecord(dbiNOLOCK, record.data()); });
    EXPECT_NE(error.GetNativeErrorMsg().find("unique"), std::string::npos) << error.GetNativeErrorMsg();
    EXPECT_TRUE(w.cursor->Active());
    EXPECT_EQ(w.cursor->GetRecordNo(), 1);
    EXPECT_EQ(w.cursor->GetRecordCount(), 2);
}

TEST_F(ModifyTest, StatementCursorsWriteToTheirTable) {
    Exec("insert into w (i, c) values (1, 'one')");
    TNativeDataSet* raw = nullptr;
    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> query(raw);
    connection->QueryPrepare(query.get(), "select i, c from w where i > 0");
    query->OpenTable();
    std::vector<uint8_t> record = NewRecord(*query);
    SetInt(*query, record, 1, 2);
    SetText(*query, record, 2, "two");
    query->InsertRecord(dbiNOLOCK, record.data());
    EXPECT_EQ(query->GetRecordCount(), 2);
    EXPECT_EQ(CurrentRow(*query), "2|two");
    EXPECT_EQ(Rows("select i, c from w"), (std::vector<std::string>{"1|one", "2|two"}));
}

// ---- Writes change exactly the row they mean

TEST_F(ModifyTest, AWriteThatFindsNoRowIsReportedAsDeleted) {
    // Without a unique index every field is tested; a REAL printed with fewer decimals than it holds
    // no longer matches the text it was read from.
    Exec("create table fr (r real, c char(4))");
    Exec("insert into fr values (1.0e-10, 'a')");
    Opened fr = Open("fr");
    ReadRow(fr, 0);
    ASSERT_EQ(CurrentRow(*fr.cursor), "0.00000|a");
    std::vector<uint8_t> changed = fr.row;
    SetText(*fr.cursor, changed, 2, "b");
    ExpectNativeError(DBIERR_KEYORRECDELETED,
                      [&] { fr.cursor->ModifyRecord(fr.row.data(), changed.data(), -1); });
    ExpectNativeError(DBIERR_KEYORRECDELETED, [&] { fr.cursor->DeleteRecord(fr.row.data()); });
    EXPECT_EQ(Rows("select c from fr"), std::vector<std::string>{"a"});

    // With a unique index the statement is sent as it is; a row deleted since it was read is not found.
    Exec("insert into w (i, c) values (1, 'one')");
    Opened w = Open("w");
    ReadRow(w, 0);
    Exec("delete from w where i = 1");
    std::vector<uint8_t> edit = w.row;
    SetText(*w.cursor, edit, 3, "uno");
    QuerySpy spy;
    ExpectNativeError(DBIERR_KEYORRECDELETED, [&] { w.cursor->ModifyRecord(w.row.data(), edit.data(), -1); });
    ExpectNativeError(DBIERR_KEYORRECDELETED, [&] { w.cursor->DeleteRecord(w.row.data()); });
    EXPECT_EQ(spy.Statements(),
              (std::vector<std::string>{"UPDATE w SET c='uno' WHERE i=1", "DELETE FROM w WHERE i=1"}));
    EXPECT_TRUE(Rows("select i from w").empty());
    EXPECT_EQ(w.cursor->GetRecordCount(), 1) << "the cursor keeps the rows it had";
}

TEST_F(ModifyTest, AWriteThatWouldChangeSeveralRowsIsRefused) {
    Exec("insert into w (i, c) values (1, 'same')");
    Exec("insert into w (i, c) values (2, 'same')");
    TNativeDataSet* raw = nullptr;
    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> query(raw);
    connection->QueryPrepare(query.get(), "select c from w");
    query->OpenTable();
    std::vector<uint8_t> row = WorkBuffer(*query);
    query->SetCurrentBuffer(row.data());
    query->SettoSeqNo(0);
    std::vector<uint8_t> changed = row;
    SetText(*query, changed, 1, "new");

    QuerySpy spy;
    ExpectNativeError(DBIERR_NOTUNIQUELYINDEXED, [&] { query->DeleteRecord(row.data()); });
    ExpectNativeError(DBIERR_NOTUNIQUELYINDEXED,
                      [&] { query->ModifyRecord(row.data(), changed.data(), -1); });
    EXPECT_EQ(spy.Statements(), std::vector<std::string>(2, "SELECT c FROM w WHERE c='same'"))
        << "only counted";
    EXPECT_EQ(Rows("select i, c from w"), (std::vector<std::string>{"1|same", "2|same"}));

    // Once the row can be told apart, the same write goes through after its one row was counted.
    Exec("update w set c = 'other' where i = 2");
    query->OpenTable();
    query->SetCurrentBuffer(row.data());
    query->SettoSeqNo(0);
    spy.Clear();
    query->ModifyRecord(row.data(), changed.data(), -1);
    EXPECT_EQ(spy.Statements()[0], "SELECT c FROM w WHERE c='same'");
    EXPECT_EQ(spy.Statements()[1], "UPDATE w SET c='new' WHERE c='same'");
    EXPECT_EQ(Rows("select i, c from w"), (std::vector<std::string>{"1|new", "2|other"}));
}

// A write the server stored is a success even when reading the result again fails: the cursor reports
// that failure on its next operation instead, so that nobody retries a write that already happened.
TEST_F(ModifyTest, AStoredWriteSucceedsWhenTheRereadFails) {
    Exec("insert into w (i, c) values (1, 'one')");
    Opened w = Open("w");
    std::vector<uint8_t> record = NewRecord(*w.cursor);
    SetInt(*w.cursor, record, 1, 2);
    {
        QuerySpy spy;
        spy.FailWhenContaining("Select * from w");
        w.cursor->InsertRecord(dbiNOLOCK, record.data());
        EXPECT_EQ(w.cursor->RowsAffected(), 1);
        EXPECT_EQ(Rows("select i from w"), (std::vector<std::string>{"1", "2"}));
        spy.Clear();
        const EmSQLException reported =
            ExpectNativeError(DBIERR_NATIVE, [&] { w.cursor->GetRecord(dbiNOLOCK, w.row.data(), nullptr); });
        EXPECT_FALSE(reported.GetNativeErrorMsg().empty());
        EXPECT_TRUE(spy.Statements().empty()) << "the failure of the write's re-read is reported as it was";
        ExpectNativeError(DBIERR_NATIVE, [&] { w.cursor->GetRecord(dbiNOLOCK, w.row.data(), nullptr); });
        EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from w "}) << "then tried again";
    }
    w.cursor->GetRecord(dbiNOLOCK, w.row.data(), nullptr);
    EXPECT_EQ(IntField(*w.cursor, w.row.data(), 1), 2) << "on the row written last";
    EXPECT_EQ(w.cursor->GetRecordCount(), 2);

    // The same for a modify and a delete.
    std::vector<uint8_t> changed = w.row;
    SetText(*w.cursor, changed, 3, "two");
    {
        QuerySpy spy;
        spy.FailWhenContaining("Select * from w");
        w.cursor->ModifyRecord(w.row.data(), changed.data(), -1);
        w.cursor->DeleteRecord(changed.data());
        EXPECT_EQ(spy.Statements(),
                  (std::vector<std::string>{"UPDATE w SET c='two' WHERE i=2", "Select * from w ",
                                            "DELETE FROM w WHERE i=2", "Select * from w "}));
    }
    EXPECT_EQ(Rows("select i, c from w"), std::vector<std::string>{"1|one"});
    ExpectNativeError(DBIERR_NATIVE, [&] { w.cursor->GetNextRecord(dbiNOLOCK, w.row.data(), nullptr); });
    w.cursor->SetToBegin();
    w.cursor->GetNextRecord(dbiNOLOCK, w.row.data(), nullptr);
    EXPECT_EQ(IntField(*w.cursor, w.row.data(), 1), 1);
}

// ---- Values mSQL cannot carry

TEST_F(ModifyTest, ValuesMsqlCannotCarryAreRefusedNotChanged) {
    Opened w = Open("w");
    std::vector<uint8_t> record = NewRecord(*w.cursor);
    SetInt(*w.cursor, record, 1, 1);
    const std::string text("zero\0byte", 9);
    w.cursor->PutBlob(record.data(), 8, 0, 9, reinterpret_cast<const uint8_t*>(text.data()));
    QuerySpy spy;
    const EmSQLException e =
        ExpectNativeError(DBIERR_INVALIDPARAM, [&] { w.cursor->InsertRecord(dbiNOLOCK, record.data()); });
    EXPECT_NE(e.GetNativeErrorMsg().find("'x'"), std::string::npos) << e.GetNativeErrorMsg();
    EXPECT_TRUE(spy.Statements().empty()) << "nothing is sent";
    EXPECT_TRUE(Rows("select i from w").empty());

    // A time of day that rounds up to the next day is written as the day's last second, and the row
    // is found again by that value.
    Exec("create table tt (k int, t time)");
    Exec("create index tk on tt (k)");
    Exec("insert into tt values (5, '10:00:00')");
    Opened tt = Open("tt", "tk");
    std::vector<uint8_t> late = NewRecord(*tt.cursor);
    SetInt(*tt.cursor, late, 1, 2);
    const int32_t almostMidnight = 86399600;
    tt.cursor->PutField(2, late.data(), &almostMidnight);
    EXPECT_EQ(tt.cursor->GetInsertSQL("tt", late.data()), "INSERT INTO tt (k, t) VALUES (2, '23:59:59')");
    tt.cursor->InsertRecord(dbiNOLOCK, late.data());
    EXPECT_EQ(Rows("select t from tt where k = 2"), std::vector<std::string>{"23:59:59"});
    EXPECT_EQ(tt.cursor->GetRecordNo(), 0);
    EXPECT_EQ(CurrentRow(*tt.cursor), "2|23:59:59");
}

TEST_F(ModifyTest, WriteArgumentsAreChecked) {
    Opened w = Open("w");
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { w.cursor->InsertRecord(dbiNOLOCK, nullptr); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { w.cursor->ModifyRecord(w.row.data(), nullptr, 0); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { w.cursor->DeleteRecord(nullptr); });
}

} // namespace
} // namespace corvane::test
