// TNamedItem, TFieldDef, TFieldDefs and the default field class table.
#include "host/FieldDefs.h"

#include "host/DataSet.h"
#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

namespace {

// Size rules of the field classes, checked before a definition is created.
void CheckDefSize(TFieldType dataType, int size) {
    bool ok = size >= 0;
    if (ftFixedSizeTypes.Contains(dataType))
        ok = size == 0;
    else if (dataType == ftBCD)
        ok = size >= 0 && size <= 32;
    else if (ftStringTypes.Contains(dataType))
        ok = size >= 0 && size <= dsMaxStringFieldSize;
    if (!ok) DatabaseError(SInvalidFieldSize);
}

TCollection* ValidatedOwner(TFieldDefs* owner, TFieldType dataType, int size) {
    CheckDefSize(dataType, size);
    return owner;
}

} // namespace

TFieldClass DefaultFieldClass(TFieldType dataType) {
    switch (dataType) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
        return &NewField<TStringField>;
    case ftSmallint:
        return &NewField<TSmallintField>;
    case ftInteger:
        return &NewField<TIntegerField>;
    case ftWord:
        return &NewField<TWordField>;
    case ftBoolean:
        return &NewField<TBooleanField>;
    case ftFloat:
        return &NewField<TFloatField>;
    case ftCurrency:
        return &NewField<TCurrencyField>;
    case ftBCD:
        return &NewField<TBCDField>;
    case ftDate:
        return &NewField<TDateField>;
    case ftTime:
        return &NewField<TTimeField>;
    case ftDateTime:
        return &NewField<TDateTimeField>;
    case ftBytes:
        return &NewField<TBytesField>;
    case ftVarBytes:
        return &NewField<TVarBytesField>;
    case ftAutoInc:
        return &NewField<TAutoIncField>;
    case ftBlob:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
        return &NewField<TBlobField>;
    case ftMemo:
    case ftOraClob:
        return &NewField<TMemoField>;
    case ftGraphic:
        return &NewField<TGraphicField>;
    case ftLargeint:
        return &NewField<TLargeintField>;
    case ftADT:
        return &NewField<TADTField>;
    case ftArray:
        return &NewField<TArrayField>;
    default:
        return nullptr;
    }
}

// ---- TNamedItem

void TNamedItem::SetName(const std::string& value) {
    if (value == fName) return;
    if (TCollection* owner = Collection()) {
        for (int i = 0; i < owner->Count(); ++i) {
            auto* item = static_cast<TNamedItem*>(owner->Items(i));
            if (item != this && AnsiSameText(item->fName, value))
                DatabaseErrorFmt(SDuplicateName, {value, owner->ClassName()});
        }
    }
    fName = value;
    Changed(false);
}

// ---- TFieldDef

TFieldDef::TFieldDef(TCollection* collection) : TNamedItem(collection) {}

TFieldDef::TFieldDef(TFieldDefs* owner, const std::string& name, TFieldType dataType, int size, bool required,
                     int fieldNo)
    : TNamedItem(ValidatedOwner(owner, dataType, size)) {
    SetNameDirect(name);
    fDataType = dataType;
    fSize = size;
    if (required) fAttributes.Include(faRequired);
    fFieldNo = fieldNo;
}

TFieldDef::~TFieldDef() = default;

TFieldDefs* TFieldDef::FieldDefs() const {
    return static_cast<TFieldDefs*>(Collection());
}

void TFieldDef::SetDataType(TFieldType value) {
    fDataType = value;
    Changed(false);
}

void TFieldDef::SetSize(int value) {
    fSize = value;
    Changed(false);
}

void TFieldDef::SetPrecision(int value) {
    fPrecision = value;
    Changed(false);
}

void TFieldDef::SetAttributes(TFieldAttributes value) {
    fAttributes = value;
    Changed(false);
}

void TFieldDef::SetRequired(bool value) {
    if (value)
        fAttributes.Include(faRequired);
    else
        fAttributes.Exclude(faRequired);
    Changed(false);
}

void TFieldDef::SetInternalCalcField(bool value) {
    fInternalCalcField = value;
    Changed(false);
}

TFieldDefs* TFieldDef::ChildDefs() {
    if (!fChildDefs) fChildDefs = std::make_unique<TFieldDefs>(this);
    return fChildDefs.get();
}

bool TFieldDef::HasChildDefs() const {
    return fChildDefs && fChildDefs->Count() > 0;
}

TFieldDef* TFieldDef::ParentDef() const {
    TFieldDefs* defs = FieldDefs();
    return defs != nullptr ? defs->ParentDef() : nullptr;
}

TFieldDef* TFieldDef::AddChild() {
    return ChildDefs()->AddFieldDef();
}

TFieldClass TFieldDef::FieldClass() const {
    TFieldDefs* defs = FieldDefs();
    TDataSet* dataSet = defs != nullptr ? defs->DataSet() : nullptr;
    return dataSet != nullptr ? dataSet->GetFieldClass(fDataType) : DefaultFieldClass(fDataType);
}

TField* TFieldDef::CreateField(TComponent* owner, TObjectField* parent, const std::string& fieldName,
                               bool createChildren) {
    TFieldDefs* defs = FieldDefs();
    TDataSet* dataSet = defs != nullptr ? defs->DataSet() : nullptr;
    TFieldClass fieldClass = FieldClass();
    if (fieldClass == nullptr) {
        if (fDataType == ftUnknown || fDataType == ftCursor)
            DatabaseErrorFmt(SUnknownFieldType, {Name()}, dataSet);
        DatabaseErrorFmt(SBadFieldType, {Name()}, dataSet);
    }
    TField* field = fieldClass(owner);
    try {
        field->SetSize(fSize);
        field->SetFieldName(fieldName.empty() ? Name() : fieldName);
        field->SetRequired(Required());
        field->SetReadOnly(fAttributes.Contains(faReadonly));
        field->SetDataType(fDataType);
        if (auto* bcd = dynamic_cast<TBCDField*>(field)) bcd->SetPrecision(fPrecision);
        if (auto* text = dynamic_cast<TStringField*>(field))
            text->SetFixedChar(fAttributes.Contains(faFixed) || fDataType == ftFixedChar);
        if (fInternalCalcField) field->SetFieldKind(fkInternalCalc);
        if (parent != nullptr)
            field->SetParentField(parent);
        else
            field->SetDataSet(dataSet);
        if (createChildren && HasChildDefs())
            if (auto* object = dynamic_cast<TObjectField*>(field))
                for (int i = 0; i < fChildDefs->Count(); ++i)
                    fChildDefs->Items(i)->CreateField(owner, object);
    } catch (...) {
        delete field;
        throw;
    }
    return field;
}

void TFieldDef::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TFieldDef*>(source);
    if (other == nullptr) {
        TNamedItem::Assign(source);
        return;
    }
    TFieldDefs* defs = FieldDefs();
    if (defs != nullptr) defs->BeginUpdate();
    try {
        SetName(other->Name());
        fDataType = other->fDataType;
        fSize = other->fSize;
        fPrecision = other->fPrecision;
        fAttributes = other->fAttributes;
        fFieldNo = other->fFieldNo;
        fInternalCalcField = other->fInternalCalcField;
        if (other->HasChildDefs())
            ChildDefs()->Assign(other->fChildDefs.get());
        else if (fChildDefs)
            fChildDefs->Clear();
    } catch (...) {
        if (defs != nullptr) defs->EndUpdate();
        throw;
    }
    if (defs != nullptr) defs->EndUpdate();
}

// ---- TFieldDefs

TFieldDefs::TFieldDefs(TPersistent* owner) : TOwnedCollection(owner, ItemClassOf<TFieldDef>()) {
    if (auto* parent = dynamic_cast<TFieldDef*>(owner)) {
        fParentDef = parent;
        if (TFieldDefs* defs = parent->FieldDefs()) fDataSet = defs->DataSet();
    } else {
        fDataSet = dynamic_cast<TDataSet*>(owner);
    }
}

void TFieldDefs::Add(const std::string& name, TFieldType dataType, int size, bool required) {
    if (name.empty()) DatabaseError(SFieldNameMissing, fDataSet);
    if (IndexOf(name) >= 0) DatabaseErrorFmt(SDuplicateName, {name, ClassName()});
    BeginUpdate();
    try {
        new TFieldDef(this, name, dataType, size, required, 0);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TFieldDef* TFieldDefs::AddFieldDef() {
    return static_cast<TFieldDef*>(TCollection::Add());
}

int TFieldDefs::IndexOf(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), name)) return i;
    return -1;
}

TFieldDef* TFieldDefs::Find(const std::string& name) const {
    const int index = IndexOf(name);
    if (index < 0) DatabaseErrorFmt(SFieldNotFound, {name}, fDataSet);
    return Items(index);
}

void TFieldDefs::Update() {
    if (fUpdated || fDataSet == nullptr) return;
    fInternalUpdate = true;
    BeginUpdate();
    try {
        fDataSet->InitFieldDefs();
    } catch (...) {
        EndUpdate();
        fInternalUpdate = false;
        throw;
    }
    EndUpdate();
    fInternalUpdate = false;
    fUpdated = true;
}

void TFieldDefs::Update(TCollectionItem* /*item*/) {
    if (fInternalUpdate) return;
    if (fDataSet != nullptr && fDataSet->ComponentState().Contains(csLoading)) return;
    fUpdated = false;
    if (fParentDef != nullptr) {
        if (TFieldDefs* parentDefs = fParentDef->FieldDefs()) parentDefs->Update(nullptr);
        return;
    }
    if (fDataSet != nullptr) fDataSet->DefChanged(this);
}

void TFieldDefs::SetHiddenFields(bool value) {
    fHiddenFields = value;
    fUpdated = false;
}

void TFieldDefs::GetFlatList(std::vector<TFieldDef*>& list, std::vector<std::string>* fullNames) const {
    auto walk = [&](auto&& self, const TFieldDefs* defs, const std::string& prefix) -> void {
        for (int i = 0; i < defs->Count(); ++i) {
            TFieldDef* def = defs->Items(i);
            list.push_back(def);
            const std::string name = prefix + def->Name();
            if (fullNames != nullptr) fullNames->push_back(name);
            if (def->HasChildDefs()) self(self, def->ChildDefs(), name + ".");
        }
    };
    walk(walk, this, "");
}

} // namespace host
