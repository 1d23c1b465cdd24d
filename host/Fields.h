// TField and its typed descendants, and TFields, the ordered field list of a dataset.
//
// A field is a typed view of one column of the dataset's current row. It never stores row data:
// reading asks the dataset for the value in its native format (GetFieldData), writing hands a
// native value to the dataset (SetFieldData). Native formats (what crosses that boundary):
//   TStringField    Size + 1 bytes, zero-terminated text
//   TSmallintField  int16          TIntegerField / TAutoIncField  int32     TWordField  uint16
//   TLargeintField  int64          TFloatField / TCurrencyField   double
//   TBooleanField   16-bit, 0 = false, non-zero = true (writes 1)
//   TDateField      int32 day number, 0001-01-01 = 1      TTimeField  int32 ms since midnight
//   TDateTimeField  double: day number * 86 400 000 + ms of day
//   TBCDField       TBcd (34 bytes)
//   TBytesField     Size bytes     TVarBytesField  uint16 length + Size bytes
//   TBlobField / TMemoField  nothing in the row buffer; access through DataSet->CreateBlobStream
//
// Typical use: `ds->FieldByName("NAME")->AsString()`, `ds->FieldByName("QTY")->SetAsInteger(5)`,
// `field->Value()` / `field->SetValue(Variant)`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/Component.h"
#include "host/DBTypes.h"
#include "host/SysUtils.h"
#include "host/Variant.h"

namespace host {

class TDataSet;
class TField;
class TFields;
class TObjectField;
class TFieldDef;
class TStream;
class TStrings;

using TFieldNotifyEvent = std::function<void(TField* sender)>;
using TFieldGetTextEvent = std::function<void(TField* sender, std::string& text, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField* sender, const std::string& text)>;

// The key -> value pairs of a cached lookup field. Keys are single values or, for several key
// fields, variant arrays; they match when they compare equal as variants.
class TLookupList {
public:
    void Add(const Variant& key, const Variant& value) { fList.emplace_back(key, value); }
    void Clear() { fList.clear(); }
    int Count() const { return static_cast<int>(fList.size()); }
    // The value of the first entry whose key equals key; Null when there is none or key is Null.
    Variant ValueOfKey(const Variant& key) const;

private:
    std::vector<std::pair<Variant, Variant>> fList;
};

// One column of a dataset. Owned by its Owner (the dataset for default fields); linked to a dataset
// through DataSet (which puts it into DataSet->Fields()). Deleting a field takes it out of the list.
class TField : public TComponent {
public:
    explicit TField(TComponent* owner);
    ~TField() override;
    void BeforeDestruction() override;

    // ---- identity and layout
    TDataSet* DataSet() const { return fDataSet; }
    // Moves the field to another dataset (both must be closed); nullptr detaches it.
    virtual void SetDataSet(TDataSet* dataSet);
    const std::string& FieldName() const { return fFieldName; }
    void SetFieldName(const std::string& value);
    // Name with the parent object field's name in front ("ADDR.CITY"); FieldName at top level.
    std::string FullName() const;
    const std::string& DisplayLabel() const { return fDisplayLabel; }
    void SetDisplayLabel(const std::string& value);
    // DisplayLabel when set, else FieldName.
    std::string DisplayName() const { return fDisplayLabel.empty() ? fFieldName : fDisplayLabel; }
    // 0 until bound; data fields: 1-based position in the field definitions; calculated: -1.
    int FieldNo() const { return fFieldNo; }
    // Position in DataSet->Fields() (-1 without dataset).
    int Index() const;
    void SetIndex(int value);
    TFieldKind FieldKind() const { return fFieldKind; }
    void SetFieldKind(TFieldKind value);
    TFieldType DataType() const { return fDataType; }
    int Size() const { return fSize; }
    virtual void SetSize(int value);
    // Calculated/lookup: byte offset in the calc area; blob: index among the blob fields.
    int Offset() const { return fOffset; }
    // Bytes of the native value.
    int DataSize() const { return GetDataSize(); }
    TObjectField* ParentField() const { return fParentField; }
    void SetParentField(TObjectField* value);

    // ---- flags and metadata
    bool ReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool value);
    bool Required() const { return fRequired; }
    void SetRequired(bool value) { fRequired = value; }
    bool Visible() const { return fVisible; }
    void SetVisible(bool value);
    bool IsIndexField() const;
    virtual bool IsBlob() const { return false; }
    bool Calculated() const { return fFieldKind == fkCalculated; }
    void SetCalculated(bool value) { SetFieldKind(value ? fkCalculated : fkData); }
    bool Lookup() const { return fFieldKind == fkLookup; }
    void SetLookup(bool value) { SetFieldKind(value ? fkLookup : fkData); }
    // Whether the user may change the value now (see the dataset state).
    virtual bool CanModify() const;
    const std::string& CustomConstraint() const { return fCustomConstraint; }
    void SetCustomConstraint(const std::string& v) { fCustomConstraint = v; }
    const std::string& ImportedConstraint() const { return fImportedConstraint; }
    void SetImportedConstraint(const std::string& v) { fImportedConstraint = v; }
    const std::string& ConstraintErrorMessage() const { return fConstraintErrorMessage; }
    void SetConstraintErrorMessage(const std::string& v) { fConstraintErrorMessage = v; }
    const std::string& DefaultExpression() const { return fDefaultExpression; }
    void SetDefaultExpression(const std::string& v) { fDefaultExpression = v; }
    bool HasConstraints() const {
        return !fCustomConstraint.empty() || !fImportedConstraint.empty() || !fDefaultExpression.empty();
    }
    const std::string& Origin() const { return fOrigin; }
    void SetOrigin(const std::string& v) { fOrigin = v; }
    TProviderFlags ProviderFlags() const { return fProviderFlags; }
    void SetProviderFlags(TProviderFlags v) { fProviderFlags = v; }
    TAutoRefreshFlag AutoGenerateValue() const { return fAutoGenerateValue; }
    void SetAutoGenerateValue(TAutoRefreshFlag v) { fAutoGenerateValue = v; }
    TAlignment Alignment() const { return fAlignment; }
    void SetAlignment(TAlignment v) { fAlignment = v; }
    int DisplayWidth() const;
    void SetDisplayWidth(int v) { fDisplayWidth = v; }
    const std::string& EditMask() const { return fEditMask; }
    void SetEditMask(const std::string& v) { fEditMask = v; }
    // Text passes through DataSet->Translate in both directions (string fields).
    bool Transliterate() const { return fTransliterate; }
    void SetTransliterate(bool v) { fTransliterate = v; }

    // ---- lookup fields (FieldKind fkLookup)
    const std::string& KeyFields() const { return fKeyFields; }
    void SetKeyFields(const std::string& v);
    TDataSet* LookupDataSet() const { return fLookupDataSet; }
    void SetLookupDataSet(TDataSet* v);
    const std::string& LookupKeyFields() const { return fLookupKeyFields; }
    void SetLookupKeyFields(const std::string& v);
    const std::string& LookupResultField() const { return fLookupResultField; }
    void SetLookupResultField(const std::string& v);
    // With LookupCache the values come from a key -> value list read from the lookup dataset
    // when the field binds (RefreshLookupList), instead of a LookupDataSet->Lookup per row.
    // Switching it on while the dataset is open reads the list at once; switching it off, or
    // changing the lookup dataset, its key fields or its result field, drops the list.
    bool LookupCache() const { return fLookupCache; }
    void SetLookupCache(bool v);
    // The cached key -> value list (empty until filled).
    const TLookupList& LookupList() const;
    // Re-reads the cached list from the lookup dataset (opened for the read when closed, closed
    // again after; its position is kept). SLookupInfoError when the set-up is incomplete.
    void RefreshLookupList();

    // ---- events
    const TFieldNotifyEvent& OnChange() const { return fOnChange; }
    void SetOnChange(TFieldNotifyEvent h) { fOnChange = std::move(h); }
    const TFieldNotifyEvent& OnValidate() const { return fOnValidate; }
    void SetOnValidate(TFieldNotifyEvent h) { fOnValidate = std::move(h); }
    const TFieldGetTextEvent& OnGetText() const { return fOnGetText; }
    void SetOnGetText(TFieldGetTextEvent h) { fOnGetText = std::move(h); }
    const TFieldSetTextEvent& OnSetText() const { return fOnSetText; }
    void SetOnSetText(TFieldSetTextEvent h) { fOnSetText = std::move(h); }

    // ---- native access
    // Asks the dataset for the native value (buffer may be nullptr: only the null test); true =
    // not null. Inside OnValidate it answers the value being validated.
    bool GetData(void* buffer) const;
    // Hands a native value (nullptr = null) to the dataset, which validates and stores it.
    void SetData(const void* buffer);
    virtual bool IsNull() const;
    // Sets the value to null.
    virtual void Clear();
    // Runs OnValidate with buffer as the pending value (readable through the field meanwhile).
    void Validate(const void* buffer);
    // Fires OnChange (sent by the dataset after a stored value).
    virtual void Change();
    // Asks the data links to focus the control showing this field.
    void FocusControl();

    // ---- typed access
    std::string AsString() const { return GetAsString(); }
    virtual void SetAsString(const std::string& value);
    int32_t AsInteger() const { return GetAsInteger(); }
    virtual void SetAsInteger(int32_t value);
    int64_t AsLargeInt() const { return GetAsLargeInt(); }
    virtual void SetAsLargeInt(int64_t value);
    double AsFloat() const { return GetAsFloat(); }
    virtual void SetAsFloat(double value);
    double AsCurrency() const { return GetAsCurrency(); }
    virtual void SetAsCurrency(double value);
    TDateTime AsDateTime() const { return GetAsDateTime(); }
    virtual void SetAsDateTime(TDateTime value);
    bool AsBoolean() const { return GetAsBoolean(); }
    virtual void SetAsBoolean(bool value);
    Variant AsVariant() const { return GetAsVariant(); }
    // Null clears; Unassigned gives the type's empty value; conversion failures raise
    // SFieldValueError.
    void SetAsVariant(const Variant& value);
    Variant Value() const { return GetAsVariant(); }
    void SetValue(const Variant& value) { SetAsVariant(value); }
    // Edit text (OnGetText with displayText false) and display text.
    std::string Text() const;
    void SetText(const std::string& value);
    std::string DisplayText() const;
    // Values of the row before editing, after editing and in the database (dataset-defined).
    Variant OldValue() const;
    Variant NewValue() const;
    void SetNewValue(const Variant& value);
    Variant CurValue() const;

    // Another field: Value := its Value; nullptr: Clear.
    void Assign(TPersistent* source) override;
    // SetFields / InsertRecord: Unassigned leaves the field alone, Null clears, else SetAsVariant.
    void AssignValue(const Variant& value);

    // ---- used by the dataset
    // Releases per-row state (blob fields close a modified blob).
    virtual void FreeBuffers() {}
    // Binding (lookup fields validate their set-up and open the lookup dataset).
    virtual void Bind(bool binding);
    void SetFieldNo(int value) { fFieldNo = value; }
    void SetOffset(int value) { fOffset = value; }
    // The field's value computed for a lookup field (LookupDataSet->Lookup ...).
    void CalcLookupValue();
    // For field defs and descendants: the exact native type.
    void SetDataType(TFieldType value);
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    // Streaming: a field read inside a dataset's block joins that dataset.
    void SetParentComponent(TComponent* parent) override;

protected:
    virtual int GetDataSize() const { return 0; }
    // Raises SInvalidFieldSize when size is not acceptable for the class.
    virtual void CheckTypeSize(int size) const;
    virtual std::string GetAsString() const;
    virtual int32_t GetAsInteger() const;
    virtual int64_t GetAsLargeInt() const;
    virtual double GetAsFloat() const;
    virtual double GetAsCurrency() const { return GetAsFloat(); }
    virtual TDateTime GetAsDateTime() const;
    virtual bool GetAsBoolean() const;
    virtual Variant GetAsVariant() const;
    // Stores a non-null, assigned variant; the base raises the access error.
    virtual void SetVarValue(const Variant& value);
    // Edit/display text; the base gives AsString.
    virtual void GetText(std::string& text, bool displayText) const;
    virtual void SetTextValue(const std::string& value) { SetAsString(value); }
    // "(Blob)"-style tag for fields without a text form (upper case when not null).
    std::string ClassDesc() const;
    [[noreturn]] void AccessError(const char* typeName) const;
    [[noreturn]] void RangeError(double value, double min, double max) const;
    // Refuses changes of fieldname, kind, size... while the dataset is open.
    void CheckInactive() const;
    // A lookup field's set-up is complete (SLookupInfoError) and does not refer to its own
    // dataset (SCircularDataLink).
    void CheckLookupInfo() const;
    void PropertyChanged(bool layoutAffected);
    // Sets Size without checks (constructors of the typed fields).
    void SetSizeDirect(int value) { fSize = value; }
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TFields;
    friend class TDataSet;
    // Leaves the field list and the dataset (no checks; used while destroying).
    void Detach();
    TDataSet* fDataSet = nullptr;
    TObjectField* fParentField = nullptr;
    std::string fFieldName;
    std::string fDisplayLabel;
    int fFieldNo = 0;
    TFieldKind fFieldKind = fkData;
    TFieldType fDataType = ftUnknown;
    int fSize = 0;
    int fOffset = 0;
    bool fReadOnly = false;
    bool fRequired = false;
    bool fVisible = true;
    bool fTransliterate = false;
    bool fLookupCache = false;
    bool fValidating = false;
    TAlignment fAlignment = taLeftJustify;
    int fDisplayWidth = 0;
    TProviderFlags fProviderFlags{pfInWhere, pfInUpdate};
    TAutoRefreshFlag fAutoGenerateValue = arNone;
    const void* fValueBuffer = nullptr; // pending value while validating / storing
    std::string fCustomConstraint, fImportedConstraint, fConstraintErrorMessage, fDefaultExpression;
    std::string fOrigin, fEditMask;
    std::string fKeyFields, fLookupKeyFields, fLookupResultField;
    TDataSet* fLookupDataSet = nullptr;
    TLookupList fLookupList;
    TFieldNotifyEvent fOnChange, fOnValidate;
    TFieldGetTextEvent fOnGetText;
    TFieldSetTextEvent fOnSetText;
};

// Text up to Size characters (ftString, ftFixedChar; also used for ftWideString and ftGuid).
class TStringField : public TField {
public:
    explicit TStringField(TComponent* owner);
    // Fixed-width CHAR column (ftFixedChar / faFixed definitions).
    bool FixedChar() const { return fFixedChar; }
    void SetFixedChar(bool v) { fFixedChar = v; }
    void SetAsString(const std::string& value) override;
    void SetAsInteger(int32_t value) override { SetAsString(IntToStr(value)); }
    void SetAsLargeInt(int64_t value) override { SetAsString(IntToStr(value)); }
    void SetAsFloat(double value) override;
    void SetAsDateTime(TDateTime value) override;
    void SetAsBoolean(bool value) override { SetAsString(value ? "T" : "F"); }
    // Reads the value; false when null.
    bool GetValue(std::string& value) const;

protected:
    int GetDataSize() const override { return Size() + 1; }
    void CheckTypeSize(int size) const override;
    std::string GetAsString() const override;
    int32_t GetAsInteger() const override;
    int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    TDateTime GetAsDateTime() const override;
    bool GetAsBoolean() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override { SetAsString(value.AsString()); }

private:
    bool fFixedChar = false;
};

// Common base of the numeric fields (Text with DisplayFormat/EditFormat is not modelled).
class TNumericField : public TField {
public:
    explicit TNumericField(TComponent* owner);
};

// 32-bit integer; also the base of the 16-bit and auto-increment fields. The value slot passed
// to SetData is always a 32-bit integer of which the dataset copies DataSize bytes.
class TIntegerField : public TNumericField {
public:
    explicit TIntegerField(TComponent* owner);
    // Range checked on writes when either is non-zero (else the type's range).
    int32_t MinValue() const { return fMinValue; }
    void SetMinValue(int32_t v) { fMinValue = v; }
    int32_t MaxValue() const { return fMaxValue; }
    void SetMaxValue(int32_t v) { fMaxValue = v; }
    void SetAsString(const std::string& value) override;
    void SetAsInteger(int32_t value) override;
    void SetAsLargeInt(int64_t value) override;
    void SetAsFloat(double value) override;
    bool GetValue(int32_t& value) const;

protected:
    int GetDataSize() const override { return 4; }
    std::string GetAsString() const override;
    int32_t GetAsInteger() const override;
    int64_t GetAsLargeInt() const override { return GetAsInteger(); }
    double GetAsFloat() const override { return GetAsInteger(); }
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;
    void GetText(std::string& text, bool displayText) const override;
    void SetRange(int32_t typeMin, int32_t typeMax) {
        fTypeMin = typeMin;
        fTypeMax = typeMax;
    }

private:
    int32_t fMinValue = 0, fMaxValue = 0, fTypeMin, fTypeMax;
};

class TSmallintField : public TIntegerField {
public:
    explicit TSmallintField(TComponent* owner);

protected:
    int GetDataSize() const override { return 2; }
};

class TWordField : public TIntegerField {
public:
    explicit TWordField(TComponent* owner);

protected:
    int GetDataSize() const override { return 2; }
};

// An integer the engine generates; engine datasets treat it read-only.
class TAutoIncField : public TIntegerField {
public:
    explicit TAutoIncField(TComponent* owner);
};

class TLargeintField : public TNumericField {
public:
    explicit TLargeintField(TComponent* owner);
    void SetAsString(const std::string& value) override;
    void SetAsInteger(int32_t value) override { SetAsLargeInt(value); }
    void SetAsLargeInt(int64_t value) override;
    void SetAsFloat(double value) override;
    bool GetValue(int64_t& value) const;

protected:
    int GetDataSize() const override { return 8; }
    std::string GetAsString() const override;
    int32_t GetAsInteger() const override;
    int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override { return static_cast<double>(GetAsLargeInt()); }
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override { SetAsLargeInt(value.AsInt64()); }
};

// IEEE double; Currency makes the display text a money amount (two decimals).
class TFloatField : public TNumericField {
public:
    explicit TFloatField(TComponent* owner);
    bool Currency() const { return fCurrency; }
    void SetCurrency(bool v);
    // Significant digits of the text form (2..15, default 15).
    int Precision() const { return fPrecision; }
    void SetPrecision(int v);
    double MinValue() const { return fMinValue; }
    void SetMinValue(double v) { fMinValue = v; }
    double MaxValue() const { return fMaxValue; }
    void SetMaxValue(double v) { fMaxValue = v; }
    void SetAsString(const std::string& value) override;
    void SetAsInteger(int32_t value) override { SetAsFloat(value); }
    void SetAsLargeInt(int64_t value) override { SetAsFloat(static_cast<double>(value)); }
    void SetAsFloat(double value) override;
    void SetAsCurrency(double value) override { SetAsFloat(value); }
    bool GetValue(double& value) const;

protected:
    int GetDataSize() const override { return 8; }
    std::string GetAsString() const override;
    int32_t GetAsInteger() const override;
    int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override { SetAsFloat(value.AsDouble()); }
    void GetText(std::string& text, bool displayText) const override;

private:
    bool fCurrency = false;
    int fPrecision = 15;
    double fMinValue = 0, fMaxValue = 0;
};

// A float field shown as money; the native value is a double, not a scaled integer.
class TCurrencyField : public TFloatField {
public:
    explicit TCurrencyField(TComponent* owner);
};

// 16-bit boolean. DisplayValues is "TrueText;FalseText" (default "True;False").
class TBooleanField : public TField {
public:
    explicit TBooleanField(TComponent* owner);
    const std::string& DisplayValues() const { return fDisplayValues; }
    void SetDisplayValues(const std::string& value);
    void SetAsString(const std::string& value) override;
    void SetAsBoolean(bool value) override;
    void SetAsInteger(int32_t value) override { SetAsBoolean(value != 0); }
    bool GetValue(bool& value) const;

protected:
    int GetDataSize() const override { return 2; }
    std::string GetAsString() const override;
    bool GetAsBoolean() const override;
    int32_t GetAsInteger() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override { SetAsBoolean(value.AsBoolean()); }

private:
    std::string fDisplayValues;
    std::string fTextValues[2]; // true, false
};

// Date, time or date-time, by DataType (native formats in the file header). A zeroed native
// date is not a valid value: descendants report it as null.
class TDateTimeField : public TField {
public:
    explicit TDateTimeField(TComponent* owner);
    // Display format; empty uses the short date / long time defaults.
    const std::string& DisplayFormat() const { return fDisplayFormat; }
    void SetDisplayFormat(const std::string& v) { fDisplayFormat = v; }
    void SetAsString(const std::string& value) override;
    void SetAsDateTime(TDateTime value) override;
    void SetAsFloat(double value) override { SetAsDateTime(value); }
    bool GetValue(TDateTime& value) const;

protected:
    int GetDataSize() const override;
    std::string GetAsString() const override;
    double GetAsFloat() const override { return GetAsDateTime(); }
    TDateTime GetAsDateTime() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override { SetAsDateTime(value.AsDateTime()); }
    void GetText(std::string& text, bool displayText) const override;

private:
    std::string fDisplayFormat;
};

class TDateField : public TDateTimeField {
public:
    explicit TDateField(TComponent* owner);
};

class TTimeField : public TDateTimeField {
public:
    explicit TTimeField(TComponent* owner);
};

// Packed decimal (TBcd), exposed as a currency value (4 decimals). Size = scale (0..32),
// Precision = digits.
class TBCDField : public TNumericField {
public:
    explicit TBCDField(TComponent* owner);
    int Precision() const { return fPrecision; }
    void SetPrecision(int v) { fPrecision = v; }
    bool Currency() const { return fCurrency; }
    void SetCurrency(bool v) { fCurrency = v; }
    void SetAsString(const std::string& value) override;
    void SetAsInteger(int32_t value) override { SetAsCurrency(value); }
    void SetAsFloat(double value) override { SetAsCurrency(value); }
    void SetAsCurrency(double value) override;
    bool GetValue(double& value) const;

protected:
    int GetDataSize() const override { return static_cast<int>(sizeof(TBcd)); }
    void CheckTypeSize(int size) const override;
    std::string GetAsString() const override;
    int32_t GetAsInteger() const override;
    double GetAsFloat() const override { return GetAsCurrency(); }
    double GetAsCurrency() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override { SetAsCurrency(value.AsCurrency()); }

private:
    int fPrecision = 0;
    bool fCurrency = false;
};

// Raw bytes. AsString exchanges the bytes as a string; AsVariant is an array of bytes.
class TBinaryField : public TField {
public:
    explicit TBinaryField(TComponent* owner);
    void SetAsString(const std::string& value) override;

protected:
    void CheckTypeSize(int size) const override;
    std::string GetAsString() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;
    void GetText(std::string& text, bool displayText) const override;
};

// Fixed-length bytes: native value = Size bytes.
class TBytesField : public TBinaryField {
public:
    explicit TBytesField(TComponent* owner);

protected:
    int GetDataSize() const override { return Size(); }
};

// Variable-length bytes: native value = 16-bit length + Size bytes.
class TVarBytesField : public TBinaryField {
public:
    explicit TVarBytesField(TComponent* owner);

protected:
    int GetDataSize() const override { return Size() + 2; }
};

// Binary large object: no bytes in the row buffer; reads and writes go through blob streams
// (DataSet->CreateBlobStream). BlobType = DataType.
class TBlobField : public TField {
public:
    explicit TBlobField(TComponent* owner);
    bool IsBlob() const override { return true; }
    TFieldType BlobType() const { return DataType(); }
    void SetBlobType(TFieldType value) { SetDataType(value); }
    // Size of the blob (a read stream's size); 0 without one.
    int64_t BlobSize() const;
    // Whether the blob of the active row was written since the row was entered.
    bool Modified() const { return fModified; }
    void SetModified(bool value);
    void Clear() override;
    void SetAsString(const std::string& value) override;
    // Null: when the blob was written in this row, an empty value; otherwise the row's null test.
    bool IsNull() const override;
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    void Assign(TPersistent* source) override;
    void FreeBuffers() override;

protected:
    // Any size from 0 up (the size of the field's slot, from its definition); negative refused.
    void CheckTypeSize(int size) const override;
    std::string GetAsString() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override { SetAsString(value.AsString()); }
    void GetText(std::string& text, bool displayText) const override;
    void SetTextValue(const std::string& value) override;

private:
    friend class TField;
    bool fModified = false;
};

// A text blob (Transliterate on).
class TMemoField : public TBlobField {
public:
    explicit TMemoField(TComponent* owner);
};

// A picture blob.
class TGraphicField : public TBlobField {
public:
    explicit TGraphicField(TComponent* owner);
};

// A field made of child fields (ADT, array). It has no native value of its own; its children
// are ordinary fields of the dataset listed in Fields().
class TObjectField : public TField {
public:
    explicit TObjectField(TComponent* owner);
    ~TObjectField() override;
    void BeforeDestruction() override;
    TFields* Fields() const { return fFields.get(); }
    int FieldCount() const;
    const std::string& ObjectType() const { return fObjectType; }
    void SetObjectType(const std::string& v) { fObjectType = v; }

protected:
    std::string GetAsString() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;

private:
    friend class TField;
    std::unique_ptr<TFields> fFields;
    std::string fObjectType;
};

class TADTField : public TObjectField {
public:
    explicit TADTField(TComponent* owner);
};

class TArrayField : public TObjectField {
public:
    explicit TArrayField(TComponent* owner);
};

// Creates a field of a given class with an owner (the class table of GetFieldClass).
using TFieldClass = TField* (*)(TComponent* owner);
template <class T>
TField* NewField(TComponent* owner) {
    return new T(owner);
}

// The ordered list of a dataset's fields (or an object field's children). It does not own the
// fields' memory in the component sense, but Clear() deletes them, as the classic list does.
class TFields : public TObject {
public:
    explicit TFields(TDataSet* dataSet) : fDataSet(dataSet) {}
    ~TFields() override;

    TDataSet* DataSet() const { return fDataSet; }
    int Count() const { return static_cast<int>(fList.size()); }
    // Field i; EListError "List index out of bounds (%d)".
    TField* Fields(int index) const;
    TField* operator[](int index) const { return Fields(index); }
    void Add(TField* field);
    void Remove(TField* field);
    // Deletes every field (last first).
    void Clear();
    int IndexOf(const TField* field) const;
    // Case-insensitive; nullptr when absent. Also finds child fields by full name ("A.B").
    TField* FindField(const std::string& name) const;
    // FindField or SFieldNotFound (prefixed with the dataset's name).
    TField* FieldByName(const std::string& name) const;
    // First field whose FieldNo is fieldNo, or nullptr.
    TField* FieldByNumber(int fieldNo) const;
    void GetFieldNames(TStrings* list) const;
    // Empty name: SFieldNameMissing; taken: SDuplicateFieldName.
    void CheckFieldName(const std::string& name) const;
    void SetFieldIndex(TField* field, int value);

    auto begin() const { return fList.begin(); }
    auto end() const { return fList.end(); }

private:
    friend class TObjectField;
    void Changed();
    TDataSet* fDataSet;
    TObjectField* fParent = nullptr; // owning object field of a child list
    std::vector<TField*> fList;
};

} // namespace host
