// Misbehaving clients: each is dropped or answered with an error while a well-behaved client keeps
// being served, and the server ends up holding nothing for them.
#include "RawClient.h"
#include "msql/MsqlFixture.h"

#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/wait.h>

using namespace msqltest;

namespace {

class Hostile : public MsqlTest {
protected:
    void SetUp() override {
        MsqlTest::SetUp();
        if (!server) {
            // This suite always needs a server: start one with a short packet time limit.
            server = std::make_unique<TestServer>(dataDir, std::vector<std::string>{"--timeout", "300"});
            msqlClose(sock);
            host = server->Host();
            sock = Connect();
            ASSERT_GE(sock, 0) << msqlGetErrMsg(nullptr);
            ASSERT_EQ(msqlSelectDB(sock, C("test")), 0);
        }
        Exec("create table t (a int, s char(40))");
        std::string values;
        for (int i = 0; i < 2000; ++i)
            values += (i ? ", (" : "(") + std::to_string(i) + ", 'row " + std::to_string(i) +
                      " of a large result')";
        Exec("insert into t values " + values);
    }

    // The well-behaved client still gets the right answer.
    void ExpectServed() { EXPECT_EQ(One("select s from t where a = 7"), "row 7 of a large result"); }

    void TearDown() override {
        if (admin >= 0) msqlClose(admin);
        MsqlTest::TearDown();
    }

    // Open connections counted by the server, asked over an admin connection on the UNIX socket
    // (kept open for the whole test) until it reports `expected`, the asking one included; each
    // ask waits for a full round trip.
    int WaitForOpenConnections(int expected) {
        if (admin < 0) admin = msqlUserConnect(C(server->SocketPath()), C("root"));
        int open = -1;
        for (int attempt = 0; attempt < 100000 && open != expected; ++attempt) {
            std::string file = dataDir + "/stats.txt";
            std::fflush(stdout);
            int saved = ::dup(STDOUT_FILENO);
            int capture = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(capture, STDOUT_FILENO);
            ::close(capture);
            msqlGetServerStats(admin);
            std::fflush(stdout);
            ::dup2(saved, STDOUT_FILENO);
            ::close(saved);
            std::ifstream in(file);
            std::string line;
            while (std::getline(in, line))
                if (line.rfind("\tOpen\t", 0) == 0)
                    open = std::stoi(line.substr(line.find_last_of('\t') + 1));
        }
        return open;
    }

    // Descriptors the server process holds.
    int ServerDescriptors() {
        int count = 0;
        DIR* dir = ::opendir(("/proc/" + std::to_string(server->Pid()) + "/fd").c_str());
        if (!dir) return -1;
        while (dirent* e = ::readdir(dir))
            count += e->d_name[0] != '.';
        ::closedir(dir);
        return count;
    }

    int admin = -1;
};

TEST_F(Hostile, ClientKilledMidResult) {
    // A separate process reads part of a large result and is killed.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RawClient raw(server->Port());
        bool ok = raw.Handshake("mallory") && raw.Send("2:test\n") && raw.Read() &&
                  raw.Send("3:select a, s from t\n") && raw.Read();
        char byte = ok ? 1 : 0;
        (void)!::write(ready[1], &byte, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(byte, 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ExpectServed();
    EXPECT_EQ(WaitForOpenConnections(2), 2);
}

TEST_F(Hostile, HalfSentPacketIsDroppedAfterTheTimeLimit) {
    RawClient raw(server->Port());
    ASSERT_TRUE(raw.Handshake("mallory"));
    ASSERT_TRUE(raw.SendBytes(std::string("\x20\x00\x00\x00"
                                          "3:sel",
                                          9))); // 32 bytes announced, 5 sent
    ExpectServed();
    EXPECT_TRUE(raw.ReadsEndOfStream());
    ExpectServed();

    RawClient silent(server->Port()); // never answers the greeting
    EXPECT_TRUE(silent.Read().has_value());
    EXPECT_TRUE(silent.ReadsEndOfStream());
    ExpectServed();
}

TEST_F(Hostile, OversizePacketIsRefusedAndTheClientDropped) {
    RawClient raw(server->Port());
    ASSERT_TRUE(raw.Handshake("mallory"));
    ASSERT_TRUE(raw.SendBytes(std::string("\x01\x00\x02\x00", 4) + std::string(1000, 'x'))); // 128 KiB + 1
    EXPECT_EQ(raw.Read(), "-1:Packet too large\n");
    EXPECT_TRUE(raw.ReadsEndOfStream());
    ExpectServed();

    // Exactly 128 KiB is a valid packet (here: an unknown command).
    RawClient limit(server->Port());
    ASSERT_TRUE(limit.Handshake("mallory"));
    ASSERT_TRUE(limit.Send("99:" + std::string(128 * 1024 - 3, 'x')));
    EXPECT_EQ(limit.Read(), "-1:Unknown command\n");
    // An oversize handshake is refused too.
    RawClient early(server->Port());
    EXPECT_TRUE(early.Read().has_value());
    ASSERT_TRUE(early.SendBytes(std::string("\xff\xff\xff\xff", 4)));
    EXPECT_EQ(early.Read(), "-1:Packet too large\n");
    ExpectServed();
}

TEST_F(Hostile, GarbageBytesNeverHurtOtherClients) {
    std::mt19937 random(19);
    for (int round = 0; round < 20; ++round) {
        RawClient raw(server->Port());
        ASSERT_TRUE(raw.Connected());
        std::string junk(static_cast<size_t>(random() % 3000), '\0');
        for (char& c : junk)
            c = static_cast<char>(random());
        if (round % 2) raw.Handshake("mallory");
        raw.SendBytes(junk);
        raw.Abort();
        ExpectServed();
    }
    // Valid framing, nonsense requests: each gets an answer and the connection stays usable.
    RawClient raw(server->Port());
    ASSERT_TRUE(raw.Handshake("mallory"));
    for (std::string request :
         {"", ":", "-5:", "3", "2:", "6:", "11:", "11:t", "13:", "3:\xff\xfe", "12345678901234567890:"}) {
        ASSERT_TRUE(raw.Send(request));
        auto reply = raw.Read();
        ASSERT_TRUE(reply.has_value()) << request;
        EXPECT_EQ(reply->rfind("-1:", 0), 0u) << request << " -> " << *reply;
    }
    ExpectServed();
}

TEST_F(Hostile, TwoHundredConnectionsOpenedAndDroppedLeaveNothingBehind) {
    ASSERT_EQ(WaitForOpenConnections(2), 2);
    const int before = ServerDescriptors();
    std::vector<RawClient> clients;
    for (int i = 0; i < 200; ++i) {
        clients.emplace_back(server->Port());
        ASSERT_TRUE(clients.back().Connected());
        if (i % 3 == 0) clients.back().Handshake("mallory");
    }
    ExpectServed();
    for (size_t i = 0; i < clients.size(); ++i) {
        if (i % 2) clients[i].Abort();
    }
    clients.clear();
    EXPECT_EQ(WaitForOpenConnections(2), 2);
    EXPECT_EQ(ServerDescriptors(), before);
    ExpectServed();
}

} // namespace
