// The provider operations (PS*) of the table component, for the host generation that asks for them.
#include "components/Table.h"

#if CORVANE_HOST_GENERATION >= 5

#include "host/Params.h"

namespace corvane {

namespace {

// Whether every ';'-separated field of fields is a field of dataSet.
bool FieldsExist(host::TDataSet* dataSet, const std::string& fields) {
    size_t pos = 0;
    while (pos < fields.size())
        if (!dataSet->FindField(host::ExtractFieldName(fields, pos))) return false;
    return true;
}

} // namespace

void TmSQLTable::PSSetCommandText(const std::string& text) {
    if (!text.empty()) SetTableName(text);
}

std::unique_ptr<host::TIndexDefs> TmSQLTable::PSGetIndexDefs(host::TIndexOptions indexTypes) {
    return host::GetIndexDefs(fIndexDefs.get(), indexTypes);
}

std::unique_ptr<host::TIndexDef> TmSQLTable::PSGetDefaultOrder() {
    fIndexDefs->Update();
    host::TIndexDef* chosen = ChosenIndexDef();
    if (chosen && !FieldsExist(this, chosen->Fields())) chosen = nullptr;
    for (const host::TIndexOption option : {host::ixPrimary, host::ixUnique}) {
        for (int i = 0; i < fIndexDefs->Count() && !chosen; ++i) {
            host::TIndexDef* def = fIndexDefs->Items(i);
            if (def->Options().Contains(option) && FieldsExist(this, def->Fields())) chosen = def;
        }
    }
    if (!chosen) return nullptr;
    auto result = std::make_unique<host::TIndexDef>(nullptr);
    result->Assign(chosen);
    return result;
}

void TmSQLTable::PSSetParams(host::TParams* params) {
    if (params && params->Count() > 0) {
        Open();
        // A named parameter sets the field of its name, an unnamed one index field i.
        auto assign = [this, params] {
            for (int i = 0; i < params->Count(); ++i) {
                host::TParam* param = params->Items(i);
                if (!param->Name().empty())
                    FieldByName(param->Name())->SetValue(param->Value());
                else
                    GetIndexField(i)->SetValue(param->Value());
            }
        };
        SetRangeStart();
        assign();
        SetRangeEnd();
        assign();
        ApplyRange();
    } else if (Active()) {
        CancelRange();
    }
    PSReset();
}

std::string TmSQLTable::PSGetKeyFields() {
    std::string result = TmSQLDataSet::PSGetKeyFields();
    if (!result.empty() || !GetExists()) return result;
    fIndexDefs->Update();
    for (int i = 0; i < fIndexDefs->Count(); ++i) {
        host::TIndexDef* def = fIndexDefs->Items(i);
        if (!def->Options().Contains(host::ixUnique)) continue;
        if (FieldCount() == 0 || FieldsExist(this, def->Fields())) return def->Fields();
    }
    return {};
}

} // namespace corvane

#endif
