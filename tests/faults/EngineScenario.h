// Fault scenarios on the engine call surface: the scenario table (ScenarioTable.h), a body written against
// TmSQLEngine with step helpers that stop the body at the first failing call (after checking that its
// result code comes with a readable message), and the recovery that uses, closes and reopens what the
// body left behind.
#pragma once

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ScenarioTable.h"
#include "access/EngineMessages.h"

namespace corvane::test {

class EngineScenario : public TableScenario {
public:
    using Body = std::function<void(EngineScenario&, ScenarioCheckpoints&)>;

    EngineScenario(int adminSocket, Body body) : TableScenario(adminSocket), fBody(std::move(body)) {}

    void Run(ScenarioCheckpoints& checkpoints) override { fBody(*this, checkpoints); }
    void Recover(int kind) override;

    // ---- Step helpers for bodies

    TmSQLEngine& Engine() { return fEngine; }
    hDBIDb Database() const { return fDatabase; }

    // code must be success; otherwise the report is checked and the body stops.
    void Ok(DBIResult code, const char* step) {
        if (code == DBIERR_NONE) return;
        ExpectReadable(code, step);
        throw ScenarioStopped{step};
    }
    // code must be one of expected; otherwise as Ok.
    DBIResult Allow(DBIResult code, std::initializer_list<DBIResult> expected, const char* step) {
        if (std::find(expected.begin(), expected.end(), code) != expected.end()) return code;
        ExpectReadable(code, step);
        throw ScenarioStopped{step};
    }
    // A result the body read must be right: a fault may stop a step, never make it lie.
    void Expect(bool condition, const std::string& what) {
        if (condition) return;
        ADD_FAILURE() << "wrong result reported as success: " << what;
        throw ScenarioStopped{what};
    }
    // The report of a failed call: a code with a message in the table, or the client's text.
    void ExpectReadable(DBIResult code, const char* step) {
        if (code == DBIERR_NATIVE) {
            EXPECT_FALSE(fEngine.GetNativeErrorMsg().empty()) << step << ": client failure without text";
        } else {
            EXPECT_FALSE(EngineMessage(code).empty()) << step << ": code " << code << " has no message";
        }
    }

    void OpenDatabase() {
        host::TStringList params;
        params.Add("DatabaseName=test");
        Ok(fEngine.OpenDatabase(params, fDatabase), "OpenDatabase");
    }
    hDBICur OpenTable(const std::string& indexName = "") {
        hDBICur cursor = nullptr;
        Ok(fEngine.OpenTable(fDatabase, ScenarioTable, "", indexName, "", 0, dbiREADWRITE, dbiOPENSHARED,
                             xltNONE, false, nullptr, cursor),
           "OpenTable");
        return Keep(cursor);
    }
    // Closes cursor at the end of the run unless the body closed it (then it must forget it: Forget).
    hDBICur Keep(hDBICur cursor) {
        if (cursor) fCursors.push_back(cursor);
        return cursor;
    }
    void Forget(hDBICur cursor) {
        fCursors.erase(std::remove(fCursors.begin(), fCursors.end(), cursor), fCursors.end());
    }
    hDBIStmt KeepStatement(hDBIStmt statement) {
        if (statement) fStatements.push_back(statement);
        return statement;
    }
    std::vector<uint8_t> Record(hDBICur cursor) {
        CURProps props;
        Ok(fEngine.GetCursorProps(cursor, props), "GetCursorProps");
        std::vector<uint8_t> record(props.iRecBufSize, 0);
        Ok(fEngine.InitRecord(cursor, record.data()), "InitRecord");
        return record;
    }
    int32_t K(hDBICur cursor, std::vector<uint8_t>& record) {
        int32_t value = 0;
        bool blank = true;
        Ok(fEngine.GetField(cursor, FieldK, record.data(), &value, blank), "GetField");
        Expect(!blank, "k is never blank");
        return value;
    }
    // The k of every row, read forwards (or backwards) through the cursor.
    std::vector<int32_t> Keys(hDBICur cursor, bool backwards = false) {
        std::vector<uint8_t> record = Record(cursor);
        std::vector<int32_t> keys;
        Ok(backwards ? fEngine.SetToEnd(cursor) : fEngine.SetToBegin(cursor), "SetToBegin/End");
        for (;;) {
            const DBIResult code = backwards
                                       ? fEngine.GetPriorRecord(cursor, dbiNOLOCK, record.data(), nullptr)
                                       : fEngine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr);
            if (Allow(code, {DBIERR_NONE, DBIERR_EOF, DBIERR_BOF}, "GetNext/PriorRecord") != DBIERR_NONE)
                break;
            keys.push_back(K(cursor, record));
        }
        return keys;
    }
    // Moves cursor onto the row with key k (reading forwards) and returns that row's record.
    std::vector<uint8_t> SeekKey(hDBICur cursor, int32_t k) {
        std::vector<uint8_t> record = Record(cursor);
        Ok(fEngine.SetToBegin(cursor), "SetToBegin");
        for (;;) {
            Ok(fEngine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr), "GetNextRecord");
            if (K(cursor, record) == k) return record;
        }
    }

private:
    // After a run: every cursor is used if it can be and closed, every statement freed, the database
    // closed; then a new connection reads the table.
    void UseOrClose(hDBICur cursor, int kind);

    Body fBody;
    TmSQLEngine fEngine;
    hDBIDb fDatabase = nullptr;
    std::vector<hDBICur> fCursors;
    std::vector<hDBIStmt> fStatements;
};

inline void EngineScenario::UseOrClose(hDBICur cursor, int /*kind*/) {
    // Whatever the fault left, reading the cursor gives rows or a reported failure, and it closes.
    int32_t count = 0;
    const DBIResult counted = fEngine.GetRecordCount(cursor, count);
    if (counted != DBIERR_NONE) ExpectReadable(counted, "GetRecordCount after the fault");
    CURProps props;
    if (fEngine.GetCursorProps(cursor, props) == DBIERR_NONE && props.iRecBufSize > 0) {
        std::vector<uint8_t> record(props.iRecBufSize, 0);
        for (const bool forwards : {true, false}) {
            EXPECT_EQ(forwards ? fEngine.SetToBegin(cursor) : fEngine.SetToEnd(cursor), DBIERR_NONE);
            DBIResult code = DBIERR_NONE;
            for (int guard = 0; guard < 1000 && code == DBIERR_NONE; ++guard)
                code = forwards ? fEngine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr)
                                : fEngine.GetPriorRecord(cursor, dbiNOLOCK, record.data(), nullptr);
            if (code != DBIERR_EOF && code != DBIERR_BOF) ExpectReadable(code, "reading after the fault");
        }
    }
    EXPECT_EQ(fEngine.CloseCursor(cursor), DBIERR_NONE);
}

inline void EngineScenario::Recover(int kind) {
    for (hDBICur cursor : fCursors)
        UseOrClose(cursor, kind);
    fCursors.clear();
    for (hDBIStmt statement : fStatements)
        EXPECT_EQ(fEngine.QFree(statement), DBIERR_NONE);
    fStatements.clear();
    if (fDatabase) {
        EXPECT_EQ(fEngine.CloseDatabase(fDatabase), DBIERR_NONE);
    }
    fDatabase = nullptr;

    // Reopened, the table reads as a clean connection sees it.
    TmSQLEngine engine;
    hDBIDb database = nullptr;
    host::TStringList params;
    params.Add("DatabaseName=test");
    ASSERT_EQ(engine.OpenDatabase(params, database), DBIERR_NONE) << engine.GetNativeErrorMsg();
    hDBICur cursor = nullptr;
    EXPECT_EQ(engine.OpenTable(database, ScenarioTable, "", "", "", 0, dbiREADWRITE, dbiOPENSHARED, xltNONE,
                               false, nullptr, cursor),
              DBIERR_NONE)
        << engine.GetNativeErrorMsg();
    if (cursor) {
        int32_t count = -1;
        EXPECT_EQ(engine.GetRecordCount(cursor, count), DBIERR_NONE);
        const std::string state = State();
        EXPECT_EQ(count, std::count(state.begin(), state.end(), '\n'));
        EXPECT_EQ(engine.CloseCursor(cursor), DBIERR_NONE);
    }
    EXPECT_EQ(engine.CloseDatabase(database), DBIERR_NONE);
}

} // namespace corvane::test
