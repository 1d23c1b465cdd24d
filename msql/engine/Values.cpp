// mSQL value rules: literal range and type checks, date / time parsing and the output texts.
#include "engine/Values.h"

#include "engine/Error.h"

#include "msql.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace msql {

namespace {

constexpr int64_t kIntMin = -2147483647;
constexpr int64_t kIntMax = 2147483647;
constexpr int64_t kUintMax = 4294967295LL;
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

[[noreturn]] void OutOfRange() {
    throw Error("Numeric value outside field value range");
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads 1..maxDigits decimal digits at text[pos]; false when there are none or too many.
bool ReadNumber(std::string_view text, size_t& pos, size_t maxDigits, int64_t& value, size_t& digits) {
    size_t start = pos;
    value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        if (pos - start >= maxDigits) return false;
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    digits = pos - start;
    return digits > 0;
}

bool IsLeapYear(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int64_t year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// A two-digit year lies within 50 years of the current year.
int64_t WindowYear(int64_t twoDigits) {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    int64_t current = parts.tm_year + 1900;
    int64_t year = current / 100 * 100 + twoDigits;
    if (year > current + 49)
        year -= 100;
    else if (year < current - 50)
        year += 100;
    return year;
}

// Integer value of a numeric literal for an int / uint column: reals truncate toward zero.
int64_t IntegralValue(const Literal& literal, int64_t low, int64_t high) {
    if (literal.kind == Literal::Kind::Integer) {
        if (literal.overflow || literal.intValue < low || literal.intValue > high) OutOfRange();
        return literal.intValue;
    }
    double v = std::trunc(literal.realValue);
    if (!(v >= static_cast<double>(low) && v <= static_cast<double>(high))) OutOfRange();
    return static_cast<int64_t>(v);
}

int64_t MoneyValue(const Literal& literal) {
    int64_t cents;
    if (literal.kind == Literal::Kind::Integer) {
        if (literal.overflow || literal.intValue < -kIntMax / 100 || literal.intValue > kIntMax / 100)
            OutOfRange();
        cents = literal.intValue * 100;
    } else {
        if (!(std::fabs(literal.realValue) <= static_cast<double>(kIntMax) / 100.0)) OutOfRange();
        cents = MoneyCentsFromReal(literal.realValue);
    }
    if (cents < kIntMin || cents > kIntMax) OutOfRange();
    return cents;
}

StoredValue Numeric(int type, const Literal& literal) {
    StoredValue v;
    switch (type) {
    case INT_TYPE:
        v.kind = StoredValue::Kind::Integer;
        v.intValue = IntegralValue(literal, kIntMin, kIntMax);
        break;
    case UINT_TYPE:
        v.kind = StoredValue::Kind::Integer;
        v.intValue = IntegralValue(literal, 0, kUintMax);
        break;
    case MONEY_TYPE:
        v.kind = StoredValue::Kind::Integer;
        v.intValue = MoneyValue(literal);
        break;
    default: // REAL_TYPE
        if (literal.kind == Literal::Kind::Integer && literal.overflow) OutOfRange();
        v.kind = StoredValue::Kind::Real;
        v.realValue = literal.kind == Literal::Kind::Integer ? static_cast<double>(literal.intValue)
                                                             : literal.realValue;
        if (!std::isfinite(v.realValue)) OutOfRange();
        v.decimals = literal.kind == Literal::Kind::Integer ? 0 : literal.decimals;
        break;
    }
    return v;
}

bool IsNumericType(int type) {
    return type == INT_TYPE || type == UINT_TYPE || type == REAL_TYPE || type == MONEY_TYPE;
}

bool IsNumericLiteral(const Literal& literal) {
    return literal.kind == Literal::Kind::Integer || literal.kind == Literal::Kind::Real;
}

StoredValue DateOrTime(int type, const std::string& text) {
    StoredValue v;
    v.kind = StoredValue::Kind::Integer;
    if (type == DATE_TYPE) {
        if (!ParseDate(text, v.intValue)) throw Error("Invalid date format");
    } else if (!ParseTime(text, v.intValue)) {
        throw Error("Invalid time format");
    }
    return v;
}

} // namespace

StoredValue LiteralForColumn(const Literal& literal, int type, int length, const std::string& field) {
    if (literal.kind == Literal::Kind::Null) return {};
    auto wrongType = [&field] { return Error("Literal value for '" + field + "' is wrong type"); };
    if (IsNumericType(type)) {
        if (!IsNumericLiteral(literal)) throw wrongType();
        return Numeric(type, literal);
    }
    if (literal.kind != Literal::Kind::String) throw wrongType();
    if (type == DATE_TYPE || type == TIME_TYPE) {
        if (literal.text.empty()) return {}; // '' stores NULL
        return DateOrTime(type, literal.text);
    }
    if (type == CHAR_TYPE && literal.text.size() > static_cast<size_t>(length))
        throw Error("Value for \"" + field + "\" is too large");
    StoredValue v;
    v.kind = StoredValue::Kind::Text;
    v.text = literal.text;
    return v;
}

StoredValue LiteralForComparison(const Literal& literal, int type, const std::string& field) {
    auto badType = [&field] { return Error("Bad type for comparison of '" + field + "'"); };
    if (IsNumericType(type)) {
        if (!IsNumericLiteral(literal)) throw badType();
        return Numeric(type, literal);
    }
    if (literal.kind != Literal::Kind::String) throw badType();
    if (type == DATE_TYPE || type == TIME_TYPE) return DateOrTime(type, literal.text);
    StoredValue v;
    v.kind = StoredValue::Kind::Text;
    v.text = literal.text;
    return v;
}

bool ParseDate(std::string_view text, int64_t& encoded) {
    size_t pos = 0, digits = 0;
    int64_t day = 0, year = 0;
    if (!ReadNumber(text, pos, 2, day, digits) || day < 1) return false;
    if (pos >= text.size() || text[pos] != '-') return false;
    ++pos;
    if (text.size() < pos + 4) return false;
    char first = text[pos];
    if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
    int month = 0;
    for (int m = 0; m < 12; ++m) {
        if (first == kMonths[m][0] && text[pos + 1] == kMonths[m][1] && text[pos + 2] == kMonths[m][2])
            month = m + 1;
    }
    if (month == 0) return false;
    pos += 3;
    if (text[pos] != '-') return false;
    ++pos;
    if (!ReadNumber(text, pos, 4, year, digits) || pos != text.size() || year == 0) return false;
    if (digits <= 2) year = WindowYear(year);
    if (day > DaysInMonth(year, month)) return false;
    encoded = (year + 4096) * 512 + month * 32 + day;
    return true;
}

bool ParseTime(std::string_view text, int64_t& encoded) {
    size_t pos = 0, digits = 0;
    int64_t h = 0, m = 0, s = 0;
    if (!ReadNumber(text, pos, 2, h, digits) || pos >= text.size() || text[pos++] != ':') return false;
    if (!ReadNumber(text, pos, 2, m, digits) || pos >= text.size() || text[pos++] != ':') return false;
    if (!ReadNumber(text, pos, 2, s, digits) || pos != text.size()) return false;
    if (h > 23 || m > 59 || s > 59) return false;
    encoded = h * 4096 + m * 64 + s;
    return true;
}

void AppendInteger(std::string& out, int64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

void AppendReal(std::string& out, double value, int decimals) {
    char buf[128];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec == std::errc()) {
        out.append(buf, r.ptr);
        return;
    }
    // Very large values or many decimals: format into a buffer of the exact size.
    int n = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), "%.*f", decimals, value);
    big.pop_back();
    out += big;
}

void AppendMoney(std::string& out, int64_t cents) {
    if (cents < 0) {
        out += '-';
        cents = -cents;
    }
    AppendInteger(out, cents / 100);
    out += '.';
    out += static_cast<char>('0' + cents % 100 / 10);
    out += static_cast<char>('0' + cents % 10);
}

namespace {
// Appends `value` as exactly `width` digits (zero-padded; wider values keep all their digits).
void AppendPadded(std::string& out, int64_t value, int width) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value < 0 ? -value : value);
    auto digits = static_cast<int>(r.ptr - buf);
    if (value < 0) out += '-';
    if (digits < width) out.append(static_cast<size_t>(width - digits), '0');
    out.append(buf, r.ptr);
}
} // namespace

void AppendDate(std::string& out, int64_t encoded) {
    int64_t day = encoded % 32;
    int64_t month = encoded / 32 % 16;
    int64_t year = encoded / 512 - 4096;
    if (month < 1 || month > 12) month = 1;
    AppendPadded(out, day, 2);
    out += '-';
    out.append(kMonths[month - 1], 3);
    out += '-';
    AppendPadded(out, year, 4);
}

void AppendTime(std::string& out, int64_t encoded) {
    AppendPadded(out, encoded / 4096, 2);
    out += ':';
    AppendPadded(out, encoded / 64 % 64, 2);
    out += ':';
    AppendPadded(out, encoded % 64, 2);
}

int64_t MoneyCentsFromReal(double value) {
    double scaled = std::fabs(value) * 100.0;
    auto cents = static_cast<int64_t>(std::ceil(scaled - 0.5));
    return value < 0 ? -cents : cents;
}

} // namespace msql
