// The connection base: event order, client registration and the connect deferred to Loaded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComponentsFixture.h"
#include "host/DataSet.h"
#include "host/Forms.h"
#include "host/Streaming.h"

namespace corvane::test {
namespace {

// A connection that records its connects and disconnects in a shared log.
class LoggingConnection : public TmSQLCustomConnection {
public:
    LoggingConnection(host::TComponent* owner, std::vector<std::string>& log)
        : TmSQLCustomConnection(owner), fLog(log) {}
    ~LoggingConnection() override { Close(); }
    bool GetConnected() override { return fConnected; }

protected:
    void DoConnect() override {
        fLog.push_back("DoConnect");
        fConnected = true;
    }
    void DoDisconnect() override {
        fLog.push_back("DoDisconnect");
        fConnected = false;
    }

private:
    std::vector<std::string>& fLog;
    bool fConnected = false;
};

// A bare dataset: enough to be registered as a dataset client.
class BareDataSet : public host::TDataSet {
public:
    using host::TDataSet::TDataSet;

protected:
    host::TGetResult GetRecord(host::TRecordBuffer, host::TGetMode, bool) override { return host::grEOF; }
    void InternalOpen() override {}
    void InternalClose() override {}
    void InternalInitFieldDefs() override {}
    bool IsCursorOpen() override { return false; }
};

void WireEvents(TmSQLCustomConnection& connection, std::vector<std::string>& log) {
    connection.SetBeforeConnect([&log](TmSQLCustomConnection*) { log.push_back("BeforeConnect"); });
    connection.SetAfterConnect([&log](TmSQLCustomConnection*) { log.push_back("AfterConnect"); });
    connection.SetBeforeDisconnect([&log](TmSQLCustomConnection*) { log.push_back("BeforeDisconnect"); });
    connection.SetAfterDisconnect([&log](TmSQLCustomConnection*) { log.push_back("AfterDisconnect"); });
}

TEST(ConnectionBase, ClientsHearOfAConnectAfterItAndOfADisconnectBeforeIt) {
    std::vector<std::string> log;
    LoggingConnection connection(nullptr, log);
    WireEvents(connection, log);
    host::TObject first, second, silent;
    connection.RegisterClient(&first, [&log, &connection](TmSQLCustomConnection* sender, bool connecting) {
        EXPECT_EQ(sender, &connection);
        log.push_back(std::string("first:") + (connecting ? "on" : "off"));
    });
    connection.RegisterClient(&silent);
    connection.RegisterClient(&second, [&log](TmSQLCustomConnection*, bool connecting) {
        log.push_back(std::string("second:") + (connecting ? "on" : "off"));
    });

    connection.Open();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect", "first:on", "second:on",
                                             "AfterConnect"}));
    log.clear();
    connection.Open(); // already connected: nothing at all
    EXPECT_TRUE(log.empty());

    connection.Close();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeDisconnect", "first:off", "second:off", "DoDisconnect",
                                             "AfterDisconnect"}));
    log.clear();
    connection.SetConnected(false);
    EXPECT_TRUE(log.empty());
}

TEST(ConnectionBase, ClientRegistrationCountsOccurrencesAndKeepsDataSetsApart) {
    std::vector<std::string> log;
    LoggingConnection connection(nullptr, log);
    host::TObject plain;
    BareDataSet dataSet(nullptr);
    int calls = 0;
    connection.RegisterClient(&plain);
    connection.RegisterClient(&dataSet, [&calls](TmSQLCustomConnection*, bool) { ++calls; });
    connection.RegisterClient(&dataSet);
    EXPECT_EQ(connection.ClientCount(), 3);
    ASSERT_EQ(connection.GetDataSetCount(), 2);
    EXPECT_EQ(connection.GetDataSet(0), &dataSet);

    host::TObject stranger;
    connection.UnRegisterClient(&stranger);
    EXPECT_EQ(connection.ClientCount(), 3);

    // Each unregistration removes the first occurrence, together with its handler.
    connection.UnRegisterClient(&dataSet);
    EXPECT_EQ(connection.ClientCount(), 2);
    EXPECT_EQ(connection.GetDataSetCount(), 1);
    connection.Open();
    EXPECT_EQ(calls, 0);
    connection.UnRegisterClient(&dataSet);
    EXPECT_EQ(connection.GetDataSetCount(), 0);
    EXPECT_EQ(connection.ClientCount(), 1);
    EXPECT_EQ(connection.Clients(0), &plain);
}

TEST(ConnectionBase, DestructionDisconnectsAfterTheOwnedComponentsWent) {
    std::vector<std::string> log;
    auto* connection = new LoggingConnection(nullptr, log);
    connection->Open();
    bool toldDisconnect = false;
    host::TObject client;
    connection->RegisterClient(&client, [&toldDisconnect](TmSQLCustomConnection*, bool connecting) {
        if (!connecting) toldDisconnect = true;
    });
    delete connection;
    EXPECT_TRUE(toldDisconnect);
    EXPECT_EQ(log.back(), "DoDisconnect");
}

class StreamedConnectionTest : public ComponentsTest {};

TEST_F(StreamedConnectionTest, AStreamedConnectWaitsForTheWholeFormToLoad) {
    // Connected comes before the database name in the file: connecting while reading would fail.
    const std::string form = "object Form1: TForm\n"
                             "  object Db: TmSQLDatabase\n"
                             "    Connected = True\n"
                             "    DatabaseName = 'test'\n"
                             "    KeepConnection = False\n"
                             "  end\n"
                             "end\n";
    host::TForm root(nullptr);
    ApplicationExceptions exceptions;
    host::ReadComponentFromText(form, &root);
    auto* database = dynamic_cast<TmSQLDatabase*>(root.FindComponent("Db"));
    ASSERT_NE(database, nullptr);
    EXPECT_TRUE(exceptions.Messages().empty());
    EXPECT_TRUE(database->Connected());
    EXPECT_FALSE(database->KeepConnection());
    EXPECT_EQ(database->Params()->Values("DatabaseName"), "test");

    // Written back, the connected database is streamed as connected.
    const std::string written = host::WriteComponentToText(&root);
    EXPECT_NE(written.find("Connected = True"), std::string::npos) << written;
    EXPECT_NE(written.find("DatabaseName = 'test'"), std::string::npos) << written;
}

TEST_F(StreamedConnectionTest, AStreamedConnectThatFailsGoesToTheApplicationHandler) {
    const std::string form = "object Form1: TForm\n"
                             "  object Db: TmSQLDatabase\n"
                             "    Connected = True\n"
                             "    DatabaseName = 'nosuchdb'\n"
                             "  end\n"
                             "end\n";
    host::TForm root(nullptr);
    ApplicationExceptions exceptions;
    EXPECT_NO_THROW(host::ReadComponentFromText(form, &root));
    auto* database = dynamic_cast<TmSQLDatabase*>(root.FindComponent("Db"));
    ASSERT_NE(database, nullptr);
    EXPECT_FALSE(database->Connected());
    ASSERT_EQ(exceptions.Messages().size(), 1u);
    EXPECT_EQ(exceptions.Messages()[0].rfind("mSQL Error : \r\n", 0), 0u) << exceptions.Messages()[0];
}

TEST_F(StreamedConnectionTest, TheClassesAreRegisteredByName) {
    const host::TClassInfo* database = host::FindClass("TmSQLDatabase");
    ASSERT_NE(database, nullptr);
    EXPECT_TRUE(database->CanCreate());
    for (const char* name : {"Connected", "DatabaseName", "Host", "KeepConnection", "HandleShared",
                             "Exclusive", "ReadOnly", "LoginPrompt"})
        EXPECT_NE(database->FindProperty(name), nullptr) << name;
    EXPECT_NE(host::FindClass("TmSQLCustomConnection"), nullptr);
}

} // namespace
} // namespace corvane::test
