// The catalog of one mSQL database: tables, their columns, indexes and sequences, kept in SQLite
// tables of the database file beside the data tables it describes.
#pragma once

#include "engine/Ast.h"
#include "engine/Sqlite.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace msql {

struct ColumnInfo {
    std::string name;
    int type = 0;
    int length = 0;
    bool notNull = false;
    int position = 0;     // 0-based declaration order
    bool indexed = false; // part of some index: NULL is refused
    std::string storage;  // SQLite column "c<position>"
    std::string decimals; // SQLite column "p<position>" (REAL columns only)
    const std::string& Storage() const { return storage; }
    const std::string& Decimals() const { return decimals; }
};

struct IndexInfo {
    int64_t id = 0; // creation order
    std::string name;
    bool unique = false;
    std::vector<int> fields; // column positions in key order
};

struct TableInfo {
    int64_t id = 0;
    std::string name;
    std::vector<ColumnInfo> columns;
    std::vector<IndexInfo> indexes; // in creation order
    std::string storage;            // quoted SQLite table name "t<id>"
    std::string insertSql;          // INSERT of a whole row (see WriteExecutor), bound by position

    const std::string& Storage() const { return storage; }
    const ColumnInfo* FindColumn(const std::string& column) const;
    const IndexInfo* FindIndex(const std::string& index) const;
};

struct SequenceInfo {
    int64_t step = 1;
    int64_t value = 1;
};

// Catalog entries are shared and immutable: a statement keeps the entries it resolved while the
// catalog may already have dropped them from its cache.
using TablePtr = std::shared_ptr<const TableInfo>;

class Catalog {
public:
    explicit Catalog(SqliteDb& db) : db_(db) {}

    // Creates the catalog tables in a new database file.
    static void Initialize(SqliteDb& db);
    // Whether the file holds every catalog table (a database whose creation was cut short does
    // not). Throws Error when the file cannot be read.
    static bool IsComplete(SqliteDb& db);

    // The table's entry, or null. Entries are cached per connection and read again after any
    // schema change (by this or another connection) or rollback.
    TablePtr Find(const std::string& table);
    // Like Find, but throws `Unknown table "<t>"`.
    TablePtr Require(const std::string& table);
    std::vector<std::string> TableNames();

    void CreateTable(const CreateTable& create);
    void DropTable(const TableInfo& table);
    void CreateIndex(const TableInfo& table, const std::string& name, bool unique,
                     const std::vector<int>& fields);
    void DropIndex(const TableInfo& table, const IndexInfo& index);

    std::optional<SequenceInfo> Sequence(const TableInfo& table);
    void SetSequence(const TableInfo& table, const SequenceInfo& sequence);
    void DropSequence(const TableInfo& table);

private:
    TablePtr Load(const std::string& table);
    // Empties the cache when the schema or the rollback count moved since it was filled.
    void Revalidate();

    SqliteDb& db_;
    std::unordered_map<std::string, TablePtr> cache_;
    int64_t cacheSchema_ = -1;
    uint64_t cacheRollbacks_ = 0;
};

} // namespace msql
