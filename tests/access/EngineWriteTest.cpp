// The engine's index and range, write, blob and parameter families against the embedded engine.
#include <cstring>
#include <map>
#include <set>

#include "ClientSpy.h"
#include "EngineFixture.h"
#include "RecordHelpers.h"
#include "host/Exceptions.h"
#include "host/Params.h"

namespace corvane::test {
namespace {

// ---- Index and range family

class EngineIndexTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Exec("create table t (a int, b char(6), c int)");
        Exec("create index ia on t (a)");
        Exec("create unique index ib on t (b, c)");
        Exec("insert into t values (3, 'x', 0)");
        Exec("insert into t values (1, 'z', 0)");
        Exec("insert into t values (2, 'y', 0)");
        cursor = Table("t");
    }

    hDBICur cursor = nullptr;
};

TEST_F(EngineIndexTest, IndexListHandsOutEveryIndexDescriptor) {
    hDBICur list = nullptr;
    ASSERT_EQ(engine.OpenIndexList(db, "t", "", list), DBIERR_NONE);
    Keep(list);
    int32_t count = 0;
    ASSERT_EQ(engine.GetRecordCount(list, count), DBIERR_NONE);
    EXPECT_EQ(count, 2);
    // In the server's listing order, which the test does not assume.
    std::map<std::string, IDXDesc> byName;
    IDXDesc desc;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(engine.GetNextRecord(list, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr),
                  DBIERR_NONE);
        byName[desc.szName] = desc;
    }
    ASSERT_EQ(byName.size(), 2u);
    EXPECT_EQ(+byName["ia"].iFldsInKey, 1);
    EXPECT_EQ(+byName["ia"].bUnique, 0);
    EXPECT_EQ(+byName["ib"].iFldsInKey, 2);
    EXPECT_NE(+byName["ib"].bUnique, 0);
    EXPECT_EQ(engine.GetNextRecord(list, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr), DBIERR_EOF);
}

TEST_F(EngineIndexTest, SwitchingTheIndexOrdersTheRows) {
    ASSERT_EQ(engine.SwitchToIndex(cursor, "ia", nullptr, 0, false), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{1, 2, 3}));
    ASSERT_EQ(engine.SwitchToIndex(cursor, "ib", nullptr, 0, false), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{3, 2, 1})) << "ordered by b";

    EXPECT_EQ(engine.SwitchToIndex(cursor, "IA", nullptr, 0, false), DBIERR_NOSUCHINDEX)
        << "matched with case";
    EXPECT_EQ(engine.SwitchToIndex(cursor, nullptr, nullptr, 0, false), DBIERR_INVALIDPARAM);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{3, 2, 1})) << "a refused switch changes nothing";

    CURProps props;
    ASSERT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
    EXPECT_EQ(+props.iIndexes, 2);
    IDXDesc descs[2];
    ASSERT_EQ(engine.GetIndexDescs(cursor, descs), DBIERR_NONE);
    EXPECT_EQ((std::set<std::string>{descs[0].szName, descs[1].szName}), (std::set<std::string>{"ia", "ib"}));
    EXPECT_EQ(engine.GetIndexDescs(cursor, nullptr), DBIERR_INVALIDPARAM);
    IDXDesc desc;
    ASSERT_EQ(engine.GetIndexDesc(cursor, 0, desc), DBIERR_NONE);
    EXPECT_STREQ(desc.szName, descs[0].szName) << "0 reads index 1";
    EXPECT_EQ(engine.GetIndexDesc(cursor, 3, desc), DBIERR_NOASSOCINDEX);
}

TEST_F(EngineIndexTest, TableWithoutIndexesHasNoAssociatedIndex) {
    Exec("create table plain (a int)");
    hDBICur& plain = Table("plain");
    IDXDesc desc;
    EXPECT_EQ(engine.GetIndexDesc(plain, 1, desc), DBIERR_NOASSOCINDEX);
    EXPECT_EQ(engine.SwitchToIndex(plain, "", nullptr, 1, false), DBIERR_NOASSOCINDEX);
}

TEST_F(EngineIndexTest, RangesFromKeysOrRecordsRestrictTheRows) {
    ASSERT_EQ(engine.SwitchToIndex(cursor, "ia", nullptr, 0, false), DBIERR_NONE);
    CURProps props;
    ASSERT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
    ASSERT_EQ(+props.iKeySize, 5);
    std::vector<uint8_t> low = Record(cursor), high = Record(cursor);
    ASSERT_EQ(engine.InitRecord(cursor, low.data()), DBIERR_NONE);
    ASSERT_EQ(engine.InitRecord(cursor, high.data()), DBIERR_NONE);
    const int32_t two = 2, three = 3;
    ASSERT_EQ(engine.PutField(cursor, 1, low.data(), &two), DBIERR_NONE);
    ASSERT_EQ(engine.PutField(cursor, 1, high.data(), &three), DBIERR_NONE);

    std::vector<uint8_t> key(props.iKeySize);
    ASSERT_EQ(engine.ExtractKey(cursor, low.data(), key.data()), DBIERR_NONE);
    EXPECT_EQ(key[0], 1) << "presence byte";
    ASSERT_EQ(engine.SetRange(cursor, true, 1, 0, key.data(), true, 0, 0, nullptr, false), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{2, 3}));

    ASSERT_EQ(engine.SetRange(cursor, false, 1, 0, low.data(), false, 1, 0, high.data(), true), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{3}));
    ASSERT_EQ(engine.ResetRange(cursor), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(engine.ExtractKey(cursor, low.data(), nullptr), DBIERR_INVALIDPARAM);
}

TEST_F(EngineIndexTest, SequenceNumbersPositionTheCursor) {
    ASSERT_EQ(engine.SwitchToIndex(cursor, "ia", nullptr, 0, false), DBIERR_NONE);
    std::vector<uint8_t> record = Record(cursor);
    ASSERT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    ASSERT_EQ(engine.SettoSeqNo(cursor, 2), DBIERR_NONE);
    ASSERT_EQ(engine.GetRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    EXPECT_EQ(IntField(cursor, record, 1), 3);
    EXPECT_EQ(engine.SettoSeqNo(cursor, 3), DBIERR_BOF);
}

// ---- Write family

class EngineWriteTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Exec("create table w (a int, s char(8))");
        Exec("create unique index wa on w (a)");
        Exec("insert into w values (1, 'one')");
        Exec("insert into w values (2, 'two')");
        cursor = Table("w");
        record = Record(cursor);
    }

    hDBICur cursor = nullptr;
    std::vector<uint8_t> record;
};

TEST_F(EngineWriteTest, InsertModifyAndDeleteRunThroughTheEngine) {
    ASSERT_EQ(engine.InitRecord(cursor, record.data()), DBIERR_NONE);
    const int32_t five = 5;
    ASSERT_EQ(engine.PutField(cursor, 1, record.data(), &five), DBIERR_NONE);
    ASSERT_EQ(engine.PutField(cursor, 2, record.data(), "five"), DBIERR_NONE);
    ASSERT_EQ(engine.InsertRecord(cursor, dbiNOLOCK, record.data()), DBIERR_NONE);
    ASSERT_EQ(engine.GetRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    EXPECT_EQ(IntField(cursor, record, 1), 5) << "the cursor stands on the new row";

    std::vector<uint8_t> old = record;
    const int32_t six = 6;
    ASSERT_EQ(engine.PutField(cursor, 1, record.data(), &six), DBIERR_NONE);
    ASSERT_EQ(engine.ModifyRecord(cursor, old.data(), record.data(), false), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{1, 2, 6}));

    ASSERT_EQ(engine.InitRecord(cursor, record.data()), DBIERR_NONE);
    const int32_t seven = 7;
    ASSERT_EQ(engine.PutField(cursor, 1, record.data(), &seven), DBIERR_NONE);
    ASSERT_EQ(engine.AppendRecord(cursor, record.data()), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{1, 2, 6, 7}));

    ASSERT_EQ(engine.SetToBegin(cursor), DBIERR_NONE);
    ASSERT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    ASSERT_EQ(engine.DeleteRecord(cursor, record.data()), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{2, 6, 7}));
}

TEST_F(EngineWriteTest, ServerRefusalOfAWriteIsANativeError) {
    ASSERT_EQ(engine.InitRecord(cursor, record.data()), DBIERR_NONE);
    const int32_t one = 1;
    ASSERT_EQ(engine.PutField(cursor, 1, record.data(), &one), DBIERR_NONE);
    EXPECT_EQ(engine.InsertRecord(cursor, dbiNOLOCK, record.data()), DBIERR_NATIVE) << "duplicate key";
    EXPECT_FALSE(engine.GetNativeErrorMsg().empty());
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{1, 2}));
}

TEST_F(EngineWriteTest, AStoredWriteIsASuccessAndAFailedRereadIsReportedNext) {
    ASSERT_EQ(engine.InitRecord(cursor, record.data()), DBIERR_NONE);
    const int32_t five = 5;
    ASSERT_EQ(engine.PutField(cursor, 1, record.data(), &five), DBIERR_NONE);
    {
        QuerySpy spy;
        spy.FailWhenContaining("Select * from w");
        EXPECT_EQ(engine.InsertRecord(cursor, dbiNOLOCK, record.data()), DBIERR_NONE);
        EXPECT_EQ(engine.GetRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NATIVE);
        EXPECT_FALSE(engine.GetNativeErrorMsg().empty());
    }
    EXPECT_EQ(QueryRows(fAdmin, "select a from w where a = 5"), std::vector<std::string>{"5"})
        << "stored once";
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{1, 2, 5}));
}

TEST_F(EngineWriteTest, WriteThatCannotNameItsRowIsRefused) {
    Exec("create table notes (x text(8))");
    Exec("insert into notes values ('memo')");
    hDBICur& notes = Table("notes");
    std::vector<uint8_t> row = Record(notes);
    ASSERT_EQ(engine.GetNextRecord(notes, dbiNOLOCK, row.data(), nullptr), DBIERR_NONE);
    EXPECT_EQ(engine.DeleteRecord(notes, row.data()), DBIERR_NOTUNIQUELYINDEXED);
    int32_t count = 0;
    ASSERT_EQ(engine.GetRecordCount(notes, count), DBIERR_NONE);
    EXPECT_EQ(count, 1);
}

TEST_F(EngineWriteTest, NullCursorHandleGivesInvalidHandleForWritesAndIndexes) {
    hDBICur none = nullptr;
    IDXDesc desc;
    uint32_t size = 0;
    EXPECT_EQ(engine.InsertRecord(none, dbiNOLOCK, record.data()), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.AppendRecord(none, record.data()), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.ModifyRecord(none, record.data(), record.data(), false), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.DeleteRecord(none, record.data()), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.SwitchToIndex(none, "wa", nullptr, 0, false), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetIndexDesc(none, 1, desc), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetIndexDescs(none, &desc), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.SetRange(none, true, 0, 0, nullptr, true, 0, 0, nullptr, true), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.ResetRange(none), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.ExtractKey(none, record.data(), record.data()), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.SettoSeqNo(none, 0), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.OpenBlob(none, record.data(), 1, dbiREADONLY), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.GetBlobSize(none, record.data(), 1, size), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.FreeBlob(none, record.data(), 1), DBIERR_INVALIDHNDL);
}

// ---- Blob family

class EngineBlobTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Exec("create table b (k int, x text(8))");
        Exec("create unique index bk on b (k)");
        Exec("insert into b values (1, 'hello world')");
        cursor = Table("b");
        record = Record(cursor);
        ASSERT_EQ(engine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    }

    std::string Read(uint32_t offset = 0, uint32_t length = 100) {
        std::string text(length, '\0');
        uint32_t read = 0;
        EXPECT_EQ(engine.GetBlob(cursor, record.data(), 2, offset, length,
                                 reinterpret_cast<uint8_t*>(text.data()), read),
                  DBIERR_NONE);
        text.resize(read);
        return text;
    }

    hDBICur cursor = nullptr;
    std::vector<uint8_t> record;
};

TEST_F(EngineBlobTest, TextIsReadFromTheRowAndWrittenThroughAnEditStream) {
    ASSERT_EQ(engine.OpenBlob(cursor, record.data(), 2, dbiREADONLY), DBIERR_NONE);
    uint32_t size = 0;
    ASSERT_EQ(engine.GetBlobSize(cursor, record.data(), 2, size), DBIERR_NONE);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(Read(), "hello world");
    EXPECT_EQ(Read(6, 3), "wor");

    std::vector<uint8_t> old = record;
    const std::string text = "bye";
    ASSERT_EQ(engine.PutBlob(cursor, record.data(), 2, 0, 3, reinterpret_cast<const uint8_t*>(text.data())),
              DBIERR_NONE);
    EXPECT_EQ(Read(), "byelo world") << "the edit starts from the row's text";
    ASSERT_EQ(engine.TruncateBlob(cursor, record.data(), 2, 3), DBIERR_NONE);
    EXPECT_EQ(Read(), "bye");
    ASSERT_EQ(engine.ModifyRecord(cursor, old.data(), record.data(), false), DBIERR_NONE);
    ASSERT_EQ(engine.FreeBlob(cursor, record.data(), 2), DBIERR_NONE);
    ASSERT_EQ(engine.GetRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    EXPECT_EQ(Read(), "bye");

    ASSERT_EQ(engine.TruncateBlob(cursor, record.data(), 2, 0), DBIERR_NONE);
    bool blank = false;
    ASSERT_EQ(engine.GetField(cursor, 2, record.data(), nullptr, blank), DBIERR_NONE);
    EXPECT_TRUE(blank);
    ASSERT_EQ(engine.FreeBlob(cursor, record.data(), 2), DBIERR_NONE);
}

TEST_F(EngineBlobTest, BlobOperationsOnOtherFieldsAreRefused) {
    uint32_t size = 0, read = 0;
    uint8_t byte = 0;
    EXPECT_EQ(engine.OpenBlob(cursor, record.data(), 1, dbiREADONLY), DBIERR_NOTABLOB);
    EXPECT_EQ(engine.GetBlobSize(cursor, record.data(), 1, size), DBIERR_NOTABLOB);
    EXPECT_EQ(engine.GetBlob(cursor, record.data(), 1, 0, 1, &byte, read), DBIERR_NOTABLOB);
    EXPECT_EQ(engine.PutBlob(cursor, record.data(), 1, 0, 1, &byte), DBIERR_NOTABLOB);
    EXPECT_EQ(engine.TruncateBlob(cursor, record.data(), 1, 0), DBIERR_NOTABLOB);
    EXPECT_EQ(engine.FreeBlob(cursor, record.data(), 1), DBIERR_NOTABLOB);
    EXPECT_EQ(engine.OpenBlob(cursor, nullptr, 2, dbiREADONLY), DBIERR_INVALIDPARAM);
}

// ---- Parameters and statement cursors that re-run their text

TEST_F(EngineTest, ParametersAreSubstitutedIntoTheStatementText) {
    Exec("create table t (a int, s char(8))");
    Exec("insert into t values (1, 'one')");
    Exec("insert into t values (2, 'two')");
    host::TParams params;
    params.CreateParam(host::ftString, "name", host::ptInput)->SetAsString("two");
    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    const std::string sql = "select a from t where s = :name";
    ASSERT_EQ(engine.QPrepare(statement, sql), DBIERR_NONE);
    ASSERT_EQ(engine.QuerySetParams(statement, params, sql), DBIERR_NONE);
    EXPECT_EQ(engine.CurrentStatement(), statement);
    hDBICur cursor = nullptr;
    ASSERT_EQ(engine.QExec(statement, &cursor), DBIERR_NONE);
    Keep(cursor);
    EXPECT_EQ(Column(cursor), std::vector<int32_t>{2});

    // A parameter the statement does not know is the host's error, passed on unchanged.
    host::TParams none;
    EXPECT_THROW(engine.QuerySetParams(statement, none, sql), host::EDatabaseError);
    EXPECT_EQ(engine.QuerySetParams(hDBIStmt{}, params, sql), DBIERR_INVALIDHNDL);
    ASSERT_EQ(engine.QFree(statement), DBIERR_NONE);
}

TEST_F(EngineTest, StatementCursorReRunsItsOwnTextAfterTheStatementWasFreed) {
    Exec("create table t (a int)");
    Exec("create unique index ta on t (a)");
    Exec("insert into t values (7)");
    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    ASSERT_EQ(engine.SetEngProp(statement, stmtLIVENESS, wantLIVE), DBIERR_NONE);
    ASSERT_EQ(engine.QPrepare(statement, "select a from t"), DBIERR_NONE);
    hDBICur cursor = nullptr;
    ASSERT_EQ(engine.QExec(statement, &cursor), DBIERR_NONE);
    Keep(cursor);
    ASSERT_EQ(engine.QFree(statement), DBIERR_NONE);

    // A write through the cursor runs its statement again.
    std::vector<uint8_t> record = Record(cursor);
    ASSERT_EQ(engine.InitRecord(cursor, record.data()), DBIERR_NONE);
    const int32_t eight = 8;
    ASSERT_EQ(engine.PutField(cursor, 1, record.data(), &eight), DBIERR_NONE);
    ASSERT_EQ(engine.InsertRecord(cursor, dbiNOLOCK, record.data()), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{7, 8}));
}

} // namespace
} // namespace corvane::test
