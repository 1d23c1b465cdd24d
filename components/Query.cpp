// The query component: SQL text and parameters, preparing with the live decision, opening and running
// statements, master parameters through the data link, the streamed "ParamData" and "Data", and the
// provider operations of the current host generation.
#include "components/Query.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "host/Application.h"
#include "host/Exceptions.h"
#include "host/IndexDefs.h"
#include "host/Messages.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

namespace corvane {

namespace {

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Position of the first "group by" or "order by" in lower-case text standing as words, or npos.
size_t FindGroupOrOrderBy(std::string_view text) {
    for (size_t i = 0; i + 5 <= text.size(); ++i) {
        if (i > 0 && IsWordChar(text[i - 1])) continue;
        const std::string_view word = text.substr(i, 5);
        if (word != "order" && word != "group") continue;
        size_t by = i + 5;
        if (by >= text.size() || !IsBlank(text[by])) continue;
        while (by < text.size() && IsBlank(text[by]))
            ++by;
        if (text.substr(by, 2) != "by" || (by + 2 < text.size() && IsWordChar(text[by + 2]))) continue;
        return i;
    }
    return std::string_view::npos;
}

} // namespace

bool NamesOneTable(const std::string& sql) {
    const std::string lower = host::AnsiLowerCase(sql);
    // Everything up to and including the first "from" goes (it may end a longer word, as in
    // "datefrom"); without one, the first three characters.
    const size_t from = lower.find("from");
    std::string_view rest(lower);
    rest.remove_prefix(std::min(from == std::string::npos ? size_t{3} : from + 4, rest.size()));
    // The table list ends before the first "where" (and the character before it), and at the first
    // GROUP BY or ORDER BY, whose column lists hold commas of their own.
    size_t end = rest.size();
    const size_t where = rest.find("where");
    if (where != std::string_view::npos && where >= 1) end = where - 1;
    end = std::min(end, FindGroupOrOrderBy(rest));
    return rest.substr(0, end).find(',') == std::string_view::npos;
}

// ---- TmSQLQueryDataLink

host::TDataSet* TmSQLQueryDataLink::DetailDataSet() const {
    return fQuery;
}

void TmSQLQueryDataLink::ActiveChanged() {
    if (fQuery->Active()) fQuery->RefreshParams();
}

void TmSQLQueryDataLink::RecordChanged(host::TField* field) {
    // A new current row of the master (not an edit of one of its fields).
    if (!field && fQuery->Active()) fQuery->RefreshParams();
}

void TmSQLQueryDataLink::CheckBrowseMode() {
    if (fQuery->Active()) fQuery->CheckBrowseMode();
}

// ---- Construction and destruction

TmSQLQuery::TmSQLQuery(host::TComponent* owner)
    : TmSQLDataSet(owner), fSQL(std::make_unique<host::TStringList>()),
      fParams(std::make_unique<host::TParams>(this)), fDataLink(std::make_unique<TmSQLQueryDataLink>(this)) {
    fSQL->SetOnChange([this](host::TObject* sender) { QueryChanged(sender); });
    fCacheBlobs = false;
}

TmSQLQuery::~TmSQLQuery() {
    // A query that was not deleted through `delete` (a member, the stack) gets here first.
    Teardown();
    fSQL->SetOnChange(nullptr);
}

void TmSQLQuery::BeforeDestruction() {
    // The dataset closes quietly first (no close events while being destroyed); the statement is
    // freed while the database that made it is still known; then the dataset lets go of the rest.
    host::TDataSet::BeforeDestruction();
    Teardown();
    TmSQLDataSet::BeforeDestruction();
}

void TmSQLQuery::Teardown() noexcept {
    if (fTornDown) return;
    fTornDown = true;
    Destroying();
    try {
        Disconnect();
    } catch (...) {
        host::Application().HandleException(this);
    }
    if (fStmtHandle) {
        // The unprepare failed: the statement must not outlive the query.
        if (TmSQLEngine* engine = Engine()) engine->QFree(fStmtHandle);
        fStmtHandle = nullptr;
        fPrepared = false;
    }
}

// ---- Properties

void TmSQLQuery::SetDataSource(host::TDataSource* value) {
    if (value && IsLinkedTo(value)) host::DatabaseError(host::SCircularDataLink, this);
    fDataLink->SetDataSource(value);
}

void TmSQLQuery::SetSQL(host::TStrings* lines) {
    const std::string text = lines ? lines->Text() : std::string();
    if (text == fSQL->Text()) return;
    Disconnect();
    fSQL->BeginUpdate();
    try {
        if (lines)
            fSQL->Assign(lines);
        else
            fSQL->Clear();
    } catch (...) {
        fSQL->EndUpdate();
        throw;
    }
    fSQL->EndUpdate();
}

void TmSQLQuery::QueryChanged(host::TObject* /*sender*/) {
    fText = fSQL->Text();
    if (ComponentState().Contains(host::csReading)) {
        // The parameters come from the stream ("ParamData").
        fText = fParams->ParseSQL(fText, false);
        return;
    }
    Disconnect();
    fSQLBinary.reset();
    if (fParamCheck || ComponentState().Contains(host::csDesigning)) {
        host::TParams list(this);
        fText = list.ParseSQL(fText, true);
        list.AssignValues(fParams.get());
        fParams->Clear();
        fParams->Assign(&list);
    }
    DataEvent(host::dePropertyChange, 0);
}

// ---- Parameters

void TmSQLQuery::SetParamsList(host::TParams* value) {
    fParams->AssignValues(value);
}

host::TParam* TmSQLQuery::ParamByName(const std::string& name) {
    return fParams->ParamByName(name);
}

void TmSQLQuery::SetParamsFromCursor() {
    host::TDataSource* source = DataSource();
    host::TDataSet* master = source ? source->DataSet() : nullptr;
    if (!master) return;
    master->FieldDefs()->Update();
    for (int i = 0; i < fParams->Count(); ++i) {
        host::TParam* param = fParams->Items(i);
        if (param->Bound()) continue;
        param->AssignField(master->FieldByName(param->Name()));
        // Unbound again, so that the next run reads the master's current row anew.
        param->SetBound(false);
    }
}

void TmSQLQuery::RefreshParams() {
    DisableControls();
    try {
        host::TDataSource* source = DataSource();
        host::TDataSet* master = source ? source->DataSet() : nullptr;
        if (master && master->Active() && master->State() != host::dsSetKey) {
            Close();
            Open();
        }
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TmSQLQuery::GetDetailLinkFields(std::vector<host::TField*>& masterFields,
                                     std::vector<host::TField*>& detailFields) {
    masterFields.clear();
    detailFields.clear();
    host::TDataSource* source = DataSource();
    host::TDataSet* master = source ? source->DataSet() : nullptr;
    if (!master) return;
    for (int i = 0; i < fParams->Count(); ++i) {
        const std::string& name = fParams->Items(i)->Name();
        host::TField* masterField = master->FindField(name);
        if (!masterField) continue;
        masterFields.push_back(masterField);
        if (host::TField* detailField = FindField(name)) detailFields.push_back(detailField);
    }
}

// ---- Preparing

void TmSQLQuery::Prepare() {
    SetDBFlag(dbfPrepared, true);
    try {
        SetPrepared(true);
    } catch (...) {
        // A statement that could not be prepared is no reason to hold the database.
        try {
            SetDBFlag(dbfPrepared, false);
        } catch (...) {
            // The preparing's failure is the one to report.
        }
        throw;
    }
}

void TmSQLQuery::UnPrepare() {
    SetPrepared(false);
    SetDBFlag(dbfPrepared, false);
}

void TmSQLQuery::SetPrepare(bool value) {
    if (value)
        Prepare();
    else
        UnPrepare();
}

void TmSQLQuery::SetPrepared(bool value) {
    if (fHandle) host::DatabaseError(host::SDataSetOpen, this);
    if (value == fPrepared) return;
    if (value) {
        fRowsAffected = -1;
        fCheckRowsAffected = true;
        // Line breaks and blanks around the text do not make a statement.
        if (host::Trim(fText).size() < 2) host::DatabaseError(host::SEmptySQLStatement, this);
        PrepareSQL(fText);
    } else {
        // The count is read while the statement still exists.
        if (fCheckRowsAffected) fRowsAffected = GetRowsAffected();
        FreeStatement();
    }
    fPrepared = value;
}

void TmSQLQuery::PrepareSQL(const std::string& text) {
    fStmtHandle = GetStatementHandle(text);
    // The native cursor reads both ways whatever is asked, so its answer is of no interest.
    Engine()->SetEngProp(fStmtHandle, stmtUNIDIRECTIONAL, fUniDirectional ? 1 : 0);
}

hDBIStmt TmSQLQuery::GetStatementHandle(const std::string& text) {
    if (!fDatabase) throw host::EDatabaseError("Property Database not set!");
    hDBIDb database = GetDBHandle();
    TmSQLEngine* engine = RequireEngine();
    hDBIStmt statement = nullptr;
    Check(engine, engine->QAlloc(database, qrylangSQL, statement));
    try {
        if (!fExecuting) {
            // Only a live request on one table gives an editable result.
            const uint32_t liveness = fRequestLive && NamesOneTable(text) ? wantLIVE : wantCANNED;
            Check(engine, engine->SetEngProp(statement, stmtLIVENESS, liveness));
        }
        while (!CheckOpen(engine->QPrepare(statement, text))) {
        }
    } catch (...) {
        engine->QFree(statement);
        throw;
    }
    return statement;
}

void TmSQLQuery::FreeStatement() {
    if (!fStmtHandle) return;
    TmSQLEngine* engine = Engine();
    if (!engine) {
        // Without its database there is nothing left that the statement could be freed through.
        fStmtHandle = nullptr;
        return;
    }
    const DBIResult status = engine->QFree(fStmtHandle);
    fStmtHandle = nullptr;
    if (!ComponentState().Contains(host::csDestroying)) Check(engine, status);
}

// ---- DB flags and disconnecting

bool TmSQLQuery::SetDBFlag(int flag, bool value) {
    if (!value) {
        TDBFlags others = DBFlags();
        if (flag >= 0 && flag <= 15) others.Exclude(static_cast<TDBFlag>(flag));
        // The statement goes with the last reason to hold the database.
        if (others.Empty()) SetPrepared(false);
    }
    return TmSQLDataSet::SetDBFlag(flag, value);
}

void TmSQLQuery::Disconnect() {
    Close();
    UnPrepare();
}

// ---- Running

void TmSQLQuery::ExecSQL() {
    CheckInactive();
    SetDBFlag(dbfExecSQL, true);
    try {
        CreateCursor(false);
    } catch (...) {
        try {
            SetDBFlag(dbfExecSQL, false);
        } catch (...) {
            // The run's failure is the one to report.
        }
        throw;
    }
    SetDBFlag(dbfExecSQL, false);
}

hDBICur TmSQLQuery::CreateCursor(bool wantCursor) {
    if (fSQL->Count() == 0) host::DatabaseError(host::SEmptySQLStatement, this);
    fExecuting = !wantCursor;
    try {
        SetPrepared(true);
    } catch (...) {
        fExecuting = false;
        throw;
    }
    fExecuting = false;
    if (DataSource()) SetParamsFromCursor();
    hDBICur cursor = GetQueryCursor(wantCursor);
    fCheckRowsAffected = cursor == nullptr;
    return cursor;
}

hDBICur TmSQLQuery::GetQueryCursor(bool wantCursor) {
    TmSQLEngine* engine = RequireEngine();
    // The values are written into the text as written, whose references name the parameters.
    if (fParams->Count() > 0) Check(engine, engine->QuerySetParams(fStmtHandle, *fParams, fSQL->Text()));
    hDBICur cursor = nullptr;
    Check(engine, engine->QExec(fStmtHandle, wantCursor ? &cursor : nullptr));
    return cursor;
}

int TmSQLQuery::GetRowsAffected() {
    if (!fPrepared) return fRowsAffected;
    TmSQLEngine* engine = Engine();
    int32_t count = 0;
    uint32_t length = 0;
    if (!engine || engine->GetEngProp(fStmtHandle, stmtROWCOUNT, &count, sizeof count, length) != DBIERR_NONE)
        return -1;
    return count;
}

// ---- Streaming

void TmSQLQuery::DefineProperties(host::TFiler* filer) {
    TmSQLDataSet::DefineProperties(filer);
    filer->DefineBinaryProperty(
        "Data", [this](host::TStream& stream) { ReadBinaryData(stream); },
        [this](host::TStream& stream) { WriteBinaryData(stream); }, fSQLBinary.has_value());
    bool writeParams = fParams->Count() > 0;
    if (auto* ancestor = dynamic_cast<TmSQLQuery*>(filer->Ancestor()))
        writeParams = !fParams->IsEqual(ancestor->fParams.get());
    filer->DefineProperty(
        "ParamData", [this](host::TReader& reader) { ReadParamData(reader); },
        [this](host::TWriter& writer) { WriteParamData(writer); }, writeParams);
}

void TmSQLQuery::ReadParamData(host::TReader& reader) {
    reader.ReadValue();
    reader.ReadCollection(fParams.get());
    // A form text keeps a date or time only as its number of days: it becomes a date-time value
    // again, so that it is written into statements as a date or time, not as a number.
    for (int i = 0; i < fParams->Count(); ++i) {
        host::TParam* param = fParams->Items(i);
        const host::TFieldType type = param->DataType();
        if (type != host::ftDate && type != host::ftTime && type != host::ftDateTime) continue;
        const host::Variant value = param->Value();
        if (value.VarType() == host::varDouble || value.VarType() == host::varInteger ||
            value.VarType() == host::varInt64)
            param->SetValue(host::Variant::FromDateTime(value.AsDouble()));
    }
}

void TmSQLQuery::WriteParamData(host::TWriter& writer) {
    writer.WriteCollection(fParams.get());
}

void TmSQLQuery::ReadBinaryData(host::TStream& stream) {
    std::vector<uint8_t> block(static_cast<size_t>(stream.Size()));
    if (!block.empty()) stream.ReadBuffer(block.data(), static_cast<int64_t>(block.size()));
    fSQLBinary = std::move(block);
}

void TmSQLQuery::WriteBinaryData(host::TStream& stream) {
    if (fSQLBinary && !fSQLBinary->empty())
        stream.WriteBuffer(fSQLBinary->data(), static_cast<int64_t>(fSQLBinary->size()));
}

// ---- Provider support

#if CORVANE_HOST_GENERATION >= 5

std::unique_ptr<host::TIndexDef> TmSQLQuery::PSGetDefaultOrder() {
    std::unique_ptr<host::TIndexDef> order = TmSQLDataSet::PSGetDefaultOrder();
    if (!order) order = host::GetIndexForOrderBy(fSQL->Text(), this);
    return order;
}

void TmSQLQuery::PSSetParams(host::TParams* params) {
    if (params && params->Count() > 0) fParams->Assign(params);
    Close();
}

std::string TmSQLQuery::PSGetTableName() {
    return GetTableNameFromSQL(fSQL->Text());
}

void TmSQLQuery::PSSetCommandText(const std::string& text) {
    if (!text.empty()) fSQL->SetText(text);
}

#endif

// ---- Registration

namespace {

[[maybe_unused]] const bool kRegistered = [] {
    host::RegisterClass<TmSQLQuery>("TmSQLQuery", "TmSQLDataSet")
        .Component("DataSource", &TmSQLQuery::DataSource, &TmSQLQuery::SetDataSource)
        .Type("TDataSource")
        .Boolean("ParamCheck", &TmSQLQuery::ParamCheck, &TmSQLQuery::SetParamCheck, true)
        .Boolean("RequestLive", &TmSQLQuery::RequestLive, &TmSQLQuery::SetRequestLive, false)
        .Strings("SQL", &TmSQLQuery::SQL)
        .Boolean("UniDirectional", &TmSQLQuery::UniDirectional, &TmSQLQuery::SetUniDirectional, false)
        .Enum("UpdateMode", {"upWhereAll", "upWhereChanged", "upWhereKeyOnly"}, &TmSQLQuery::UpdateMode,
              &TmSQLQuery::SetUpdateMode, host::upWhereAll)
        .Component("UpdateObject", &TmSQLQuery::UpdateObject, &TmSQLQuery::SetUpdateObject)
        .Type("TmSQLSQLUpdateObject");
    return true;
}();

} // namespace

} // namespace corvane
