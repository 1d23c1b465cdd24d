// The property editors of the table component (unit mSQLCOMP): value lists of table names, index
// names, index field lists and master data sources read live through the components, and the
// master fields editor that runs the field link designer on a temporary copy of the table.
#pragma once

#include <memory>
#include <string>

#include "components/Table.h"
#include "design/FieldLinkDesigner.h"
#include "host/Designer.h"
#include "host/Strings.h"

namespace corvane {

// The message of the table name editor for a table without a database.
inline constexpr const char* SDatabaseNotSet = "Database property is not set";

// Base of the name editors: a text property whose values come from a list built by
// GetValueList, offered sorted, for one or several tables.
class TmSQLNameListProperty : public host::TStringProperty {
public:
    using TStringProperty::TStringProperty;
    host::TPropertyAttributes GetAttributes() override {
        return {host::paValueList, host::paSortList, host::paMultiSelect};
    }
    // Builds the list and hands its entries to proc one by one.
    void GetValues(const host::TGetStrProc& proc) override;
    virtual void GetValueList(host::TStrings* list) = 0;

protected:
    // The first edited component as a table (EPropertyError when it is none).
    TmSQLTable* Table() const;
};

// "TableName": the tables of the table's database; "Database property is not set" without one.
class TmSQLTableNamePropertyEditor : public TmSQLNameListProperty {
public:
    using TmSQLNameListProperty::TmSQLNameListProperty;
    void GetValueList(host::TStrings* list) override;
};

// "IndexName": the table's index names.
class TmSQLIndexNamePropertyEditor : public TmSQLNameListProperty {
public:
    using TmSQLNameListProperty::TmSQLNameListProperty;
    void GetValueList(host::TStrings* list) override;
};

// "IndexFieldNames": the field lists of the component's published index definitions (read afresh),
// except descending and expression indexes and empty lists, in definition order.
class TmSQLIndexFieldNamesPropertyEditor : public TmSQLNameListProperty {
public:
    using TmSQLNameListProperty::TmSQLNameListProperty;
    void GetValueList(host::TStrings* list) override;
};

// "MasterSource": the designer's data sources except those one of the edited tables is already
// linked to, so that no table becomes its own master.
class TmSQLDataSourcePropertyEditor : public host::TComponentProperty {
public:
    using TComponentProperty::TComponentProperty;
    void GetValues(const host::TGetStrProc& proc) override;
};

// "MasterFields": Edit copies the edited table's database, table name, index choice and master
// fields into a temporary table, opens it, and runs the field link designer with the index
// questions answered by that table; a confirmed result goes back to the edited table (master
// fields, then the index choice).
class TmSQLTableFieldLinkProperty : public TmSQLFieldLinkProperty {
public:
    using TmSQLFieldLinkProperty::TmSQLFieldLinkProperty;
    ~TmSQLTableFieldLinkProperty() override;

    void Edit() override;

    // The table the questions go to: the temporary table while Edit runs, else the edited table.
    TmSQLTable* Table() const;

    void GetFieldNamesForIndex(host::TStrings* list) override;
    // Whether the table's provider support reports it as not SQL based.
    bool GetIndexBased() override;
    host::TIndexDefs* GetIndexDefs() override;
    std::string GetIndexFieldNames() override;
    std::string GetIndexName() override;
    std::string GetMasterFields() override;
    void SetIndexFieldNames(const std::string& value) override;
    // SPrimary (the list's name of an unnamed primary index) clears the index name.
    void SetIndexName(const std::string& value) override;
    void SetMasterFields(const std::string& value) override;

private:
    TmSQLTable* EditedTable() const;
    std::unique_ptr<TmSQLTable> fTable; // the temporary table while Edit runs
};

} // namespace corvane
