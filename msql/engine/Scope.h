// Name resolution for one statement (the tables it names, their aliases, columns and system
// variables) and the translation of WHERE conditions into SQLite SQL with bound values.
#pragma once

#include "engine/Ast.h"
#include "engine/Catalog.h"
#include "engine/Values.h"

#include <string>
#include <vector>

namespace msql {

enum class SysVar { None, RowId, Timestamp, Seq, SysDate, SysTime, User };

// One table of the FROM list (or the table of an UPDATE / DELETE).
struct Source {
    TablePtr table;
    std::string alias;    // as written, empty when none
    std::string sqlAlias; // generated: a0, a1, ...
};

// A resolved column or system variable.
struct Resolved {
    size_t source = 0;
    const ColumnInfo* column = nullptr; // null for system variables
    SysVar sysVar = SysVar::None;
    int type = 0;
    int length = 0;
    std::string name; // column or system variable name

    // SQLite expression of the value (system variables with a per-row value only).
    std::string Expression(const std::vector<Source>& sources) const;
    bool SameAs(const Resolved& other) const {
        return source == other.source && column == other.column && sysVar == other.sysVar;
    }
};

// Where a reference appears: decides the wording of "unknown field" errors.
enum class RefContext { SelectList, Condition, Order };

class Scope {
public:
    std::vector<Source> sources;

    Resolved Resolve(const ColumnRef& ref, RefContext context) const;

    // Appends the SQL of a condition tree to `sql` and its bound values to `binds`.
    void Translate(const Condition& condition, std::string& sql, std::vector<StoredValue>& binds) const;

private:
    size_t FindSource(const ColumnRef& ref) const;
    void TranslateCompare(const Condition& condition, std::string& sql,
                          std::vector<StoredValue>& binds) const;
};

} // namespace msql
