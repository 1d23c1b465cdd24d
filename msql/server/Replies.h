// How msqld reads requests and writes replies (mSQL protocol 23/24), independent of sockets.
#pragma once

#include "engine/ResultSet.h"
#include "net/Packet.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace msql::server {

// One request: "<code>:<argument>". For every code but QUERY the argument ends at the first CR or
// LF; QUERY keeps the whole text without the one newline the client appends.
struct Request {
    int code = 0;
    std::string_view argument;
    std::string_view second; // INDEX_LIST: "<table>:<index>" splits into argument and second
};
Request ParseRequest(std::string_view payload);

// The user name of the handshake packet: the text up to the first newline.
std::string_view ParseUserName(std::string_view payload);

void AppendError(std::string& out, std::string_view text); // "-1:<text>\n"
void AppendEnd(std::string& out);                          // "-100:\n"
void AppendCount(std::string& out, int64_t count);         // "<n>:\n" (also "1:\n", OK)
// "<table><name><type><length><Y|N not null><Y|N unique>\n" as values.
void AppendFieldDescription(std::string& out, const FieldInfo& field);
// A one-value list row ("6:testdb\n").
void AppendListRow(std::string& out, std::string_view value);

// Writes a SELECT reply: header, rows, end, field descriptions, end. `flush(out)` is called
// whenever out has grown past flushAt and must empty it; it returns false when the client is
// gone, which ends the reply. A row over the packet limit is answered with an error in its place.
template <typename Flush>
bool AppendSelectReply(std::string& out, const ResultSet& result, size_t flushAt, Flush&& flush) {
    const size_t columns = result.fields.size();
    size_t start = net::BeginPacket(out);
    out += "1:";
    net::AppendNumber(out, static_cast<int64_t>(columns));
    out += ":\n";
    net::EndPacket(out, start);
    const size_t rows = result.RowCount();
    for (size_t r = 0; r < rows; ++r) {
        start = net::BeginPacket(out);
        for (size_t c = 0; c < columns; ++c) {
            if (result.IsNull(r, c))
                net::AppendNull(out);
            else
                net::AppendValue(out, result.Value(r, c));
        }
        out += '\n';
        if (!net::EndPacket(out, start)) {
            AppendError(out, "Row too large to send: a row must fit one 128 KiB packet");
            return true;
        }
        if (out.size() >= flushAt && !flush(out)) return false;
    }
    AppendEnd(out);
    for (const FieldInfo& field : result.fields)
        AppendFieldDescription(out, field);
    AppendEnd(out);
    return true;
}

} // namespace msql::server
