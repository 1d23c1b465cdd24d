// TField (identity, binding, native access, conversions' defaults) and TFields.
#include "host/Fields.h"

#include <algorithm>
#include <cstring>

#include "host/DataSet.h"
#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/Strings.h"
#include "host/SysUtils.h"

namespace host {

// ---- TField: identity

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField() {
    Detach();
}

void TField::BeforeDestruction() {
    // Leave the list first: closing may destroy the dataset's default fields.
    TDataSet* dataSet = fDataSet;
    Detach();
    if (dataSet != nullptr && dataSet->Active() && !dataSet->ComponentState().Contains(csDestroying)) {
        try {
            dataSet->Close();
        } catch (...) {
            // Destruction goes on; the dataset reports its own failures on the next use.
        }
    }
    if (fLookupDataSet != nullptr) {
        RemoveFreeNotification(fLookupDataSet);
        fLookupDataSet = nullptr;
    }
    TComponent::BeforeDestruction();
}

void TField::Detach() {
    TFields* list = fParentField != nullptr ? fParentField->fFields.get()
                                            : (fDataSet != nullptr ? fDataSet->fFields.get() : nullptr);
    if (list != nullptr) list->Remove(this);
    fDataSet = nullptr;
    fParentField = nullptr;
}

void TField::CheckInactive() const {
    if (fDataSet != nullptr) fDataSet->CheckInactive();
}

void TField::SetDataSet(TDataSet* dataSet) {
    if (dataSet == fDataSet && fParentField == nullptr) return;
    if (fDataSet != nullptr) fDataSet->CheckInactive();
    if (dataSet != nullptr) {
        dataSet->CheckInactive();
        dataSet->Fields()->CheckFieldName(fFieldName);
    }
    Detach();
    fDataSet = dataSet;
    if (dataSet != nullptr) dataSet->Fields()->Add(this);
}

void TField::SetParentField(TObjectField* value) {
    if (value == fParentField) return;
    if (value != nullptr) {
        value->CheckInactive();
        value->Fields()->CheckFieldName(fFieldName);
    }
    CheckInactive();
    Detach();
    fParentField = value;
    if (value != nullptr) {
        fDataSet = value->DataSet();
        value->Fields()->Add(this);
    }
}

void TField::SetFieldName(const std::string& value) {
    CheckInactive();
    TFields* list = fParentField != nullptr ? fParentField->Fields()
                                            : (fDataSet != nullptr ? fDataSet->Fields() : nullptr);
    if (list != nullptr && !AnsiSameText(value, fFieldName)) list->CheckFieldName(value);
    fFieldName = value;
    if (fDataSet != nullptr) fDataSet->DataEvent(deFieldListChange, 0);
}

std::string TField::FullName() const {
    if (fParentField != nullptr) return fParentField->FullName() + "." + fFieldName;
    return fFieldName;
}

void TField::SetDisplayLabel(const std::string& value) {
    if (value == fDisplayLabel) return;
    fDisplayLabel = value;
    PropertyChanged(true);
}

int TField::Index() const {
    TFields* list = fParentField != nullptr ? fParentField->Fields()
                                            : (fDataSet != nullptr ? fDataSet->Fields() : nullptr);
    return list != nullptr ? list->IndexOf(this) : -1;
}

void TField::SetIndex(int value) {
    TFields* list = fParentField != nullptr ? fParentField->Fields()
                                            : (fDataSet != nullptr ? fDataSet->Fields() : nullptr);
    if (list != nullptr) list->SetFieldIndex(this, value);
}

void TField::SetFieldKind(TFieldKind value) {
    if (value == fFieldKind) return;
    CheckInactive();
    fFieldKind = value;
}

void TField::SetSize(int value) {
    CheckInactive();
    CheckTypeSize(value);
    fSize = value;
}

void TField::CheckTypeSize(int size) const {
    if (size != 0) DatabaseError(SInvalidFieldSize);
}

void TField::SetDataType(TFieldType value) {
    fDataType = value;
}

void TField::SetReadOnly(bool value) {
    if (value == fReadOnly) return;
    fReadOnly = value;
    PropertyChanged(true);
}

void TField::SetVisible(bool value) {
    if (value == fVisible) return;
    fVisible = value;
    PropertyChanged(true);
}

bool TField::IsIndexField() const {
    return fDataSet != nullptr && fFieldKind == fkData &&
           fDataSet->GetIsIndexField(const_cast<TField*>(this));
}

bool TField::CanModify() const {
    if (fDataSet == nullptr || fFieldNo <= 0) return false;
    if (fDataSet->State() != dsSetKey) return !fReadOnly && fDataSet->CanModify();
    return IsIndexField();
}

int TField::DisplayWidth() const {
    if (fDisplayWidth > 0) return fDisplayWidth;
    return fSize > 0 ? fSize : 10;
}

TComponent* TField::GetParentComponent() const {
    return fDataSet;
}

void TField::SetParentComponent(TComponent* parent) {
    if (auto* dataSet = dynamic_cast<TDataSet*>(parent)) SetDataSet(dataSet);
}

void TField::PropertyChanged(bool layoutAffected) {
    if (fDataSet != nullptr && fDataSet->Active())
        fDataSet->DataEvent(layoutAffected ? deLayoutChange : deDataSetChange, 0);
}

void TField::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == fLookupDataSet) {
        fLookupDataSet = nullptr;
        fLookupList.Clear();
    }
}

// ---- lookup set-up

void TField::SetKeyFields(const std::string& v) {
    CheckInactive();
    fKeyFields = v;
}

void TField::SetLookupDataSet(TDataSet* v) {
    if (v == fLookupDataSet) return;
    CheckInactive();
    if (fLookupDataSet != nullptr) RemoveFreeNotification(fLookupDataSet);
    fLookupDataSet = v;
    fLookupList.Clear();
    if (v != nullptr) v->FreeNotification(this);
}

void TField::SetLookupKeyFields(const std::string& v) {
    CheckInactive();
    fLookupKeyFields = v;
    fLookupList.Clear();
}

void TField::SetLookupResultField(const std::string& v) {
    CheckInactive();
    fLookupResultField = v;
    fLookupList.Clear();
}

void TField::SetLookupCache(bool v) {
    if (v == fLookupCache) return;
    fLookupCache = v;
    if (!v) {
        fLookupList.Clear();
        return;
    }
    if (fFieldKind == fkLookup && fDataSet != nullptr && fDataSet->Active()) RefreshLookupList();
}

const TLookupList& TField::LookupList() const {
    return fLookupList;
}

void TField::CheckLookupInfo() const {
    if (fKeyFields.empty() || fLookupDataSet == nullptr || fLookupKeyFields.empty() ||
        fLookupResultField.empty())
        DatabaseErrorFmt(SLookupInfoError, {DisplayName()}, fDataSet);
    // A dataset that looks its own values up would open (and read) itself while opening.
    if (fLookupDataSet == fDataSet) DatabaseError(SCircularDataLink, const_cast<TField*>(this));
}

void TField::RefreshLookupList() {
    CheckLookupInfo();
    TDataSet* lookup = fLookupDataSet;
    const bool wasActive = lookup->Active();
    fLookupList.Clear();
    lookup->Open();
    try {
        std::vector<TField*> keys;
        lookup->GetFieldList(keys, fLookupKeyFields);
        TField* result = lookup->FieldByName(fLookupResultField);
        const TBookmarkStr position = lookup->Bookmark();
        lookup->DisableControls();
        try {
            lookup->First();
            while (!lookup->Eof()) {
                fLookupList.Add(lookup->FieldValues(fLookupKeyFields), result->Value());
                lookup->Next();
            }
            if (!position.empty()) lookup->SetBookmark(position);
        } catch (...) {
            lookup->EnableControls();
            throw;
        }
        lookup->EnableControls();
    } catch (...) {
        fLookupList.Clear();
        if (!wasActive) lookup->Close();
        throw;
    }
    if (!wasActive) lookup->Close();
}

void TField::Bind(bool binding) {
    if (fFieldKind != fkLookup) return;
    if (!binding) {
        fLookupList.Clear();
        return;
    }
    CheckLookupInfo();
    std::vector<TField*> fields;
    fDataSet->GetFieldList(fields, fKeyFields);
    fLookupDataSet->Open();
    fields.clear();
    fLookupDataSet->GetFieldList(fields, fLookupKeyFields);
    fLookupDataSet->FieldByName(fLookupResultField);
    if (fLookupCache) RefreshLookupList();
}

void TField::CalcLookupValue() {
    if (fLookupCache) {
        SetValue(fLookupList.ValueOfKey(fDataSet->FieldValues(fKeyFields)));
        return;
    }
    if (fLookupDataSet == nullptr || !fLookupDataSet->Active()) return;
    SetValue(fLookupDataSet->Lookup(fLookupKeyFields, fDataSet->FieldValues(fKeyFields), fLookupResultField));
}

Variant TLookupList::ValueOfKey(const Variant& key) const {
    if (key.IsNull()) return Null();
    for (const auto& [entryKey, value] : fList) {
        try {
            if (VarCompareValue(entryKey, key) == vrEqual) return value;
        } catch (const EConvertError&) {
            // Keys that cannot be compared (text that is no number against a number) do not match.
        }
    }
    return Null();
}

// ---- native access

bool TField::GetData(void* buffer) const {
    if (fDataSet == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    if (fValidating) {
        if (fValueBuffer == nullptr) return false;
        if (buffer != nullptr) std::memcpy(buffer, fValueBuffer, static_cast<size_t>(DataSize()));
        return true;
    }
    return fDataSet->GetFieldData(const_cast<TField*>(this), buffer);
}

void TField::SetData(const void* buffer) {
    if (fDataSet == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    fValueBuffer = buffer;
    try {
        fDataSet->SetFieldData(this, buffer);
    } catch (...) {
        fValueBuffer = nullptr;
        throw;
    }
    fValueBuffer = nullptr;
}

bool TField::IsNull() const {
    return !GetData(nullptr);
}

void TField::Clear() {
    SetData(nullptr);
}

void TField::Validate(const void* buffer) {
    if (!fOnValidate) return;
    const void* saved = fValueBuffer;
    fValueBuffer = buffer;
    fValidating = true;
    try {
        fOnValidate(this);
    } catch (...) {
        fValidating = false;
        fValueBuffer = saved;
        throw;
    }
    fValidating = false;
    fValueBuffer = saved;
}

void TField::Change() {
    if (fOnChange) fOnChange(this);
}

void TField::FocusControl() {
    if (fDataSet == nullptr || !fDataSet->Active()) return;
    TField* field = this;
    fDataSet->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(&field));
}

// ---- conversions: defaults

std::string TField::ClassDesc() const {
    std::string name = ClassName();
    if (!name.empty() && name[0] == 'T') name.erase(0, 1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, "Field") == 0) name.erase(name.size() - 5);
    name = "(" + name + ")";
    return IsNull() ? name : UpperCase(name);
}

void TField::AccessError(const char* typeName) const {
    DatabaseErrorFmt(SFieldAccessError, {DisplayName(), typeName});
}

void TField::RangeError(double value, double min, double max) const {
    DatabaseErrorFmt(SFieldRangeError, {value, DisplayName(), min, max});
}

std::string TField::GetAsString() const {
    return ClassDesc();
}
int32_t TField::GetAsInteger() const {
    AccessError("Integer");
}
int64_t TField::GetAsLargeInt() const {
    AccessError("Integer");
}
double TField::GetAsFloat() const {
    AccessError("Float");
}
TDateTime TField::GetAsDateTime() const {
    AccessError("DateTime");
}
bool TField::GetAsBoolean() const {
    AccessError("Boolean");
}
Variant TField::GetAsVariant() const {
    AccessError("Variant");
}
void TField::SetAsString(const std::string& /*value*/) {
    AccessError("String");
}
void TField::SetAsInteger(int32_t /*value*/) {
    AccessError("Integer");
}
void TField::SetAsLargeInt(int64_t /*value*/) {
    AccessError("Integer");
}
void TField::SetAsFloat(double /*value*/) {
    AccessError("Float");
}
void TField::SetAsCurrency(double value) {
    SetAsFloat(value);
}
void TField::SetAsDateTime(TDateTime /*value*/) {
    AccessError("DateTime");
}
void TField::SetAsBoolean(bool /*value*/) {
    AccessError("Boolean");
}
void TField::SetVarValue(const Variant& /*value*/) {
    AccessError("Variant");
}

void TField::SetAsVariant(const Variant& value) {
    if (value.IsNull()) {
        Clear();
        return;
    }
    try {
        SetVarValue(value);
    } catch (const EConvertError&) {
        DatabaseErrorFmt(SFieldValueError, {DisplayName()});
    }
}

void TField::GetText(std::string& text, bool /*displayText*/) const {
    text = GetAsString();
}

std::string TField::Text() const {
    std::string text;
    if (fOnGetText)
        fOnGetText(const_cast<TField*>(this), text, false);
    else
        GetText(text, false);
    return text;
}

std::string TField::DisplayText() const {
    std::string text;
    if (fOnGetText)
        fOnGetText(const_cast<TField*>(this), text, true);
    else
        GetText(text, true);
    return text;
}

void TField::SetText(const std::string& value) {
    if (fOnSetText)
        fOnSetText(this, value);
    else
        SetTextValue(value);
}

Variant TField::OldValue() const {
    if (fDataSet == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    return fDataSet->GetStateFieldValue(dsOldValue, const_cast<TField*>(this));
}

Variant TField::NewValue() const {
    if (fDataSet == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    return fDataSet->GetStateFieldValue(dsNewValue, const_cast<TField*>(this));
}

void TField::SetNewValue(const Variant& value) {
    if (fDataSet == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    fDataSet->SetStateFieldValue(dsNewValue, this, value);
}

Variant TField::CurValue() const {
    if (fDataSet == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    return fDataSet->GetStateFieldValue(dsCurValue, const_cast<TField*>(this));
}

void TField::Assign(TPersistent* source) {
    if (source == nullptr) {
        Clear();
        return;
    }
    if (auto* field = dynamic_cast<TField*>(source)) {
        SetValue(field->Value());
        return;
    }
    TComponent::Assign(source);
}

void TField::AssignValue(const Variant& value) {
    if (value.IsEmpty()) return;
    SetAsVariant(value);
}

// ---- TFields

TFields::~TFields() {
    Clear();
}

TField* TFields::Fields(int index) const {
    if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, index));
    return fList[static_cast<size_t>(index)];
}

void TFields::Changed() {
    if (fDataSet != nullptr && !fDataSet->ComponentState().Contains(csDestroying))
        fDataSet->DataEvent(deFieldListChange, 0);
}

void TFields::Add(TField* field) {
    fList.push_back(field);
    Changed();
}

void TFields::Remove(TField* field) {
    auto it = std::find(fList.begin(), fList.end(), field);
    if (it == fList.end()) return;
    fList.erase(it);
    Changed();
}

void TFields::Clear() {
    while (!fList.empty()) {
        TField* field = fList.back();
        const size_t before = fList.size();
        delete field;
        if (fList.size() == before) fList.pop_back(); // the field did not leave by itself
    }
}

int TFields::IndexOf(const TField* field) const {
    auto it = std::find(fList.begin(), fList.end(), field);
    return it == fList.end() ? -1 : static_cast<int>(it - fList.begin());
}

TField* TFields::FindField(const std::string& name) const {
    for (TField* field : fList)
        if (AnsiSameText(field->FieldName(), name)) return field;
    // Child fields of object fields, by full name.
    for (TField* field : fList)
        if (auto* object = dynamic_cast<TObjectField*>(field)) {
            const std::string prefix = field->FieldName() + ".";
            if (name.size() > prefix.size() && AnsiSameText(name.substr(0, prefix.size()), prefix))
                if (TField* child = object->Fields()->FindField(name.substr(prefix.size()))) return child;
        }
    return nullptr;
}

TField* TFields::FieldByName(const std::string& name) const {
    TField* field = FindField(name);
    if (field == nullptr) DatabaseErrorFmt(SFieldNotFound, {name}, fDataSet);
    return field;
}

TField* TFields::FieldByNumber(int fieldNo) const {
    for (TField* field : fList)
        if (field->FieldNo() == fieldNo) return field;
    return nullptr;
}

void TFields::GetFieldNames(TStrings* list) const {
    list->BeginUpdate();
    try {
        list->Clear();
        for (TField* field : fList)
            list->Add(field->FieldName());
    } catch (...) {
        list->EndUpdate();
        throw;
    }
    list->EndUpdate();
}

void TFields::CheckFieldName(const std::string& name) const {
    if (name.empty()) DatabaseError(SFieldNameMissing, fDataSet);
    for (TField* field : fList)
        if (AnsiSameText(field->FieldName(), name)) DatabaseErrorFmt(SDuplicateFieldName, {name}, fDataSet);
}

void TFields::SetFieldIndex(TField* field, int value) {
    const int current = IndexOf(field);
    if (current < 0) return;
    value = std::clamp(value, 0, Count() - 1);
    if (value == current) return;
    fList.erase(fList.begin() + current);
    fList.insert(fList.begin() + value, field);
    Changed();
}

} // namespace host
