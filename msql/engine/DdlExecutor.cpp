// CREATE / DROP of tables, indexes and sequences with mSQL's checks and messages.
#include "engine/Error.h"
#include "engine/Executor.h"

#include "msql.h"

#include <limits>
#include <set>

namespace msql {

namespace {

constexpr size_t kMaxFields = 75;
constexpr size_t kMaxIndexFields = 9;

QueryOutcome Done() {
    return QueryOutcome{1, nullptr};
}

void CheckIntRange(int64_t value) {
    if (value < -std::numeric_limits<int>::max() || value > std::numeric_limits<int>::max())
        throw Error("Numeric value outside field value range");
}

} // namespace

QueryOutcome ExecuteCreateTable(ExecContext& ctx, const CreateTable& s) {
    Transaction tx(ctx.db, true);
    if (ctx.catalog.Find(s.table)) throw Error("Table \"" + s.table + "\" exists");
    std::set<std::string> names;
    for (const auto& c : s.columns) {
        if (!names.insert(c.name).second) throw Error("Duplicate field name '" + c.name + "'");
    }
    if (s.columns.size() > kMaxFields) throw Error("Too many fields in table (75 Max)");
    ctx.catalog.CreateTable(s);
    tx.Commit();
    return Done();
}

QueryOutcome ExecuteDropTable(ExecContext& ctx, const DropTable& s) {
    Transaction tx(ctx.db, true);
    ctx.catalog.DropTable(*ctx.catalog.Require(s.table));
    tx.Commit();
    return Done();
}

QueryOutcome ExecuteCreateIndex(ExecContext& ctx, const CreateIndex& s) {
    Transaction tx(ctx.db, true);
    TablePtr entry = ctx.catalog.Require(s.table);
    const TableInfo& table = *entry;
    if (table.FindColumn(s.name) || table.FindIndex(s.name)) throw Error("Bad index name '" + s.name + "'");
    if (s.fields.size() > kMaxIndexFields) throw Error("Too many fields in index");
    std::vector<int> fields;
    for (const auto& name : s.fields) {
        const ColumnInfo* column = table.FindColumn(name);
        if (!column) throw Error("Unknown field '" + name + "'");
        if (column->type == TEXT_TYPE) throw Error("Can't index on a TEXT field!");
        fields.push_back(column->position);
    }
    for (int f : fields) {
        const ColumnInfo& column = table.columns[static_cast<size_t>(f)];
        Stmt check = ctx.db.Prepare("SELECT 1 FROM " + table.Storage() + " WHERE " + column.Storage() +
                                    " IS NULL LIMIT 1");
        if (check.Step()) throw Error("Index field \"" + column.name + "\" cannot be NULL");
    }
    ctx.catalog.CreateIndex(table, s.name, s.unique, fields);
    tx.Commit();
    return Done();
}

QueryOutcome ExecuteDropIndex(ExecContext& ctx, const DropIndex& s) {
    Transaction tx(ctx.db, true);
    TablePtr entry = ctx.catalog.Require(s.table);
    const TableInfo& table = *entry;
    const IndexInfo* index = table.FindIndex(s.name);
    if (!index) throw Error("Unknown index '" + s.name + "' for '" + s.table + "'");
    ctx.catalog.DropIndex(table, *index);
    tx.Commit();
    return Done();
}

QueryOutcome ExecuteCreateSequence(ExecContext& ctx, const CreateSequence& s) {
    CheckIntRange(s.step);
    CheckIntRange(s.value);
    Transaction tx(ctx.db, true);
    TablePtr entry = ctx.catalog.Require(s.table);
    const TableInfo& table = *entry;
    if (ctx.catalog.Sequence(table)) throw Error("Table '" + s.table + "' already has a sequence");
    ctx.catalog.SetSequence(table, SequenceInfo{s.step, s.value});
    tx.Commit();
    return Done();
}

QueryOutcome ExecuteDropSequence(ExecContext& ctx, const DropSequence& s) {
    Transaction tx(ctx.db, true);
    TablePtr entry = ctx.catalog.Require(s.table);
    const TableInfo& table = *entry;
    if (!ctx.catalog.Sequence(table)) throw Error("Table '" + s.table + "' does not have a sequence");
    ctx.catalog.DropSequence(table);
    tx.Commit();
    return Done();
}

} // namespace msql
