// Name resolution and WHERE translation. mSQL's condition rules are applied here: the left side is
// a column, `= NULL` / `<> NULL` test nullness, literals are converted to the column's type, the
// LIKE family is evaluated by msql_match, and AND / OR group strictly left to right.
#include "engine/Scope.h"

#include "engine/Error.h"
#include "engine/Patterns.h"

#include "msql.h"

namespace msql {

namespace {

constexpr int kMaxConditions = 75;

struct SysVarInfo {
    const char* name;
    SysVar var;
    int type;
    int length;
};

constexpr SysVarInfo kSysVars[] = {
    {"_rowid", SysVar::RowId, INT_TYPE, 4},      {"_timestamp", SysVar::Timestamp, INT_TYPE, 4},
    {"_seq", SysVar::Seq, UINT_TYPE, 4},         {"_sysdate", SysVar::SysDate, DATE_TYPE, 4},
    {"_systime", SysVar::SysTime, TIME_TYPE, 4}, {"_user", SysVar::User, CHAR_TYPE, 16},
};

bool IsNumeric(int type) {
    return type == INT_TYPE || type == UINT_TYPE || type == REAL_TYPE || type == MONEY_TYPE;
}
bool IsString(int type) {
    return type == CHAR_TYPE || type == TEXT_TYPE;
}

const char* OperatorText(CompareOp op) {
    switch (op) {
    case CompareOp::Eq:
        return " = ";
    case CompareOp::Ne:
        return " <> ";
    case CompareOp::Lt:
        return " < ";
    case CompareOp::Gt:
        return " > ";
    case CompareOp::Le:
        return " <= ";
    default:
        return " >= ";
    }
}

bool IsPattern(CompareOp op) {
    return op == CompareOp::Like || op == CompareOp::CLike || op == CompareOp::RLike ||
           op == CompareOp::SLike;
}

PatternKind KindOf(CompareOp op) {
    switch (op) {
    case CompareOp::CLike:
        return PatternKind::CLike;
    case CompareOp::RLike:
        return PatternKind::RLike;
    case CompareOp::SLike:
        return PatternKind::SLike;
    default:
        return PatternKind::Like;
    }
}

int CountConditions(const Condition& c) {
    if (c.kind == Condition::Kind::Compare) return 1;
    return CountConditions(*c.lhs) + CountConditions(*c.rhs);
}

// The LIKE family is allowed on CHAR, and LIKE / CLIKE also on TEXT.
void CheckPatternTarget(const Resolved& column, CompareOp op, const Literal* pattern) {
    switch (column.type) {
    case CHAR_TYPE:
        return;
    case TEXT_TYPE:
        if (op == CompareOp::RLike || op == CompareOp::SLike)
            throw Error("Can't use RLIKE or SLIKE with TEXT fields");
        return;
    case REAL_TYPE:
        throw Error("Can't perform LIKE on real value");
    case DATE_TYPE:
    case TIME_TYPE:
        // The pattern is read as a date / time first, as mSQL does.
        if (pattern) LiteralForComparison(*pattern, column.type, column.name);
        throw Error("Can't perform LIKE on int value");
    case INT_TYPE:
    case UINT_TYPE:
    case MONEY_TYPE:
        throw Error("Can't perform LIKE on int value");
    default:
        throw Error("Invalid field type for LIKE");
    }
}

void CheckUsableInCondition(const Resolved& r) {
    if (r.sysVar == SysVar::None || r.sysVar == SysVar::RowId || r.sysVar == SysVar::Timestamp) return;
    throw Error("Can't use " + r.name + " in conditions");
}

} // namespace

std::string Resolved::Expression(const std::vector<Source>& sources) const {
    const std::string& alias = sources[source].sqlAlias;
    switch (sysVar) {
    case SysVar::RowId:
        return "(" + alias + ".rowid - 1)";
    case SysVar::Timestamp:
        return alias + ".ts";
    case SysVar::None:
        return alias + "." + column->Storage();
    default:
        return "NULL";
    }
}

size_t Scope::FindSource(const ColumnRef& ref) const {
    if (ref.qualifier.empty()) {
        if (sources.size() > 1) throw Error("Unqualified field \"" + ref.name + "\" in join");
        return 0;
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        if (!sources[i].alias.empty() && sources[i].alias == ref.qualifier) return i;
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        if (sources[i].table->name == ref.qualifier) return i;
    }
    throw Error("Reference to un-selected table \"" + ref.qualifier + "\"");
}

Resolved Scope::Resolve(const ColumnRef& ref, RefContext context) const {
    Resolved r;
    r.name = ref.name;
    if (ref.sysVar) {
        for (const auto& info : kSysVars) {
            if (ref.name == info.name) {
                r.sysVar = info.var;
                r.type = info.type;
                r.length = info.length;
            }
        }
        if (r.sysVar == SysVar::None) throw Error("Unknown system variable \"" + ref.name + "\"");
        // A system variable needs no qualifier even in a join: it refers to the first table.
        r.source = ref.qualifier.empty() ? 0 : FindSource(ref);
        return r;
    }
    r.source = FindSource(ref);
    const TableInfo& table = *sources[r.source].table;
    r.column = table.FindColumn(ref.name);
    if (!r.column) {
        if (context == RefContext::SelectList)
            throw Error("Unknown field \"" + table.name + "." + ref.name + "\"");
        if (context == RefContext::Order)
            throw Error("Bad order field. Field \"" + ref.name + "\" was not selected");
        throw Error("Unknown field \"" + ref.Display() + "\"");
    }
    r.type = r.column->type;
    r.length = r.column->length;
    return r;
}

void Scope::Translate(const Condition& condition, std::string& sql, std::vector<StoredValue>& binds) const {
    if (CountConditions(condition) > kMaxConditions) throw Error("Too many conditions in query");
    if (condition.kind == Condition::Kind::Compare) {
        TranslateCompare(condition, sql, binds);
        return;
    }
    sql += '(';
    Translate(*condition.lhs, sql, binds);
    sql += condition.kind == Condition::Kind::And ? " AND " : " OR ";
    Translate(*condition.rhs, sql, binds);
    sql += ')';
}

void Scope::TranslateCompare(const Condition& c, std::string& sql, std::vector<StoredValue>& binds) const {
    Resolved left = Resolve(c.left, RefContext::Condition);
    CheckUsableInCondition(left);
    std::string expr = left.Expression(sources);

    if (const auto* literal = std::get_if<Literal>(&c.right)) {
        if (literal->kind == Literal::Kind::Null) {
            if (c.op == CompareOp::Eq)
                sql += "(" + expr + " IS NULL)";
            else if (c.op == CompareOp::Ne)
                sql += "(" + expr + " IS NOT NULL)";
            else
                throw Error("Illegal operator applied to NULL.");
            return;
        }
        if (IsPattern(c.op)) {
            CheckPatternTarget(left, c.op, literal);
            if (literal->kind != Literal::Kind::String)
                throw Error("Bad type for comparison of '" + left.name + "'");
            if (c.op == CompareOp::RLike && !RegexIsValid(literal->text))
                throw Error("RLIKE expression is malformed");
            StoredValue pattern;
            pattern.kind = StoredValue::Kind::Text;
            pattern.text = literal->text;
            binds.push_back(std::move(pattern));
            sql += "msql_match(" + expr + ", ?, " + std::to_string(static_cast<int>(KindOf(c.op))) + ", " +
                   (c.negated ? "1" : "0") + ")";
            return;
        }
        binds.push_back(LiteralForComparison(*literal, left.type, left.name));
        sql += "(" + expr + OperatorText(c.op) + "?)";
        return;
    }

    Resolved right = Resolve(std::get<ColumnRef>(c.right), RefContext::Condition);
    CheckUsableInCondition(right);
    std::string rightExpr = right.Expression(sources);
    if (IsPattern(c.op)) {
        CheckPatternTarget(left, c.op, nullptr);
        if (!IsString(right.type)) throw Error("Bad type for comparison of '" + right.name + "'");
        sql += "msql_match(" + expr + ", " + rightExpr + ", " +
               std::to_string(static_cast<int>(KindOf(c.op))) + ", " + (c.negated ? "1" : "0") + ")";
        return;
    }
    bool compatible = left.type == right.type || (IsString(left.type) && IsString(right.type)) ||
                      (IsNumeric(left.type) && IsNumeric(right.type) && left.type != MONEY_TYPE &&
                       right.type != MONEY_TYPE);
    if (!compatible) throw Error("Bad type for comparison of '" + left.name + "'");
    sql += "(" + expr + OperatorText(c.op) + rightExpr + ")";
}

} // namespace msql
