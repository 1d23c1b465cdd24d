// The database component on the embedded engine: connecting, the client library checks, names and
// handle sharing, lists, server information and the composed error messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ComponentsFixture.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace corvane::test {
namespace {

using DatabaseTest = ComponentsTest;

TEST_F(DatabaseTest, ConnectsByPropertiesAndKeepsTheParametersInStep) {
    TmSQLDatabase* database = NewDatabase();
    database->SetHost("");
    std::vector<std::string> log;
    database->SetBeforeConnect([&](TmSQLCustomConnection*) { log.push_back("before"); });
    database->SetAfterConnect([&](TmSQLCustomConnection* sender) {
        EXPECT_TRUE(static_cast<TmSQLDatabase*>(sender)->Connected());
        log.push_back("after");
    });
    EXPECT_EQ(database->Params()->Values("DatabaseName"), "test");
    EXPECT_EQ(database->Engine(), nullptr);

    database->Open();
    EXPECT_TRUE(database->Connected());
    EXPECT_NE(database->Handle(), nullptr);
    EXPECT_NE(database->Engine(), nullptr);
    EXPECT_FALSE(database->IsLookup());
    EXPECT_EQ(log, (std::vector<std::string>{"before", "after"}));

    // Guarded properties cannot change while connected.
    EXPECT_EQ(ExpectHostError([&] { database->SetDatabaseName("other"); }), host::SDatabaseOpen);
    EXPECT_EQ(ExpectHostError([&] { database->SetHost("elsewhere"); }), host::SDatabaseOpen);
    EXPECT_EQ(ExpectHostError([&] { database->SetReadOnly(true); }), host::SDatabaseOpen);
    EXPECT_EQ(ExpectHostError([&] { database->Params()->Add("Extra=1"); }), host::SDatabaseOpen);
    EXPECT_EQ(database->DatabaseName(), "test");

    database->Close();
    EXPECT_FALSE(database->Connected());
    EXPECT_EQ(database->Handle(), nullptr);
    database->SetDatabaseName("other");
    EXPECT_EQ(database->Params()->Values("DatabaseName"), "other");
}

TEST_F(DatabaseTest, AnUnknownDatabaseIsReportedWithTheServerText) {
    TmSQLDatabase* database = NewDatabase("nosuchdb");
    const std::string message = ExpectDatabaseError(DBIERR_NATIVE, [&] { database->Open(); });
    EXPECT_EQ(message.rfind("mSQL Error : \r\n", 0), 0u) << message;
    EXPECT_GT(message.size(), std::string("mSQL Error : \r\n").size());
    EXPECT_FALSE(database->Connected());
}

TEST_F(DatabaseTest, AMissingClientLibraryIsShownAndLeavesTheDatabaseDisconnected) {
    UseClientLibrary("");
    TmSQLDatabase* database = NewDatabase();
    MessageCapture messages;
    EXPECT_NO_THROW(database->Open());
    EXPECT_FALSE(database->Connected());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "Error Loading DLL libmsql.so");
    EXPECT_EQ(messages.Messages()[0].flags, host::MB_OK | host::MB_ICONERROR);
}

TEST_F(DatabaseTest, AClientLibraryLackingAFunctionCorvaneCallsIsShownAndNotUsed) {
    UseClientLibrary(CLIENT_WITHOUT_QUERY);
    ASSERT_TRUE(mSQLLibraryLoaded());
    TmSQLDatabase* database = NewDatabase();
    MessageCapture messages;
    EXPECT_NO_THROW(database->Open());
    EXPECT_FALSE(database->Connected());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, std::string("Error Loading DLL ") + CLIENT_WITHOUT_QUERY);
}

TEST_F(DatabaseTest, AClientLibraryLackingOnlyUserConnectIsUsed) {
    Exec("create table t (id int)");
    UseClientLibrary(CLIENT_WITHOUT_USER_CONNECT);
    ASSERT_TRUE(mSQLLibraryLoaded());
    ASSERT_FALSE(mSQLLibraryComplete());
    TmSQLDatabase* database = NewDatabase();
    MessageCapture messages;
    database->Open();
    EXPECT_TRUE(database->Connected());
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(database->Execute("insert into t (id) values (7)"), 1);
}

TEST_F(DatabaseTest, DuplicateNamesNeedHandleSharingOnBothSides) {
    TmSQLDatabase* first = NewDatabase("test");
    first->SetName("First");
    auto* second = new TmSQLDatabase(nullptr);
    databases.emplace_back(second);
    second->SetName("Second");
    EXPECT_EQ(ExpectHostError([&] { second->SetDatabaseName("TEST"); }),
              "Second: " + host::Format(host::SDuplicateDatabaseName, "TEST"));
    EXPECT_EQ(second->DatabaseName(), "");
    second->SetHandleShared(true);
    EXPECT_EQ(ExpectHostError([&] { second->SetDatabaseName("test"); }),
              "Second: " + host::Format(host::SDuplicateDatabaseName, "test"));

    first->SetHandleShared(true);
    second->SetDatabaseName("test");
    EXPECT_EQ(TmSQLDatabase::FindDatabase("TEST"), first);
    EXPECT_EQ(TmSQLDatabase::FindDatabaseHandle("test"), nullptr);

    // The second shares the first one's connection once that is open.
    first->Open();
    EXPECT_EQ(TmSQLDatabase::FindDatabaseHandle("Test"), first->Handle());
    second->Open();
    EXPECT_EQ(second->Handle(), first->Handle());
    Exec("create table t (id int)");
    EXPECT_EQ(second->Execute("insert into t (id) values (1)"), 1);

    // Closing the sharer leaves the first connected on its handle.
    second->Close();
    EXPECT_TRUE(first->Connected());
    EXPECT_EQ(first->Execute("insert into t (id) values (2)"), 1);
}

TEST_F(DatabaseTest, ASharerIsDisconnectedFirstWhenTheOwnerCloses) {
    TmSQLDatabase* owner = NewDatabase("test", true);
    TmSQLDatabase* sharer = NewDatabase("test", true);
    owner->Open();
    sharer->Open();
    ASSERT_EQ(sharer->Handle(), owner->Handle());
    std::vector<std::string> log;
    sharer->SetBeforeDisconnect([&](TmSQLCustomConnection*) {
        log.push_back(std::string("sharer, owner connected: ") + (owner->Connected() ? "yes" : "no"));
    });
    owner->Close();
    EXPECT_FALSE(sharer->Connected());
    EXPECT_EQ(sharer->Handle(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"sharer, owner connected: yes"}));
    sharer->SetBeforeDisconnect({}); // the handler refers to this test's locals

    // Reconnected, the sharer gets the owner's new handle, or its own when the owner is closed.
    sharer->Open();
    EXPECT_NE(sharer->Handle(), nullptr);
    Exec("create table t (id int)");
    EXPECT_EQ(sharer->Execute("insert into t (id) values (1)"), 1);
}

TEST_F(DatabaseTest, ASharerIsDisconnectedWhenTheOwnerIsDestroyed) {
    auto owner = std::make_unique<TmSQLDatabase>(nullptr);
    owner->SetHandleShared(true);
    owner->SetDatabaseName("test");
    TmSQLDatabase* sharer = NewDatabase("test", true);
    owner->Open();
    sharer->Open();
    ASSERT_EQ(sharer->Handle(), owner->Handle());
    owner.reset();
    EXPECT_FALSE(sharer->Connected());
    EXPECT_EQ(sharer->Handle(), nullptr);
    EXPECT_EQ(std::count(TmSQLDatabase::DBList().begin(), TmSQLDatabase::DBList().end(), sharer), 1);
    EXPECT_EQ(TmSQLDatabase::DBList().size(), 1u);
    // The sharer connects on a handle of its own now.
    sharer->Open();
    Exec("create table t (id int)");
    EXPECT_EQ(sharer->Execute("insert into t (id) values (1)"), 1);
}

TEST_F(DatabaseTest, GetDatabasesLeavesTheConnectionAsItWasFound) {
    ASSERT_EQ(msqlCreateDB(fAdmin, "second"), 0) << ClientErrorText();
    TmSQLDatabase* database = NewDatabase();
    host::TStringList list;
    list.Add("kept");
    database->GetDatabases(&list);
    EXPECT_FALSE(database->Connected());
    EXPECT_EQ(list.Strings(0), "kept");
    EXPECT_GE(list.IndexOf("test"), 1);
    EXPECT_GE(list.IndexOf("second"), 1);

    database->Open();
    host::TStringList again;
    database->GetDatabases(&again);
    EXPECT_TRUE(database->Connected());
    EXPECT_GE(again.IndexOf("second"), 0);
}

TEST_F(DatabaseTest, GetTableNamesConnectsAndReplacesTheList) {
    Exec("create table alpha (id int)");
    Exec("create table beta (id int)");
    TmSQLDatabase* database = NewDatabase();
    host::TStringList list;
    list.Add("stale");
    database->GetTableNames(&list);
    EXPECT_TRUE(database->Connected());
    EXPECT_EQ(list.Count(), 2);
    EXPECT_GE(list.IndexOf("alpha"), 0);
    EXPECT_GE(list.IndexOf("beta"), 0);
}

TEST_F(DatabaseTest, ServerInformationNeedsAConnectionAndNeverConnects) {
    TmSQLDatabase* database = NewDatabase();
    EXPECT_EQ(database->GetServerStat(), -1);
    EXPECT_EQ(database->GetHostInfo(), "");
    EXPECT_EQ(database->GetServerInfo(), "");
    EXPECT_TRUE(database->GetTraceFlags().Empty());
    database->SetTraceFlags(TTraceFlags{tfQPrepare});
    EXPECT_FALSE(database->Connected());

    database->Open();
    EXPECT_GE(database->GetServerStat(), 0);
    EXPECT_FALSE(database->GetServerInfo().empty());
    database->SetTraceFlags(TTraceFlags{tfQPrepare, tfError});
    EXPECT_TRUE(database->GetTraceFlags().Empty());
}

TEST_F(DatabaseTest, SelectDBSwitchesTheOpenConnectionAndNeedsOne) {
    ASSERT_EQ(msqlCreateDB(fAdmin, "second"), 0) << ClientErrorText();
    TmSQLDatabase* database = NewDatabase();
    const std::string message =
        ExpectDatabaseError(DBIERR_INVALIDHNDL, [&] { database->SelectDB("second"); });
    EXPECT_EQ(message, std::string(EngineMessage(DBIERR_INVALIDHNDL)) + "\r\nDBI Error Code: (9990)");
    database->Open();
    database->SelectDB("second");
    database->Execute("create table onlyhere (id int)");
    host::TStringList tables;
    database->GetTableNames(&tables);
    EXPECT_EQ(tables.Count(), 1);
    EXPECT_EQ(tables.IndexOf("onlyhere"), 0);
    EXPECT_EQ(
        ExpectDatabaseError(DBIERR_NATIVE, [&] { database->SelectDB("nosuchdb"); }).rfind("mSQL Error", 0),
        0u);
}

TEST_F(DatabaseTest, ACodedErrorAfterAServerErrorCarriesTheTableMessage) {
    TmSQLDatabase* database = NewDatabase();
    database->Open();
    const std::string server =
        ExpectDatabaseError(DBIERR_NATIVE, [&] { database->Execute("select * from nosuchtable"); });
    EXPECT_EQ(server.rfind("mSQL Error : \r\n", 0), 0u) << server;
    ASSERT_FALSE(database->Engine()->GetNativeErrorMsg().empty());

    // The engine still holds the server's text; a coded failure must not be shown with it.
    const EmSQLDatabaseError coded(database->Engine(), DBIERR_NOTSUFFTABLERIGHTS);
    EXPECT_EQ(coded.Message(),
              std::string(EngineMessage(DBIERR_NOTSUFFTABLERIGHTS)) + "\r\nDBI Error Code: (10498)");
    EXPECT_EQ(coded.ErrorCode(), DBIERR_NOTSUFFTABLERIGHTS);
    EXPECT_THROW(Check(database->Engine(), DBIERR_EOF), EmSQLDatabaseError);
    EXPECT_NO_THROW(Check(database->Engine(), DBIERR_NONE));
    // A code without a table entry still names itself.
    EXPECT_EQ(EmSQLDatabaseError(nullptr, 1).Message(), "\r\nDBI Error Code: (1)");
}

TEST_F(DatabaseTest, ACodedFailureShowsItsOwnDetailAfterTheCode) {
    Exec("create table t (id int)");
    TmSQLDatabase* database = NewDatabase();
    database->Open();
    ExpectDatabaseError(DBIERR_NATIVE, [&] { database->Execute("select * from nosuchtable"); });
    TmSQLEngine& engine = *database->Engine();
    hDBICur cursor = nullptr;
    ASSERT_EQ(engine.OpenTable(database->Handle(), "t", "", "", "", 0, dbiREADWRITE, dbiOPENSHARED, xltFIELD,
                               false, nullptr, cursor),
              DBIERR_NONE);
    // A header claiming a size smaller than itself.
    const uint16_t blob[5] = {2, 4, 0xFFFF, 10, 10};
    hDBIFilter filter = nullptr;
    const std::string message = ExpectDatabaseError(DBIERR_INVALIDFILTER, [&] {
        Check(&engine, engine.AddFilter(cursor, 0, 1, false, reinterpret_cast<const host::CANExpr*>(blob),
                                        nullptr, filter));
    });
    const std::string head =
        std::string(EngineMessage(DBIERR_INVALIDFILTER)) + "\r\nDBI Error Code: (10051)\r\n";
    EXPECT_EQ(message.rfind(head, 0), 0u) << message;
    EXPECT_NE(message.find("Invalid filter expression"), std::string::npos) << message;
    EXPECT_EQ(message.find("nosuchtable"), std::string::npos) << "the earlier server text is not shown";
    EXPECT_EQ(engine.CloseCursor(cursor), DBIERR_NONE);
}

TEST_F(DatabaseTest, TheTranslationHelpersCopyBytesAndTerminate) {
    TmSQLDatabase* database = NewDatabase();
    database->InitEngine();
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    AnsiToNativeBuf(database->Engine(), "abcdefghij", buffer, 5);
    EXPECT_STREQ(buffer, "abcde");
    AnsiToNativeBuf(database->Engine(), "", buffer, 5);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(NativeToAnsi(database->Engine(), "caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(NativeToAnsi(database->Engine(), nullptr), "");
}

TEST(FieldOrigin, PartsAreTakenFromTheEndQuotesKeepDotsAndFourPartsAreRefused) {
    std::string db, table, field;
    EXPECT_TRUE(SplitFieldOrigin("orders.id", db, table, field));
    EXPECT_EQ(db + "|" + table + "|" + field, "|orders|id");
    EXPECT_TRUE(SplitFieldOrigin("shop.orders.id", db, table, field));
    EXPECT_EQ(db + "|" + table + "|" + field, "shop|orders|id");
    EXPECT_TRUE(SplitFieldOrigin(" \"my.orders\" . id", db, table, field));
    EXPECT_EQ(table + "|" + field, "my.orders|id");
    EXPECT_TRUE(SplitFieldOrigin("a\\.b.c", db, table, field));
    EXPECT_EQ(table + "|" + field, "a.b|c");
    EXPECT_FALSE(SplitFieldOrigin("id", db, table, field));
    EXPECT_EQ(field, "id");
    EXPECT_FALSE(SplitFieldOrigin("", db, table, field));
    EXPECT_FALSE(SplitFieldOrigin("a.b.c.d", db, table, field));
    // A backslash at the very end is kept.
    EXPECT_TRUE(SplitFieldOrigin("t.f\\", db, table, field));
    EXPECT_EQ(field, "f\\");
}

// A dataset that holds the database while it is open, as the dataset components do.
class ClientDataSet : public host::TDataSet {
public:
    ClientDataSet(TmSQLDatabase* database) : host::TDataSet(nullptr), fDatabase(database) {}
    ~ClientDataSet() override { Close(); }
    TmSQLDatabase* fDatabase;

protected:
    host::TGetResult GetRecord(host::TRecordBuffer, host::TGetMode, bool) override { return host::grEOF; }
    void InternalOpen() override {
        fDatabase->Open();
        fDatabase->RegisterClient(this);
        fOpen = true;
    }
    void InternalClose() override {
        fOpen = false;
        if (fDatabase) fDatabase->UnRegisterClient(this);
    }
    void InternalInitFieldDefs() override {}
    bool IsCursorOpen() override { return fOpen; }

private:
    bool fOpen = false;
};

TEST_F(DatabaseTest, DisconnectingClosesTheAttachedDataSetsLastFirst) {
    TmSQLDatabase* database = NewDatabase();
    ClientDataSet first(database), second(database);
    std::vector<std::string> closed;
    first.SetAfterClose([&](host::TDataSet*) { closed.push_back("first"); });
    second.SetAfterClose([&](host::TDataSet*) { closed.push_back("second"); });
    first.Open();
    second.Open();
    ASSERT_EQ(database->GetDataSetCount(), 2);
    database->Close();
    EXPECT_EQ(closed, (std::vector<std::string>{"second", "first"}));
    EXPECT_FALSE(first.Active());
    EXPECT_EQ(database->GetDataSetCount(), 0);
}

TEST_F(DatabaseTest, DestroyingADatabaseClosesAndReleasesItsDataSets) {
    auto database = std::make_unique<TmSQLDatabase>(nullptr);
    database->SetDatabaseName("test");
    ClientDataSet dataSet(database.get());
    host::TObject plainClient;
    dataSet.Open();
    database->RegisterClient(&plainClient);
    database.reset();
    dataSet.fDatabase = nullptr;
    EXPECT_FALSE(dataSet.Active());
    EXPECT_TRUE(TmSQLDatabase::DBList().empty());
}

TEST_F(DatabaseTest, ADatabaseWithoutKeepConnectionClosesWhenAskedByItsDataSets) {
    TmSQLDatabase* database = NewDatabase();
    database->Open();
    database->CloseDatabase(database);
    EXPECT_TRUE(database->Connected());
    database->SetKeepConnection(false);
    database->CloseDatabase(database);
    EXPECT_FALSE(database->Connected());
    database->CloseDatabase(nullptr);
}

} // namespace
} // namespace corvane::test
