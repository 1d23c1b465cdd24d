// Several connections and processes on one data folder: committed writes are visible to the
// others, and a database locked too long fails with a clear message instead of hanging.
#include "MsqlFixture.h"

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace msqltest;

class Concurrency : public MsqlTest {};

TEST_F(Concurrency, AnotherProcessSeesAndMakesCommittedWrites) {
    Exec("create table t (a int)");
    Exec("insert into t values (1)");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child uses its own connection on the same folder; its exit code reports the outcome.
        int s = Connect();
        int ok = s >= 0 && msqlSelectDB(s, C("test")) == 0 && msqlQuery(s, C("select a from t")) == 1 &&
                 msqlQuery(s, C("insert into t values (2)")) == 1;
        if (m_result* r = msqlStoreResult()) msqlFreeResult(r);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Select("select a from t order by a"), (Rows{{"1"}, {"2"}}));
}

TEST_F(Concurrency, LockedDatabaseFailsAfterTheWaitLimit) {
    if (BackendIsTcp()) GTEST_SKIP() << "the wait limit of the server's sessions is fixed when it starts";
    Exec("create table t (a int)");
    setenv("MSQL_BUSY_TIMEOUT", "0", 1);
    int waiting = msqlConnect(C(""));
    unsetenv("MSQL_BUSY_TIMEOUT");
    ASSERT_GE(waiting, 0);
    ASSERT_EQ(msqlSelectDB(waiting, C("test")), 0);

    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open((dataDir + "/test.msql").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(msqlQuery(waiting, C("insert into t values (1)")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Database is locked by another connection; gave up waiting for it");
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);

    EXPECT_EQ(msqlQuery(waiting, C("insert into t values (1)")), 1);
    msqlClose(waiting);
}

TEST_F(Concurrency, SchemaChangesOfOneConnectionReachTheOther) {
    int other = Connect();
    ASSERT_GE(other, 0);
    ASSERT_EQ(msqlSelectDB(other, C("test")), 0);
    Exec("create table t (a int)");
    ASSERT_EQ(msqlQuery(other, C("insert into t values (5)")), 1);
    Exec("drop table t");
    Exec("create table t (b char(4))");
    EXPECT_EQ(msqlQuery(other, C("insert into t values (5)")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Literal value for 'b' is wrong type");
    m_result* tables = msqlListTables(other);
    ASSERT_NE(tables, nullptr);
    EXPECT_EQ(ReadRows(tables), (Rows{{"t"}}));
    msqlFreeResult(tables);
    msqlClose(other);
}
