// msqld itself: the exact bytes it sends, admin rules, host forms, protocol selection, statistics
// and shutdown by request.
#include "RawClient.h"
#include "msql/MsqlFixture.h"

#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <sys/stat.h>

using namespace msqltest;

namespace {

class Server : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "msqld-test.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dataDir = pattern;
        setenv("MSQL_DATA_DIR", dataDir.c_str(), 1);
        int local = msqlConnect(nullptr);
        ASSERT_GE(local, 0);
        ASSERT_EQ(msqlCreateDB(local, C("test")), 0);
        msqlClose(local);
    }
    void TearDown() override {
        if (m_result* stale = msqlStoreResult()) msqlFreeResult(stale);
        server.reset();
        std::filesystem::remove_all(dataDir);
    }
    void Start(const std::vector<std::string>& flags = {}) {
        server = std::make_unique<TestServer>(dataDir, flags);
    }

    std::string dataDir;
    std::unique_ptr<TestServer> server;
};

TEST_F(Server, SpeaksTheProtocolByteForByte) {
    Start();
    RawClient raw(server->Port());
    ASSERT_TRUE(raw.Connected());
    EXPECT_EQ(raw.Read(), "0:24:Corvane msqld 0.1.0\n");
    raw.Send("bob\n");
    EXPECT_EQ(raw.Read(), "-100:\n");
    raw.Send("3:select a from t\n");
    EXPECT_EQ(raw.Read(), "-1:No Database Selected\n");
    raw.Send("2:nosuch\n");
    EXPECT_EQ(raw.Read(), "-1:Unknown database \"nosuch\"\n");
    raw.Send("2:test\r\n");
    EXPECT_EQ(raw.Read(), "1:\n");
    raw.Send("3:create table t (a int not null, s char(8), x text(4))\n");
    EXPECT_EQ(raw.Read(), "1:\n");
    raw.Send("3:create unique index ix on t (a)\n");
    EXPECT_EQ(raw.Read(), "1:\n");
    raw.Send("3:insert into t values (1, 'a:b', NULL), (2, '', 'x\\ny')\n");
    EXPECT_EQ(raw.Read(), "2:\n");
    raw.Send("3:select a, s, x from t order by a\n");
    EXPECT_EQ(raw.Read(), "1:3:\n");
    EXPECT_EQ(raw.Read(), "1:13:a:b-2:\n");
    EXPECT_EQ(raw.Read(), "1:20:3:x\ny\n");
    EXPECT_EQ(raw.Read(), "-100:\n");
    EXPECT_EQ(raw.Read(), V("t") + V("a") + V("1") + V("4") + V("Y") + V("N") + "\n");
    EXPECT_EQ(raw.Read(), V("t") + V("s") + V("2") + V("8") + V("N") + V("N") + "\n");
    EXPECT_EQ(raw.Read(), V("t") + V("x") + V("6") + V("4") + V("N") + V("N") + "\n");
    EXPECT_EQ(raw.Read(), "-100:\n");
    raw.Send("3:select\n"); // the appended newline is not counted twice
    EXPECT_EQ(raw.Read(), "-1:syntax error. Line 2 near '*end of input*'\n");
    raw.Send("6:t\n");
    EXPECT_EQ(raw.Read(), V("t") + V("a") + V("1") + V("4") + V("Y") + V("N") + "\n");
    raw.Read();
    raw.Read();
    EXPECT_EQ(raw.Read(), V("t") + V("ix") + V("253") + V("0") + V("N") + V("Y") + "\n");
    EXPECT_EQ(raw.Read(), "-100:\n");
    raw.Send("11:t:ix\n");
    EXPECT_EQ(raw.Read(), "3:avl\n");
    EXPECT_EQ(raw.Read(), "1:a\n");
    EXPECT_EQ(raw.Read(), "-100:\n");
    raw.Send("13:t\n");
    EXPECT_EQ(raw.Read(), "-1:No sequence defined on 't'\n");
    raw.Send("3:create sequence on t step 5 value 10\n");
    raw.Read();
    raw.Send("13:t\n");
    EXPECT_EQ(raw.Read(), "1:5:10\n");
    raw.Send("5:\n");
    EXPECT_EQ(raw.Read(), "1:t\n");
    EXPECT_EQ(raw.Read(), "-100:\n");
    raw.Send("4:\n");
    EXPECT_EQ(raw.Read(), "4:test\n");
    EXPECT_EQ(raw.Read(), "-100:\n");
    raw.Send("3:delete from t where a = 5\n");
    EXPECT_EQ(raw.Read(), "0:\n");
    raw.Send("99:\n");
    EXPECT_EQ(raw.Read(), "-1:Unknown command\n");
    raw.Send("7:other\n"); // bob is not the admin user
    EXPECT_EQ(raw.Read(), "-1:Permission denied\n");
    raw.Send("1:\n");
    EXPECT_TRUE(raw.ReadsEndOfStream());
}

TEST_F(Server, AdminRequestsNeedTheAdminUserOnALocalConnection) {
    Start({"--admin-user", "boss"});
    int bob = msqlUserConnect(C(server->Host()), C("bob"));
    ASSERT_GE(bob, 0) << msqlGetErrMsg(nullptr);
    for (auto refused :
         {+[](int s) { return msqlCreateDB(s, C("x")); }, +[](int s) { return msqlDropDB(s, C("test")); },
          +[](int s) { return msqlReloadAcls(s); }, +[](int s) { return msqlShutdown(s); },
          +[](int s) { return msqlGetServerStats(s); }}) {
        EXPECT_EQ(refused(bob), -1);
        EXPECT_STREQ(msqlGetErrMsg(nullptr), "Permission denied");
    }
    msqlClose(bob);

    // Loopback TCP and the UNIX socket both count as local.
    for (const std::string& host : {server->Host(), server->SocketPath()}) {
        int boss = msqlUserConnect(C(host), C("boss"));
        ASSERT_GE(boss, 0) << msqlGetErrMsg(nullptr);
        EXPECT_EQ(msqlCreateDB(boss, C("made")), 0) << msqlGetErrMsg(nullptr);
        EXPECT_EQ(msqlCreateDB(boss, C("made")), -1);
        EXPECT_STREQ(msqlGetErrMsg(nullptr), "Error creating database : made exists!");
        EXPECT_EQ(msqlReloadAcls(boss), 0);
        EXPECT_EQ(msqlDropDB(boss, C("made")), 0) << msqlGetErrMsg(nullptr);
        EXPECT_EQ(msqlDropDB(boss, C("made")), -1);
        EXPECT_STREQ(msqlGetErrMsg(nullptr), "Error dropping database : made doesn't exist");
        msqlClose(boss);
    }
    EXPECT_STREQ(msqlGetHostInfo(), "Localhost via UNIX socket");
}

TEST_F(Server, StatisticsListTheOpenConnections) {
    Start();
    int root = msqlUserConnect(C(server->SocketPath()), C("root"));
    ASSERT_GE(root, 0);
    ASSERT_EQ(msqlSelectDB(root, C("test")), 0);
    // The library prints the statistics to standard output: catch them in a file.
    std::string file = dataDir + "/stats.txt";
    std::fflush(stdout);
    int saved = ::dup(STDOUT_FILENO);
    int capture = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(capture, STDOUT_FILENO);
    ::close(capture);
    int rc = msqlGetServerStats(root);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    EXPECT_EQ(rc, 0);
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("protocol 24"), std::string::npos) << text;
    EXPECT_NE(text.find("\tOpen\t\t\t1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("UNIX socket"), std::string::npos) << text;
    EXPECT_NE(text.find(" test "), std::string::npos) << text;
    msqlClose(root);
}

TEST_F(Server, AnnouncesTheConfiguredProtocol) {
    std::ofstream(dataDir + "/msql.conf")
        << "# test configuration\n[general]\nProtocol_Version = 23\nAdmin_User = boss\n";
    Start({"--config", dataDir + "/msql.conf"});
    RawClient raw(server->Port());
    EXPECT_EQ(raw.Read(), "0:23:Corvane msqld 0.1.0\n");
    EXPECT_EQ(msqlConnect(C(server->Host())), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Protocol mismatch. Server Version = 23 Client Version = 24");
    setenv("MSQL_PROTOCOL", "23", 1);
    int sock = msqlUserConnect(C(server->Host()), C("boss"));
    unsetenv("MSQL_PROTOCOL");
    ASSERT_GE(sock, 0) << msqlGetErrMsg(nullptr);
    EXPECT_EQ(msqlCreateDB(sock, C("fromconf")), 0) << msqlGetErrMsg(nullptr);
    msqlClose(sock);
}

TEST_F(Server, ShutdownRequestStopsTheServerWithEverythingCommitted) {
    Start();
    int writer = msqlConnect(C(server->Host()));
    ASSERT_GE(writer, 0);
    ASSERT_EQ(msqlSelectDB(writer, C("test")), 0);
    ASSERT_EQ(msqlQuery(writer, C("create table t (a int)")), 1);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(msqlQuery(writer, C("insert into t values (" + std::to_string(i) + ")")), 1);
    int admin = msqlUserConnect(C(server->SocketPath()), C("root"));
    ASSERT_GE(admin, 0);
    EXPECT_EQ(msqlShutdown(admin), 0) << msqlGetErrMsg(nullptr);
    EXPECT_EQ(server->Wait(), 0);
    // The idle client was let go; the pid file and the socket are gone.
    EXPECT_EQ(msqlQuery(writer, C("select a from t")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "mSQL server has gone away");
    struct stat st {};
    EXPECT_NE(::stat((dataDir + "/msqld.pid").c_str(), &st), 0);
    EXPECT_NE(::stat((dataDir + "/msqld.sock").c_str(), &st), 0);
    msqlClose(writer);
    msqlClose(admin);

    int local = msqlConnect(nullptr);
    ASSERT_EQ(msqlSelectDB(local, C("test")), 0);
    EXPECT_EQ(msqlQuery(local, C("select a from t")), 50);
    msqlClose(local);
}

} // namespace

namespace {

// Runs a tool with arguments; returns its output (stdout and stderr) and sets status.
std::string RunTool(const std::string& command, int& status) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::string output;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        output.append(buf, n);
    int raw = ::pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

TEST_F(Server, MsqladminWorksAgainstTheServerOverBothHostForms) {
    Start();
    int status = -1;
    const std::string admin = std::string("'" MSQLADMIN_PATH "' -h '");
    std::string out = RunTool(admin + server->Host() + "' create remote", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Database \"remote\" created."), std::string::npos) << out;
    out = RunTool(admin + server->SocketPath() + "' list", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "remote\ntest\n");
    out = RunTool(admin + server->Host() + "' version", status);
    EXPECT_NE(out.find("Corvane msqld"), std::string::npos) << out;
    EXPECT_NE(out.find("via TCP/IP"), std::string::npos) << out;
    out = RunTool(admin + server->SocketPath() + "' shutdown", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(server->Wait(), 0);
    out = RunTool(admin + server->Host() + "' list", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("ERROR : Can't connect to mSQL server on"), std::string::npos) << out;
}

} // namespace
