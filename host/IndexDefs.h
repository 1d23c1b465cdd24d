// TIndexDef / TIndexDefs: the index descriptions a dataset reports (filled by its
// UpdateIndexDefs) and the search for an index over a field list.
#pragma once

#include <memory>
#include <string>

#include "host/DBTypes.h"
#include "host/FieldDefs.h"

namespace host {

class TDataSet;
class TIndexDefs;

// One index: name, ';'-separated fields (or an expression), options.
class TIndexDef : public TNamedItem {
public:
    explicit TIndexDef(TCollection* collection);
    // Direct construction without notifications.
    TIndexDef(TIndexDefs* owner, const std::string& name, const std::string& fields, TIndexOptions options);

    // Fields and Expression share one text: reading Fields of an expression index gives '' and
    // reading Expression of a field index gives ''.
    std::string Fields() const { return fOptions.Contains(ixExpression) ? std::string() : fFields; }
    // Sets the field list and removes ixExpression.
    void SetFields(const std::string& value);
    std::string Expression() const { return fOptions.Contains(ixExpression) ? fFields : std::string(); }
    // Sets the expression and adds ixExpression.
    void SetExpression(const std::string& value);
    TIndexOptions Options() const { return fOptions; }
    void SetOptions(TIndexOptions value);
    const std::string& Source() const { return fSource; }
    void SetSource(const std::string& value);
    // Fields sorted descending; non-empty adds ixDescending.
    const std::string& DescFields() const { return fDescFields; }
    void SetDescFields(const std::string& value);
    // Fields compared ignoring case; non-empty adds ixCaseInsensitive.
    const std::string& CaseInsFields() const { return fCaseInsFields; }
    void SetCaseInsFields(const std::string& value);
    // Name, or "<Primary>" for an unnamed primary index.
    std::string DisplayName() const override;
    void Assign(TPersistent* source) override;

private:
    std::string fFields, fSource, fDescFields, fCaseInsFields;
    TIndexOptions fOptions;
};

class TIndexDefs : public TOwnedCollection {
public:
    explicit TIndexDefs(TDataSet* dataSet);

    TDataSet* DataSet() const { return fDataSet; }
    TIndexDef* Items(int index) const { return static_cast<TIndexDef*>(TCollection::Items(index)); }
    TIndexDef* operator[](int index) const { return Items(index); }
    // A name already present (ignoring case): SDuplicateIndexName.
    void Add(const std::string& name, const std::string& fields, TIndexOptions options);
    TIndexDef* AddIndexDef();
    // Def or SIndexNotFound.
    TIndexDef* Find(const std::string& name) const;
    int IndexOf(const std::string& name) const;
    bool Updated() const { return fUpdated; }
    void SetUpdated(bool value) { fUpdated = value; }
    // Refills through DataSet->UpdateIndexDefs when not Updated. Filling them is not a change:
    // DataSet->DefChanged hears only of changes made outside Update.
    void Update();
    // The first index (neither descending nor expression; case-insensitive ones only when asked)
    // whose fields equal `fields` ignoring case, else the first whose fields start with them
    // followed by ';' or the end; nullptr when none. Calls Update first.
    TIndexDef* GetIndexForFields(const std::string& fields, bool caseInsensitive);
    // GetIndexForFields(fields, false) or SNoIndexForFields.
    TIndexDef* FindIndexForFields(const std::string& fields);

protected:
    void Update(TCollectionItem* item) override;

private:
    TDataSet* fDataSet;
    bool fUpdated = false;
    bool fInternalUpdate = false;
};

// The definitions of indexDefs (brought up to date first) that have at least one of the options
// in indexTypes, or all of them when indexTypes is empty, copied into a new list without a
// dataset; nullptr when none qualifies. What provider support hands out (PSGetIndexDefs).
std::unique_ptr<TIndexDefs> GetIndexDefs(TIndexDefs* indexDefs, TIndexOptions indexTypes);

// The index an ORDER BY clause of sql describes (fields in order, ';'-separated, with descending
// ones in DescFields), as a new definition the caller owns; nullptr when the text has no
// ORDER BY. Names are taken as written; "table.column" keeps only the column.
std::unique_ptr<TIndexDef> GetIndexForOrderBy(const std::string& sql, TDataSet* dataSet);

} // namespace host
