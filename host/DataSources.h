// Constraint-description requests (DsInfoReq) and the DataSources record a dataset answers them
// in: where a field comes from (database, table, column), its default value, its constraint
// expressions and error messages, and the dataset's record constraints.
//
// DataSources is a fixed-layout record (packed, texts zero-terminated in fixed slots). Copy texts
// in with CopyToSlot, which cuts them to the slot and always terminates; read them back with
// SlotText.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace host {

// What a constraint-description request asks for. Values 0..2 belong to requests datasets do
// not answer.
enum DsInfoReq : int32_t {
    // Where the field named by szSourceFldName comes from: szDbName, szTblName, szOrigFldName.
    dsFieldSource = 3,
    // The default value of the field named by szSourceFldName, into szSQLExprImport.
    dsFieldDefault = 4,
    // The named field's constraints: imported and custom expressions (szSQLExprImport,
    // szSQLExprCustom), its error message (szErrStrImport, szErrStrCustom) and bRequired.
    dsFieldDomainExpr = 5,
    // Record constraint number iNumElem (1-based): the same slots as a field constraint.
    dsTableConstraint = 6,
    // The number of record constraints, written into iNumElem.
    dsNumTblConstraint = 7
};

inline constexpr int DsMaxNameLen = 31;       // database, field names
inline constexpr int DsMaxTableNameLen = 260; // table names
inline constexpr int DsMaxExprLen = 1023;     // constraint and default expressions
inline constexpr int DsMaxMsgLen = 127;       // constraint error messages

#pragma pack(push, 1)
struct DataSources {
    uint16_t iNumElem;                      // record constraint number / constraint count
    char szDbName[DsMaxNameLen + 1];        // database the field comes from
    char szTblName[DsMaxTableNameLen + 1];  // table the field comes from
    char szSourceFldName[DsMaxNameLen + 1]; // the field asked about (set by the requester)
    char szOrigFldName[DsMaxNameLen + 1];   // the field's column in that table
    char szSQLExprImport[DsMaxExprLen + 1]; // imported constraint, or the default value
    char szSQLExprCustom[DsMaxExprLen + 1]; // custom constraint
    char szErrStrImport[DsMaxMsgLen + 1];   // error message of the imported constraint
    char szErrStrCustom[DsMaxMsgLen + 1];   // error message of the custom constraint
    int16_t bRequired;                      // 16-bit Boolean: -1 required, 0 not
};
#pragma pack(pop)
static_assert(sizeof(DataSources) == 2665, "DataSources is a fixed-layout record");

// Copies text into slot, cut to slot's size less one, zero-terminated; the rest of the slot is
// zeroed.
template <size_t N>
void CopyToSlot(char (&slot)[N], std::string_view text) {
    static_assert(N > 0);
    const size_t n = std::min(text.size(), N - 1);
    if (n > 0) std::memcpy(slot, text.data(), n);
    std::memset(slot + n, 0, N - n);
}

// The text of slot: up to its first zero byte, at most the whole slot.
template <size_t N>
std::string SlotText(const char (&slot)[N]) {
    const void* end = std::memchr(slot, 0, N);
    return std::string(slot, end != nullptr ? static_cast<const char*>(end) - slot : N);
}

} // namespace host
