// Dispatch of a parsed statement to the executor of its kind.
#include "engine/Executor.h"

#include <type_traits>

namespace msql {

QueryOutcome Execute(ExecContext& ctx, const Statement& statement) {
    return std::visit(
        [&ctx](const auto& s) -> QueryOutcome {
            using T = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<T, CreateTable>)
                return ExecuteCreateTable(ctx, s);
            else if constexpr (std::is_same_v<T, DropTable>)
                return ExecuteDropTable(ctx, s);
            else if constexpr (std::is_same_v<T, CreateIndex>)
                return ExecuteCreateIndex(ctx, s);
            else if constexpr (std::is_same_v<T, DropIndex>)
                return ExecuteDropIndex(ctx, s);
            else if constexpr (std::is_same_v<T, CreateSequence>)
                return ExecuteCreateSequence(ctx, s);
            else if constexpr (std::is_same_v<T, DropSequence>)
                return ExecuteDropSequence(ctx, s);
            else if constexpr (std::is_same_v<T, Insert>)
                return ExecuteInsert(ctx, s);
            else if constexpr (std::is_same_v<T, Update>)
                return ExecuteUpdate(ctx, s);
            else if constexpr (std::is_same_v<T, Delete>)
                return ExecuteDelete(ctx, s);
            else
                return ExecuteSelect(ctx, s);
        },
        statement);
}

} // namespace msql
