// The compiled message table and its lookup.
#include "access/EngineMessages.h"

#include <algorithm>

namespace corvane {

namespace {

constexpr TEngineMessage MessageTable[] = {
#include "access/EngineMessages.inc"
};

static_assert(std::size(MessageTable) == EngineMessageCount);
static_assert(std::is_sorted(std::begin(MessageTable), std::end(MessageTable),
                             [](const TEngineMessage& a, const TEngineMessage& b) {
                                 return a.code < b.code;
                             }));

} // namespace

std::string_view EngineMessage(DBIResult code) {
    const auto* end = std::end(MessageTable);
    const auto* found =
        std::lower_bound(std::begin(MessageTable), end, code,
                         [](const TEngineMessage& entry, DBIResult key) { return entry.code < key; });
    return found != end && found->code == code ? found->text : std::string_view();
}

std::span<const TEngineMessage> EngineMessages() {
    return MessageTable;
}

} // namespace corvane
