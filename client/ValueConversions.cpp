// mSQL value texts to host values and back, and the statement word and token scanners.
// (ShortMNames itself is defined in ClientModule.cpp, next to the module start that fills it.)
#include "client/ValueConversions.h"

#include <algorithm>
#include <cmath>

#include "host/SysUtils.h"

namespace corvane {

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

// Characters [first, first + count) of s, counted from 1 as the classic Copy does: clipped to
// the text, empty when first lies past its end.
std::string_view Copy(std::string_view s, size_t first, size_t count) {
    if (first < 1 || first > s.size()) return {};
    return s.substr(first - 1, count);
}

int IntDef(std::string_view s, int defaultValue) {
    int32_t value = 0;
    return host::TryStrToInt(s, value) ? value : defaultValue;
}

// Date plus time of day; for dates before 1899-12-30 the time counts forward from midnight
// too, so it is subtracted from the negative day number.
host::TDateTime ComposeDateTime(host::TDateTime date, host::TDateTime time) {
    return date < 0 ? date - time : date + time;
}

bool IsDigitAscii(char c) {
    return c >= '0' && c <= '9';
}

// The number written by the decimal digits s[at], s[at + 1], ... s[at + count - 1], all of which
// must be digits; false otherwise.
bool ReadDigits(std::string_view s, size_t at, size_t count, int& value) {
    int v = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!IsDigitAscii(s[i])) return false;
        v = v * 10 + (s[i] - '0');
    }
    value = v;
    return true;
}

// host::TryEncodeDate for a month of 1 to 12 and a year of 1 to 9999, without calls.
bool EncodeDateQuick(int year, int month, int day, host::TDateTime& date) {
    static constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    static constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const int leapDay = leap && month == 2 ? 1 : 0;
    if (day < 1 || day > kMonthDays[month - 1] + leapDay) return false;
    const int32_t before = year - 1;
    const int32_t dayNumber = before * 365 + before / 4 - before / 100 + before / 400 +
                              kDaysBefore[month - 1] + (leap && month > 2 ? 1 : 0) + day;
    date = static_cast<host::TDateTime>(dayNumber - host::DateDelta);
    return true;
}

// SqlDateToDateTime for the texts mSQL prints: dd-Mon-yyyy, hh:mm:ss, both separated by blanks, or
// a text too short for either, read in place with the result SqlDateToDateTime gives. False for
// anything else, which is left to the general reading: a part that is not all digits, a day or
// year 0, a date or time that does not exist.
bool ReadPrintedDateTime(std::string_view s, host::TDateTime& result) {
    host::TDateTime date = 0;
    if (s.size() >= 10) {
        int day = 0, year = 0;
        if (s.size() < 11 || !ReadDigits(s, 0, 2, day) || !ReadDigits(s, 7, 4, year) || year == 0)
            return false;
        if (!EncodeDateQuick(year, GetMonthNumFromName(s.substr(3, 3)), day, date)) return false;
        s.remove_prefix(11);
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove_prefix(1);
        s = s.substr(0, 8);
    }
    if (s.size() >= 8) {
        int hour = 0, minute = 0, second = 0;
        if (!ReadDigits(s, 0, 2, hour) || !ReadDigits(s, 3, 2, minute) || !ReadDigits(s, 6, 2, second) ||
            hour > 23 || minute > 59 || second > 59)
            return false;
        // As host::EncodeTime computes it.
        const host::TDateTime time =
            static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000) / host::MSecsPerDay;
        date = ComposeDateTime(date, time);
    }
    result = date;
    return true;
}

// Formats with "." as the decimal separator; built once, read-only afterwards.
const host::TFormatSettings& DotSettings() {
    static const host::TFormatSettings settings = [] {
        host::TFormatSettings s;
        s.DecimalSeparator = '.';
        s.ThousandSeparator = ',';
        return s;
    }();
    return settings;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

} // namespace

std::string GetStatement(std::string& s) {
    if (s.empty()) return {};
    size_t start = s.find_first_not_of(StatementSeparators);
    if (start == std::string::npos) start = s.size();
    size_t end = s.find_first_of(StatementSeparators, start);
    if (end == std::string::npos) end = s.size();
    std::string word = s.substr(start, end - start);
    for (char& c : word)
        c = UpperAscii(c);
    s.erase(0, end);
    return word;
}

bool CompareBegin(std::string_view a, std::string_view b) {
    if (a.empty() != b.empty()) return false;
    const size_t n = std::min(a.size(), b.size());
    return SameTextAscii(a.substr(0, n), b.substr(0, n));
}

int GetMonthNumFromName(std::string_view name) {
    for (int month = 1; month <= 12; ++month) {
        const std::string& entry = ShortMNames[month];
        if (entry.size() != name.size()) continue;
        // Characters equal ignoring case differ at most in the case bit: most entries are passed over
        // on their first character without a full comparison.
        if (!name.empty() && ((entry.front() ^ name.front()) & ~0x20) != 0) continue;
        if (SameTextAscii(name, entry)) return month;
    }
    return 1;
}

std::string GetMonthNameFromNum(int number) {
    if (number < 1 || number > 12) return {};
    return ShortMNames[number];
}

host::TDateTime SqlDateToDateTime(std::string_view s) {
    host::TDateTime result = 0;
    if (ReadPrintedDateTime(s, result)) return result;
    if (s.size() >= 10) {
        const int day = std::max(IntDef(Copy(s, 1, 2), 1), 1);
        const int month = GetMonthNumFromName(Copy(s, 4, 3));
        const int year = std::max(IntDef(Copy(s, 8, 4), 1), 1);
        result = host::EncodeDate(year, month, day);
        // A time may follow the date after blanks ("dd-Mon-yyyy hh:mm:ss").
        s = Copy(s, 12, std::string_view::npos);
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove_prefix(1);
        s = s.substr(0, 8);
    }
    if (s.size() >= 8) {
        const int hour = IntDef(Copy(s, 1, 2), 0);
        const int minute = IntDef(Copy(s, 4, 2), 0);
        const int second = IntDef(Copy(s, 7, 2), 0);
        result = ComposeDateTime(result, host::EncodeTime(hour, minute, second, 0));
    }
    return result;
}

std::string DateTimeToSqlDate(host::TDateTime value, int mode) {
    // Whole milliseconds first, as the host formats them: a time within half a millisecond of
    // midnight is the next day's midnight, not 00:00:00 of its own day (which lost a day).
    if (std::isfinite(value) && std::fabs(value) <= 1.0e8) {
        const host::TTimeStamp stamp = host::DateTimeToTimeStamp(value);
        if (stamp.Date > 0) value = host::TimeStampToDateTime(stamp);
    }
    const double datePart = std::trunc(value);
    const bool hasDate = datePart != 0;
    const bool hasTime = value - datePart != 0;
    // Quoted colons: mSQL needs ":" whatever time separator the host is set to.
    constexpr std::string_view timeFormat = "hh':'nn':'ss";
    std::string result;
    switch (mode) {
    case SqlDateMode:
        if (hasDate) {
            int year = 0, month = 0, day = 0;
            host::DecodeDate(value, year, month, day);
            result = std::to_string(day) + '-' + GetMonthNameFromNum(month) + '-' + std::to_string(year);
        }
        break;
    case SqlTimeMode:
        if (hasTime) result = host::FormatDateTime(timeFormat, value);
        break;
    case SqlDateTimeMode:
        if (hasDate) result = host::FormatDateTime("dd-mmm-yyyy", value);
        if (hasTime) {
            if (!result.empty()) result += ' ';
            result += host::FormatDateTime(timeFormat, value);
        }
        break;
    default:
        break;
    }
    return result;
}

host::TDateTime SQLTimeStampToDateTime(std::string_view s) {
    const int year = std::max(IntDef(Copy(s, 1, 4), 1), 1);
    const int month = std::max(IntDef(Copy(s, 5, 2), 1), 1);
    const int day = std::max(IntDef(Copy(s, 7, 2), 1), 1);
    const int hour = IntDef(Copy(s, 9, 2), 0);
    const int minute = IntDef(Copy(s, 11, 2), 0);
    const int second = IntDef(Copy(s, 13, 2), 0);
    return ComposeDateTime(host::EncodeDate(year, month, day), host::EncodeTime(hour, minute, second, 0));
}

double StrToSQLFloat(std::string_view s) {
    double value = 0;
    if (s.empty() || !host::TryStrToFloat(s, value, DotSettings())) return 0;
    return value;
}

std::string SQLFloatToStr(double value) {
    return host::FloatToStr(value, DotSettings());
}

bool StrToBool(std::string_view trueChars, std::string_view /*falseChars*/, std::string_view s) {
    if (s.empty()) return false;
    return trueChars.find(LowerAscii(s.front())) != std::string_view::npos;
}

std::string GetToken(std::string& s) {
    if (s.empty()) return {};
    size_t pos = 0;
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
        ++pos;
    if (pos == s.size()) {
        s.clear();
        return {};
    }
    const size_t start = pos;
    const char c = s[pos];
    if (TokenDelimiters.find(c) != std::string_view::npos) {
        ++pos;
    } else if (IsQuote(c)) {
        // Up to and including the matching quote; a backslash takes the next character with
        // it, so an escaped quote (or an escaped backslash before the closing quote) is read
        // as mSQL reads it.
        ++pos;
        while (pos < s.size()) {
            const char ch = s[pos++];
            if (ch == '\\') {
                if (pos < s.size()) ++pos;
            } else if (ch == c) {
                break;
            }
        }
    } else {
        while (pos < s.size() && TokenDelimiters.find(s[pos]) == std::string_view::npos && !IsQuote(s[pos]))
            ++pos;
    }
    std::string token = s.substr(start, pos - start);
    s.erase(0, pos);
    return token;
}

} // namespace corvane
