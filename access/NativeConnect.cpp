// The native connection: connecting, database and table lists, and the cursors it creates.
#include "access/NativeConnect.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "access/EmSQLException.h"
#include "access/ListCursors.h"
#include "access/NativeDataSet.h"
#include "client/msqlBinding.h"

namespace corvane {

void TResultRelease::operator()(m_result* result) const noexcept {
    if (result && msqlFreeResult) msqlFreeResult(result);
}

TNativeConnect::~TNativeConnect() {
    InternalDisconnect();
}

void TNativeConnect::ProcessDBParams(const host::TStrings& params) {
    fDatabaseName = params.Values("DatabaseName");
    fHost = params.Values("Host");
}

void TNativeConnect::RequireClientLibrary() {
    if (!mSQLLibraryUsable()) mSQLExceptionMsg(this, mSQLLoadErrorText());
}

void TNativeConnect::InternalConnect() {
    if (fConnected) return;
    RequireClientLibrary();
    const int32_t socket = CheckResult(msqlConnect(fHost.c_str()));
    if (msqlSelectDB(socket, fDatabaseName.empty() ? nullptr : fDatabaseName.c_str()) < 0) {
        // Close the socket that was opened, so that a failed connect leaves nothing behind. The
        // error text is taken first: closing may replace it.
        std::string text = GetErrorText();
        msqlClose(socket);
        mSQLExceptionMsg(this, text);
    }
    fSocket = socket;
    fConnected = true;
}

void TNativeConnect::InternalDisconnect() {
    if (!fConnected) return;
    // Without the client library the socket went with it.
    if (msqlClose) msqlClose(fSocket);
    fSocket = -1;
    fConnected = false;
}

std::string TNativeConnect::GetErrorText() const {
    return ClientErrorText();
}

int32_t TNativeConnect::CheckResult(int32_t value) {
    if (value < 0) mSQLExceptionMsg(this, GetErrorText());
    return value;
}

void TNativeConnect::SelectDB(const std::string& name) {
    RequireClientLibrary();
    CheckResult(msqlSelectDB(fSocket, name.c_str()));
}

int32_t TNativeConnect::GetServerStat() {
    RequireClientLibrary();
    return msqlGetServerStats(fSocket);
}

std::string TNativeConnect::GetHostInfo() {
    RequireClientLibrary();
    const char* text = msqlGetHostInfo();
    return text ? text : "";
}

std::string TNativeConnect::GetServerInfo() {
    RequireClientLibrary();
    const char* text = msqlGetServerInfo();
    return text ? text : "";
}

void TNativeConnect::TableList(host::TStrings& list) {
    InternalConnect();
    list.Clear();
    const TResultPtr result(msqlListTables(fSocket));
    // The server lists an empty database as an empty result: no result at all is a failure.
    if (!result) {
        const std::string text = GetErrorText();
        if (text.empty()) throw EmSQLException(DBIERR_SERVERCOMMLOST);
        mSQLExceptionMsg(this, text);
    }
    GetList(result.get(), list);
}

void TNativeConnect::DatabaseList(host::TStrings& list) {
    RequireClientLibrary();
    const TResultPtr result(msqlListDBs(fSocket));
    GetList(result.get(), list);
}

void TNativeConnect::GetList(const m_result* result, host::TStrings& list) {
    if (!result) return;
    for (const m_data* node = result->queryData; node; node = node->next) {
        const char* text = node->width > 0 && node->data ? node->data[0] : nullptr;
        list.Add(text ? text : "");
    }
}

void TNativeConnect::OpenTable(const std::string& tableName, const std::string& indexName, uint16_t indexId,
                               DBIOpenMode /*openMode*/, DBIShareMode /*shareMode*/,
                               TNativeDataSet*& cursor) {
    InternalConnect();
    cursor = new TNativeDataSet(this, nullptr, tableName, indexName, indexId);
}

void TNativeConnect::QueryAlloc(TNativeDataSet*& statement) {
    statement = new TNativeDataSet(this, nullptr, std::string(), std::string(), 0);
}

void TNativeConnect::QueryPrepare(TNativeDataSet* statement, const char* query) {
    if (!statement) throw EmSQLException(DBIERR_INVALIDHNDL);
    statement->SetSQLText(query);
}

void TNativeConnect::QExecDirect(DBIQryLang /*queryLang*/, const char* query, TNativeDataSet*& /*cursor*/) {
    TNativeDataSet* raw = nullptr;
    QueryAlloc(raw);
    const std::unique_ptr<TNativeDataSet> statement(raw);
    QueryPrepare(statement.get(), query);
    statement->Execute();
}

void TNativeConnect::OpenFieldList(const std::string& tableName, const std::string& /*driverType*/,
                                   bool /*physicalTypes*/, TNativeDataSet*& cursor) {
    TNativeDataSet* raw = nullptr;
    OpenTable(tableName, std::string(), 0, dbiREADONLY, dbiOPENSHARED, raw);
    const std::unique_ptr<TNativeDataSet> table(raw);
    CURProps props;
    table->GetCursorProps(props);
    if (props.iFields > 0) {
        std::vector<FLDDesc> descs(props.iFields);
        table->GetFieldDescs(descs.data());
        cursor = new TFieldList(this, descs.data(), props.iFields);
    }
    table->CloseTable();
}

void TNativeConnect::OpenIndexList(const std::string& tableName, const std::string& /*driverType*/,
                                   TNativeDataSet*& cursor) {
    cursor = nullptr;
    for (int attempt = 1;; ++attempt) {
        try {
            TNativeDataSet* raw = nullptr;
            OpenTable(tableName, std::string(), 0, dbiREADONLY, dbiOPENSHARED, raw);
            const std::unique_ptr<TNativeDataSet> table(raw);
            CURProps props;
            table->GetCursorProps(props);
            std::vector<IDXDesc> descs(props.iIndexes);
            if (!descs.empty()) table->GetIndexDescs(descs.data());
            cursor = new TIndexList(this, descs.empty() ? nullptr : descs.data(), props.iIndexes);
            table->CloseTable();
            return;
        } catch (const EmSQLException&) {
            // A native failure is tried once more; the second one reaches the caller.
            if (attempt >= 2) throw;
        }
    }
}

// ---- Table maintenance

namespace {

// An mSQL identifier: a letter, then letters, digits and underscores.
bool IsIdentifier(const std::string& text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

void RequireIdentifier(const std::string& text, const char* what) {
    if (!IsIdentifier(text))
        throw EmSQLException(DBIERR_INVALIDPARAM, std::string(what) + " '" + text + "' is not an mSQL name");
}

} // namespace

void TNativeConnect::ExecuteDirect(const std::string& sql) {
    InternalConnect();
    TNativeDataSet* unused = nullptr;
    QExecDirect(qrylangSQL, sql.c_str(), unused);
}

std::string TNativeConnect::MaintainedTable(const TNativeDataSet* cursor,
                                            const std::string& tableName) const {
    const std::string table = !tableName.empty() ? tableName
                              : cursor           ? cursor->GetTableName()
                                                 : std::string();
    RequireIdentifier(table, "Table");
    return table;
}

std::vector<std::string> TNativeConnect::ColumnNames(const std::string& table) {
    InternalConnect();
    std::vector<std::string> names;
    const TResultPtr listing(msqlListFields(fSocket, table.c_str()));
    if (!listing) mSQLExceptionMsg(this, GetErrorText());
    msqlFieldSeek(listing.get(), 0);
    while (const m_field* info = msqlFetchField(listing.get()))
        if (info->type != IDX_TYPE) names.emplace_back(info->name ? info->name : "");
    return names;
}

void TNativeConnect::EmptyTable(TNativeDataSet* cursor, const std::string& tableName) {
    ExecuteDirect("DELETE FROM " + MaintainedTable(cursor, tableName));
    if (!cursor) return;
    try {
        cursor->ReOpenTable();
    } catch (const EmSQLException&) {
        // The rows are gone on the server; the cursor runs its statement again before its next read
        // and reports the failure there.
    }
}

void TNativeConnect::AddIndex(TNativeDataSet* cursor, const std::string& tableName, const IDXDesc& desc) {
    const std::string table = MaintainedTable(cursor, tableName);
    const std::string name(desc.szName, strnlen(desc.szName, sizeof desc.szName));
    RequireIdentifier(name, "Index");
    if (desc.bExpIdx != DescFalse || desc.bDescending != DescFalse || desc.bCaseInsensitive != DescFalse ||
        desc.bMaintained == DescFalse)
        throw EmSQLException(DBIERR_NOTSUPPORTED,
                             "mSQL builds only ascending, case-sensitive indexes on columns");
    const int fields = desc.iFldsInKey;
    if (fields == 0 || fields > DBIMAXFLDSINKEY)
        throw EmSQLException(DBIERR_INVALIDPARAM, "Index without fields");
    // The key fields are numbered as the cursor's fields, or as the table's columns.
    std::vector<std::string> columns;
    if (cursor) {
        for (int i = 0; i < cursor->FieldCount(); ++i)
            columns.push_back(cursor->FieldName(i));
    } else {
        columns = ColumnNames(table);
    }
    std::string sql =
        desc.bUnique != DescFalse || desc.bPrimary != DescFalse ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
    sql += name + " ON " + table + " (";
    for (int i = 0; i < fields; ++i) {
        const uint16_t number = desc.aiKeyFld[i];
        if (number == 0 || number > columns.size() || columns[number - 1].empty())
            throw EmSQLException(DBIERR_INVALIDPARAM,
                                 "Index field " + std::to_string(number) + " is not a column");
        if (i > 0) sql += ", ";
        sql += columns[number - 1];
    }
    sql += ')';
    ExecuteDirect(sql);
    if (cursor) cursor->RefreshIndexes();
}

void TNativeConnect::DeleteIndex(TNativeDataSet* cursor, const std::string& tableName,
                                 const std::string& indexName, uint16_t indexId) {
    const std::string table = MaintainedTable(cursor, tableName);
    std::string name = indexName;
    if (name.empty() && cursor && indexId > 0) {
        IDXDesc desc;
        cursor->GetIndexDesc(indexId, desc);
        name.assign(desc.szName, strnlen(desc.szName, sizeof desc.szName));
    }
    RequireIdentifier(name, "Index");
    ExecuteDirect("DROP INDEX " + name + " FROM " + table);
    if (cursor) cursor->RefreshIndexes();
}

} // namespace corvane
