// TDataSet: field lists, field creation and binding, calculated fields and field values.
#include <cstring>

#include "host/DataSet.h"
#include "host/Exceptions.h"
#include "host/List.h"
#include "host/Messages.h"
#include "host/Strings.h"
#include "host/SysUtils.h"

namespace host {

namespace {

// Types a calculated or lookup field may have.
constexpr TFieldTypes kCalcFieldTypes{ftString,   ftSmallint, ftInteger,  ftWord,      ftBoolean,
                                      ftFloat,    ftCurrency, ftBCD,      ftDate,      ftTime,
                                      ftDateTime, ftVariant,  ftLargeint, ftWideString};

int TypeFamily(TFieldType type) {
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return 1;
    case ftFloat:
    case ftCurrency:
        return 2;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return 3;
    case ftString:
    case ftFixedChar:
    case ftGuid:
        return 4;
    default:
        return ftBlobTypes.Contains(type) ? 5 : 0;
    }
}

} // namespace

std::string ExtractFieldName(const std::string& fields, size_t& pos) {
    size_t end = fields.find(';', pos);
    if (end == std::string::npos) end = fields.size();
    std::string name = Trim(std::string_view(fields).substr(pos, end - pos));
    pos = end < fields.size() ? end + 1 : end;
    return name;
}

TField* TDataSet::FindField(const std::string& fieldName) const {
    return fFields->FindField(fieldName);
}

TField* TDataSet::FieldByName(const std::string& fieldName) const {
    TField* field = fFields->FindField(fieldName);
    if (field == nullptr) DatabaseErrorFmt(SFieldNotFound, {fieldName}, const_cast<TDataSet*>(this));
    return field;
}

TField* TDataSet::FieldByNumber(int fieldNo) const {
    return fFields->FieldByNumber(fieldNo);
}

void TDataSet::GetFieldNames(TStrings* list) const {
    fFields->GetFieldNames(list);
}

void TDataSet::GetFieldList(std::vector<TField*>& list, const std::string& fieldNames) const {
    size_t pos = 0;
    while (pos < fieldNames.size())
        list.push_back(FieldByName(ExtractFieldName(fieldNames, pos)));
}

void TDataSet::GetFieldList(TList* list, const std::string& fieldNames) const {
    std::vector<TField*> fields;
    GetFieldList(fields, fieldNames);
    for (TField* field : fields)
        list->Add(field);
}

Variant TDataSet::FieldValues(const std::string& fieldNames) const {
    if (fieldNames.find(';') == std::string::npos) return FieldByName(Trim(fieldNames))->Value();
    std::vector<TField*> fields;
    GetFieldList(fields, fieldNames);
    Variant result = VarArrayCreate(0, static_cast<int>(fields.size()) - 1);
    for (size_t i = 0; i < fields.size(); ++i)
        result.PutElement(static_cast<int>(i), fields[i]->Value());
    return result;
}

void TDataSet::SetFieldValues(const std::string& fieldNames, const Variant& value) {
    if (fieldNames.find(';') == std::string::npos) {
        FieldByName(Trim(fieldNames))->SetValue(value);
        return;
    }
    std::vector<TField*> fields;
    GetFieldList(fields, fieldNames);
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->SetValue(value[value.ArrayLowBound() + static_cast<int>(i)]);
}

void TDataSet::SetFieldDefs(TFieldDefs* value) {
    fFieldDefs->Assign(value);
}

TFieldClass TDataSet::GetFieldClass(TFieldType fieldType) {
    return DefaultFieldClass(fieldType);
}

void TDataSet::CreateFields() {
    const bool hidden = fFieldDefs->HiddenFields();
    if (fObjectView) {
        for (int i = 0; i < fFieldDefs->Count(); ++i) {
            TFieldDef* def = fFieldDefs->Items(i);
            if (def->DataType() != ftUnknown && !(def->Attributes().Contains(faHiddenCol) && !hidden))
                def->CreateField(this);
        }
        return;
    }
    std::vector<TFieldDef*> defs;
    std::vector<std::string> names;
    fFieldDefs->GetFlatList(defs, &names);
    for (size_t i = 0; i < defs.size(); ++i) {
        TFieldDef* def = defs[i];
        if (def->DataType() != ftUnknown && !ftObjectTypes.Contains(def->DataType()) &&
            !(def->Attributes().Contains(faHiddenCol) && !hidden))
            def->CreateField(this, nullptr, names[i]);
    }
}

void TDataSet::DestroyFields() {
    fFields->Clear();
}

void TDataSet::CheckFieldCompatibility(TField* field, TFieldDef* fieldDef) {
    const TFieldType a = field->DataType();
    const TFieldType b = fieldDef->DataType();
    const int family = TypeFamily(a);
    if (a != b && (family == 0 || family != TypeFamily(b)))
        DatabaseErrorFmt(SFieldTypeMismatch, {field->DisplayName(), FieldTypeNames[a], FieldTypeNames[b]},
                         this);
    if ((a == ftBytes || a == ftVarBytes || a == ftBCD || a == ftReference) &&
        field->Size() != fieldDef->Size())
        DatabaseErrorFmt(SFieldSizeMismatch, {field->DisplayName(), field->Size(), fieldDef->Size()}, this);
}

void TDataSet::BindFields(bool binding) {
    fCalcFieldsSize = 0;
    fBlobFieldCount = 0;
    fInternalCalcFields = false;
    std::vector<TFieldDef*> defs;
    std::vector<std::string> names;
    if (binding) fFieldDefs->GetFlatList(defs, &names);
    auto bindList = [&](auto&& self, TFields* fields) -> void {
        for (TField* field : *fields) {
            if (binding) {
                if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
                    if (!kCalcFieldTypes.Contains(field->DataType()))
                        DatabaseErrorFmt(SInvalidCalcType, {field->DisplayName()}, this);
                    field->fFieldNo = -1;
                    field->fOffset = fCalcFieldsSize;
                    fCalcFieldsSize += field->DataSize() + 1;
                } else {
                    const std::string fullName = field->FullName();
                    int index = -1;
                    for (size_t i = 0; i < names.size(); ++i)
                        if (AnsiSameText(names[i], fullName)) {
                            index = static_cast<int>(i);
                            break;
                        }
                    if (index < 0) DatabaseErrorFmt(SFieldNotFound, {field->DisplayName()}, this);
                    TFieldDef* def = defs[static_cast<size_t>(index)];
                    field->fFieldNo =
                        field->FieldKind() == fkInternalCalc ? def->FieldNo() : index + fFieldNoOfs;
                    CheckFieldCompatibility(field, def);
                    if (def->InternalCalcField()) fInternalCalcFields = true;
                    if (field->IsBlob()) {
                        field->fSize = def->Size();
                        field->fOffset = fBlobFieldCount++;
                    }
                }
                field->Bind(true);
            } else {
                field->Bind(false);
                field->fFieldNo = 0;
            }
            if (auto* object = dynamic_cast<TObjectField*>(field)) self(self, object->Fields());
        }
    };
    bindList(bindList, fFields.get());
}

// ---- calculated fields

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
    if (fCalcFieldsSize <= 0 && !fInternalCalcFields) return;
    const TDataSetState saved = fState;
    fState = dsCalcFields;
    try {
        CalculateFields(buffer);
    } catch (...) {
        fState = saved;
        throw;
    }
    fState = saved;
}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
    fCalcBuffer = buffer;
    if (fState != dsInternalCalc && !fIsUniDirectional) {
        ClearCalcFields(buffer);
        for (TField* field : *fFields)
            if (field->FieldKind() == fkLookup) field->CalcLookupValue();
    }
    DoOnCalcFields();
}

void TDataSet::RefreshInternalCalcFields(TRecordBuffer /*buffer*/) {
    for (TField* field : *fFields)
        if (field->FieldKind() == fkInternalCalc) field->SetValue(field->Value());
}

// ---- field data defaults

bool TDataSet::GetFieldData(TField* /*field*/, void* /*buffer*/) {
    return false;
}

bool TDataSet::GetFieldData(int /*fieldNo*/, void* /*buffer*/) {
    return false;
}

void TDataSet::SetFieldData(TField* /*field*/, const void* /*buffer*/) {}

int TDataSet::GetBlobFieldData(int /*fieldNo*/, std::vector<uint8_t>& /*buffer*/) {
    return 0;
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* /*field*/, TBlobStreamMode /*mode*/) {
    return nullptr;
}

int TDataSet::Translate(const char* src, char* dest, bool /*toOem*/) {
    if (src == nullptr) return 0;
    const size_t length = std::strlen(src);
    if (dest != nullptr && dest != src) std::memmove(dest, src, length + 1);
    return static_cast<int>(length);
}

std::string TDataSet::GetFieldFullName(TField* field) {
    return field->FullName();
}

bool TDataSet::GetIsIndexField(TField* /*field*/) {
    return false;
}

} // namespace host
