// TFieldDef / TFieldDefs: the column descriptions of a dataset, from which default fields are
// created and against which fields are bound. Datasets rebuild them at every open
// (SetUpdated(false); Update()), through their InternalInitFieldDefs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Collection.h"
#include "host/DBTypes.h"
#include "host/Fields.h"

namespace host {

class TDataSet;
class TFieldDefs;

// An item with a Name that must be unique (ignoring case) within its collection: the common
// base of field and index definitions.
class TNamedItem : public TCollectionItem {
public:
    explicit TNamedItem(TCollection* collection) : TCollectionItem(collection) {}
    const std::string& Name() const { return fName; }
    // Another item of the collection with that name: SDuplicateName "Duplicate name '%s' in %s".
    virtual void SetName(const std::string& value);
    std::string DisplayName() const override { return fName; }
    void SetDisplayName(const std::string& value) override { SetName(value); }

protected:
    // Sets the name without checks or notifications (constructors).
    void SetNameDirect(const std::string& value) { fName = value; }

private:
    std::string fName;
};

// One column: name, type, size, attributes, and child definitions for object types.
class TFieldDef : public TNamedItem {
public:
    explicit TFieldDef(TCollection* collection);
    // Direct construction: size is validated for the type (SInvalidFieldSize); the name is set
    // without the duplicate check.
    TFieldDef(TFieldDefs* owner, const std::string& name, TFieldType dataType, int size, bool required,
              int fieldNo);
    ~TFieldDef() override;

    TFieldDefs* FieldDefs() const;
    TFieldType DataType() const { return fDataType; }
    void SetDataType(TFieldType value);
    int Size() const { return fSize; }
    void SetSize(int value);
    int Precision() const { return fPrecision; }
    void SetPrecision(int value);
    TFieldAttributes Attributes() const { return fAttributes; }
    void SetAttributes(TFieldAttributes value);
    bool Required() const { return fAttributes.Contains(faRequired); }
    void SetRequired(bool value);
    // The explicit number when > 0, else Index + 1.
    int FieldNo() const { return fFieldNo > 0 ? fFieldNo : Index() + 1; }
    void SetFieldNo(int value) { fFieldNo = value; }
    bool InternalCalcField() const { return fInternalCalcField; }
    void SetInternalCalcField(bool value);
    // Nested definitions (ADT/array); created on first use.
    TFieldDefs* ChildDefs();
    bool HasChildDefs() const;
    // The definition this one is a child of, or nullptr.
    TFieldDef* ParentDef() const;
    // Field class for the type, from the dataset's GetFieldClass (the default table without one).
    TFieldClass FieldClass() const;
    // Creates the field (see the dataset's GetFieldClass), sets its size, name, flags and exact
    // type, then its DataSet. parent: the object field it becomes a child of.
    TField* CreateField(TComponent* owner, TObjectField* parent = nullptr, const std::string& fieldName = "",
                        bool createChildren = true);
    // A new child definition.
    TFieldDef* AddChild();
    void Assign(TPersistent* source) override;

private:
    TFieldType fDataType = ftUnknown;
    int fSize = 0;
    int fPrecision = 0;
    TFieldAttributes fAttributes;
    int fFieldNo = 0;
    bool fInternalCalcField = false;
    std::unique_ptr<TFieldDefs> fChildDefs;
};

// The definitions of a dataset (owner: the dataset) or of an object definition's children
// (owner: that definition).
class TFieldDefs : public TOwnedCollection {
public:
    explicit TFieldDefs(TPersistent* owner);

    TDataSet* DataSet() const { return fDataSet; }
    TFieldDef* ParentDef() const { return fParentDef; }
    TFieldDef* Items(int index) const { return static_cast<TFieldDef*>(TCollection::Items(index)); }
    TFieldDef* operator[](int index) const { return Items(index); }
    // Empty name: SFieldNameMissing. Appends a definition.
    void Add(const std::string& name, TFieldType dataType, int size = 0, bool required = false);
    TFieldDef* AddFieldDef();
    // Def or SFieldNotFound.
    TFieldDef* Find(const std::string& name) const;
    // Case-insensitive, -1 when absent.
    int IndexOf(const std::string& name) const;
    // True when the definitions mirror the cursor.
    bool Updated() const { return fUpdated; }
    void SetUpdated(bool value) { fUpdated = value; }
    // Rebuilds through DataSet->InitFieldDefs when not Updated.
    void Update();
    // Whether hidden columns are asked for; changing it marks the defs stale.
    bool HiddenFields() const { return fHiddenFields; }
    void SetHiddenFields(bool value);
    // Every definition, children after their parent, with full names ("A.B", "ARR[0]").
    void GetFlatList(std::vector<TFieldDef*>& list, std::vector<std::string>* fullNames = nullptr) const;

protected:
    void Update(TCollectionItem* item) override;

private:
    friend class TFieldDef;
    TDataSet* fDataSet = nullptr;
    TFieldDef* fParentDef = nullptr;
    bool fUpdated = false;
    bool fHiddenFields = false;
    bool fInternalUpdate = false;
};

// The default field class of a type (nullptr for ftUnknown, ftCursor and other types without one).
TFieldClass DefaultFieldClass(TFieldType dataType);

} // namespace host
