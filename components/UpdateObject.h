// TmSQLSQLUpdateObject: the base of the update objects a dataset can be bound to (TmSQLUpdateSQL).
// An update object holds the application's own statements for the three kinds of update and runs the
// one asked for with the bound dataset's old and new values; the dataset never runs it itself.
#pragma once

#include "host/Component.h"
#include "host/DBTypes.h"

namespace host {
class TStrings;
} // namespace host

namespace corvane {

class TmSQLDataSet;

class TmSQLSQLUpdateObject : public host::TComponent {
public:
    explicit TmSQLSQLUpdateObject(host::TComponent* owner) : host::TComponent(owner) {}

    // The bound dataset, or null.
    virtual TmSQLDataSet* GetDataSet() = 0;
    // Binds the object (no other effect); TmSQLDataSet::SetUpdateObject keeps both sides in step.
    virtual void SetDataSet(TmSQLDataSet* dataSet) = 0;
    // Runs the statement of updateKind (modify, insert, delete).
    virtual void Apply(host::TUpdateKind updateKind) = 0;
    // The statement lines of updateKind.
    virtual host::TStrings* GetSQL(host::TUpdateKind updateKind) = 0;

protected:
    // Lets dataSet show the server's rows after a statement of this object changed them: its cursor
    // runs its statement again, and a browsing dataset re-reads its rows at once (an edit in progress
    // keeps its buffer). A closed dataset is left alone.
    static void RereadDataSet(TmSQLDataSet* dataSet);
};

} // namespace corvane
