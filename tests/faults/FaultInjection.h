// Test side of the fault-injecting client library: its control functions, found in the loaded
// libmsql.so, and the scenario runner that fails each call of a scenario in turn.
//
// A scenario supplies four things (FaultScenario): the initial data, a body that runs the scenario and
// stops at the first failure it meets (after checking the failure's report), a recovery that uses or
// closes what the body left behind, and the state of the data as read through a clean connection.
// RunUnderEveryFault runs the body once without faults to count its calls, then once per failure
// point: for every kind of fault and N = 1, 2, ... until the body completes without the fault being
// reached. After every run the data must be in one of the states the clean run passed through
// (before, a checkpoint the body marked, after): nothing lost, duplicated or half-written.
#pragma once

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "faults/faultclient/FaultControl.h"

namespace corvane::test {

// The control functions of the fault-injecting library loaded in this process as libmsql.so.
class FaultControl {
public:
    static FaultControl& Get() {
        static FaultControl control;
        return control;
    }
    // True when the loaded libmsql.so is the fault-injecting one.
    bool Available() const { return fReset != nullptr; }

    void Reset() const { fReset(); }
    bool Arm(const char* function, long n, MsqlFaultKind kind) const { return fArm(function, n, kind) == 0; }
    long Calls(const char* function = "*") const { return fCalls(function); }
    bool Fired() const { return fFired() != 0; }
    std::string FiredFunction() const { return fFiredFunction(); }
    void Suspend(bool suspended) const { fSuspend(suspended ? 1 : 0); }

private:
    FaultControl() {
        void* module = dlopen("libmsql.so", RTLD_NOW | RTLD_NOLOAD);
        if (!module) return;
        fReset = Find<decltype(fReset)>(module, "msqlFaultReset");
        fArm = Find<decltype(fArm)>(module, "msqlFaultArm");
        fCalls = Find<decltype(fCalls)>(module, "msqlFaultCalls");
        fFired = Find<decltype(fFired)>(module, "msqlFaultFired");
        fFiredFunction = Find<decltype(fFiredFunction)>(module, "msqlFaultFiredFunction");
        fSuspend = Find<decltype(fSuspend)>(module, "msqlFaultSuspend");
        if (!fArm || !fCalls || !fFired || !fFiredFunction || !fSuspend) fReset = nullptr;
        // The library stays loaded: the client binding holds it too.
        dlclose(module);
    }
    template <class F>
    static F Find(void* module, const char* name) {
        return reinterpret_cast<F>(dlsym(module, name));
    }

    void (*fReset)() = nullptr;
    int (*fArm)(const char*, long, int) = nullptr;
    long (*fCalls)(const char*) = nullptr;
    int (*fFired)() = nullptr;
    const char* (*fFiredFunction)() = nullptr;
    void (*fSuspend)(int) = nullptr;
};

// Calls made while it lives are neither counted nor failed.
class FaultsSuspended {
public:
    FaultsSuspended() { FaultControl::Get().Suspend(true); }
    ~FaultsSuspended() { FaultControl::Get().Suspend(false); }
    FaultsSuspended(const FaultsSuspended&) = delete;
    FaultsSuspended& operator=(const FaultsSuspended&) = delete;
};

// Thrown by a scenario body when a step failed (after the failure's report was checked): the body
// stops there, as an application would.
struct ScenarioStopped {
    std::string step;
};

// Where the data stood while the body ran; the body marks a checkpoint after each step that changed it.
class ScenarioCheckpoints {
public:
    explicit ScenarioCheckpoints(std::function<std::string()> state) : fState(std::move(state)) {}
    void Mark() {
        FaultsSuspended suspended;
        fStates.push_back(fState());
    }
    const std::vector<std::string>& States() const { return fStates; }

private:
    std::function<std::string()> fState;
    std::vector<std::string> fStates;
};

class FaultScenario {
public:
    virtual ~FaultScenario() = default;
    // Puts the data into its initial state (faults are off).
    virtual void Prepare() {}
    // The scenario; throws ScenarioStopped at the first failing step.
    virtual void Run(ScenarioCheckpoints& checkpoints) = 0;
    // Faults are off again: uses what Run left behind where it can, then closes all of it. kind is the
    // fault the run met (0 for none).
    virtual void Recover(int kind) = 0;
    // The data as read through a clean connection.
    virtual std::string State() = 0;
};

// What a scenario went through.
struct FaultRunFigures {
    long callsWithoutFaults = 0; // calls that can fail, in the clean run
    long failurePoints = 0;      // runs in which the armed fault was reached
};

// Prints a scenario's figures (and records them as test properties).
inline void ReportFigures(const std::string& name, const FaultRunFigures& figures) {
    ::testing::Test::RecordProperty("failure_points", std::to_string(figures.failurePoints));
    std::printf("[ figures  ] %s: %ld calls that can fail, %ld failure points tried\n", name.c_str(),
                figures.callsWithoutFaults, figures.failurePoints);
}

inline const char* FaultKindName(int kind) {
    switch (kind) {
    case MSQL_FAULT_FAIL:
        return "fail";
    case MSQL_FAULT_LOSE:
        return "lose";
    case MSQL_FAULT_REPLY_LOST:
        return "reply-lost";
    default:
        return "none";
    }
}

inline int TestPartCount() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

// Runs scenario under every failure point of the given kinds (see the file comment). The loop over N
// for one kind stops at the first run that failed a check, so that one fault is reported once.
inline FaultRunFigures RunUnderEveryFault(FaultScenario& scenario,
                                          std::initializer_list<MsqlFaultKind> kinds = {
                                              MSQL_FAULT_FAIL, MSQL_FAULT_LOSE, MSQL_FAULT_REPLY_LOST}) {
    FaultControl& control = FaultControl::Get();
    FaultRunFigures figures;
    if (!control.Available()) {
        ADD_FAILURE() << "the loaded libmsql.so is not the fault-injecting one";
        return figures;
    }

    // The clean run: its call count bounds the failure points, its states are the ones allowed.
    control.Reset();
    scenario.Prepare();
    const std::string before = scenario.State();
    ScenarioCheckpoints clean([&] { return scenario.State(); });
    control.Reset();
    try {
        scenario.Run(clean);
    } catch (const ScenarioStopped& stop) {
        ADD_FAILURE() << "the scenario fails without a fault, at " << stop.step;
    }
    figures.callsWithoutFaults = control.Calls();
    control.Reset();
    scenario.Recover(0);
    const std::string after = scenario.State();
    std::vector<std::string> allowed = clean.States();
    allowed.push_back(before);
    allowed.push_back(after);
    if (TestPartCount() > 0) return figures;

    for (const MsqlFaultKind kind : kinds) {
        // Calls can differ from the clean run once a fault changed the path, so the bound is generous.
        const long limit = 2 * figures.callsWithoutFaults + 10;
        for (long n = 1; n <= limit; ++n) {
            SCOPED_TRACE(std::string("fault ") + FaultKindName(kind) + " at call " + std::to_string(n));
            const int partsBefore = TestPartCount();
            control.Reset();
            scenario.Prepare();
            ScenarioCheckpoints checkpoints([&] { return scenario.State(); });
            bool completed = true;
            std::string stoppedAt;
            control.Arm("*", n, kind);
            try {
                scenario.Run(checkpoints);
            } catch (const ScenarioStopped& stop) {
                completed = false;
                stoppedAt = stop.step;
            }
            const bool fired = control.Fired();
            const std::string function = control.FiredFunction();
            control.Reset();
            SCOPED_TRACE("failed call: " + (fired ? function : std::string("none")) +
                         (completed ? ", scenario completed" : ", stopped at " + stoppedAt));
            scenario.Recover(fired ? kind : 0);
            const std::string state = scenario.State();
            if (completed) {
                EXPECT_EQ(state, after) << "the scenario completed, so all of its work must be there";
            } else {
                EXPECT_NE(std::find(allowed.begin(), allowed.end(), state), allowed.end())
                    << "the data is in none of the states the scenario passes through:\n"
                    << state;
            }
            if (fired) ++figures.failurePoints;
            if (!fired) {
                EXPECT_TRUE(completed) << "without a fault the scenario must complete";
                break;
            }
            if (TestPartCount() > partsBefore) break;
            EXPECT_LT(n, limit) << "the scenario keeps reaching the fault";
        }
    }
    return figures;
}

} // namespace corvane::test
