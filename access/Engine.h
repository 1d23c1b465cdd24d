// TmSQLEngine, the call surface between the dataset components and the native access layer.
//
// Every operation takes opaque handles and the descriptor records of the emulated engine, forwards the
// work to a TNativeConnect or TNativeDataSet, and returns a result code instead of raising: 0 for
// success, the exception's code for a native failure that carries one, DBIERR_NATIVE for a client
// failure. The failure's text (the client's, or the detail of a coded failure, empty without one) is
// kept as the engine's native error message; every non-zero code sets it. Exceptions other than
// EmSQLException (host conversion errors, out of memory) pass through unchanged. Every handle an
// operation uses is checked: a null handle gives DBIERR_INVALIDHNDL (DBIERR_INVALIDPARAM for the
// property calls), never a crash.
//
// Handles and their lifetimes. The engine holds none of them; the caller owns each handle it was given
// and gives it back through the one call that frees it:
//   hDBIDb     a TNativeConnect. Created by OpenDatabase, freed by CloseDatabase. Close every cursor
//              and free every statement of a database before closing it: they refer to its connection.
//   hDBICur    a TNativeDataSet. Created by OpenTable, OpenFieldList, OpenIndexList and QExec with a
//              cursor; freed by CloseCursor, whatever created it.
//   hDBIStmt   a statement. Created by QAlloc, freed by QFree. A statement runs on a native cursor of
//              its own. QExec with a cursor hands that native cursor over: it becomes the cursor handle,
//              which CloseCursor frees (once), and the statement takes a fresh native cursor the next
//              time it needs one (so a prepared statement can be executed again after its cursor was
//              closed). QFree frees the statement and the native cursor it still owns; a cursor it
//              handed over lives on until CloseCursor, with its own copy of the statement text.
//   hDBIFilter a TmSQLFilter of a cursor. Created by AddFilter, freed by DropFilter or with its cursor;
//              a cursor checks a filter handle against its own filters before it uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "access/EmSQLException.h"
#include "access/EngineTypes.h"
#include "access/IndexDesc.h"
#include "client/Container.h"
#include "client/FieldMapping.h"
#include "host/CANExpr.h"
#include "host/Params.h"
#include "host/Strings.h"

namespace corvane {

// Any handle as the generic object handle of GetObjFromObj.
template <class Handle>
hDBIObj AsObject(Handle handle) {
    return reinterpret_cast<hDBIObj>(handle);
}

class TmSQLEngine : public TBaseObject {
public:
    // The database component creates its engine with no owner and no container.
    explicit TmSQLEngine(host::TObject* owner = nullptr, TContainer* container = nullptr);
    ~TmSQLEngine() override;

    // The handles most recently recorded by the operations that record them (see each family); null
    // until then, and after the object they name was freed through this engine.
    hDBIDb CurrentDatabase() const { return fDatabase; }
    hDBICur CurrentCursor() const { return fCursor; }
    hDBIStmt CurrentStatement() const { return fStatement; }

    // ---- Database family. Each records its database handle as the current database.

    // A new connection from params ("DatabaseName", "Host"), connected. database is set only on
    // success; on failure the connection is freed.
    DBIResult OpenDatabase(const host::TStrings& params, hDBIDb& database);
    // Frees the connection (not its cursors); database and the current database become null.
    DBIResult CloseDatabase(hDBIDb& database);
    // Replaces list with the tables of the selected database.
    DBIResult OpenTableList(hDBIDb database, host::TStrings& list);
    // Appends the server's databases to list.
    DBIResult GetDatabases(hDBIDb database, host::TStrings& list);
    DBIResult SelectDb(hDBIDb database, const std::string& name);
    DBIResult GetServerStat(hDBIDb database, int32_t& stat);
    DBIResult GetHostInfo(hDBIDb database, std::string& info);
    DBIResult GetServerInfo(hDBIDb database, std::string& info);
    // cursor := a new table cursor on tableName, ordered by indexName / indexId. The driver type, tag
    // name, translation mode, unidirectional flag and optional parameters are not used.
    DBIResult OpenTable(hDBIDb database, const std::string& tableName, const std::string& driverType,
                        const std::string& indexName, const std::string& indexTagName, uint16_t indexId,
                        DBIOpenMode openMode, DBIShareMode shareMode, XLTMode translateMode,
                        bool uniDirectional, const void* optionalParams, hDBICur& cursor);
    // cursor := a field list of tableName's FLDDesc records; left as it was for a table without fields.
    DBIResult OpenFieldList(hDBIDb database, const std::string& tableName, const std::string& driverType,
                            bool physicalTypes, hDBICur& cursor);
    // cursor := an index list of tableName's IDXDesc records (empty when it has none).
    DBIResult OpenIndexList(hDBIDb database, const std::string& tableName, const std::string& driverType,
                            hDBICur& cursor);
    // Table maintenance by SQL on the database's connection: the table is tableName, or cursor's table
    // when tableName is empty; a cursor given is brought up to date (rows, respectively indexes).
    // EmptyTable deletes every row. AddIndex creates desc's index (szName, the aiKeyFld columns,
    // UNIQUE for bUnique or bPrimary; DBIERR_NOTSUPPORTED for the index kinds mSQL lacks). DeleteIndex
    // drops indexName (index indexId of the cursor when the name is empty).
    DBIResult EmptyTable(hDBIDb database, hDBICur cursor, const std::string& tableName,
                         const std::string& driverType);
    DBIResult AddIndex(hDBIDb database, hDBICur cursor, const std::string& tableName,
                       const std::string& driverType, const IDXDesc& desc, const std::string& keyViolName);
    DBIResult DeleteIndex(hDBIDb database, hDBICur cursor, const std::string& tableName,
                          const std::string& driverType, const std::string& indexName,
                          const std::string& indexTagName, uint16_t indexId);
    // Always true: every mSQL database is SQL-based.
    bool IsSqlBased(hDBIDb database);

    // ---- Query family

    // statement := a new statement on database (recorded as current database).
    DBIResult QAlloc(hDBIDb database, DBIQryLang queryLang, hDBIStmt& statement);
    // The statement will run query (a copy is kept).
    DBIResult QPrepare(hDBIStmt statement, const std::string& query);
    // Runs the statement (recorded as current statement). Without cursor it is executed and its rows
    // affected can be read through stmtROWCOUNT; with one the statement is opened and *cursor := its
    // native cursor (see the handle notes above).
    DBIResult QExec(hDBIStmt statement, hDBICur* cursor);
    // Executes query once on a temporary statement; cursor is never assigned.
    DBIResult QExecDirect(hDBIDb database, DBIQryLang queryLang, const std::string& query, hDBICur* cursor);
    // Only records the database; statement is neither created nor assigned.
    DBIResult QPrepareExt(hDBIDb database, DBIQryLang queryLang, const std::string& query, uint16_t flags,
                          hDBIStmt& statement);
    // Frees the statement (recorded as current statement first) and sets the handle to null.
    DBIResult QFree(hDBIStmt& statement);
    // The statement will run sql with its parameter markers replaced by the literals of params'
    // values (recorded as current statement).
    DBIResult QuerySetParams(hDBIStmt statement, const host::TParams& params, const std::string& sql);

    // ---- Cursor family

    // Frees the cursor and sets the handle to null.
    DBIResult CloseCursor(hDBICur& cursor);
    DBIResult GetCursorProps(hDBICur cursor, CURProps& props);
    // Copies the cursor's FLDDesc records into descs (room for CURProps.iFields entries).
    DBIResult GetFieldDescs(hDBICur cursor, FLDDesc* descs);
    DBIResult GetVchkDesc(hDBICur cursor, uint16_t fieldNo, VCHKDesc& desc);
    DBIResult GetRecordCount(hDBICur cursor, int32_t& count);
    // Runs the cursor's statement again (see TNativeDataSet::ForceReread).
    DBIResult ForceReread(hDBICur cursor);
    DBIResult SetToBegin(hDBICur cursor);
    DBIResult SetToEnd(hDBICur cursor);
    DBIResult GetNextRecord(hDBICur cursor, DBILockType lock, uint8_t* record, RECProps* props);
    // Running off the start is DBIERR_BOF, also when the native cursor reports it as DBIERR_EOF.
    DBIResult GetPriorRecord(hDBICur cursor, DBILockType lock, uint8_t* record, RECProps* props);
    DBIResult GetRecord(hDBICur cursor, DBILockType lock, uint8_t* record, RECProps* props);
    // Records the cursor as current cursor.
    DBIResult GetBookMark(hDBICur cursor, uint8_t* bookmark);
    DBIResult SetToBookMark(hDBICur cursor, const uint8_t* bookmark);
    DBIResult CompareBookMarks(hDBICur cursor, const uint8_t* bookmark1, const uint8_t* bookmark2,
                               int16_t& result);
    DBIResult RelRecordLock(hDBICur cursor, bool allLocks);
    // Moves to row seqNo (0-based; row 1 when negative).
    DBIResult SettoSeqNo(hDBICur cursor, int32_t seqNo);

    // Properties. length := 0 first; a null handle gives DBIERR_INVALIDPARAM. Cursors and statements
    // answer the properties of their native cursor; a database answers none (length 0, success) and
    // accepts every property without effect.
    DBIResult GetEngProp(hDBICur cursor, uint32_t property, void* value, uint32_t maxLength,
                         uint32_t& length);
    DBIResult GetEngProp(hDBIStmt statement, uint32_t property, void* value, uint32_t maxLength,
                         uint32_t& length);
    DBIResult GetEngProp(hDBIDb database, uint32_t property, void* value, uint32_t maxLength,
                         uint32_t& length);
    DBIResult SetEngProp(hDBICur cursor, uint32_t property, uintptr_t value);
    // The value is also kept and given again to every later native cursor of the statement.
    DBIResult SetEngProp(hDBIStmt statement, uint32_t property, uintptr_t value);
    DBIResult SetEngProp(hDBIDb database, uint32_t property, uintptr_t value);
    // objSESSION: success, handle untouched; any other kind: handle := null, DBIERR_INVALIDPARAM.
    DBIResult GetObjFromObj(hDBIObj object, DBIOBJType objectType, hDBIObj& handle);

    // ---- Record family

    DBIResult InitRecord(hDBICur cursor, uint8_t* record);
    DBIResult GetField(hDBICur cursor, uint16_t fieldNo, uint8_t* record, void* dest, bool& blank);
    DBIResult PutField(hDBICur cursor, uint16_t fieldNo, uint8_t* record, const void* source);
    // Checks only the handle: values are checked by the server.
    DBIResult VerifyField(hDBICur cursor, uint16_t fieldNo, const void* value, bool& blank);
    // Reads up to records rows onwards from the cursor's position (each as GetNextRecord reads it,
    // filters applied) into consecutive record buffers (CURProps.iRecBufSize bytes each) of buffer;
    // records := the number read. DBIERR_EOF when the end was reached before records rows were read.
    DBIResult ReadBlock(hDBICur cursor, uint32_t& records, uint8_t* buffer);

    // Writes through generated INSERT, UPDATE and DELETE statements; the cursor re-runs its statement
    // and stands on the written row (after a delete on the row before). lock and freeLock are not used.
    DBIResult InsertRecord(hDBICur cursor, DBILockType lock, uint8_t* record);
    DBIResult AppendRecord(hDBICur cursor, uint8_t* record);
    DBIResult ModifyRecord(hDBICur cursor, uint8_t* oldRecord, uint8_t* record, bool freeLock);
    DBIResult DeleteRecord(hDBICur cursor, uint8_t* record);

    // ---- Blob family: the TEXT fields of a record buffer (DBIERR_NOTABLOB for any other field).

    // Only checks the field; openMode is not used.
    DBIResult OpenBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo, DBIOpenMode openMode);
    DBIResult GetBlobSize(hDBICur cursor, uint8_t* record, uint16_t fieldNo, uint32_t& size);
    DBIResult GetBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo, uint32_t offset, uint32_t length,
                      uint8_t* dest, uint32_t& read);
    DBIResult PutBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo, uint32_t offset, uint32_t length,
                      const uint8_t* source);
    DBIResult TruncateBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo, uint32_t length);
    // Releases the field's edit stream.
    DBIResult FreeBlob(hDBICur cursor, uint8_t* record, uint16_t fieldNo);

    // ---- Index and range family

    // Puts the order of index indexName (matched with case), or of indexId when the name is empty, in
    // force; DBIERR_INVALIDPARAM without a name. tagName and curRec are not used.
    DBIResult SwitchToIndex(hDBICur cursor, const char* indexName, const char* tagName, uint16_t indexId,
                            bool curRec);
    // Index indexNo's descriptor (0 reads index 1).
    DBIResult GetIndexDesc(hDBICur cursor, uint16_t indexNo, IDXDesc& desc);
    // Every index descriptor into descs (room for CURProps.iIndexes entries).
    DBIResult GetIndexDescs(hDBICur cursor, IDXDesc* descs);
    // Restricts the rows to the range between the two bounds on the current index's key fields.
    DBIResult SetRange(hDBICur cursor, bool keyItself, uint16_t fields1, uint16_t len1, uint8_t* key1,
                       bool key1Incl, uint16_t fields2, uint16_t len2, uint8_t* key2, bool key2Incl);
    DBIResult ResetRange(hDBICur cursor);
    // The key image of record (the current buffer when null) on the current index.
    DBIResult ExtractKey(hDBICur cursor, uint8_t* record, uint8_t* key);

    // ---- Filter family. A null filter handle names every filter of the cursor.

    // filter := a new inactive filter on expression (copied; may be null) and callback (may be null;
    // called with clientData). Filters are evaluated in the order they were added.
    DBIResult AddFilter(hDBICur cursor, uintptr_t clientData, uint16_t priority, bool canAbort,
                        const host::CANExpr* expression, pfGENFilter callback, hDBIFilter& filter);
    DBIResult DropFilter(hDBICur cursor, hDBIFilter filter);
    DBIResult ActivateFilter(hDBICur cursor, hDBIFilter filter);
    DBIResult DeactivateFilter(hDBICur cursor, hDBIFilter filter);

    // ---- Text family: bytes are copied unchanged (the ranges may overlap); dataLoss := false.

    DBIResult AnsiToNative(char* dest, const char* source, size_t length, bool& dataLoss);
    DBIResult NativeToAnsi(char* dest, const char* source, size_t length, bool& dataLoss);

    // ---- Error family

    // The code of error as an operation returns it: a table-coded error gives its code, any other
    // DBIERR_NATIVE. Either way the exception's text (empty for a code without detail) becomes the
    // native error message.
    DBIResult CheckError(const EmSQLException& error);
    // message := the native error message; returns code.
    DBIResult GetErrorString(DBIResult code, std::string& message);
    // nativeError := -100, message := "Error"; returns 0.
    DBIResult GetErrorEntry(DBIResult code, int32_t& nativeError, std::string& message);
    // The text of the last failure: the client's text, or the detail of a coded failure (empty when
    // it has none). Kept through later successful operations.
    const std::string& GetNativeErrorMsg() const { return fNativeErrorMsg; }

private:
    // Runs action; an EmSQLException becomes CheckError's code.
    template <class Action>
    DBIResult Guard(Action&& action);
    // The code of a refusal made without an exception (a null handle or buffer): the native error
    // message is cleared, as for a coded failure without detail.
    DBIResult Refuse(DBIResult code);
    // The text family's copy.
    DBIResult CopyText(char* dest, const char* source, size_t length, bool& dataLoss);
    // Record a handle as current; a null handle raises DBIERR_INVALIDHNDL.
    void SetCurrentDatabase(hDBIDb database);
    void SetCurrentCursor(hDBICur cursor);
    void SetCurrentStatement(hDBIStmt statement);

    hDBICur fCursor = nullptr;
    hDBIDb fDatabase = nullptr;
    std::string fNativeErrorMsg;
    hDBIStmt fStatement = nullptr;
};

} // namespace corvane
