// Index discovery, index order, key extraction and key ranges of the native cursor.
#include <cstring>

#include "AccessFixture.h"
#include "ClientSpy.h"
#include "RecordHelpers.h"
#include "host/SysUtils.h"

namespace corvane::test {
namespace {

class IndexesTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        Exec("create table t (a int, b char(6), c real, n text(8))");
        Exec("create index ia on t (a)");
        Exec("create unique index ib on t (b, a)");
        Exec("insert into t values (3, 'cc', 1.5, 'x')");
        Exec("insert into t values (1, 'aa', 2.5, 'y')");
        Exec("insert into t values (2, 'bb', 0.5, 'z')");
        Exec("create table plain (a int)");
        Exec("insert into plain values (1)");
        connection = Connect();
    }
    void TearDown() override {
        connection.reset();
        AccessTest::TearDown();
    }

    // The values of column a over all rows of the cursor, in cursor order.
    static std::vector<int32_t> ColumnA(TNativeDataSet& cursor) {
        std::vector<uint8_t> record = WorkBuffer(cursor);
        std::vector<int32_t> values;
        cursor.SetToBegin();
        try {
            for (;;) {
                cursor.GetNextRecord(dbiNOLOCK, record.data(), nullptr);
                values.push_back(IntField(cursor, record.data(), 1));
            }
        } catch (const EmSQLException& e) {
            EXPECT_EQ(e.ErrorCode(), DBIERR_EOF);
        }
        return values;
    }

    std::unique_ptr<TNativeConnect> connection;
};

TEST_F(IndexesTest, DiscoveryReadsKeysFromTheListings) {
    auto cursor = OpenTable(*connection, "t");
    ASSERT_EQ(cursor->GetIndexCount(), 2);

    // The server lists the index with more key fields first.
    IDXDesc desc;
    cursor->GetIndexDesc(1, desc);
    EXPECT_STREQ(desc.szName, "ib");
    EXPECT_EQ(+desc.iIndexId, 1);
    EXPECT_EQ(+desc.bUnique, DescTrue);
    EXPECT_EQ(+desc.bPrimary, DescFalse);
    EXPECT_EQ(+desc.bMaintained, DescTrue);
    EXPECT_EQ(+desc.iFldsInKey, 2);
    EXPECT_EQ(+desc.aiKeyFld[0], 2) << "the \"avl\" row is not a key field";
    EXPECT_EQ(+desc.aiKeyFld[1], 1);
    EXPECT_EQ(+desc.iBlockSize, 6 + 4);
    EXPECT_EQ(+desc.iKeyLen, 6 + 4 + 2);

    cursor->GetIndexDesc(2, desc);
    EXPECT_STREQ(desc.szName, "ia");
    EXPECT_EQ(+desc.iIndexId, 2);
    EXPECT_EQ(+desc.bUnique, DescFalse);
    EXPECT_EQ(+desc.iFldsInKey, 1);
    EXPECT_EQ(+desc.iKeyLen, 5);

    CURProps props;
    cursor->GetCursorProps(props);
    EXPECT_EQ(+props.iIndexes, 2);
    EXPECT_EQ(+props.iKeySize, 12) << "index 1 is the current description of a table opened without index";
}

TEST_F(IndexesTest, IndexDescriptorNumbersAreChecked) {
    auto cursor = OpenTable(*connection, "t");
    IDXDesc desc;
    cursor->GetIndexDesc(0, desc);
    EXPECT_STREQ(desc.szName, "ib") << "number 0 reads index 1";
    ExpectNativeError(DBIERR_NOASSOCINDEX, [&] { cursor->GetIndexDesc(3, desc); });

    auto plain = OpenTable(*connection, "plain");
    EXPECT_EQ(plain->GetIndexCount(), 0);
    ExpectNativeError(DBIERR_NOASSOCINDEX, [&] { plain->GetIndexDesc(1, desc); });
    ExpectNativeError(DBIERR_NOASSOCINDEX, [&] { plain->SwitchToIndex("", nullptr, 0, false); });
}

TEST_F(IndexesTest, ListingsOfMsql4ServersReadTheSame) {
    // mSQL 4: the kind (empty for AVL), the entry count, the distinct-key count, then the key fields.
    CannedIndexListing listing({"", "3", "3", "b", "a"});
    auto cursor = OpenTable(*connection, "t");
    ASSERT_EQ(cursor->GetIndexCount(), 2);
    IDXDesc desc;
    cursor->GetIndexDesc(2, desc);
    EXPECT_EQ(+desc.iFldsInKey, 2);
    EXPECT_EQ(+desc.aiKeyFld[0], 2);
    EXPECT_EQ(+desc.aiKeyFld[1], 1);
}

TEST_F(IndexesTest, ListedTextsThatNameNoColumnAreNotKeyFields) {
    CannedIndexListing listing({"cpi", "zz", "c", "17"});
    auto cursor = OpenTable(*connection, "t");
    ASSERT_EQ(cursor->GetIndexCount(), 2);
    IDXDesc desc;
    cursor->GetIndexDesc(1, desc);
    EXPECT_EQ(+desc.iFldsInKey, 1);
    EXPECT_EQ(+desc.aiKeyFld[0], 3);
    EXPECT_EQ(+desc.iKeyLen, 9);
}

TEST_F(IndexesTest, IndexesWithoutKeyFieldsOrWithTooManyAreSkipped) {
    {
        CannedIndexListing listing({"avl"});
        auto cursor = OpenTable(*connection, "t");
        EXPECT_EQ(cursor->GetIndexCount(), 0);
    }
    {
        CannedIndexListing listing(std::vector<std::string>(18, "a"));
        auto cursor = OpenTable(*connection, "t");
        EXPECT_EQ(cursor->GetIndexCount(), 0);
    }
    {
        std::vector<std::string> rows(17, "a");
        rows[0] = "avl"; // the kind row and 16 key fields
        CannedIndexListing listing(rows);
        auto cursor = OpenTable(*connection, "t");
        EXPECT_EQ(cursor->GetIndexCount(), 2);
    }
}

TEST_F(IndexesTest, StatementCursorUsesOnlyIndexesItSelects) {
    TNativeDataSet* raw = nullptr;
    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> query(raw);
    connection->QueryPrepare(query.get(), "select c, a from t");
    query->OpenTable();
    ASSERT_EQ(query->GetIndexCount(), 1) << "ib needs b, which the statement does not select";
    IDXDesc desc;
    query->GetIndexDesc(1, desc);
    EXPECT_STREQ(desc.szName, "ia");
    EXPECT_EQ(+desc.aiKeyFld[0], 2);
}

TEST_F(IndexesTest, SetIndexBuildsAndRefusesKeys) {
    auto cursor = OpenTable(*connection, "t");
    TmSQLIndexes& indexes = cursor->Indexes();
    EXPECT_TRUE(indexes.SetIndex("mine", " b , c,", false, false, false));
    TmSQLIndex* mine = indexes.FindByName("MINE");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->IndexNumber(), 3);
    EXPECT_EQ(mine->FldsInKey(), 2);
    EXPECT_EQ(mine->BlockSize(), 6 + 8);
    EXPECT_EQ(mine->KeyLen(), 16);

    EXPECT_TRUE(indexes.SetIndex("mine", "a", false, true, false));
    EXPECT_EQ(mine->FldsInKey(), 1) << "an update replaces the key";
    EXPECT_EQ(mine->KeyLen(), 5);
    EXPECT_TRUE(mine->Unique());

    EXPECT_TRUE(indexes.SetIndex("key", "a", true, true, false));
    EXPECT_EQ(indexes.GetIndex(4)->IndexName(), "") << "a primary index has no name";

    EXPECT_FALSE(indexes.SetIndex("mine", "a, nosuch", false, false, false));
    EXPECT_EQ(indexes.FindByName("mine"), nullptr) << "an index with an unknown field is refused";
    EXPECT_EQ(indexes.Count(), 3);
    EXPECT_EQ(indexes.GetIndex(3)->IndexNumber(), 3) << "the indexes after it are renumbered";
    EXPECT_FALSE(indexes.SetIndex("none", " , ", false, false, false));
}

TEST_F(IndexesTest, KeyNumberOrdersAndReQueriesOnlyOnChange) {
    auto cursor = OpenTable(*connection, "t");
    QuerySpy spy;
    cursor->SetKeyNumber(2);
    EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from t ORDER BY  a "});
    EXPECT_EQ(ColumnA(*cursor), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(cursor->KeyNumber(), 2);

    spy.Clear();
    cursor->SetKeyNumber(2);
    EXPECT_TRUE(spy.Statements().empty()) << "the order in force is not re-queried";

    cursor->SetKeyNumber(1);
    EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from t ORDER BY  b, a "});
    spy.Clear();
    cursor->SetKeyNumber(0);
    EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from t "});
    spy.Clear();
    cursor->SetKeyNumber(7);
    EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from t "}) << "a number beyond the list";
}

TEST_F(IndexesTest, SwitchToIndexMatchesNamesWithCase) {
    auto cursor = OpenTable(*connection, "t");
    cursor->SwitchToIndex("ia", nullptr, 0, false);
    EXPECT_EQ(cursor->KeyNumber(), 2);
    EXPECT_STREQ(cursor->CurrentIndexDesc().szName, "ia");
    EXPECT_EQ(ColumnA(*cursor), (std::vector<int32_t>{1, 2, 3}));

    QuerySpy spy;
    ExpectNativeError(DBIERR_NOSUCHINDEX, [&] { cursor->SwitchToIndex("IA", nullptr, 0, false); });
    ExpectNativeError(DBIERR_NOSUCHINDEX, [&] { cursor->SwitchToIndex("nosuch", nullptr, 0, false); });
    EXPECT_TRUE(spy.Statements().empty());
    EXPECT_EQ(cursor->KeyNumber(), 2) << "a failed switch changes nothing";
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->SwitchToIndex(nullptr, nullptr, 0, false); });

    cursor->SwitchToIndex("", nullptr, 1, false);
    EXPECT_STREQ(cursor->CurrentIndexDesc().szName, "ib");
    EXPECT_EQ(cursor->KeyNumber(), 1);
}

TEST_F(IndexesTest, AFailedSwitchKeepsTheOrderInForceAndCanBeRetried) {
    auto cursor = OpenTable(*connection, "t");
    {
        QuerySpy spy;
        spy.FailWhenContaining("ORDER BY");
        ExpectNativeError(DBIERR_NATIVE, [&] { cursor->SwitchToIndex("ia", nullptr, 0, false); });
    }
    EXPECT_EQ(cursor->KeyNumber(), 0) << "the order in force before the switch";
    {
        QuerySpy spy;
        cursor->SwitchToIndex("ia", nullptr, 0, false);
        EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from t ORDER BY  a "}) << "retried";
    }
    EXPECT_EQ(cursor->KeyNumber(), 2);
    EXPECT_EQ(ColumnA(*cursor), (std::vector<int32_t>{1, 2, 3}));

    // A failed switch that is not retried leaves the rows to be read again in the order before it.
    {
        QuerySpy spy;
        spy.FailWhenContaining("b, a");
        ExpectNativeError(DBIERR_NATIVE, [&] { cursor->SwitchToIndex("ib", nullptr, 0, false); });
    }
    EXPECT_EQ(cursor->KeyNumber(), 2);
    EXPECT_EQ(ColumnA(*cursor), (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(IndexesTest, OpeningOnAnIndexPutsItsOrderInForce) {
    TNativeDataSet* raw = nullptr;
    connection->OpenTable("t", "ia", 0, dbiREADWRITE, dbiOPENSHARED, raw);
    std::unique_ptr<TNativeDataSet> cursor(raw);
    EXPECT_EQ(ColumnA(*cursor), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_STREQ(cursor->CurrentIndexDesc().szName, "ia");

    ExpectNativeError(DBIERR_NOSUCHINDEX,
                      [&] { connection->OpenTable("t", "nosuch", 0, dbiREADWRITE, dbiOPENSHARED, raw); });
}

TEST_F(IndexesTest, ExtractedKeyImagesByteForByte) {
    auto cursor = OpenTable(*connection, "t");
    cursor->SwitchToIndex("ib", nullptr, 0, false);
    std::vector<uint8_t> record = NewRecord(*cursor);
    SetText(*cursor, record, 2, "xy");
    SetInt(*cursor, record, 1, 0x01020304);
    std::vector<uint8_t> key(12, 0xEE);
    cursor->ExtractKey(record.data(), key.data());
    EXPECT_EQ(key, (std::vector<uint8_t>{1, 'x', 'y', 0, 0, 0, 0, 1, 4, 3, 2, 1}));

    SetNull(*cursor, record, 2);
    std::fill(key.begin(), key.end(), 0xEE);
    cursor->ExtractKey(record.data(), key.data());
    EXPECT_EQ(key, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 1, 4, 3, 2, 1}))
        << "a null field's slot is zero";

    // Without a record the current buffer is used.
    std::vector<uint8_t> row = WorkBuffer(*cursor);
    cursor->GetNextRecord(dbiNOLOCK, row.data(), nullptr);
    cursor->SetCurrentBuffer(row.data());
    cursor->ExtractKey(nullptr, key.data());
    EXPECT_EQ(key, (std::vector<uint8_t>{1, 'a', 'a', 0, 0, 0, 0, 1, 1, 0, 0, 0}));
    cursor->SetCurrentBuffer(nullptr);
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->ExtractKey(nullptr, key.data()); });
}

// ---- Ranges

class RangeTest : public IndexesTest {
protected:
    // A range over the cursor's current index with bounds given as work buffers.
    static void Range(TNativeDataSet& cursor, std::vector<uint8_t>* low, uint16_t lowFields, bool lowIncl,
                      std::vector<uint8_t>* high, uint16_t highFields, bool highIncl) {
        cursor.SetRange(false, lowFields, 0, low ? low->data() : nullptr, lowIncl, highFields, 0,
                        high ? high->data() : nullptr, highIncl);
    }
};

TEST_F(RangeTest, IntegerBoundsRestrictTheRows) {
    auto cursor = OpenTable(*connection, "t");
    cursor->SwitchToIndex("ia", nullptr, 0, false);
    std::vector<uint8_t> low = NewRecord(*cursor);
    std::vector<uint8_t> high = NewRecord(*cursor);
    SetInt(*cursor, low, 1, 2);
    SetInt(*cursor, high, 1, 3);
    QuerySpy spy;
    Range(*cursor, &low, 1, true, &high, 1, false);
    EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from t where a>=2 and a<3 ORDER BY  a "});
    EXPECT_TRUE(cursor->RangeActive());
    EXPECT_EQ(ColumnA(*cursor), std::vector<int32_t>{2});

    spy.Clear();
    Range(*cursor, &low, 1, false, nullptr, 0, false);
    EXPECT_EQ(spy.Statements().size(), 2u) << "once without the old range, once with the new one";
    EXPECT_EQ(ColumnA(*cursor), std::vector<int32_t>{3});

    spy.Clear();
    cursor->ResetRange();
    EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from t ORDER BY  a "});
    EXPECT_FALSE(cursor->RangeActive());
    spy.Clear();
    cursor->ResetRange();
    EXPECT_TRUE(spy.Statements().empty()) << "no range, no query";
}

TEST_F(RangeTest, ExtractedKeysAsBounds) {
    auto cursor = OpenTable(*connection, "t");
    cursor->SwitchToIndex("ib", nullptr, 0, false);
    std::vector<uint8_t> record = NewRecord(*cursor);
    SetText(*cursor, record, 2, "bb");
    SetInt(*cursor, record, 1, 2);
    std::vector<uint8_t> low(12);
    cursor->ExtractKey(record.data(), low.data());
    SetText(*cursor, record, 2, "cc");
    std::vector<uint8_t> high(12);
    cursor->ExtractKey(record.data(), high.data());
    QuerySpy spy;
    cursor->SetRange(true, 2, 0, low.data(), true, 1, 0, high.data(), false);
    EXPECT_EQ(spy.Statements(),
              std::vector<std::string>{"Select * from t where b>='bb' and a>=2 and b<'cc' ORDER BY  b, a "});
    EXPECT_EQ(ColumnA(*cursor), std::vector<int32_t>{2});
}

TEST_F(RangeTest, StringBoundsWithQuotesAndBackslashes) {
    Exec("create table s (v char(12))");
    Exec("create index iv on s (v)");
    for (const char* value : {"'O\\'Brien'", "'a\\\\b'", "'back\\\\'", "'plain'", "'z\\''"})
        Exec(std::string("insert into s values (") + value + ")");
    auto cursor = OpenTable(*connection, "s");
    cursor->SwitchToIndex("iv", nullptr, 0, false);
    std::vector<uint8_t> low = NewRecord(*cursor);
    std::vector<uint8_t> high = NewRecord(*cursor);
    SetText(*cursor, low, 1, "O'Brien");
    SetText(*cursor, high, 1, "back\\");
    Range(*cursor, &low, 1, true, &high, 1, true);
    EXPECT_EQ(cursor->GetRecordCount(), 3);
    std::vector<std::string> values;
    std::vector<uint8_t> row = WorkBuffer(*cursor);
    for (int i = 0; i < 3; ++i) {
        cursor->GetNextRecord(dbiNOLOCK, row.data(), nullptr);
        values.emplace_back(cursor->FieldBuffer(0));
    }
    EXPECT_EQ(values, (std::vector<std::string>{"O'Brien", "a\\b", "back\\"}));

    // A bound ending in a quote and a backslash cannot break out of its literal.
    SetText(*cursor, low, 1, "x' or v<>'");
    SetText(*cursor, high, 1, "\\");
    Range(*cursor, &low, 1, true, nullptr, 0, false);
    EXPECT_EQ(cursor->GetRecordCount(), 1) << "only 'z'' sorts after the bound";
    Range(*cursor, nullptr, 0, false, &high, 1, false);
    EXPECT_EQ(cursor->GetRecordCount(), 1) << "only 'O'Brien' sorts before a backslash";
}

TEST_F(RangeTest, FloatBoundsIgnoreTheLocale) {
    Exec("create table f (r real)");
    Exec("create index ir on f (r)");
    for (const char* value : {"1.5", "2.25", "3.75", "0.000001"})
        Exec(std::string("insert into f values (") + value + ")");
    auto cursor = OpenTable(*connection, "f");
    cursor->SwitchToIndex("ir", nullptr, 0, false);
    std::vector<uint8_t> low = NewRecord(*cursor);
    std::vector<uint8_t> high = NewRecord(*cursor);
    SetReal(*cursor, low, 1, 1.5);
    SetReal(*cursor, high, 1, 3.75);
    const char separator = host::FormatSettings.DecimalSeparator;
    host::FormatSettings.DecimalSeparator = ',';
    Range(*cursor, &low, 1, false, &high, 1, true);
    host::FormatSettings.DecimalSeparator = separator;
    EXPECT_EQ(cursor->GetRecordCount(), 2);

    SetReal(*cursor, high, 1, 1e-6);
    Range(*cursor, nullptr, 0, false, &high, 1, true);
    EXPECT_EQ(cursor->GetRecordCount(), 1) << "a value written with an exponent";
}

TEST_F(RangeTest, DateAndTimeBounds) {
    Exec("create table d (d date, t time)");
    Exec("create index id on d (d)");
    Exec("create index it on d (t)");
    Exec("insert into d values ('31-Dec-1998', '08:00:00')");
    Exec("insert into d values ('05-Mar-1999', '12:30:15')");
    Exec("insert into d values ('01-Jan-2000', '23:59:59')");
    auto cursor = OpenTable(*connection, "d");
    cursor->SwitchToIndex("id", nullptr, 0, false);
    std::vector<uint8_t> low = NewRecord(*cursor);
    std::vector<uint8_t> high = NewRecord(*cursor);
    SetDate(*cursor, low, 1, 1999, 3, 5);
    SetDate(*cursor, high, 1, 2000, 1, 1);
    Range(*cursor, &low, 1, true, &high, 1, false);
    ASSERT_EQ(cursor->GetRecordCount(), 1);
    std::vector<uint8_t> row = WorkBuffer(*cursor);
    cursor->GetNextRecord(dbiNOLOCK, row.data(), nullptr);
    EXPECT_STREQ(cursor->FieldBuffer(0), "05-Mar-1999");

    cursor->SwitchToIndex("it", nullptr, 0, false);
    EXPECT_FALSE(cursor->RangeActive()) << "a switch drops the range";
    SetTime(*cursor, low, 2, 12, 30, 15);
    Range(*cursor, &low, 1, false, nullptr, 0, false);
    ASSERT_EQ(cursor->GetRecordCount(), 1);
    cursor->SetToBegin();
    cursor->GetNextRecord(dbiNOLOCK, row.data(), nullptr);
    EXPECT_STREQ(cursor->FieldBuffer(1), "23:59:59");
}

TEST_F(RangeTest, NullBoundFieldsAddNoCondition) {
    auto cursor = OpenTable(*connection, "t");
    cursor->SwitchToIndex("ib", nullptr, 0, false);
    std::vector<uint8_t> low = NewRecord(*cursor); // every field null
    std::vector<uint8_t> high = NewRecord(*cursor);
    SetText(*cursor, high, 2, "bb");
    QuerySpy spy;
    Range(*cursor, &low, 2, true, &high, 2, true);
    EXPECT_EQ(spy.Statements(), std::vector<std::string>{"Select * from t where b<='bb' ORDER BY  b, a "});
    EXPECT_EQ(cursor->GetRecordCount(), 2);
}

TEST_F(RangeTest, AFailedRangeIsReportedAndLifted) {
    auto cursor = OpenTable(*connection, "t");
    cursor->SwitchToIndex("ia", nullptr, 0, false);
    std::vector<uint8_t> low = NewRecord(*cursor);
    SetInt(*cursor, low, 1, 3);
    QuerySpy spy;
    spy.FailWhenContaining("where");
    ExpectNativeError(DBIERR_NATIVE, [&] { Range(*cursor, &low, 1, true, nullptr, 0, false); });
    EXPECT_FALSE(cursor->RangeActive());
    EXPECT_EQ(cursor->GetRecordCount(), 3) << "the cursor is back on the unrestricted rows";
    EXPECT_EQ(spy.Statements().back(), "Select * from t ORDER BY  a ");

    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { Range(*cursor, nullptr, 1, true, nullptr, 0, false); });
    EXPECT_FALSE(cursor->RangeActive());
}

TEST_F(RangeTest, StatementCursorsAcceptRangesWithoutChange) {
    TNativeDataSet* raw = nullptr;
    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> query(raw);
    connection->QueryPrepare(query.get(), "select * from t");
    query->OpenTable();
    query->SwitchToIndex("ia", nullptr, 0, false);
    std::vector<uint8_t> low = NewRecord(*query);
    SetInt(*query, low, 1, 3);
    query->SetRange(false, 1, 0, low.data(), true, 0, 0, nullptr, false);
    EXPECT_EQ(query->GetRecordCount(), 3);
}

TEST_F(IndexesTest, SettoSeqNoReadsThatRow) {
    auto cursor = OpenTable(*connection, "t");
    std::vector<uint8_t> row = WorkBuffer(*cursor);
    cursor->LockRecord(dbiREADLOCK);
    cursor->SetCurrentBuffer(row.data());
    cursor->SettoSeqNo(2);
    EXPECT_FALSE(cursor->RecordLocked());
    EXPECT_EQ(cursor->GetRecordNo(), 2);
    EXPECT_EQ(IntField(*cursor, row.data(), 1), 2);
    ExpectNativeError(DBIERR_BOF, [&] { cursor->SettoSeqNo(5); });
}

} // namespace
} // namespace corvane::test
