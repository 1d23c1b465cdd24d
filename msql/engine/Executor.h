// Executes parsed statements against one database: the catalog checks and mSQL semantics on top
// of the SQLite storage.
#pragma once

#include "engine/Ast.h"
#include "engine/Catalog.h"
#include "engine/ResultSet.h"
#include "engine/Sqlite.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace msql {

// What a statement produced: the count msqlQuery returns and, for SELECT, the result.
struct QueryOutcome {
    int64_t count = 0;
    std::unique_ptr<ResultSet> result;
};

struct ExecContext {
    SqliteDb& db;
    Catalog& catalog;
    const std::string& user;                       // for _user
    size_t resultLimit = ResultSet::kDefaultLimit; // bytes one SELECT result may occupy
};

QueryOutcome Execute(ExecContext& ctx, const Statement& statement);

// Per statement kind (one file each: DDL, writes, SELECT).
QueryOutcome ExecuteCreateTable(ExecContext& ctx, const CreateTable& s);
QueryOutcome ExecuteDropTable(ExecContext& ctx, const DropTable& s);
QueryOutcome ExecuteCreateIndex(ExecContext& ctx, const CreateIndex& s);
QueryOutcome ExecuteDropIndex(ExecContext& ctx, const DropIndex& s);
QueryOutcome ExecuteCreateSequence(ExecContext& ctx, const CreateSequence& s);
QueryOutcome ExecuteDropSequence(ExecContext& ctx, const DropSequence& s);
QueryOutcome ExecuteInsert(ExecContext& ctx, const Insert& s);
QueryOutcome ExecuteUpdate(ExecContext& ctx, const Update& s);
QueryOutcome ExecuteDelete(ExecContext& ctx, const Delete& s);
QueryOutcome ExecuteSelect(ExecContext& ctx, const Select& s);

} // namespace msql
