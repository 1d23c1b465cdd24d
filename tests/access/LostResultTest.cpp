// A result or listing the client library does not hand out is a failure, never an empty table: a SELECT
// always has a result (an empty one too), an existing table always has a field listing.
#include "EngineFixture.h"

namespace corvane::test {
namespace {

class LostResultTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Exec("create table t (a int)");
        Exec("create unique index ta on t (a)");
        Exec("insert into t values (1)");
    }

    // The client library loses every result and listing while it lives.
    struct LostResults {
        static m_result* Store() {
            if (m_result* result = sRealStore()) sRealFree(result);
            return nullptr;
        }
        static m_result* NoTables(int) { return nullptr; }
        static m_result* NoFields(int, const char*) { return nullptr; }
        LostResults() {
            sRealStore = msqlStoreResult;
            sRealFree = msqlFreeResult;
        }
        static inline msqlStoreResult_t sRealStore = nullptr;
        static inline msqlFreeResult_t sRealFree = nullptr;
    };

    hDBICur Open() {
        hDBICur cursor = nullptr;
        const DBIResult result = engine.OpenTable(db, "t", "", "ta", "", 0, dbiREADWRITE, dbiOPENSHARED,
                                                  xltNONE, false, nullptr, cursor);
        if (cursor) Keep(cursor);
        lastResult = result;
        return cursor;
    }

    DBIResult lastResult = DBIERR_NONE;
};

TEST_F(LostResultTest, TableWhoseRowsWereLostDoesNotOpenEmpty) {
    LostResults lost;
    ScopedClientFunction<msqlStoreResult_t> store(msqlStoreResult, &LostResults::Store);
    EXPECT_EQ(Open(), nullptr);
    EXPECT_EQ(lastResult, DBIERR_SERVERCOMMLOST);
}

TEST_F(LostResultTest, QueryWhoseRowsWereLostFails) {
    hDBIStmt statement = nullptr;
    ASSERT_EQ(engine.QAlloc(db, qrylangSQL, statement), DBIERR_NONE);
    ASSERT_EQ(engine.QPrepare(statement, "select a from t"), DBIERR_NONE);
    {
        LostResults lost;
        ScopedClientFunction<msqlStoreResult_t> store(msqlStoreResult, &LostResults::Store);
        hDBICur cursor = nullptr;
        EXPECT_EQ(engine.QExec(statement, &cursor), DBIERR_SERVERCOMMLOST);
        EXPECT_EQ(cursor, nullptr);
        EXPECT_EQ(engine.QExec(statement, nullptr), DBIERR_SERVERCOMMLOST) << "its row count is unknown";
        ASSERT_EQ(engine.QPrepare(statement, "insert into t values (2)"), DBIERR_NONE);
        EXPECT_EQ(engine.QExec(statement, nullptr), DBIERR_NONE) << "a write has no rows to lose";
    }
    ASSERT_EQ(engine.QFree(statement), DBIERR_NONE);
}

TEST_F(LostResultTest, LostTableListIsAFailureWithTheClientText) {
    host::TStringList tables;
    tables.Add("stale");
    ScopedClientFunction<msqlListTables_t> list(msqlListTables, &LostResults::NoTables);
    // The client left no text, so the failure is reported by its code.
    EXPECT_EQ(engine.OpenTableList(db, tables), DBIERR_SERVERCOMMLOST);
}

TEST_F(LostResultTest, TableWhoseIndexListingWasLostDoesNotOpenUnordered) {
    {
        ScopedClientFunction<msqlListFields_t> fields(msqlListFields, &LostResults::NoFields);
        EXPECT_EQ(Open(), nullptr);
        EXPECT_EQ(lastResult, DBIERR_SERVERCOMMLOST);
    }
    hDBICur cursor = Open();
    ASSERT_NE(cursor, nullptr) << "the listing is read again";
    CURProps props;
    ASSERT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
    EXPECT_EQ(+props.iIndexes, 1);
}

} // namespace
} // namespace corvane::test
