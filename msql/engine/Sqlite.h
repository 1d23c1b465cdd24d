// Thin RAII helpers over the SQLite C API: a database handle, prepared statements and transactions.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace msql {

struct StoredValue;

// Throws Error for a failed SQLite call with an mSQL-style text: lock time-outs, unique-index
// violations, limits and damage each have their own; no SQLite text is passed on.
[[noreturn]] void ThrowSqliteError(sqlite3* db, int rc);

// "Database "<name>" is damaged: <damage>".
std::string DamagedDatabaseText(const std::string& name, const std::string& damage);

// A prepared statement in use: reset and cleared when it goes out of scope.
class Stmt {
public:
    // `busy` (cached statements only) is cleared when this use ends.
    Stmt(sqlite3* db, sqlite3_stmt* stmt, bool* busy) : db_(db), stmt_(stmt), busy_(busy) {}
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    ~Stmt();

    // Binds by 1-based position.
    void Bind(int index, int64_t value);
    void Bind(int index, double value);
    void Bind(int index, std::string_view text);
    void BindNull(int index);
    void Bind(int index, const StoredValue& value);

    // Steps once: true when a row is available, false when done. Throws on error.
    bool Step();
    // Steps to completion.
    void Run();

    int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    double Real(int column) const { return sqlite3_column_double(stmt_, column); }
    bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    std::string Text(int column) const;
    sqlite3_stmt* Handle() const { return stmt_; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
    bool* busy_; // null: the statement is owned and finalized here
};

// An open SQLite database file with a small cache of prepared statements.
class SqliteDb {
public:
    // Opens an existing file (create = false) or creates it. A locked database is waited for up
    // to busyTimeoutMs before a statement fails. Throws Error on failure.
    SqliteDb(const std::string& path, bool create, int busyTimeoutMs);
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    ~SqliteDb();

    sqlite3* Handle() const { return db_; }
    // A cached prepared statement for generated SQL text.
    Stmt Prepare(const std::string& sql);
    // Runs statements without results.
    void Exec(const std::string& sql);

    // How many transactions were rolled back on this connection (state cached beside the data,
    // such as the catalog, is only good while this stays the same).
    uint64_t Rollbacks() const { return rollbacks_; }
    void NoteRollback() { ++rollbacks_; }

private:
    sqlite3* db_ = nullptr;
    uint64_t rollbacks_ = 0;
    struct Cached {
        sqlite3_stmt* stmt = nullptr;
        bool busy = false;
    };
    std::unordered_map<std::string, std::unique_ptr<Cached>> cache_;
};

// BEGIN IMMEDIATE (write) or BEGIN (read) ... COMMIT; rolls back when not committed.
class Transaction {
public:
    Transaction(SqliteDb& db, bool write);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    void Commit();

private:
    SqliteDb& db_;
    bool open_ = false;
};

// A generated name: a letter followed by a number ("c3", "t12").
std::string NumberedName(char prefix, int64_t number);

// Double-quotes a generated SQLite identifier.
std::string Quote(std::string_view identifier);

} // namespace msql
