// Request parsing and reply encoding of msqld.
#include "server/Replies.h"

#include "net/Protocol.h"

#include "msql.h"

#include <cstdio>

namespace msql::server {

namespace {

std::string_view FirstLine(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

} // namespace

Request ParseRequest(std::string_view payload) {
    Request request;
    const int64_t code = net::LeadingNumber(payload);
    request.code = code > 0 && code < 1000 ? static_cast<int>(code) : 0;
    size_t colon = payload.find(':');
    std::string_view rest = colon == std::string_view::npos ? std::string_view() : payload.substr(colon + 1);
    if (request.code == net::kQuery) {
        if (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
        request.argument = rest;
        return request;
    }
    request.argument = FirstLine(rest);
    if (request.code == net::kIndexList) {
        size_t split = request.argument.find(':');
        if (split != std::string_view::npos) {
            request.second = request.argument.substr(split + 1);
            request.argument = request.argument.substr(0, split);
        }
    }
    return request;
}

std::string_view ParseUserName(std::string_view payload) {
    return FirstLine(payload);
}

void AppendError(std::string& out, std::string_view text) {
    size_t start = net::BeginPacket(out);
    out += "-1:";
    // An error text is short; a very long one is cut to stay within a packet.
    out.append(text.substr(0, 4096));
    if (out.back() != '\n') out += '\n';
    net::EndPacket(out, start);
}

void AppendEnd(std::string& out) {
    net::AppendPacket(out, "-100:\n");
}

void AppendCount(std::string& out, int64_t count) {
    size_t start = net::BeginPacket(out);
    net::AppendNumber(out, count);
    out += ":\n";
    net::EndPacket(out, start);
}

void AppendFieldDescription(std::string& out, const FieldInfo& field) {
    size_t start = net::BeginPacket(out);
    net::AppendValue(out, field.table);
    net::AppendValue(out, field.name);
    char number[16];
    int n = std::snprintf(number, sizeof number, "%d", field.type);
    net::AppendValue(out, std::string_view(number, static_cast<size_t>(n)));
    n = std::snprintf(number, sizeof number, "%d", field.length);
    net::AppendValue(out, std::string_view(number, static_cast<size_t>(n)));
    net::AppendValue(out, field.flags & NOT_NULL_FLAG ? "Y" : "N");
    net::AppendValue(out, field.flags & UNIQUE_FLAG ? "Y" : "N");
    out += '\n';
    if (!net::EndPacket(out, start)) AppendError(out, "Field description too large");
}

void AppendListRow(std::string& out, std::string_view value) {
    size_t start = net::BeginPacket(out);
    net::AppendValue(out, value);
    out += '\n';
    net::EndPacket(out, start);
}

} // namespace msql::server
