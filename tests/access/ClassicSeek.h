// A stand-in for the row seek of a classic mSQL client library, whose msqlDataSeek walks the stored
// row list from the first row, one step for every row passed. While it lives it replaces the bound
// msqlDataSeek, and counts the seeks and the steps walked; fetching stays the client's own.
#pragma once

#include <cstdint>

#include "client/msqlBinding.h"

namespace corvane::test {

class ClassicRowSeek {
public:
    ClassicRowSeek() : fOriginal(msqlDataSeek) {
        Reset();
        msqlDataSeek = &Seek;
    }
    ~ClassicRowSeek() { msqlDataSeek = fOriginal; }
    ClassicRowSeek(const ClassicRowSeek&) = delete;
    ClassicRowSeek& operator=(const ClassicRowSeek&) = delete;

    static int64_t Seeks() { return sSeeks; }
    static int64_t Steps() { return sSteps; }
    static void Reset() {
        sSeeks = 0;
        sSteps = 0;
    }

private:
    static void Seek(m_result* result, int row) {
        ++sSeeks;
        if (!result) return;
        m_data* node = result->queryData;
        for (int i = 0; i < row && node; ++i) {
            node = node->next;
            ++sSteps;
        }
        result->cursor = node;
    }

    msqlDataSeek_t fOriginal;
    static inline int64_t sSeeks = 0;
    static inline int64_t sSteps = 0;
};

} // namespace corvane::test
