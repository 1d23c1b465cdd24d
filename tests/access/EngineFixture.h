// Test fixture for the engine call surface: an engine, a database handle opened through it on the
// per-test database, and helpers that open cursors and read rows through the engine only.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "AccessFixture.h"

namespace corvane::test {

class EngineTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        host::TStringList params;
        params.Add("DatabaseName=test");
        if (!fHost.empty()) params.Add("Host=" + fHost);
        ASSERT_EQ(engine.OpenDatabase(params, db), DBIERR_NONE) << engine.GetNativeErrorMsg();
    }

    void TearDown() override {
        for (hDBICur& cursor : cursors) {
            if (cursor) {
                EXPECT_EQ(engine.CloseCursor(cursor), DBIERR_NONE);
            }
        }
        if (db) {
            EXPECT_EQ(engine.CloseDatabase(db), DBIERR_NONE);
        }
        AccessTest::TearDown();
    }

    // A table cursor on table, closed at the end of the test unless the test closes it first.
    hDBICur& Table(const std::string& table, const std::string& indexName = "") {
        hDBICur cursor = nullptr;
        EXPECT_EQ(engine.OpenTable(db, table, "", indexName, "", 0, dbiREADWRITE, dbiOPENSHARED, xltNONE,
                                   false, nullptr, cursor),
                  DBIERR_NONE)
            << engine.GetNativeErrorMsg();
        return Keep(cursor);
    }

    // Closes cursor at the end of the test unless the test closes it first.
    hDBICur& Keep(hDBICur cursor) {
        cursors.push_back(cursor);
        return cursors.back();
    }

    // A zero-filled record buffer of the cursor's size.
    std::vector<uint8_t> Record(hDBICur cursor) {
        CURProps props;
        EXPECT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
        return std::vector<uint8_t>(props.iRecBufSize, 0);
    }

    // Field number's INT value in record, read through the engine.
    int32_t IntField(hDBICur cursor, std::vector<uint8_t>& record, uint16_t number) {
        int32_t value = -1;
        bool blank = true;
        EXPECT_EQ(engine.GetField(cursor, number, record.data(), &value, blank), DBIERR_NONE);
        EXPECT_FALSE(blank);
        return value;
    }

    // The INT values of field number in every row, read forwards from the beginning.
    std::vector<int32_t> Column(hDBICur cursor, uint16_t number = 1) {
        std::vector<uint8_t> record = Record(cursor);
        std::vector<int32_t> values;
        EXPECT_EQ(engine.SetToBegin(cursor), DBIERR_NONE);
        DBIResult result;
        while ((result = engine.GetNextRecord(cursor, dbiNOLOCK, record.data(), nullptr)) == DBIERR_NONE)
            values.push_back(IntField(cursor, record, number));
        EXPECT_EQ(result, DBIERR_EOF);
        return values;
    }

    TmSQLEngine engine;
    hDBIDb db = nullptr;
    // Cursors closed at the end of the test (a deque: Keep hands out references into it).
    std::deque<hDBICur> cursors;
};

} // namespace corvane::test
