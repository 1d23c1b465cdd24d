// INSERT, UPDATE and DELETE: values are checked against the catalog (types, ranges, lengths,
// NOT NULL, indexed columns) and written with bound parameters.
#include "engine/Error.h"
#include "engine/Executor.h"
#include "engine/Scope.h"
#include "engine/Values.h"
#include "net/Protocol.h"

#include "msql.h"

#include <ctime>

namespace msql {

namespace {

int64_t Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

// Refuses NULL for NOT NULL columns and for columns that are part of an index.
void CheckNull(const ColumnInfo& column, const StoredValue& value) {
    if (value.kind != StoredValue::Kind::Null) return;
    if (column.notNull) throw Error("Field \"" + column.name + "\" cannot be null");
    if (column.indexed) throw Error("Index field \"" + column.name + "\" cannot be NULL");
}

// Binds a column's value (and the decimals of a REAL) from position `index` on; returns the next.
int BindColumn(Stmt& stmt, int index, const ColumnInfo& column, const StoredValue& value) {
    stmt.Bind(index++, value);
    if (column.type == REAL_TYPE) {
        if (value.kind == StoredValue::Kind::Null)
            stmt.BindNull(index++);
        else
            stmt.Bind(index++, static_cast<int64_t>(value.decimals));
    }
    return index;
}

// A stored row must be readable over the network: its row reply ("<length>:<text>" per column,
// "-2:" for NULL, a newline) must fit one packet. Writes that would make a longer row are refused,
// on the embedded engine too, so that every row written can be read back from msqld.
constexpr size_t kMaxRowReply = net::kMaxPacket;

// The longest text a column can print: CHAR(n) prints at most n bytes, TEXT any length.
size_t LongestText(const ColumnInfo& column) {
    switch (column.type) {
    case CHAR_TYPE:
        return static_cast<size_t>(column.length);
    case TEXT_TYPE:
        return kMaxRowReply;
    case REAL_TYPE:
        return 330; // DBL_MAX in fixed notation, a sign and decimals
    default:
        return 24; // integers, money, dates and times
    }
}

size_t NumberWidth(size_t n) {
    size_t width = 1;
    for (; n >= 10; n /= 10)
        ++width;
    return width;
}

// True when no row of the table can outgrow a reply packet, whatever it holds.
bool RowsAlwaysFit(const TableInfo& table) {
    size_t longest = 1;
    for (const auto& c : table.columns) {
        const size_t text = LongestText(c);
        if (text >= kMaxRowReply) return false;
        longest += NumberWidth(text) + 1 + text;
    }
    return longest <= kMaxRowReply;
}

// The size of one value in a row reply.
size_t ValueReplySize(const ColumnInfo& column, const StoredValue& value, std::string& scratch) {
    size_t length = 0;
    switch (value.kind) {
    case StoredValue::Kind::Null:
        return 3;
    case StoredValue::Kind::Text:
        length = value.text.size();
        break;
    case StoredValue::Kind::Real:
        scratch.clear();
        AppendReal(scratch, value.realValue, value.decimals);
        length = scratch.size();
        break;
    case StoredValue::Kind::Integer:
        scratch.clear();
        if (column.type == MONEY_TYPE)
            AppendMoney(scratch, value.intValue);
        else if (column.type == DATE_TYPE)
            AppendDate(scratch, value.intValue);
        else if (column.type == TIME_TYPE)
            AppendTime(scratch, value.intValue);
        else
            AppendInteger(scratch, value.intValue);
        length = scratch.size();
        break;
    }
    return NumberWidth(length) + 1 + length;
}

// Refuses a row (values in column order) whose reply would not fit one packet.
void CheckRowSize(const TableInfo& table, const std::vector<StoredValue>& values) {
    std::string scratch;
    size_t size = 1;
    for (const auto& c : table.columns)
        size += ValueReplySize(c, values[static_cast<size_t>(c.position)], scratch);
    if (size > kMaxRowReply)
        throw Error("Row too large for table \"" + table.name + "\": a row must fit one 128 KiB packet (" +
                    std::to_string(size) + " bytes)");
}

// The values of a row from an UPDATE's RETURNING columns (each column, and the decimals of a REAL).
void ReadReturnedRow(const TableInfo& table, const Stmt& stmt, std::vector<StoredValue>& values) {
    int index = 0;
    for (const auto& c : table.columns) {
        StoredValue& v = values[static_cast<size_t>(c.position)];
        const int column = index++;
        const int decimals = c.type == REAL_TYPE ? index++ : -1;
        v.text.clear();
        if (stmt.IsNull(column)) {
            v.kind = StoredValue::Kind::Null;
        } else if (c.type == CHAR_TYPE || c.type == TEXT_TYPE) {
            v.kind = StoredValue::Kind::Text;
            v.text = stmt.Text(column);
        } else if (c.type == REAL_TYPE) {
            v.kind = StoredValue::Kind::Real;
            v.realValue = stmt.Real(column);
            v.decimals = static_cast<int>(stmt.Int(decimals));
        } else {
            v.kind = StoredValue::Kind::Integer;
            v.intValue = stmt.Int(column);
        }
    }
}

Scope SingleTableScope(TablePtr table) {
    Scope scope;
    Source source;
    source.table = std::move(table);
    source.sqlAlias = "a0";
    scope.sources.push_back(std::move(source));
    return scope;
}

} // namespace

QueryOutcome ExecuteInsert(ExecContext& ctx, const Insert& s) {
    Transaction tx(ctx.db, true);
    TablePtr entry = ctx.catalog.Require(s.table);
    const TableInfo& table = *entry;

    // The columns the values go to, in value order.
    std::vector<const ColumnInfo*> targets;
    if (s.columns.empty()) {
        for (const auto& c : table.columns)
            targets.push_back(&c);
    } else {
        for (const auto& name : s.columns) {
            const ColumnInfo* column = table.FindColumn(name);
            if (!column) throw Error("Unknown field \"" + table.name + "." + name + "\"");
            for (const ColumnInfo* t : targets) {
                if (t == column) throw Error("Field '" + name + "' not unique");
            }
            targets.push_back(column);
        }
    }

    const bool checkRows = !RowsAlwaysFit(table);
    int64_t inserted = 0;
    try {
        for (const auto& row : s.rows) {
            if (row.size() < targets.size())
                throw Error("Missing value for field '" + targets[row.size()]->name + "'");
            if (row.size() > targets.size()) throw Error("Too many values for table \"" + table.name + "\"");
            std::vector<StoredValue> values(table.columns.size());
            // NOT NULL first, then the literal checks, then indexed columns, as mSQL orders them.
            for (size_t i = 0; i < targets.size(); ++i) {
                if (row[i].kind == Literal::Kind::Null && targets[i]->notNull)
                    throw Error("Field \"" + targets[i]->name + "\" cannot be null");
            }
            for (const auto& c : table.columns) {
                bool listed = false;
                for (const ColumnInfo* t : targets)
                    listed = listed || t == &c;
                if (!listed && c.notNull) throw Error("Field \"" + c.name + "\" cannot be null");
            }
            for (size_t i = 0; i < targets.size(); ++i) {
                const ColumnInfo& c = *targets[i];
                values[static_cast<size_t>(c.position)] = LiteralForColumn(row[i], c.type, c.length, c.name);
            }
            for (const auto& c : table.columns)
                CheckNull(c, values[static_cast<size_t>(c.position)]);
            if (checkRows) CheckRowSize(table, values);

            Stmt stmt = ctx.db.Prepare(table.insertSql);
            int index = 1;
            for (const auto& c : table.columns)
                index = BindColumn(stmt, index, c, values[static_cast<size_t>(c.position)]);
            stmt.Bind(index, Now());
            stmt.Run();
            ++inserted;
        }
    } catch (const Error&) {
        // Like mSQL, rows written before the failing one stay written.
        if (inserted > 0) tx.Commit();
        throw;
    }
    tx.Commit();
    return QueryOutcome{inserted, nullptr};
}

QueryOutcome ExecuteUpdate(ExecContext& ctx, const Update& s) {
    Transaction tx(ctx.db, true);
    Scope scope = SingleTableScope(ctx.catalog.Require(s.table));
    const TableInfo& table = *scope.sources[0].table;

    std::string sql = "UPDATE " + table.Storage() + " AS a0 SET ";
    std::vector<std::pair<const ColumnInfo*, StoredValue>> sets;
    for (const auto& a : s.assignments) {
        const ColumnInfo* column = table.FindColumn(a.column);
        if (!column) throw Error("Unknown field \"" + table.name + "." + a.column + "\"");
        StoredValue value = LiteralForColumn(a.value, column->type, column->length, column->name);
        CheckNull(*column, value);
        sql += column->Storage() + " = ?, ";
        if (column->type == REAL_TYPE) sql += column->Decimals() + " = ?, ";
        sets.emplace_back(column, std::move(value));
    }
    sql += "ts = ?";
    std::vector<StoredValue> binds;
    if (s.where) {
        sql += " WHERE ";
        scope.Translate(*s.where, sql, binds);
    }

    // Where a row could outgrow a reply, the changed rows come back and are measured; a refusal
    // rolls the whole statement back.
    const bool checkRows = !RowsAlwaysFit(table);
    if (checkRows) {
        sql += " RETURNING ";
        for (const auto& c : table.columns) {
            sql += c.Storage() + ", ";
            if (c.type == REAL_TYPE) sql += c.Decimals() + ", ";
        }
        sql.resize(sql.size() - 2);
    }

    Stmt stmt = ctx.db.Prepare(sql);
    int index = 1;
    for (const auto& [column, value] : sets)
        index = BindColumn(stmt, index, *column, value);
    stmt.Bind(index++, Now());
    for (const auto& b : binds)
        stmt.Bind(index++, b);
    if (checkRows) {
        std::vector<StoredValue> values(table.columns.size());
        while (stmt.Step()) {
            ReadReturnedRow(table, stmt, values);
            CheckRowSize(table, values);
        }
    } else {
        stmt.Run();
    }
    int64_t changed = sqlite3_changes(ctx.db.Handle());
    tx.Commit();
    return QueryOutcome{changed, nullptr};
}

QueryOutcome ExecuteDelete(ExecContext& ctx, const Delete& s) {
    Transaction tx(ctx.db, true);
    Scope scope = SingleTableScope(ctx.catalog.Require(s.table));
    std::string sql = "DELETE FROM " + scope.sources[0].table->Storage() + " AS a0";
    std::vector<StoredValue> binds;
    if (s.where) {
        sql += " WHERE ";
        scope.Translate(*s.where, sql, binds);
    }
    Stmt stmt = ctx.db.Prepare(sql);
    int index = 1;
    for (const auto& b : binds)
        stmt.Bind(index++, b);
    stmt.Run();
    int64_t deleted = sqlite3_changes(ctx.db.Handle());
    tx.Commit();
    return QueryOutcome{deleted, nullptr};
}

} // namespace msql
