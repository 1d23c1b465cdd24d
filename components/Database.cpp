// The database component: properties and their guards, connecting and disconnecting, handle sharing,
// ad-hoc statements with the statement cache, lists and server information; the process-wide list of
// databases; the error exception, the result check and the translation helpers.
#include "components/Database.h"

#include <algorithm>
#include <cstring>

#include "client/msqlBinding.h"
#include "components/DataSet.h"
#include "host/Application.h"
#include "host/Dialogs.h"
#include "host/Messages.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

namespace corvane {

namespace {

// How often a statement is offered to the engine before its refusal is reported.
constexpr int kPrepareAttempts = 3;

// The module's process-wide state: the list of databases and the two translation locks.
struct TComponentsModule {
    std::vector<TmSQLDatabase*> databases;
    host::TCriticalSection toNative;
    host::TCriticalSection toAnsi;
};

TComponentsModule& Module() {
    static TComponentsModule module;
    return module;
}

} // namespace

// ---- Errors

namespace {

std::string ComposeMessage(TmSQLEngine* engine, DBIResult code, const std::string& detail) {
    if (code == DBIERR_NATIVE && engine && !engine->GetNativeErrorMsg().empty())
        return "mSQL Error : \r\n" + engine->GetNativeErrorMsg();
    // Only the failure's own detail is shown: the engine's text may belong to an earlier failure.
    std::string message =
        std::string(EngineMessage(code)) + "\r\n" + "DBI Error Code: (" + std::to_string(code) + ")";
    if (!detail.empty()) message += "\r\n" + detail;
    return message;
}

} // namespace

EmSQLDatabaseError::EmSQLDatabaseError(TmSQLEngine* engine, DBIResult errorCode)
    : host::EDatabaseError(ComposeMessage(engine, errorCode, std::string())), fErrorCode(errorCode) {}

EmSQLDatabaseError::EmSQLDatabaseError(TmSQLEngine* engine, DBIResult errorCode, const std::string& detail)
    : host::EDatabaseError(ComposeMessage(engine, errorCode, detail)), fErrorCode(errorCode) {}

void Check(TmSQLEngine* engine, DBIResult status) {
    if (status == DBIERR_NONE) return;
    // The engine keeps the text of the failure it just answered (empty for a code without detail).
    throw EmSQLDatabaseError(engine, status, engine ? engine->GetNativeErrorMsg() : std::string());
}

void DbiError(TmSQLEngine* engine, DBIResult errorCode) {
    throw EmSQLDatabaseError(engine, errorCode);
}

// ---- Translation

host::TCriticalSection& ToNativeLock() {
    return Module().toNative;
}

host::TCriticalSection& ToAnsiLock() {
    return Module().toAnsi;
}

void AnsiToNativeBuf(TmSQLEngine* engine, const std::string& text, char* dest, size_t size) {
    if (!dest) return;
    const size_t length = std::min(text.size(), size);
    if (length > 0) {
        host::TCriticalSectionGuard guard(ToNativeLock());
        bool dataLoss = false;
        if (engine)
            engine->AnsiToNative(dest, text.data(), length, dataLoss);
        else
            std::memmove(dest, text.data(), length);
    }
    dest[length] = 0;
}

std::string NativeToAnsi(TmSQLEngine* engine, const char* source) {
    if (!source) return {};
    std::string result(std::strlen(source), '\0');
    if (!result.empty()) {
        host::TCriticalSectionGuard guard(ToAnsiLock());
        bool dataLoss = false;
        if (engine)
            engine->NativeToAnsi(result.data(), source, result.size(), dataLoss);
        else
            std::memcpy(result.data(), source, result.size());
    }
    return result;
}

// ---- Field origins

namespace {

// Longest origin part kept.
constexpr size_t kMaxOriginPart = 1024;

// The next part of origin from pos on (see SplitFieldOrigin); empty when the text is exhausted.
std::string NextOriginPart(const std::string& origin, size_t& pos) {
    std::string part;
    while (pos < origin.size() && (origin[pos] == ' ' || origin[pos] == '.'))
        ++pos;
    if (pos >= origin.size()) return part;
    const bool quoted = origin[pos] == '"';
    if (quoted) ++pos;
    while (pos < origin.size()) {
        char c = origin[pos];
        if (quoted ? c == '"' : c == '.') break;
        if (c == '\\' && pos + 1 < origin.size()) c = origin[++pos];
        if (part.size() < kMaxOriginPart) part += c;
        ++pos;
    }
    if (quoted && pos < origin.size()) ++pos; // the closing quote
    return part;
}

} // namespace

bool SplitFieldOrigin(const std::string& origin, std::string& database, std::string& table,
                      std::string& field) {
    database.clear();
    table.clear();
    field.clear();
    std::vector<std::string> parts;
    size_t pos = 0;
    for (int read = 0; read < 5; ++read) {
        std::string part = NextOriginPart(origin, pos);
        if (part.empty()) break;
        parts.push_back(std::move(part));
    }
    if (parts.size() >= 4) return false;
    if (!parts.empty()) field = parts[parts.size() - 1];
    if (parts.size() >= 2) table = parts[parts.size() - 2];
    if (parts.size() >= 3) database = parts[parts.size() - 3];
    return !field.empty() && !table.empty();
}

bool GetFieldSource(host::TDataSet* dataSet, host::DataSources& sources) {
    host::TField* field = dataSet ? dataSet->FindField(host::SlotText(sources.szSourceFldName)) : nullptr;
    if (!field || field->Origin().empty()) return false;
    std::string database, table, name;
    const bool found = SplitFieldOrigin(field->Origin(), database, table, name);
    // An origin of four parts or more names nothing.
    if (!found && database.empty() && table.empty() && name.empty()) return false;
    host::CopyToSlot(sources.szDbName, database);
    host::CopyToSlot(sources.szTblName, table);
    host::CopyToSlot(sources.szOrigFldName, name);
    return found;
}

// ---- Construction and destruction

TmSQLDatabase::TmSQLDatabase(host::TComponent* owner)
    : TmSQLCustomConnection(owner), fParams(std::make_unique<host::TStringList>()) {
    fParams->SetOnChanging([this](host::TObject*) { CheckInactive(); });
    Module().databases.push_back(this);
}

TmSQLDatabase::~TmSQLDatabase() {
    Teardown();
}

void TmSQLDatabase::BeforeDestruction() {
    Teardown();
    TmSQLCustomConnection::BeforeDestruction();
}

void TmSQLDatabase::Teardown() noexcept {
    if (fTornDown) return;
    fTornDown = true;
    Destroying();
    try {
        Close();
    } catch (...) {
        host::Application().HandleException(this);
    }
    // A close that failed in an event handler must still not leave the handle or its datasets.
    if (fHandle) {
        try {
            DoDisconnect();
        } catch (...) {
            host::Application().HandleException(this);
        }
    }
    auto& list = Module().databases;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    while (GetDataSetCount() > 0)
        UnRegisterClient(GetDataSet(GetDataSetCount() - 1));
    // The datasets that name this database forget it.
    while (!fAttachedDataSets.empty()) {
        TmSQLDataSet* dataSet = fAttachedDataSets.back();
        fAttachedDataSets.pop_back();
        dataSet->DatabaseDestroyed();
    }
    ClearStatements();
}

void TmSQLDatabase::AttachDataSet(TmSQLDataSet* dataSet) {
    fAttachedDataSets.push_back(dataSet);
}

void TmSQLDatabase::DetachDataSet(TmSQLDataSet* dataSet) {
    auto found = std::find(fAttachedDataSets.begin(), fAttachedDataSets.end(), dataSet);
    if (found != fAttachedDataSets.end()) fAttachedDataSets.erase(found);
}

// ---- Properties

void TmSQLDatabase::CheckInactive() {
    if (!fHandle) return;
    if (ComponentState().Contains(host::csDesigning))
        Close();
    else
        host::DatabaseError(host::SDatabaseOpen, this);
}

void TmSQLDatabase::SetDatabaseName(const std::string& value) {
    if (!ComponentState().Contains(host::csReading)) {
        if (value == fDatabaseName) return;
        CheckInactive();
        ValidateName(value);
    }
    fDatabaseName = value;
    fParams->SetValues("DatabaseName", value);
}

void TmSQLDatabase::SetHost(const std::string& value) {
    if (value == fHost) return;
    CheckInactive();
    fHost = value;
    fParams->SetValues("Host", value);
}

void TmSQLDatabase::SetExclusive(bool value) {
    CheckInactive();
    fExclusive = value;
}

void TmSQLDatabase::SetReadOnly(bool value) {
    CheckInactive();
    fReadOnly = value;
}

void TmSQLDatabase::ValidateName(const std::string& name) {
    if (name.empty()) return;
    for (TmSQLDatabase* other : Module().databases) {
        if (other == this || other->fDatabaseName.empty() || !host::AnsiSameText(other->fDatabaseName, name))
            continue;
        if (!(other->fHandleShared && fHandleShared))
            host::DatabaseErrorFmt(host::SDuplicateDatabaseName, {name}, this);
    }
}

// ---- The list of databases

const std::vector<TmSQLDatabase*>& TmSQLDatabase::DBList() {
    return Module().databases;
}

TmSQLDatabase* TmSQLDatabase::FindDatabase(const std::string& name) {
    for (TmSQLDatabase* database : Module().databases)
        if (!database->fDatabaseName.empty() && host::AnsiSameText(database->fDatabaseName, name))
            return database;
    return nullptr;
}

namespace {

// The first connected database named name that shares its handle.
TmSQLDatabase* FindSharingDatabase(const std::string& name) {
    for (TmSQLDatabase* database : TmSQLDatabase::DBList())
        if (database->Handle() && database->HandleShared() &&
            host::AnsiSameText(database->DatabaseName(), name))
            return database;
    return nullptr;
}

} // namespace

hDBIDb TmSQLDatabase::FindDatabaseHandle(const std::string& name) {
    TmSQLDatabase* database = FindSharingDatabase(name);
    return database ? database->Handle() : nullptr;
}

// ---- Engine and handle

namespace {

// Why the client library cannot be used (not loaded, or lacking a function Corvane calls), as the
// text the binding shows for it; empty when it can be used. A library lacking only functions Corvane
// never calls is used.
std::string ClientLibraryRefusal() {
    return mSQLLibraryUsable() ? std::string() : mSQLLoadErrorText();
}

} // namespace

void TmSQLDatabase::InitEngine() {
    host::Screen()->SetCursor(host::crSQLWait);
    if (!fEngine) {
        try {
            fEngine = std::make_unique<TmSQLEngine>(nullptr, nullptr);
        } catch (...) {
            // Shown, not raised: connecting reports the missing engine by staying disconnected.
            host::MessageBox("Engine not Initialize", "Error", host::MB_OK | host::MB_ICONERROR);
        }
    }
    host::Screen()->SetCursor(host::crDefault);
}

TmSQLEngine* TmSQLDatabase::RequireEngine() {
    if (!fEngine) InitEngine();
    if (!fEngine) throw EmSQLDatabaseError(nullptr, DBIERR_INVALIDHNDL);
    return fEngine.get();
}

void TmSQLDatabase::Loaded() {
    const bool connecting = StreamedConnected();
    TmSQLCustomConnection::Loaded();
    if (!connecting) InitEngine();
}

void TmSQLDatabase::SetDatabaseFlags() {
    TmSQLEngine* engine = RequireEngine();
    uint32_t type = 0;
    uint32_t length = 0;
    Check(engine, engine->GetEngProp(fHandle, dbDATABASETYPE, &type, sizeof type, length));
    fLookup = false;
}

void TmSQLDatabase::SetHandle(hDBIDb handle) {
    if (Connected()) Close();
    if (!handle) return;
    fHandle = handle;
    SetDatabaseFlags();
    fAcquiredHandle = true;
}

bool TmSQLDatabase::OpenFromExistingDB() {
    TmSQLDatabase* source = FindSharingDatabase(fDatabaseName);
    if (!source || source == this) return false;
    // The database that opened the handle closes it; it disconnects every database sharing it first.
    TmSQLDatabase* opener = source->fSharedFrom ? source->fSharedFrom : source;
    SetHandle(source->Handle());
    fSharedFrom = opener;
    return true;
}

void TmSQLDatabase::CloseDatabaseHandle() {
    if (!fHandle) return;
    // The result is of no use here: the handle is gone either way.
    RequireEngine()->CloseDatabase(fHandle);
}

void TmSQLDatabase::DoConnect() {
    if (fHandle) return;
    InitEngine();
    if (fHandleShared && OpenFromExistingDB()) return;
    const std::string refusal = ClientLibraryRefusal();
    if (!refusal.empty()) {
        host::MessageBox(refusal, "Error", host::MB_OK | host::MB_ICONERROR);
        return;
    }
    TmSQLEngine* engine = RequireEngine();
    hDBIDb handle = nullptr;
    Check(engine, engine->OpenDatabase(*fParams, handle));
    fHandle = handle;
    SetDatabaseFlags();
}

void TmSQLDatabase::DisconnectSharers() {
    const std::vector<TmSQLDatabase*> databases = Module().databases;
    for (TmSQLDatabase* database : databases)
        if (database != this && database->fSharedFrom == this && database->fHandle) database->Close();
}

void TmSQLDatabase::DoDisconnect() {
    if (!fHandle) return;
    // Datasets that let go while they are closed here must not close the database a second time.
    fDisconnecting = true;
    try {
        DisconnectSharers();
        ClearStatements();
        CloseDataSets();
    } catch (...) {
        fDisconnecting = false;
        throw;
    }
    fDisconnecting = false;
    if (fAcquiredHandle)
        fAcquiredHandle = false;
    else
        CloseDatabaseHandle();
    fHandle = nullptr;
    fSharedFrom = nullptr;
}

// ---- Datasets

void TmSQLDatabase::CloseDatabase(TmSQLDatabase* database) {
    if (database && !database->fKeepConnection && !database->fDisconnecting) database->Close();
}

TmSQLDataSet* TmSQLDatabase::DataSets(int index) {
    return dynamic_cast<TmSQLDataSet*>(GetDataSet(index));
}

void TmSQLDatabase::CloseDataSets() {
    while (GetDataSetCount() > 0) {
        const int count = GetDataSetCount();
        host::TDataSet* dataSet = GetDataSet(count - 1);
        if (auto* component = dynamic_cast<TmSQLDataSet*>(dataSet))
            component->Disconnect();
        else
            dataSet->Close();
        // A dataset that did not let go is dropped here, so that the loop ends.
        if (GetDataSetCount() == count && GetDataSet(count - 1) == dataSet) UnRegisterClient(dataSet);
    }
}

// ---- Statements

uint32_t TmSQLDatabase::StatementHash(const std::string& sql) {
    const size_t length = sql.size();
    uint32_t hash = 0;
    if (length < 16) {
        for (unsigned char c : sql)
            hash = hash * 37 + c;
        return hash;
    }
    const size_t step = length / 8;
    for (size_t i = 0; i < length; i += step)
        hash = hash * 39 + static_cast<unsigned char>(sql[i]);
    return hash;
}

void TmSQLDatabase::ClearStatements() {
    for (TStatementEntry& entry : fStatements) {
        // The result is of no use here: the statement is gone either way.
        if (entry.statement && fEngine) fEngine->QFree(entry.statement);
    }
    fStatements.clear();
}

void TmSQLDatabase::CheckParams(const host::TParams& params) {
    for (int i = 0; i < params.Count(); ++i) {
        const host::TParam* param = params.Items(i);
        if (host::FldTypeMap[param->DataType()] == host::fldUNKNOWN)
            host::DatabaseErrorFmt(host::SNoParameterValue, {param->Name()});
    }
}

hDBIStmt TmSQLDatabase::PrepareStatement(const std::string& sql, bool cache, bool wantCursor,
                                         TStatementEntry*& entry) {
    TmSQLEngine* engine = RequireEngine();
    entry = nullptr;
    if (cache) {
        const uint32_t hash = StatementHash(sql);
        auto found = std::find_if(fStatements.begin(), fStatements.end(), [&](const TStatementEntry& e) {
            return e.hash == hash && host::AnsiSameText(e.sql, sql);
        });
        if (found == fStatements.end()) {
            fStatements.push_back(TStatementEntry{hash, nullptr, sql, false});
            found = fStatements.end() - 1;
        }
        entry = &*found;
        if (entry->statement) {
            // Texts that differ only in case share an entry, but each runs as written.
            if (entry->sql != sql) {
                Check(engine, engine->QPrepare(entry->statement, sql));
                entry->sql = sql;
                entry->substituted = false;
            }
            return entry->statement;
        }
    }
    hDBIStmt statement = nullptr;
    Check(engine, engine->QAlloc(fHandle, qrylangSQL, statement));
    try {
        if (wantCursor) Check(engine, engine->SetEngProp(statement, stmtLIVENESS, wantCANNED));
        for (int attempt = 1;; ++attempt) {
            const DBIResult result = engine->QPrepare(statement, sql);
            if (result == DBIERR_NONE) break;
            if (result == DBIERR_NOTSUFFTABLERIGHTS || attempt == kPrepareAttempts) DbiError(engine, result);
        }
    } catch (...) {
        engine->QFree(statement);
        throw;
    }
    if (entry) {
        entry->statement = statement;
        entry->sql = sql;
        entry->substituted = false;
    }
    return statement;
}

int TmSQLDatabase::Execute(const std::string& sql, host::TParams* params, bool cache, hDBICur* cursor) {
    Open();
    TmSQLEngine* engine = RequireEngine();
    const bool hasParams = params && params->Count() > 0;
    if (hasParams) CheckParams(*params);
    TStatementEntry* entry = nullptr;
    hDBIStmt statement = PrepareStatement(sql, cache, cursor != nullptr, entry);
    int rows = 0;
    try {
        if (hasParams) {
            // The statement runs with the values written into its text; the text kept for the
            // next run is the one with the markers.
            Check(engine, engine->QuerySetParams(statement, *params, sql));
            if (entry) entry->substituted = true;
        } else if (entry && entry->substituted) {
            Check(engine, engine->QPrepare(statement, sql));
            entry->substituted = false;
        }
        Check(engine, engine->QExec(statement, cursor));
        if (!cursor) {
            int32_t count = 0;
            uint32_t length = 0;
            if (engine->GetEngProp(statement, stmtROWCOUNT, &count, sizeof count, length) == DBIERR_NONE &&
                length == sizeof count)
                rows = count;
        }
    } catch (...) {
        if (!cache) engine->QFree(statement);
        throw;
    }
    if (!cache) engine->QFree(statement);
    return rows;
}

// ---- Lists and server information

void TmSQLDatabase::GetTableNames(host::TStrings* list) {
    list->BeginUpdate();
    try {
        if (!fHandle) Open();
        list->Clear();
        TmSQLEngine* engine = RequireEngine();
        Check(engine, engine->OpenTableList(fHandle, *list));
    } catch (...) {
        list->EndUpdate();
        throw;
    }
    list->EndUpdate();
}

void TmSQLDatabase::GetDatabases(host::TStrings* list) {
    const bool wasConnected = Connected();
    try {
        if (!fHandle) Open();
        TmSQLEngine* engine = RequireEngine();
        Check(engine, engine->GetDatabases(fHandle, *list));
    } catch (...) {
        try {
            SetConnected(wasConnected);
        } catch (...) {
            // The failure being reported is the listing's.
        }
        throw;
    }
    SetConnected(wasConnected);
}

void TmSQLDatabase::SelectDB(const std::string& name) {
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->SelectDb(fHandle, name));
}

int TmSQLDatabase::GetServerStat() {
    if (!Connected()) return -1;
    int32_t stat = 0;
    RequireEngine()->GetServerStat(fHandle, stat);
    return stat;
}

std::string TmSQLDatabase::GetHostInfo() {
    std::string info;
    if (Connected()) RequireEngine()->GetHostInfo(fHandle, info);
    return info;
}

std::string TmSQLDatabase::GetServerInfo() {
    std::string info;
    if (Connected()) RequireEngine()->GetServerInfo(fHandle, info);
    return info;
}

TTraceFlags TmSQLDatabase::GetTraceFlags() {
    if (!Connected()) return {};
    uint32_t flags = 0;
    uint32_t length = 0;
    if (RequireEngine()->GetEngProp(fHandle, dbTRACEMODE, &flags, sizeof flags, length) != DBIERR_NONE ||
        length != sizeof flags)
        return {};
    return TTraceFlags::FromBits(flags);
}

void TmSQLDatabase::SetTraceFlags(TTraceFlags flags) {
    if (!Connected()) return;
    RequireEngine()->SetEngProp(fHandle, dbTRACEMODE, static_cast<uintptr_t>(flags.Bits()));
}

namespace {

[[maybe_unused]] const bool kRegistered = [] {
    host::RegisterClass<TmSQLDatabase>("TmSQLDatabase", "TmSQLCustomConnection")
        .String("DatabaseName", &TmSQLDatabase::DatabaseName, &TmSQLDatabase::SetDatabaseName)
        .Boolean("Exclusive", &TmSQLDatabase::Exclusive, &TmSQLDatabase::SetExclusive, false)
        .Boolean("HandleShared", &TmSQLDatabase::HandleShared, &TmSQLDatabase::SetHandleShared, false)
        .String("Host", &TmSQLDatabase::Host, &TmSQLDatabase::SetHost)
        .Boolean("KeepConnection", &TmSQLDatabase::KeepConnection, &TmSQLDatabase::SetKeepConnection, true)
        .Boolean("ReadOnly", &TmSQLDatabase::ReadOnly, &TmSQLDatabase::SetReadOnly, false);
    return true;
}();

} // namespace

} // namespace corvane
