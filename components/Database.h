// TmSQLDatabase, the connection component: connection parameters, the engine it owns, the database
// handle, ad-hoc statements with a statement cache, database and table lists, and the process-wide
// list of databases. Also the exception every non-zero engine result code becomes
// (EmSQLDatabaseError), the result check that raises it, and the two text translation helpers with
// their process-wide locks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "access/mSQLAccess.h"
#include "components/ConnectionBase.h"
#include "host/DataSources.h"
#include "host/Exceptions.h"
#include "host/Params.h"
#include "host/Sets.h"
#include "host/Strings.h"
#include "host/SyncObjs.h"

namespace corvane {

class TmSQLDatabase;
class TmSQLDataSet;

// ---- Errors

// A failed engine call: the result code and a message composed at construction. A client failure
// (DBIERR_NATIVE) reads "mSQL Error : \r\n" followed by the server's text; any other code reads the
// engine message table's text, "\r\n" and "DBI Error Code: (<code>)", followed by "\r\n" and the
// failure's detail when it has one.
class EmSQLDatabaseError : public host::EDatabaseError {
public:
    // engine may be null (no server text is available then). A coded failure gets no detail.
    EmSQLDatabaseError(TmSQLEngine* engine, DBIResult errorCode);
    // A coded failure with its detail text (ignored for DBIERR_NATIVE).
    EmSQLDatabaseError(TmSQLEngine* engine, DBIResult errorCode, const std::string& detail);
    DBIResult ErrorCode() const { return fErrorCode; }

private:
    DBIResult fErrorCode;
};

// The result check: a non-zero code raises EmSQLDatabaseError; 0 does nothing. status must be what an
// engine call just answered: the engine's text of that failure is its detail.
void Check(TmSQLEngine* engine, DBIResult status);
// Raises EmSQLDatabaseError for errorCode unconditionally.
[[noreturn]] void DbiError(TmSQLEngine* engine, DBIResult errorCode);

// ---- Text translation between host text and native (server) text. The engine copies bytes
// unchanged; each direction runs under its own process-wide lock.

// Copies min(text length, size) bytes of text into dest through the engine and writes a zero byte
// after them: dest must hold size + 1 bytes. Nothing is copied for an empty text or a size of 0.
void AnsiToNativeBuf(TmSQLEngine* engine, const std::string& text, char* dest, size_t size);
// The zero-terminated native text source as host text (empty for a null source).
std::string NativeToAnsi(TmSQLEngine* engine, const char* source);
// The locks of the two directions (to native text, to host text).
host::TCriticalSection& ToNativeLock();
host::TCriticalSection& ToAnsiLock();

// ---- Field origins

// Splits a field origin ("table.field" or "database.table.field"; a part in double quotes may hold
// dots, a backslash takes the next character literally) into its parts; a missing part is empty.
// False for an origin of four or more parts, and when the table or field part is missing.
bool SplitFieldOrigin(const std::string& origin, std::string& database, std::string& table,
                      std::string& field);
// Answers where dataSet's field named by sources.szSourceFldName comes from: its Origin split into
// szDbName, szTblName and szOrigFldName. False when the field is unknown or has no origin, and when the
// origin names no table and field.
bool GetFieldSource(host::TDataSet* dataSet, host::DataSources& sources);

// ---- The database component

// Trace categories (kept for compatibility: the native layer ignores tracing).
enum TTraceFlag : uint8_t {
    tfQPrepare,
    tfQExecute,
    tfError,
    tfStmt,
    tfConnect,
    tfTransact,
    tfBlob,
    tfMisc,
    tfVendor,
    tfDataIn,
    tfDataOut
};
using TTraceFlags = host::TSet<TTraceFlag>;

// Login handler (never called: the connection does not prompt for a login).
using TBaseDatabaseLoginEvent = std::function<void(TmSQLDatabase* database, host::TStrings* loginParams)>;

class TmSQLDatabase : public TmSQLCustomConnection {
public:
    // Joins the process-wide list of databases; KeepConnection is true.
    explicit TmSQLDatabase(host::TComponent* owner);
    // Closes, leaves the list of databases, detaches the datasets still attached.
    ~TmSQLDatabase() override;
    void BeforeDestruction() override;

    // ---- published properties
    const std::string& DatabaseName() const { return fDatabaseName; }
    // Refused while connected (SDatabaseOpen) and for a name another database uses unless both
    // share handles (SDuplicateDatabaseName); keeps the parameter "DatabaseName" equal.
    void SetDatabaseName(const std::string& value);
    const std::string& Host() const { return fHost; }
    void SetHost(const std::string& value);
    bool KeepConnection() const { return fKeepConnection; }
    void SetKeepConnection(bool value) { fKeepConnection = value; }
    bool HandleShared() const { return fHandleShared; }
    void SetHandleShared(bool value) { fHandleShared = value; }
    // Stored only; the connection does not use them.
    bool Exclusive() const { return fExclusive; }
    void SetExclusive(bool value);
    bool ReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool value);
    const TBaseDatabaseLoginEvent& OnLogin() const { return fOnLogin; }
    void SetOnLogin(TBaseDatabaseLoginEvent handler) { fOnLogin = std::move(handler); }

    // ---- connection
    bool GetConnected() override { return fHandle != nullptr; }
    // The parameters given to the engine at connect time ("DatabaseName", "Host", ...). Changing
    // them while connected is refused (SDatabaseOpen).
    host::TStringList* Params() const { return fParams.get(); }
    // The engine (null until InitEngine).
    TmSQLEngine* Engine() const { return fEngine.get(); }
    // Creates the engine when there is none; a failure is shown, not raised.
    void InitEngine();
    // The database handle (null while disconnected).
    hDBIDb Handle() const { return fHandle; }
    // Closes, then adopts handle (when not null) without ever closing it here.
    void SetHandle(hDBIDb handle);
    // Adopts the handle of a connected database of the same name that shares its handle; true when
    // one was found.
    bool OpenFromExistingDB();
    // Read by the table component's lookup path; false after every connect and SetHandle.
    bool IsLookup() const { return fLookup; }
    void SetLookup(bool value) { fLookup = value; }
    void Loaded() override;

    // ---- datasets
    // Closes database when its KeepConnection is false (datasets call it when they let go).
    void CloseDatabase(TmSQLDatabase* database);
    // Disconnects the attached datasets, last first.
    void CloseDataSets();
    // Registered dataset index as a dataset component (null for another kind of dataset).
    TmSQLDataSet* DataSets(int index);
    // When connected at run time: SDatabaseOpen; at design time the database is closed instead.
    void CheckInactive();

    // ---- statements and lists
    // Runs sql and returns the number of rows it changed. params' values are substituted for the
    // statement's parameter markers (a null value as NULL). With cache, the statement is kept for
    // the next Execute of the same text. With cursor, the statement's result is opened read-only and
    // *cursor receives it (the caller closes it through the engine); the result is then 0.
    int Execute(const std::string& sql, host::TParams* params = nullptr, bool cache = false,
                hDBICur* cursor = nullptr);
    // Frees the cached statements.
    void ClearStatements();
    // Replaces list with the tables of the database (connects when needed and stays connected).
    void GetTableNames(host::TStrings* list);
    // Appends the server's databases to list; the connection is left as it was found.
    void GetDatabases(host::TStrings* list);
    // Selects another database on the open connection.
    void SelectDB(const std::string& name);
    // Server information (-1 / empty while disconnected).
    int GetServerStat();
    std::string GetHostInfo();
    std::string GetServerInfo();
    // Tracing has no effect: flags read back as none.
    TTraceFlags GetTraceFlags();
    void SetTraceFlags(TTraceFlags flags);

    // ---- the process-wide list of databases, in creation order
    static const std::vector<TmSQLDatabase*>& DBList();
    // The first database whose non-empty DatabaseName equals name ignoring case, or null.
    static TmSQLDatabase* FindDatabase(const std::string& name);
    // The handle of the first connected database named name (ignoring case) that shares its handle.
    static hDBIDb FindDatabaseHandle(const std::string& name);

    // The statement-cache hash of sql.
    static uint32_t StatementHash(const std::string& sql);

protected:
    void DoConnect() override;
    void DoDisconnect() override;

private:
    friend class TmSQLDataSet;

    struct TStatementEntry {
        uint32_t hash = 0;
        hDBIStmt statement = nullptr;
        std::string sql;
        bool substituted = false; // the statement last ran with parameter values
    };

    // Datasets whose Database is this one (told when it is destroyed).
    void AttachDataSet(TmSQLDataSet* dataSet);
    void DetachDataSet(TmSQLDataSet* dataSet);
    void ValidateName(const std::string& name);
    void SetDatabaseFlags();
    void CloseDatabaseHandle();
    // Closes and leaves the list of databases once (BeforeDestruction or the destructor).
    void Teardown() noexcept;
    // Disconnects the databases that share this database's handle.
    void DisconnectSharers();
    // The engine, created when there is none.
    TmSQLEngine* RequireEngine();
    // The statement for sql (from the cache when cache is set), prepared.
    hDBIStmt PrepareStatement(const std::string& sql, bool cache, bool wantCursor, TStatementEntry*& entry);
    static void CheckParams(const host::TParams& params);

    std::string fDatabaseName;
    std::string fHost;
    bool fKeepConnection = true;
    bool fAcquiredHandle = false;
    bool fHandleShared = false;
    bool fLookup = false;
    bool fExclusive = false;
    bool fReadOnly = false;
    bool fTornDown = false;
    bool fDisconnecting = false;
    std::unique_ptr<TmSQLEngine> fEngine;
    hDBIDb fHandle = nullptr;
    // The database whose handle this one adopted through HandleShared (it disconnects us first).
    TmSQLDatabase* fSharedFrom = nullptr;
    std::unique_ptr<host::TStringList> fParams;
    std::vector<TStatementEntry> fStatements;
    std::vector<TmSQLDataSet*> fAttachedDataSets; // not owned
    TBaseDatabaseLoginEvent fOnLogin;
};

} // namespace corvane
