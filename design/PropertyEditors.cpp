// The table component's property editors: live value lists and the master fields editor.
#include "design/PropertyEditors.h"

#include "host/DataSource.h"
#include "host/Exceptions.h"
#include "host/IndexDefs.h"
#include "host/Messages.h"
#include "host/Streaming.h"

namespace corvane {

using namespace host;

// ---- Name lists

void TmSQLNameListProperty::GetValues(const TGetStrProc& proc) {
    TStringList values;
    GetValueList(&values);
    for (int i = 0; i < values.Count(); ++i)
        proc(values.Strings(i));
}

TmSQLTable* TmSQLNameListProperty::Table() const {
    auto* table = dynamic_cast<TmSQLTable*>(GetComponent(0));
    if (table == nullptr) throw EPropertyError(SInvalidPropertyValue);
    return table;
}

void TmSQLTableNamePropertyEditor::GetValueList(TStrings* list) {
    TmSQLTable* table = Table();
    if (table->Database() == nullptr) DatabaseError(SDatabaseNotSet);
    table->Database()->GetTableNames(list);
}

void TmSQLIndexNamePropertyEditor::GetValueList(TStrings* list) {
    Table()->GetIndexNames(list);
}

void TmSQLIndexFieldNamesPropertyEditor::GetValueList(TStrings* list) {
    TPersistent* component = GetComponent(0);
    const TPropInfo* prop = GetPropInfo(component, "IndexDefs");
    if (prop == nullptr || !prop->GetObject) return;
    auto* defs = dynamic_cast<TIndexDefs*>(prop->GetObject(component));
    if (defs == nullptr) return;
    defs->SetUpdated(false);
    defs->Update();
    for (int i = 0; i < defs->Count(); ++i) {
        const TIndexDef* def = defs->Items(i);
        const TIndexOptions options = def->Options();
        if (options.Contains(ixDescending) || options.Contains(ixExpression) || def->Fields().empty())
            continue;
        list->Add(def->Fields());
    }
}

void TmSQLDataSourcePropertyEditor::GetValues(const TGetStrProc& proc) {
    if (Designer() == nullptr) return;
    Designer()->GetComponentNames(
        [this](TComponent* component) {
            if (!Accepts(component)) return false;
            auto* source = dynamic_cast<TDataSource*>(component);
            for (int i = 0; i < PropCount(); ++i)
                if (auto* dataSet = dynamic_cast<TDataSet*>(GetComponent(i)))
                    if (source != nullptr && dataSet->IsLinkedTo(source)) return false;
            return true;
        },
        proc);
}

// ---- Master fields

TmSQLTableFieldLinkProperty::~TmSQLTableFieldLinkProperty() = default;

TmSQLTable* TmSQLTableFieldLinkProperty::EditedTable() const {
    auto* table = dynamic_cast<TmSQLTable*>(DataSet());
    if (table == nullptr) throw EPropertyError(SInvalidPropertyValue);
    return table;
}

TmSQLTable* TmSQLTableFieldLinkProperty::Table() const {
    return fTable ? fTable.get() : EditedTable();
}

void TmSQLTableFieldLinkProperty::Edit() {
    TmSQLTable* edited = EditedTable();
    fTable = std::make_unique<TmSQLTable>(nullptr);
    // The temporary table goes however the dialog ends.
    struct TRelease {
        std::unique_ptr<TmSQLTable>& table;
        ~TRelease() { table.reset(); }
    } release{fTable};
    fTable->SetDatabase(edited->Database());
    fTable->SetTableName(edited->TableName());
    if (!edited->IndexFieldNames().empty())
        fTable->SetIndexFieldNames(edited->IndexFieldNames());
    else
        fTable->SetIndexName(edited->IndexName());
    fTable->SetMasterFields(edited->MasterFields());
    fTable->Open();
    if (!RunDesigner()) return;
    edited->SetMasterFields(fTable->MasterFields());
    if (!fTable->IndexFieldNames().empty())
        edited->SetIndexFieldNames(fTable->IndexFieldNames());
    else
        edited->SetIndexName(fTable->IndexName());
    // The designer hears of the change once the table has it.
    Modified();
}

void TmSQLTableFieldLinkProperty::GetFieldNamesForIndex(TStrings* list) {
    TmSQLTable* table = Table();
    for (int i = 0; i < table->IndexFieldCount(); ++i)
        list->Add(table->IndexFields(i)->DisplayName());
}

bool TmSQLTableFieldLinkProperty::GetIndexBased() {
    return !Table()->PSIsSQLBased();
}

TIndexDefs* TmSQLTableFieldLinkProperty::GetIndexDefs() {
    return Table()->IndexDefs();
}

std::string TmSQLTableFieldLinkProperty::GetIndexFieldNames() {
    return Table()->IndexFieldNames();
}

std::string TmSQLTableFieldLinkProperty::GetIndexName() {
    return Table()->IndexName();
}

std::string TmSQLTableFieldLinkProperty::GetMasterFields() {
    return Table()->MasterFields();
}

void TmSQLTableFieldLinkProperty::SetIndexFieldNames(const std::string& value) {
    Table()->SetIndexFieldNames(value);
}

void TmSQLTableFieldLinkProperty::SetIndexName(const std::string& value) {
    Table()->SetIndexName(value == SPrimary ? std::string() : value);
}

void TmSQLTableFieldLinkProperty::SetMasterFields(const std::string& value) {
    Table()->SetMasterFields(value);
}

} // namespace corvane
