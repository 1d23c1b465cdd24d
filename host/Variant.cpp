// Variant conversions, arrays, comparison and logic.
#include "host/Variant.h"

#include <cmath>
#include <limits>

#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

namespace {

[[noreturn]] void CastError(TVarType from, TVarType to) {
    throw EVariantError(Format(SVarTypeCastError, VarTypeAsText(from), VarTypeAsText(to)));
}

bool IsIntegral(TVarType t) {
    return t == varByte || t == varSmallint || t == varInteger || t == varInt64;
}

// Kinds that compare as numbers (booleans count as 0 / -1).
bool IsNumberLike(TVarType t) {
    return IsIntegral(t) || t == varDouble || t == varCurrency || t == varDate || t == varBoolean;
}

constexpr double kCurrencyScale = 10000.0;

int64_t RoundToInt64(double v, TVarType from, TVarType to) {
    const double r = std::nearbyint(v); // to nearest, halves to even
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) CastError(from, to);
    return static_cast<int64_t>(r);
}

int Sign(double a, double b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int Sign(int64_t a, int64_t b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

// ---- Variant members

Variant::Variant(Variant&& other) noexcept
    : fType(other.fType), fInt(other.fInt), fString(std::move(other.fString)),
      fArray(std::move(other.fArray)), fLowBound(other.fLowBound) {
    other.fType = varEmpty;
    other.fInt = 0;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        fType = other.fType;
        fInt = other.fInt;
        fString = std::move(other.fString);
        fArray = std::move(other.fArray);
        fLowBound = other.fLowBound;
        other.fType = varEmpty;
        other.fInt = 0;
    }
    return *this;
}

Variant Variant::MakeNull() noexcept {
    Variant v;
    v.fType = varNull;
    return v;
}

Variant Variant::FromCurrency(double value) {
    if (!(std::fabs(value) < 922337203685477.0)) CastError(varDouble, varCurrency);
    Variant v;
    v.fType = varCurrency;
    v.fInt = static_cast<int64_t>(std::nearbyint(value * kCurrencyScale));
    return v;
}

Variant Variant::FromDateTime(TDateTime value) noexcept {
    Variant v;
    v.fType = varDate;
    v.fDouble = value;
    return v;
}

void Variant::Clear() noexcept {
    fType = varEmpty;
    fInt = 0;
    fString.clear();
    fArray.reset();
    fLowBound = 0;
}

std::string Variant::AsString() const {
    switch (fType) {
    case varEmpty:
    case varNull:
        return std::string();
    case varByte:
    case varSmallint:
    case varInteger:
    case varInt64:
        return IntToStr(fInt);
    case varDouble:
        return FloatToStr(fDouble);
    case varCurrency:
        return FloatToStr(static_cast<double>(fInt) / kCurrencyScale);
    case varDate:
        return DateTimeToStr(fDouble);
    case varBoolean:
        return fInt ? STextTrue : STextFalse;
    case varString:
        return fString;
    default:
        CastError(fType, varString);
    }
}

double Variant::AsDouble() const {
    switch (fType) {
    case varEmpty:
        return 0;
    case varByte:
    case varSmallint:
    case varInteger:
    case varInt64:
        return static_cast<double>(fInt);
    case varDouble:
    case varDate:
        return fDouble;
    case varCurrency:
        return static_cast<double>(fInt) / kCurrencyScale;
    case varBoolean:
        return fInt ? -1.0 : 0.0;
    case varString:
        return StrToFloat(fString);
    default:
        CastError(fType, varDouble);
    }
}

int64_t Variant::AsInt64() const {
    switch (fType) {
    case varEmpty:
        return 0;
    case varByte:
    case varSmallint:
    case varInteger:
    case varInt64:
        return fInt;
    case varBoolean:
        return fInt ? -1 : 0;
    case varDouble:
    case varDate:
        return RoundToInt64(fDouble, fType, varInt64);
    case varCurrency:
        return RoundToInt64(static_cast<double>(fInt) / kCurrencyScale, fType, varInt64);
    case varString: {
        int64_t i = 0;
        if (TryStrToInt64(fString, i)) return i;
        double d = 0;
        if (TryStrToFloat(fString, d)) return RoundToInt64(d, fType, varInt64);
        throw EConvertError(Format(SInvalidInteger, fString));
    }
    default:
        CastError(fType, varInt64);
    }
}

int32_t Variant::AsInteger() const {
    const int64_t v = AsInt64();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        CastError(fType, varInteger);
    return static_cast<int32_t>(v);
}

double Variant::AsCurrency() const {
    if (fType == varCurrency) return static_cast<double>(fInt) / kCurrencyScale;
    return std::nearbyint(AsDouble() * kCurrencyScale) / kCurrencyScale;
}

bool Variant::AsBoolean() const {
    switch (fType) {
    case varEmpty:
        return false;
    case varByte:
    case varSmallint:
    case varInteger:
    case varInt64:
    case varBoolean:
    case varCurrency:
        return fInt != 0;
    case varDouble:
    case varDate:
        return fDouble != 0;
    case varString: {
        if (SameText(fString, STextTrue)) return true;
        if (SameText(fString, STextFalse)) return false;
        double d = 0;
        if (TryStrToFloat(fString, d)) return d != 0;
        CastError(fType, varBoolean);
    }
    default:
        CastError(fType, varBoolean);
    }
}

TDateTime Variant::AsDateTime() const {
    switch (fType) {
    case varString:
        return StrToDateTime(fString);
    case varNull:
        CastError(fType, varDate);
    default:
        if (IsArray()) CastError(fType, varDate);
        return AsDouble();
    }
}

const std::vector<Variant>& Variant::Elements() const {
    if (!IsArray() || !fArray) throw EVariantError(SVarNotArray);
    return *fArray;
}

int Variant::ArrayLowBound() const {
    Elements();
    return fLowBound;
}

int Variant::ArrayHighBound() const {
    return fLowBound + static_cast<int>(Elements().size()) - 1;
}

const Variant& Variant::operator[](int index) const {
    const auto& elements = Elements();
    const int64_t k = static_cast<int64_t>(index) - fLowBound;
    if (k < 0 || k >= static_cast<int64_t>(elements.size())) throw EVariantError(SVarArrayBounds);
    return elements[static_cast<size_t>(k)];
}

void Variant::PutElement(int index, const Variant& value) {
    const auto& elements = Elements();
    const int64_t k = static_cast<int64_t>(index) - fLowBound;
    if (k < 0 || k >= static_cast<int64_t>(elements.size())) throw EVariantError(SVarArrayBounds);
    if (fArray.use_count() > 1) fArray = std::make_shared<std::vector<Variant>>(*fArray); // copy on write
    (*fArray)[static_cast<size_t>(k)] = value;
}

// ---- free functions

Variant Null() {
    return Variant::MakeNull();
}
Variant Unassigned() {
    return Variant();
}

bool VarIsStr(const Variant& v) {
    return v.VarType() == varString;
}
bool VarIsNumeric(const Variant& v) {
    return IsIntegral(v.VarType()) || v.VarType() == varDouble || v.VarType() == varCurrency;
}
bool VarIsOrdinal(const Variant& v) {
    return IsIntegral(v.VarType()) || v.VarType() == varBoolean;
}

Variant VarFromDateTime(TDateTime value) {
    return Variant::FromDateTime(value);
}
Variant VarFromCurrency(double value) {
    return Variant::FromCurrency(value);
}

std::string VarToStr(const Variant& v) {
    return v.AsString();
}
std::string VarToStrDef(const Variant& v, const std::string& defaultValue) {
    return v.IsNull() ? defaultValue : v.AsString();
}
int32_t VarToInteger(const Variant& v) {
    if (v.IsNull()) CastError(varNull, varInteger);
    return v.AsInteger();
}
int64_t VarToInt64(const Variant& v) {
    if (v.IsNull()) CastError(varNull, varInt64);
    return v.AsInt64();
}
double VarToDouble(const Variant& v) {
    if (v.IsNull()) CastError(varNull, varDouble);
    return v.AsDouble();
}
bool VarToBoolean(const Variant& v) {
    if (v.IsNull()) CastError(varNull, varBoolean);
    return v.AsBoolean();
}
TDateTime VarToDateTime(const Variant& v) {
    return v.AsDateTime();
}

Variant VarAsType(const Variant& v, TVarType varType) {
    if (v.IsNull() && varType != varNull && varType != varEmpty && varType != varString)
        CastError(varNull, varType);
    switch (varType) {
    case varEmpty:
        return Variant();
    case varNull:
        return Null();
    case varSmallint: {
        const int32_t i = v.AsInteger();
        if (i < INT16_MIN || i > INT16_MAX) CastError(v.VarType(), varType);
        return Variant(static_cast<int16_t>(i));
    }
    case varByte: {
        const int32_t i = v.AsInteger();
        if (i < 0 || i > 255) CastError(v.VarType(), varType);
        return Variant(static_cast<uint8_t>(i));
    }
    case varInteger:
        return Variant(v.AsInteger());
    case varInt64:
        return Variant(v.AsInt64());
    case varDouble:
        return Variant(v.AsDouble());
    case varCurrency:
        return Variant::FromCurrency(v.AsDouble());
    case varDate:
        return Variant::FromDateTime(v.AsDateTime());
    case varBoolean:
        return Variant(v.AsBoolean());
    case varString:
        if (v.IsNull()) CastError(varNull, varString);
        return Variant(v.AsString());
    default:
        CastError(v.VarType(), varType);
    }
}

std::string VarTypeAsText(TVarType varType) {
    if (varType & varArray) return "Array of " + VarTypeAsText(varType & varTypeMask);
    switch (varType) {
    case varEmpty:
        return "Empty";
    case varNull:
        return "Null";
    case varSmallint:
        return "Smallint";
    case varInteger:
        return "Integer";
    case varDouble:
        return "Double";
    case varCurrency:
        return "Currency";
    case varDate:
        return "Date";
    case varBoolean:
        return "Boolean";
    case varVariant:
        return "Variant";
    case varByte:
        return "Byte";
    case varInt64:
        return "Int64";
    case varString:
        return "String";
    default:
        return "Unknown";
    }
}

Variant VarArrayCreate(int lowBound, int highBound, TVarType elementType) {
    if (highBound < lowBound - 1) throw EVariantError(SVarArrayBounds);
    Variant v;
    v.fType = static_cast<TVarType>(varArray | (elementType & varTypeMask));
    v.fLowBound = lowBound;
    v.fArray = std::make_shared<std::vector<Variant>>(static_cast<size_t>(highBound - lowBound + 1));
    return v;
}

Variant VarArrayOf(std::initializer_list<Variant> values) {
    Variant v;
    v.fType = static_cast<TVarType>(varArray | varVariant);
    v.fLowBound = 0;
    v.fArray = std::make_shared<std::vector<Variant>>(values);
    return v;
}

int VarArrayDimCount(const Variant& v) {
    return v.IsArray() ? 1 : 0;
}

int VarArrayLowBound(const Variant& v, int dim) {
    if (dim != 1) throw EVariantError(SVarArrayBounds);
    return v.ArrayLowBound();
}

int VarArrayHighBound(const Variant& v, int dim) {
    if (dim != 1) throw EVariantError(SVarArrayBounds);
    return v.ArrayHighBound();
}

Variant VarArrayGet(const Variant& v, int index) {
    return v[index];
}

void VarArrayPut(Variant& v, const Variant& value, int index) {
    v.PutElement(index, value);
}

// ---- comparison

namespace {

// Orders two non-Null, non-array values (negative, 0, positive).
int CompareScalars(const Variant& a, const Variant& b) {
    const TVarType ta = a.VarType(), tb = b.VarType();
    if (ta == varEmpty && tb == varEmpty) return 0;
    if (ta == varEmpty || tb == varEmpty) {
        const Variant& other = ta == varEmpty ? b : a;
        const int sign = ta == varEmpty ? 1 : -1; // result as seen from a
        int r;
        if (other.VarType() == varString)
            r = CompareStr("", other.RawString());
        else if (other.VarType() == varBoolean)
            r = other.RawInteger() ? -1 : 0;
        else
            r = Sign(0.0, other.AsDouble());
        return sign * r;
    }
    if (ta == varString && tb == varString) return CompareStr(a.RawString(), b.RawString());
    if (ta == varBoolean && tb == varBoolean) return Sign(a.RawInteger(), b.RawInteger());
    if (ta == varString || tb == varString) {
        const bool stringLeft = ta == varString;
        const Variant& s = stringLeft ? a : b;
        const Variant& other = stringLeft ? b : a;
        const int sign = stringLeft ? 1 : -1;
        if (other.VarType() == varBoolean) return sign * Sign(int64_t{s.AsBoolean()}, other.RawInteger());
        if (other.VarType() == varDate) return sign * Sign(StrToDateTime(s.RawString()), other.RawDouble());
        if (IsNumberLike(other.VarType())) return sign * Sign(StrToFloat(s.RawString()), other.AsDouble());
        throw EVariantError(SInvalidVarOp);
    }
    if (!IsNumberLike(ta) || !IsNumberLike(tb)) throw EVariantError(SInvalidVarOp);
    if (IsIntegral(ta) && IsIntegral(tb)) return Sign(a.RawInteger(), b.RawInteger());
    if (ta == varCurrency && tb == varCurrency) return Sign(a.RawInteger(), b.RawInteger());
    return Sign(a.AsDouble(), b.AsDouble());
}

bool Equal(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    if (a.IsArray() || b.IsArray()) {
        if (!a.IsArray() || !b.IsArray()) return false;
        if (a.ArrayLowBound() != b.ArrayLowBound() || a.ArrayHighBound() != b.ArrayHighBound()) return false;
        for (int i = a.ArrayLowBound(); i <= a.ArrayHighBound(); ++i)
            if (!Equal(a[i], b[i])) return false;
        return true;
    }
    return CompareScalars(a, b) == 0;
}

// Ordering comparison; false with a Null operand.
template <class Pred>
bool Ordered(const Variant& a, const Variant& b, Pred pred) {
    if (a.IsNull() || b.IsNull()) return false;
    if (a.IsArray() || b.IsArray()) throw EVariantError(SInvalidVarOp);
    return pred(CompareScalars(a, b));
}

} // namespace

bool operator==(const Variant& a, const Variant& b) {
    return Equal(a, b);
}
bool operator!=(const Variant& a, const Variant& b) {
    return !Equal(a, b);
}
bool operator<(const Variant& a, const Variant& b) {
    return Ordered(a, b, [](int c) { return c < 0; });
}
bool operator>(const Variant& a, const Variant& b) {
    return Ordered(a, b, [](int c) { return c > 0; });
}
bool operator<=(const Variant& a, const Variant& b) {
    return Ordered(a, b, [](int c) { return c <= 0; });
}
bool operator>=(const Variant& a, const Variant& b) {
    return Ordered(a, b, [](int c) { return c >= 0; });
}

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull() ? vrEqual : vrNotEqual;
    if (a.IsArray() || b.IsArray()) return Equal(a, b) ? vrEqual : vrNotEqual;
    const int c = CompareScalars(a, b);
    return c < 0 ? vrLessThan : (c > 0 ? vrGreaterThan : vrEqual);
}

// ---- logic

namespace {

enum class Truth { False, True, Unknown };

Truth ToTruth(const Variant& v) {
    if (v.IsNull()) return Truth::Unknown;
    if (v.IsArray()) throw EVariantError(SInvalidVarOp);
    return v.AsBoolean() ? Truth::True : Truth::False;
}

Variant FromTruth(Truth t) {
    return t == Truth::Unknown ? Null() : Variant(t == Truth::True);
}

Variant IntegerResult(int64_t v) {
    if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
    return Variant(v);
}

} // namespace

Variant VarAnd(const Variant& a, const Variant& b) {
    if (IsIntegral(a.VarType()) && IsIntegral(b.VarType()))
        return IntegerResult(a.RawInteger() & b.RawInteger());
    const Truth x = ToTruth(a), y = ToTruth(b);
    if (x == Truth::False || y == Truth::False) return Variant(false);
    if (x == Truth::Unknown || y == Truth::Unknown) return Null();
    return Variant(true);
}

Variant VarOr(const Variant& a, const Variant& b) {
    if (IsIntegral(a.VarType()) && IsIntegral(b.VarType()))
        return IntegerResult(a.RawInteger() | b.RawInteger());
    const Truth x = ToTruth(a), y = ToTruth(b);
    if (x == Truth::True || y == Truth::True) return Variant(true);
    if (x == Truth::Unknown || y == Truth::Unknown) return Null();
    return Variant(false);
}

Variant VarNot(const Variant& a) {
    if (IsIntegral(a.VarType())) return IntegerResult(~a.RawInteger());
    const Truth x = ToTruth(a);
    if (x == Truth::Unknown) return Null();
    return FromTruth(x == Truth::True ? Truth::False : Truth::True);
}

} // namespace host
