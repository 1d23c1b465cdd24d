// The engine call surface: handle bookkeeping, statements, and the forwarding of every family to the
// native connection and cursor.
#include "access/Engine.h"

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "access/NativeConnect.h"
#include "access/NativeDataSet.h"

namespace corvane {

namespace {

class TStatementCursor;

// What a statement handle names: the statement's text and properties, the connection it runs on, and
// the native cursor it runs in. The native cursor is owned by the statement until QExec hands it over
// as a cursor handle ("lent"); from then on it belongs to that handle, and the two forget each other
// when either goes first.
class TEngineStatement {
public:
    explicit TEngineStatement(TNativeConnect* connection) : fConnection(connection) {}
    ~TEngineStatement();
    TEngineStatement(const TEngineStatement&) = delete;
    TEngineStatement& operator=(const TEngineStatement&) = delete;

    // The native cursor the statement reads from: the one it owns or lent out, or a fresh one.
    TStatementCursor& Native();
    // A native cursor the statement owns: one that was lent is let go first.
    TStatementCursor& OwnedNative();
    // Hands the owned native cursor over to a cursor handle.
    TStatementCursor& Lend();
    // Called by a native cursor that is going away.
    void Forget(const TStatementCursor* native);

    void SetText(std::string text);
    // The text becomes sql with params' values substituted.
    void SetParams(const host::TParams& params, const std::string& sql);
    const std::string& Text() const { return fText; }
    // Sets property on the native cursor and keeps it for later ones.
    void SetProperty(uint32_t property, uintptr_t value);

private:
    TStatementCursor& Create();
    void LetGo();

    TNativeConnect* fConnection;
    std::string fText;
    std::vector<std::pair<uint32_t, uintptr_t>> fProperties;
    TStatementCursor* fNative = nullptr;
    bool fLent = false;
};

// The native cursor of a statement. It keeps its own copy of the text it runs, so that it can re-run it
// (after writes, index or range changes) whatever becomes of the statement.
class TStatementCursor : public TNativeDataSet {
public:
    TStatementCursor(TNativeConnect* connection, TEngineStatement* statement)
        : TNativeDataSet(connection, nullptr, std::string(), std::string(), 0), fStatement(statement) {}
    ~TStatementCursor() override {
        if (fStatement) fStatement->Forget(this);
    }

    void SetText(const std::string& text) {
        fText = text;
        Connection()->QueryPrepare(this, fText.c_str());
    }
    // Runs sql with params' values substituted; nothing changes when a parameter is missing.
    void SetParams(const host::TParams& params, const std::string& sql) {
        std::string text = sql;
        QuerySetParams(params, text);
        SetText(text);
    }
    const std::string& Text() const { return fText; }
    void Detach() { fStatement = nullptr; }

private:
    std::string fText;
    TEngineStatement* fStatement;
};

TEngineStatement::~TEngineStatement() {
    if (fLent)
        LetGo();
    else
        delete fNative;
}

TStatementCursor& TEngineStatement::Create() {
    auto native = std::make_unique<TStatementCursor>(fConnection, this);
    native->SetText(fText);
    for (const auto& [property, value] : fProperties)
        native->SetProp(property, value);
    fNative = native.release();
    fLent = false;
    return *fNative;
}

void TEngineStatement::LetGo() {
    if (fNative) fNative->Detach();
    fNative = nullptr;
    fLent = false;
}

TStatementCursor& TEngineStatement::Native() {
    return fNative ? *fNative : Create();
}

TStatementCursor& TEngineStatement::OwnedNative() {
    if (fLent) LetGo();
    return Native();
}

TStatementCursor& TEngineStatement::Lend() {
    TStatementCursor& native = OwnedNative();
    fLent = true;
    return native;
}

void TEngineStatement::Forget(const TStatementCursor* native) {
    if (fNative != native) return;
    fNative = nullptr;
    fLent = false;
}

void TEngineStatement::SetText(std::string text) {
    fText = std::move(text);
    OwnedNative().SetText(fText);
}

void TEngineStatement::SetParams(const host::TParams& params, const std::string& sql) {
    TStatementCursor& native = OwnedNative();
    native.SetParams(params, sql);
    fText = native.Text();
}

void TEngineStatement::SetProperty(uint32_t property, uintptr_t value) {
    bool kept = false;
    for (auto& entry : fProperties) {
        if (entry.first == property) {
            entry.second = value;
            kept = true;
        }
    }
    if (!kept) fProperties.emplace_back(property, value);
    Native().SetProp(property, value);
}

// ---- Handle conversions. A handle is the address of the native object it names.

TNativeConnect* Connection(hDBIDb database) {
    if (!database) throw EmSQLException(DBIERR_INVALIDHNDL);
    return reinterpret_cast<TNativeConnect*>(database);
}

hDBIDb DatabaseHandle(TNativeConnect* connection) {
    return reinterpret_cast<hDBIDb>(connection);
}

TNativeDataSet* Cursor(hDBICur cursor) {
    if (!cursor) throw EmSQLException(DBIERR_INVALIDHNDL);
    return reinterpret_cast<TNativeDataSet*>(cursor);
}

hDBICur CursorHandle(TNativeDataSet* cursor) {
    return reinterpret_cast<hDBICur>(cursor);
}

TEngineStatement* Statement(hDBIStmt statement) {
    if (!statement) throw EmSQLException(DBIERR_INVALIDHNDL);
    return reinterpret_cast<TEngineStatement*>(statement);
}

hDBIStmt StatementHandle(TEngineStatement* statement) {
    return reinterpret_cast<hDBIStmt>(statement);
}

} // namespace

// ---- Construction, current handles and the error wrapper

TmSQLEngine::TmSQLEngine(host::TObject* owner, TContainer* container) : TBaseObject(owner, container) {}

TmSQLEngine::~TmSQLEngine() = default;

template <class Action>
DBIResult TmSQLEngine::Guard(Action&& action) {
    try {
        action();
        return DBIERR_NONE;
    } catch (const EmSQLException& error) {
        return CheckError(error);
    }
}

DBIResult TmSQLEngine::Refuse(DBIResult code) {
    // A refusal has no text of its own: none kept from an earlier failure may stand in for it.
    fNativeErrorMsg.clear();
    return code;
}

void TmSQLEngine::SetCurrentDatabase(hDBIDb database) {
    if (!database) throw EmSQLException(DBIERR_INVALIDHNDL);
    fDatabase = database;
}

void TmSQLEngine::SetCurrentCursor(hDBICur cursor) {
    if (!cursor) throw EmSQLException(DBIERR_INVALIDHNDL);
    fCursor = cursor;
}

void TmSQLEngine::SetCurrentStatement(hDBIStmt statement) {
    if (!statement) throw EmSQLException(DBIERR_INVALIDHNDL);
    fStatement = statement;
}

// ---- Database family

DBIResult TmSQLEngine::OpenDatabase(const host::TStrings& params, hDBIDb& database) {
    return Guard([&] {
        auto connection = std::make_unique<TNativeConnect>();
        connection->ProcessDBParams(params);
        connection->InternalConnect();
        database = DatabaseHandle(connection.release());
        fDatabase = database;
    });
}

DBIResult TmSQLEngine::CloseDatabase(hDBIDb& database) {
    return Guard([&] {
        delete Connection(database);
        database = nullptr;
        fDatabase = nullptr;
    });
}

DBIResult TmSQLEngine::OpenTableList(hDBIDb database, host::TStrings& list) {
    return Guard([&] {
        SetCurrentDatabase(database);
        Connection(database)->TableList(list);
    });
}

DBIResult TmSQLEngine::GetDatabases(hDBIDb database, host::TStrings& list) {
    return Guard([&] {
        SetCurrentDatabase(database);
        Connection(database)->DatabaseList(list);
    });
}

DBIResult TmSQLEngine::SelectDb(hDBIDb database, const std::string& name) {
    return Guard([&] {
        SetCurrentDatabase(database);
        Connection(database)->SelectDB(name);
    });
}

DBIResult TmSQLEngine::GetServerStat(hDBIDb database, int32_t& stat) {
    return Guard([&] {
        SetCurrentDatabase(database);
        stat = Connection(database)->GetServerStat();
    });
}

DBIResult TmSQLEngine::GetHostInfo(hDBIDb database, std::string& info) {
    return Guard([&] {
        SetCurrentDatabase(database);
        info = Connection(database)->GetHostInfo();
    });
}

DBIResult TmSQLEngine::GetServerInfo(hDBIDb database, std::string& info) {
    return Guard([&] {
        SetCurrentDatabase(database);
        info = Connection(database)->GetServerInfo();
    });
}

DBIResult TmSQLEngine::OpenTable(hDBIDb database, const std::string& tableName,
                                 const std::string& /*driverType*/, const std::string& indexName,
                                 const std::string& /*indexTagName*/, uint16_t indexId, DBIOpenMode openMode,
                                 DBIShareMode shareMode, XLTMode /*translateMode*/, bool /*uniDirectional*/,
                                 const void* /*optionalParams*/, hDBICur& cursor) {
    return Guard([&] {
        SetCurrentDatabase(database);
        TNativeDataSet* native = nullptr;
        Connection(database)->OpenTable(tableName, indexName, indexId, openMode, shareMode, native);
        cursor = CursorHandle(native);
    });
}

DBIResult TmSQLEngine::OpenFieldList(hDBIDb database, const std::string& tableName,
                                     const std::string& driverType, bool physicalTypes, hDBICur& cursor) {
    return Guard([&] {
        SetCurrentDatabase(database);
        TNativeDataSet* native = nullptr;
        Connection(database)->OpenFieldList(tableName, driverType, physicalTypes, native);
        if (native) cursor = CursorHandle(native);
    });
}

DBIResult TmSQLEngine::OpenIndexList(hDBIDb database, const std::string& tableName,
                                     const std::string& driverType, hDBICur& cursor) {
    return Guard([&] {
        SetCurrentDatabase(database);
        TNativeDataSet* native = nullptr;
        Connection(database)->OpenIndexList(tableName, driverType, native);
        cursor = CursorHandle(native);
    });
}

DBIResult TmSQLEngine::EmptyTable(hDBIDb database, hDBICur cursor, const std::string& tableName,
                                  const std::string& /*driverType*/) {
    return Guard([&] {
        SetCurrentDatabase(database);
        Connection(database)->EmptyTable(reinterpret_cast<TNativeDataSet*>(cursor), tableName);
    });
}

DBIResult TmSQLEngine::AddIndex(hDBIDb database, hDBICur cursor, const std::string& tableName,
                                const std::string& /*driverType*/, const IDXDesc& desc,
                                const std::string& /*keyViolName*/) {
    return Guard([&] {
        SetCurrentDatabase(database);
        Connection(database)->AddIndex(reinterpret_cast<TNativeDataSet*>(cursor), tableName, desc);
    });
}

DBIResult TmSQLEngine::DeleteIndex(hDBIDb database, hDBICur cursor, const std::string& tableName,
                                   const std::string& /*driverType*/, const std::string& indexName,
                                   const std::string& /*indexTagName*/, uint16_t indexId) {
    return Guard([&] {
        SetCurrentDatabase(database);
        Connection(database)->DeleteIndex(reinterpret_cast<TNativeDataSet*>(cursor), tableName, indexName,
                                          indexId);
    });
}

bool TmSQLEngine::IsSqlBased(hDBIDb /*database*/) {
    return true;
}

// ---- Query family

DBIResult TmSQLEngine::QAlloc(hDBIDb database, DBIQryLang /*queryLang*/, hDBIStmt& statement) {
    return Guard([&] {
        SetCurrentDatabase(database);
        auto created = std::make_unique<TEngineStatement>(Connection(database));
        created->Native();
        statement = StatementHandle(created.release());
    });
}

DBIResult TmSQLEngine::QPrepare(hDBIStmt statement, const std::string& query) {
    return Guard([&] { Statement(statement)->SetText(query); });
}

DBIResult TmSQLEngine::QExec(hDBIStmt statement, hDBICur* cursor) {
    return Guard([&] {
        SetCurrentStatement(statement);
        TEngineStatement* owner = Statement(statement);
        if (!cursor) {
            owner->OwnedNative().Execute();
            return;
        }
        owner->OwnedNative().OpenTable();
        *cursor = CursorHandle(&owner->Lend());
    });
}

DBIResult TmSQLEngine::QExecDirect(hDBIDb database, DBIQryLang queryLang, const std::string& query,
                                   hDBICur* /*cursor*/) {
    return Guard([&] {
        SetCurrentDatabase(database);
        TNativeDataSet* unused = nullptr;
        Connection(database)->QExecDirect(queryLang, query.c_str(), unused);
    });
}

DBIResult TmSQLEngine::QPrepareExt(hDBIDb database, DBIQryLang /*queryLang*/, const std::string& /*query*/,
                                   uint16_t /*flags*/, hDBIStmt& /*statement*/) {
    return Guard([&] { SetCurrentDatabase(database); });
}

DBIResult TmSQLEngine::QFree(hDBIStmt& statement) {
    return Guard([&] {
        SetCurrentStatement(statement);
        delete Statement(statement);
        statement = nullptr;
        // Nothing is left for the current statement to name.
        fStatement = nullptr;
    });
}

DBIResult TmSQLEngine::QuerySetParams(hDBIStmt statement, const host::TParams& params,
                                      const std::string& sql) {
    return Guard([&] {
        SetCurrentStatement(statement);
        Statement(statement)->SetParams(params, sql);
    });
}

// ---- Cursor family

DBIResult TmSQLEngine::CloseCursor(hDBICur& cursor) {
    return Guard([&] {
        delete Cursor(cursor);
        if (fCursor == cursor) fCursor = nullptr;
        cursor = nullptr;
    });
}

DBIResult TmSQLEngine::GetCursorProps(hDBICur cursor, CURProps& props) {
    return Guard([&] { Cursor(cursor)->GetCursorProps(props); });
}

DBIResult TmSQLEngine::GetFieldDescs(hDBICur cursor, FLDDesc* descs) {
    return Guard([&] {
        TNativeDataSet* native = Cursor(cursor);
        if (!descs) throw EmSQLException(DBIERR_INVALIDPARAM);
        native->GetFieldDescs(descs);
    });
}

DBIResult TmSQLEngine::GetVchkDesc(hDBICur cursor, uint16_t fieldNo, VCHKDesc& desc) {
    return Guard([&] { Cursor(cursor)->GetVchkDesc(fieldNo, desc); });
}

DBIResult TmSQLEngine::GetRecordCount(hDBICur cursor, int32_t& count) {
    return Guard([&] { count = Cursor(cursor)->GetRecordCount(); });
}

DBIResult TmSQLEngine::ForceReread(hDBICur cursor) {
    return Guard([&] { Cursor(cursor)->ForceReread(); });
}

DBIResult TmSQLEngine::SetToBegin(hDBICur cursor) {
    return Guard([&] { Cursor(cursor)->SetToBegin(); });
}

DBIResult TmSQLEngine::SetToEnd(hDBICur cursor) {
    return Guard([&] { Cursor(cursor)->SetToEnd(); });
}

DBIResult TmSQLEngine::GetNextRecord(hDBICur cursor, DBILockType lock, uint8_t* record, RECProps* props) {
    return Guard([&] { Cursor(cursor)->GetNextRecord(lock, record, props); });
}

DBIResult TmSQLEngine::GetPriorRecord(hDBICur cursor, DBILockType lock, uint8_t* record, RECProps* props) {
    const DBIResult result = Guard([&] { Cursor(cursor)->GetPriorRecord(lock, record, props); });
    // Moving backwards from an unpositioned cursor over no rows ends "at the end"; for the caller it
    // is the beginning that was reached.
    return result == DBIERR_EOF ? DBIERR_BOF : result;
}

DBIResult TmSQLEngine::GetRecord(hDBICur cursor, DBILockType lock, uint8_t* record, RECProps* props) {
    return Guard([&] { Cursor(cursor)->GetRecord(lock, record, props); });
}

DBIResult TmSQLEngine::GetBookMark(hDBICur cursor, uint8_t* bookmark) {
    return Guard([&] {
        SetCurrentCursor(cursor);
        Cursor(cursor)->GetBookMark(bookmark);
    });
}

DBIResult TmSQLEngine::SetToBookMark(hDBICur cursor, const uint8_t* bookmark) {
    return Guard([&] { Cursor(cursor)->SetToBookmark(bookmark); });
}

DBIResult TmSQLEngine::CompareBookMarks(hDBICur cursor, const uint8_t* bookmark1, const uint8_t* bookmark2,
                                        int16_t& result) {
    return Guard([&] { Cursor(cursor)->CompareBookMarks(bookmark1, bookmark2, result); });
}

DBIResult TmSQLEngine::RelRecordLock(hDBICur cursor, bool /*allLocks*/) {
    return Guard([&] { Cursor(cursor)->RelRecordLock(); });
}

DBIResult TmSQLEngine::SettoSeqNo(hDBICur cursor, int32_t seqNo) {
    return Guard([&] { Cursor(cursor)->SettoSeqNo(seqNo); });
}

// ---- Properties

DBIResult TmSQLEngine::GetEngProp(hDBICur cursor, uint32_t property, void* value, uint32_t maxLength,
                                  uint32_t& length) {
    length = 0;
    if (!cursor) return Refuse(DBIERR_INVALIDPARAM);
    return Guard([&] { Cursor(cursor)->GetProp(property, value, length, maxLength); });
}

DBIResult TmSQLEngine::GetEngProp(hDBIStmt statement, uint32_t property, void* value, uint32_t maxLength,
                                  uint32_t& length) {
    length = 0;
    if (!statement) return Refuse(DBIERR_INVALIDPARAM);
    return Guard([&] { Statement(statement)->Native().GetProp(property, value, length, maxLength); });
}

DBIResult TmSQLEngine::GetEngProp(hDBIDb database, uint32_t /*property*/, void* /*value*/,
                                  uint32_t /*maxLength*/, uint32_t& length) {
    length = 0;
    return database ? DBIERR_NONE : Refuse(DBIERR_INVALIDPARAM);
}

DBIResult TmSQLEngine::SetEngProp(hDBICur cursor, uint32_t property, uintptr_t value) {
    if (!cursor) return Refuse(DBIERR_INVALIDPARAM);
    return Guard([&] { Cursor(cursor)->SetProp(property, value); });
}

DBIResult TmSQLEngine::SetEngProp(hDBIStmt statement, uint32_t property, uintptr_t value) {
    if (!statement) return Refuse(DBIERR_INVALIDPARAM);
    return Guard([&] { Statement(statement)->SetProperty(property, value); });
}

DBIResult TmSQLEngine::SetEngProp(hDBIDb database, uint32_t /*property*/, uintptr_t /*value*/) {
    return database ? DBIERR_NONE : Refuse(DBIERR_INVALIDPARAM);
}

DBIResult TmSQLEngine::GetObjFromObj(hDBIObj /*object*/, DBIOBJType objectType, hDBIObj& handle) {
    if (objectType == objSESSION) return DBIERR_NONE;
    handle = nullptr;
    return Refuse(DBIERR_INVALIDPARAM);
}

// ---- Record family

DBIResult TmSQLEngine::InitRecord(hDBICur cursor, uint8_t* record) {
    return Guard([&] { Cursor(cursor)->InitRecord(record); });
}

DBIResult TmSQLEngine::GetField(hDBICur cursor, uint16_t fieldNo, uint8_t* record, void* dest, bool& blank) {
    return Guard([&] { Cursor(cursor)->GetField(fieldNo, record, dest, blank); });
}

DBIResult TmSQLEngine::PutField(hDBICur cursor, uint16_t fieldNo, uint8_t* record, const void* source) {
    return Guard([&] { Cursor(cursor)->PutField(fieldNo, record, source); });
}

DBIResult TmSQLEngine::VerifyField(hDBICur cursor, uint16_t /*fieldNo*/, const void* /*value*/,
                                   bool& /*blank*/) {
    // Values are checked by the server; only the handle is.
    return Guard([&] { Cursor(cursor); });
}

DBIResult TmSQLEngine::ReadBlock(hDBICur cursor, uint32_t& records, uint8_t* buffer) {
    return Guard([&] { Cursor(cursor)->ReadBlock(records, buffer); });
}

DBIResult TmSQLEngine::InsertRecord(hDBICur cursor, DBILockType lock, uint8_t* record) {
    return Guard([&] { Cursor(cursor)->InsertRecord(lock, record); });
}

DBIResult TmSQLEngine::AppendRecord(hDBICur cursor, uint8_t* record) {
    return Guard([&] { Cursor(cursor)->AppendRecord(record); });
}

DBIResult TmSQLEngine::ModifyRecord(hDBICur cursor, uint8_t* oldRecord, uint8_t* record, bool freeLock) {
    return Guard([&] { Cursor(cursor)->ModifyRecord(oldRecord, record, freeLock ? 1 : 0); });
}

DBIResult TmSQLEngine::DeleteRecord(hDBICur cursor, uint8_t* record) {
    return Guard([&] { Cursor(cursor)->DeleteRecord(record); });
}

// ---- Blob family

DBIResult TmSQLEngine::OpenBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo, DBIOpenMode openMode) {
    return Guard([&] { Cursor(cursor)->OpenBlob(record, fieldNo, openMode); });
}

DBIResult TmSQLEngine::GetBlobSize(hDBICur cursor, uint8_t* record, uint16_t fieldNo, uint32_t& size) {
    return Guard([&] { Cursor(cursor)->GetBlobSize(record, fieldNo, size); });
}

DBIResult TmSQLEngine::GetBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo, uint32_t offset,
                               uint32_t length, uint8_t* dest, uint32_t& read) {
    return Guard([&] { Cursor(cursor)->GetBlob(record, fieldNo, offset, length, dest, read); });
}

DBIResult TmSQLEngine::PutBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo, uint32_t offset,
                               uint32_t length, const uint8_t* source) {
    return Guard([&] { Cursor(cursor)->PutBlob(record, fieldNo, offset, length, source); });
}

DBIResult TmSQLEngine::TruncateBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo, uint32_t length) {
    return Guard([&] { Cursor(cursor)->TruncateBlob(record, fieldNo, length); });
}

DBIResult TmSQLEngine::FreeBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo) {
    return Guard([&] { Cursor(cursor)->FreeBlob(record, fieldNo); });
}

// ---- Index and range family

DBIResult TmSQLEngine::SwitchToIndex(hDBICur cursor, const char* indexName, const char* tagName,
                                     uint16_t indexId, bool curRec) {
    return Guard([&] { Cursor(cursor)->SwitchToIndex(indexName, tagName, indexId, curRec); });
}

DBIResult TmSQLEngine::GetIndexDesc(hDBICur cursor, uint16_t indexNo, IDXDesc& desc) {
    return Guard([&] { Cursor(cursor)->GetIndexDesc(indexNo, desc); });
}

DBIResult TmSQLEngine::GetIndexDescs(hDBICur cursor, IDXDesc* descs) {
    return Guard([&] {
        TNativeDataSet* native = Cursor(cursor);
        if (!descs) throw EmSQLException(DBIERR_INVALIDPARAM);
        native->GetIndexDescs(descs);
    });
}

DBIResult TmSQLEngine::SetRange(hDBICur cursor, bool keyItself, uint16_t fields1, uint16_t len1,
                                uint8_t* key1, bool key1Incl, uint16_t fields2, uint16_t len2, uint8_t* key2,
                                bool key2Incl) {
    return Guard([&] {
        Cursor(cursor)->SetRange(keyItself, fields1, len1, key1, key1Incl, fields2, len2, key2, key2Incl);
    });
}

DBIResult TmSQLEngine::ResetRange(hDBICur cursor) {
    return Guard([&] { Cursor(cursor)->ResetRange(); });
}

DBIResult TmSQLEngine::ExtractKey(hDBICur cursor, uint8_t* record, uint8_t* key) {
    return Guard([&] { Cursor(cursor)->ExtractKey(record, key); });
}

// ---- Filter family

DBIResult TmSQLEngine::AddFilter(hDBICur cursor, uintptr_t clientData, uint16_t priority, bool canAbort,
                                 const host::CANExpr* expression, pfGENFilter callback, hDBIFilter& filter) {
    return Guard(
        [&] { Cursor(cursor)->AddFilter(clientData, priority, canAbort, expression, callback, filter); });
}

DBIResult TmSQLEngine::DropFilter(hDBICur cursor, hDBIFilter filter) {
    return Guard([&] { Cursor(cursor)->DropFilter(filter); });
}

DBIResult TmSQLEngine::ActivateFilter(hDBICur cursor, hDBIFilter filter) {
    return Guard([&] { Cursor(cursor)->ActivateFilter(filter); });
}

DBIResult TmSQLEngine::DeactivateFilter(hDBICur cursor, hDBIFilter filter) {
    return Guard([&] { Cursor(cursor)->DeactivateFilter(filter); });
}

// ---- Text family

DBIResult TmSQLEngine::CopyText(char* dest, const char* source, size_t length, bool& dataLoss) {
    dataLoss = false;
    if (length == 0) return DBIERR_NONE;
    if (!dest || !source) return Refuse(DBIERR_INVALIDPARAM);
    std::memmove(dest, source, length);
    return DBIERR_NONE;
}

DBIResult TmSQLEngine::AnsiToNative(char* dest, const char* source, size_t length, bool& dataLoss) {
    return CopyText(dest, source, length, dataLoss);
}

DBIResult TmSQLEngine::NativeToAnsi(char* dest, const char* source, size_t length, bool& dataLoss) {
    return CopyText(dest, source, length, dataLoss);
}

// ---- Error family

DBIResult TmSQLEngine::CheckError(const EmSQLException& error) {
    if (error.HasTableCode()) {
        // A coded failure has its message in the table; its own text (which part of a filter is
        // malformed, which value mSQL cannot store) is the detail, and without one no server text
        // kept from an earlier failure may stand in for it.
        fNativeErrorMsg = error.GetNativeErrorMsg();
        return error.ErrorCode();
    }
    fNativeErrorMsg = error.GetNativeErrorMsg();
    return DBIERR_NATIVE;
}

DBIResult TmSQLEngine::GetErrorString(DBIResult code, std::string& message) {
    message = fNativeErrorMsg;
    return code;
}

DBIResult TmSQLEngine::GetErrorEntry(DBIResult /*code*/, int32_t& nativeError, std::string& message) {
    nativeError = -100;
    message = "Error";
    return DBIERR_NONE;
}

} // namespace corvane
