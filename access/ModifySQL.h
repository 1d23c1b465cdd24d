// SQL literals as mSQL reads them, and the substitution of parameter values into statement text.
//
// Every value the native layer writes into a statement (INSERT values, UPDATE assignments, key
// conditions, range bounds, query parameters) goes through these functions, so that a value can never
// end a literal early or add SQL of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/DateTime.h"

namespace host {
class TParam;
class TParams;
} // namespace host

namespace corvane {

// text as an mSQL string literal: enclosed in single quotes, with a backslash before every "'" and
// every "\" inside (mSQL ends a literal at the first unescaped quote and reads a backslash as an
// escape; a doubled quote is no escape there). Statements travel as zero-terminated text, so a text
// with a zero byte cannot be carried: it raises EmSQLException DBIERR_INVALIDPARAM, never cut.
std::string mSQLQuote(std::string_view text);

// value as an mSQL numeric literal that reads back as exactly the same double: the shortest such
// decimal, "." as the separator whatever the locale, and an exponent only after a fraction and with a
// sign ("1.0e+20"), the only exponent form mSQL reads. A value that is not finite raises EmSQLException
// DBIERR_INVALIDPARAM.
std::string mSQLFloatText(double value);

// The mSQL DATE text of value's date part, "d-Mon-yyyy" (English month abbreviation, four-digit
// year), unquoted. A date outside the years 1 to 9999 raises EmSQLException DBIERR_INVALIDPARAM.
std::string mSQLDateText(host::TDateTime value);
// The mSQL TIME text of value's time of day rounded to the second, "hh:mm:ss", unquoted; a time that
// rounds to 24:00:00 is the day's last second, "23:59:59".
std::string mSQLTimeText(host::TDateTime value);

// The literal for a parameter's value: NULL for a null or unassigned value; integers in decimal;
// floating-point and currency values as mSQLFloatText; a date-time as a quoted mSQL date when it has
// no time part (or the parameter is of date type), a quoted mSQL time when it has no date part (or the
// parameter is of time type), otherwise a quoted date and time; booleans 'Y' / 'N'; anything else as
// its text through mSQLQuote. A value mSQL cannot carry (a text with a zero byte, a date outside the
// years 1 to 9999) raises EmSQLException DBIERR_INVALIDPARAM naming the parameter.
std::string ParamLiteral(const host::TParam& param);

// sql with every parameter marker replaced by the literal of its parameter's value (ParamLiteral).
// Markers are found by the rules of the host's TParams::ParseSQL, so that exactly the parameters it
// created are filled in: a ":" outside a quoted literal (', " and ` each open or close one) starts a
// marker whose name runs up to a blank, ",", ";", ")", CR, LF or the end of the text, quote characters
// inside the name keeping delimiters in it; a name enclosed in quotes loses them, and one enclosed in
// "[" "]" loses those when no parameter bears the bracketed name. "::" stands for one ":" and starts no
// marker; a ":" with no name after it is kept as it is. The rest of the text is kept byte for byte. A
// name no parameter bears raises the host's parameter-not-found error.
std::string SubstituteParams(const host::TParams& params, std::string_view sql);

} // namespace corvane
