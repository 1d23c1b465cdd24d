// TParam / TParams: the parameters of a statement (`:name` references in query text), their
// values and types, and ParseSQL, which finds the references and replaces each by `?`.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Collection.h"
#include "host/DBTypes.h"
#include "host/Variant.h"

namespace host {

class TField;
class TParams;
class TStream;
class TDataSet;

// One parameter. Items with the same name (ignoring case) in one collection share the first
// one's DataType, ParamType and value.
class TParam : public TCollectionItem {
public:
    explicit TParam(TCollection* collection);
    TParam(TParams* params, TParamType paramType);

    const std::string& Name() const { return fName; }
    void SetName(const std::string& value);
    std::string DisplayName() const override {
        return fName.empty() ? TCollectionItem::DisplayName() : fName;
    }
    TFieldType DataType() const;
    // Changing the type clears the value.
    void SetDataType(TFieldType value);
    TParamType ParamType() const;
    void SetParamType(TParamType value);
    int Precision() const { return fPrecision; }
    void SetPrecision(int v) { fPrecision = v; }
    int NumericScale() const { return fNumericScale; }
    void SetNumericScale(int v) { fNumericScale = v; }
    int Size() const { return fSize; }
    void SetSize(int v) { fSize = v; }
    // A value has been assigned.
    bool Bound() const { return fBound; }
    void SetBound(bool v) { fBound = v; }
    // Null flag set, or the value is Null or Unassigned.
    bool IsNull() const;

    Variant Value() const;
    // Bound := not Unassigned; infers DataType from the variant kind while it is ftUnknown.
    void SetValue(const Variant& value);
    Variant AsVariant() const { return Value(); }
    void SetAsVariant(const Variant& value) { SetValue(value); }
    // Null, Unassigned; Bound unchanged.
    void Clear();

    // Typed getters give 0 / '' / false when null; typed setters set DataType, then the value.
    std::string AsString() const;
    void SetAsString(const std::string& v);
    int32_t AsInteger() const;
    void SetAsInteger(int32_t v);
    void SetAsSmallInt(int32_t v);
    void SetAsWord(int32_t v);
    double AsFloat() const;
    void SetAsFloat(double v);
    double AsCurrency() const;
    void SetAsCurrency(double v);
    double AsBCD() const { return AsCurrency(); }
    void SetAsBCD(double v);
    bool AsBoolean() const;
    void SetAsBoolean(bool v);
    TDateTime AsDateTime() const;
    void SetAsDate(TDateTime v);
    void SetAsTime(TDateTime v);
    void SetAsDateTime(TDateTime v);
    std::string AsMemo() const { return AsString(); }
    void SetAsMemo(const std::string& v);
    std::string AsBlob() const { return AsString(); }
    void SetAsBlob(const std::string& v);
    std::string Text() const { return AsString(); }
    void SetText(const std::string& v) { SetValue(Variant(v)); }

    // Bytes of the native value: strings length + 1, Boolean 2, BCD 34, Float/Currency/DateTime 8,
    // Integer/AutoInc/Date/Time 4, Smallint/Word 2, blobs their length; ftUnknown
    // SUnknownFieldType, other types SBadFieldType.
    int GetDataSize() const;
    // Writes the native value (formats of the field classes) into buffer (GetDataSize bytes).
    void GetData(void* buffer) const;
    // Reads a native value of DataType back into the value.
    void SetData(const void* buffer);

    // Field: type, value, size, name (see AssignFieldValue).
    void AssignField(TField* field);
    // DataType := the field's type (fixed-char string: ftFixedChar; memo over 255: ftString);
    // Value := value (Null clears); Size := DataSize; BCD: NumericScale := field Size; Bound.
    void AssignFieldValue(TField* field, const Variant& value);
    // Field->Value := Value.
    void AssignToField(TField* field) const;
    // Blob type and the whole stream (from position 0) as the value.
    void LoadFromStream(TStream& stream, TFieldType blobType);
    void LoadFromFile(const std::string& fileName, TFieldType blobType);
    // A param: type, value or null, Bound, Name, ParamType (when own is ptUnknown), Size,
    // Precision, NumericScale. A field: AssignField. A string list: AsMemo := its text.
    void Assign(TPersistent* source) override;
    bool IsEqual(const TParam* other) const;
    // The item this one delegates to (the first of its name), itself when none.
    TParam* ParamRef() const;

protected:
    void AssignTo(TPersistent* dest) override;

private:
    friend class TParams;
    void AssignParam(const TParam* param);
    std::string fName;
    TFieldType fDataType = ftUnknown;
    TParamType fParamType = ptUnknown;
    Variant fData;
    bool fNull = true;
    bool fBound = false;
    int fPrecision = 0;
    int fNumericScale = 0;
    int fSize = 0;
    mutable TParam* fParamRef = nullptr;
};

// The parameters of a statement; the owner (usually the dataset) names errors.
class TParams : public TCollection {
public:
    explicit TParams(TPersistent* owner = nullptr);

    // Item i (for a duplicate name: the first item of that name).
    TParam* Items(int index) const;
    TParam* operator[](int index) const { return Items(index); }
    // First of that name ignoring case, or SParameterNotFound (prefixed with the owner's name).
    TParam* ParamByName(const std::string& name) const;
    TParam* FindParam(const std::string& name) const;
    // One name: that param's value; several ';'-separated: a variant array.
    Variant ParamValues(const std::string& names) const;
    void SetParamValues(const std::string& names, const Variant& values);
    TParam* CreateParam(TFieldType fieldType, const std::string& name, TParamType paramType);
    // Moves an existing param into / out of this collection.
    void AddParam(TParam* value);
    void RemoveParam(TParam* value);
    // For each source param with a namesake here: Assign it.
    void AssignValues(const TParams* source);
    bool IsEqual(const TParams* other) const;
    // Scans sql for `:name` references (quotes ' " ` toggle a literal, inside which a backslash
    // escapes the next character; `::` is an escaped colon; a name ends at space , ; ) CR LF or
    // the end) and replaces each by `?`. With doCreate the collection is cleared and one param
    // appended per reference. Returns the new text.
    std::string ParseSQL(const std::string& sql, bool doCreate);
    // Names of the params as a ';'-separated list.
    void GetParamList(std::vector<TParam*>& list, const std::string& paramNames) const;
    TPersistent* GetOwner() const override { return fOwner; }

protected:
    void Update(TCollectionItem* item) override;

private:
    TPersistent* fOwner;
};

// Splits SQL text at parameter markers by ParseSQL's rules, so every component that reads markers agrees
// with it: a marker is ':' followed by a name that runs to a blank, ',', ';', ')', CR or LF (quote
// characters inside it toggle, so a quoted name may hold those); "::" is an escaped colon; markers inside
// '...', "..." or `...` literals are text, and inside a literal a backslash takes the next character as
// it is (the server's string escape: 'it\'s' is one literal). onText receives each stretch of text
// between markers (an escaped colon as ":"), onMarker each marker's name with one pair of enclosing
// quotes removed (quoted tells whether it had them; an empty name stands for a ':' that no name
// follows).
void ScanParamMarkers(std::string_view sql, const std::function<void(std::string_view text)>& onText,
                      const std::function<void(const std::string& name, bool quoted)>& onMarker);

} // namespace host
