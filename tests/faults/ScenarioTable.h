// The data every table scenario starts from, and its state as a clean connection reads it.
//
// Scenarios at any level derive from TableScenario and supply Run and Recover: an engine scenario
// (EngineScenario.h) drives TmSQLEngine; a component scenario drives TmSQLDatabase, TmSQLTable and
// TmSQLQuery the same way, turning each EmSQLDatabaseError into ScenarioStopped after checking its
// message, and in Recover closes what the run left open, reopens the dataset and reads it.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "FaultInjection.h"
#include "access/AccessFixture.h"
#include "access/RecordHelpers.h"

namespace corvane::test {

// Table t: k is unique, s has an index of its own (ordering the rows against k), n is a REAL and b a
// TEXT field. Rows k = 1..ScenarioRows.
inline constexpr const char* ScenarioTable = "t";
inline constexpr int ScenarioRows = 5;
inline constexpr uint16_t FieldK = 1, FieldS = 2, FieldN = 3, FieldB = 4;

class TableScenario : public FaultScenario {
public:
    // adminSocket: a connection of the test's own, used only while faults are off.
    explicit TableScenario(int adminSocket) : fAdmin(adminSocket) {}

    void Prepare() override {
        if (m_result* stale = msqlStoreResult()) msqlFreeResult(stale);
        msqlQuery(fAdmin, "drop table t"); // absent the first time
        Admin("create table t (k int not null, s char(12), n real, b text(16))");
        Admin("create unique index tk on t (k)");
        Admin("create index ts on t (s)");
        for (int k = 1; k <= ScenarioRows; ++k) {
            Admin("insert into t values (" + std::to_string(k) + ", 'r" + std::to_string(10 - k) + "', " +
                  std::to_string(k) + ".5, '" + std::string(static_cast<size_t>(k) * 7, 'a' + k) + "')");
        }
    }

    // Every row as "k|s|n|b", sorted by k, one per line.
    std::string State() override {
        std::vector<std::string> rows = QueryRows(fAdmin, "select k, s, n, b from t");
        std::sort(rows.begin(), rows.end(),
                  [](const std::string& a, const std::string& b) { return std::stoi(a) < std::stoi(b); });
        std::string text;
        for (const std::string& row : rows)
            text += row + "\n";
        return text;
    }

protected:
    void Admin(const std::string& sql) {
        EXPECT_GE(msqlQuery(fAdmin, sql.c_str()), 0) << sql << ": " << ClientErrorText();
        if (m_result* result = msqlStoreResult()) msqlFreeResult(result);
    }

    int fAdmin;
};

// A test of table scenarios of one kind (EngineScenario, ComponentScenario) on the fault-injecting
// library: RunScenario runs a body under every failure point and prints the figures.
template <class Scenario>
class TableScenarioTest : public AccessTest {
protected:
    explicit TableScenarioTest(std::string figuresPrefix = "") : fFiguresPrefix(std::move(figuresPrefix)) {}

    void SetUp() override {
        AccessTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(FaultControl::Get().Available()) << "libmsql.so is not the stand-in";
    }
    void TearDown() override {
        FaultControl::Get().Reset();
        AccessTest::TearDown();
    }

    void RunScenario(const char* name, typename Scenario::Body body) {
        Scenario scenario(fAdmin, std::move(body));
        const FaultRunFigures figures = RunUnderEveryFault(scenario);
        EXPECT_GT(figures.failurePoints, 0) << name << " reached no failure point";
        ReportFigures(fFiguresPrefix + name, figures);
    }

private:
    std::string fFiguresPrefix;
};

} // namespace corvane::test
