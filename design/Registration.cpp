// Design-time registration: the palette page and the table component's property editors.
#include "design/Registration.h"

#include <vector>

#include "components/mSQLDbTables.h"
#include "design/PropertyEditors.h"
#include "host/Designer.h"

namespace corvane {

namespace {

// The palette page of the components.
constexpr const char* kPalettePage = "Corvane";

// The components of the palette, in the order they appear there.
std::vector<host::TComponentClassRef> PaletteClasses() {
    // The query component (TmSQLQuery, after the table) and the update-SQL object
    // (TmSQLUpdateSQL, after the database) take their places here once they exist.
    return {host::ComponentClass<TmSQLTable>("TmSQLTable"),
            host::ComponentClass<TmSQLDatabase>("TmSQLDatabase")};
}

} // namespace

void Register() {
    host::RegisterComponents(kPalettePage, PaletteClasses());
    RegisterPropertyEditors();
}

void RegisterPropertyEditors() {
    const host::TComponentClassRef table = host::ComponentClass<TmSQLTable>("TmSQLTable");
    host::RegisterPropertyEditor("TFileName", table, "TableName",
                                 host::PropertyEditorClass<TmSQLTableNamePropertyEditor>());
    host::RegisterPropertyEditor("string", table, "IndexName",
                                 host::PropertyEditorClass<TmSQLIndexNamePropertyEditor>());
    host::RegisterPropertyEditor("string", table, "IndexFieldNames",
                                 host::PropertyEditorClass<TmSQLIndexFieldNamesPropertyEditor>());
    host::RegisterPropertyEditor("TDataSource", table, "MasterSource",
                                 host::PropertyEditorClass<TmSQLDataSourcePropertyEditor>());
    host::RegisterPropertyEditor("string", table, "MasterFields",
                                 host::PropertyEditorClass<TmSQLTableFieldLinkProperty>());
}

} // namespace corvane
