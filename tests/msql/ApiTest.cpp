// The C API's contracts: connect, result ownership and cursors, pending-result rules, error text
// handling, several connections, and robustness against bad input.
#include "MsqlFixture.h"

#include <cstring>
#include <fstream>

using namespace msqltest;

class Api : public MsqlTest {};

TEST_F(Api, UnknownHostFailsAndNullHostOpensTheEmbeddedEngine) {
    // Host forms that fail before any name look-up or connection.
    EXPECT_EQ(msqlConnect(C("nohost:0")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Unknown mSQL Server Host (nohost:0)");
    EXPECT_EQ(msqlConnect(C("[::1")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Unknown mSQL Server Host ([::1)");
    int local = msqlConnect(nullptr);
    ASSERT_GE(local, 0);
    EXPECT_STRNE(msqlGetServerInfo(), "");
    EXPECT_STRNE(msqlGetHostInfo(), "");
    EXPECT_GT(msqlGetProtoInfo(), 0);
    msqlClose(local);
}

TEST_F(Api, StoredResultOutlivesLaterQueriesUntilFreed) {
    Exec("create table t (a int, b char(5))");
    Exec("insert into t values (1, 'x'), (2, NULL), (3, 'z')");
    ASSERT_EQ(msqlQuery(sock, C("select a, b from t order by a")), 3);
    m_result* first = msqlStoreResult();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(msqlStoreResult(), nullptr); // handed over once
    Exec("delete from t");
    ASSERT_EQ(msqlQuery(sock, C("select a from t")), 0);
    m_result* second = msqlStoreResult();
    EXPECT_EQ(ReadRows(first), (Rows{{"1", "x"}, {"2", NUL}, {"3", "z"}}));
    EXPECT_EQ(msqlNumRows(second), 0);
    msqlFreeResult(second);
    msqlFreeResult(first);
}

TEST_F(Api, NoResultAfterNonSelectOrFailure) {
    Exec("create table t (a int)");
    ASSERT_EQ(msqlQuery(sock, C("select a from t")), 0);
    ASSERT_EQ(msqlQuery(sock, C("insert into t values (1)")), 1);
    EXPECT_EQ(msqlStoreResult(), nullptr);
    ASSERT_EQ(msqlQuery(sock, C("select a from t")), 1);
    ASSERT_EQ(msqlQuery(sock, C("select nosuch from t")), -1);
    EXPECT_EQ(msqlStoreResult(), nullptr);
}

TEST_F(Api, DataSeekAndFieldSeekPositionDirectly) {
    Exec("create table t (a int, b int)");
    Exec("insert into t values (0, 10), (1, 11), (2, 12), (3, 13)");
    ASSERT_EQ(msqlQuery(sock, C("select a, b from t order by a")), 4);
    m_result* r = msqlStoreResult();
    msqlDataSeek(r, 2);
    m_row row = msqlFetchRow(r);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row[0], "2");
    EXPECT_STREQ(msqlFetchRow(r)[1], "13");
    EXPECT_EQ(msqlFetchRow(r), nullptr);
    msqlDataSeek(r, 0);
    EXPECT_STREQ(msqlFetchRow(r)[0], "0");
    msqlDataSeek(r, 4);
    EXPECT_EQ(msqlFetchRow(r), nullptr);
    msqlDataSeek(r, -1);
    EXPECT_EQ(msqlFetchRow(r), nullptr);
    msqlFieldSeek(r, 1);
    EXPECT_STREQ(msqlFetchField(r)->name, "b");
    EXPECT_EQ(msqlFetchField(r), nullptr);
    msqlFieldSeek(r, 0);
    EXPECT_STREQ(msqlFetchField(r)->name, "a");
    msqlFieldSeek(r, 7);
    EXPECT_EQ(msqlFetchField(r), nullptr);
    // The row list is a proper linked list with width per node.
    int count = 0;
    for (m_data* node = r->queryData; node; node = node->next) {
        EXPECT_EQ(node->width, 2);
        ++count;
    }
    EXPECT_EQ(count, 4);
    msqlFreeResult(r);
}

TEST_F(Api, ErrorTextIsClearedByQueryAndCopiedIntoBuffers) {
    EXPECT_EQ(msqlQuery(sock, C("select")), -1);
    char buf[200];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(msqlGetErrMsg(buf), buf);
    EXPECT_STREQ(buf, "syntax error. Line 2 near '*end of input*'");
    Exec("create table t (a int)");
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "");
    std::string longName(300, 'q');
    EXPECT_EQ(msqlQuery(sock, C("select a from t where a = '" + longName)), -1);
    EXPECT_LT(std::strlen(msqlGetErrMsg(nullptr)), 200u);
}

TEST_F(Api, CallsOnUnknownSocketsFail) {
    EXPECT_EQ(msqlQuery(9999, C("select a from t")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "mSQL server has gone away");
    EXPECT_EQ(msqlListTables(9999), nullptr);
    EXPECT_EQ(msqlSelectDB(9999, C("test")), -1);
}

TEST_F(Api, TwoConnectionsSeeEachOthersCommittedWrites) {
    int other = Connect();
    ASSERT_GE(other, 0);
    ASSERT_EQ(msqlSelectDB(other, C("test")), 0);
    Exec("create table t (a int)");
    ASSERT_EQ(msqlQuery(other, C("insert into t values (42)")), 1);
    EXPECT_EQ(One("select a from t"), "42");
    Exec("update t set a = 43");
    ASSERT_EQ(msqlQuery(other, C("select a from t")), 1);
    m_result* r = msqlStoreResult();
    EXPECT_EQ(ReadRows(r), (Rows{{"43"}}));
    msqlFreeResult(r);
    msqlClose(other);
}

TEST_F(Api, ChangedDataDirAppliesToNewConnections) {
    if (BackendIsTcp()) GTEST_SKIP() << "the server's data folder is fixed when it starts";
    std::string second = dataDir + "/nested/folder";
    setenv("MSQL_DATA_DIR", second.c_str(), 1);
    int other = msqlConnect(C(""));
    ASSERT_GE(other, 0);
    EXPECT_EQ(msqlSelectDB(other, C("test")), -1);
    ASSERT_EQ(msqlCreateDB(other, C("test")), 0);
    ASSERT_EQ(msqlSelectDB(other, C("test")), 0);
    ASSERT_EQ(msqlQuery(other, C("create table only_here (a int)")), 1);
    EXPECT_EQ(Error("select a from only_here"), "Unknown table \"only_here\"");
    msqlClose(other);
    setenv("MSQL_DATA_DIR", dataDir.c_str(), 1);
}

TEST_F(Api, BadInputGivesErrorsWithoutCrashing) {
    Exec("create table t (a int, c char(10))");
    const std::string cases[] = {
        "select a from t where c = 'unterminated",
        std::string("select \xff\xfe\x01 from t"),
        "insert into t values (1, 'a\\",
        "insert into t values (1e999999, 'x')",
        "select a from t where a = 999999999999999999999999999999",
        "insert into t values (" + std::string(10000, '9') + ", 'x')",
        "select " + std::string(5000, 'a') + " from t",
        "select a from t where " + std::string(50000, '('),
        std::string(100000, ' '),
        "drop",
        "create table",
        "create table x (",
        "select a from t order by",
        "select a from t limit -1",
        "update t set",
        "delete t",
    };
    for (const auto& sql : cases) {
        EXPECT_EQ(msqlQuery(sock, C(sql)), -1) << sql.substr(0, 60);
        EXPECT_STRNE(msqlGetErrMsg(nullptr), "") << sql.substr(0, 60);
    }
    EXPECT_EQ(msqlQuery(sock, nullptr), -1);
    Exec("insert into t values (1, 'still ok')");
}

TEST_F(Api, ConfigurationDefaults) {
    EXPECT_EQ(msqlGetIntConf(C("general"), C("tcp_port")), 1114);
    EXPECT_EQ(msqlGetIntConf(C("system"), C("remote_access")), 0);
    EXPECT_EQ(msqlGetIntConf(C("general"), C("no_such_entry")), -1);
    EXPECT_STREQ(msqlGetCharConf(C("general"), C("unix_port")), "/usr/local/Hughes/msql2.sock");
    EXPECT_EQ(msqlGetCharConf(C("general"), C("no_such_entry")), nullptr);
    EXPECT_EQ(msqlLoadConfigFile(C("/nonexistent/msql.conf")), -1); // already loaded by connect
}

TEST_F(Api, UserConnectNamesTheUser) {
    int other = msqlUserConnect(C(host), C("alice"));
    ASSERT_GE(other, 0);
    ASSERT_EQ(msqlSelectDB(other, C("test")), 0);
    Exec("create table t (a int)");
    ASSERT_EQ(msqlQuery(other, C("select _user from t")), 1);
    m_result* r = msqlStoreResult();
    EXPECT_EQ(ReadRows(r), (Rows{{"alice"}}));
    msqlFreeResult(r);
    msqlClose(other);
}

TEST_F(Api, CarriageReturnsAreWhitespace) {
    Exec("create table t (a int)\r\n");
    EXPECT_EQ(Exec("insert into t\r\nvalues (1)\r\n"), 1);
}

TEST_F(Api, ListDBsShowsOnlyDatabases) {
    std::ofstream(dataDir + "/notes.txt") << "x";
    std::ofstream(dataDir + "/.hidden.msql") << "x";
    m_result* dbs = msqlListDBs(sock);
    ASSERT_NE(dbs, nullptr);
    EXPECT_EQ(ReadRows(dbs), (Rows{{"test"}}));
    msqlFreeResult(dbs);
}
