// The native cursor: opening, statements, navigation, bookmarks, record states and properties.
#include "AccessFixture.h"

namespace corvane::test {
namespace {

class NativeDataSetTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        Exec("create table t (a int, b char(8), c text(10))");
        Exec("create table empty (a int)");
        for (int i = 0; i < 3; ++i)
            Exec("insert into t values (" + std::to_string(10 * i) + ", 'r', 'x')");
        connection = Connect();
        cursor = OpenTable(*connection, "t");
        buffer = WorkBuffer(*cursor);
    }
    void TearDown() override {
        cursor.reset();
        connection.reset();
        AccessTest::TearDown();
    }

    // The INT value of the row in the buffer.
    int32_t A() { return IntField(*cursor, buffer.data(), 1); }
    void Next(DBILockType lock = dbiNOLOCK) { cursor->GetNextRecord(lock, buffer.data(), nullptr); }
    void Prior() { cursor->GetPriorRecord(dbiNOLOCK, buffer.data(), nullptr); }
    void Current(DBILockType lock = dbiNOLOCK) { cursor->GetRecord(lock, buffer.data(), nullptr); }

    std::unique_ptr<TNativeConnect> connection;
    std::unique_ptr<TNativeDataSet> cursor;
    std::vector<uint8_t> buffer;
};

TEST_F(NativeDataSetTest, EmptyResultRaisesAtEitherEnd) {
    auto empty = OpenTable(*connection, "empty");
    std::vector<uint8_t> record = WorkBuffer(*empty);
    EXPECT_EQ(empty->GetRecordCount(), 0);
    ExpectNativeError(DBIERR_BOF, [&] { empty->GetNextRecord(dbiNOLOCK, record.data(), nullptr); });
    ExpectNativeError(DBIERR_EOF, [&] { empty->GetPriorRecord(dbiNOLOCK, record.data(), nullptr); });
    EXPECT_EQ(empty->Position(), cpUnpositioned);
    EXPECT_EQ(record, std::vector<uint8_t>(record.size(), 0)) << "the buffer is not touched";
}

TEST_F(NativeDataSetTest, SteppingPastEitherEndAndBack) {
    EXPECT_EQ(cursor->GetRecordCount(), 3);
    Next();
    EXPECT_EQ(A(), 0);
    Next();
    Next();
    EXPECT_EQ(A(), 20);
    EXPECT_EQ(cursor->GetRecordNo(), 2);
    ExpectNativeError(DBIERR_EOF, [&] { Next(); });
    EXPECT_EQ(cursor->GetRecordNo(), 3);
    EXPECT_EQ(cursor->GetCurrentBuffer(), nullptr);
    ExpectNativeError(DBIERR_EOF, [&] { Next(); });
    EXPECT_EQ(cursor->GetRecordNo(), 3) << "repeated steps stay just behind the last row";
    EXPECT_EQ(A(), 20) << "the buffer keeps the last row read";
    Prior();
    EXPECT_EQ(A(), 20);
    Prior();
    Prior();
    EXPECT_EQ(A(), 0);
    ExpectNativeError(DBIERR_BOF, [&] { Prior(); });
    ExpectNativeError(DBIERR_BOF, [&] { Prior(); });
    EXPECT_EQ(cursor->GetRecordNo(), -1);
    Next();
    EXPECT_EQ(A(), 0);
}

TEST_F(NativeDataSetTest, BeginEndAndUnpositionedStates) {
    ExpectNativeError(DBIERR_NOCURRREC, [&] { Current(); });
    cursor->SetToBegin();
    ExpectNativeError(DBIERR_EOF, [&] { Current(); });
    Next();
    EXPECT_EQ(A(), 0);
    cursor->SetToEnd();
    ExpectNativeError(DBIERR_BOF, [&] { Current(); });
    ExpectNativeError(DBIERR_EOF, [&] { Next(); });
    Prior();
    EXPECT_EQ(A(), 20);
    EXPECT_EQ(cursor->Position(), cpOnRecord);
    cursor->SetToBegin();
    ExpectNativeError(DBIERR_BOF, [&] { Prior(); });
}

TEST_F(NativeDataSetTest, GetRecordRereadsUnlessTheRecordIsLocked) {
    Next();
    Next();
    std::vector<uint8_t> row1 = buffer;
    std::fill(buffer.begin(), buffer.end(), 0);
    Current();
    EXPECT_EQ(buffer, row1);

    Current(dbiREADLOCK);
    EXPECT_TRUE(cursor->RecordLocked());
    std::fill(buffer.begin(), buffer.end(), 0);
    Current();
    EXPECT_EQ(buffer, std::vector<uint8_t>(buffer.size(), 0)) << "a locked record is left as it is";
    cursor->RelRecordLock();
    Current();
    EXPECT_EQ(buffer, row1);
}

TEST_F(NativeDataSetTest, LockRequestWhileMovingLocksTheRowReached) {
    Next(dbiREADLOCK); // from unpositioned
    EXPECT_EQ(A(), 0);
    EXPECT_TRUE(cursor->RecordLocked());
    EXPECT_EQ(cursor->Position(), cpOnRecord);
    cursor->RelRecordLock();

    cursor->SetToBegin();
    Next(dbiREADLOCK);
    EXPECT_EQ(A(), 0);
    cursor->RelRecordLock();

    cursor->SetProp(curMAKECRACK, 1);
    Next(dbiREADLOCK); // from a crack: one step, not two
    EXPECT_EQ(A(), 10);
    EXPECT_EQ(cursor->GetRecordNo(), 1);
}

TEST_F(NativeDataSetTest, GetRecordOnACrackMovesToANeighbour) {
    Next();
    cursor->SetProp(curMAKECRACK, 1);
    EXPECT_EQ(cursor->Position(), cpCrack);
    Current();
    EXPECT_EQ(A(), 10);
    Next();
    cursor->SetProp(curMAKECRACK, 1);
    Current(); // no next row: the prior one
    EXPECT_EQ(A(), 20);
    EXPECT_EQ(cursor->Position(), cpOnRecord);
}

TEST_F(NativeDataSetTest, BookmarksOrderRowsAndReposition) {
    uint8_t first[BookmarkSize];
    uint8_t second[BookmarkSize];
    Next();
    cursor->GetBookMark(first);
    EXPECT_EQ(std::vector<uint8_t>(first, first + 8), std::vector<uint8_t>(8, 0));
    Next();
    Next();
    cursor->GetBookMark(second);
    EXPECT_EQ(At<int64_t>(buffer, cursor->BookmarkOffset()), 2) << "each read writes the row's bookmark";

    int16_t result = 99;
    cursor->CompareBookMarks(first, first, result);
    EXPECT_EQ(result, 0);
    cursor->CompareBookMarks(first, second, result);
    EXPECT_EQ(result, -1);
    cursor->CompareBookMarks(second, first, result);
    EXPECT_EQ(result, 1);
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->CompareBookMarks(nullptr, first, result); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->CompareBookMarks(first, nullptr, result); });

    cursor->SetToBookmark(first);
    EXPECT_EQ(cursor->GetRecordNo(), 0);
    EXPECT_EQ(cursor->Position(), cpOnRecord);
    Current();
    EXPECT_EQ(A(), 0);
    Next();
    EXPECT_EQ(A(), 10);

    uint8_t negative[BookmarkSize];
    std::memset(negative, 0xFF, sizeof negative);
    cursor->SetInternalBuffer(buffer.data());
    cursor->SetToBookmark(negative);
    EXPECT_EQ(cursor->GetRecordNo(), 0);
    EXPECT_EQ(A(), 0);

    uint8_t beyond[BookmarkSize] = {7};
    ExpectNativeError(DBIERR_BOF, [&] { cursor->SetToBookmark(beyond); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->SetToBookmark(nullptr); });
}

TEST_F(NativeDataSetTest, SetToRecordBelowZeroMovesBehindTheLastRow) {
    Next();
    cursor->SetToRecord(-1);
    EXPECT_EQ(cursor->GetRecordNo(), 3);
    Prior();
    EXPECT_EQ(A(), 20);
    cursor->SetInternalBuffer(buffer.data());
    cursor->SetToRecord(1);
    EXPECT_EQ(A(), 10);
}

TEST_F(NativeDataSetTest, UnreadableNumberLeavesTheCursorAndBufferAsTheyWere) {
    Exec("create table big (u int, n char(4))");
    Exec("insert into big values (1, 'one')");
    Exec("insert into big values (2, 'two')");
    Exec("insert into big values (3, 'tri')");
    auto big = OpenTable(*connection, "big");
    UnreadableNumberInRow fetch("two");
    std::vector<uint8_t> record = WorkBuffer(*big);
    big->GetNextRecord(dbiNOLOCK, record.data(), nullptr);
    const std::vector<uint8_t> row0 = record;

    EXPECT_THROW(big->GetNextRecord(dbiNOLOCK, record.data(), nullptr), host::EConvertError);
    EXPECT_EQ(record, row0) << "nothing of the unreadable row is written";
    EXPECT_EQ(big->GetRecordNo(), 0);
    EXPECT_EQ(big->Position(), cpOnRecord);
    EXPECT_EQ(big->GetCurrentBuffer(), nullptr);

    std::fill(record.begin(), record.end(), 0);
    big->GetRecord(dbiNOLOCK, record.data(), nullptr);
    EXPECT_EQ(record, row0) << "the current row is still the one before";
    EXPECT_THROW(big->GetNextRecord(dbiNOLOCK, record.data(), nullptr), host::EConvertError);
    big->SetToEnd();
    big->GetPriorRecord(dbiNOLOCK, record.data(), nullptr);
    EXPECT_EQ(big->GetRecordNo(), 2) << "the rows around it stay readable";
}

// Values are converted straight into the buffer: when a later column of the row cannot be read, the
// columns before it that were already written are put back.
TEST_F(NativeDataSetTest, UnreadableDateAfterOtherColumnsLeavesTheBufferAsItWas) {
    Exec("create table dated (n char(6), u int, d date, r real)");
    Exec("insert into dated values ('first', 1, '01-Jan-2000', 1.5)");
    Exec("insert into dated values ('second', 2, '02-Jan-2000', 2.5)");
    auto dated = OpenTable(*connection, "dated");
    static msqlFetchRow_t realFetch = nullptr;
    realFetch = msqlFetchRow;
    // Row two arrives with a day that does not exist.
    ScopedClientFunction<msqlFetchRow_t> fetch(msqlFetchRow, [](m_result* result) -> m_row {
        static char impossible[] = "31-Feb-2000";
        static char* fake[4];
        m_row row = realFetch(result);
        if (!row || !row[1] || std::strcmp(row[1], "2") != 0) return row;
        std::copy(row, row + 4, fake);
        fake[2] = impossible;
        return fake;
    });
    std::vector<uint8_t> record = WorkBuffer(*dated);
    dated->GetNextRecord(dbiNOLOCK, record.data(), nullptr);
    const std::vector<uint8_t> first = record;
    EXPECT_THROW(dated->GetNextRecord(dbiNOLOCK, record.data(), nullptr), host::EConvertError);
    EXPECT_EQ(record, first) << "the text and number read before the date are put back";
    EXPECT_EQ(dated->GetRecordNo(), 0);
}

TEST_F(NativeDataSetTest, UnsignedValuesBeyondTheSignedRangeKeepTheirBits) {
    Exec("create table big (u uint)");
    Exec("insert into big values (3000000000)");
    auto big = OpenTable(*connection, "big");
    std::vector<uint8_t> record = WorkBuffer(*big);
    big->GetNextRecord(dbiNOLOCK, record.data(), nullptr);
    int32_t value = 0;
    bool blank = true;
    big->GetField(1, record.data(), &value, blank);
    EXPECT_FALSE(blank);
    EXPECT_EQ(static_cast<uint32_t>(value), 3000000000u);
}

TEST_F(NativeDataSetTest, ExecuteCountsRowsOfSelectsAndWrites) {
    TNativeDataSet* raw = nullptr;
    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> statement(raw);
    const auto run = [&](const char* sql) {
        connection->QueryPrepare(statement.get(), sql);
        statement->Execute();
        EXPECT_FALSE(statement->Active());
        int32_t rows = -1;
        uint32_t length = 0;
        statement->GetProp(stmtROWCOUNT, &rows, length, sizeof rows);
        EXPECT_EQ(length, 4u);
        return rows;
    };
    EXPECT_EQ(run("select * from t"), 3);
    EXPECT_EQ(run("  \n select * from t where a > 5"), 2);
    EXPECT_EQ(run("insert into t values (30, 'new', NULL)"), 1);
    EXPECT_EQ(run("update t set b = 'upd' where a >= 20"), 2);
    EXPECT_EQ(run("delete from t where a = 0"), 1);
    EXPECT_EQ(run("create table other (x int)"), 0);
    EXPECT_EQ(run("select * from empty"), 0);

    connection->QueryPrepare(statement.get(), "select * from nowhere");
    EmSQLException e = ExpectNativeError(DBIERR_NATIVE, [&] { statement->Execute(); });
    EXPECT_EQ(e.GetNativeErrorMsg(), "Unknown table \"nowhere\"");
    connection->QueryPrepare(statement.get(), nullptr);
    ExpectNativeError(DBIERR_QRYEMPTY, [&] { statement->Execute(); });
}

TEST_F(NativeDataSetTest, StatementCursorRunsItsText) {
    TNativeDataSet* raw = nullptr;
    connection->QueryAlloc(raw);
    std::unique_ptr<TNativeDataSet> query(raw);
    EXPECT_FALSE(query->Active());
    ExpectNativeError(DBIERR_QRYEMPTY, [&] { query->OpenTable(); });
    ExpectNativeError(DBIERR_QRYEMPTY, [&] { query->GetSQLClause(); });

    connection->QueryPrepare(query.get(), "select b, a from t where a > 0 order by a desc");
    query->OpenTable();
    EXPECT_TRUE(query->Active());
    EXPECT_EQ(query->FieldCount(), 2);
    EXPECT_EQ(query->GetRecordCount(), 2);
    std::vector<uint8_t> record = WorkBuffer(*query);
    EXPECT_EQ(record.size(), 9u + 5u + 1u + 16u + 8u);
    query->GetNextRecord(dbiNOLOCK, record.data(), nullptr);
    EXPECT_EQ(IntField(*query, record.data(), 2), 20);
    EXPECT_STREQ(query->FieldBuffer(0), "r");
    EXPECT_STREQ(query->FieldBuffer(1), "20");
    EXPECT_EQ(query->FieldBuffer(2), nullptr);

    // A different text with other columns brings its own layout.
    connection->QueryPrepare(query.get(), "select a from t");
    query->OpenTable();
    EXPECT_EQ(query->GetWorkBufferSize(), 5 + 1 + 8 + 8);
}

TEST_F(NativeDataSetTest, ReopeningATableCursorReusesItsStatementAndRefetches) {
    EXPECT_EQ(cursor->GetSQLClause(), "Select * from t ");
    Exec("insert into t values (99, 'late', NULL)");
    EXPECT_EQ(cursor->GetRecordCount(), 3) << "the result is a snapshot";
    cursor->OpenTable();
    EXPECT_EQ(cursor->GetSQLClause(), "Select * from t ");
    EXPECT_EQ(cursor->GetRecordCount(), 4);
    cursor->CloseTable();
    EXPECT_FALSE(cursor->Active());
    EXPECT_EQ(cursor->GetRecordCount(), 0);
    EXPECT_EQ(cursor->FieldCount(), 0);
    EXPECT_EQ(cursor->GetRecordSize(), 9 + 5 + 5) << "the layout is kept";
    cursor->OpenTable();
    EXPECT_EQ(cursor->GetRecordCount(), 4);
    EXPECT_EQ(cursor->FieldDescs().Count(), 3);
}

TEST_F(NativeDataSetTest, PropertiesAnswerByTheirLowWord) {
    uint32_t length = 99;
    uint16_t maxProps = 0;
    cursor->GetProp(curMAXPROPS, &maxProps, length, sizeof maxProps);
    EXPECT_EQ(maxProps, 23);
    EXPECT_EQ(length, 2u);
    uint32_t mode = 7;
    cursor->GetProp(curXLTMODE, &mode, length, sizeof mode);
    EXPECT_EQ(mode, 0u);
    EXPECT_EQ(length, 4u);
    int32_t maxField = 0;
    cursor->GetProp(curMAXFIELDID, &maxField, length, sizeof maxField);
    EXPECT_EQ(maxField, 3);
    EXPECT_EQ(length, 4u);
    uint32_t unknown = 5;
    cursor->GetProp(curFIELDFULLNAME, &unknown, length, sizeof unknown);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(unknown, 5u);
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->GetProp(stmtROWCOUNT, &maxProps, length, 2); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->GetProp(curMAXPROPS, nullptr, length, 2); });

    CURProps props;
    cursor->SetProp(stmtLIVENESS, wantCANNED);
    cursor->GetCursorProps(props);
    EXPECT_EQ(+props.eOpenMode, dbiREADONLY);
    cursor->SetProp(stmtLIVENESS, wantLIVE);
    cursor->GetCursorProps(props);
    EXPECT_EQ(+props.eOpenMode, dbiREADWRITE);
    cursor->SetProp(0x04050000, 1); // accepted without effect
    EXPECT_EQ(cursor->Position(), cpUnpositioned);
}

TEST_F(NativeDataSetTest, KeysWithoutIndexesAreTheNonBlobFields) {
    std::vector<uint16_t> keys;
    uint16_t count = 99;
    cursor->GetKeys(false, keys, count);
    EXPECT_EQ(keys, (std::vector<uint16_t>{1, 2}));
    EXPECT_EQ(count, 2);
    cursor->GetKeys(true, keys, count);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(count, 0);
    IDXDesc desc;
    ExpectNativeError(DBIERR_NOASSOCINDEX, [&] { cursor->GetIndexDesc(0, desc); });
}

// A cursor whose filter accepts rows with an even number of tens in column a.
class EvenTensCursor : public TNativeDataSet {
public:
    using TNativeDataSet::TNativeDataSet;
    void Activate() { SetFiltersActive(true); }
    void SetFiltersInactiveForTest() { SetFiltersActive(false); }
    bool FilteredRecord(uint8_t* record) override {
        int32_t a = 0;
        std::memcpy(&a, record + 1, sizeof a);
        ++evaluations;
        return (a / 10) % 2 == 0;
    }
    int evaluations = 0;
};

TEST_F(NativeDataSetTest, ActiveFiltersSkipRowsInTheDirectionOfTravel) {
    Exec("insert into t values (30, 's', NULL)");
    EvenTensCursor filtered(connection.get(), nullptr, "t", "", 0);
    std::vector<uint8_t> record = WorkBuffer(filtered);
    filtered.GetNextRecord(dbiNOLOCK, record.data(), nullptr);
    EXPECT_EQ(filtered.evaluations, 0) << "inactive filters are not consulted";
    filtered.Activate();
    filtered.GetNextRecord(dbiNOLOCK, record.data(), nullptr);
    EXPECT_EQ(IntField(filtered, record.data(), 1), 20);
    ExpectNativeError(DBIERR_EOF, [&] { filtered.GetNextRecord(dbiNOLOCK, record.data(), nullptr); });
    filtered.GetPriorRecord(dbiNOLOCK, record.data(), nullptr);
    EXPECT_EQ(IntField(filtered, record.data(), 1), 20);
    filtered.GetPriorRecord(dbiNOLOCK, record.data(), nullptr);
    EXPECT_EQ(IntField(filtered, record.data(), 1), 0);
    ExpectNativeError(DBIERR_BOF, [&] { filtered.GetPriorRecord(dbiNOLOCK, record.data(), nullptr); });
}

TEST_F(NativeDataSetTest, ForcedRereadOfARejectedRowFallsBackToTheFirstAcceptedRow) {
    Exec("insert into t values (30, 's', NULL)");
    EvenTensCursor filtered(connection.get(), nullptr, "t", "", 0);
    std::vector<uint8_t> record = WorkBuffer(filtered);
    const auto readLastRowUnfiltered = [&] {
        filtered.SetFiltersInactiveForTest();
        filtered.SetToBegin();
        for (int i = 0; i < 4; ++i)
            filtered.GetNextRecord(dbiNOLOCK, record.data(), nullptr);
        EXPECT_EQ(IntField(filtered, record.data(), 1), 30);
        filtered.Activate();
    };
    readLastRowUnfiltered();
    ExpectNativeError(DBIERR_EOF, [&] { filtered.GetRecord(dbiNOLOCK, record.data(), nullptr); });

    readLastRowUnfiltered();
    filtered.ForceReread();
    filtered.GetRecord(dbiNOLOCK, record.data(), nullptr);
    EXPECT_EQ(IntField(filtered, record.data(), 1), 0);
    EXPECT_EQ(filtered.GetRecordNo(), 0);
}

} // namespace
} // namespace corvane::test
