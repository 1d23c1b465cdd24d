// The client library against a scripted server that writes exactly what mSQL 4.2 writes: the
// requests must match the protocol byte for byte and the 4.2 quirks must be read correctly.
#include "RawClient.h"
#include "msql/MsqlFixture.h"

#include <functional>
#include <thread>

using namespace msqltest;

namespace {

class Wire : public ::testing::Test {
protected:
    // Runs `script` as the server of one connection while the test body acts as the client.
    void Serve(std::function<void(RawClient&)> script) {
        server_ = std::thread([this, script = std::move(script)] {
            RawClient peer = listener_.Accept();
            script(peer);
        });
    }
    void TearDown() override {
        if (m_result* stale = msqlStoreResult()) msqlFreeResult(stale);
        if (server_.joinable()) server_.join();
    }
    // The greeting and acknowledgement of a 4.2 server; checks the user-name line.
    static void Greet(RawClient& peer, const std::string& user, const std::string& greeting = "0:24:4.2\n") {
        ASSERT_TRUE(peer.Send(greeting));
        EXPECT_EQ(peer.Read(), user + "\n");
        ASSERT_TRUE(peer.Send("-100:\n"));
    }
    // Expects request and answers with the packets.
    static void Expect(RawClient& peer, const std::string& request,
                       std::initializer_list<std::string> replies) {
        EXPECT_EQ(peer.Read(), request);
        for (const auto& r : replies)
            ASSERT_TRUE(peer.Send(r));
    }

    Listener listener_;
    std::thread server_;
};

TEST_F(Wire, RequestsAndRepliesFollowTheProtocolIncludingTheQuirksOfMsql42) {
    Serve([](RawClient& peer) {
        Greet(peer, "alice");
        Expect(peer, "2:shop\n", {"1:\n"});
        // A value with ':' and a newline, a NULL, 4.2's ":" for an empty string, a REAL.
        Expect(peer, "3:select * from t\n",
               {"1:4:\n", V("a:b\nc") + "-2:" + ":" + V("1.50") + "\n",
                V("x") + V("") + V("y") + V("2") + "\n", "-100:\n",
                // Field descriptions without trailing newline and with 4.2's blank unique flag.
                V("t") + V("s") + V("2") + V("10") + V("Y") + V(" "),
                V("t") + V("n") + V("1") + V("4") + V("N") + V(" "),
                V("t") + V("e") + V("6") + V("5") + V("N") + V(" "),
                V("t") + V("r") + V("3") + V("8") + V("N") + V(" "), "-100:\n"});
        Expect(peer, "3:insert into t values (1)\n", {"1:\n"});
        Expect(peer, "3:delete from t\n", {"0:\n"});
        Expect(peer, "6:t\n",
               {V("t") + V("s") + V("2") + V("10") + V("Y") + V("N"),
                V("t") + V("ix") + V("253") + V("0") + V("N") + V("Y"), "-100:\n"});
        // 4.2's index list: an empty kind, entry and key counts, then the fields.
        Expect(peer, "11:t:ix\n", {":\n", V("3") + "\n", V("3") + "\n", V("s") + "\n", "-100:\n"});
        Expect(peer, "13:t\n", {"1:5:10"});
        Expect(peer, "5:\n", {V("t") + "\n", V("u") + "\n", "-100:\n"});
        Expect(peer, "4:\n", {V("shop") + "\n", "-100:\n"});
        EXPECT_EQ(peer.Read(), "1:\n"); // QUIT
        EXPECT_TRUE(peer.ReadsEndOfStream());
    });
    int sock = msqlUserConnect(C(listener_.Host()), C("alice"));
    ASSERT_GE(sock, 0) << msqlGetErrMsg(nullptr);
    EXPECT_STREQ(msqlGetServerInfo(), "4.2");
    EXPECT_EQ(msqlGetProtoInfo(), 24);
    EXPECT_EQ(std::string(msqlGetHostInfo()), listener_.Host() + " via TCP/IP");
    ASSERT_EQ(msqlSelectDB(sock, C("shop")), 0);

    ASSERT_EQ(msqlQuery(sock, C("select * from t")), 2);
    m_result* r = msqlStoreResult();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(msqlNumFields(r), 4);
    EXPECT_EQ(ReadRows(r), (Rows{{"a:b\nc", NUL, "", "1.50"}, {"x", "", "y", "2"}}));
    m_field* s = msqlFetchField(r);
    EXPECT_STREQ(s->table, "t");
    EXPECT_STREQ(s->name, "s");
    EXPECT_EQ(s->type, CHAR_TYPE);
    EXPECT_EQ(s->length, 10);
    EXPECT_EQ(s->flags, NOT_NULL_FLAG);
    EXPECT_EQ(msqlFetchField(r)->type, INT_TYPE);
    EXPECT_EQ(msqlFetchField(r)->type, TEXT_TYPE);
    EXPECT_EQ(msqlFetchField(r)->flags, 0);
    msqlFreeResult(r);

    EXPECT_EQ(msqlQuery(sock, C("insert into t values (1)")), 1);
    EXPECT_EQ(msqlStoreResult(), nullptr);
    EXPECT_EQ(msqlQuery(sock, C("delete from t")), 0);

    m_result* fields = msqlListFields(sock, C("t"));
    ASSERT_NE(fields, nullptr);
    EXPECT_EQ(msqlNumRows(fields), 0);
    ASSERT_EQ(msqlNumFields(fields), 2);
    msqlFieldSeek(fields, 1);
    m_field* ix = msqlFetchField(fields);
    EXPECT_EQ(ix->type, IDX_TYPE);
    EXPECT_EQ(ix->flags, UNIQUE_FLAG);
    msqlFreeResult(fields);

    m_result* index = msqlListIndex(sock, C("t"), C("ix"));
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(ReadRows(index), (Rows{{""}, {"3"}, {"3"}, {"s"}}));
    msqlFreeResult(index);

    m_seq* seq = msqlGetSequenceInfo(sock, C("t"));
    ASSERT_NE(seq, nullptr);
    EXPECT_EQ(seq->step, 5);
    EXPECT_EQ(seq->value, 10);

    m_result* tables = msqlListTables(sock);
    ASSERT_NE(tables, nullptr);
    EXPECT_EQ(ReadRows(tables), (Rows{{"t"}, {"u"}}));
    msqlFreeResult(tables);
    m_result* dbs = msqlListDBs(sock);
    ASSERT_NE(dbs, nullptr);
    EXPECT_EQ(ReadRows(dbs), (Rows{{"shop"}}));
    msqlFreeResult(dbs);
    msqlClose(sock);
}

TEST_F(Wire, ErrorsArriveInPlaceOfARepliesOrRowsAndKeepTheConnection) {
    Serve([](RawClient& peer) {
        Greet(peer, "bob");
        Expect(peer, "3:select a from nosuch\n", {"-1:Unknown table \"nosuch\"\n"});
        Expect(peer, "3:select a from t where a < NULL\n",
               {"1:1:\n", V("1") + "\n", "-1:Illegal operator applied to NULL.\n"});
        Expect(peer, "13:t\n", {"-1:"});
        Expect(peer, "7:x\n", {"-1:Permission denied"});
        Expect(peer, "3:select a from t\n",
               {"1:1:\n", "-100:\n", V("t") + V("a") + V("1") + V("4") + V("N") + V("N"), "-100:\n"});
    });
    int sock = msqlUserConnect(C(listener_.Host()), C("bob"));
    ASSERT_GE(sock, 0) << msqlGetErrMsg(nullptr);
    EXPECT_EQ(msqlQuery(sock, C("select a from nosuch")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Unknown table \"nosuch\"");
    EXPECT_EQ(msqlQuery(sock, C("select a from t where a < NULL")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Illegal operator applied to NULL.");
    EXPECT_EQ(msqlStoreResult(), nullptr);
    EXPECT_EQ(msqlGetSequenceInfo(sock, C("t")), nullptr);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Unknown mSQL error");
    EXPECT_EQ(msqlCreateDB(sock, C("x")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Permission denied");
    EXPECT_EQ(msqlQuery(sock, C("select a from t")), 0);
    m_result* r = msqlStoreResult();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(msqlNumRows(r), 0);
    msqlFreeResult(r);
    msqlClose(sock);
}

TEST_F(Wire, GreetingRefusalsAndProtocolMismatchFailTheConnect) {
    Serve([](RawClient& peer) { peer.Send("-1:Too many connections\n"); });
    EXPECT_EQ(msqlConnect(C(listener_.Host())), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Too many connections");
    server_.join();

    Serve([](RawClient& peer) { peer.Send("0:23:2.0.11\n"); });
    EXPECT_EQ(msqlConnect(C(listener_.Host())), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Protocol mismatch. Server Version = 23 Client Version = 24");
    server_.join();

    Serve([](RawClient& peer) { peer.Send("garbage"); });
    EXPECT_EQ(msqlConnect(C(listener_.Host())), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Bad packet received from server");
    server_.join();

    // Protocol 23 when configured: a 2.0 server is accepted.
    Serve([](RawClient& peer) {
        Greet(peer, "carol", "0:23:2.0.11\n");
        EXPECT_EQ(peer.Read(), "1:\n");
    });
    setenv("MSQL_PROTOCOL", "23", 1);
    int sock = msqlUserConnect(C(listener_.Host()), C("carol"));
    unsetenv("MSQL_PROTOCOL");
    ASSERT_GE(sock, 0) << msqlGetErrMsg(nullptr);
    EXPECT_EQ(msqlGetProtoInfo(), 23);
    EXPECT_STREQ(msqlGetServerInfo(), "2.0.11");
    msqlClose(sock);
}

TEST_F(Wire, BrokenRepliesEndTheConnectionWithAClearError) {
    Serve([](RawClient& peer) {
        Greet(peer, "dave");
        // A row with fewer values than the header announced.
        Expect(peer, "3:select a, b from t\n", {"1:2:\n", V("1") + "\n"});
        EXPECT_TRUE(peer.ReadsEndOfStream());
    });
    int sock = msqlUserConnect(C(listener_.Host()), C("dave"));
    ASSERT_GE(sock, 0);
    EXPECT_EQ(msqlQuery(sock, C("select a, b from t")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Bad packet received from server");
    EXPECT_EQ(msqlQuery(sock, C("select a from t")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "mSQL server has gone away");
    msqlClose(sock);
    server_.join();

    Serve([](RawClient& peer) {
        Greet(peer, "dave");
        EXPECT_TRUE(peer.Read().has_value());
        peer.SendBytes(std::string("\x40\x0d\x03\x00", 4)); // announces 200,000 bytes
    });
    sock = msqlUserConnect(C(listener_.Host()), C("dave"));
    ASSERT_GE(sock, 0);
    EXPECT_EQ(msqlQuery(sock, C("select a from t")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Packet too large");
    msqlClose(sock);
    server_.join();

    Serve([](RawClient& peer) {
        Greet(peer, "dave");
        Expect(peer, "3:select a from t\n", {"1:1:\n", V("1") + "\n"}); // then the server dies
    });
    sock = msqlUserConnect(C(listener_.Host()), C("dave"));
    ASSERT_GE(sock, 0);
    EXPECT_EQ(msqlQuery(sock, C("select a from t")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "mSQL server has gone away");
    EXPECT_EQ(msqlListTables(sock), nullptr);
    msqlClose(sock);
}

TEST_F(Wire, OversizeRequestIsRefusedWithoutSendingIt) {
    Serve([](RawClient& peer) {
        Greet(peer, "erin");
        Expect(peer, "3:select a from t\n", {"0:\n"});
    });
    int sock = msqlUserConnect(C(listener_.Host()), C("erin"));
    ASSERT_GE(sock, 0);
    std::string huge = "select a from t where b = '" + std::string(140 * 1024, 'x') + "'";
    EXPECT_EQ(msqlQuery(sock, C(huge)), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Query too long (limit 131069 bytes)");
    EXPECT_EQ(msqlQuery(sock, C("select a from t")), 0) << msqlGetErrMsg(nullptr);
    msqlClose(sock);
}

TEST_F(Wire, HostFormsReachTheRightPlace) {
    // A refused TCP port and a missing UNIX socket give mSQL's connect texts.
    int freePort = 0;
    {
        Listener gone;
        freePort = gone.Port();
    }
    const std::string refused = "127.0.0.1:" + std::to_string(freePort);
    EXPECT_EQ(msqlConnect(C(refused)), -1);
    EXPECT_EQ(std::string(msqlGetErrMsg(nullptr)), "Can't connect to mSQL server on " + refused);
    EXPECT_EQ(msqlConnect(C("/nonexistent/msqld.sock")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Can't connect to local mSQL server");
    EXPECT_EQ(msqlConnect(C("127.0.0.1:70000")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Unknown mSQL Server Host (127.0.0.1:70000)");

    // The port of a bare host comes from $MSQL_TCP_PORT.
    Serve([](RawClient& peer) {
        Greet(peer, "frank");
        EXPECT_EQ(peer.Read(), "1:\n");
    });
    setenv("MSQL_TCP_PORT", std::to_string(listener_.Port()).c_str(), 1);
    int sock = msqlUserConnect(C("127.0.0.1"), C("frank"));
    unsetenv("MSQL_TCP_PORT");
    ASSERT_GE(sock, 0) << msqlGetErrMsg(nullptr);
    EXPECT_STREQ(msqlGetHostInfo(), "127.0.0.1 via TCP/IP");
    msqlClose(sock);
}

} // namespace
