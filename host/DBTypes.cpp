// Field type names and packed-decimal conversions.
#include "host/DBTypes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "host/Exceptions.h"

namespace host {

const std::array<const char*, FieldTypeCount> FieldTypeNames = {
    "Unknown",    "String",    "SmallInt",  "Integer",    "Word",      "Boolean",     "Float",   "Currency",
    "BCD",        "Date",      "Time",      "DateTime",   "Bytes",     "VarBytes",    "AutoInc", "Blob",
    "Memo",       "Graphic",   "FmtMemo",   "ParadoxOle", "dBaseOle",  "TypedBinary", "Cursor",  "FixedChar",
    "WideString", "Largeint",  "ADT",       "Array",      "Reference", "DataSet",     "OraBlob", "OraClob",
    "Variant",    "Interface", "IDispatch", "Guid"};

TBcd DoubleToBcd(double value, int precision, int scale) {
    if (scale < 0 || scale > 32 || precision < 0 || precision > 64 || !std::isfinite(value))
        throw EConvertError("BCD overflow");
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", scale, std::fabs(value));
    std::string digits(text);
    const size_t dot = digits.find('.');
    std::string intPart = dot == std::string::npos ? digits : digits.substr(0, dot);
    const std::string fracPart = dot == std::string::npos ? std::string() : digits.substr(dot + 1);
    intPart.erase(0, intPart.find_first_not_of('0'));
    const int needed = static_cast<int>(intPart.size()) + scale;
    if (precision == 0) precision = std::max(needed, 1);
    if (static_cast<int>(intPart.size()) > precision - scale || precision > 64)
        throw EConvertError("BCD overflow");
    std::string all;
    all.reserve(static_cast<size_t>(precision));
    all.append(static_cast<size_t>(precision - needed), '0');
    all.append(intPart);
    all.append(fracPart);
    TBcd bcd{};
    bcd.Precision = static_cast<uint8_t>(precision);
    const bool nonZero = all.find_first_not_of('0') != std::string::npos;
    bcd.SignSpecialPlaces = static_cast<uint8_t>(((value < 0 && nonZero) ? 0x80 : 0) | scale);
    for (size_t i = 0; i < all.size(); ++i) {
        const uint8_t nibble = static_cast<uint8_t>(all[i] - '0');
        bcd.Fraction[i / 2] |= static_cast<uint8_t>((i % 2 == 0) ? nibble << 4 : nibble);
    }
    return bcd;
}

double BcdToDouble(const TBcd& bcd) {
    const int precision = std::min<int>(bcd.Precision, 64);
    const int scale = std::min(bcd.SignSpecialPlaces & 0x3F, precision);
    std::string text = "0"; // a leading zero keeps "0.5" well-formed when all digits are decimals
    text.reserve(static_cast<size_t>(precision) + 3);
    for (int i = 0; i < precision; ++i) {
        if (i == precision - scale) text.push_back('.');
        const uint8_t byte = bcd.Fraction[i / 2];
        const int nibble = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
        text.push_back(static_cast<char>('0' + std::min(nibble, 9)));
    }
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return (bcd.SignSpecialPlaces & 0x80) ? -value : value;
}

} // namespace host
