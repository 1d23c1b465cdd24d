// The embedded engine's connection: each mSQL database is the SQLite file <name>.msql in the data
// folder. Several connections (also from several processes) may share a folder; SQLite's locking
// serialises writers and a busy database waits a bounded time.
#include "engine/Session.h"

#include "engine/Error.h"
#include "engine/Parser.h"
#include "engine/Patterns.h"

#include "msql.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace msql {

namespace {

constexpr const char* kSuffix = ".msql";

// Database names become file names: refuse anything that could leave the data folder.
bool ValidDatabaseName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name[0] == '.') return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32) return false;
    }
    return true;
}

// Hidden (leading '.'), so never listed or selectable: a database being created.
const std::string kCreatingPrefix = ".creating.";

void RemoveDatabaseFiles(const std::string& path) {
    for (const char* extra : {"-wal", "-shm", "-journal"})
        ::unlink((path + extra).c_str());
    ::unlink(path.c_str());
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void MakeFolder(const std::string& path) {
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST)
            throw Error("Can't create data folder \"" + path + "\" (" + std::strerror(errno) + ")");
    }
}

} // namespace

struct Session::Database {
    Database(const std::string& path, int busyTimeoutMs)
        : sqlite(path, false, busyTimeoutMs), catalog(sqlite) {
        RegisterPatternFunctions(sqlite.Handle());
    }
    SqliteDb sqlite;
    Catalog catalog;
};

Session::Session(std::string dataDir, std::string user)
    : dataDir_(std::move(dataDir)), user_(std::move(user)) {
    MakeFolder(dataDir_);
    if (const char* env = std::getenv("MSQL_BUSY_TIMEOUT"); env && *env) {
        long ms = std::strtol(env, nullptr, 10);
        busyTimeoutMs_ = static_cast<int>(std::clamp(ms, 0L, 3600000L));
    }
    if (const char* env = std::getenv("MSQL_RESULT_LIMIT"); env && *env) {
        if (size_t limit = ParseByteCount(env)) resultLimit_ = limit;
    }
}

size_t Session::ParseByteCount(std::string_view text) {
    size_t value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (SIZE_MAX - 9) / 10) return 0;
        value = value * 10 + static_cast<size_t>(text[i] - '0');
    }
    if (i == 0) return 0;
    int shift = 0;
    if (i + 1 == text.size()) {
        switch (text[i]) {
        case 'k':
        case 'K':
            shift = 10;
            break;
        case 'm':
        case 'M':
            shift = 20;
            break;
        case 'g':
        case 'G':
            shift = 30;
            break;
        default:
            return 0;
        }
    } else if (i != text.size()) {
        return 0;
    }
    if (value > (SIZE_MAX >> shift)) return 0;
    return value << shift;
}

Session::~Session() = default;

std::string Session::DefaultDataDir() {
    const char* env = std::getenv("MSQL_DATA_DIR");
    return env && *env ? env : "./msqldata";
}

std::string Session::PathOf(const std::string& name) const {
    return dataDir_ + "/" + name + kSuffix;
}

void Session::SelectDatabase(const std::string& name) {
    // A failed selection leaves no database selected (mSQL 4.2 kept the bad name).
    db_.reset();
    dbName_.clear();
    if (!ValidDatabaseName(name) || !FileExists(PathOf(name)))
        throw Error("Unknown database \"" + name + "\"");
    auto db = std::make_unique<Database>(PathOf(name), busyTimeoutMs_);
    // A file without the whole catalog (left by an interrupted create of an older version, or
    // put there by hand) would fail every statement: refuse it here, saying why.
    if (!Catalog::IsComplete(db->sqlite))
        throw Error(DamagedDatabaseText(name, "its catalog is incomplete (drop it and create it again)"));
    db_ = std::move(db);
    dbName_ = name;
}

void Session::CreateDatabase(const std::string& name) {
    if (!ValidDatabaseName(name))
        throw Error("Error creating database (Invalid database name \"" + name + "\")");
    std::string path = PathOf(name);
    if (FileExists(path)) throw Error("Error creating database : " + name + " exists!");
    RemoveAbandonedCreations(name);
    // The new database is built under a hidden name and moved into place complete, so that a
    // process killed meanwhile leaves either no database or a whole one.
    static std::atomic<unsigned> serial{0};
    std::string scratch = dataDir_ + "/" + kCreatingPrefix + name + "." + std::to_string(::getpid()) + "." +
                          std::to_string(serial++);
    RemoveDatabaseFiles(scratch);
    try {
        {
            SqliteDb db(scratch, true, busyTimeoutMs_);
            Catalog::Initialize(db);
        } // closing the last connection folds the write-ahead log into the file
        if (::renameat2(AT_FDCWD, scratch.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
            int code = errno;
            if (code == EEXIST) throw Error("Error creating database : " + name + " exists!");
            // File systems without no-replace renames: a hard link fails just as well on an
            // existing name.
            if ((code != EINVAL && code != ENOSYS) || ::link(scratch.c_str(), path.c_str()) != 0) {
                if (errno == EEXIST) throw Error("Error creating database : " + name + " exists!");
                throw Error("Error creating database (" + std::string(std::strerror(errno)) + ")");
            }
        }
    } catch (...) {
        RemoveDatabaseFiles(scratch);
        throw;
    }
    RemoveDatabaseFiles(scratch);
}

void Session::RemoveAbandonedCreations(const std::string& name) const {
    // "<prefix><name>.<pid>.<serial>" of a process that no longer runs.
    const std::string prefix = kCreatingPrefix + name + ".";
    DIR* dir = ::opendir(dataDir_.c_str());
    if (!dir) return;
    std::vector<std::string> abandoned;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view file = entry->d_name;
        if (file.substr(0, prefix.size()) != prefix) continue;
        std::string_view rest = file.substr(prefix.size());
        size_t dot = rest.find('.');
        if (dot == 0 || dot == std::string_view::npos) continue;
        std::string_view pidText = rest.substr(0, dot);
        std::string_view serialText = rest.substr(dot + 1);
        auto allDigits = [](std::string_view t) {
            return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
        };
        if (!allDigits(pidText) || !allDigits(serialText) || pidText.size() > 9) continue;
        pid_t pid = static_cast<pid_t>(std::stol(std::string(pidText)));
        if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) abandoned.emplace_back(file);
    }
    ::closedir(dir);
    for (const auto& file : abandoned)
        RemoveDatabaseFiles(dataDir_ + "/" + file);
}

void Session::DropDatabase(const std::string& name) {
    if (!ValidDatabaseName(name) || !FileExists(PathOf(name)))
        throw Error("Error dropping database : " + name + " doesn't exist");
    if (dbName_ == name) {
        db_.reset();
        dbName_.clear();
    }
    std::string path = PathOf(name);
    for (const char* extra : {"-wal", "-shm", "-journal"})
        ::unlink((path + extra).c_str());
    if (::unlink(path.c_str()) != 0)
        throw Error("Error dropping database (" + std::string(std::strerror(errno)) + ")");
}

std::vector<std::string> Session::ListDatabases() const {
    std::vector<std::string> names;
    DIR* dir = ::opendir(dataDir_.c_str());
    if (!dir) throw Error("Can't open directory \"" + dataDir_ + "\" (" + std::strerror(errno) + ")");
    const size_t suffixLength = std::strlen(kSuffix);
    while (dirent* entry = ::readdir(dir)) {
        std::string file = entry->d_name;
        if (file.empty() || file[0] == '.' || file.size() <= suffixLength) continue;
        if (file.compare(file.size() - suffixLength, suffixLength, kSuffix) != 0) continue;
        names.push_back(file.substr(0, file.size() - suffixLength));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

Session::Database& Session::Current() {
    if (!db_) throw Error("No Database Selected");
    return *db_;
}

QueryOutcome Session::Query(std::string_view sql) {
    Database& db = Current();
    Statement statement = Parse(sql);
    ExecContext ctx{db.sqlite, db.catalog, user_, resultLimit_};
    return Execute(ctx, statement);
}

ResultSet MakeList(const std::string& column, const std::vector<std::string>& values) {
    ResultSet list;
    FieldInfo f;
    f.name = column;
    f.table = "mSQL Catalog";
    f.type = CHAR_TYPE;
    f.length = NAME_LEN;
    list.fields.push_back(std::move(f));
    for (const auto& v : values)
        list.AddText(v);
    return list;
}

ResultSet Session::ListTables() {
    Database& db = Current();
    return MakeList("Table", db.catalog.TableNames());
}

ResultSet Session::ListFields(const std::string& table) {
    Database& db = Current();
    TablePtr entry = db.catalog.Require(table);
    const TableInfo& info = *entry;
    ResultSet list;
    for (const auto& c : info.columns) {
        FieldInfo f;
        f.name = c.name;
        f.table = info.name;
        f.type = c.type;
        f.length = c.length;
        f.flags = c.notNull ? NOT_NULL_FLAG : 0;
        list.fields.push_back(std::move(f));
    }
    // Index entries: most key fields first, ties in creation order.
    std::vector<const IndexInfo*> indexes;
    for (const auto& i : info.indexes)
        indexes.push_back(&i);
    std::stable_sort(indexes.begin(), indexes.end(), [](const IndexInfo* a, const IndexInfo* b) {
        return a->fields.size() > b->fields.size();
    });
    for (const IndexInfo* i : indexes) {
        FieldInfo f;
        f.name = i->name;
        f.table = info.name;
        f.type = IDX_TYPE;
        f.length = 0;
        f.flags = i->unique ? UNIQUE_FLAG : 0;
        list.fields.push_back(std::move(f));
    }
    return list;
}

ResultSet Session::ListIndex(const std::string& table, const std::string& index) {
    Database& db = Current();
    std::vector<std::string> rows;
    if (auto info = db.catalog.Find(table)) {
        if (const IndexInfo* i = info->FindIndex(index)) {
            rows.push_back("avl");
            for (int f : i->fields)
                rows.push_back(info->columns[static_cast<size_t>(f)].name);
        }
    }
    return MakeList("Index", rows);
}

SequenceInfo Session::GetSequence(const std::string& table) {
    Database& db = Current();
    auto seq = db.catalog.Sequence(*db.catalog.Require(table));
    if (!seq) throw Error("No sequence defined on '" + table + "'");
    return *seq;
}

} // namespace msql
