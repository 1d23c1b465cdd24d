// The engine call surface against the embedded engine: database, query, cursor, record, property, text
// and error families, list cursors, handle checks and statement ownership.
#include "EngineFixture.h"

#include <cstring>

#include "CANExprBuilder.h"

namespace corvane::test {
namespace {

// ---- Database family

TEST_F(EngineTest, OpenDatabaseRecordsTheHandleAndCloseDatabaseForgetsIt) {
    EXPECT_NE(db, nullptr);
    EXPECT_EQ(engine.CurrentDatabase(), db);
    EXPECT_TRUE(engine.IsSqlBased(db));
    EXPECT_EQ(engine.CloseDatabase(db), DBIERR_NONE);
    EXPECT_EQ(db, nullptr);
    EXPECT_EQ(engine.CurrentDatabase(), nullptr);
    EXPECT_EQ(engine.CloseDatabase(db), DBIERR_INVALIDHNDL) << "a null handle frees nothing";
}

TEST_F(EngineTest, FailedOpenDatabaseReportsTheServerTextAndLeavesTheHandleUnset) {
    host::TStringList params;
    params.Add("DatabaseName=nosuchdb");
    hDBIDb other = nullptr;
    EXPECT_EQ(engine.OpenDatabase(params, other), DBIERR_NATIVE);
    EXPECT_EQ(other, nullptr);
    EXPECT_NE(engine.GetNativeErrorMsg().find("nosuchdb"), std::string::npos) << engine.GetNativeErrorMsg();
    EXPECT_EQ(engine.CurrentDatabase(), db);
}

TEST_F(EngineTest, NullDatabaseHandleGivesInvalidHandle) {
    hDBIDb none = nullptr;
    host::TStringList list;
    std::string text;
    int32_t stat = 0;
    hDBICur cursor = nullptr;
    hDBIStmt statement = nullptr;
    IDXDesc desc{};
    EXPECT_EQ(engine.OpenTableList(none, list), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetDatabases(none, list), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.SelectDb(none, "test"), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetServerStat(none, stat), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetHostInfo(none, text), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetServerInfo(none, text), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.OpenTable(none, "t", "", "", "", 0, dbiREADWRITE, dbiOPENSHARED, xltNONE, false, nullptr,
                               cursor),
              DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.OpenFieldList(none, "t", "", false, cursor), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.OpenIndexList(none, "t", "", cursor), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.EmptyTable(none, nullptr, "t", ""), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.AddIndex(none, nullptr, "t", "", desc, ""), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.DeleteIndex(none, nullptr, "t", "", "i", "", 0), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.QAlloc(none, qrylangSQL, statement), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.QExecDirect(none, qrylangSQL, "select * from t", nullptr), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.QPrepareExt(none, qrylangSQL, "select * from t", 0, statement), DBIERR_INVALIDHNDL);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(statement, nullptr);
    EXPECT_EQ(engine.CurrentDatabase(), db) << "a null handle is never recorded";
}

TEST_F(EngineTest, TableListIsReplacedAndDatabaseListAppended) {
    Exec("create table alpha (a int)");
    Exec("create table beta (b int)");
    host::TStringList tables;
    tables.Add("stale");
    ASSERT_EQ(engine.OpenTableList(db, tables), DBIERR_NONE);
    ASSERT_EQ(tables.Count(), 2);
    EXPECT_EQ(tables.Strings(0), "alpha");
    EXPECT_EQ(tables.Strings(1), "beta");

    host::TStringList databases;
    databases.Add("kept");
    ASSERT_EQ(engine.GetDatabases(db, databases), DBIERR_NONE);
    ASSERT_GE(databases.Count(), 2);
    EXPECT_EQ(databases.Strings(0), "kept");
    EXPECT_GE(databases.IndexOf("test"), 1);
}

TEST_F(EngineTest, ServerInformationAndDatabaseSelection) {
    int32_t stat = -7;
    std::string hostInfo, serverInfo;
    EXPECT_EQ(engine.GetServerStat(db, stat), DBIERR_NONE);
    EXPECT_EQ(engine.GetHostInfo(db, hostInfo), DBIERR_NONE);
    EXPECT_EQ(engine.GetServerInfo(db, serverInfo), DBIERR_NONE);
    EXPECT_FALSE(serverInfo.empty());

    EXPECT_EQ(engine.SelectDb(db, "test"), DBIERR_NONE);
    EXPECT_EQ(engine.SelectDb(db, "nosuchdb"), DBIERR_NATIVE);
    EXPECT_NE(engine.GetNativeErrorMsg().find("nosuchdb"), std::string::npos) << engine.GetNativeErrorMsg();
}

TEST_F(EngineTest, IndexMaintenanceAndEmptyTableChangeTheServerAndTheCursor) {
    Exec("create table t (a int, b char(8))");
    Exec("insert into t values (2, 'x')");
    Exec("insert into t values (1, 'y')");
    hDBICur& cursor = Table("t");
    IDXDesc desc{};
    std::strcpy(desc.szName, "ia");
    desc.bUnique = static_cast<BOOL16>(-1);
    desc.bMaintained = static_cast<BOOL16>(-1);
    desc.iFldsInKey = 1;
    desc.aiKeyFld[0] = 1;
    ASSERT_EQ(engine.AddIndex(db, cursor, "", "", desc, ""), DBIERR_NONE) << engine.GetNativeErrorMsg();
    CURProps props;
    ASSERT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
    EXPECT_EQ(+props.iIndexes, 1) << "the cursor reads its indexes again";
    ASSERT_EQ(engine.SwitchToIndex(cursor, "ia", nullptr, 0, false), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{1, 2}));

    // Without a cursor the key fields are the table's columns; the order in force survives the
    // refresh of the cursor's index list.
    std::strcpy(desc.szName, "ib");
    desc.bUnique = DescFalse;
    desc.iFldsInKey = 2;
    desc.aiKeyFld[0] = 2;
    desc.aiKeyFld[1] = 1;
    ASSERT_EQ(engine.AddIndex(db, nullptr, "t", "", desc, ""), DBIERR_NONE) << engine.GetNativeErrorMsg();
    EXPECT_EQ(engine.DeleteIndex(db, cursor, "t", "", "ib", "", 0), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(engine.EmptyTable(db, cursor, "", ""), DBIERR_NONE);
    int32_t count = -1;
    ASSERT_EQ(engine.GetRecordCount(cursor, count), DBIERR_NONE);
    EXPECT_EQ(count, 0) << "the cursor runs its statement again";
    // Dropping the index in force brings the natural order back.
    EXPECT_EQ(engine.DeleteIndex(db, cursor, "", "", "", "", 1), DBIERR_NONE);
    ASSERT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
    EXPECT_EQ(+props.iIndexes, 0);
    EXPECT_EQ(msqlQuery(fAdmin, "create index ia on t (a)"), 1) << "the index is gone on the server";

    // What mSQL cannot build or name is refused before anything is sent.
    desc.bDescending = static_cast<BOOL16>(-1);
    EXPECT_EQ(engine.AddIndex(db, cursor, "t", "", desc, ""), DBIERR_NOTSUPPORTED);
    desc.bDescending = DescFalse;
    std::strcpy(desc.szName, "x; drop");
    EXPECT_EQ(engine.AddIndex(db, cursor, "t", "", desc, ""), DBIERR_INVALIDPARAM);
    EXPECT_EQ(engine.EmptyTable(db, nullptr, "t where a = 1", ""), DBIERR_INVALIDPARAM);
    EXPECT_EQ(engine.DeleteIndex(db, nullptr, "t", "", "nosuch", "", 0), DBIERR_NATIVE);
    EXPECT_NE(engine.GetNativeErrorMsg().find("nosuch"), std::string::npos) << engine.GetNativeErrorMsg();
}

TEST_F(EngineTest, OpeningAMissingTableGivesTheServerTextAndNoCursor) {
    hDBICur cursor = nullptr;
    EXPECT_EQ(engine.OpenTable(db, "missing", "", "", "", 0, dbiREADWRITE, dbiOPENSHARED, xltNONE, false,
                               nullptr, cursor),
              DBIERR_NATIVE);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(engine.GetNativeErrorMsg(), ClientErrorText());
    EXPECT_FALSE(engine.GetNativeErrorMsg().empty());
}

TEST_F(EngineTest, ARecordTooBigForTheDescriptorsGivesNoCursor) {
    Exec("create table wide (a char(30000), b char(30000), c char(30000))");
    Exec("insert into wide values ('x', 'y', 'z')");
    hDBICur cursor = nullptr;
    EXPECT_EQ(engine.OpenTable(db, "wide", "", "", "", 0, dbiREADWRITE, dbiOPENSHARED, xltNONE, false,
                               nullptr, cursor),
              DBIERR_RECTOOBIG);
    EXPECT_EQ(cursor, nullptr);

    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    ASSERT_EQ(engine.QPrepare(statement, "select a, b, c, a from wide"), DBIERR_NONE);
    EXPECT_EQ(engine.QExec(statement, &cursor), DBIERR_RECTOOBIG);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(engine.QFree(statement), DBIERR_NONE);
}

// ---- List cursors

TEST_F(EngineTest, FieldListHandsOutEveryFieldDescriptorThenEndOfTable) {
    Exec("create table people (id int, name char(10), born date)");
    hDBICur cursor = nullptr;
    ASSERT_EQ(engine.OpenFieldList(db, "people", "", false, cursor), DBIERR_NONE);
    ASSERT_NE(cursor, nullptr);
    Keep(cursor);

    CURProps props;
    ASSERT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
    EXPECT_EQ(+props.iRecBufSize, sizeof(FLDDesc));
    int32_t count = 0;
    ASSERT_EQ(engine.GetRecordCount(cursor, count), DBIERR_NONE);
    EXPECT_EQ(count, 3);

    std::vector<std::string> names;
    FLDDesc desc;
    while (engine.GetNextRecord(cursor, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr) == DBIERR_NONE)
        names.emplace_back(desc.szName);
    EXPECT_EQ(names, (std::vector<std::string>{"id", "name", "born"}));
    EXPECT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr),
              DBIERR_EOF);

    // Back to the start, by SetToBegin or by any bookmark.
    ASSERT_EQ(engine.SetToBegin(cursor), DBIERR_NONE);
    ASSERT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr),
              DBIERR_NONE);
    ASSERT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr),
              DBIERR_NONE);
    EXPECT_STREQ(desc.szName, "name");
    const uint8_t anyBookmark[BookmarkSize] = {5};
    ASSERT_EQ(engine.SetToBookMark(cursor, anyBookmark), DBIERR_NONE);
    ASSERT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr),
              DBIERR_NONE);
    EXPECT_STREQ(desc.szName, "id");
    EXPECT_EQ(+desc.iFldType, fldINT32);
}

TEST_F(EngineTest, IndexListOfATableWithoutIndexesIsEmpty) {
    Exec("create table plain (a int)");
    hDBICur cursor = nullptr;
    ASSERT_EQ(engine.OpenIndexList(db, "plain", "", cursor), DBIERR_NONE);
    ASSERT_NE(cursor, nullptr);
    Keep(cursor);
    int32_t count = -1;
    ASSERT_EQ(engine.GetRecordCount(cursor, count), DBIERR_NONE);
    EXPECT_EQ(count, 0);
    CURProps props;
    ASSERT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
    EXPECT_EQ(+props.iRecBufSize, sizeof(IDXDesc));
    IDXDesc desc;
    EXPECT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr),
              DBIERR_EOF);
    EXPECT_EQ(engine.GetPriorRecord(cursor, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr),
              DBIERR_BOF);
}

TEST_F(EngineTest, FieldListOfAMissingTableFailsAndLeavesTheHandle) {
    hDBICur cursor = nullptr;
    EXPECT_EQ(engine.OpenFieldList(db, "missing", "", false, cursor), DBIERR_NATIVE);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(engine.OpenIndexList(db, "missing", "", cursor), DBIERR_NATIVE);
    EXPECT_EQ(cursor, nullptr);
}

// ---- Cursor family

class EngineCursorTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Exec("create table t (a int, s char(8))");
        Exec("insert into t values (10, 'ten')");
        Exec("insert into t values (20, 'twenty')");
        Exec("insert into t values (30, 'thirty')");
        cursor = Table("t");
        record = Record(cursor);
    }

    DBIResult Next() { return engine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr); }
    DBIResult Prior() { return engine.GetPriorRecord(cursor, dbiNOLOCK, record.data(), nullptr); }
    DBIResult Current() { return engine.GetRecord(cursor, dbiNOLOCK, record.data(), nullptr); }
    int32_t A() { return IntField(cursor, record, 1); }

    hDBICur cursor = nullptr;
    std::vector<uint8_t> record;
};

TEST_F(EngineCursorTest, PropertiesDescriptorsAndCount) {
    CURProps props;
    ASSERT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
    EXPECT_EQ(+props.iFields, 2);
    EXPECT_EQ(+props.iBookMarkSize, BookmarkSize);
    EXPECT_EQ(+props.eOpenMode, dbiREADWRITE);
    FLDDesc descs[2];
    ASSERT_EQ(engine.GetFieldDescs(cursor, descs), DBIERR_NONE);
    EXPECT_STREQ(descs[0].szName, "a");
    EXPECT_STREQ(descs[1].szName, "s");
    EXPECT_EQ(+descs[1].iFldType, fldZSTRING);
    EXPECT_EQ(engine.GetFieldDescs(cursor, nullptr), DBIERR_INVALIDPARAM);
    VCHKDesc vchk;
    EXPECT_EQ(engine.GetVchkDesc(cursor, 2, vchk), DBIERR_NONE);
    EXPECT_EQ(+vchk.iFldNum, 2);
    EXPECT_EQ(engine.GetVchkDesc(cursor, 3, vchk), DBIERR_INVALIDRECSTRUCT);
    int32_t count = 0;
    ASSERT_EQ(engine.GetRecordCount(cursor, count), DBIERR_NONE);
    EXPECT_EQ(count, 3);
}

TEST_F(EngineCursorTest, NavigationReportsBeginningAndEndOfTable) {
    EXPECT_EQ(Current(), DBIERR_NOCURRREC) << "unpositioned";
    ASSERT_EQ(Next(), DBIERR_NONE);
    EXPECT_EQ(A(), 10);
    EXPECT_EQ(Prior(), DBIERR_BOF) << "at the first row";
    ASSERT_EQ(Next(), DBIERR_NONE);
    ASSERT_EQ(Next(), DBIERR_NONE);
    ASSERT_EQ(Next(), DBIERR_NONE);
    EXPECT_EQ(A(), 30);
    EXPECT_EQ(Next(), DBIERR_EOF);
    ASSERT_EQ(Prior(), DBIERR_NONE);
    EXPECT_EQ(A(), 30);
    ASSERT_EQ(Current(), DBIERR_NONE);
    EXPECT_EQ(A(), 30);

    ASSERT_EQ(engine.SetToBegin(cursor), DBIERR_NONE);
    EXPECT_EQ(Current(), DBIERR_EOF);
    ASSERT_EQ(engine.SetToEnd(cursor), DBIERR_NONE);
    EXPECT_EQ(Current(), DBIERR_BOF);
    ASSERT_EQ(Prior(), DBIERR_NONE);
    EXPECT_EQ(A(), 30);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{10, 20, 30}));
}

TEST_F(EngineCursorTest, PriorRecordOverNoRowsIsTheBeginning) {
    Exec("create table empty (a int)");
    hDBICur& empty = Table("empty");
    std::vector<uint8_t> buffer = Record(empty);
    EXPECT_EQ(engine.GetPriorRecord(empty, dbiNOLOCK, buffer.data(), nullptr), DBIERR_BOF);
    EXPECT_EQ(engine.GetNextRecord(empty, dbiNOLOCK, buffer.data(), nullptr), DBIERR_BOF);
    int32_t count = -1;
    ASSERT_EQ(engine.GetRecordCount(empty, count), DBIERR_NONE);
    EXPECT_EQ(count, 0);
}

TEST_F(EngineCursorTest, BookmarksMarkRowsAndRecordTheCurrentCursor) {
    ASSERT_EQ(Next(), DBIERR_NONE);
    ASSERT_EQ(Next(), DBIERR_NONE);
    uint8_t second[BookmarkSize];
    ASSERT_EQ(engine.GetBookMark(cursor, second), DBIERR_NONE);
    EXPECT_EQ(engine.CurrentCursor(), cursor);
    ASSERT_EQ(Next(), DBIERR_NONE);
    uint8_t third[BookmarkSize];
    ASSERT_EQ(engine.GetBookMark(cursor, third), DBIERR_NONE);

    int16_t order = 0;
    ASSERT_EQ(engine.CompareBookMarks(cursor, second, third, order), DBIERR_NONE);
    EXPECT_EQ(order, -1);
    ASSERT_EQ(engine.CompareBookMarks(cursor, third, third, order), DBIERR_NONE);
    EXPECT_EQ(order, 0);
    EXPECT_EQ(engine.CompareBookMarks(cursor, nullptr, third, order), DBIERR_INVALIDPARAM);

    ASSERT_EQ(engine.SetToBookMark(cursor, second), DBIERR_NONE);
    ASSERT_EQ(Current(), DBIERR_NONE);
    EXPECT_EQ(A(), 20);
    EXPECT_EQ(engine.SetToBookMark(cursor, nullptr), DBIERR_INVALIDPARAM);
    EXPECT_EQ(engine.GetBookMark(cursor, nullptr), DBIERR_INVALIDPARAM);

    hDBICur none = nullptr;
    EXPECT_EQ(engine.GetBookMark(none, second), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.CurrentCursor(), cursor);
    hDBICur closing = cursor;
    ASSERT_EQ(engine.CloseCursor(cursors.back()), DBIERR_NONE);
    EXPECT_EQ(engine.CurrentCursor(), nullptr) << "a freed cursor is not remembered";
    EXPECT_NE(closing, nullptr);
}

TEST_F(EngineCursorTest, RecordBuffersAreInitialisedReadAndWrittenThroughTheEngine) {
    ASSERT_EQ(engine.InitRecord(cursor, record.data()), DBIERR_NONE);
    bool blank = false;
    ASSERT_EQ(engine.GetField(cursor, 1, record.data(), nullptr, blank), DBIERR_NONE);
    EXPECT_TRUE(blank);
    const int32_t value = 42;
    ASSERT_EQ(engine.PutField(cursor, 1, record.data(), &value), DBIERR_NONE);
    EXPECT_EQ(A(), 42);
    char text[9] = "abc";
    ASSERT_EQ(engine.PutField(cursor, 2, record.data(), text), DBIERR_NONE);
    char read[9] = {};
    ASSERT_EQ(engine.GetField(cursor, 2, record.data(), read, blank), DBIERR_NONE);
    EXPECT_FALSE(blank);
    EXPECT_STREQ(read, "abc");

    EXPECT_EQ(engine.InitRecord(cursor, nullptr), DBIERR_INVALIDPARAM);
    EXPECT_EQ(engine.GetField(cursor, 1, nullptr, read, blank), DBIERR_INVALIDPARAM);
    EXPECT_EQ(engine.GetField(cursor, 9, record.data(), read, blank), DBIERR_INVALIDRECSTRUCT);
    EXPECT_EQ(engine.PutField(cursor, 0, record.data(), &value), DBIERR_INVALIDRECSTRUCT);
    EXPECT_EQ(engine.VerifyField(cursor, 1, &value, blank), DBIERR_NONE);
}

TEST_F(EngineCursorTest, ReadBlockCopiesTheNextRowsAndCountsThemUpToTheEnd) {
    const size_t size = record.size();
    std::vector<uint8_t> block(size * 2, 0);
    const auto a = [&](uint32_t i) {
        std::vector<uint8_t> one(block.begin() + static_cast<std::ptrdiff_t>(size * i),
                                 block.begin() + static_cast<std::ptrdiff_t>(size * (i + 1)));
        return IntField(cursor, one, 1);
    };
    ASSERT_EQ(engine.SetToBegin(cursor), DBIERR_NONE);
    uint32_t records = 2;
    ASSERT_EQ(engine.ReadBlock(cursor, records, block.data()), DBIERR_NONE);
    EXPECT_EQ(records, 2u);
    EXPECT_EQ(a(0), 10);
    EXPECT_EQ(a(1), 20);
    records = 2;
    EXPECT_EQ(engine.ReadBlock(cursor, records, block.data()), DBIERR_EOF) << "the end came first";
    EXPECT_EQ(records, 1u);
    EXPECT_EQ(a(0), 30);
    records = 2;
    EXPECT_EQ(engine.ReadBlock(cursor, records, block.data()), DBIERR_EOF);
    EXPECT_EQ(records, 0u);
    EXPECT_EQ(Prior(), DBIERR_NONE) << "the cursor stays at the end of the rows read";
    EXPECT_EQ(A(), 30);

    // Rows an active filter rejects are skipped, as GetNextRecord skips them.
    hDBIFilter filter = nullptr;
    const std::vector<uint8_t> notTwenty = Blob(Binary(host::canNE, Field("a"), Int(20)));
    ASSERT_EQ(engine.AddFilter(cursor, 0, 0, false, AsCANExpr(notTwenty), nullptr, filter), DBIERR_NONE);
    ASSERT_EQ(engine.ActivateFilter(cursor, filter), DBIERR_NONE);
    ASSERT_EQ(engine.SetToBegin(cursor), DBIERR_NONE);
    records = 2;
    ASSERT_EQ(engine.ReadBlock(cursor, records, block.data()), DBIERR_NONE);
    EXPECT_EQ(a(0), 10);
    EXPECT_EQ(a(1), 30);

    records = 1;
    EXPECT_EQ(engine.ReadBlock(cursor, records, nullptr), DBIERR_INVALIDPARAM);
    records = 0;
    EXPECT_EQ(engine.ReadBlock(cursor, records, nullptr), DBIERR_NONE) << "nothing asked, nothing read";
}

TEST_F(EngineCursorTest, RecordLockKeepsTheBufferUntilReleased) {
    ASSERT_EQ(Next(), DBIERR_NONE);
    ASSERT_EQ(engine.GetRecord(cursor, dbiREADLOCK, record.data(), nullptr), DBIERR_NONE);
    const int32_t changed = 99;
    ASSERT_EQ(engine.PutField(cursor, 1, record.data(), &changed), DBIERR_NONE);
    ASSERT_EQ(Current(), DBIERR_NONE);
    EXPECT_EQ(A(), 99) << "a locked record is not read again";
    ASSERT_EQ(engine.RelRecordLock(cursor, false), DBIERR_NONE);
    ASSERT_EQ(Current(), DBIERR_NONE);
    EXPECT_EQ(A(), 10);
}

TEST_F(EngineCursorTest, ForceRereadKeepsTheCurrentRowWithoutAFilter) {
    ASSERT_EQ(Next(), DBIERR_NONE);
    ASSERT_EQ(Next(), DBIERR_NONE);
    EXPECT_EQ(engine.ForceReread(cursor), DBIERR_NONE);
    ASSERT_EQ(Current(), DBIERR_NONE);
    EXPECT_EQ(A(), 20) << "without a filter the current row stays";
}

TEST_F(EngineCursorTest, ForceRereadFetchesWhatTheServerHoldsNow) {
    ASSERT_EQ(Next(), DBIERR_NONE);
    ASSERT_EQ(Next(), DBIERR_NONE);
    Exec("update t set a = 21 where a = 20");
    Exec("insert into t values (40, 'forty')");
    ASSERT_EQ(Current(), DBIERR_NONE);
    EXPECT_EQ(A(), 20) << "the stored result stays until a re-read is asked for";
    EXPECT_EQ(engine.ForceReread(cursor), DBIERR_NONE);
    int32_t count = 0;
    ASSERT_EQ(engine.GetRecordCount(cursor, count), DBIERR_NONE);
    EXPECT_EQ(count, 4);
    ASSERT_EQ(Current(), DBIERR_NONE);
    EXPECT_EQ(A(), 21) << "on the same row number";

    Exec("delete from t where a > 10");
    EXPECT_EQ(engine.ForceReread(cursor), DBIERR_NONE);
    ASSERT_EQ(Current(), DBIERR_NONE);
    EXPECT_EQ(A(), 10) << "on the last row when fewer remain";
}

TEST_F(EngineCursorTest, NullCursorHandleGivesInvalidHandle) {
    hDBICur none = nullptr;
    CURProps props;
    int32_t count = 0;
    bool blank = false;
    int16_t order = 0;
    VCHKDesc vchk;
    FLDDesc descs[2];
    uint8_t bookmark[BookmarkSize] = {};
    EXPECT_EQ(engine.CloseCursor(none), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetCursorProps(none, props), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetFieldDescs(none, descs), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetVchkDesc(none, 1, vchk), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetRecordCount(none, count), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.ForceReread(none), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.SetToBegin(none), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.SetToEnd(none), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetNextRecord(none, dbiNOLOCK, record.data(), nullptr), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetPriorRecord(none, dbiNOLOCK, record.data(), nullptr), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetRecord(none, dbiNOLOCK, record.data(), nullptr), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.SetToBookMark(none, bookmark), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.CompareBookMarks(none, bookmark, bookmark, order), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.RelRecordLock(none, true), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.InitRecord(none, record.data()), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetField(none, 1, record.data(), nullptr, blank), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.PutField(none, 1, record.data(), nullptr), DBIERR_INVALIDHNDL);
}

// ---- Properties

TEST_F(EngineCursorTest, CursorPropertiesAreAnsweredAndRefusalsAreCodesNotExceptions) {
    uint16_t maxProps = 0;
    uint32_t length = 99;
    ASSERT_EQ(engine.GetEngProp(cursor, curMAXPROPS, &maxProps, sizeof maxProps, length), DBIERR_NONE);
    EXPECT_EQ(maxProps, CursorPropertyCount);
    EXPECT_EQ(length, 2u);

    uint8_t tooSmall = 0;
    length = 99;
    EXPECT_EQ(engine.GetEngProp(cursor, curXLTMODE, &tooSmall, sizeof tooSmall, length), DBIERR_INVALIDPARAM);
    EXPECT_EQ(length, 0u);

    uint32_t unknown = 7;
    ASSERT_EQ(engine.GetEngProp(cursor, curFIELDFULLNAME, &unknown, sizeof unknown, length), DBIERR_NONE);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(unknown, 7u);

    // A crack: the current record is the next one.
    ASSERT_EQ(Next(), DBIERR_NONE);
    ASSERT_EQ(engine.SetEngProp(cursor, curMAKECRACK, 0), DBIERR_NONE);
    ASSERT_EQ(Current(), DBIERR_NONE);
    EXPECT_EQ(A(), 20);
}

TEST_F(EngineCursorTest, NullHandlesInPropertyCallsAreInvalidParameters) {
    uint32_t value = 0;
    uint32_t length = 99;
    EXPECT_EQ(engine.GetEngProp(hDBICur{}, curMAXPROPS, &value, sizeof value, length), DBIERR_INVALIDPARAM);
    EXPECT_EQ(length, 0u);
    length = 99;
    EXPECT_EQ(engine.GetEngProp(hDBIStmt{}, stmtROWCOUNT, &value, sizeof value, length), DBIERR_INVALIDPARAM);
    EXPECT_EQ(length, 0u);
    length = 99;
    EXPECT_EQ(engine.GetEngProp(hDBIDb{}, dbDATABASETYPE, &value, sizeof value, length), DBIERR_INVALIDPARAM);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(engine.SetEngProp(hDBICur{}, curMAKECRACK, 0), DBIERR_INVALIDPARAM);
    EXPECT_EQ(engine.SetEngProp(hDBIStmt{}, stmtLIVENESS, wantLIVE), DBIERR_INVALIDPARAM);
    EXPECT_EQ(engine.SetEngProp(hDBIDb{}, dbTRACEMODE, 0), DBIERR_INVALIDPARAM);
}

TEST_F(EngineTest, DatabasePropertiesAreAcceptedWithoutEffect) {
    uint32_t value = 5;
    uint32_t length = 99;
    EXPECT_EQ(engine.GetEngProp(db, dbDATABASETYPE, &value, sizeof value, length), DBIERR_NONE);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(engine.SetEngProp(db, dbTRACEMODE, 1), DBIERR_NONE);
    EXPECT_EQ(engine.GetEngProp(db, dbTRACEMODE, &value, sizeof value, length), DBIERR_NONE);
    EXPECT_EQ(length, 0u) << "trace flags read back as none";
}

TEST_F(EngineTest, ObjectFromObjectAnswersOnlyTheSession) {
    hDBIObj handle = AsObject(db);
    EXPECT_EQ(engine.GetObjFromObj(AsObject(db), objSESSION, handle), DBIERR_NONE);
    EXPECT_EQ(handle, AsObject(db)) << "left untouched";
    EXPECT_EQ(engine.GetObjFromObj(AsObject(db), objDATABASE, handle), DBIERR_INVALIDPARAM);
    EXPECT_EQ(handle, nullptr);
}

// ---- Query family

TEST_F(EngineTest, StatementExecutedWithoutCursorReportsRowsAffected) {
    Exec("create table t (a int)");
    Exec("insert into t values (1)");
    Exec("insert into t values (2)");
    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    ASSERT_NE(statement, nullptr);
    ASSERT_EQ(engine.QPrepare(statement, "update t set a = 9"), DBIERR_NONE);
    ASSERT_EQ(engine.QExec(statement, nullptr), DBIERR_NONE);
    EXPECT_EQ(engine.CurrentStatement(), statement);
    int32_t rows = 0;
    uint32_t length = 0;
    ASSERT_EQ(engine.GetEngProp(statement, stmtROWCOUNT, &rows, sizeof rows, length), DBIERR_NONE);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(length, 4u);

    ASSERT_EQ(engine.QFree(statement), DBIERR_NONE); // freed here: the leak checker would see it otherwise
    EXPECT_EQ(statement, nullptr);
    EXPECT_EQ(engine.CurrentStatement(), nullptr);
    EXPECT_EQ(Column(Table("t")), (std::vector<int32_t>{9, 9}));
}

TEST_F(EngineTest, StatementThatBecameACursorIsFreedOnceByCloseCursor) {
    Exec("create table t (a int)");
    Exec("insert into t values (5)");
    Exec("insert into t values (6)");
    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    ASSERT_EQ(engine.QPrepare(statement, "select a from t"), DBIERR_NONE);
    hDBICur cursor = nullptr;
    ASSERT_EQ(engine.QExec(statement, &cursor), DBIERR_NONE);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{5, 6}));

    // The query component's order: the cursor goes first, the statement afterwards.
    ASSERT_EQ(engine.CloseCursor(cursor), DBIERR_NONE);
    EXPECT_EQ(cursor, nullptr);
    ASSERT_EQ(engine.QFree(statement), DBIERR_NONE);
}

TEST_F(EngineTest, CursorOutlivesItsFreedStatementWithItsOwnText) {
    Exec("create table t (a int)");
    Exec("insert into t values (7)");
    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    {
        std::string text = "select a from t";
        ASSERT_EQ(engine.QPrepare(statement, text), DBIERR_NONE);
        text.assign(text.size(), 'x'); // the caller's text may change or go away
    }
    hDBICur cursor = nullptr;
    ASSERT_EQ(engine.QExec(statement, &cursor), DBIERR_NONE);
    Keep(cursor);
    // The database component's order for an uncached statement: freed right after it ran.
    ASSERT_EQ(engine.QFree(statement), DBIERR_NONE);
    Exec("insert into t values (8)");
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{7}));
}

TEST_F(EngineTest, PreparedStatementRunsAgainAfterItsCursorWasClosed) {
    Exec("create table t (a int)");
    Exec("insert into t values (1)");
    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    ASSERT_EQ(engine.SetEngProp(statement, stmtLIVENESS, wantCANNED), DBIERR_NONE);
    ASSERT_EQ(engine.QPrepare(statement, "select a from t"), DBIERR_NONE);
    hDBICur first = nullptr;
    ASSERT_EQ(engine.QExec(statement, &first), DBIERR_NONE);
    CURProps props;
    ASSERT_EQ(engine.GetCursorProps(first, props), DBIERR_NONE);
    EXPECT_EQ(+props.eOpenMode, dbiREADONLY);
    ASSERT_EQ(engine.CloseCursor(first), DBIERR_NONE);

    Exec("insert into t values (2)");
    hDBICur second = nullptr;
    ASSERT_EQ(engine.QExec(statement, &second), DBIERR_NONE);
    EXPECT_EQ(Column(second), (std::vector<int32_t>{1, 2}));
    ASSERT_EQ(engine.GetCursorProps(second, props), DBIERR_NONE);
    EXPECT_EQ(+props.eOpenMode, dbiREADONLY) << "the statement's properties carry over";
    ASSERT_EQ(engine.CloseCursor(second), DBIERR_NONE);
    ASSERT_EQ(engine.QFree(statement), DBIERR_NONE);
}

TEST_F(EngineTest, ExecutingAgainWhileTheCursorIsOpenGivesASecondCursor) {
    Exec("create table t (a int)");
    Exec("insert into t values (1)");
    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    ASSERT_EQ(engine.QPrepare(statement, "select a from t"), DBIERR_NONE);
    hDBICur first = nullptr;
    ASSERT_EQ(engine.QExec(statement, &first), DBIERR_NONE);
    Keep(first);
    Exec("insert into t values (2)");
    hDBICur second = nullptr;
    ASSERT_EQ(engine.QExec(statement, &second), DBIERR_NONE);
    Keep(second);
    EXPECT_NE(first, second);
    EXPECT_EQ(Column(first), (std::vector<int32_t>{1}));
    EXPECT_EQ(Column(second), (std::vector<int32_t>{1, 2}));

    // Executing without a cursor leaves both cursors alone.
    ASSERT_EQ(engine.QPrepare(statement, "delete from t where a = 1"), DBIERR_NONE);
    ASSERT_EQ(engine.QExec(statement, nullptr), DBIERR_NONE);
    EXPECT_EQ(Column(second), (std::vector<int32_t>{1, 2}));
    ASSERT_EQ(engine.QFree(statement), DBIERR_NONE);
    EXPECT_EQ(Column(first), (std::vector<int32_t>{1}));
}

TEST_F(EngineTest, StatementFailuresAreReportedAsCodes) {
    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    hDBICur cursor = nullptr;
    EXPECT_EQ(engine.QExec(statement, &cursor), DBIERR_QRYEMPTY) << "neither text nor table";
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(engine.QExec(statement, nullptr), DBIERR_QRYEMPTY);
    ASSERT_EQ(engine.QPrepare(statement, "select * from missing"), DBIERR_NONE);
    EXPECT_EQ(engine.QExec(statement, &cursor), DBIERR_NATIVE);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_FALSE(engine.GetNativeErrorMsg().empty());
    ASSERT_EQ(engine.QFree(statement), DBIERR_NONE);

    hDBIStmt none = nullptr;
    EXPECT_EQ(engine.QPrepare(none, "select 1"), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.QExec(none, &cursor), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.QFree(none), DBIERR_INVALIDHNDL);
}

TEST_F(EngineTest, DirectExecutionReturnsNoCursor) {
    Exec("create table t (a int)");
    hDBICur cursor = nullptr;
    EXPECT_EQ(engine.QExecDirect(db, qrylangSQL, "insert into t values (3)", &cursor), DBIERR_NONE);
    EXPECT_EQ(engine.QExecDirect(db, qrylangSQL, "select a from t", &cursor), DBIERR_NONE);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(engine.QExecDirect(db, qrylangSQL, "select a from missing", &cursor), DBIERR_NATIVE);
    EXPECT_EQ(Column(Table("t")), std::vector<int32_t>{3});
}

TEST_F(EngineTest, ExtendedPrepareOnlyRecordsTheDatabase) {
    hDBIStmt statement = nullptr;
    EXPECT_EQ(engine.QPrepareExt(db, qrylangSQL, "select 1", 0, statement), DBIERR_NONE);
    EXPECT_EQ(statement, nullptr);
    EXPECT_EQ(engine.CurrentDatabase(), db);
}

// ---- Errors

TEST_F(EngineTest, NativeErrorTextSurvivesSuccessAndIsClearedByACodedError) {
    Exec("create table t (a int)");
    Exec("insert into t values (1)");
    EXPECT_EQ(engine.GetNativeErrorMsg(), "");
    EXPECT_EQ(engine.QExecDirect(db, qrylangSQL, "select * from missing", nullptr), DBIERR_NATIVE);
    const std::string first = engine.GetNativeErrorMsg();
    EXPECT_FALSE(first.empty());

    hDBICur& cursor = Table("t");
    std::vector<uint8_t> record = Record(cursor);
    ASSERT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    EXPECT_EQ(IntField(cursor, record, 1), 1);
    EXPECT_EQ(engine.GetNativeErrorMsg(), first) << "kept through successful calls";
    std::string message;
    EXPECT_EQ(engine.GetErrorString(DBIERR_NATIVE, message), DBIERR_NATIVE);
    EXPECT_EQ(message, first);

    EXPECT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_EOF);
    EXPECT_EQ(engine.GetNativeErrorMsg(), "") << "a coded error shows its table message, not a stale text";
    EXPECT_EQ(engine.GetErrorString(DBIERR_EOF, message), DBIERR_EOF);
    EXPECT_EQ(message, "");

    EXPECT_EQ(engine.QExecDirect(db, qrylangSQL, "select nothing from t", nullptr), DBIERR_NATIVE);
    EXPECT_FALSE(engine.GetNativeErrorMsg().empty());
    EXPECT_EQ(engine.GetNativeErrorMsg(), ClientErrorText()) << "replaced by the next native failure";
}

TEST_F(EngineTest, CheckErrorTurnsNativeExceptionsIntoCodes) {
    EXPECT_EQ(engine.CheckError(EmSQLException(nullptr, std::string("server said no"))), DBIERR_NATIVE);
    EXPECT_EQ(engine.GetNativeErrorMsg(), "server said no");
    EXPECT_EQ(engine.CheckError(EmSQLException(DBIERR_NOSUCHFILTER, "with a text")), DBIERR_NOSUCHFILTER);
    EXPECT_EQ(engine.GetNativeErrorMsg(), "with a text") << "the detail of a coded failure is kept";
    EXPECT_EQ(engine.CheckError(EmSQLException(DBIERR_EOF)), DBIERR_EOF);
    EXPECT_EQ(engine.GetNativeErrorMsg(), "") << "a code without detail leaves no stale text";
}

TEST_F(EngineTest, ErrorEntryIsAFixedAnswer) {
    int32_t nativeError = 0;
    std::string message;
    EXPECT_EQ(engine.GetErrorEntry(DBIERR_EOF, nativeError, message), DBIERR_NONE);
    EXPECT_EQ(nativeError, -100);
    EXPECT_EQ(message, "Error");
}

TEST_F(EngineTest, OtherExceptionsPassThroughUnchanged) {
    Exec("create table big (u int, n char(4))");
    Exec("insert into big values (2, 'two')");
    hDBICur& cursor = Table("big");
    std::vector<uint8_t> record = Record(cursor);
    UnreadableNumberInRow unreadable("two");
    EXPECT_THROW(engine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr), host::EConvertError);
}

// ---- Text family

TEST_F(EngineTest, TextIsCopiedUnchangedWithoutDataLoss) {
    const char source[] = "Gr\xfc\xdf"
                          "e\0tail";
    char dest[sizeof source] = {};
    bool dataLoss = true;
    ASSERT_EQ(engine.AnsiToNative(dest, source, sizeof source, dataLoss), DBIERR_NONE);
    EXPECT_FALSE(dataLoss);
    EXPECT_EQ(std::memcmp(dest, source, sizeof source), 0);

    char overlapping[] = "abcdef";
    dataLoss = true;
    ASSERT_EQ(engine.NativeToAnsi(overlapping + 1, overlapping, 4, dataLoss), DBIERR_NONE);
    EXPECT_STREQ(overlapping, "aabcdf");
    EXPECT_FALSE(dataLoss);

    EXPECT_EQ(engine.NativeToAnsi(nullptr, nullptr, 0, dataLoss), DBIERR_NONE);
    EXPECT_EQ(engine.AnsiToNative(nullptr, source, 3, dataLoss), DBIERR_INVALIDPARAM);
}

} // namespace
} // namespace corvane::test
