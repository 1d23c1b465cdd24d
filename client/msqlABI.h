// The C ABI of the mSQL client library (msql.h): result records, type codes and field flags.
//
// Declared here rather than taken from a client header so that Corvane works with any mSQL
// client library on the library path (a real one or ours). The member order is the ABI; the
// layout is the natural C layout, so on 64-bit Linux the pointers are 8 bytes and the
// structures are padded as a C compiler pads them. Type codes and flags are constants instead
// of macros so that they never clash with a real msql.h included in the same program.
#pragma once

#include <cstddef>

namespace corvane {

// A row: one pointer per field in result order; a null pointer is an SQL NULL.
using m_row = char**;

// One field description, owned by the client library.
struct m_field {
    char* name;
    char* table;
    int type;   // type code (INT_TYPE ...)
    int length; // declared length in bytes
    int flags;  // NOT_NULL_FLAG | UNIQUE_FLAG
};

// Step and current value of a table's sequence.
struct m_seq {
    int step;
    int value;
};

// One row node of a stored result.
struct m_data {
    int width; // number of values in the row
    m_row data;
    m_data* next;
};

// One field node of a stored result.
struct m_fdata {
    m_field field;
    m_fdata* next;
};

// A stored or list result, owned by the client library until msqlFreeResult.
struct m_result {
    m_data* queryData;    // first row node
    m_data* cursor;       // next row to fetch
    m_fdata* fieldData;   // first field node
    m_fdata* fieldCursor; // next field to fetch
    int numRows;
    int numFields;
};

#if defined(__LP64__)
static_assert(sizeof(m_field) == 32 && offsetof(m_field, type) == 16 && offsetof(m_field, length) == 20 &&
              offsetof(m_field, flags) == 24);
static_assert(sizeof(m_seq) == 8);
static_assert(sizeof(m_data) == 24 && offsetof(m_data, data) == 8 && offsetof(m_data, next) == 16);
static_assert(sizeof(m_fdata) == 40 && offsetof(m_fdata, next) == 32);
static_assert(sizeof(m_result) == 40 && offsetof(m_result, fieldCursor) == 24 &&
              offsetof(m_result, numRows) == 32 && offsetof(m_result, numFields) == 36);
#endif

// msqlNumRows / msqlNumFields of msql.h (macros there, not exported functions).
inline int msqlNumRows(const m_result* res) {
    return res->numRows;
}
inline int msqlNumFields(const m_result* res) {
    return res->numFields;
}

// Type codes (m_field.type).
inline constexpr int INT_TYPE = 1;
inline constexpr int CHAR_TYPE = 2;
inline constexpr int REAL_TYPE = 3;
inline constexpr int IDENT_TYPE = 4;
inline constexpr int NULL_TYPE = 5;
inline constexpr int TEXT_TYPE = 6;
inline constexpr int DATE_TYPE = 7;
inline constexpr int UINT_TYPE = 8;
inline constexpr int MONEY_TYPE = 9;
inline constexpr int TIME_TYPE = 10;
inline constexpr int LAST_REAL_TYPE = 10;
inline constexpr int IDX_TYPE = 253; // index pseudo-field of msqlListFields
inline constexpr int SYSVAR_TYPE = 254;
inline constexpr int ANY_TYPE = 255;

// Field flags (m_field.flags).
inline constexpr int NOT_NULL_FLAG = 1;
inline constexpr int UNIQUE_FLAG = 2;

// True when the not-null flag (bit 0) is set in flags.
constexpr bool IS_NOT_NULL(int flags) {
    return (flags & NOT_NULL_FLAG) != 0;
}
// True when the unique flag (bit 1) is set in flags.
constexpr bool IS_UNIQUE(int flags) {
    return (flags & UNIQUE_FLAG) != 0;
}

} // namespace corvane
