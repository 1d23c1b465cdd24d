// Helpers for tests that fill work buffers and look at what the server holds.
#pragma once

#include <string>
#include <vector>

#include "AccessFixture.h"
#include "host/DateTime.h"

namespace corvane::test {

inline void SetInt(TNativeDataSet& cursor, std::vector<uint8_t>& record, uint16_t field, int32_t value) {
    cursor.PutField(field, record.data(), &value);
}
inline void SetText(TNativeDataSet& cursor, std::vector<uint8_t>& record, uint16_t field,
                    const std::string& value) {
    cursor.PutField(field, record.data(), value.c_str());
}
inline void SetReal(TNativeDataSet& cursor, std::vector<uint8_t>& record, uint16_t field, double value) {
    cursor.PutField(field, record.data(), &value);
}
// A DATE field in host form: the day number (0001-01-01 is day 1).
inline void SetDate(TNativeDataSet& cursor, std::vector<uint8_t>& record, uint16_t field, int year, int month,
                    int day) {
    const int32_t dayNumber = static_cast<int32_t>(host::EncodeDate(year, month, day)) + DateDelta;
    cursor.PutField(field, record.data(), &dayNumber);
}
// A TIME field in host form: milliseconds since midnight.
inline void SetTime(TNativeDataSet& cursor, std::vector<uint8_t>& record, uint16_t field, int hour,
                    int minute, int second) {
    const int32_t msecs = ((hour * 60 + minute) * 60 + second) * 1000;
    cursor.PutField(field, record.data(), &msecs);
}
inline void SetNull(TNativeDataSet& cursor, std::vector<uint8_t>& record, uint16_t field) {
    cursor.PutField(field, record.data(), nullptr);
}

// A fresh record of the cursor: zero-filled, every field null and unchanged.
inline std::vector<uint8_t> NewRecord(TNativeDataSet& cursor) {
    std::vector<uint8_t> record(static_cast<size_t>(cursor.GetWorkBufferSize()), 0);
    cursor.InitRecord(record.data());
    return record;
}

// The rows of a SELECT run on the administrative socket, each as its values joined by "|", NULL as
// "NULL".
inline std::vector<std::string> QueryRows(int socket, const std::string& sql) {
    std::vector<std::string> rows;
    EXPECT_GE(msqlQuery(socket, sql.c_str()), 0) << sql << ": " << ClientErrorText();
    m_result* result = msqlStoreResult();
    if (!result) return rows;
    while (m_row row = msqlFetchRow(result)) {
        std::string text;
        for (int i = 0; i < msqlNumFields(result); ++i) {
            if (i > 0) text += '|';
            text += row[i] ? row[i] : "NULL";
        }
        rows.push_back(text);
    }
    msqlFreeResult(result);
    return rows;
}

// The cursor's current row, its values joined by "|" (NULL as "NULL").
inline std::string CurrentRow(const TNativeDataSet& cursor) {
    std::string text;
    for (int i = 0; i < cursor.FieldCount(); ++i) {
        if (i > 0) text += '|';
        const char* value = cursor.FieldBuffer(i);
        text += value ? value : "NULL";
    }
    return text;
}

} // namespace corvane::test
