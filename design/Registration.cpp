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
    return {host::ComponentClass<TmSQLTable>("TmSQLTable"), host::ComponentClass<TmSQLQuery>("TmSQLQuery"),
            host::ComponentClass<TmSQLDatabase>("TmSQLDatabase"),
            host::ComponentClass<TmSQLUpdateSQL>("TmSQLUpdateSQL")};
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
