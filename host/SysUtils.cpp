// Format settings, Format, number conversions and string helpers.
#include "host/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "host/Exceptions.h"
#include "host/Messages.h"

namespace host {

TFormatSettings::TFormatSettings()
    : ShortMonthNames{SShortMonthNameJan, SShortMonthNameFeb, SShortMonthNameMar, SShortMonthNameApr,
                      SShortMonthNameMay, SShortMonthNameJun, SShortMonthNameJul, SShortMonthNameAug,
                      SShortMonthNameSep, SShortMonthNameOct, SShortMonthNameNov, SShortMonthNameDec},
      LongMonthNames{SLongMonthNameJan, SLongMonthNameFeb, SLongMonthNameMar, SLongMonthNameApr,
                     SLongMonthNameMay, SLongMonthNameJun, SLongMonthNameJul, SLongMonthNameAug,
                     SLongMonthNameSep, SLongMonthNameOct, SLongMonthNameNov, SLongMonthNameDec},
      ShortDayNames{SShortDayNameSun, SShortDayNameMon, SShortDayNameTue, SShortDayNameWed,
                    SShortDayNameThu, SShortDayNameFri, SShortDayNameSat},
      LongDayNames{SLongDayNameSun, SLongDayNameMon, SLongDayNameTue, SLongDayNameWed,
                   SLongDayNameThu, SLongDayNameFri, SLongDayNameSat} {}

// Initialized before the ordinary static initializers of other units, which may read it.
TFormatSettings FormatSettings __attribute__((init_priority(101)));

namespace {

char UpCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char LoCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimView(std::string_view s) {
    // Most texts have nothing to trim.
    if (s.empty() || (!IsBlank(s.front()) && !IsBlank(s.back()))) return s;
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// to_chars with `precision` digits after the point, except that an exact tie (the dropped part
// is exactly one half) rounds away from zero, as the classic run time does ("%.0f" of 2.5 is 3).
std::string RoundedChars(double value, std::chars_format fmt, int precision) {
    char buf[1200];
    const int extra = 40;
    auto wide = std::to_chars(buf, buf + sizeof buf, value, fmt, precision + extra);
    std::string s(buf, wide.ptr);
    std::string exponent;
    if (fmt == std::chars_format::scientific) {
        const size_t e = s.find('e');
        exponent = s.substr(e);
        s.erase(e);
    }
    const size_t point = s.find('.');
    const size_t tieDigit = point + 1 + static_cast<size_t>(precision);
    const bool tie = point != std::string::npos && tieDigit < s.size() && s[tieDigit] == '5' &&
                     s.find_first_not_of('0', tieDigit + 1) == std::string::npos;
    if (!tie) {
        auto res = std::to_chars(buf, buf + sizeof buf, value, fmt, precision);
        return std::string(buf, res.ptr);
    }
    s.erase(precision == 0 ? point : tieDigit);
    // Add one unit in the last place, away from zero.
    size_t i = s.size();
    bool carry = true;
    while (carry && i > 0) {
        --i;
        if (s[i] == '.' || s[i] == '-') continue;
        if (s[i] == '9') {
            s[i] = '0';
        } else {
            ++s[i];
            carry = false;
        }
    }
    if (carry) s.insert(s[0] == '-' ? 1 : 0, 1, '1');
    if (fmt == std::chars_format::scientific && carry) {
        // "9.9e+00" became "10.0": back to one leading digit and a larger exponent.
        const size_t dot = s.find('.');
        if (dot != std::string::npos) std::swap(s[dot], s[dot - 1]);
        s.pop_back();
        int exp = 0;
        const char* ep = exponent.c_str() + 1;
        const bool neg = *ep == '-';
        std::from_chars(ep + 1, exponent.c_str() + exponent.size(), exp);
        exp = (neg ? -exp : exp) + 1;
        std::string digits = std::to_string(exp < 0 ? -exp : exp);
        if (digits.size() < 2) digits.insert(0, "0");
        exponent = std::string("e") + (exp < 0 ? "-" : "+") + digits;
    }
    return s + exponent;
}

// Significant digits and decimal exponent of a finite, non-zero |value| rounded to precision
// digits: value = 0.d1d2d3... * 10^exponent, trailing zeros removed.
struct Decimal {
    char digits[24];
    int count;
    int exponent;
};

Decimal ToDecimal(double value, int precision) {
    const std::string text = RoundedChars(std::fabs(value), std::chars_format::scientific, precision - 1);
    const char* p = text.c_str();
    const char* end = p + text.size();
    Decimal d{};
    d.count = 0;
    while (p < end && *p != 'e') {
        if (IsDigit(*p)) d.digits[d.count++] = *p;
        ++p;
    }
    int exp = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exp);
    d.exponent = exp + 1;
    while (d.count > 1 && d.digits[d.count - 1] == '0')
        --d.count;
    return d;
}

[[noreturn]] void InvalidFormat(std::string_view fmt) {
    throw EConvertError(Format(SInvalidFormat, fmt));
}

std::string GroupThousands(const std::string& intPart, char separator) {
    if (separator == '\0' || intPart.size() <= 3) return intPart;
    std::string out;
    size_t lead = intPart.size() % 3;
    if (lead == 0) lead = 3;
    out.append(intPart, 0, lead);
    for (size_t i = lead; i < intPart.size(); i += 3) {
        out += separator;
        out.append(intPart, i, 3);
    }
    return out;
}

std::string FloatToStrExp(double value, int precision, const TFormatSettings& settings) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    precision = std::clamp(precision, 1, 18);
    std::string s = RoundedChars(value, std::chars_format::scientific, precision - 1);
    size_t e = s.find('e');
    std::string mant = s.substr(0, e);
    std::replace(mant.begin(), mant.end(), '.', settings.DecimalSeparator);
    int exp = 0;
    const char* ep = s.c_str() + e + 1;
    bool neg = *ep == '-';
    if (*ep == '+' || *ep == '-') ++ep;
    std::from_chars(ep, s.c_str() + s.size(), exp);
    std::string digits = std::to_string(exp);
    while (digits.size() < 3)
        digits.insert(digits.begin(), '0');
    return mant + "E" + (neg ? "-" : "+") + digits;
}

std::string FormatInteger(const TVarRec& arg, char type, int precision, std::string_view fmt) {
    std::string digits;
    bool negative = false;
    if (arg.kind != TVarRec::vtInteger && arg.kind != TVarRec::vtUnsigned) InvalidFormat(fmt);
    if (type == 'X') {
        uint64_t v = static_cast<uint64_t>(arg.integer);
        // A negative signed value shows its 32-bit pattern when it fits, like the classic run time.
        if (arg.kind == TVarRec::vtInteger && arg.integer < 0 && arg.integer >= INT32_MIN)
            v = static_cast<uint32_t>(arg.integer);
        char buf[32];
        auto res = std::to_chars(buf, buf + sizeof buf, v, 16);
        digits.assign(buf, res.ptr);
        for (char& c : digits)
            c = UpCase(c);
    } else if (type == 'U' || arg.kind == TVarRec::vtUnsigned) {
        uint64_t v = static_cast<uint64_t>(arg.integer);
        if (type == 'U' && arg.kind == TVarRec::vtInteger && arg.integer < 0 && arg.integer >= INT32_MIN)
            v = static_cast<uint32_t>(arg.integer);
        digits = std::to_string(v);
    } else {
        negative = arg.integer < 0;
        uint64_t mag =
            negative ? (~static_cast<uint64_t>(arg.integer) + 1) : static_cast<uint64_t>(arg.integer);
        digits = std::to_string(mag);
    }
    if (precision > 0 && static_cast<int>(digits.size()) < precision)
        digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

double FloatArg(const TVarRec& arg, std::string_view fmt) {
    switch (arg.kind) {
    case TVarRec::vtExtended:
        return arg.extended;
    case TVarRec::vtInteger:
        return static_cast<double>(arg.integer);
    case TVarRec::vtUnsigned:
        return static_cast<double>(static_cast<uint64_t>(arg.integer));
    default:
        InvalidFormat(fmt);
    }
}

} // namespace

// ---- Format

std::string Format(std::string_view fmt, std::span<const TVarRec> args, const TFormatSettings& settings) {
    std::string out;
    out.reserve(fmt.size() + 16);
    size_t argIndex = 0;
    size_t i = 0;
    const size_t n = fmt.size();
    auto nextArg = [&]() -> const TVarRec& {
        if (argIndex >= args.size()) throw EConvertError(Format(SArgumentMissing, fmt));
        return args[argIndex++];
    };
    // Reads a number or '*' (taken from the arguments); -1 when neither is present.
    auto readNumber = [&]() -> int {
        if (i < n && fmt[i] == '*') {
            ++i;
            const TVarRec& a = nextArg();
            if (a.kind != TVarRec::vtInteger && a.kind != TVarRec::vtUnsigned) InvalidFormat(fmt);
            return static_cast<int>(std::clamp<int64_t>(a.integer, 0, 1 << 20));
        }
        if (i >= n || !IsDigit(fmt[i])) return -1;
        int64_t v = 0;
        while (i < n && IsDigit(fmt[i])) {
            v = std::min<int64_t>(v * 10 + (fmt[i] - '0'), 1 << 20);
            ++i;
        }
        return static_cast<int>(v);
    };
    while (i < n) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        ++i;
        if (i < n && fmt[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        bool leftAlign = false;
        int width = -1, precision = -1;
        int first = readNumber();
        if (i < n && fmt[i] == ':') {
            if (first < 0) InvalidFormat(fmt);
            argIndex = static_cast<size_t>(first);
            ++i;
            first = -1;
        }
        if (first < 0) {
            if (i < n && fmt[i] == '-') {
                leftAlign = true;
                ++i;
            }
            width = readNumber();
        } else {
            width = first;
        }
        if (i < n && fmt[i] == '.') {
            ++i;
            precision = readNumber();
            if (precision < 0) precision = 0;
        }
        if (i >= n) InvalidFormat(fmt);
        char type = UpCase(fmt[i++]);
        std::string text;
        switch (type) {
        case 'D':
        case 'U':
        case 'X':
            text = FormatInteger(nextArg(), type, precision, fmt);
            break;
        case 'S': {
            const TVarRec& a = nextArg();
            if (a.kind == TVarRec::vtString)
                text.assign(a.string);
            else if (a.kind == TVarRec::vtChar)
                text.assign(1, static_cast<char>(a.integer));
            else
                InvalidFormat(fmt);
            if (precision >= 0 && static_cast<size_t>(precision) < text.size()) text.resize(precision);
            break;
        }
        case 'F':
            text = FloatToStrFixed(FloatArg(nextArg(), fmt), precision < 0 ? 2 : precision, settings);
            break;
        case 'N': {
            std::string fixed =
                FloatToStrFixed(FloatArg(nextArg(), fmt), precision < 0 ? 2 : precision, settings);
            bool neg = !fixed.empty() && fixed[0] == '-';
            std::string body = neg ? fixed.substr(1) : fixed;
            size_t sep = body.find(settings.DecimalSeparator);
            std::string intPart = sep == std::string::npos ? body : body.substr(0, sep);
            std::string rest = sep == std::string::npos ? std::string() : body.substr(sep);
            text = (neg ? "-" : "") + GroupThousands(intPart, settings.ThousandSeparator) + rest;
            break;
        }
        case 'G':
            text = FloatToStrG(FloatArg(nextArg(), fmt), precision <= 0 ? 15 : precision, settings);
            break;
        case 'E':
            text = FloatToStrExp(FloatArg(nextArg(), fmt), precision <= 0 ? 15 : precision, settings);
            break;
        case 'P': {
            const TVarRec& a = nextArg();
            if (a.kind != TVarRec::vtPointer) InvalidFormat(fmt);
            char buf[32];
            auto res = std::to_chars(buf, buf + sizeof buf, reinterpret_cast<uintptr_t>(a.pointer), 16);
            text.assign(buf, res.ptr);
            for (char& ch : text)
                ch = UpCase(ch);
            if (text.size() < 2 * sizeof(void*)) text.insert(0, 2 * sizeof(void*) - text.size(), '0');
            break;
        }
        default:
            InvalidFormat(fmt);
        }
        if (width > 0 && static_cast<size_t>(width) > text.size()) {
            size_t pad = static_cast<size_t>(width) - text.size();
            if (leftAlign)
                text.append(pad, ' ');
            else
                text.insert(0, pad, ' ');
        }
        out += text;
    }
    return out;
}

std::string Format(std::string_view fmt, std::initializer_list<TVarRec> args) {
    return Format(fmt, std::span<const TVarRec>(args.begin(), args.size()), FormatSettings);
}

// ---- Floating point

std::string FloatToStr(double value) {
    return FloatToStrG(value, 15, FormatSettings);
}
std::string FloatToStr(double value, const TFormatSettings& settings) {
    return FloatToStrG(value, 15, settings);
}

std::string FloatToStrG(double value, int precision, const TFormatSettings& settings) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    precision = std::clamp(precision, 1, 15);
    Decimal d = ToDecimal(value, precision);
    std::string out;
    if (value < 0) out += '-';
    if (d.exponent > precision || d.exponent < -3) {
        out += d.digits[0];
        if (d.count > 1) {
            out += settings.DecimalSeparator;
            out.append(d.digits + 1, static_cast<size_t>(d.count - 1));
        }
        out += 'E';
        int e = d.exponent - 1;
        if (e < 0) out += '-';
        out += std::to_string(e < 0 ? -e : e);
    } else if (d.exponent <= 0) {
        out += '0';
        out += settings.DecimalSeparator;
        out.append(static_cast<size_t>(-d.exponent), '0');
        out.append(d.digits, static_cast<size_t>(d.count));
    } else {
        int intDigits = d.exponent;
        for (int k = 0; k < intDigits; ++k)
            out += k < d.count ? d.digits[k] : '0';
        if (d.count > intDigits) {
            out += settings.DecimalSeparator;
            out.append(d.digits + intDigits, static_cast<size_t>(d.count - intDigits));
        }
    }
    return out;
}

std::string FloatToStrFixed(double value, int digits, const TFormatSettings& settings) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    digits = std::clamp(digits, 0, 18);
    std::string s = RoundedChars(value, std::chars_format::fixed, digits);
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1); // no "-0.00"
    if (settings.DecimalSeparator != '.') std::replace(s.begin(), s.end(), '.', settings.DecimalSeparator);
    return s;
}

namespace {

// The general reading: the text is rewritten in the C form that from_chars takes, then converted.
// t is trimmed and begins after the sign.
bool ReadFloatGeneral(std::string_view t, bool negative, double& value, const TFormatSettings& settings) {
    size_t i = 0;
    std::string norm;
    norm.reserve(t.size() + 2);
    size_t intStart = i;
    while (i < t.size() && IsDigit(t[i]))
        norm += t[i++];
    size_t intDigits = i - intStart;
    size_t fracDigits = 0;
    if (i < t.size() && t[i] == settings.DecimalSeparator) {
        ++i;
        std::string frac;
        while (i < t.size() && IsDigit(t[i]))
            frac += t[i++];
        fracDigits = frac.size();
        if (fracDigits > 0) {
            if (intDigits == 0) norm += '0';
            norm += '.';
            norm += frac;
        }
    }
    if (intDigits + fracDigits == 0) return false;
    int64_t exponentSign = 1;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        norm += 'e';
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
            if (t[i] == '-') {
                exponentSign = -1;
                norm += '-';
            }
            ++i;
        }
        size_t expStart = i;
        while (i < t.size() && IsDigit(t[i]))
            norm += t[i++];
        if (i == expStart) return false;
    }
    if (i != t.size()) return false;
    double v = 0;
    auto res = std::from_chars(norm.data(), norm.data() + norm.size(), v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        if (exponentSign > 0) return false; // overflow
        v = 0;                              // underflow
    } else if (res.ec != std::errc() || res.ptr != norm.data() + norm.size()) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPowerOfTen = 22;
// Largest integer below which every integer is a double.
constexpr uint64_t kMaxExactMantissa = uint64_t{1} << 53;

// The common case read in place: at most 19 digits whose value and power of ten are both exact
// doubles, so that one multiplication or division gives the correctly rounded value, the same that
// from_chars gives. False (nothing decided) for anything else: the general reading decides then,
// also whether the text is a number at all.
bool ReadFloatFast(std::string_view t, bool negative, double& value, char decimalSeparator) {
    constexpr size_t kMaxDigits = 19; // any 19 digits fit 64 bits
    const char* p = t.data();
    const char* const end = p + t.size();
    uint64_t mantissa = 0;
    const char* const intStart = p;
    while (p != end && IsDigit(*p))
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
    size_t digits = static_cast<size_t>(p - intStart);
    int fracDigits = 0;
    if (p != end && *p == decimalSeparator) {
        const char* const fracStart = ++p;
        while (p != end && IsDigit(*p))
            mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
        fracDigits = static_cast<int>(p - fracStart);
        digits += static_cast<size_t>(fracDigits);
    }
    if (digits == 0 || digits > kMaxDigits) return false;
    int exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool exponentNegative = false;
        if (p != end && (*p == '+' || *p == '-')) exponentNegative = *p++ == '-';
        const char* const expStart = p;
        while (p != end && IsDigit(*p) && p - expStart < 4)
            exponent = exponent * 10 + (*p++ - '0');
        if (p == expStart) return false;
        if (exponentNegative) exponent = -exponent;
    }
    // Any other character, or a fifth exponent digit: not the common case.
    if (p != end || mantissa > kMaxExactMantissa) return false;
    const int power = exponent - fracDigits;
    if (power < -kMaxExactPowerOfTen || power > kMaxExactPowerOfTen) return false;
    double v = static_cast<double>(mantissa);
    v = power < 0 ? v / kExactPowersOfTen[-power] : v * kExactPowersOfTen[power];
    value = negative ? -v : v;
    return true;
}

} // namespace

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& settings) {
    std::string_view t = TrimView(s);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (ReadFloatFast(t, negative, value, settings.DecimalSeparator)) return true;
    return ReadFloatGeneral(t, negative, value, settings);
}

bool TryStrToFloat(std::string_view s, double& value) {
    return TryStrToFloat(s, value, FormatSettings);
}

double StrToFloat(std::string_view s, const TFormatSettings& settings) {
    double v = 0;
    if (!TryStrToFloat(s, v, settings)) throw EConvertError(Format(SInvalidFloat, s));
    return v;
}

double StrToFloat(std::string_view s) {
    return StrToFloat(s, FormatSettings);
}

double StrToFloatDef(std::string_view s, double defaultValue) {
    double v = 0;
    return TryStrToFloat(s, v) ? v : defaultValue;
}

// ---- Integers

namespace {

// An integer text read: trimmed once, an optional sign, '$' or "0x" for hexadecimal, then digits.
struct TIntegerText {
    bool negative = false;
    bool hex = false;
    uint64_t magnitude = 0;
};

bool ScanInteger(std::string_view s, TIntegerText& out) {
    std::string_view t = TrimView(s);
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) out.negative = t[i++] == '-';
    if (i < t.size() && t[i] == '$') {
        out.hex = true;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        out.hex = true;
        i += 2;
    }
    if (i >= t.size()) return false;
    if (out.hex) {
        auto res = std::from_chars(t.data() + i, t.data() + t.size(), out.magnitude, 16);
        return res.ec == std::errc() && res.ptr == t.data() + t.size();
    }
    // Decimal digits, read in place.
    uint64_t magnitude = 0;
    for (; i < t.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(t[i]) - unsigned{'0'};
        if (digit > 9) return false;
        if (__builtin_mul_overflow(magnitude, uint64_t{10}, &magnitude) ||
            __builtin_add_overflow(magnitude, uint64_t{digit}, &magnitude))
            return false;
    }
    out.magnitude = magnitude;
    return true;
}

bool IntegerValue(const TIntegerText& text, int64_t& value) {
    const uint64_t mag = text.magnitude;
    if (text.hex) {
        value = static_cast<int64_t>(mag); // hexadecimal keeps its bit pattern
        if (text.negative) value = static_cast<int64_t>(~mag + 1);
        return true;
    }
    if (text.negative) {
        if (mag > static_cast<uint64_t>(INT64_MAX) + 1) return false;
        value = static_cast<int64_t>(~mag + 1);
    } else {
        if (mag > static_cast<uint64_t>(INT64_MAX)) return false;
        value = static_cast<int64_t>(mag);
    }
    return true;
}

} // namespace

bool TryStrToInt64(std::string_view s, int64_t& value) {
    TIntegerText text;
    return ScanInteger(s, text) && IntegerValue(text, value);
}

bool TryStrToInt(std::string_view s, int32_t& value) {
    TIntegerText text;
    int64_t v = 0;
    if (!ScanInteger(s, text) || !IntegerValue(text, v)) return false;
    if (text.hex && v >= 0 && v <= static_cast<int64_t>(UINT32_MAX)) {
        value = static_cast<int32_t>(static_cast<uint32_t>(v)); // "$FFFFFFFF" is -1
        return true;
    }
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(std::string_view s) {
    int32_t v = 0;
    if (!TryStrToInt(s, v)) throw EConvertError(Format(SInvalidInteger, s));
    return v;
}

int32_t StrToIntDef(std::string_view s, int32_t defaultValue) {
    int32_t v = 0;
    return TryStrToInt(s, v) ? v : defaultValue;
}

int64_t StrToInt64(std::string_view s) {
    int64_t v = 0;
    if (!TryStrToInt64(s, v)) throw EConvertError(Format(SInvalidInteger, s));
    return v;
}

std::string IntToStr(int64_t value) {
    return std::to_string(value);
}

std::string IntToHex(int64_t value, int digits) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, static_cast<uint64_t>(value), 16);
    std::string s(buf, res.ptr);
    for (char& c : s)
        c = UpCase(c);
    if (digits > 0 && static_cast<int>(s.size()) < digits)
        s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
    return s;
}

// ---- Strings

std::string QuotedStr(std::string_view s) {
    return AnsiQuotedStr(s, '\'');
}

std::string AnsiQuotedStr(std::string_view s, char quote) {
    std::string out;
    out.reserve(s.size() + 2);
    out += quote;
    for (char c : s) {
        out += c;
        if (c == quote) out += quote;
    }
    out += quote;
    return out;
}

std::string AnsiExtractQuotedStr(std::string_view s, size_t& pos, char quote) {
    std::string out;
    if (pos >= s.size() || s[pos] != quote) return out;
    ++pos;
    while (pos < s.size()) {
        if (s[pos] == quote) {
            if (pos + 1 < s.size() && s[pos + 1] == quote) {
                out += quote;
                pos += 2;
                continue;
            }
            ++pos;
            return out;
        }
        out += s[pos++];
    }
    return out;
}

int CompareText(std::string_view s1, std::string_view s2) {
    size_t n = std::min(s1.size(), s2.size());
    for (size_t k = 0; k < n; ++k) {
        unsigned char a = static_cast<unsigned char>(UpCase(s1[k]));
        unsigned char b = static_cast<unsigned char>(UpCase(s2[k]));
        if (a != b) return a < b ? -1 : 1;
    }
    return s1.size() == s2.size() ? 0 : (s1.size() < s2.size() ? -1 : 1);
}

int CompareStr(std::string_view s1, std::string_view s2) {
    int r = s1.compare(s2); // char_traits<char>::compare orders bytes as unsigned
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool SameText(std::string_view s1, std::string_view s2) {
    return s1.size() == s2.size() && CompareText(s1, s2) == 0;
}
int AnsiCompareText(std::string_view s1, std::string_view s2) {
    return CompareText(s1, s2);
}
int AnsiCompareStr(std::string_view s1, std::string_view s2) {
    return CompareStr(s1, s2);
}
bool AnsiSameText(std::string_view s1, std::string_view s2) {
    return SameText(s1, s2);
}

std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = UpCase(c);
    return out;
}

std::string LowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = LoCase(c);
    return out;
}

std::string AnsiUpperCase(std::string_view s) {
    return UpperCase(s);
}
std::string AnsiLowerCase(std::string_view s) {
    return LowerCase(s);
}

std::string Trim(std::string_view s) {
    return std::string(TrimView(s));
}

std::string TrimLeft(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b]))
        ++b;
    return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1]))
        --e;
    return std::string(s.substr(0, e));
}

bool IsValidIdent(std::string_view s) {
    if (s.empty()) return false;
    auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (!alpha(s[0])) return false;
    return std::all_of(s.begin() + 1, s.end(), [&](char c) { return alpha(c) || IsDigit(c); });
}

std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          int flags) {
    if (oldPattern.empty()) return std::string(s);
    const bool ignoreCase = (flags & rfIgnoreCase) != 0;
    const bool all = (flags & rfReplaceAll) != 0;
    std::string out;
    size_t pos = 0;
    while (pos < s.size()) {
        size_t found = std::string_view::npos;
        if (ignoreCase) {
            for (size_t k = pos; k + oldPattern.size() <= s.size(); ++k) {
                if (CompareText(s.substr(k, oldPattern.size()), oldPattern) == 0) {
                    found = k;
                    break;
                }
            }
        } else {
            found = s.find(oldPattern, pos);
        }
        if (found == std::string_view::npos) break;
        out.append(s.substr(pos, found - pos));
        out.append(newPattern);
        pos = found + oldPattern.size();
        if (!all) break;
    }
    out.append(s.substr(std::min(pos, s.size())));
    return out;
}

} // namespace host
