// Field descriptors, the work buffer layout and the conversions between buffer and host form.
#include "AccessFixture.h"

namespace corvane::test {
namespace {

constexpr double March5th1999 = 36224.0;                             // 05-Mar-1999 as a date-time
constexpr int32_t March5th1999Day = 729818;                          // the same as a host day number
constexpr int32_t OneFiveNine = 13 * 3600000 + 5 * 60000 + 9 * 1000; // 13:05:09 in milliseconds

class RecordLayoutTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        Exec("create table t (a int, b char(10), c date, d text(20))");
        Exec("insert into t values (5, 'hello', '05-Mar-1999', 'some text')");
        Exec("insert into t values (6, 'abcdefghij', NULL, NULL)");
        connection = Connect();
        cursor = OpenTable(*connection, "t");
    }
    void TearDown() override {
        cursor.reset();
        connection.reset();
        AccessTest::TearDown();
    }

    std::unique_ptr<TNativeConnect> connection;
    std::unique_ptr<TNativeDataSet> cursor;
};

TEST_F(RecordLayoutTest, IntCharDateTextLayout) {
    ASSERT_EQ(cursor->FieldCount(), 4);
    EXPECT_EQ(cursor->GetRecordSize(), 30);
    EXPECT_EQ(cursor->GetWorkBufferSize(), 71);
    EXPECT_EQ(cursor->BookmarkOffset(), 63);
    const uint16_t widths[] = {4, 10, 8, 4};
    const uint16_t offsets[] = {0, 4, 14, 22};
    const uint16_t statusSlots[] = {31, 39, 47, 55};
    for (uint16_t n = 1; n <= 4; ++n) {
        TmSQLField* field = cursor->FieldDescs().GetField(n);
        EXPECT_EQ(field->FieldNumber(), n);
        EXPECT_EQ(field->FieldLength(), widths[n - 1]);
        EXPECT_EQ(field->FieldOffset(), offsets[n - 1]);
        EXPECT_EQ(field->NullOffset(), statusSlots[n - 1]);
        EXPECT_EQ(cursor->FieldOffset(n), offsets[n - 1]);
    }
    EXPECT_EQ(cursor->FieldDescs().GetField(2)->NativeType(), CHAR_TYPE);
    EXPECT_EQ(cursor->FieldDescs().GetField(2)->NativeSize(), 10);
    EXPECT_EQ(cursor->FieldDescs().GetField(4)->FieldType(), fldBLOB);

    CURProps props;
    cursor->GetCursorProps(props);
    EXPECT_EQ(+props.iFields, 4);
    EXPECT_EQ(+props.iRecSize, 30);
    EXPECT_EQ(+props.iRecBufSize, 71);
    EXPECT_EQ(+props.iValChecks, 4);
    EXPECT_EQ(+props.iBookMarkSize, 8);
    EXPECT_EQ(+props.iSeqNums, 1);
    EXPECT_EQ(+props.bUniDirectional, 0xFFFF);
    EXPECT_EQ(+props.eprvRights, 255);
    EXPECT_EQ(+props.eOpenMode, dbiREADWRITE);
    EXPECT_EQ(+props.iIndexes, 0);
    EXPECT_EQ(+props.szName[0], 0);

    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->FieldOffset(0); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->FieldOffset(5); });
}

TEST_F(RecordLayoutTest, RowsAreWrittenByteForByte) {
    ASSERT_EQ(cursor->GetWorkBufferSize(), 71); // as the dataset layer learns it, fixing the bookmark offset
    std::vector<uint8_t> buffer(71, 0xCC);
    cursor->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);

    std::vector<uint8_t> expected(71, 0);
    expected[0] = 1;
    Put<int32_t>(expected, 1, 5);
    expected[5] = 1;
    std::memcpy(&expected[6], "hello", 5);
    expected[16] = 1;
    Put<double>(expected, 17, March5th1999);
    // TEXT: presence byte and reference stay zero although the value is not null.
    for (size_t slot : {31, 39, 47, 55}) {
        expected[slot + 2] = 0xCC; // the two unused bytes of each status slot are not touched
        expected[slot + 3] = 0xCC;
    }
    EXPECT_EQ(buffer, expected);

    cursor->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);
    expected[0] = 1;
    Put<int32_t>(expected, 1, 6);
    expected[5] = 1;
    std::memcpy(&expected[6], "abcdefghij", 10); // exact width: no terminator in the slot
    expected[16] = 0;                            // NULL date: presence byte and data zero
    Put<double>(expected, 17, 0.0);
    Put<uint16_t>(expected, 47, 0xFFFF); // DATE null
    Put<uint16_t>(expected, 55, 0xFFFF); // TEXT null
    Put<int64_t>(expected, 63, 1);       // bookmark of row 1
    EXPECT_EQ(buffer, expected);
}

TEST_F(RecordLayoutTest, HostFormOfNullsExactWidthTextsDatesAndBlobs) {
    std::vector<uint8_t> buffer = WorkBuffer(*cursor);
    cursor->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);
    bool blank = true;
    int32_t day = 0;
    cursor->GetField(3, buffer.data(), &day, blank);
    EXPECT_FALSE(blank);
    EXPECT_EQ(day, March5th1999Day);
    uint8_t text[8] = {0xAB, 0xAB};
    cursor->GetField(4, buffer.data(), text, blank);
    EXPECT_TRUE(blank) << "TEXT has no host form here";
    cursor->GetField(4, buffer.data(), nullptr, blank);
    EXPECT_FALSE(blank) << "but its status says not null";

    cursor->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);
    char name[12];
    std::memset(name, 0x7F, sizeof name);
    cursor->GetField(2, buffer.data(), name, blank);
    EXPECT_FALSE(blank);
    EXPECT_STREQ(name, "abcdefghij");
    EXPECT_EQ(buffer[16], 0) << "the next field's presence byte is intact";

    int32_t untouched = 12345;
    cursor->GetField(3, buffer.data(), &untouched, blank);
    EXPECT_TRUE(blank);
    EXPECT_EQ(untouched, 12345);
    cursor->GetField(3, buffer.data(), nullptr, blank);
    EXPECT_TRUE(blank);

    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->GetField(1, nullptr, &untouched, blank); });
    ExpectNativeError(DBIERR_INVALIDRECSTRUCT,
                      [&] { cursor->GetField(0, buffer.data(), &untouched, blank); });
    ExpectNativeError(DBIERR_INVALIDRECSTRUCT,
                      [&] { cursor->GetField(5, buffer.data(), &untouched, blank); });
}

TEST_F(RecordLayoutTest, PutFieldStoresHostValuesAndStatus) {
    std::vector<uint8_t> buffer = WorkBuffer(*cursor);
    cursor->InitRecord(buffer.data());
    EXPECT_EQ(cursor->GetCurrentBuffer(), nullptr) << "the cursor keeps no caller's buffer";
    for (size_t slot : {31, 39, 47, 55})
        EXPECT_EQ(At<uint16_t>(buffer, slot), 0xFFFF);

    const int32_t value = -42;
    cursor->PutField(1, buffer.data(), &value);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(At<int32_t>(buffer, 1), -42);
    EXPECT_EQ(At<uint16_t>(buffer, 31), 0);
    EXPECT_EQ(At<uint32_t>(buffer, 35), 0xFFFFFFFF);

    cursor->PutField(2, buffer.data(), "longer than ten");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&buffer[6]), 10), "longer tha");
    EXPECT_EQ(buffer[16], 0) << "the copy stops at the end of the slot";

    cursor->PutField(3, buffer.data(), &March5th1999Day);
    EXPECT_EQ(At<double>(buffer, 17), March5th1999);
    // A date mSQL cannot carry is refused and the slot keeps its value.
    for (const int32_t day : {0, -5, 3652060}) {
        const EmSQLException e =
            ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->PutField(3, buffer.data(), &day); });
        EXPECT_NE(e.GetNativeErrorMsg().find("'c'"), std::string::npos) << e.GetNativeErrorMsg();
        EXPECT_EQ(At<double>(buffer, 17), March5th1999) << day;
    }

    cursor->PutField(1, buffer.data(), nullptr);
    EXPECT_EQ(At<uint16_t>(buffer, 31), 0xFFFF);
    EXPECT_EQ(At<uint32_t>(buffer, 35), 0xFFFFFFFF);
    EXPECT_TRUE(cursor->FieldDescs().GetField(1)->GetChanged());
    bool blank = false;
    int32_t out = 0;
    cursor->GetField(1, buffer.data(), &out, blank);
    EXPECT_TRUE(blank);
}

TEST_F(RecordLayoutTest, TimesRoundTripInMilliseconds) {
    Exec("create table times (t time, r real, m money)");
    Exec("insert into times values ('13:05:09', 2.5, 19.99)");
    auto times = OpenTable(*connection, "times");
    std::vector<uint8_t> buffer = WorkBuffer(*times);
    times->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);
    bool blank = true;
    int32_t msecs = 0;
    times->GetField(1, buffer.data(), &msecs, blank);
    EXPECT_EQ(msecs, OneFiveNine);
    double real = 0;
    times->GetField(2, buffer.data(), &real, blank);
    EXPECT_EQ(real, 2.5);
    times->GetField(3, buffer.data(), &real, blank);
    EXPECT_DOUBLE_EQ(real, 19.99);

    const int32_t second = 1000;
    times->PutField(1, buffer.data(), &second);
    EXPECT_DOUBLE_EQ(At<double>(buffer, 1), 1000.0 / 86400000.0);
    times->GetField(1, buffer.data(), &msecs, blank);
    EXPECT_EQ(msecs, 1000);
    for (const int32_t invalid : {86400000, -1}) {
        ExpectNativeError(DBIERR_INVALIDPARAM, [&] { times->PutField(1, buffer.data(), &invalid); });
        EXPECT_DOUBLE_EQ(At<double>(buffer, 1), 1000.0 / 86400000.0) << "the slot keeps its value";
    }
}

// The sizes and offsets of a record travel in 16-bit descriptor fields: a result whose work buffer
// would not fit them is refused before any row is read into a buffer of the cut size.
TEST_F(RecordLayoutTest, RecordsBeyondSixteenBitSizesAreRefusedWhenTheCursorOpens) {
    Exec("create table wide (a char(30000), b char(30000), c char(30000))");
    Exec("insert into wide values ('x', 'y', 'z')");
    TNativeDataSet* raw = nullptr;
    ExpectNativeError(DBIERR_RECTOOBIG,
                      [&] { connection->OpenTable("wide", "", 0, dbiREADWRITE, dbiOPENSHARED, raw); });
    EXPECT_EQ(raw, nullptr);

    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> query(raw);
    connection->QueryPrepare(query.get(), "select a, b from wide");
    query->OpenTable(); // two columns fit
    EXPECT_EQ(query->GetWorkBufferSize(), 2 * 30001 + 1 + 16 + 8);
    connection->QueryPrepare(query.get(), "select a, b, c from wide");
    ExpectNativeError(DBIERR_RECTOOBIG, [&] { query->OpenTable(); });
    EXPECT_FALSE(query->Active());

    // The largest work buffer the descriptors can describe: 65535 bytes.
    Exec("create table edge (a char(32767), b char(32741))");
    Exec("create table over (a char(32767), b char(32742))");
    Exec("insert into edge values ('first', 'second')");
    auto edge = OpenTable(*connection, "edge");
    CURProps props;
    edge->GetCursorProps(props);
    EXPECT_EQ(+props.iRecBufSize, 65535);
    std::vector<uint8_t> buffer(props.iRecBufSize, 0);
    edge->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&buffer[32769])), "second");
    ExpectNativeError(DBIERR_RECTOOBIG, [&] { OpenTable(*connection, "over"); });
}

TEST_F(RecordLayoutTest, FieldNamesAndIndexes) {
    Exec("create table u (a int, z char(2))");
    TNativeDataSet* raw = nullptr;
    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> query(raw);
    connection->QueryPrepare(query.get(), "select t.a, u.a, t.b from t, u");
    query->OpenTable();
    ASSERT_EQ(query->FieldCount(), 3);
    EXPECT_EQ(query->FieldName(0), "a");
    EXPECT_EQ(query->FieldName(1), "a");
    EXPECT_EQ(query->FieldName(3), "");
    EXPECT_EQ(query->FieldType(2), CHAR_TYPE);
    EXPECT_EQ(query->FieldSize(2), 10);
    EXPECT_EQ(query->FieldIndex("a"), 0);
    EXPECT_EQ(query->FieldIndex("a_1"), 1);
    EXPECT_EQ(query->FieldIndex("a_0"), -1);
    EXPECT_EQ(query->FieldIndex("a_2"), -1);
    EXPECT_EQ(query->FieldIndex("A"), -1);
    EXPECT_EQ(query->FieldIndex("b"), 2);

    EXPECT_EQ(cursor->FieldDescs().FieldNumberFromName("B"), 2);
    EXPECT_EQ(cursor->FieldDescs().FieldNumberFromName("nope"), 0);
    EXPECT_EQ(cursor->FieldDescs().GetField(2)->GetFieldName(), "b");
}

TEST_F(RecordLayoutTest, DescriptorsAndValidityChecksAreCopiedOut) {
    Exec("create table req (k int not null, v char(3))");
    auto req = OpenTable(*connection, "req");
    FLDDesc descs[2];
    req->GetFieldDescs(descs);
    EXPECT_STREQ(descs[0].szName, "k");
    EXPECT_EQ(+descs[1].iOffset, 4);
    EXPECT_EQ(+descs[1].iNullOffset, 9 + 1 + 8);
    VCHKDesc vchk;
    req->GetVchkDesc(1, vchk);
    EXPECT_EQ(+vchk.bRequired, 0xFFFF);
    req->GetVchkDesc(2, vchk);
    EXPECT_EQ(+vchk.bRequired, 0);
}

TEST_F(RecordLayoutTest, MissingDescriptorsAreBuiltUpToTheColumnAsked) {
    cursor->FieldDescs().Clear();
    TmSQLField* third = cursor->FieldDescs().GetField(3);
    ASSERT_EQ(cursor->FieldDescs().Count(), 3);
    EXPECT_EQ(third->FieldNumber(), 3);
    EXPECT_EQ(third->GetFieldName(), "c");
    EXPECT_EQ(cursor->FieldDescs().GetField(1)->GetFieldName(), "a");
    EXPECT_EQ(third->NullOffset(), 0) << "a descriptor built this way has no status slot";

    std::vector<uint8_t> buffer(71, 0);
    third->SetBuffer(buffer.data());
    third->SetNull(true);
    third->SetChanged(false);
    EXPECT_FALSE(third->GetNull());
    EXPECT_TRUE(third->GetChanged());
    EXPECT_EQ(buffer, std::vector<uint8_t>(71, 0));
    EXPECT_EQ(third->FieldValue(), buffer.data() + 14 + 2);
    third->SetBuffer(nullptr);
    EXPECT_EQ(third->FieldValue(), nullptr);

    third->SetFieldName(std::string(40, 'n'));
    EXPECT_EQ(third->GetFieldName(), std::string(31, 'n'));
}

TEST_F(RecordLayoutTest, MissingBuffersAreInvalidParameters) {
    const int32_t value = 1;
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->PutField(1, nullptr, &value); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->InitRecord(nullptr); });
    bool blank = false;
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] {
        cursor->NativeToHost(cursor->FieldDescs().GetField(1), nullptr, blank, nullptr);
    });
}

} // namespace
} // namespace corvane::test
