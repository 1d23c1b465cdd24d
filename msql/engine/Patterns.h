// The LIKE family of mSQL: LIKE and CLIKE wildcard patterns, RLIKE regular expressions and
// SLIKE Soundex matching, plus their registration as SQLite functions.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace msql {

enum class PatternKind { Like = 0, CLike = 1, RLike = 2, SLike = 3 };

// Whole-value match with '%' (any run), '_' (one byte) and '\' escaping the next byte.
bool LikeMatch(std::string_view value, std::string_view pattern, bool ignoreCase);
// Four-character American Soundex code ("" for a value without letters).
std::string Soundex(std::string_view value);
// mSQL's answer to a pattern that does not compile (also to one too complex to match in bounded
// memory).
inline constexpr const char* kMalformedRegexText = "RLIKE expression is malformed";

// True when `pattern` compiles as an RLIKE expression: POSIX extended syntax, repetition counts up
// to 1000, and a compiled form within a fixed memory budget. Matching is linear in the value's
// length and never exceeds that budget.
bool RegexIsValid(std::string_view pattern);
// Whether `pattern` matches anywhere in `value` (unanchored unless the pattern anchors itself;
// '.' and bracket expressions also match a newline; bytes are characters). False for a pattern
// RegexIsValid refuses.
bool RegexMatch(std::string_view value, std::string_view pattern);

// Registers msql_match(value, pattern, kind, negated) on a connection: 1 or 0, and 0 whenever
// the value or the pattern is NULL (mSQL: a comparison with a NULL value is false).
void RegisterPatternFunctions(sqlite3* db);

} // namespace msql
