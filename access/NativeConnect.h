// TNativeConnect: one connection to an mSQL server through the client library. It connects on demand,
// selects the database, lists databases and tables, and creates the native cursors that tables and
// statements run in, plus the field and index list cursors. Its address is the database handle that
// the engine call surface hands out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "access/EngineTypes.h"
#include "access/IndexDesc.h"
#include "client/msqlABI.h"
#include "host/Object.h"
#include "host/Strings.h"

namespace corvane {

class TNativeDataSet;

// Releases a client-library result with msqlFreeResult. A result outlives the client library only when
// the library was unloaded under it; its memory went with the library then, so nothing is called.
struct TResultRelease {
    void operator()(m_result* result) const noexcept;
};
// A client-library result owned by the native layer.
using TResultPtr = std::unique_ptr<m_result, TResultRelease>;

class TNativeConnect : public host::TObject {
public:
    // Not connected.
    TNativeConnect() = default;
    // InternalDisconnect.
    ~TNativeConnect() override;

    // Database name := value of "DatabaseName", host := value of "Host" (absent names give empty
    // texts). No other parameter is read.
    void ProcessDBParams(const host::TStrings& params);
    // Connects and selects the database unless already connected. Raises EmSQLException (code
    // DBIERR_NATIVE with the client's text) on failure and stays unconnected then, with no socket
    // left open. Raises the same code with the load error text when the client library is not loaded
    // or lacks a function Corvane calls.
    void InternalConnect();
    // When connected: closes the socket and becomes unconnected.
    void InternalDisconnect();

    // The client library's last error text.
    std::string GetErrorText() const;
    // Returns value when it is 0 or more; a negative value raises EmSQLException from this
    // connection with GetErrorText (code DBIERR_NATIVE).
    int32_t CheckResult(int32_t value);
    // Selects another database on the open socket; the stored database name is kept.
    void SelectDB(const std::string& name);
    // msqlGetServerStats on the socket, passed on unchanged.
    int32_t GetServerStat();
    // Texts of msqlGetHostInfo / msqlGetServerInfo; no connection is needed.
    std::string GetHostInfo();
    std::string GetServerInfo();

    // Connects, clears list and adds the tables of the selected database in server order.
    void TableList(host::TStrings& list);
    // Adds the server's databases to list, keeping what it holds; does not connect first.
    void DatabaseList(host::TStrings& list);
    // Adds the column-0 text of every row of result, in server order; nothing for a null result.
    void GetList(const m_result* result, host::TStrings& list);

    // Connects, then cursor := a new table cursor on tableName, opened on indexName / indexId.
    // openMode and shareMode are not used.
    void OpenTable(const std::string& tableName, const std::string& indexName, uint16_t indexId,
                   DBIOpenMode openMode, DBIShareMode shareMode, TNativeDataSet*& cursor);
    // statement := a new unopened statement cursor on this connection; nothing is sent.
    void QueryAlloc(TNativeDataSet*& statement);
    // The statement refers to query (not copied: the caller keeps it alive while the statement uses
    // it). A null statement raises DBIERR_INVALIDHNDL.
    void QueryPrepare(TNativeDataSet* statement, const char* query);
    // Allocates, prepares and executes query, then frees the statement (also on failure). cursor is
    // never assigned.
    void QExecDirect(DBIQryLang queryLang, const char* query, TNativeDataSet*& cursor);
    // Opens tableName and, when it has fields, cursor := a TFieldList of their FLDDesc records;
    // otherwise cursor is left as it was.
    void OpenFieldList(const std::string& tableName, const std::string& driverType, bool physicalTypes,
                       TNativeDataSet*& cursor);
    // cursor := a TIndexList of tableName's IDXDesc records (empty when it has none). A native failure
    // is retried once.
    void OpenIndexList(const std::string& tableName, const std::string& driverType, TNativeDataSet*& cursor);
    // Table maintenance through SQL statements on this connection. The table is tableName, or the
    // table of cursor when tableName is empty; names that are not mSQL identifiers are refused with
    // DBIERR_INVALIDPARAM before anything is sent. A cursor given is brought up to date afterwards.

    // Sends "DELETE FROM table"; the cursor runs its statement again (a failure of that re-run is
    // reported by the cursor's next read, the rows being gone already).
    void EmptyTable(TNativeDataSet* cursor, const std::string& tableName);
    // Sends "CREATE [UNIQUE] INDEX name ON table (columns)" for desc: szName, the iFldsInKey columns
    // of aiKeyFld (numbered as the cursor's fields, or as the table's columns without a cursor),
    // UNIQUE for bUnique or bPrimary. An expression, descending, case-insensitive or non-maintained
    // index raises DBIERR_NOTSUPPORTED: mSQL has none of them. The cursor re-reads its indexes.
    void AddIndex(TNativeDataSet* cursor, const std::string& tableName, const IDXDesc& desc);
    // Sends "DROP INDEX name FROM table"; without a name, index indexId of the cursor is dropped. The
    // cursor re-reads its indexes (leaving the order of a dropped index for the natural one).
    void DeleteIndex(TNativeDataSet* cursor, const std::string& tableName, const std::string& indexName,
                     uint16_t indexId);

    // The socket; meaningful only while connected (-1 otherwise).
    int32_t Socket() const { return fSocket; }
    bool Connected() const { return fConnected; }
    const std::string& DatabaseName() const { return fDatabaseName; }
    const std::string& Host() const { return fHost; }

    // Raises EmSQLException (DBIERR_NATIVE, the load error text) unless the client library is loaded
    // with every function Corvane calls (mSQLLibraryUsable), so that no unbound client function is
    // ever called.
    void RequireClientLibrary();

private:
    // Connects and runs sql on a temporary statement.
    void ExecuteDirect(const std::string& sql);
    // The table a maintenance statement names (see EmptyTable), checked to be an identifier.
    std::string MaintainedTable(const TNativeDataSet* cursor, const std::string& tableName) const;
    // The column names of table in declaration order (the field numbers of "Select *").
    std::vector<std::string> ColumnNames(const std::string& table);

    int32_t fSocket = -1;
    bool fConnected = false;
    std::string fDatabaseName;
    std::string fHost;
};

} // namespace corvane
