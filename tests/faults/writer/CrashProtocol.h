// What the crash writer and the kill tests share: the table, the row payloads and the report lines.
//
// The writer writes rows of table kt (k unique, w the writer, v the row's version, g the writer's
// generation, p a payload derived from k and v) and reports each write on its standard output, one
// line per event, written with a single write(2) so that a line is either whole in the pipe or absent:
//   B <op> <k> <v>   a write is about to be sent (op: I insert, U update, D delete, G generation of all
//                    of the writer's rows, X insert of a key that exists, which must be refused,
//                    T create table number k of the writer, Z drop it)
//   A                the write before was acknowledged
//   F <text>         the write before failed, with the client's text
//   E                the writer finished all of its writes
#pragma once

#include <cstdint>
#include <string>

namespace crash {

inline constexpr const char* Database = "crash";
inline constexpr const char* CreateTable =
    "create table kt (k int not null, w int, v int, g int, p text(24))";
inline constexpr const char* CreateIndex = "create unique index kk on kt (k)";
inline constexpr const char* SelectRows = "select k, w, v, g, p from kt";

// First key of a writer: writers never share keys.
inline int32_t FirstKey(int writer) {
    return writer * 100000;
}

// The name of the writer's table number n.
inline std::string TableName(int writer, int32_t n) {
    return "x" + std::to_string(writer) + "_" + std::to_string(n);
}

// The payload of row k at version v: 1 to 300 bytes, longer than the in-row part of p now and then.
inline std::string Payload(int32_t k, int32_t v) {
    const uint32_t seed = static_cast<uint32_t>(k) * 2654435761u + static_cast<uint32_t>(v) * 40503u;
    std::string text(seed % 300 + 1, ' ');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + (seed + i * 7) % 26);
    return text;
}

} // namespace crash
