// A shallow SQL token scanner: splits statement text into tokens classified by the clause they stand
// in, and finds the table a SELECT reads from. It knows separators, quotes, comments, numbers,
// comparison operators and a fixed keyword list, nothing of SQL grammar beyond that.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// Token kinds; the ordinals are fixed. stSelect..stForUpdate are section kinds: they open a clause,
// and callers pass the last section kind seen as the current section of the next call.
enum TSQLToken : uint8_t {
    stUnknown = 0,
    stTableName = 1,
    stFieldName = 2,
    stAscending = 3,
    stDescending = 4,
    stSelect = 5,
    stFrom = 6,
    stWhere = 7,
    stGroupBy = 8,
    stHaving = 9,
    stUnion = 10,
    stPlan = 11,
    stOrderBy = 12,
    stForUpdate = 13,
    stEnd = 14,
    stPredicate = 15,
    stValue = 16,
    stIsNull = 17,
    stIsNotNull = 18,
    stLike = 19,
    stAnd = 20,
    stOr = 21,
    stNumber = 22,
    stAllFields = 23,
    stComment = 24,
    stDistinct = 25,
};

// True for the kinds that open a clause (stSelect through stForUpdate).
constexpr bool IsSQLSection(TSQLToken kind) { return kind >= stSelect && kind <= stForUpdate; }

// Reads the next token of the zero-terminated text at `position` and advances `position` past what it
// consumed. `token` receives the token text (empty for stEnd); `currentSection` is the section kind the
// caller is in (stUnknown at the start of a statement). Never fails: the end of text yields stEnd.
TSQLToken NextSQLToken(const char*& position, std::string& token, TSQLToken currentSection);

// The first word classified as a table name after the first FROM and before any later clause keyword;
// empty when there is no FROM or no name after it.
std::string GetTableNameFromSQL(const std::string& sql);

}  // namespace corvane
