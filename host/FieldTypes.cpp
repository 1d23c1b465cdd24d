// The typed field classes: native formats and conversions (blob fields: BlobFields.cpp).
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "host/DataSet.h"
#include "host/DateTime.h"
#include "host/Exceptions.h"
#include "host/Fields.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

// ---- TStringField

TStringField::TStringField(TComponent* owner) : TField(owner) {
    SetDataType(ftString);
    SetSizeDirect(20);
    SetTransliterate(true);
}

namespace {

// String fields up to this size go through a stack buffer; longer ones through the heap.
constexpr int kSmallStringSize = 255;

} // namespace

void TStringField::CheckTypeSize(int size) const {
    if (size < 0 || size > dsMaxStringFieldSize) DatabaseError(SInvalidFieldSize);
}

bool TStringField::GetValue(std::string& value) const {
    const int size = std::max(Size(), 0);
    // Reads the DataSize (Size + 1) bytes, terminates them at Size and cuts at the terminator.
    auto read = [&](char* buffer) {
        buffer[0] = 0;
        if (!GetData(buffer)) return false;
        buffer[size] = 0;
        if (Transliterate() && DataSet() != nullptr) DataSet()->Translate(buffer, buffer, false);
        return true;
    };
    if (size <= kSmallStringSize) {
        char buffer[kSmallStringSize + 1];
        if (!read(buffer)) return false;
        value.assign(buffer, strnlen(buffer, static_cast<size_t>(size)));
        return true;
    }
    // Straight into value (its capacity is reused by callers that keep it).
    value.resize(static_cast<size_t>(size) + 1);
    if (!read(value.data())) {
        value.clear();
        return false;
    }
    value.resize(strnlen(value.data(), static_cast<size_t>(size)));
    return true;
}

std::string TStringField::GetAsString() const {
    std::string value;
    GetValue(value);
    return value;
}

void TStringField::SetAsString(const std::string& value) {
    // The dataset copies DataSize (Size + 1) bytes: the buffer has them all, zero after the text.
    const size_t size = static_cast<size_t>(std::max(Size(), 0));
    const size_t n = std::min(value.size(), size);
    auto write = [&](char* buffer) {
        std::memcpy(buffer, value.data(), n);
        if (Transliterate() && DataSet() != nullptr) DataSet()->Translate(buffer, buffer, true);
        SetData(buffer);
    };
    if (size <= static_cast<size_t>(kSmallStringSize)) {
        char buffer[kSmallStringSize + 1] = {};
        write(buffer);
        return;
    }
    std::string buffer(size + 1, '\0');
    write(buffer.data());
}

int32_t TStringField::GetAsInteger() const {
    return StrToInt(GetAsString());
}

int64_t TStringField::GetAsLargeInt() const {
    return StrToInt64(GetAsString());
}

double TStringField::GetAsFloat() const {
    return StrToFloat(GetAsString());
}

TDateTime TStringField::GetAsDateTime() const {
    return StrToDateTime(GetAsString());
}

bool TStringField::GetAsBoolean() const {
    const std::string s = GetAsString();
    return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

Variant TStringField::GetAsVariant() const {
    std::string value;
    if (!GetValue(value)) return Null();
    return Variant(std::move(value));
}

void TStringField::SetAsFloat(double value) {
    SetAsString(FloatToStr(value));
}

void TStringField::SetAsDateTime(TDateTime value) {
    SetAsString(DateTimeToStr(value));
}

// ---- numeric fields

TNumericField::TNumericField(TComponent* owner) : TField(owner) {
    SetAlignment(taRightJustify);
}

TIntegerField::TIntegerField(TComponent* owner)
    : TNumericField(owner), fTypeMin(INT32_MIN), fTypeMax(INT32_MAX) {
    SetDataType(ftInteger);
}

bool TIntegerField::GetValue(int32_t& value) const {
    int32_t slot = 0;
    if (!GetData(&slot)) return false;
    switch (DataType()) {
    case ftSmallint:
        value = static_cast<int16_t>(static_cast<uint16_t>(slot & 0xFFFF));
        break;
    case ftWord:
        value = slot & 0xFFFF;
        break;
    default:
        value = slot;
        break;
    }
    return true;
}

int32_t TIntegerField::GetAsInteger() const {
    int32_t value = 0;
    return GetValue(value) ? value : 0;
}

std::string TIntegerField::GetAsString() const {
    int32_t value = 0;
    return GetValue(value) ? IntToStr(value) : std::string();
}

void TIntegerField::GetText(std::string& text, bool /*displayText*/) const {
    text = GetAsString();
}

Variant TIntegerField::GetAsVariant() const {
    int32_t value = 0;
    if (!GetValue(value)) return Null();
    return Variant(value);
}

void TIntegerField::SetAsLargeInt(int64_t value) {
    const bool custom = fMinValue != 0 || fMaxValue != 0;
    const int64_t lo = custom ? fMinValue : fTypeMin;
    const int64_t hi = custom ? fMaxValue : fTypeMax;
    if (value < lo || value > hi)
        RangeError(static_cast<double>(value), static_cast<double>(lo), static_cast<double>(hi));
    int32_t slot = static_cast<int32_t>(value);
    SetData(&slot);
}

void TIntegerField::SetAsInteger(int32_t value) {
    SetAsLargeInt(value);
}

void TIntegerField::SetAsFloat(double value) {
    if (!(value >= -9.2e18 && value <= 9.2e18)) {
        const bool custom = fMinValue != 0 || fMaxValue != 0;
        RangeError(value, custom ? fMinValue : fTypeMin, custom ? fMaxValue : fTypeMax);
    }
    SetAsLargeInt(std::llround(value));
}

void TIntegerField::SetAsString(const std::string& value) {
    if (value.empty()) {
        Clear();
        return;
    }
    int64_t v = 0;
    if (!TryStrToInt64(value, v)) DatabaseErrorFmt(SInvalidIntegerValue, {value, DisplayName()});
    SetAsLargeInt(v);
}

void TIntegerField::SetVarValue(const Variant& value) {
    SetAsLargeInt(value.AsInt64());
}

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner) {
    SetDataType(ftSmallint);
    SetRange(-32768, 32767);
}

TWordField::TWordField(TComponent* owner) : TIntegerField(owner) {
    SetDataType(ftWord);
    SetRange(0, 65535);
}

TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner) {
    SetDataType(ftAutoInc);
}

TLargeintField::TLargeintField(TComponent* owner) : TNumericField(owner) {
    SetDataType(ftLargeint);
}

bool TLargeintField::GetValue(int64_t& value) const {
    int64_t slot = 0;
    if (!GetData(&slot)) return false;
    value = slot;
    return true;
}

int64_t TLargeintField::GetAsLargeInt() const {
    int64_t value = 0;
    return GetValue(value) ? value : 0;
}

int32_t TLargeintField::GetAsInteger() const {
    const int64_t value = GetAsLargeInt();
    if (value < INT32_MIN || value > INT32_MAX) RangeError(static_cast<double>(value), INT32_MIN, INT32_MAX);
    return static_cast<int32_t>(value);
}

std::string TLargeintField::GetAsString() const {
    int64_t value = 0;
    return GetValue(value) ? IntToStr(value) : std::string();
}

Variant TLargeintField::GetAsVariant() const {
    int64_t value = 0;
    if (!GetValue(value)) return Null();
    return Variant(value);
}

void TLargeintField::SetAsLargeInt(int64_t value) {
    SetData(&value);
}

void TLargeintField::SetAsFloat(double value) {
    if (!(value >= -9.2e18 && value <= 9.2e18)) RangeError(value, -9.2e18, 9.2e18);
    SetAsLargeInt(std::llround(value));
}

void TLargeintField::SetAsString(const std::string& value) {
    if (value.empty()) {
        Clear();
        return;
    }
    int64_t v = 0;
    if (!TryStrToInt64(value, v)) DatabaseErrorFmt(SInvalidIntegerValue, {value, DisplayName()});
    SetAsLargeInt(v);
}

// ---- TFloatField / TCurrencyField

TFloatField::TFloatField(TComponent* owner) : TNumericField(owner) {
    SetDataType(ftFloat);
}

void TFloatField::SetCurrency(bool v) {
    if (v == fCurrency) return;
    fCurrency = v;
    PropertyChanged(false);
}

void TFloatField::SetPrecision(int v) {
    fPrecision = std::clamp(v, 2, 15);
    PropertyChanged(false);
}

bool TFloatField::GetValue(double& value) const {
    double slot = 0;
    if (!GetData(&slot)) return false;
    value = slot;
    return true;
}

double TFloatField::GetAsFloat() const {
    double value = 0;
    return GetValue(value) ? value : 0.0;
}

int32_t TFloatField::GetAsInteger() const {
    const double value = GetAsFloat();
    if (!(value >= INT32_MIN - 0.5 && value < INT32_MAX + 0.5)) RangeError(value, INT32_MIN, INT32_MAX);
    return static_cast<int32_t>(std::llround(value));
}

int64_t TFloatField::GetAsLargeInt() const {
    const double value = GetAsFloat();
    if (!(value >= -9.2e18 && value <= 9.2e18)) RangeError(value, -9.2e18, 9.2e18);
    return std::llround(value);
}

std::string TFloatField::GetAsString() const {
    double value = 0;
    if (!GetValue(value)) return {};
    return FloatToStrG(value, fPrecision, FormatSettings);
}

void TFloatField::GetText(std::string& text, bool displayText) const {
    double value = 0;
    if (!GetValue(value)) {
        text.clear();
        return;
    }
    text = (displayText && fCurrency) ? FloatToStrFixed(value, 2, FormatSettings)
                                      : FloatToStrG(value, fPrecision, FormatSettings);
}

Variant TFloatField::GetAsVariant() const {
    double value = 0;
    if (!GetValue(value)) return Null();
    return Variant(value);
}

void TFloatField::SetAsFloat(double value) {
    if ((fMinValue != 0 || fMaxValue != 0) && (value < fMinValue || value > fMaxValue))
        RangeError(value, fMinValue, fMaxValue);
    SetData(&value);
}

void TFloatField::SetAsString(const std::string& value) {
    if (value.empty()) {
        Clear();
        return;
    }
    double v = 0;
    if (!TryStrToFloat(value, v)) DatabaseErrorFmt(SInvalidFloatValue, {value, DisplayName()});
    SetAsFloat(v);
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner) {
    SetDataType(ftCurrency);
    SetCurrency(true);
}

// ---- TBooleanField

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) {
    SetDataType(ftBoolean);
    SetDisplayValues("");
}

void TBooleanField::SetDisplayValues(const std::string& value) {
    fDisplayValues = value;
    fTextValues[0] = STextTrue;
    fTextValues[1] = STextFalse;
    if (!value.empty()) {
        const size_t p = value.find(';');
        fTextValues[0] = value.substr(0, p);
        fTextValues[1] = p == std::string::npos ? std::string() : value.substr(p + 1);
    }
    PropertyChanged(true);
}

bool TBooleanField::GetValue(bool& value) const {
    uint16_t slot = 0;
    if (!GetData(&slot)) return false;
    value = slot != 0;
    return true;
}

bool TBooleanField::GetAsBoolean() const {
    bool value = false;
    return GetValue(value) && value;
}

int32_t TBooleanField::GetAsInteger() const {
    return GetAsBoolean() ? 1 : 0;
}

std::string TBooleanField::GetAsString() const {
    bool value = false;
    if (!GetValue(value)) return {};
    return value ? fTextValues[0] : fTextValues[1];
}

Variant TBooleanField::GetAsVariant() const {
    bool value = false;
    if (!GetValue(value)) return Null();
    return Variant(value);
}

void TBooleanField::SetAsBoolean(bool value) {
    uint16_t slot = value ? 1 : 0;
    SetData(&slot);
}

void TBooleanField::SetAsString(const std::string& value) {
    if (value.empty()) {
        if (fTextValues[1].empty())
            SetAsBoolean(false);
        else if (fTextValues[0].empty())
            SetAsBoolean(true);
        else
            Clear();
        return;
    }
    // False first, then True: a prefix of both texts means False.
    for (int i = 1; i >= 0; --i)
        if (AnsiSameText(value, fTextValues[i].substr(0, value.size()))) {
            SetAsBoolean(i == 0);
            return;
        }
    DatabaseErrorFmt(SInvalidBoolValue, {value, DisplayName()});
}

// ---- date and time fields

TDateTimeField::TDateTimeField(TComponent* owner) : TField(owner) {
    SetDataType(ftDateTime);
}

int TDateTimeField::GetDataSize() const {
    return (DataType() == ftDate || DataType() == ftTime) ? 4 : 8;
}

bool TDateTimeField::GetValue(TDateTime& value) const {
    uint8_t slot[8] = {};
    if (!GetData(slot)) return false;
    switch (DataType()) {
    case ftDate: {
        int32_t day = 0;
        std::memcpy(&day, slot, 4);
        value = TimeStampToDateTime(TTimeStamp{0, day});
        break;
    }
    case ftTime: {
        int32_t ms = 0;
        std::memcpy(&ms, slot, 4);
        value = TimeStampToDateTime(TTimeStamp{ms, DateDelta});
        break;
    }
    default: {
        double msecs = 0;
        std::memcpy(&msecs, slot, 8);
        value = TimeStampToDateTime(MSecsToTimeStamp(msecs));
        break;
    }
    }
    return true;
}

TDateTime TDateTimeField::GetAsDateTime() const {
    TDateTime value = 0;
    return GetValue(value) ? value : 0.0;
}

void TDateTimeField::GetText(std::string& text, bool displayText) const {
    TDateTime value = 0;
    if (!GetValue(value)) {
        text.clear();
        return;
    }
    if (displayText && !fDisplayFormat.empty()) {
        text = FormatDateTime(fDisplayFormat, value);
        return;
    }
    switch (DataType()) {
    case ftDate:
        text = DateToStr(value);
        break;
    case ftTime:
        text = TimeToStr(value);
        break;
    default:
        text = DateTimeToStr(value);
        break;
    }
}

std::string TDateTimeField::GetAsString() const {
    std::string text;
    GetText(text, false);
    return text;
}

Variant TDateTimeField::GetAsVariant() const {
    TDateTime value = 0;
    if (!GetValue(value)) return Null();
    return Variant::FromDateTime(value);
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
    const TTimeStamp stamp = DateTimeToTimeStamp(value);
    switch (DataType()) {
    case ftDate: {
        int32_t day = stamp.Date;
        SetData(&day);
        break;
    }
    case ftTime: {
        int32_t ms = stamp.Time;
        SetData(&ms);
        break;
    }
    default: {
        double msecs = TimeStampToMSecs(stamp);
        SetData(&msecs);
        break;
    }
    }
}

void TDateTimeField::SetAsString(const std::string& value) {
    if (value.empty()) {
        Clear();
        return;
    }
    switch (DataType()) {
    case ftDate:
        SetAsDateTime(StrToDate(value));
        break;
    case ftTime:
        SetAsDateTime(StrToTime(value));
        break;
    default:
        SetAsDateTime(StrToDateTime(value));
        break;
    }
}

TDateField::TDateField(TComponent* owner) : TDateTimeField(owner) {
    SetDataType(ftDate);
}

TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner) {
    SetDataType(ftTime);
}

// ---- TBCDField

TBCDField::TBCDField(TComponent* owner) : TNumericField(owner) {
    SetDataType(ftBCD);
    SetSizeDirect(4);
}

void TBCDField::CheckTypeSize(int size) const {
    if (size < 0 || size > 32) DatabaseError(SInvalidFieldSize);
}

bool TBCDField::GetValue(double& value) const {
    TBcd bcd{};
    if (!GetData(&bcd)) return false;
    value = BcdToDouble(bcd);
    return true;
}

double TBCDField::GetAsCurrency() const {
    double value = 0;
    if (!GetValue(value)) return 0;
    return std::round(value * 10000.0) / 10000.0;
}

int32_t TBCDField::GetAsInteger() const {
    const double value = GetAsCurrency();
    if (!(value >= INT32_MIN - 0.5 && value < INT32_MAX + 0.5)) RangeError(value, INT32_MIN, INT32_MAX);
    return static_cast<int32_t>(std::llround(value));
}

std::string TBCDField::GetAsString() const {
    double value = 0;
    if (!GetValue(value)) return {};
    return FloatToStr(GetAsCurrency());
}

Variant TBCDField::GetAsVariant() const {
    double value = 0;
    if (!GetValue(value)) return Null();
    return Variant::FromCurrency(value);
}

void TBCDField::SetAsCurrency(double value) {
    const TBcd bcd = DoubleToBcd(value, fPrecision, Size());
    SetData(&bcd);
}

void TBCDField::SetAsString(const std::string& value) {
    if (value.empty()) {
        Clear();
        return;
    }
    double v = 0;
    if (!TryStrToFloat(value, v)) DatabaseErrorFmt(SInvalidFloatValue, {value, DisplayName()});
    SetAsCurrency(v);
}

// ---- binary fields

TBinaryField::TBinaryField(TComponent* owner) : TField(owner) {}

void TBinaryField::CheckTypeSize(int size) const {
    if (size < 0 || size > 65535) DatabaseError(SInvalidFieldSize);
}

std::string TBinaryField::GetAsString() const {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::max(DataSize(), 0)) + 2, 0);
    if (!GetData(buffer.data())) return {};
    if (DataType() == ftVarBytes) {
        uint16_t length = 0;
        std::memcpy(&length, buffer.data(), 2);
        length = static_cast<uint16_t>(std::min<int>(length, Size()));
        return std::string(reinterpret_cast<const char*>(buffer.data()) + 2, length);
    }
    return std::string(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(Size()));
}

void TBinaryField::SetAsString(const std::string& value) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::max(DataSize(), 0)) + 2, 0);
    const size_t n = std::min(value.size(), static_cast<size_t>(Size()));
    if (DataType() == ftVarBytes) {
        const uint16_t length = static_cast<uint16_t>(n);
        std::memcpy(buffer.data(), &length, 2);
        std::memcpy(buffer.data() + 2, value.data(), n);
    } else {
        std::memcpy(buffer.data(), value.data(), n);
    }
    SetData(buffer.data());
}

Variant TBinaryField::GetAsVariant() const {
    if (IsNull()) return Null();
    const std::string bytes = GetAsString();
    Variant result = VarArrayCreate(0, static_cast<int>(bytes.size()) - 1, varByte);
    for (size_t i = 0; i < bytes.size(); ++i)
        result.PutElement(static_cast<int>(i), Variant(static_cast<uint8_t>(bytes[i])));
    return result;
}

void TBinaryField::SetVarValue(const Variant& value) {
    if (!value.IsArray()) {
        SetAsString(value.AsString());
        return;
    }
    std::string bytes;
    for (int i = value.ArrayLowBound(); i <= value.ArrayHighBound(); ++i)
        bytes.push_back(static_cast<char>(value[i].AsInteger() & 0xFF));
    SetAsString(bytes);
}

void TBinaryField::GetText(std::string& text, bool /*displayText*/) const {
    text = ClassDesc();
}

TBytesField::TBytesField(TComponent* owner) : TBinaryField(owner) {
    SetDataType(ftBytes);
    SetSizeDirect(16);
}

TVarBytesField::TVarBytesField(TComponent* owner) : TBinaryField(owner) {
    SetDataType(ftVarBytes);
    SetSizeDirect(16);
}

// ---- object fields

TObjectField::TObjectField(TComponent* owner) : TField(owner), fFields(std::make_unique<TFields>(nullptr)) {
    fFields->fParent = this;
}

TObjectField::~TObjectField() {
    fFields->Clear();
}

void TObjectField::BeforeDestruction() {
    fFields->Clear();
    TField::BeforeDestruction();
}

int TObjectField::FieldCount() const {
    return fFields->Count();
}

std::string TObjectField::GetAsString() const {
    std::string name = ClassName();
    if (!name.empty() && name[0] == 'T') name.erase(0, 1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, "Field") == 0) name.erase(name.size() - 5);
    return "(" + name + ")";
}

Variant TObjectField::GetAsVariant() const {
    Variant result = VarArrayCreate(0, FieldCount() - 1);
    for (int i = 0; i < FieldCount(); ++i)
        result.PutElement(i, fFields->Fields(i)->Value());
    return result;
}

void TObjectField::SetVarValue(const Variant& value) {
    if (!value.IsArray()) AccessError("Variant");
    for (int i = 0; i < FieldCount() && value.ArrayLowBound() + i <= value.ArrayHighBound(); ++i)
        fFields->Fields(i)->SetValue(value[value.ArrayLowBound() + i]);
}

TADTField::TADTField(TComponent* owner) : TObjectField(owner) {
    SetDataType(ftADT);
}

TArrayField::TArrayField(TComponent* owner) : TObjectField(owner) {
    SetDataType(ftArray);
}

} // namespace host
