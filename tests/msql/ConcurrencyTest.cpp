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

// Each connection keeps the catalog entries it resolved; a change of the schema by any connection,
// or a rolled-back change, must make it read them again.
TEST_F(Concurrency, CatalogChangesOfAnotherConnectionAreSeenAtOnce) {
    Exec("create table t (a int)");
    Exec("insert into t values (1)");
    int other = msqlConnect(C(""));
    ASSERT_GE(other, 0);
    ASSERT_EQ(msqlSelectDB(other, C("test")), 0);
    auto otherExec = [&](const std::string& sql) {
        int n = msqlQuery(other, C(sql));
        if (m_result* r = msqlStoreResult()) msqlFreeResult(r);
        return n;
    };
    ASSERT_EQ(otherExec("insert into t values (2)"), 1); // the other connection knows t now

    Exec("drop table t");
    Exec("create table t (a char(5) not null, b int)");
    EXPECT_EQ(otherExec("insert into t values ('x', 3)"), 1) << msqlGetErrMsg(nullptr);
    EXPECT_EQ(otherExec("insert into t (b) values (4)"), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Field \"a\" cannot be null");

    Exec("create index ib on t (b)");
    EXPECT_EQ(otherExec("insert into t values ('y', NULL)"), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Index field \"b\" cannot be NULL");
    Exec("drop index ib from t");
    EXPECT_EQ(otherExec("insert into t values ('y', NULL)"), 1) << msqlGetErrMsg(nullptr);

    // An index creation failing half-way (on duplicates) is rolled back: NULL stays allowed, on
    // both connections.
    Exec("delete from t where b = NULL");
    Exec("insert into t values ('z', 4), ('u', 4)");
    EXPECT_EQ(otherExec("create unique index ub on t (b)"), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Non unique value for unique index");
    EXPECT_EQ(otherExec("insert into t values ('w', NULL)"), 1) << msqlGetErrMsg(nullptr);
    EXPECT_EQ(Exec("insert into t values ('v', NULL)"), 1);

    Exec("drop table t");
    EXPECT_EQ(otherExec("insert into t values ('x', 3)"), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Unknown table \"t\"");
    msqlClose(other);
}
