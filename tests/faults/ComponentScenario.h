// Fault scenarios on the dataset components: the scenario table (ScenarioTable.h), a body written against
// TmSQLDatabase, TmSQLTable, TmSQLQuery and TmSQLUpdateSQL with a step helper that turns the database
// error a step raises into ScenarioStopped (after checking that its message is readable and says what
// failed), and the recovery that closes what the body left behind, reconnects, reopens the same datasets
// and reads them, and finds no socket or file left open.
#pragma once

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ScenarioTable.h"
#include "components/mSQLDbTables.h"
#include "host/DataSource.h"

namespace corvane::test {

class ComponentScenario : public TableScenario {
public:
    // What the application reads when the client failed: the client's texts and the engine's message
    // of a lost result.
    static constexpr const char* FailureTexts[] = {"mSQL server has gone away", "Can't connect to",
                                                   "Lost communication with SQL server"};

    using Body = std::function<void(ComponentScenario&, ScenarioCheckpoints&)>;

    ComponentScenario(int adminSocket, Body body) : TableScenario(adminSocket), fBody(std::move(body)) {}
    ~ComponentScenario() override { Release(); }

    void Run(ScenarioCheckpoints& checkpoints) override {
        fDatabase = std::make_unique<TmSQLDatabase>(nullptr);
        fDatabase->SetDatabaseName("test");
        fBody(*this, checkpoints);
    }
    void Recover(int kind) override;

    // ---- Components for bodies (closed, on the scenario's database; they live until the recovery)

    TmSQLDatabase& Database() { return *fDatabase; }
    TmSQLTable& NewTable(const std::string& indexName = "") {
        fTables.push_back(std::make_unique<TmSQLTable>(nullptr));
        TmSQLTable& table = *fTables.back();
        table.SetDatabase(fDatabase.get());
        table.SetTableName(ScenarioTable);
        if (!indexName.empty()) table.SetIndexName(indexName);
        fDataSets.push_back(&table);
        return table;
    }
    // A query with sql; a select is reopened by the recovery, another statement is not.
    TmSQLQuery& NewQuery(const std::string& sql) {
        fQueries.push_back(std::make_unique<TmSQLQuery>(nullptr));
        TmSQLQuery& query = *fQueries.back();
        query.SetDatabase(fDatabase.get());
        query.SQL()->SetText(sql);
        if (sql.rfind("select", 0) == 0) fDataSets.push_back(&query);
        return query;
    }
    // A data source on dataSet (for a detail's master link).
    host::TDataSource& NewSource(host::TDataSet& dataSet) {
        fSources.push_back(std::make_unique<host::TDataSource>(nullptr));
        fSources.back()->SetDataSet(&dataSet);
        return *fSources.back();
    }
    TmSQLUpdateSQL& NewUpdate() {
        fUpdate = std::make_unique<TmSQLUpdateSQL>(nullptr);
        return *fUpdate;
    }

    // ---- Step helpers for bodies

    // Runs action; a database error it raises is checked and stops the body, any other exception is a
    // fault (a failure must reach the application as a database error).
    template <class Action>
    auto Step(const char* step, Action action) -> decltype(action()) {
        try {
            return action();
        } catch (const host::EDatabaseError& e) {
            ExpectReadable(e, step);
        } catch (const std::exception& e) {
            ADD_FAILURE() << step
                          << ": a failure raised as something other than a database error: " << e.what();
        }
        throw ScenarioStopped{step};
    }
    // A result the body read must be right: a fault may stop a step, never make it lie.
    void Expect(bool condition, const std::string& what) {
        if (condition) return;
        ADD_FAILURE() << "wrong result reported as success: " << what;
        throw ScenarioStopped{what};
    }
    // The message of a failure an application shows: text that says what failed.
    static void ExpectReadable(const host::EDatabaseError& e, const char* step) {
        const std::string& message = e.Message();
        EXPECT_GE(message.size(), 8u) << step << ": no readable message: '" << message << "'";
        EXPECT_TRUE(std::all_of(message.begin(), message.end(),
                                [](char c) {
                                    return c == '\n' || c == '\r' || c == '\t' ||
                                           std::isprint(static_cast<unsigned char>(c));
                                }))
            << step << ": the message holds unprintable bytes: " << message;
        // Every failure a scenario meets is the client's: the message must say so.
        const bool named =
            std::any_of(std::begin(FailureTexts), std::end(FailureTexts),
                        [&](const char* text) { return message.find(text) != std::string::npos; });
        EXPECT_TRUE(named) << step << ": the message does not say what failed: " << message;
        if (const auto* engine = dynamic_cast<const EmSQLDatabaseError*>(&e)) {
            EXPECT_NE(engine->ErrorCode(), 0) << step << ": a database error without a code: " << message;
        }
    }

    // The k of every row of dataSet, read forwards (First, Next) or backwards (Last, Prior).
    std::vector<int32_t> Keys(host::TDataSet& dataSet, bool backwards = false) {
        return Step("scroll", [&] { return ReadKeys(dataSet, backwards); });
    }
    static int32_t K(host::TDataSet& dataSet) { return dataSet.FieldByName("k")->AsInteger(); }

private:
    static std::vector<int32_t> ReadKeys(host::TDataSet& dataSet, bool backwards) {
        std::vector<int32_t> keys;
        if (backwards) {
            dataSet.Last();
            for (int guard = 0; guard < 100 && !dataSet.Bof(); ++guard) {
                keys.push_back(K(dataSet));
                dataSet.Prior();
            }
        } else {
            dataSet.First();
            for (int guard = 0; guard < 100 && !dataSet.Eof(); ++guard) {
                keys.push_back(K(dataSet));
                dataSet.Next();
            }
        }
        return keys;
    }
    // Closes one dataset the run left behind.
    static void CloseAfterFault(TmSQLDataSet& dataSet) {
        if (dataSet.State() == host::dsEdit || dataSet.State() == host::dsInsert) {
            try {
                dataSet.Cancel();
            } catch (const host::EDatabaseError& e) {
                ExpectReadable(e, "Cancel after the fault");
            }
        }
        // Closing may report a failure of a linked component (a detail that cannot read its rows
        // again), but the dataset and its cursor are closed all the same.
        try {
            dataSet.Close();
        } catch (const host::EDatabaseError& e) {
            ExpectReadable(e, "Close after the fault");
        } catch (const std::exception& e) {
            ADD_FAILURE() << "closing a dataset after the fault failed: " << e.what();
        }
        EXPECT_FALSE(dataSet.Active()) << "the dataset did not close";
        EXPECT_EQ(dataSet.Handle(), nullptr) << "the dataset closed without closing its cursor";
    }
    void Release() {
        fUpdate.reset();
        fSources.clear();
        fDataSets.clear();
        fQueries.clear();
        fTables.clear();
        fDatabase.reset();
    }

    // The descriptors open in this process.
    static int OpenFiles() {
        int n = 0;
        if (DIR* dir = opendir("/proc/self/fd")) {
            while (readdir(dir))
                ++n;
            closedir(dir);
        }
        return n;
    }
    int fOpenFiles = -1; // after the first run
    Body fBody;
    std::unique_ptr<TmSQLDatabase> fDatabase;
    std::vector<std::unique_ptr<TmSQLTable>> fTables;
    std::vector<std::unique_ptr<TmSQLQuery>> fQueries;
    std::unique_ptr<TmSQLUpdateSQL> fUpdate;
    std::vector<std::unique_ptr<host::TDataSource>> fSources;
    std::vector<TmSQLDataSet*> fDataSets; // the ones the recovery reopens
};

inline void ComponentScenario::Recover(int /*kind*/) {
    // Whatever the fault left: every dataset closes, the database disconnects and connects again.
    for (TmSQLDataSet* dataSet : fDataSets)
        CloseAfterFault(*dataSet);
    for (auto& query : fQueries)
        if (query->Prepared()) {
            try {
                query->UnPrepare();
            } catch (const std::exception& e) {
                ADD_FAILURE() << "unpreparing a query after the fault failed: " << e.what();
            }
        }
    try {
        fDatabase->Close();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "closing the database after the fault failed: " << e.what();
    }
    try {
        fDatabase->Open();
        // The same datasets open again (masters before their details) and read their rows.
        for (TmSQLDataSet* dataSet : fDataSets) {
            dataSet->Open();
            auto* table = dynamic_cast<TmSQLTable*>(dataSet);
            if (table && !table->MasterSource()) table->CancelRange();
            const std::vector<int32_t> keys = ReadKeys(*dataSet, false);
            EXPECT_EQ(ReadKeys(*dataSet, true).size(), keys.size()) << "forwards and backwards differ";
        }
        for (auto dataSet = fDataSets.rbegin(); dataSet != fDataSets.rend(); ++dataSet)
            (*dataSet)->Close();
        // A table opened now reads what a clean connection sees.
        TmSQLTable& table = NewTable();
        table.Open();
        const std::vector<int32_t> keys = ReadKeys(table, false);
        const std::string state = State();
        EXPECT_EQ(static_cast<long>(keys.size()), std::count(state.begin(), state.end(), '\n'));
        table.Close();
        fDatabase->Close();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "the components cannot be used again after the fault: " << e.what();
    }
    Release();
    // No socket or file outlives the components that used it: the first run sets the count.
    const int files = OpenFiles();
    if (fOpenFiles < 0) fOpenFiles = files;
    EXPECT_LE(files, fOpenFiles) << "a socket or file was left open";
}

} // namespace corvane::test
