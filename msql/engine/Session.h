// One client connection to the embedded engine: the data folder, the selected database, and the
// calls of the client library (query, lists, database administration, sequence information).
#pragma once

#include "engine/Catalog.h"
#include "engine/Executor.h"
#include "engine/ResultSet.h"
#include "engine/Sqlite.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace msql {

class Session {
public:
    // Uses (and creates when missing) the data folder. Throws Error when it cannot be created.
    // A database locked by another connection is waited for $MSQL_BUSY_TIMEOUT milliseconds
    // (default 10 seconds) before the statement fails.
    Session(std::string dataDir, std::string user);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The data folder of new connections: $MSQL_DATA_DIR, else ./msqldata.
    static std::string DefaultDataDir();

    // The bytes one query result may occupy (rows and texts): $MSQL_RESULT_LIMIT (a number of
    // bytes with an optional K, M or G suffix), else 1 GiB. A larger result fails with
    // "Query result too large (limit <n> bytes)".
    size_t ResultLimit() const { return resultLimit_; }
    void SetResultLimit(size_t bytes) { resultLimit_ = bytes; }
    // Reads a limit in that notation; 0 when the text is not one.
    static size_t ParseByteCount(std::string_view text);

    void SelectDatabase(const std::string& name);
    void CreateDatabase(const std::string& name);
    void DropDatabase(const std::string& name);
    std::vector<std::string> ListDatabases() const;

    QueryOutcome Query(std::string_view sql);
    ResultSet ListTables();
    ResultSet ListFields(const std::string& table);
    ResultSet ListIndex(const std::string& table, const std::string& index);
    SequenceInfo GetSequence(const std::string& table);

    const std::string& DataDir() const { return dataDir_; }
    const std::string& DatabaseName() const { return dbName_; }

private:
    struct Database;
    Database& Current();
    std::string PathOf(const std::string& name) const;
    // Removes what creations of `name` by processes that no longer run left behind.
    void RemoveAbandonedCreations(const std::string& name) const;

    std::string dataDir_;
    std::string user_;
    std::string dbName_;
    int busyTimeoutMs_ = 10000;
    size_t resultLimit_ = ResultSet::kDefaultLimit;
    std::unique_ptr<Database> db_;
};

// A list result: one CHAR column of length NAME_LEN in table "mSQL Catalog".
ResultSet MakeList(const std::string& column, const std::vector<std::string>& values);

} // namespace msql
