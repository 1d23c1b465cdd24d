// TParam, TParams and ParseSQL.
#include "host/Params.h"

#include <cstring>

#include "host/DataSet.h"
#include "host/DateTime.h"
#include "host/Exceptions.h"
#include "host/Fields.h"
#include "host/Messages.h"
#include "host/Stream.h"
#include "host/Strings.h"
#include "host/SysUtils.h"

namespace host {

namespace {

TComponent* OwnerComponent(const TCollection* collection) {
    return collection != nullptr ? dynamic_cast<TComponent*>(collection->GetOwner()) : nullptr;
}

bool IsQuote(char c) {
    return c == '\'' || c == '"' || c == '`';
}

bool IsNameDelimiter(char c) {
    return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n';
}

} // namespace

// ---- TParam

TParam::TParam(TCollection* collection) : TCollectionItem(collection) {}

TParam::TParam(TParams* params, TParamType paramType) : TCollectionItem(params), fParamType(paramType) {}

TParam* TParam::ParamRef() const {
    if (fParamRef == nullptr) {
        fParamRef = const_cast<TParam*>(this);
        if (auto* params = dynamic_cast<TParams*>(Collection()); params != nullptr && !fName.empty())
            if (TParam* first = params->FindParam(fName)) fParamRef = first;
    }
    return fParamRef;
}

void TParam::SetName(const std::string& value) {
    if (value == fName) return;
    fName = value;
    Changed(false);
}

TFieldType TParam::DataType() const {
    return ParamRef()->fDataType;
}

void TParam::SetDataType(TFieldType value) {
    TParam* ref = ParamRef();
    ref->fDataType = value;
    ref->fData.Clear();
    ref->fNull = true;
}

TParamType TParam::ParamType() const {
    return ParamRef()->fParamType;
}

void TParam::SetParamType(TParamType value) {
    ParamRef()->fParamType = value;
}

bool TParam::IsNull() const {
    const TParam* ref = ParamRef();
    return ref->fNull || ref->fData.IsNull() || ref->fData.IsEmpty();
}

Variant TParam::Value() const {
    return ParamRef()->fData;
}

void TParam::SetValue(const Variant& value) {
    TParam* ref = ParamRef();
    ref->fBound = !value.IsEmpty();
    fBound = ref->fBound;
    ref->fNull = value.IsEmpty() || value.IsNull();
    if (ref->fDataType == ftUnknown) {
        switch (value.VarType() & varTypeMask) {
        case varSmallint:
        case varByte:
            ref->fDataType = ftSmallint;
            break;
        case varInteger:
            ref->fDataType = ftInteger;
            break;
        case varCurrency:
            ref->fDataType = ftBCD;
            break;
        case varDouble:
            ref->fDataType = ftFloat;
            break;
        case varDate:
            ref->fDataType = ftDateTime;
            break;
        case varBoolean:
            ref->fDataType = ftBoolean;
            break;
        case varString:
            ref->fDataType = ftString;
            break;
        case varInt64:
            ref->fDataType = ftLargeint;
            break;
        default:
            break;
        }
    }
    ref->fData = value;
}

void TParam::Clear() {
    TParam* ref = ParamRef();
    ref->fNull = true;
    ref->fData.Clear();
}

std::string TParam::AsString() const {
    if (IsNull()) return {};
    return VarToStr(Value());
}

int32_t TParam::AsInteger() const {
    return IsNull() ? 0 : Value().AsInteger();
}

double TParam::AsFloat() const {
    return IsNull() ? 0.0 : Value().AsDouble();
}

double TParam::AsCurrency() const {
    return IsNull() ? 0.0 : Value().AsCurrency();
}

bool TParam::AsBoolean() const {
    return !IsNull() && Value().AsBoolean();
}

TDateTime TParam::AsDateTime() const {
    return IsNull() ? 0.0 : Value().AsDateTime();
}

void TParam::SetAsString(const std::string& v) {
    if (DataType() != ftFixedChar) SetDataType(ftString);
    SetValue(Variant(v));
}

void TParam::SetAsInteger(int32_t v) {
    SetDataType(ftInteger);
    SetValue(Variant(v));
}

void TParam::SetAsSmallInt(int32_t v) {
    SetDataType(ftSmallint);
    SetValue(Variant(v));
}

void TParam::SetAsWord(int32_t v) {
    SetDataType(ftWord);
    SetValue(Variant(v));
}

void TParam::SetAsFloat(double v) {
    SetDataType(ftFloat);
    SetValue(Variant(v));
}

void TParam::SetAsCurrency(double v) {
    SetDataType(ftCurrency);
    SetValue(Variant::FromCurrency(v));
}

void TParam::SetAsBCD(double v) {
    SetDataType(ftBCD);
    SetValue(Variant::FromCurrency(v));
}

void TParam::SetAsBoolean(bool v) {
    SetDataType(ftBoolean);
    SetValue(Variant(v));
}

void TParam::SetAsDate(TDateTime v) {
    SetDataType(ftDate);
    SetValue(Variant::FromDateTime(v));
}

void TParam::SetAsTime(TDateTime v) {
    SetDataType(ftTime);
    SetValue(Variant::FromDateTime(v));
}

void TParam::SetAsDateTime(TDateTime v) {
    SetDataType(ftDateTime);
    SetValue(Variant::FromDateTime(v));
}

void TParam::SetAsMemo(const std::string& v) {
    SetDataType(ftMemo);
    SetValue(Variant(v));
}

void TParam::SetAsBlob(const std::string& v) {
    SetDataType(ftBlob);
    SetValue(Variant(v));
}

int TParam::GetDataSize() const {
    const TFieldType type = DataType();
    switch (type) {
    case ftUnknown:
        DatabaseErrorFmt(SUnknownFieldType, {fName}, OwnerComponent(Collection()));
    case ftString:
    case ftFixedChar:
    case ftMemo:
        return static_cast<int>(AsString().size()) + 1;
    case ftBoolean:
        return 2;
    case ftBCD:
        return static_cast<int>(sizeof(TBcd));
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
        return 8;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
        return 4;
    case ftSmallint:
    case ftWord:
        return 2;
    case ftBytes:
    case ftVarBytes: {
        const Variant v = Value();
        if (v.IsArray()) return v.ArrayCount();
        return IsNull() ? 0 : static_cast<int>(v.AsString().size());
    }
    default:
        if (ftBlobTypes.Contains(type)) return static_cast<int>(AsString().size());
        DatabaseErrorFmt(SBadFieldType, {fName}, OwnerComponent(Collection()));
    }
}

void TParam::GetData(void* buffer) const {
    auto* out = static_cast<uint8_t*>(buffer);
    const TFieldType type = DataType();
    auto put = [out](const auto& value) { std::memcpy(out, &value, sizeof value); };
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftMemo: {
        const std::string s = AsString();
        std::memcpy(out, s.c_str(), s.size() + 1);
        break;
    }
    case ftSmallint:
        put(static_cast<int16_t>(AsInteger()));
        break;
    case ftWord:
        put(static_cast<uint16_t>(AsInteger()));
        break;
    case ftInteger:
    case ftAutoInc:
        put(AsInteger());
        break;
    case ftBoolean:
        put(static_cast<uint16_t>(AsBoolean() ? 1 : 0));
        break;
    case ftFloat:
    case ftCurrency:
        put(AsFloat());
        break;
    case ftBCD:
        put(DoubleToBcd(AsCurrency(), 0, fNumericScale > 0 ? fNumericScale : 4));
        break;
    case ftDate:
        put(DateTimeToTimeStamp(AsDateTime()).Date);
        break;
    case ftTime:
        put(DateTimeToTimeStamp(AsDateTime()).Time);
        break;
    case ftDateTime:
        put(TimeStampToMSecs(DateTimeToTimeStamp(AsDateTime())));
        break;
    case ftBytes:
    case ftVarBytes: {
        const Variant v = Value();
        if (v.IsArray()) {
            for (int i = 0; i < v.ArrayCount(); ++i)
                out[i] = static_cast<uint8_t>(v[v.ArrayLowBound() + i].AsInteger());
        } else if (!IsNull()) {
            const std::string s = v.AsString();
            std::memcpy(out, s.data(), s.size());
        }
        break;
    }
    default:
        if (ftBlobTypes.Contains(type)) {
            const std::string s = AsString();
            std::memcpy(out, s.data(), s.size());
            break;
        }
        DatabaseErrorFmt(SBadFieldType, {fName}, OwnerComponent(Collection()));
    }
}

void TParam::SetData(const void* buffer) {
    const auto* in = static_cast<const uint8_t*>(buffer);
    const TFieldType type = DataType();
    auto get = [in](auto value) {
        std::memcpy(&value, in, sizeof value);
        return value;
    };
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftMemo:
        SetValue(Variant(std::string(reinterpret_cast<const char*>(in))));
        break;
    case ftSmallint:
        SetValue(Variant(static_cast<int32_t>(get(int16_t{}))));
        break;
    case ftWord:
        SetValue(Variant(static_cast<int32_t>(get(uint16_t{}))));
        break;
    case ftInteger:
    case ftAutoInc:
        SetValue(Variant(get(int32_t{})));
        break;
    case ftBoolean:
        SetValue(Variant(get(uint16_t{}) != 0));
        break;
    case ftFloat:
        SetValue(Variant(get(double{})));
        break;
    case ftCurrency:
        SetValue(Variant::FromCurrency(get(double{})));
        break;
    case ftBCD:
        SetValue(Variant::FromCurrency(BcdToDouble(get(TBcd{}))));
        break;
    case ftDate:
        SetValue(Variant::FromDateTime(TimeStampToDateTime(TTimeStamp{0, get(int32_t{})})));
        break;
    case ftTime:
        SetValue(Variant::FromDateTime(TimeStampToDateTime(TTimeStamp{get(int32_t{}), DateDelta})));
        break;
    case ftDateTime:
        SetValue(Variant::FromDateTime(TimeStampToDateTime(MSecsToTimeStamp(get(double{})))));
        break;
    default:
        if (ftBlobTypes.Contains(type) || type == ftBytes || type == ftVarBytes) {
            SetValue(Variant(std::string(reinterpret_cast<const char*>(in), static_cast<size_t>(fSize))));
            break;
        }
        DatabaseErrorFmt(SBadFieldType, {fName}, OwnerComponent(Collection()));
    }
}

void TParam::AssignFieldValue(TField* field, const Variant& value) {
    if (field == nullptr) return;
    TFieldType type = field->DataType();
    if (type == ftString) {
        if (auto* text = dynamic_cast<TStringField*>(field); text != nullptr && text->FixedChar())
            type = ftFixedChar;
    } else if (type == ftMemo && field->Size() > 255) {
        type = ftString;
    }
    SetDataType(type);
    if (value.IsNull())
        Clear();
    else
        SetValue(value);
    fSize = field->DataSize();
    if (type == ftBCD) fNumericScale = field->Size();
    fBound = true;
    ParamRef()->fBound = true;
}

void TParam::AssignField(TField* field) {
    if (field == nullptr) return;
    AssignFieldValue(field, field->Value());
    SetName(field->FieldName());
}

void TParam::AssignToField(TField* field) const {
    if (field != nullptr) field->SetValue(Value());
}

void TParam::AssignParam(const TParam* param) {
    if (param == nullptr) return;
    SetDataType(param->DataType());
    if (param->IsNull())
        Clear();
    else
        SetValue(param->Value());
    fBound = param->Bound();
    SetName(param->Name());
    if (ParamType() == ptUnknown) SetParamType(param->ParamType());
    fSize = param->fSize;
    fPrecision = param->fPrecision;
    fNumericScale = param->fNumericScale;
}

void TParam::Assign(TPersistent* source) {
    if (auto* param = dynamic_cast<TParam*>(source)) {
        AssignParam(param);
    } else if (auto* field = dynamic_cast<TField*>(source)) {
        AssignField(field);
    } else if (auto* strings = dynamic_cast<TStrings*>(source)) {
        SetAsMemo(strings->Text());
    } else {
        TCollectionItem::Assign(source);
    }
}

void TParam::AssignTo(TPersistent* dest) {
    if (auto* field = dynamic_cast<TField*>(dest)) {
        AssignToField(field);
        return;
    }
    TCollectionItem::AssignTo(dest);
}

bool TParam::IsEqual(const TParam* other) const {
    return other != nullptr && fName == other->fName && DataType() == other->DataType() &&
           ParamType() == other->ParamType() && IsNull() == other->IsNull() && Bound() == other->Bound() &&
           VarCompareValue(Value(), other->Value()) == vrEqual;
}

void TParam::LoadFromStream(TStream& stream, TFieldType blobType) {
    SetDataType(blobType);
    stream.SetPosition(0);
    const int64_t size = stream.Size();
    std::string bytes(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), size);
    SetValue(Variant(std::move(bytes)));
}

void TParam::LoadFromFile(const std::string& fileName, TFieldType blobType) {
    TMemoryStream stream;
    stream.LoadFromFile(fileName);
    LoadFromStream(stream, blobType);
}

// ---- TParams

TParams::TParams(TPersistent* owner) : TCollection(ItemClassOf<TParam>()), fOwner(owner) {}

void TParams::Update(TCollectionItem* item) {
    // dynamic_cast: an item still under construction (being inserted) is not a TParam yet.
    for (int i = 0; i < Count(); ++i)
        if (auto* param = dynamic_cast<TParam*>(TCollection::Items(i))) param->fParamRef = nullptr;
    TCollection::Update(item);
}

TParam* TParams::Items(int index) const {
    return static_cast<TParam*>(TCollection::Items(index))->ParamRef();
}

TParam* TParams::FindParam(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        auto* param = static_cast<TParam*>(TCollection::Items(i));
        if (AnsiSameText(param->Name(), name)) return param;
    }
    return nullptr;
}

TParam* TParams::ParamByName(const std::string& name) const {
    TParam* param = FindParam(name);
    if (param == nullptr) DatabaseErrorFmt(SParameterNotFound, {name}, dynamic_cast<TComponent*>(fOwner));
    return param;
}

void TParams::GetParamList(std::vector<TParam*>& list, const std::string& paramNames) const {
    size_t pos = 0;
    while (pos < paramNames.size())
        list.push_back(ParamByName(ExtractFieldName(paramNames, pos)));
}

Variant TParams::ParamValues(const std::string& names) const {
    if (names.find(';') == std::string::npos) return ParamByName(names)->Value();
    std::vector<TParam*> params;
    GetParamList(params, names);
    Variant result = VarArrayCreate(0, static_cast<int>(params.size()) - 1);
    for (size_t i = 0; i < params.size(); ++i)
        result.PutElement(static_cast<int>(i), params[i]->Value());
    return result;
}

void TParams::SetParamValues(const std::string& names, const Variant& values) {
    if (names.find(';') == std::string::npos) {
        ParamByName(names)->SetValue(values);
        return;
    }
    std::vector<TParam*> params;
    GetParamList(params, names);
    for (size_t i = 0; i < params.size(); ++i)
        params[i]->SetValue(values[values.ArrayLowBound() + static_cast<int>(i)]);
}

TParam* TParams::CreateParam(TFieldType fieldType, const std::string& name, TParamType paramType) {
    auto* param = static_cast<TParam*>(Add());
    param->SetName(name);
    param->SetParamType(paramType);
    param->SetDataType(fieldType);
    return param;
}

void TParams::AddParam(TParam* value) {
    value->SetCollection(this);
}

void TParams::RemoveParam(TParam* value) {
    if (value->Collection() == this) value->SetCollection(nullptr);
}

void TParams::AssignValues(const TParams* source) {
    if (source == nullptr) return;
    for (int i = 0; i < source->Count(); ++i) {
        TParam* from = source->Items(i);
        if (TParam* to = FindParam(static_cast<TParam*>(source->TCollection::Items(i))->Name()))
            to->Assign(from);
    }
}

bool TParams::IsEqual(const TParams* other) const {
    if (other == nullptr || other->Count() != Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (!static_cast<TParam*>(TCollection::Items(i))
                 ->IsEqual(static_cast<TParam*>(other->TCollection::Items(i))))
            return false;
    return true;
}

std::string TParams::ParseSQL(const std::string& sql, bool doCreate) {
    if (doCreate) Clear();
    std::string out;
    out.reserve(sql.size());
    ScanParamMarkers(
        sql, [&out](std::string_view text) { out += text; },
        [&](const std::string& name, bool /*quoted*/) {
            if (doCreate) CreateParam(ftUnknown, name, ptUnknown);
            out.push_back('?');
        });
    return out;
}

void ScanParamMarkers(std::string_view sql, const std::function<void(std::string_view text)>& onText,
                      const std::function<void(const std::string& name, bool quoted)>& onMarker) {
    bool literal = false;
    size_t textStart = 0;
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == ':' && !literal) {
            if (textStart < i) onText(sql.substr(textStart, i - textStart));
            if (i + 1 < sql.size() && sql[i + 1] == ':') {
                // "::" is an escaped colon: keep one and do not read a name after it.
                onText(":");
                i += 2;
                textStart = i;
                continue;
            }
            size_t end = i + 1;
            bool inName = false; // quote characters inside the name toggle it, as they do outside
            while (end < sql.size() && (inName || !IsNameDelimiter(sql[end]))) {
                if (IsQuote(sql[end])) inName = !inName;
                ++end;
            }
            std::string name(sql.substr(i + 1, end - i - 1));
            const bool quoted = !name.empty() && IsQuote(name.front());
            if (quoted) {
                name.erase(0, 1);
                if (!name.empty() && IsQuote(name.back())) name.pop_back();
            }
            onMarker(name, quoted);
            i = end;
            textStart = i;
            continue;
        }
        if (literal && c == '\\') {
            // The server's string escape: a backslash takes the next character as it is, so an
            // escaped quote does not end the literal.
            i += 2;
            continue;
        }
        if (IsQuote(c)) literal = !literal;
        ++i;
    }
    if (textStart < sql.size()) onText(sql.substr(textStart));
}

} // namespace host
