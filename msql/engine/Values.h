// mSQL value rules: literal checks and conversions per column type, and the output texts of values.
#pragma once

#include "engine/Ast.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace msql {

// A value in the form the storage keeps it: integers (int, uint, money cents, encoded date and
// time), reals with the number of decimals to print, or byte strings.
struct StoredValue {
    enum class Kind { Null, Integer, Real, Text };
    Kind kind = Kind::Null;
    int64_t intValue = 0;
    double realValue = 0;
    int decimals = 0;
    std::string text;
};

// Converts a literal for storage into a column of the given type (INSERT / UPDATE rules).
// `field` names the column in error messages; `length` is the declared length of char columns.
// Throws Error with mSQL's text: wrong type, value range, too large, date / time format.
StoredValue LiteralForColumn(const Literal& literal, int type, int length, const std::string& field);

// Converts a literal for comparison with a column of the given type in a WHERE condition.
// NULL literals are handled by the caller. Throws "Bad type for comparison of '<f>'" and the
// range and date / time format errors.
StoredValue LiteralForComparison(const Literal& literal, int type, const std::string& field);

// Dates are kept as (year + 4096) * 512 + month * 32 + day, times as h * 4096 + m * 64 + s:
// both encodings sort in calendar order.
bool ParseDate(std::string_view text, int64_t& encoded);
bool ParseTime(std::string_view text, int64_t& encoded);

// Output texts (appended to `out`).
void AppendInteger(std::string& out, int64_t value);
void AppendReal(std::string& out, double value, int decimals);
void AppendMoney(std::string& out, int64_t cents);
void AppendDate(std::string& out, int64_t encoded);
void AppendTime(std::string& out, int64_t encoded);

// Money cents from a real, rounding exact halves down as mSQL does (12.345 -> 12.34).
int64_t MoneyCentsFromReal(double value);

} // namespace msql
