// Test fixture for the native access layer and the layers above it: a fresh mSQL data folder per test
// with database "test", the client library bound through the real dynamic loader, an administrative
// socket for setting up tables and rows, and helpers to open Corvane connections and cursors. With
// MSQL_TEST_BACKEND=tcp every connection goes to an msqld started per test on the same folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "access/mSQLAccess.h"
#include "client/msqlBinding.h"
#include "host/Strings.h"
#include "server/TestServer.h"

namespace corvane::test {

// Replaces a bound client function variable for the scope and puts the original back afterwards.
template <class F>
class ScopedClientFunction {
public:
    ScopedClientFunction(F& variable, F replacement) : fVariable(variable), fOriginal(variable) {
        fVariable = replacement;
    }
    ~ScopedClientFunction() { fVariable = fOriginal; }
    ScopedClientFunction(const ScopedClientFunction&) = delete;
    ScopedClientFunction& operator=(const ScopedClientFunction&) = delete;

private:
    F& fVariable;
    F fOriginal;
};

// While it lives, the client library hands out every row whose second column reads `marker` with the
// unreadable number text "2x" in its first column (the server itself never sends such a text).
class UnreadableNumberInRow {
public:
    explicit UnreadableNumberInRow(const char* marker) : fFetch(msqlFetchRow, Fetch) {
        sMarker = marker;
        sRealFetch = fOriginal;
    }
    UnreadableNumberInRow(const UnreadableNumberInRow&) = delete;
    UnreadableNumberInRow& operator=(const UnreadableNumberInRow&) = delete;

private:
    static m_row Fetch(m_result* result) {
        static char badNumber[] = "2x";
        static char* fakeRow[2];
        m_row row = sRealFetch(result);
        if (!row || !row[1] || std::strcmp(row[1], sMarker) != 0) return row;
        fakeRow[0] = badNumber;
        fakeRow[1] = row[1];
        return fakeRow;
    }
    msqlFetchRow_t fOriginal = msqlFetchRow;
    ScopedClientFunction<msqlFetchRow_t> fFetch;
    static inline const char* sMarker = "";
    static inline msqlFetchRow_t sRealFetch = nullptr;
};

// Runs action, which must raise EmSQLException with code; returns the exception for further checks.
template <class Action>
EmSQLException ExpectNativeError(DBIResult code, Action action) {
    try {
        action();
    } catch (const EmSQLException& e) {
        EXPECT_EQ(e.ErrorCode(), code) << e.GetNativeErrorMsg();
        return e;
    }
    ADD_FAILURE() << "no EmSQLException, expected code " << code;
    return EmSQLException(DBIERR_NONE);
}

class AccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvane-access.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        fDataDir = pattern;
        setenv("MSQL_DATA_DIR", fDataDir.c_str(), 1);
        ASSERT_TRUE(TryLoadmSQLLibrary()) << mSQLLoadErrorText();
        ASSERT_TRUE(mSQLLibraryComplete());
        if (msqltest::BackendIsTcp()) {
            fServer = std::make_unique<msqltest::TestServer>(fDataDir);
            fHost = fServer->Host();
        }
        fAdmin = msqlConnect(fHost.c_str());
        ASSERT_GE(fAdmin, 0) << ClientErrorText();
        ASSERT_EQ(msqlCreateDB(fAdmin, "test"), 0) << ClientErrorText();
        ASSERT_EQ(msqlSelectDB(fAdmin, "test"), 0) << ClientErrorText();
    }

    void TearDown() override {
        if (mSQLLibraryComplete()) {
            if (m_result* stale = msqlStoreResult()) msqlFreeResult(stale);
            if (fAdmin >= 0) msqlClose(fAdmin);
        }
        if (fServer) {
            EXPECT_EQ(fServer->Stop(), 0) << "msqld did not stop cleanly";
        }
        std::error_code ignored;
        std::filesystem::remove_all(fDataDir, ignored);
    }

    // Runs a statement on the administrative socket; it must succeed.
    void Exec(const std::string& sql) {
        EXPECT_GE(msqlQuery(fAdmin, sql.c_str()), 0) << sql << ": " << ClientErrorText();
        if (m_result* result = msqlStoreResult()) msqlFreeResult(result);
    }

    // A connected TNativeConnect on database (with host; default: the backend under test).
    std::unique_ptr<TNativeConnect> Connect(const std::string& database = "test",
                                            const std::string& host = "") {
        auto connection = std::make_unique<TNativeConnect>();
        host::TStringList params;
        params.Add("DatabaseName=" + database);
        const std::string& target = host.empty() ? fHost : host;
        if (!target.empty()) params.Add("Host=" + target);
        connection->ProcessDBParams(params);
        connection->InternalConnect();
        return connection;
    }

    // A table cursor opened through the connection.
    static std::unique_ptr<TNativeDataSet> OpenTable(TNativeConnect& connection, const std::string& table) {
        TNativeDataSet* cursor = nullptr;
        connection.OpenTable(table, "", 0, dbiREADWRITE, dbiOPENSHARED, cursor);
        return std::unique_ptr<TNativeDataSet>(cursor);
    }

    // A work buffer of the cursor's size, zero-filled.
    static std::vector<uint8_t> WorkBuffer(TNativeDataSet& cursor) {
        return std::vector<uint8_t>(static_cast<size_t>(cursor.GetWorkBufferSize()), 0);
    }

    // Field number's INT value in buffer (host form).
    static int32_t IntField(TNativeDataSet& cursor, uint8_t* buffer, uint16_t number) {
        int32_t value = -1;
        bool blank = true;
        cursor.GetField(number, buffer, &value, blank);
        EXPECT_FALSE(blank);
        return value;
    }

    std::string fDataDir;
    std::string fHost; // the backend's host form: "" for the embedded engine
    std::unique_ptr<msqltest::TestServer> fServer;
    int fAdmin = -1;
};

// Reads a value of type T at offset of a byte buffer.
template <class T>
T At(const std::vector<uint8_t>& buffer, size_t offset) {
    T value;
    std::memcpy(&value, buffer.data() + offset, sizeof value);
    return value;
}

// Writes value at offset of a byte buffer.
template <class T>
void Put(std::vector<uint8_t>& buffer, size_t offset, T value) {
    std::memcpy(buffer.data() + offset, &value, sizeof value);
}

} // namespace corvane::test
