// Process-wide format settings, Format, and the string and number helpers of the host run time.
//
// Everything here works on bytes: no locale is consulted and the C locale is never touched.
// "Ansi" functions fold ASCII letters only (strings carry no encoding); CompareText and
// AnsiCompareText therefore agree.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "host/VarRec.h"

namespace host {

struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "m/d/yyyy";
    std::string LongDateFormat = "dddd, mmmm d, yyyy";
    std::string ShortTimeFormat = "hh:nn";
    std::string LongTimeFormat = "hh:nn:ss";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames; // January first (SShortMonthNameJan ...)
    std::array<std::string, 12> LongMonthNames;
    std::array<std::string, 7> ShortDayNames; // Sunday first
    std::array<std::string, 7> LongDayNames;
    // How a two-digit year is completed when text is parsed: 0 puts it in the current century;
    // N > 0 puts it in the 100 years that end N years after the current year (default 50).
    int TwoDigitYearCenturyWindow = 50;

    TFormatSettings(); // English defaults (month and day names from host/Messages.h)
};

// The process-wide settings used by the functions without a settings argument.
extern TFormatSettings FormatSettings;

// ---- Format

// Classic Format: %[index:][-][width][.precision]type with types d, u, x, s, f, e, g, n, p
// and "%%" (type letters in either case; x gives upper-case digits). Width/precision may be '*' (taken from
// the arguments). %g is the general format (FloatToStr with the given precision, default 15). A missing
// argument raises EConvertError "No argument for format '%s'", a mismatched one "Format '%s' invalid or
// incompatible with argument".
std::string Format(std::string_view fmt, std::span<const TVarRec> args, const TFormatSettings& settings);
std::string Format(std::string_view fmt, std::initializer_list<TVarRec> args);
template <class... A>
std::string Format(std::string_view fmt, const A&... args) {
    const TVarRec recs[sizeof...(A) + 1] = {TVarRec(args)..., TVarRec(0)};
    return Format(fmt, std::span<const TVarRec>(recs, sizeof...(A)), FormatSettings);
}

// ---- Numbers

// General format, 15 significant digits, shortest form: fixed notation unless the decimal
// exponent is above 15 or below -4, then "1.5E20" / "1E-5"; NaN "NAN", infinities "INF"/"-INF".
std::string FloatToStr(double value);
std::string FloatToStr(double value, const TFormatSettings& settings);
// General format with the given number of significant digits (1..15).
std::string FloatToStrG(double value, int precision, const TFormatSettings& settings);
// Fixed format with digits decimals ("%.Nf").
std::string FloatToStrFixed(double value, int digits, const TFormatSettings& settings);

// Accepts surrounding blanks, a sign, digits with the settings' decimal separator and an
// exponent; anything else raises EConvertError "'%s' is not a valid floating point value".
double StrToFloat(std::string_view s);
double StrToFloat(std::string_view s, const TFormatSettings& settings);
bool TryStrToFloat(std::string_view s, double& value);
bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& settings);
double StrToFloatDef(std::string_view s, double defaultValue);

// Decimal (optionally signed, surrounding blanks allowed) or hexadecimal with '$' / "0x";
// out of range or not a number raises EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(std::string_view s);
int32_t StrToIntDef(std::string_view s, int32_t defaultValue);
bool TryStrToInt(std::string_view s, int32_t& value);
int64_t StrToInt64(std::string_view s);
bool TryStrToInt64(std::string_view s, int64_t& value);
std::string IntToStr(int64_t value);
// Upper-case hexadecimal, zero-padded to at least digits.
std::string IntToHex(int64_t value, int digits);

// ---- Strings

// s in single quotes with inner quotes doubled.
std::string QuotedStr(std::string_view s);
// s in quote characters with inner quote characters doubled.
std::string AnsiQuotedStr(std::string_view s, char quote);
// Reads a quoted string starting at s[pos] (which must be quote), undoubling inner quotes;
// pos moves past the closing quote (or to the end when it is missing).
std::string AnsiExtractQuotedStr(std::string_view s, size_t& pos, char quote);

// Ordinal comparison ignoring ASCII case: negative, 0 or positive.
int CompareText(std::string_view s1, std::string_view s2);
// Ordinal comparison (bytes as unsigned).
int CompareStr(std::string_view s1, std::string_view s2);
bool SameText(std::string_view s1, std::string_view s2);
int AnsiCompareText(std::string_view s1, std::string_view s2);
int AnsiCompareStr(std::string_view s1, std::string_view s2);
bool AnsiSameText(std::string_view s1, std::string_view s2);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);
// Remove leading and/or trailing characters <= ' '.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// A letter or '_' followed by letters, digits or '_'.
bool IsValidIdent(std::string_view s);

enum TReplaceFlag : uint8_t { rfReplaceAll = 1, rfIgnoreCase = 2 };
// Replaces the first (or every, with rfReplaceAll) occurrence of oldPattern.
std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          int flags);

} // namespace host
