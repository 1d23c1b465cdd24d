// The update-SQL component: the three statements, their queries, parameters from the bound dataset's
// old and new values, and the re-read of the dataset after a statement ran.
#include "components/UpdateSQL.h"

#include "host/Application.h"
#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

namespace corvane {

namespace {

// The prefix of parameters that take a field's old value.
constexpr std::string_view kOldPrefix = "OLD_";

} // namespace

// ---- TmSQLSQLUpdateObject

void TmSQLSQLUpdateObject::RereadDataSet(TmSQLDataSet* dataSet) {
    if (!dataSet || !dataSet->Active()) return;
    if (dataSet->State() != host::dsBrowse) {
        // The buffer being edited must stay as it is: only the cursor reads again.
        dataSet->InternalRefresh();
        return;
    }
    dataSet->UpdateCursorPos();
    dataSet->InternalRefresh();
    dataSet->Resync({});
}

// ---- Construction and destruction

TmSQLUpdateSQL::TmSQLUpdateSQL(host::TComponent* owner) : TmSQLSQLUpdateObject(owner) {
    for (auto& lines : fSQLText) {
        lines = std::make_unique<host::TStringList>();
        lines->SetOnChange([this](host::TObject* sender) { SQLChanged(sender); });
    }
}

TmSQLUpdateSQL::~TmSQLUpdateSQL() {
    Unbind();
    for (auto& lines : fSQLText)
        lines->SetOnChange(nullptr);
}

void TmSQLUpdateSQL::BeforeDestruction() {
    Unbind();
    TmSQLSQLUpdateObject::BeforeDestruction();
}

void TmSQLUpdateSQL::Unbind() noexcept {
    if (!fDataSet) return;
    try {
        if (fDataSet->UpdateObject() == this)
            fDataSet->SetUpdateObject(nullptr);
        else
            fDataSet = nullptr;
    } catch (...) {
        host::Application().HandleException(this);
    }
    fDataSet = nullptr;
}

void TmSQLUpdateSQL::Notification(host::TComponent* component, host::TOperation operation) {
    TmSQLSQLUpdateObject::Notification(component, operation);
    if (operation != host::opRemove) return;
    for (TmSQLQuery*& query : fQueries)
        if (query == component) query = nullptr;
}

// ---- Statements

host::TStrings* TmSQLUpdateSQL::GetSQLIndex(int index) const {
    if (index < 0 || index >= kKinds) throw host::EListError(host::Format(host::SListIndexError, {index}));
    return fSQLText[static_cast<size_t>(index)].get();
}

void TmSQLUpdateSQL::SetSQLIndex(int index, host::TStrings* lines) {
    host::TStrings* own = GetSQLIndex(index);
    if (lines)
        own->Assign(lines);
    else
        own->Clear();
}

int TmSQLUpdateSQL::KindOf(const host::TObject* sender) const {
    for (int kind = 0; kind < kKinds; ++kind)
        if (fSQLText[static_cast<size_t>(kind)].get() == sender) return kind;
    return -1;
}

void TmSQLUpdateSQL::SQLChanged(host::TObject* sender) {
    const int kind = KindOf(sender);
    if (kind < 0) return;
    if (TmSQLQuery* query = fQueries[static_cast<size_t>(kind)]) {
        query->Params()->Clear();
        query->SetSQL(fSQLText[static_cast<size_t>(kind)].get());
    }
}

TmSQLQuery* TmSQLUpdateSQL::GetQuery(host::TUpdateKind updateKind) {
    const int kind = static_cast<int>(updateKind);
    host::TStrings* lines = GetSQLIndex(kind);
    TmSQLQuery*& query = fQueries[static_cast<size_t>(kind)];
    if (!query) {
        query = CreateQuery();
        query->SetSQL(lines);
    }
    // The statements run where the dataset they serve lives, also after it moved to another
    // database or when the query was made before the object was bound.
    if (fDataSet && fDataSet->Database() && query->Database() != fDataSet->Database())
        query->SetDatabase(fDataSet->Database());
    return query;
}

// ---- Applying

void TmSQLUpdateSQL::SetParams(host::TUpdateKind updateKind) {
    if (!fDataSet) return;
    host::TParams* params = GetQuery(updateKind)->Params();
    for (int i = 0; i < params->Count(); ++i) {
        host::TParam* param = params->Items(i);
        std::string name = param->Name();
        const bool old =
            name.size() >= kOldPrefix.size() &&
            host::CompareText(std::string_view(name).substr(0, kOldPrefix.size()), kOldPrefix) == 0;
        if (old) name.erase(0, kOldPrefix.size());
        host::TField* field = fDataSet->FindField(name);
        if (!field) continue;
        param->AssignFieldValue(field, old ? field->OldValue() : field->NewValue());
    }
}

void TmSQLUpdateSQL::ExecSQL(host::TUpdateKind updateKind) {
    TmSQLQuery* query = GetQuery(updateKind);
    query->Prepare();
    query->ExecSQL();
    RereadDataSet(fDataSet);
}

void TmSQLUpdateSQL::Apply(host::TUpdateKind updateKind) {
    SetParams(updateKind);
    ExecSQL(updateKind);
}

// ---- Registration

namespace {

[[maybe_unused]] const bool kRegistered = [] {
    host::RegisterClass<TmSQLSQLUpdateObject>("TmSQLSQLUpdateObject", "TComponent");
    host::RegisterClass<TmSQLUpdateSQL>("TmSQLUpdateSQL", "TmSQLSQLUpdateObject")
        .Strings("ModifySQL", &TmSQLUpdateSQL::ModifySQL)
        .Strings("InsertSQL", &TmSQLUpdateSQL::InsertSQL)
        .Strings("DeleteSQL", &TmSQLUpdateSQL::DeleteSQL);
    return true;
}();

} // namespace

} // namespace corvane
