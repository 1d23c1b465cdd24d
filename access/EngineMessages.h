// The engine's message table: the text of every result code the emulated engine publishes, looked up
// by code. The components compose their error messages from it; the engine itself never reads it.
//
// The table is compiled in (EngineMessages.inc, generated at build time from access/EngineMessages.tsv by
// EngineMessagesGen.cmake) as a sorted constant array: no allocation, nothing to initialise.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "access/EngineTypes.h"

namespace corvane {

struct TEngineMessage {
    DBIResult code;
    std::string_view text;
};

// Number of entries in the table.
inline constexpr size_t EngineMessageCount = 499;

// The message of code; an empty text when the table has none (0, 1001 and the gaps in each group).
std::string_view EngineMessage(DBIResult code);

// Every entry, sorted by code.
std::span<const TEngineMessage> EngineMessages();

} // namespace corvane
