// The fault-injecting client library itself, driven through the client binding: it forwards and counts
// every call, and fails the armed call the way a client of a real server fails.
#include "FaultInjection.h"
#include "access/AccessFixture.h"
#include "access/RecordHelpers.h"

namespace corvane::test {
namespace {

class FaultClientTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(control.Available()) << "libmsql.so is not the fault-injecting stand-in";
        Exec("create table t (a int)");
        control.Reset();
    }
    void TearDown() override {
        control.Reset();
        AccessTest::TearDown();
    }

    int Connect() {
        const int sock = msqlConnect("");
        EXPECT_GE(sock, 0) << ClientErrorText();
        EXPECT_EQ(msqlSelectDB(sock, "test"), 0) << ClientErrorText();
        return sock;
    }
    std::vector<std::string> Rows() {
        FaultsSuspended suspended;
        return QueryRows(fAdmin, "select a from t");
    }

    FaultControl& control = FaultControl::Get();
};

TEST_F(FaultClientTest, ForwardsAndCountsEveryCall) {
    EXPECT_EQ(msqlQuery(fAdmin, "insert into t values (1)"), 1);
    EXPECT_EQ(QueryRows(fAdmin, "select a from t"), std::vector<std::string>{"1"});
    EXPECT_EQ(control.Calls("msqlQuery"), 2);
    EXPECT_EQ(control.Calls("msqlStoreResult"), 1);
    EXPECT_EQ(control.Calls("msqlFetchRow"), 2);
    EXPECT_EQ(control.Calls("*"), 3) << "queries and the store can fail, fetching cannot";
    EXPECT_EQ(control.Calls("msqlNoSuchCall"), -1);
    EXPECT_FALSE(control.Fired());
}

TEST_F(FaultClientTest, ArmedQueryFailsOnceWithTheServerGoneText) {
    ASSERT_TRUE(control.Arm("msqlQuery", 2, MSQL_FAULT_FAIL));
    EXPECT_EQ(msqlQuery(fAdmin, "insert into t values (1)"), 1);
    EXPECT_EQ(msqlQuery(fAdmin, "insert into t values (2)"), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "mSQL server has gone away");
    char buffer[200];
    EXPECT_STREQ(msqlGetErrMsg(buffer), "mSQL server has gone away");
    EXPECT_TRUE(control.Fired());
    EXPECT_EQ(control.FiredFunction(), "msqlQuery");
    EXPECT_EQ(msqlQuery(fAdmin, "insert into t values (3)"), 1) << "the connection is still there";
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "") << "a query clears the error text";
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1", "3"})) << "the failed request never arrived";
}

TEST_F(FaultClientTest, FailedQueryDropsTheResultOfTheLastOne) {
    ASSERT_GE(msqlQuery(fAdmin, "select a from t"), 0);
    ASSERT_TRUE(control.Arm("msqlQuery", 1, MSQL_FAULT_FAIL));
    EXPECT_EQ(msqlQuery(fAdmin, "select a from t"), -1);
    EXPECT_EQ(msqlStoreResult(), nullptr);
}

TEST_F(FaultClientTest, ArmedStoreLosesTheRows) {
    Exec("insert into t values (1)");
    ASSERT_TRUE(control.Arm("msqlStoreResult", 1, MSQL_FAULT_FAIL));
    ASSERT_EQ(msqlQuery(fAdmin, "select a from t"), 1);
    EXPECT_EQ(msqlStoreResult(), nullptr);
    EXPECT_EQ(msqlStoreResult(), nullptr) << "nothing is left pending";
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "") << "storing sets no text";
    EXPECT_EQ(QueryRows(fAdmin, "select a from t"), std::vector<std::string>{"1"});
}

TEST_F(FaultClientTest, ArmedConnectIsRefused) {
    ASSERT_TRUE(control.Arm("msqlConnect", 1, MSQL_FAULT_FAIL));
    EXPECT_EQ(msqlConnect(""), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Can't connect to local mSQL server");
    ASSERT_TRUE(control.Arm("msqlConnect", 1, MSQL_FAULT_FAIL));
    EXPECT_EQ(msqlConnect("db.example"), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Can't connect to mSQL server on db.example");
    ASSERT_TRUE(control.Arm("msqlUserConnect", 1, MSQL_FAULT_LOSE));
    EXPECT_EQ(msqlUserConnect(nullptr, "someone"), -1);
    const int sock = msqlConnect("");
    EXPECT_GE(sock, 0) << "the next connect works";
    msqlClose(sock);
}

TEST_F(FaultClientTest, LostConnectionFailsEveryLaterCallOnItsSocket) {
    const int lost = Connect();
    const int other = Connect();
    ASSERT_TRUE(control.Arm("msqlQuery", 1, MSQL_FAULT_LOSE));
    EXPECT_EQ(msqlQuery(lost, "insert into t values (1)"), -1);
    control.Reset();
    EXPECT_EQ(msqlQuery(lost, "insert into t values (2)"), -1) << "a lost connection stays lost";
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "mSQL server has gone away");
    EXPECT_EQ(msqlSelectDB(lost, "test"), -1);
    EXPECT_EQ(msqlListTables(lost), nullptr);
    EXPECT_EQ(msqlListFields(lost, "t"), nullptr);
    EXPECT_EQ(msqlGetSequenceInfo(lost, "t"), nullptr);
    EXPECT_EQ(msqlQuery(other, "insert into t values (3)"), 1) << "other connections are unaffected";
    msqlClose(lost);
    msqlClose(other);
    EXPECT_EQ(Rows(), std::vector<std::string>{"3"});
}

TEST_F(FaultClientTest, LostStoreLosesTheConnectionOfTheQuery) {
    const int sock = Connect();
    ASSERT_TRUE(control.Arm("msqlStoreResult", 1, MSQL_FAULT_LOSE));
    ASSERT_EQ(msqlQuery(sock, "select a from t"), 0);
    EXPECT_EQ(msqlStoreResult(), nullptr);
    EXPECT_EQ(msqlQuery(sock, "select a from t"), -1);
    msqlClose(sock);
}

TEST_F(FaultClientTest, LostReplyLeavesTheWorkDone) {
    const int sock = Connect();
    ASSERT_TRUE(control.Arm("msqlQuery", 1, MSQL_FAULT_REPLY_LOST));
    EXPECT_EQ(msqlQuery(sock, "insert into t values (4)"), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "mSQL server has gone away");
    EXPECT_EQ(msqlQuery(sock, "select a from t"), -1);
    msqlClose(sock);
    EXPECT_EQ(Rows(), std::vector<std::string>{"4"});
}

TEST_F(FaultClientTest, AnyCallCountsOnlyCallsThatCanFail) {
    Exec("insert into t values (1)");
    control.Reset();
    ASSERT_TRUE(control.Arm("*", 2, MSQL_FAULT_FAIL));
    ASSERT_EQ(msqlQuery(fAdmin, "select a from t"), 1);
    m_result* result = nullptr;
    {
        // Client-memory calls in between do not move the failure point.
        EXPECT_STREQ(msqlGetErrMsg(nullptr), "");
        EXPECT_GT(msqlGetProtoInfo(), 0);
    }
    result = msqlStoreResult();
    EXPECT_EQ(result, nullptr) << "the second call that can fail is the store";
    EXPECT_TRUE(control.Fired());
    EXPECT_EQ(control.FiredFunction(), "msqlStoreResult");
}

TEST_F(FaultClientTest, SuspendedCallsAreNeitherCountedNorFailed) {
    ASSERT_TRUE(control.Arm("msqlQuery", 1, MSQL_FAULT_FAIL));
    {
        FaultsSuspended suspended;
        EXPECT_EQ(msqlQuery(fAdmin, "insert into t values (5)"), 1);
    }
    EXPECT_EQ(control.Calls("msqlQuery"), 0);
    EXPECT_EQ(msqlQuery(fAdmin, "insert into t values (6)"), -1);
    EXPECT_EQ(Rows(), std::vector<std::string>{"5"});
}

TEST_F(FaultClientTest, ArmingRefusesWhatCannotFail) {
    EXPECT_FALSE(control.Arm("msqlFetchRow", 1, MSQL_FAULT_FAIL)) << "fetching never talks to a server";
    EXPECT_FALSE(control.Arm("msqlNoSuchCall", 1, MSQL_FAULT_FAIL));
    EXPECT_FALSE(control.Arm("msqlQuery", 0, MSQL_FAULT_FAIL));
    EXPECT_FALSE(control.Arm("msqlQuery", 1, static_cast<MsqlFaultKind>(9)));
    EXPECT_EQ(msqlQuery(fAdmin, "insert into t values (7)"), 1) << "nothing was armed";
}

} // namespace
} // namespace corvane::test
