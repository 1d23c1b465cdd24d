// The server killed (-9) or stopped (SIGTERM) while clients write: every row a client saw
// acknowledged is in the database afterwards, and a new server starts on the same folder.
#include "msql/MsqlFixture.h"

#include <functional>
#include <set>
#include <sys/wait.h>

using namespace msqltest;

namespace {

constexpr int kWriters = 3;

class Kill : public MsqlTest {
protected:
    void SetUp() override {
        MsqlTest::SetUp();
        if (!server) {
            server = std::make_unique<TestServer>(dataDir);
            host = server->Host();
        }
        int admin = Connect();
        ASSERT_GE(admin, 0);
        ASSERT_EQ(msqlSelectDB(admin, C("test")), 0);
        ASSERT_EQ(msqlQuery(admin, C("create table acked (id int)")), 1);
        msqlClose(admin);
    }

    // Writers insert rows one by one and report each acknowledged id through a pipe; once
    // `before` ids are acknowledged and every writer has had one, `stop` is applied to the server.
    // Returns the acknowledged ids.
    std::set<int> WriteUntil(int before, const std::function<void()>& stop) {
        int acks[2];
        EXPECT_EQ(::pipe(acks), 0);
        std::vector<pid_t> writers;
        for (int w = 0; w < kWriters; ++w) {
            pid_t child = ::fork();
            if (child == 0) {
                ::close(acks[0]);
                int s = Connect();
                if (s < 0 || msqlSelectDB(s, C("test")) != 0) ::_exit(2);
                for (int i = 0;; ++i) {
                    int id = w * 1000000 + i;
                    if (msqlQuery(s, C("insert into acked values (" + std::to_string(id) + ")")) != 1)
                        ::_exit(0);
                    if (::write(acks[1], &id, sizeof id) != sizeof id) ::_exit(0);
                }
            }
            writers.push_back(child);
        }
        ::close(acks[1]);
        std::set<int> acked;
        std::set<int> writing; // writers with an acknowledged row: all are connected
        int id;
        bool stopped = false;
        while (::read(acks[0], &id, sizeof id) == sizeof id) {
            acked.insert(id);
            writing.insert(id / 1000000);
            if (!stopped && static_cast<int>(acked.size()) >= before &&
                writing.size() == static_cast<size_t>(kWriters)) {
                stop();
                stopped = true;
            }
        }
        ::close(acks[0]);
        for (pid_t child : writers) {
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        EXPECT_TRUE(stopped);
        return acked;
    }

    // The ids stored, read through the embedded engine on the data folder.
    std::set<int> Stored() {
        int local = msqlConnect(nullptr);
        std::set<int> ids;
        if (local < 0 || msqlSelectDB(local, C("test")) != 0 ||
            msqlQuery(local, C("select id from acked")) < 0) {
            ADD_FAILURE() << msqlGetErrMsg(nullptr);
            return ids;
        }
        m_result* r = msqlStoreResult();
        for (const Row& row : ReadRows(r))
            ids.insert(std::stoi(*row[0]));
        msqlFreeResult(r);
        msqlClose(local);
        return ids;
    }

    static void ExpectAllKept(const std::set<int>& acked, const std::set<int>& stored) {
        std::vector<int> lost;
        for (int id : acked)
            if (!stored.count(id)) lost.push_back(id);
        EXPECT_TRUE(lost.empty()) << lost.size() << " acknowledged rows lost, first " << lost.front();
        // At most one unacknowledged row per writer may have been written when the server stopped.
        EXPECT_LE(stored.size(), acked.size() + kWriters);
    }
};

TEST_F(Kill, KillNineDuringWritesLosesNoAcknowledgedRow) {
    msqlClose(sock);
    sock = -1;
    std::set<int> acked = WriteUntil(600, [this] { server->Kill(); });
    ExpectAllKept(acked, Stored());
    // A server starts again on the folder (its socket file was left behind) and serves the rows.
    server = std::make_unique<TestServer>(dataDir);
    host = server->Host();
    sock = Connect();
    ASSERT_GE(sock, 0) << msqlGetErrMsg(nullptr);
    ASSERT_EQ(msqlSelectDB(sock, C("test")), 0);
    EXPECT_EQ(msqlQuery(sock, C("select id from acked")), static_cast<int>(Stored().size()));
}

TEST_F(Kill, TerminateDuringWritesFinishesInFlightRequestsAndExitsCleanly) {
    msqlClose(sock);
    sock = -1;
    int status = -2;
    std::set<int> acked = WriteUntil(600, [&] { status = server->Stop(); });
    EXPECT_EQ(status, 0);
    ExpectAllKept(acked, Stored());
    server.reset();
}

} // namespace
