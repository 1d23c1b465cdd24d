// TNativeConnect and EmSQLException against the embedded engine.
#include "AccessFixture.h"

namespace corvane::test {
namespace {

// What the client functions were called with, recorded by the wrappers below.
struct ClientCalls {
    msqlConnect_t connect = nullptr;
    msqlSelectDB_t selectDB = nullptr;
    msqlClose_t close = nullptr;
    std::vector<std::string> hosts;
    std::vector<std::string> databases; // "<null>" for a null name
    std::vector<int> sockets;           // returned by msqlConnect
    std::vector<int> closed;
};
ClientCalls calls;

int RecordingConnect(const char* host) {
    calls.hosts.push_back(host ? host : "<null>");
    const int socket = calls.connect(host);
    calls.sockets.push_back(socket);
    return socket;
}
int RecordingSelectDB(int socket, const char* database) {
    calls.databases.push_back(database ? database : "<null>");
    return calls.selectDB(socket, database);
}
void RecordingClose(int socket) {
    calls.closed.push_back(socket);
    calls.close(socket);
}

class NativeConnectTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        calls = ClientCalls{msqlConnect, msqlSelectDB, msqlClose, {}, {}, {}, {}};
    }
    // Wraps connect, select and close for the scope of one test.
    struct Recording {
        ScopedClientFunction<msqlConnect_t> connect{msqlConnect, RecordingConnect};
        ScopedClientFunction<msqlSelectDB_t> select{msqlSelectDB, RecordingSelectDB};
        ScopedClientFunction<msqlClose_t> close{msqlClose, RecordingClose};
    };
};

TEST_F(NativeConnectTest, EmptyParametersConnectWithEmptyHostAndNullDatabaseAndCloseTheSocket) {
    Recording recording;
    TNativeConnect connection;
    host::TStringList params;
    connection.ProcessDBParams(params);
    EmSQLException e = ExpectNativeError(DBIERR_NATIVE, [&] { connection.InternalConnect(); });
    EXPECT_FALSE(e.HasTableCode());
    EXPECT_EQ(e.GetNativeErrorMsg(), "Unknown database \"(null)\"");
    EXPECT_EQ(e.Connection(), &connection);
    EXPECT_EQ(calls.hosts, std::vector<std::string>{""});
    EXPECT_EQ(calls.databases, std::vector<std::string>{"<null>"});
    ASSERT_EQ(calls.sockets.size(), 1u);
    EXPECT_EQ(calls.closed, std::vector<int>{calls.sockets[0]});
    EXPECT_FALSE(connection.Connected());
}

TEST_F(NativeConnectTest, UnknownHostRaisesTheClientTextAndStaysUnconnected) {
    Recording recording;
    TNativeConnect connection;
    host::TStringList params;
    params.Add("DatabaseName=test");
    params.Add("Host=nohost:0");
    params.Add("User=ignored");
    connection.ProcessDBParams(params);
    EXPECT_EQ(connection.Host(), "nohost:0");
    EmSQLException e = ExpectNativeError(DBIERR_NATIVE, [&] { connection.InternalConnect(); });
    EXPECT_EQ(e.GetNativeErrorMsg(), "Unknown mSQL Server Host (nohost:0)");
    EXPECT_FALSE(connection.Connected());
    EXPECT_TRUE(calls.databases.empty());
    EXPECT_TRUE(calls.closed.empty());
}

TEST_F(NativeConnectTest, ConnectDisconnectAndReconnectOnDemand) {
    Recording recording;
    auto connection = Connect();
    EXPECT_TRUE(connection->Connected());
    EXPECT_GE(connection->Socket(), 0);
    connection->InternalConnect(); // already connected: nothing happens
    EXPECT_EQ(calls.sockets.size(), 1u);

    connection->InternalDisconnect();
    EXPECT_FALSE(connection->Connected());
    EXPECT_EQ(calls.closed, calls.sockets);

    Exec("create table t (a int)");
    host::TStringList tables;
    connection->TableList(tables); // reconnects by itself
    EXPECT_TRUE(connection->Connected());
    EXPECT_EQ(calls.sockets.size(), 2u);
    connection.reset();
    EXPECT_EQ(calls.closed, calls.sockets);
}

TEST_F(NativeConnectTest, ClientLibraryNotLoadedFailsWithTheLoadErrorInsteadOfCallingIt) {
    UnloadmSQLLibrary();
    TNativeConnect connection;
    EmSQLException e = ExpectNativeError(DBIERR_NATIVE, [&] { connection.InternalConnect(); });
    EXPECT_EQ(e.GetNativeErrorMsg(), mSQLLoadErrorText());
    EXPECT_EQ(e.GetNativeErrorMsg().rfind("Error Loading DLL ", 0), 0u);
    EXPECT_FALSE(connection.Connected());
    EXPECT_THROW(connection.GetHostInfo(), EmSQLException);
    ASSERT_TRUE(TryLoadmSQLLibrary());
}

TEST_F(NativeConnectTest, TableListReplacesEntriesAndDatabaseListKeepsThem) {
    Exec("create table alpha (a int)");
    Exec("create table beta (b char(4))");
    auto connection = Connect();

    host::TStringList tables;
    tables.Add("stale");
    connection->TableList(tables);
    ASSERT_EQ(tables.Count(), 2);
    EXPECT_EQ(tables.IndexOf("stale"), -1);
    EXPECT_NE(tables.IndexOf("alpha"), -1);
    EXPECT_NE(tables.IndexOf("beta"), -1);

    host::TStringList databases;
    databases.Add("kept");
    connection->DatabaseList(databases);
    EXPECT_EQ(databases.Strings(0), "kept");
    EXPECT_NE(databases.IndexOf("test"), -1);

    connection->GetList(nullptr, databases); // no result: nothing added, nothing raised
    EXPECT_EQ(databases.Count(), 2);
}

TEST_F(NativeConnectTest, SelectDBFailureRaisesAndKeepsTheDatabaseName) {
    auto connection = Connect();
    EmSQLException e = ExpectNativeError(DBIERR_NATIVE, [&] { connection->SelectDB("nosuchdb"); });
    EXPECT_EQ(e.GetNativeErrorMsg(), "Unknown database \"nosuchdb\"");
    EXPECT_EQ(connection->DatabaseName(), "test");
    EXPECT_FALSE(connection->GetHostInfo().empty());
    EXPECT_FALSE(connection->GetServerInfo().empty());
}

TEST_F(NativeConnectTest, UnknownDatabaseClosesTheOpenedSocket) {
    Recording recording;
    EXPECT_THROW(Connect("nosuchdb"), EmSQLException);
    ASSERT_EQ(calls.sockets.size(), 1u);
    EXPECT_EQ(calls.closed, calls.sockets);
}

TEST_F(NativeConnectTest, OpenTableOfUnknownTableRaisesTheServerText) {
    auto connection = Connect();
    TNativeDataSet* cursor = nullptr;
    EmSQLException e = ExpectNativeError(
        DBIERR_NATIVE, [&] { connection->OpenTable("missing", "", 0, dbiREADWRITE, dbiOPENSHARED, cursor); });
    EXPECT_EQ(e.GetNativeErrorMsg(), "Unknown table \"missing\"");
    EXPECT_EQ(cursor, nullptr);
}

TEST_F(NativeConnectTest, QExecDirectRunsTheStatementAndReturnsNoCursor) {
    Exec("create table t (a int)");
    auto connection = Connect();
    TNativeDataSet* cursor = nullptr;
    connection->QExecDirect(qrylangSQL, "insert into t values (7)", cursor);
    connection->QExecDirect(qrylangSQL, "select * from t", cursor);
    EXPECT_EQ(cursor, nullptr);
    auto table = OpenTable(*connection, "t");
    EXPECT_EQ(table->GetRecordCount(), 1);
    EXPECT_THROW(connection->QExecDirect(qrylangSQL, "insert into nowhere values (1)", cursor),
                 EmSQLException);
}

TEST_F(NativeConnectTest, FieldListHandsOutOneFLDDescPerColumn) {
    Exec("create table t (a int, b char(10), c date, d text(20))");
    auto connection = Connect();
    TNativeDataSet* raw = nullptr;
    connection->OpenFieldList("t", "", false, raw);
    std::unique_ptr<TNativeDataSet> list(raw);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetRecordCount(), 4);
    EXPECT_EQ(list->GetWorkBufferSize(), static_cast<int>(sizeof(FLDDesc)));
    CURProps props;
    list->GetCursorProps(props);
    EXPECT_EQ(+props.iRecBufSize, sizeof(FLDDesc));

    const char* names[] = {"a", "b", "c", "d"};
    const uint16_t offsets[] = {0, 4, 14, 22};
    FLDDesc desc;
    for (int i = 0; i < 4; ++i) {
        list->GetNextRecord(dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr);
        EXPECT_EQ(+desc.iFldNum, i + 1);
        EXPECT_STREQ(desc.szName, names[i]);
        EXPECT_EQ(+desc.iOffset, offsets[i]);
    }
    ExpectNativeError(DBIERR_EOF,
                      [&] { list->GetNextRecord(dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr); });
    list->SetToBegin();
    list->GetNextRecord(dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr);
    EXPECT_STREQ(desc.szName, "a");
}

TEST_F(NativeConnectTest, IndexListIsCreatedEmptyForATableWithoutIndexes) {
    Exec("create table t (a int)");
    auto connection = Connect();
    TNativeDataSet* raw = nullptr;
    connection->OpenIndexList("t", "", raw);
    std::unique_ptr<TNativeDataSet> list(raw);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetRecordCount(), 0);
    EXPECT_EQ(list->GetWorkBufferSize(), static_cast<int>(sizeof(IDXDesc)));
    IDXDesc desc;
    ExpectNativeError(DBIERR_EOF,
                      [&] { list->GetNextRecord(dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr); });

    TNativeDataSet* missing = nullptr;
    EXPECT_THROW(connection->OpenIndexList("missing", "", missing), EmSQLException);
    EXPECT_EQ(missing, nullptr);
}

TEST_F(NativeConnectTest, IndexListCopiesTheRecordsItIsGiven) {
    IDXDesc items[2] = {};
    std::strcpy(items[0].szName, "first");
    std::strcpy(items[1].szName, "second");
    TIndexList list(nullptr, items, 2);
    std::strcpy(items[0].szName, "changed");
    IDXDesc desc;
    list.GetNextRecord(dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr);
    EXPECT_STREQ(desc.szName, "first");
    list.GetNextRecord(dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr);
    EXPECT_STREQ(desc.szName, "second");
    ExpectNativeError(DBIERR_EOF,
                      [&] { list.GetNextRecord(dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr); });
    uint8_t bookmark[BookmarkSize] = {};
    list.SetToBookmark(bookmark);
    list.GetNextRecord(dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr);
    EXPECT_STREQ(desc.szName, "first");
}

// ---- EmSQLException

TEST(EmSQLExceptionForms, ResultCodeFormsCarryTheCodeAndTheTableFlag) {
    const EmSQLException plain(DBIERR_EOF);
    EXPECT_EQ(plain.ErrorCode(), DBIERR_EOF);
    EXPECT_TRUE(plain.HasTableCode());
    EXPECT_EQ(plain.GetNativeErrorMsg(), "");
    EXPECT_EQ(plain.Message(), "");
    EXPECT_EQ(plain.Connection(), nullptr);
    EXPECT_NE(dynamic_cast<const host::EAbort*>(&plain), nullptr);

    const EmSQLException withText(DBIERR_INVALIDPARAM, std::string(300, 'x'));
    EXPECT_EQ(withText.ErrorCode(), DBIERR_INVALIDPARAM);
    EXPECT_TRUE(withText.HasTableCode());
    EXPECT_EQ(withText.GetNativeErrorMsg(), std::string(255, 'x'));
}

TEST_F(NativeConnectTest, ConnectionFormsCarryTheClientTextWithoutTableFlag) {
    auto connection = Connect();
    ASSERT_LT(msqlQuery(fAdmin, "select * from missing"), 0);
    const EmSQLException fromClient(connection.get());
    EXPECT_EQ(fromClient.ErrorCode(), DBIERR_INVALIDPARAM);
    EXPECT_FALSE(fromClient.HasTableCode());
    EXPECT_EQ(fromClient.GetNativeErrorMsg(), "Unknown table \"missing\"");
    EXPECT_EQ(fromClient.Message(), "");

    ASSERT_GE(msqlQuery(fAdmin, "create table t (a int)"), 0); // clears the client's error text
    const EmSQLException noError(connection.get());
    EXPECT_EQ(noError.ErrorCode(), DBIERR_NONE);
    EXPECT_EQ(noError.GetNativeErrorMsg(), "");

    try {
        mSQLExceptionMsg(connection.get(), "Text size exceeds maximum blob field size");
    } catch (const EmSQLException& e) {
        EXPECT_EQ(e.ErrorCode(), DBIERR_NATIVE);
        EXPECT_FALSE(e.HasTableCode());
        EXPECT_EQ(e.GetNativeErrorMsg(), "Text size exceeds maximum blob field size");
        EXPECT_EQ(e.Connection(), connection.get());
    }
    EXPECT_THROW(mSQLException(connection.get()), EmSQLException);
}

} // namespace
} // namespace corvane::test
