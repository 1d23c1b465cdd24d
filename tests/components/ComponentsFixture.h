// Test fixture for the dataset components: the access fixture's fresh mSQL data folder per test with
// database "test" and its administrative socket, plus database components, captured message boxes
// and application exceptions, and a way to run with another client library.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "access/AccessFixture.h"
#include "client/MessageCapture.h"
#include "client/msqlBinding.h"
#include "components/mSQLDbTables.h"
#include "host/Application.h"

namespace corvane::test {

// Records the exceptions handed to the application's handler while it lives.
class ApplicationExceptions {
public:
    ApplicationExceptions()
        : fPrevious(host::Application().SetOnException(
              [this](host::TObject*, const std::exception& e) { fMessages.emplace_back(e.what()); })) {}
    ~ApplicationExceptions() { host::Application().SetOnException(fPrevious); }
    ApplicationExceptions(const ApplicationExceptions&) = delete;
    ApplicationExceptions& operator=(const ApplicationExceptions&) = delete;

    const std::vector<std::string>& Messages() const { return fMessages; }

private:
    std::vector<std::string> fMessages;
    host::TExceptionEvent fPrevious;
};

// Runs action, which must raise EmSQLDatabaseError with code; returns its message.
template <class Action>
std::string ExpectDatabaseError(DBIResult code, Action action) {
    try {
        action();
    } catch (const EmSQLDatabaseError& e) {
        EXPECT_EQ(e.ErrorCode(), code) << e.Message();
        return e.Message();
    }
    ADD_FAILURE() << "no EmSQLDatabaseError, expected code " << code;
    return {};
}

// Runs action, which must raise a host database error (not an engine one); returns its message.
template <class Action>
std::string ExpectHostError(Action action) {
    try {
        action();
    } catch (const EmSQLDatabaseError& e) {
        ADD_FAILURE() << "engine error instead of a host error: " << e.Message();
        return e.Message();
    } catch (const host::EDatabaseError& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no EDatabaseError";
    return {};
}

class ComponentsTest : public AccessTest {
protected:
    void TearDown() override {
        databases.clear();
        if (!mSQLLibraryComplete()) {
            // A test ran with another client library: the administrative socket went with the
            // library it belonged to.
            UnloadmSQLLibrary();
            TryLoadmSQLLibrary();
            fAdmin = -1;
        }
        AccessTest::TearDown();
    }

    // A database component on database name (not connected), destroyed with the test.
    TmSQLDatabase* NewDatabase(const std::string& name = "test", bool handleShared = false) {
        auto database = std::make_unique<TmSQLDatabase>(nullptr);
        database->SetHandleShared(handleShared);
        database->SetDatabaseName(name);
        databases.push_back(std::move(database));
        return databases.back().get();
    }

    // The rows of a one-column query on the administrative socket, as texts ("NULL" for null).
    std::vector<std::string> Column(const std::string& sql) {
        std::vector<std::string> values;
        EXPECT_GE(msqlQuery(fAdmin, sql.c_str()), 0) << sql << ": " << ClientErrorText();
        m_result* result = msqlStoreResult();
        if (!result) return values;
        while (m_row row = msqlFetchRow(result))
            values.emplace_back(row[0] ? row[0] : "NULL");
        msqlFreeResult(result);
        return values;
    }

    // Runs the test body with the client library file instead of ours; ours is loaded again at
    // the end of the test (TearDown). The administrative socket is gone from then on.
    void UseClientLibrary(const std::string& file) {
        UnloadmSQLLibrary();
        fAdmin = -1;
        if (!file.empty()) TryLoadmSQLLibrary(file);
    }

    std::vector<std::unique_ptr<TmSQLDatabase>> databases;
};

} // namespace corvane::test
