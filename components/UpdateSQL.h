// TmSQLUpdateSQL: an update object holding the application's own INSERT, UPDATE and DELETE statements
// for a dataset. Apply(kind) fills the statement's parameters from the bound dataset's current row and
// runs it through a query on the dataset's database, then lets the dataset re-read its rows:
//   - a parameter named like a field takes the field's new value (the row being edited, or the row
//     shown), one named "OLD_" + a field name (any case of the prefix) the field's old value (the row
//     as it was before the edit);
//   - a parameter that names no field keeps the value it was given.
// The dataset never runs the object itself; applications call Apply, typically from their own handler
// of an edit. The number of rows a statement changed is not examined.
#pragma once

#include <array>
#include <memory>

#include "components/Query.h"
#include "components/UpdateObject.h"
#include "host/Strings.h"

namespace corvane {

class TmSQLUpdateSQL : public TmSQLSQLUpdateObject {
public:
    explicit TmSQLUpdateSQL(host::TComponent* owner);
    // Unbinds the dataset it serves (which then has no update object); the queries go with it.
    ~TmSQLUpdateSQL() override;
    void BeforeDestruction() override;

    // ---- published properties: the statements of the three update kinds
    host::TStrings* ModifySQL() const { return GetSQLIndex(host::ukModify); }
    void SetModifySQL(host::TStrings* lines) { SetSQLIndex(host::ukModify, lines); }
    host::TStrings* InsertSQL() const { return GetSQLIndex(host::ukInsert); }
    void SetInsertSQL(host::TStrings* lines) { SetSQLIndex(host::ukInsert, lines); }
    host::TStrings* DeleteSQL() const { return GetSQLIndex(host::ukDelete); }
    void SetDeleteSQL(host::TStrings* lines) { SetSQLIndex(host::ukDelete, lines); }

    // ---- TmSQLSQLUpdateObject
    TmSQLDataSet* GetDataSet() override { return fDataSet; }
    void SetDataSet(TmSQLDataSet* dataSet) override { fDataSet = dataSet; }
    // SetParams, then ExecSQL; errors of the statement propagate and the dataset is not re-read.
    void Apply(host::TUpdateKind updateKind) override;
    host::TStrings* GetSQL(host::TUpdateKind updateKind) override { return GetSQLIndex(updateKind); }

    host::TStrings* GetSQLIndex(int index) const;
    // The kind's lines take a copy of lines (its query, when there is one, takes them too).
    void SetSQL(host::TUpdateKind updateKind, host::TStrings* lines) { SetSQLIndex(updateKind, lines); }
    void SetSQLIndex(int index, host::TStrings* lines);
    // The query that runs the kind's statement, created on first use (owned by this object) with the
    // kind's lines; it runs on the bound dataset's database.
    TmSQLQuery* GetQuery(host::TUpdateKind updateKind);
    // Fills the kind's parameters from the bound dataset's current row (nothing without one).
    void SetParams(host::TUpdateKind updateKind);
    // Prepares and runs the kind's statement; then the bound dataset re-reads its rows.
    void ExecSQL(host::TUpdateKind updateKind);

protected:
    // A new statement query owned by this object (the query class of the statements).
    virtual TmSQLQuery* CreateQuery() { return new TmSQLQuery(this); }
    void Notification(host::TComponent* component, host::TOperation operation) override;

private:
    static constexpr int kKinds = 3;
    // The kind whose lines are sender (-1 for none).
    int KindOf(const host::TObject* sender) const;
    void SQLChanged(host::TObject* sender);
    void Unbind() noexcept;

    TmSQLDataSet* fDataSet = nullptr;
    std::array<TmSQLQuery*, kKinds> fQueries{}; // owned as components
    std::array<std::unique_ptr<host::TStringList>, kKinds> fSQLText;
};

} // namespace corvane
