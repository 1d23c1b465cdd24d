// Syntax tree of one mSQL statement, as produced by the parser and consumed by the executor.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace msql {

// A constant written in the statement.
struct Literal {
    enum class Kind { Null, Integer, Real, String };
    Kind kind = Kind::Null;
    int64_t intValue = 0;
    double realValue = 0;
    int decimals = 0;      // Real: decimals typed, used when the value is printed
    bool overflow = false; // Integer: beyond 64 bits
    std::string text;      // String: the value; otherwise the literal as typed
};

// A column or system variable reference: [qualifier.]name.
struct ColumnRef {
    std::string qualifier; // table name or alias, empty when unqualified
    std::string name;
    bool sysVar = false; // name starts with '_'

    std::string Display() const { return qualifier.empty() ? name : qualifier + "." + name; }
};

enum class CompareOp { Eq, Ne, Lt, Gt, Le, Ge, Like, CLike, RLike, SLike };

// WHERE condition tree. AND and OR have equal precedence and group left to right.
struct Condition {
    enum class Kind { Compare, And, Or };
    Kind kind = Kind::Compare;
    // Compare
    ColumnRef left;
    CompareOp op = CompareOp::Eq;
    bool negated = false; // NOT LIKE and friends
    std::variant<Literal, ColumnRef> right;
    // And / Or
    std::unique_ptr<Condition> lhs, rhs;
};

struct ColumnDef {
    std::string name;
    int type = 0;   // type code of msql.h
    int length = 0; // declared length for char/text
    bool notNull = false;
};

struct CreateTable {
    std::string table;
    std::vector<ColumnDef> columns;
};
struct DropTable {
    std::string table;
};
struct CreateIndex {
    std::string name;
    std::string table;
    bool unique = false;
    std::vector<std::string> fields;
};
struct DropIndex {
    std::string name;
    std::string table;
};
struct CreateSequence {
    std::string table;
    int64_t step = 1;
    int64_t value = 1;
};
struct DropSequence {
    std::string table;
};
struct Insert {
    std::string table;
    std::vector<std::string> columns; // empty: all columns in declaration order
    std::vector<std::vector<Literal>> rows;
};
struct Assignment {
    std::string column;
    Literal value;
};
struct Update {
    std::string table;
    std::vector<Assignment> assignments;
    std::unique_ptr<Condition> where;
};
struct Delete {
    std::string table;
    std::unique_ptr<Condition> where;
};
struct TableRef {
    std::string name;
    std::string alias; // empty when none
};
struct SelectItem {
    bool star = false;
    ColumnRef column;
};
struct OrderItem {
    ColumnRef column;
    bool descending = false;
};
struct Select {
    bool distinct = false;
    std::vector<SelectItem> items;
    std::vector<TableRef> tables;
    std::unique_ptr<Condition> where;
    std::vector<OrderItem> order;
    int64_t limit = 0; // 0 = no limit
    int64_t offset = 0;
};

using Statement = std::variant<CreateTable, DropTable, CreateIndex, DropIndex, CreateSequence, DropSequence,
                               Insert, Update, Delete, Select>;

} // namespace msql
