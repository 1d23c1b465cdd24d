// Conversions between mSQL value texts and host values, and the small text scanners used when
// statements are built and classified.
//
// mSQL sends and accepts every value as text: dates as dd-Mon-yyyy with English month names,
// times as hh:mm:ss, numbers with "." as the decimal separator whatever the host's settings.
// Date-time values are host::TDateTime (days since 1899-12-30, fraction = time of day).
// Apart from the month table every function is stateless, and none changes a process-wide
// setting.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "host/DateTime.h"

namespace corvane {

// Month abbreviations as mSQL date texts carry them, indexed 1 (January) to 12; entry 0 is
// unused. Filled from the host's short month name texts at module start, released (emptied)
// at module end (see ClientModule.h).
extern std::array<std::string, 13> ShortMNames;

// The separators that end a word for GetStatement.
inline constexpr std::string_view StatementSeparators = " \t\n\r";
// The 32 single-character tokens of GetToken, in their classic order.
inline constexpr std::string_view TokenDelimiters = " .:;,+-<>/*%^=()[]|&~@#$\\`{}!?\n\r";

// DateTimeToSqlDate modes.
inline constexpr int SqlDateTimeMode = 0; // date and time: dd-mmm-yyyy hh:nn:ss
inline constexpr int SqlDateMode = 1;     // mSQL DATE: d-Mon-yyyy
inline constexpr int SqlTimeMode = 2;     // mSQL TIME: hh:nn:ss

// Removes the leading separators and the first word from s and returns that word upper-cased
// (ASCII); s keeps the rest, starting with the separator that ended the word.
std::string GetStatement(std::string& s);

// True when the shorter of a and b is a case-insensitive prefix of the longer; false when
// exactly one of them is empty, true when both are.
bool CompareBegin(std::string_view a, std::string_view b);

// Number (1..12) of the first ShortMNames entry equal to name ignoring case; 1 when none is.
int GetMonthNumFromName(std::string_view name);
// ShortMNames entry of number; an empty text for a number outside 1..12.
std::string GetMonthNameFromNum(int number);

// Reads an mSQL date "dd-Mon-yyyy", time "hh:mm:ss" or both separated by blanks. A text of
// at least 10 characters starts with a date; the time follows (or is the whole text when it
// has at least 8 characters). An unreadable day or year counts as 1, an unreadable month as
// January, an unreadable time part as 0; a text shorter than 8 characters gives 0. A date or
// time out of range raises host::EConvertError.
host::TDateTime SqlDateToDateTime(std::string_view s);

// Writes value as mSQL text; an empty text when the part the mode needs is 0:
//   mode 0: "dd-mmm-yyyy hh:nn:ss" (host's current short month names; either part omitted
//           when 0),
//   mode 1: "d-Mon-yyyy" (day and year without padding, month from ShortMNames),
//   mode 2: "hh:nn:ss".
// Any other mode gives an empty text. Times always use ":" whatever the host's separator.
std::string DateTimeToSqlDate(host::TDateTime value, int mode);

// Reads a 14-digit time stamp yyyymmddhhnnss: unreadable year, month or day count as 1,
// unreadable time parts as 0; an invalid date or time raises host::EConvertError.
host::TDateTime SQLTimeStampToDateTime(std::string_view s);

// Reads a number written with "." as the decimal separator; 0 for an empty or invalid text.
double StrToSQLFloat(std::string_view s);
// Writes value in the general format (15 significant digits, shortest form) with "." as the
// decimal separator.
std::string SQLFloatToStr(double value);

// True when the first character of s, lower-cased (ASCII), is one of the characters of
// trueChars; falseChars is not consulted. False for an empty s.
bool StrToBool(std::string_view trueChars, std::string_view falseChars, std::string_view s);

// Removes the next token from the front of s and returns it: a delimiter character, a quoted
// string (quotes included; a backslash escapes the next character; an unterminated string runs
// to the end), or a run of other characters up to a delimiter or quote. Leading blanks and tabs
// are skipped; the token is empty when nothing but them remains.
std::string GetToken(std::string& s);

} // namespace corvane
