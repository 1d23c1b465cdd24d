// Loading the client library, resolving its functions, unloading, and the module start/stop.
#include <gtest/gtest.h>

#include <string>

#include "MessageCapture.h"
#include "access/EmSQLException.h"
#include "access/NativeConnect.h"
#include "client/msqlTypes.h"
#include "host/Strings.h"

namespace corvane {
namespace {

using test::MessageCapture;

// Each variable in resolution order, as an untyped address (null when unbound).
std::vector<void*> FunctionAddresses() {
    return {reinterpret_cast<void*>(msqlConnect),        reinterpret_cast<void*>(msqlClose),
            reinterpret_cast<void*>(msqlCreateDB),       reinterpret_cast<void*>(msqlDropDB),
            reinterpret_cast<void*>(msqlSelectDB),       reinterpret_cast<void*>(msqlDataSeek),
            reinterpret_cast<void*>(msqlFieldSeek),      reinterpret_cast<void*>(msqlFreeResult),
            reinterpret_cast<void*>(msqlFetchField),     reinterpret_cast<void*>(msqlFetchRow),
            reinterpret_cast<void*>(msqlGetErrMsg),      reinterpret_cast<void*>(msqlGetHostInfo),
            reinterpret_cast<void*>(msqlGetIntConf),     reinterpret_cast<void*>(msqlGetCharConf),
            reinterpret_cast<void*>(msqlGetProtoInfo),   reinterpret_cast<void*>(msqlGetServerInfo),
            reinterpret_cast<void*>(msqlGetServerStats), reinterpret_cast<void*>(msqlGetSequenceInfo),
            reinterpret_cast<void*>(msqlListDBs),        reinterpret_cast<void*>(msqlListFields),
            reinterpret_cast<void*>(msqlListIndex),      reinterpret_cast<void*>(msqlListTables),
            reinterpret_cast<void*>(msqlLoadConfigFile), reinterpret_cast<void*>(msqlQuery),
            reinterpret_cast<void*>(msqlReloadAcls),     reinterpret_cast<void*>(msqlShutdown),
            reinterpret_cast<void*>(msqlStoreResult),    reinterpret_cast<void*>(msqlUserConnect)};
}

int CountBound() {
    int n = 0;
    for (void* address : FunctionAddresses())
        n += address != nullptr;
    return n;
}

// Every test starts and ends with the client library unloaded.
class ClientBinding : public ::testing::Test {
protected:
    void SetUp() override { UnloadmSQLLibrary(); }
    void TearDown() override { UnloadmSQLLibrary(); }
};

TEST_F(ClientBinding, FunctionTableIsInResolutionOrder) {
    ASSERT_EQ(mSQLFunctionCount, 28);
    EXPECT_STREQ(mSQLFunctionName(0), "msqlConnect");
    EXPECT_STREQ(mSQLFunctionName(4), "msqlSelectDB");
    EXPECT_STREQ(mSQLFunctionName(13), "msqlGetCharConf");
    EXPECT_STREQ(mSQLFunctionName(23), "msqlQuery");
    EXPECT_STREQ(mSQLFunctionName(26), "msqlStoreResult");
    EXPECT_STREQ(mSQLFunctionName(27), "msqlUserConnect");
    EXPECT_EQ(mSQLFunctionName(28), nullptr);
    EXPECT_EQ(mSQLFunctionName(-1), nullptr);
}

TEST_F(ClientBinding, UnloadingWhenNotLoadedLeavesNotLoadedAndShowsNothing) {
    MessageCapture messages;
    UnloadmSQLLibrary();
    EXPECT_EQ(SQLLibraryHandle, 32u);
    EXPECT_FALSE(mSQLLibraryLoaded());
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(ClientBinding, LoadingACompleteLibraryBindsAllFunctionsSilently) {
    MessageCapture messages;
    LoadmSQLLibrary(FAKE_FULL_CLIENT);
    EXPECT_GT(SQLLibraryHandle, 32u);
    EXPECT_TRUE(mSQLLibraryComplete());
    EXPECT_EQ(CountBound(), 28);
    EXPECT_TRUE(messages.Messages().empty());
    // The variables call into the loaded library.
    EXPECT_STREQ(msqlGetServerInfo(), "full");
    EXPECT_EQ(msqlConnect(""), 7);
    EXPECT_EQ(msqlUserConnect("", "me"), 8);
    EXPECT_EQ(msqlGetProtoInfo(), 23);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "fake error");
}

TEST_F(ClientBinding, LoadingTwiceKeepsTheFirstLibraryAndShowsNothing) {
    MessageCapture messages;
    LoadmSQLLibrary(FAKE_FULL_CLIENT);
    const uint32_t handle = SQLLibraryHandle;
    LoadmSQLLibrary(FAKE_FULL_CLIENT);
    LoadmSQLLibrary(FAKE_PARTIAL_CLIENT);
    LoadmSQLLibrary("/no/such/dir/libmsql.so");
    EXPECT_EQ(SQLLibraryHandle, handle);
    EXPECT_STREQ(msqlGetServerInfo(), "full");
    EXPECT_EQ(CountBound(), 28);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(ClientBinding, MissingFunctionGivesOneMessageAndLeavesItAndLaterOnesNull) {
    // A complete library first, so that stale addresses would show if they were kept.
    LoadmSQLLibrary(FAKE_FULL_CLIENT);
    UnloadmSQLLibrary();

    MessageCapture messages;
    LoadmSQLLibrary(FAKE_PARTIAL_CLIENT);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text,
              std::string("Error Loading Dynamic Function msqlGetCharConf from ") + FAKE_PARTIAL_CLIENT);
    EXPECT_EQ(messages.Messages()[0].flags & 0x0F, host::MB_OK);

    // The library stays loaded with the functions before the missing one bound.
    EXPECT_GT(SQLLibraryHandle, 32u);
    EXPECT_FALSE(mSQLLibraryComplete());
    const std::vector<void*> addresses = FunctionAddresses();
    for (int i = 0; i < 13; ++i)
        EXPECT_NE(addresses[i], nullptr) << mSQLFunctionName(i);
    for (int i = 13; i < 28; ++i)
        EXPECT_EQ(addresses[i], nullptr) << mSQLFunctionName(i);
    EXPECT_EQ(msqlGetIntConf("general", "tcp_port"), 1114);
}

TEST_F(ClientBinding, UnloadableFileGivesOneLoadMessageAndBindsNothing) {
    for (const char* file : {"/no/such/dir/libmsql.so", NOT_A_LIBRARY_FILE}) {
        MessageCapture messages;
        LoadmSQLLibrary(file);
        EXPECT_EQ(SQLLibraryHandle, 32u) << file;
        EXPECT_EQ(CountBound(), 0) << file;
        ASSERT_EQ(messages.Messages().size(), 1u) << file;
        EXPECT_EQ(messages.Messages()[0].text, std::string("Error Loading DLL ") + file);
        EXPECT_EQ(messages.Messages()[0].flags & 0x0F, host::MB_OK);
        EXPECT_EQ(mSQLLoadErrorText(), std::string("Error Loading DLL ") + file);
    }
}

TEST_F(ClientBinding, FailedLoadAfterAnUnloadLeavesNoStaleFunctions) {
    LoadmSQLLibrary(FAKE_FULL_CLIENT);
    UnloadmSQLLibrary();
    EXPECT_EQ(SQLLibraryHandle, 32u);
    EXPECT_EQ(CountBound(), 0);
    EXPECT_TRUE(!TryLoadmSQLLibrary("/no/such/dir/libmsql.so"));
    EXPECT_EQ(CountBound(), 0);
}

TEST_F(ClientBinding, DefaultLoadNamesLibmsqlSoInItsMessage) {
    MessageCapture messages;
    LoadmSQLLibrary();
    if (mSQLLibraryLoaded()) GTEST_SKIP() << "a libmsql.so is on the library path";
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "Error Loading DLL libmsql.so");
    EXPECT_EQ(mSQLLoadErrorText(), "Error Loading DLL libmsql.so");
}

TEST_F(ClientBinding, QuietLoadReportsTheOutcomeWithoutMessages) {
    MessageCapture messages;
    EXPECT_FALSE(TryLoadmSQLLibrary("/no/such/dir/libmsql.so"));
    EXPECT_TRUE(TryLoadmSQLLibrary(FAKE_PARTIAL_CLIENT));
    EXPECT_FALSE(mSQLLibraryComplete());
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(ClientBinding, ReloadingAfterUnloadBindsTheNewLibrary) {
    MessageCapture messages;
    TryLoadmSQLLibrary(FAKE_PARTIAL_CLIENT);
    UnloadmSQLLibrary();
    LoadmSQLLibrary(FAKE_FULL_CLIENT);
    EXPECT_GT(SQLLibraryHandle, 32u);
    EXPECT_STREQ(msqlGetServerInfo(), "full");
    EXPECT_TRUE(mSQLLibraryComplete());
    EXPECT_TRUE(messages.Messages().empty());
}

// The functions the rest of Corvane calls; the others are only bound.
TEST_F(ClientBinding, EighteenOfTheFunctionsAreCalled) {
    std::vector<std::string> called;
    for (int i = 0; i < mSQLFunctionCount; ++i)
        if (mSQLFunctionCalled(i)) called.push_back(mSQLFunctionName(i));
    EXPECT_EQ(called,
              (std::vector<std::string>{"msqlConnect", "msqlClose", "msqlSelectDB", "msqlDataSeek",
                                        "msqlFieldSeek", "msqlFreeResult", "msqlFetchField", "msqlFetchRow",
                                        "msqlGetErrMsg", "msqlGetHostInfo", "msqlGetServerInfo",
                                        "msqlGetServerStats", "msqlListDBs", "msqlListFields",
                                        "msqlListIndex", "msqlListTables", "msqlQuery", "msqlStoreResult"}));
    EXPECT_FALSE(mSQLFunctionCalled(-1));
    EXPECT_FALSE(mSQLFunctionCalled(mSQLFunctionCount));
}

// A connection on the stand-in library, which accepts any host and any named database.
bool Connects() {
    TNativeConnect connection;
    host::TStringList params;
    params.Add("DatabaseName=test");
    connection.ProcessDBParams(params);
    connection.InternalConnect();
    return connection.Connected() && connection.Socket() == 7;
}

// The Unix builds of mSQL 4.x ship a client library without msqlUserConnect, which Corvane never calls.
TEST_F(ClientBinding, ALibraryLackingOnlyUncalledFunctionsConnects) {
    MessageCapture messages;
    LoadmSQLLibrary(FAKE_NO_USER_CONNECT_CLIENT);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text,
              std::string("Error Loading Dynamic Function msqlUserConnect from ") +
                  FAKE_NO_USER_CONNECT_CLIENT);
    EXPECT_FALSE(mSQLLibraryComplete());
    EXPECT_TRUE(mSQLLibraryUsable());
    EXPECT_EQ(CountBound(), 27);
    EXPECT_TRUE(Connects());
}

TEST_F(ClientBinding, ALibraryLackingACalledFunctionIsRefusedAtConnect) {
    for (const char* file : {FAKE_NO_STORE_RESULT_CLIENT, FAKE_PARTIAL_CLIENT}) {
        MessageCapture messages;
        LoadmSQLLibrary(file);
        EXPECT_EQ(messages.Messages().size(), 1u) << file;
        EXPECT_TRUE(mSQLLibraryLoaded()) << file;
        EXPECT_FALSE(mSQLLibraryUsable()) << file;
        try {
            Connects();
            ADD_FAILURE() << "connected through " << file;
        } catch (const EmSQLException& e) {
            EXPECT_EQ(e.ErrorCode(), DBIERR_NATIVE);
            EXPECT_EQ(e.GetNativeErrorMsg(), std::string("Error Loading DLL ") + file);
        }
        UnloadmSQLLibrary();
    }
    EXPECT_FALSE(mSQLLibraryUsable()) << "nothing loaded";
}

// Module start and stop. The test program's own automatic start may already count one start;
// every test leaves the count as it found it.
class ClientModule : public ::testing::Test {
protected:
    void SetUp() override { fInitialCount = ClientModuleStartCount(); }
    void TearDown() override {
        while (ClientModuleStartCount() > fInitialCount)
            FinalizeClientModule();
        while (ClientModuleStartCount() < fInitialCount)
            InitializeClientModule();
    }
    int fInitialCount = 0;
};

TEST_F(ClientModule, RepeatedStartOnlyCounts) {
    MessageCapture messages;
    InitializeClientModule();
    UnloadmSQLLibrary();
    LoadmSQLLibrary(FAKE_FULL_CLIENT);
    const uint32_t handle = SQLLibraryHandle;
    const int count = ClientModuleStartCount();
    InitializeClientModule();
    EXPECT_EQ(ClientModuleStartCount(), count + 1);
    EXPECT_EQ(SQLLibraryHandle, handle);
    FinalizeClientModule();
    // Not the balancing stop: the library stays loaded.
    EXPECT_EQ(SQLLibraryHandle, handle);
    EXPECT_EQ(ShortMNames[1], "Jan");
    UnloadmSQLLibrary();
}

TEST_F(ClientModule, BalancingStopUnloadsAndReleasesMonthNamesAndStartRefills) {
    MessageCapture messages;
    InitializeClientModule();
    UnloadmSQLLibrary();
    LoadmSQLLibrary(FAKE_FULL_CLIENT);
    while (ClientModuleStartCount() > 0)
        FinalizeClientModule();
    EXPECT_EQ(SQLLibraryHandle, 32u);
    EXPECT_EQ(CountBound(), 0);
    for (int month = 1; month <= 12; ++month)
        EXPECT_TRUE(ShortMNames[month].empty());

    // A stop without a start changes nothing.
    FinalizeClientModule();
    EXPECT_EQ(ClientModuleStartCount(), 0);

    InitializeClientModule();
    EXPECT_EQ(ClientModuleStartCount(), 1);
    const char* expected[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(ShortMNames[month], expected[month - 1]);
    // The start tried the default library and reported it when it is not on the path.
    if (!mSQLLibraryLoaded()) {
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, "Error Loading DLL libmsql.so");
    }
}

} // namespace
} // namespace corvane
