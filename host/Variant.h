// Variant: the tagged value of the host run time (type codes of the classic variant).
//
// Scalars live inside the object (no heap); text is a std::string; an array is a shared
// one-dimensional list of variants, copied on write (so assignment has value semantics).
//
// Conversions (AsXxx / VarToXxx):
//   - Unassigned converts to 0, 0.0, false, '' and date 0; Null converts only to text ('')
//     and raises EVariantError "Could not convert variant of type (Null) into type (%s)" for
//     every other target; an array converts to nothing.
//   - Text converts to numbers with StrToFloat / StrToInt (EConvertError when it is not a
//     number), to boolean when it is "True"/"False" (any case) or a number, to date-time with
//     StrToDateTime.
//   - Boolean true converts to the number -1 and to the text "True".
//   - Double to integer rounds to nearest (halves to even); out of range raises EVariantError.
//
// Comparison rule (operators ==, !=, <, >, <=, >= all return bool):
//   - Null equals Null and nothing else: Null == Null is true, Null == x is false, Null != x is
//     true. Every ordering comparison (<, >, <=, >=) with a Null operand is false.
//   - Unassigned equals Unassigned; against another value it acts as that kind's zero
//     (0, '', false).
//   - Numbers (byte, smallint, integer, int64, double, currency, date, boolean as 0/-1) compare
//     numerically; two booleans compare with false < true.
//   - Text against text compares bytes (case-sensitive); text against a number or date is
//     converted to that kind first, text against a boolean to boolean (EConvertError when it
//     cannot be).
//   - Arrays compare equal element by element; ordering arrays raises EVariantError.
// Logic (VarAnd, VarOr, VarNot) is three-valued for Null: Null and False = False,
// Null and True = Null, Null or True = True, Null or False = Null, not Null = Null. Booleans (and
// text/numbers converted to boolean) give a boolean; two integers (not booleans) combine bitwise,
// and VarNot of an integer is its bitwise complement.
// Unassigned counts as False.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/DateTime.h"

namespace host {

using TVarType = uint16_t;
inline constexpr TVarType varEmpty = 0x0000;
inline constexpr TVarType varNull = 0x0001;
inline constexpr TVarType varSmallint = 0x0002;
inline constexpr TVarType varInteger = 0x0003;
inline constexpr TVarType varDouble = 0x0005;
inline constexpr TVarType varCurrency = 0x0006;
inline constexpr TVarType varDate = 0x0007;
inline constexpr TVarType varBoolean = 0x000B;
inline constexpr TVarType varVariant = 0x000C;
inline constexpr TVarType varByte = 0x0011;
inline constexpr TVarType varInt64 = 0x0014;
inline constexpr TVarType varString = 0x0100;
inline constexpr TVarType varTypeMask = 0x0FFF;
inline constexpr TVarType varArray = 0x2000;

enum TVariantRelationship : uint8_t { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };

class Variant {
public:
    Variant() noexcept : fType(varEmpty), fInt(0) {} // Unassigned
    Variant(int16_t v) noexcept : fType(varSmallint), fInt(v) {}
    Variant(int32_t v) noexcept : fType(varInteger), fInt(v) {}
    Variant(uint8_t v) noexcept : fType(varByte), fInt(v) {}
    Variant(int64_t v) noexcept : fType(varInt64), fInt(v) {}
    Variant(double v) noexcept : fType(varDouble), fDouble(v) {}
    Variant(bool v) noexcept : fType(varBoolean), fInt(v ? 1 : 0) {}
    Variant(const char* s) : fType(varString), fInt(0), fString(s ? s : "") {}
    Variant(std::string s) noexcept : fType(varString), fInt(0), fString(std::move(s)) {}
    Variant(std::string_view s) : fType(varString), fInt(0), fString(s) {}
    Variant(const Variant& other) = default;
    Variant& operator=(const Variant& other) = default;
    // A moved-from variant is Unassigned.
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() = default;

    static Variant MakeNull() noexcept;
    // Currency: stored as an integer count of 1/10000 (the value is rounded to 4 decimals).
    static Variant FromCurrency(double value);
    static Variant FromDateTime(TDateTime value) noexcept;

    TVarType VarType() const { return fType; }
    bool IsNull() const { return fType == varNull; }
    bool IsEmpty() const { return fType == varEmpty; }
    bool IsArray() const { return (fType & varArray) != 0; }
    // Back to Unassigned.
    void Clear() noexcept;

    std::string AsString() const;
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    double AsDouble() const;
    double AsCurrency() const; // rounded to 4 decimals
    bool AsBoolean() const;
    TDateTime AsDateTime() const;

    // ---- arrays (one dimension)
    int ArrayLowBound() const; // EVariantError "Variant is not an array" for a non-array
    int ArrayHighBound() const;
    int ArrayCount() const { return ArrayHighBound() - ArrayLowBound() + 1; }
    // Element at index (bounds included); EVariantError "Variant or safe array index out of
    // bounds" when outside.
    const Variant& operator[](int index) const;
    void PutElement(int index, const Variant& value);

    // Direct access to the stored value for a known type (no conversion, no checks).
    int64_t RawInteger() const { return fInt; }  // varSmallint/Integer/Byte/Int64/Boolean/Currency
    double RawDouble() const { return fDouble; } // varDouble/varDate
    const std::string& RawString() const { return fString; } // varString

private:
    friend Variant VarArrayCreate(int lowBound, int highBound, TVarType elementType);
    friend Variant VarArrayOf(std::initializer_list<Variant> values);
    const std::vector<Variant>& Elements() const;

    TVarType fType;
    union {
        int64_t fInt;
        double fDouble;
    };
    std::string fString;
    std::shared_ptr<std::vector<Variant>> fArray;
    int fLowBound = 0;
};

// The two special values.
Variant Null();
Variant Unassigned();

inline TVarType VarType(const Variant& v) {
    return v.VarType();
}
inline bool VarIsNull(const Variant& v) {
    return v.IsNull();
}
inline bool VarIsEmpty(const Variant& v) {
    return v.IsEmpty();
}
// Unassigned or Null.
inline bool VarIsClear(const Variant& v) {
    return v.IsEmpty() || v.IsNull();
}
inline bool VarIsArray(const Variant& v) {
    return v.IsArray();
}
bool VarIsStr(const Variant& v);
// Byte, smallint, integer, int64, double or currency.
bool VarIsNumeric(const Variant& v);
// Byte, smallint, integer, int64 or boolean.
bool VarIsOrdinal(const Variant& v);

Variant VarFromDateTime(TDateTime value);
Variant VarFromCurrency(double value);

// Text of the value ('' for Null and Unassigned): numbers with IntToStr / FloatToStr,
// dates with DateTimeToStr, booleans "True"/"False".
std::string VarToStr(const Variant& v);
// defaultValue when v is Null.
std::string VarToStrDef(const Variant& v, const std::string& defaultValue);
int32_t VarToInteger(const Variant& v);
int64_t VarToInt64(const Variant& v);
double VarToDouble(const Variant& v);
bool VarToBoolean(const Variant& v);
TDateTime VarToDateTime(const Variant& v);
// Converts to the given type code (varNull and varEmpty give those values).
Variant VarAsType(const Variant& v, TVarType varType);
// "Empty", "Null", "Smallint", "Integer", "Double", "Currency", "Date", "Boolean", "Byte",
// "Int64", "String", "Array of ...".
std::string VarTypeAsText(TVarType varType);

// Arrays: elements low..high, each Unassigned (elementType is recorded for VarType only:
// varArray | elementType).
Variant VarArrayCreate(int lowBound, int highBound, TVarType elementType = varVariant);
// A varArray | varVariant array with bounds 0..n-1.
Variant VarArrayOf(std::initializer_list<Variant> values);
int VarArrayDimCount(const Variant& v); // 1 for arrays, 0 otherwise
int VarArrayLowBound(const Variant& v, int dim = 1);
int VarArrayHighBound(const Variant& v, int dim = 1);
Variant VarArrayGet(const Variant& v, int index);
void VarArrayPut(Variant& v, const Variant& value, int index);

// Comparison, with the rule in the header comment.
bool operator==(const Variant& a, const Variant& b);
bool operator!=(const Variant& a, const Variant& b);
bool operator<(const Variant& a, const Variant& b);
bool operator>(const Variant& a, const Variant& b);
bool operator<=(const Variant& a, const Variant& b);
bool operator>=(const Variant& a, const Variant& b);
// vrNotEqual when exactly one side is Null, vrEqual when both are; else the ordering.
TVariantRelationship VarCompareValue(const Variant& a, const Variant& b);

// Logic, three-valued for Null.
Variant VarAnd(const Variant& a, const Variant& b);
Variant VarOr(const Variant& a, const Variant& b);
Variant VarNot(const Variant& a);

} // namespace host
