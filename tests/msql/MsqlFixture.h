// Test fixture: a fresh data folder per test, one connection with database "test" selected, and
// helpers that run SQL through the C API and collect results as plain values. The suite runs
// twice: on the embedded engine, and with MSQL_TEST_BACKEND=tcp against msqld on the same folder
// over loopback TCP (`host` is then the server's host form).
#pragma once

#include "server/TestServer.h"

#include "msql.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace msqltest {

using Value = std::optional<std::string>;
using Row = std::vector<Value>;
using Rows = std::vector<Row>;

inline char* C(const std::string& s) {
    return const_cast<char*>(s.c_str());
}

// Reads all rows of a result (from the current cursor on) without freeing it.
inline Rows ReadRows(m_result* result) {
    Rows rows;
    while (m_row row = msqlFetchRow(result)) {
        Row r;
        for (int i = 0; i < msqlNumFields(result); ++i)
            r.push_back(row[i] ? Value(row[i]) : std::nullopt);
        rows.push_back(std::move(r));
    }
    return rows;
}

class MsqlTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "msqltest.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dataDir = pattern;
        setenv("MSQL_DATA_DIR", dataDir.c_str(), 1);
        if (BackendIsTcp()) {
            server = std::make_unique<TestServer>(dataDir);
            host = server->Host();
        }
        sock = Connect();
        ASSERT_GE(sock, 0) << msqlGetErrMsg(nullptr);
        ASSERT_EQ(msqlCreateDB(sock, C("test")), 0) << msqlGetErrMsg(nullptr);
        ASSERT_EQ(msqlSelectDB(sock, C("test")), 0) << msqlGetErrMsg(nullptr);
    }

    void TearDown() override {
        if (m_result* stale = msqlStoreResult()) msqlFreeResult(stale);
        if (sock >= 0) msqlClose(sock);
        if (server) {
            EXPECT_EQ(server->Stop(), 0) << "msqld did not stop cleanly";
        }
        std::filesystem::remove_all(dataDir);
    }

    // A new connection to the backend under test.
    int Connect() { return msqlConnect(C(host)); }

    // Runs a statement that must succeed; returns msqlQuery's result.
    int Exec(const std::string& sql) {
        int n = msqlQuery(sock, C(sql));
        EXPECT_GE(n, 0) << sql << ": " << msqlGetErrMsg(nullptr);
        if (m_result* r = msqlStoreResult()) msqlFreeResult(r);
        return n;
    }

    // Runs a statement that must fail; returns the error text.
    std::string Error(const std::string& sql) {
        int n = msqlQuery(sock, C(sql));
        EXPECT_EQ(n, -1) << sql;
        if (m_result* r = msqlStoreResult()) msqlFreeResult(r);
        return msqlGetErrMsg(nullptr);
    }

    // Runs a SELECT and returns its rows.
    Rows Select(const std::string& sql) {
        int n = msqlQuery(sock, C(sql));
        EXPECT_GE(n, 0) << sql << ": " << msqlGetErrMsg(nullptr);
        m_result* r = msqlStoreResult();
        if (!r) {
            ADD_FAILURE() << "no result for " << sql;
            return {};
        }
        EXPECT_EQ(n, msqlNumRows(r));
        Rows rows = ReadRows(r);
        msqlFreeResult(r);
        return rows;
    }

    // The single value of a one-row, one-column SELECT.
    Value One(const std::string& sql) {
        Rows rows = Select(sql);
        if (rows.size() != 1 || rows[0].size() != 1) {
            ADD_FAILURE() << "expected one value from " << sql;
            return std::nullopt;
        }
        return rows[0][0];
    }

    std::string dataDir;
    std::string host; // "" for the embedded engine
    std::unique_ptr<TestServer> server;
    int sock = -1;
};

// Builds expected rows: R({"1", "a"}), with NUL for NULL.
inline const Value NUL = std::nullopt;

} // namespace msqltest
