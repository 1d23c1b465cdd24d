// SELECT: resolves the select list, builds one SQLite query (join, WHERE, ORDER BY, DISTINCT,
// LIMIT / OFFSET) with bound values, and formats each value as mSQL prints it.
#include "engine/Error.h"
#include "engine/Executor.h"
#include "engine/Scope.h"
#include "engine/Values.h"

#include "msql.h"

#include <ctime>

namespace msql {

namespace {

constexpr size_t kMaxFields = 75;
// Tables one query may join (the storage engine's own bound).
constexpr size_t kMaxTables = 64;

// One column of the result.
struct Output {
    Resolved ref;
    int sqlColumn = -1; // position in the SQLite result, -1 for constants
    int decimalsColumn = -1;
    bool constant = false;
    bool constantNull = false;
    std::string constantText;
};

bool IsConstant(SysVar v) {
    return v == SysVar::Seq || v == SysVar::SysDate || v == SysVar::SysTime || v == SysVar::User;
}

void AppendValue(std::string& out, sqlite3_stmt* stmt, const Output& o) {
    int col = o.sqlColumn;
    switch (o.ref.type) {
    case CHAR_TYPE:
    case TEXT_TYPE: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
        out.append(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt, col)));
        break;
    }
    case REAL_TYPE:
        AppendReal(out, sqlite3_column_double(stmt, col),
                   static_cast<int>(sqlite3_column_int(stmt, o.decimalsColumn)));
        break;
    case MONEY_TYPE:
        AppendMoney(out, sqlite3_column_int64(stmt, col));
        break;
    case DATE_TYPE:
        AppendDate(out, sqlite3_column_int64(stmt, col));
        break;
    case TIME_TYPE:
        AppendTime(out, sqlite3_column_int64(stmt, col));
        break;
    default:
        AppendInteger(out, sqlite3_column_int64(stmt, col));
        break;
    }
}

// The current date / time in the encodings of Values.h (local time, as a server would print it).
void SystemDateTime(int64_t& date, int64_t& time) {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    date = (t.tm_year + 1900 + 4096) * 512 + (t.tm_mon + 1) * 32 + t.tm_mday;
    time = t.tm_hour * 4096 + t.tm_min * 64 + t.tm_sec;
}

} // namespace

QueryOutcome ExecuteSelect(ExecContext& ctx, const Select& s) {
    std::vector<Output> outputs;
    bool usesSeq = false;
    for (const auto& item : s.items) {
        if (!item.star && item.column.sysVar && item.column.name == "_seq") usesSeq = true;
    }
    if (s.tables.size() > kMaxTables) throw Error("Too many tables in query (64 Max)");
    if (s.order.size() > kMaxFields) throw Error("Too many fields in ORDER BY (75 Max)");
    Transaction tx(ctx.db, usesSeq);

    Scope scope;
    for (size_t i = 0; i < s.tables.size(); ++i) {
        Source source;
        source.table = ctx.catalog.Require(s.tables[i].name);
        source.alias = s.tables[i].alias;
        source.sqlAlias = NumberedName('a', i);
        scope.sources.push_back(std::move(source));
    }

    for (const auto& item : s.items) {
        if (item.star) {
            for (size_t src = 0; src < scope.sources.size(); ++src) {
                for (const auto& c : scope.sources[src].table->columns) {
                    Output o;
                    o.ref.source = src;
                    o.ref.column = &c;
                    o.ref.type = c.type;
                    o.ref.length = c.length;
                    o.ref.name = c.name;
                    outputs.push_back(std::move(o));
                }
            }
            continue;
        }
        Output o;
        o.ref = scope.Resolve(item.column, RefContext::SelectList);
        o.constant = IsConstant(o.ref.sysVar);
        outputs.push_back(std::move(o));
    }
    if (outputs.size() > kMaxFields) throw Error("Too many fields in query");

    // Values of the constant system variables: one per query.
    int64_t sysDate = 0, sysTime = 0;
    SystemDateTime(sysDate, sysTime);
    for (auto& o : outputs) {
        if (!o.constant) continue;
        switch (o.ref.sysVar) {
        case SysVar::Seq: {
            const TableInfo& table = *scope.sources[o.ref.source].table;
            auto seq = ctx.catalog.Sequence(table);
            if (!seq) throw Error("No sequence defined for this table");
            AppendInteger(o.constantText, seq->value);
            break;
        }
        case SysVar::SysDate:
            AppendDate(o.constantText, sysDate);
            break;
        case SysVar::SysTime:
            AppendTime(o.constantText, sysTime);
            break;
        default:
            o.constantText = ctx.user;
            break;
        }
    }
    if (usesSeq) {
        // Every _seq of the query saw the same value; the sequence then advances once per table.
        std::vector<size_t> advanced;
        for (const auto& o : outputs) {
            if (o.ref.sysVar != SysVar::Seq) continue;
            bool done = false;
            for (size_t a : advanced)
                done = done || a == o.ref.source;
            if (done) continue;
            const TableInfo& table = *scope.sources[o.ref.source].table;
            auto seq = ctx.catalog.Sequence(table);
            int64_t next = seq->value + seq->step;
            if (next > 2147483647 || next < -2147483647)
                throw Error("Numeric value outside field value range");
            ctx.catalog.SetSequence(table, SequenceInfo{seq->step, next});
            advanced.push_back(o.ref.source);
        }
    }

    auto result = std::make_unique<ResultSet>();
    result->SetLimit(ctx.resultLimit);
    for (const auto& o : outputs) {
        // A table named with an alias is reported by its alias, as mSQL does; _rowid always has
        // a value.
        const Source& source = scope.sources[o.ref.source];
        FieldInfo f;
        f.name = o.ref.name;
        f.table = source.alias.empty() ? source.table->name : source.alias;
        f.type = o.ref.type;
        f.length = o.ref.length;
        bool notNull = o.ref.column ? o.ref.column->notNull : o.ref.sysVar == SysVar::RowId;
        f.flags = notNull ? NOT_NULL_FLAG : 0;
        result->fields.push_back(std::move(f));
    }

    bool allConstant = true;
    for (const auto& o : outputs)
        allConstant = allConstant && o.constant;
    if (allConstant) {
        // A select list of only _seq / _sysdate / _systime / _user yields exactly one row.
        for (const auto& o : outputs)
            result->AddText(o.constantText);
        tx.Commit();
        return QueryOutcome{1, std::move(result)};
    }

    std::string sql = s.distinct ? "SELECT DISTINCT " : "SELECT ";
    int sqlColumn = 0;
    for (auto& o : outputs) {
        if (o.constant) continue;
        if (sqlColumn > 0) sql += ", ";
        sql += o.ref.Expression(scope.sources);
        o.sqlColumn = sqlColumn++;
        if (o.ref.type == REAL_TYPE && o.ref.column) {
            sql += ", " + scope.sources[o.ref.source].sqlAlias + "." + o.ref.column->Decimals();
            o.decimalsColumn = sqlColumn++;
        }
    }
    sql += " FROM ";
    for (size_t i = 0; i < scope.sources.size(); ++i) {
        if (i > 0) sql += ", ";
        sql += scope.sources[i].table->Storage() + " AS " + scope.sources[i].sqlAlias;
    }
    std::vector<StoredValue> binds;
    if (s.where) {
        sql += " WHERE ";
        scope.Translate(*s.where, sql, binds);
    }
    if (!s.order.empty()) {
        sql += " ORDER BY ";
        for (size_t i = 0; i < s.order.size(); ++i) {
            const OrderItem& item = s.order[i];
            Resolved ref = scope.Resolve(item.column, RefContext::Order);
            const Output* selected = nullptr;
            for (const auto& o : outputs) {
                if (!o.constant && o.ref.SameAs(ref)) selected = &o;
            }
            if (!selected)
                throw Error("Bad order field. Field \"" + item.column.name + "\" was not selected");
            if (i > 0) sql += ", ";
            sql += ref.Expression(scope.sources);
            if (item.descending) sql += " DESC";
        }
    }
    sql += " LIMIT ? OFFSET ?";
    StoredValue limit;
    limit.kind = StoredValue::Kind::Integer;
    limit.intValue = s.limit == 0 ? -1 : s.limit;
    binds.push_back(limit);
    StoredValue offset;
    offset.kind = StoredValue::Kind::Integer;
    offset.intValue = s.offset;
    binds.push_back(offset);

    Stmt stmt = ctx.db.Prepare(sql);
    int index = 1;
    for (const auto& b : binds)
        stmt.Bind(index++, b);
    sqlite3_stmt* raw = stmt.Handle();
    while (stmt.Step()) {
        for (const auto& o : outputs) {
            if (o.constant) {
                result->AddText(o.constantText);
            } else if (sqlite3_column_type(raw, o.sqlColumn) == SQLITE_NULL) {
                result->AddNull();
            } else {
                AppendValue(result->BeginText(), raw, o);
                result->EndText();
            }
        }
    }
    tx.Commit();
    auto rows = static_cast<int64_t>(result->RowCount());
    return QueryOutcome{rows, std::move(result)};
}

} // namespace msql
