// Catalog storage. Each mSQL table is kept as SQLite table "t<id>" with columns "c<pos>" (plus
// "p<pos>", the decimals of a REAL value) and "ts" (the row's last-modified time); each index as
// SQLite index "i<table id>_<index id>". Only these generated names ever appear in SQLite SQL.
#include "engine/Catalog.h"

#include "engine/Error.h"

#include "msql.h"

#include <sstream>

namespace msql {

namespace {

std::string IndexStorage(const TableInfo& table, int64_t indexId) {
    std::string name = NumberedName('i', table.id);
    name += '_';
    name += std::to_string(indexId);
    return Quote(name);
}

std::string JoinFields(const std::vector<int>& fields) {
    std::string out;
    for (int f : fields) {
        if (!out.empty()) out += ',';
        out += std::to_string(f);
    }
    return out;
}

std::vector<int> SplitFields(const std::string& text) {
    std::vector<int> fields;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ','))
        fields.push_back(std::stoi(part));
    return fields;
}

} // namespace

const ColumnInfo* TableInfo::FindColumn(const std::string& column) const {
    for (const auto& c : columns) {
        if (c.name == column) return &c;
    }
    return nullptr;
}

const IndexInfo* TableInfo::FindIndex(const std::string& index) const {
    for (const auto& i : indexes) {
        if (i.name == index) return &i;
    }
    return nullptr;
}

void Catalog::Initialize(SqliteDb& db) {
    db.Exec(
        "PRAGMA journal_mode=WAL;"
        "CREATE TABLE IF NOT EXISTS msql_tables(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL "
        "UNIQUE);"
        "CREATE TABLE IF NOT EXISTS msql_columns(table_id INTEGER NOT NULL, pos INTEGER NOT NULL,"
        " name TEXT NOT NULL, type INTEGER NOT NULL, length INTEGER NOT NULL, not_null INTEGER NOT NULL,"
        " PRIMARY KEY(table_id, pos));"
        "CREATE TABLE IF NOT EXISTS msql_indexes(table_id INTEGER NOT NULL, id INTEGER NOT NULL,"
        " name TEXT NOT NULL, is_unique INTEGER NOT NULL, fields TEXT NOT NULL, PRIMARY KEY(table_id, id));"
        "CREATE TABLE IF NOT EXISTS msql_sequences(table_id INTEGER PRIMARY KEY, step INTEGER NOT NULL,"
        " value INTEGER NOT NULL);");
}

bool Catalog::IsComplete(SqliteDb& db) {
    Stmt s = db.Prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                        "('msql_tables', 'msql_columns', 'msql_indexes', 'msql_sequences')");
    return s.Step() && s.Int(0) == 4;
}

void Catalog::Revalidate() {
    int64_t schema = 0;
    {
        Stmt s = db_.Prepare("PRAGMA schema_version");
        if (s.Step()) schema = s.Int(0);
    }
    if (schema != cacheSchema_ || db_.Rollbacks() != cacheRollbacks_) {
        cache_.clear();
        cacheSchema_ = schema;
        cacheRollbacks_ = db_.Rollbacks();
    }
}

TablePtr Catalog::Find(const std::string& table) {
    Revalidate();
    if (auto it = cache_.find(table); it != cache_.end()) return it->second;
    TablePtr info = Load(table);
    if (info) cache_.emplace(table, info);
    return info;
}

TablePtr Catalog::Load(const std::string& table) {
    auto info = std::make_shared<TableInfo>();
    {
        Stmt s = db_.Prepare("SELECT id FROM msql_tables WHERE name = ?");
        s.Bind(1, std::string_view(table));
        if (!s.Step()) return nullptr;
        info->id = s.Int(0);
    }
    info->name = table;
    info->storage = Quote(NumberedName('t', info->id));
    {
        Stmt s = db_.Prepare(
            "SELECT pos, name, type, length, not_null FROM msql_columns WHERE table_id = ? ORDER BY pos");
        s.Bind(1, info->id);
        while (s.Step()) {
            ColumnInfo c;
            c.position = static_cast<int>(s.Int(0));
            c.name = s.Text(1);
            c.type = static_cast<int>(s.Int(2));
            c.length = static_cast<int>(s.Int(3));
            c.notNull = s.Int(4) != 0;
            c.storage = NumberedName('c', c.position);
            if (c.type == REAL_TYPE) c.decimals = NumberedName('p', c.position);
            info->columns.push_back(std::move(c));
        }
    }
    {
        Stmt s = db_.Prepare(
            "SELECT id, name, is_unique, fields FROM msql_indexes WHERE table_id = ? ORDER BY id");
        s.Bind(1, info->id);
        while (s.Step()) {
            IndexInfo i;
            i.id = s.Int(0);
            i.name = s.Text(1);
            i.unique = s.Int(2) != 0;
            i.fields = SplitFields(s.Text(3));
            for (int f : i.fields) {
                if (f >= 0 && static_cast<size_t>(f) < info->columns.size())
                    info->columns[static_cast<size_t>(f)].indexed = true;
            }
            info->indexes.push_back(std::move(i));
        }
    }
    // The INSERT of a whole row: every column (and a REAL's decimals) in order, then "ts".
    std::string names, marks;
    for (const auto& c : info->columns) {
        names += c.storage + ", ";
        marks += "?, ";
        if (c.type == REAL_TYPE) {
            names += c.decimals + ", ";
            marks += "?, ";
        }
    }
    info->insertSql = "INSERT INTO " + info->storage + " (" + names + "ts) VALUES (" + marks + "?)";
    return info;
}

TablePtr Catalog::Require(const std::string& table) {
    TablePtr info = Find(table);
    if (!info) throw Error("Unknown table \"" + table + "\"");
    return info;
}

std::vector<std::string> Catalog::TableNames() {
    std::vector<std::string> names;
    Stmt s = db_.Prepare("SELECT name FROM msql_tables ORDER BY id");
    while (s.Step())
        names.push_back(s.Text(0));
    return names;
}

void Catalog::CreateTable(const msql::CreateTable& create) {
    int64_t id;
    {
        Stmt s = db_.Prepare("INSERT INTO msql_tables(name) VALUES (?)");
        s.Bind(1, std::string_view(create.table));
        s.Run();
        id = sqlite3_last_insert_rowid(db_.Handle());
    }
    std::string columns;
    for (size_t pos = 0; pos < create.columns.size(); ++pos) {
        const ColumnDef& def = create.columns[pos];
        Stmt s = db_.Prepare("INSERT INTO msql_columns(table_id, pos, name, type, length, not_null) VALUES "
                             "(?, ?, ?, ?, ?, ?)");
        s.Bind(1, id);
        s.Bind(2, static_cast<int64_t>(pos));
        s.Bind(3, std::string_view(def.name));
        s.Bind(4, static_cast<int64_t>(def.type));
        s.Bind(5, static_cast<int64_t>(def.length));
        s.Bind(6, static_cast<int64_t>(def.notNull ? 1 : 0));
        s.Run();
        columns += NumberedName('c', pos) + ", ";
        if (def.type == REAL_TYPE) columns += NumberedName('p', pos) + ", ";
    }
    db_.Exec("CREATE TABLE " + Quote(NumberedName('t', id)) + " (" + columns + "ts INTEGER)");
    cache_.clear();
}

void Catalog::DropTable(const TableInfo& table) {
    db_.Exec("DROP TABLE " + table.Storage());
    for (const char* sql :
         {"DELETE FROM msql_tables WHERE id = ?", "DELETE FROM msql_columns WHERE table_id = ?",
          "DELETE FROM msql_indexes WHERE table_id = ?", "DELETE FROM msql_sequences WHERE table_id = ?"}) {
        Stmt s = db_.Prepare(sql);
        s.Bind(1, table.id);
        s.Run();
    }
    cache_.clear();
}

void Catalog::CreateIndex(const TableInfo& table, const std::string& name, bool unique,
                          const std::vector<int>& fields) {
    int64_t id = 1;
    {
        Stmt s = db_.Prepare("SELECT coalesce(max(id), 0) + 1 FROM msql_indexes WHERE table_id = ?");
        s.Bind(1, table.id);
        if (s.Step()) id = s.Int(0);
    }
    {
        Stmt s = db_.Prepare(
            "INSERT INTO msql_indexes(table_id, id, name, is_unique, fields) VALUES (?, ?, ?, ?, ?)");
        s.Bind(1, table.id);
        s.Bind(2, id);
        s.Bind(3, std::string_view(name));
        s.Bind(4, static_cast<int64_t>(unique ? 1 : 0));
        s.Bind(5, std::string_view(JoinFields(fields)));
        s.Run();
    }
    std::string columns;
    for (int f : fields) {
        if (!columns.empty()) columns += ", ";
        columns += NumberedName('c', f);
    }
    db_.Exec(std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + IndexStorage(table, id) +
             " ON " + table.Storage() + " (" + columns + ")");
    cache_.clear();
}

void Catalog::DropIndex(const TableInfo& table, const IndexInfo& index) {
    db_.Exec("DROP INDEX " + IndexStorage(table, index.id));
    Stmt s = db_.Prepare("DELETE FROM msql_indexes WHERE table_id = ? AND id = ?");
    s.Bind(1, table.id);
    s.Bind(2, index.id);
    s.Run();
    cache_.clear();
}

std::optional<SequenceInfo> Catalog::Sequence(const TableInfo& table) {
    Stmt s = db_.Prepare("SELECT step, value FROM msql_sequences WHERE table_id = ?");
    s.Bind(1, table.id);
    if (!s.Step()) return std::nullopt;
    return SequenceInfo{s.Int(0), s.Int(1)};
}

void Catalog::SetSequence(const TableInfo& table, const SequenceInfo& sequence) {
    Stmt s = db_.Prepare("INSERT OR REPLACE INTO msql_sequences(table_id, step, value) VALUES (?, ?, ?)");
    s.Bind(1, table.id);
    s.Bind(2, sequence.step);
    s.Bind(3, sequence.value);
    s.Run();
}

void Catalog::DropSequence(const TableInfo& table) {
    Stmt s = db_.Prepare("DELETE FROM msql_sequences WHERE table_id = ?");
    s.Bind(1, table.id);
    s.Run();
}

} // namespace msql
