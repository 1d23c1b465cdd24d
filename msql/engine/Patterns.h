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
// True when `pattern` compiles as a POSIX extended regular expression.
bool RegexIsValid(const std::string& pattern);

// Registers msql_match(value, pattern, kind, negated) on a connection: 1 or 0, and 0 whenever
// the value or the pattern is NULL (mSQL: a comparison with a NULL value is false).
void RegisterPatternFunctions(sqlite3* db);

} // namespace msql
