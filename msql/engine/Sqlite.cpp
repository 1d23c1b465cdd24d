// RAII helpers over the SQLite C API and the mapping of SQLite failures to mSQL error texts.
#include "engine/Sqlite.h"

#include "engine/Error.h"
#include "engine/Patterns.h"
#include "engine/Values.h"

#include <cstring>

namespace msql {

namespace {

constexpr size_t kMaxCachedStatements = 128;

// The name of a database as its clients know it: the file name without folder and suffix.
std::string DatabaseName(sqlite3* db) {
    const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
    std::string name = file ? file : "";
    if (size_t slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    if (size_t dot = name.rfind(".msql"); dot != std::string::npos && dot + 5 == name.size()) name.erase(dot);
    return name;
}

std::string SystemErrorText(sqlite3* db) {
    int code = db ? sqlite3_system_errno(db) : 0;
    return code ? std::strerror(code) : "unknown cause";
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::string DamagedDatabaseText(const std::string& name, const std::string& damage) {
    return "Database \"" + name + "\" is damaged: " + damage;
}

void ThrowSqliteError(sqlite3* db, int rc) {
    // SQLite's own texts never reach a client: each failure is told in mSQL's manner, naming the
    // limit or the damage.
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw Error("Database is locked by another connection; gave up waiting for it");
    case SQLITE_CONSTRAINT:
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            throw Error("Non unique value for unique index");
        break;
    case SQLITE_NOMEM:
        throw Error("Out of memory");
    case SQLITE_FULL:
        throw Error("Disk full: can't write to database \"" + DatabaseName(db) + "\"");
    case SQLITE_IOERR:
        throw Error("I/O error on database \"" + DatabaseName(db) + "\" (" + SystemErrorText(db) + ")");
    case SQLITE_READONLY:
        throw Error("Database \"" + DatabaseName(db) + "\" is read-only");
    case SQLITE_CANTOPEN:
        throw Error("Can't open database \"" + DatabaseName(db) + "\" (" + SystemErrorText(db) + ")");
    case SQLITE_CORRUPT:
        throw Error(DamagedDatabaseText(DatabaseName(db), "its file is corrupt"));
    case SQLITE_NOTADB:
        throw Error(DamagedDatabaseText(DatabaseName(db), "its file is not a database"));
    case SQLITE_TOOBIG:
        throw Error("Value too large (the limit is " +
                    std::to_string(db ? sqlite3_limit(db, SQLITE_LIMIT_LENGTH, -1) : 1000000000) + " bytes)");
    case SQLITE_ERROR: {
        std::string_view text = db ? sqlite3_errmsg(db) : "";
        // Raised by the engine's own SQL functions, already in mSQL's words.
        if (text == kMalformedRegexText) throw Error(std::string(text));
        // Storage the catalog names is missing: the file was changed behind the engine's back or
        // never completed.
        if (StartsWith(text, "no such table: msql_"))
            throw Error(DamagedDatabaseText(DatabaseName(db), "its catalog is incomplete"));
        if (StartsWith(text, "no such table") || StartsWith(text, "no such column") ||
            StartsWith(text, "no such index"))
            throw Error(DamagedDatabaseText(DatabaseName(db), "a table's storage is missing"));
        break;
    }
    default:
        break;
    }
    throw Error("Internal error in the storage engine (code " + std::to_string(rc) + ")");
}

Stmt::~Stmt() {
    if (!busy_) {
        sqlite3_finalize(stmt_);
    } else {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        *busy_ = false;
    }
}

void Stmt::Bind(int index, int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
}
void Stmt::Bind(int index, double value) {
    sqlite3_bind_double(stmt_, index, value);
}
void Stmt::Bind(int index, std::string_view text) {
    sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}
void Stmt::BindNull(int index) {
    sqlite3_bind_null(stmt_, index);
}
void Stmt::Bind(int index, const StoredValue& value) {
    switch (value.kind) {
    case StoredValue::Kind::Null:
        BindNull(index);
        break;
    case StoredValue::Kind::Integer:
        Bind(index, value.intValue);
        break;
    case StoredValue::Kind::Real:
        Bind(index, value.realValue);
        break;
    case StoredValue::Kind::Text:
        Bind(index, std::string_view(value.text));
        break;
    }
}

bool Stmt::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    ThrowSqliteError(db_, sqlite3_extended_errcode(db_));
}

void Stmt::Run() {
    while (Step()) {
    }
}

std::string Stmt::Text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!p) return {};
    return std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

SqliteDb::SqliteDb(const std::string& path, bool create, int busyTimeoutMs) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        int code = db_ ? sqlite3_system_errno(db_) : 0;
        sqlite3_close(db_);
        db_ = nullptr;
        std::string name = path.substr(path.rfind('/') + 1);
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".msql") == 0) name.resize(name.size() - 5);
        throw Error("Can't open database \"" + name + "\" (" +
                    (code                 ? std::strerror(code)
                     : rc == SQLITE_NOMEM ? "out of memory"
                                          : "unknown cause") +
                    ")");
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
    // WAL with NORMAL sync: commits survive a crash of the program, and a write costs no fsync.
    sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
}

SqliteDb::~SqliteDb() {
    for (auto& [sql, cached] : cache_)
        sqlite3_finalize(cached->stmt);
    sqlite3_close(db_);
}

Stmt SqliteDb::Prepare(const std::string& sql) {
    auto it = cache_.find(sql);
    if (it != cache_.end() && !it->second->busy) {
        it->second->busy = true;
        return Stmt(db_, it->second->stmt, &it->second->busy);
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) ThrowSqliteError(db_, sqlite3_extended_errcode(db_));
    if (it != cache_.end() || cache_.size() >= kMaxCachedStatements) return Stmt(db_, stmt, nullptr);
    auto cached = std::make_unique<Cached>();
    cached->stmt = stmt;
    cached->busy = true;
    bool* busy = &cached->busy;
    cache_.emplace(sql, std::move(cached));
    return Stmt(db_, stmt, busy);
}

void SqliteDb::Exec(const std::string& sql) {
    char* message = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) ThrowSqliteError(db_, sqlite3_extended_errcode(db_));
}

// The transaction statements are prepared once per connection, like the generated ones.
Transaction::Transaction(SqliteDb& db, bool write) : db_(db) {
    db_.Prepare(write ? "BEGIN IMMEDIATE" : "BEGIN").Run();
    open_ = true;
}

Transaction::~Transaction() {
    if (!open_) return;
    db_.NoteRollback();
    // Nothing to report from here: a failed rollback leaves SQLite rolling back on its own when
    // the connection next starts a transaction or closes.
    try {
        db_.Prepare("ROLLBACK").Run();
    } catch (const std::exception&) {
    }
}

void Transaction::Commit() {
    db_.Prepare("COMMIT").Run();
    open_ = false;
}

std::string NumberedName(char prefix, int64_t number) {
    std::string name(1, prefix);
    name += std::to_string(number);
    return name;
}

std::string Quote(std::string_view identifier) {
    std::string out = "\"";
    for (char c : identifier) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace msql
