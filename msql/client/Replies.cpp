// Parsing of server replies. Every row must carry as many values as the SELECT header announced,
// and the field descriptions must match that number; anything else is a BadReply.
#include "client/Replies.h"

#include "engine/Session.h"
#include "net/Packet.h"
#include "net/Protocol.h"

#include "msql.h"

#include <charconv>

namespace msql {

namespace {

using net::LeadingNumber;
using net::ValueReader;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool IsEnd(std::string_view payload) {
    return LeadingNumber(payload) == net::kReplyEnd;
}

// Values of one field description: table, name, type, length, not-null Y/N, unique Y/N (mSQL 4.2
// sends a blank for unique in query results and no trailing newline).
FieldInfo ParseFieldDescription(std::string_view payload) {
    ValueReader reader(payload);
    std::string_view values[6];
    for (auto& v : values) {
        v = {};
        if (reader.Next(v) == ValueReader::Status::Bad) throw BadReply();
    }
    std::string_view rest;
    if (reader.Next(rest) == ValueReader::Status::Bad) throw BadReply();
    FieldInfo field;
    field.table.assign(values[0]);
    field.name.assign(values[1]);
    field.type = static_cast<int>(LeadingNumber(values[2]));
    field.length = static_cast<int>(LeadingNumber(values[3]));
    if (values[4] == "Y") field.flags |= NOT_NULL_FLAG;
    if (values[5] == "Y") field.flags |= UNIQUE_FLAG;
    return field;
}

// Field descriptions up to "-100:".
void ReadFieldDescriptions(PacketSource& source, ResultSet& result) {
    for (;;) {
        std::string_view payload = source.Next();
        ThrowIfError(payload);
        if (IsEnd(payload)) return;
        result.fields.push_back(ParseFieldDescription(payload));
    }
}

} // namespace

void ThrowIfError(std::string_view payload) {
    if (!StartsWith(payload, "-1") || (payload.size() > 2 && payload[2] >= '0' && payload[2] <= '9')) return;
    std::string_view text = payload.size() > 3 && payload[2] == ':' ? payload.substr(3) : std::string_view();
    if (text.empty() || text == "\n") throw Error("Unknown mSQL error");
    throw Error(std::string(text));
}

Greeting ParseGreeting(std::string_view payload, int protocol) {
    ThrowIfError(payload);
    size_t first = payload.find(':');
    if (first == std::string_view::npos) throw Error("Bad packet received from server");
    Greeting greeting;
    greeting.protocol = static_cast<int>(LeadingNumber(payload.substr(first + 1)));
    size_t second = payload.find(':', first + 1);
    std::string_view version =
        second == std::string_view::npos ? std::string_view() : payload.substr(second + 1);
    if (!version.empty() && version.back() == '\n') version.remove_suffix(1);
    greeting.serverInfo.assign(version);
    if (greeting.protocol != protocol) {
        throw Error("Protocol mismatch. Server Version = " + std::to_string(greeting.protocol) +
                    " Client Version = " + std::to_string(protocol));
    }
    if (second == std::string_view::npos) throw Error("Error in server handshake!");
    return greeting;
}

QueryOutcome ReadQueryReply(PacketSource& source) {
    std::string_view header = source.Next();
    ThrowIfError(header);
    QueryOutcome outcome;
    const int64_t status = LeadingNumber(header);
    size_t colon = header.find(':');
    const int64_t columns = colon == std::string_view::npos ? 0 : LeadingNumber(header.substr(colon + 1));
    if (columns <= 0) {
        outcome.count = status;
        return outcome;
    }
    // No row of a packet can hold more values than it has bytes.
    if (columns > static_cast<int64_t>(net::kMaxPacket)) throw BadReply();
    auto result = std::make_unique<ResultSet>();
    // A result's width is fixed before its first value; the descriptions arrive after the rows.
    result->fields.resize(static_cast<size_t>(columns));
    int64_t rows = 0;
    for (;;) {
        std::string_view payload = source.Next();
        ThrowIfError(payload);
        if (IsEnd(payload)) break;
        ValueReader reader(payload);
        std::string_view value;
        for (int64_t c = 0; c < columns; ++c) {
            switch (reader.Next(value)) {
            case ValueReader::Status::Value:
                result->AddText(value);
                break;
            case ValueReader::Status::Null:
                result->AddNull();
                break;
            default:
                throw BadReply();
            }
        }
        if (reader.Next(value) != ValueReader::Status::End) throw BadReply();
        ++rows;
    }
    ResultSet descriptions;
    ReadFieldDescriptions(source, descriptions);
    if (static_cast<int64_t>(descriptions.fields.size()) != columns) throw BadReply();
    result->fields = std::move(descriptions.fields);
    outcome.count = rows;
    outcome.result = std::move(result);
    return outcome;
}

ResultSet ReadListReply(PacketSource& source, const std::string& column) {
    std::vector<std::string> values;
    for (;;) {
        std::string_view payload = source.Next();
        ThrowIfError(payload);
        if (IsEnd(payload)) break;
        ValueReader reader(payload);
        std::string_view value;
        ValueReader::Status status = reader.Next(value);
        if (status == ValueReader::Status::Bad) throw BadReply();
        values.emplace_back(status == ValueReader::Status::Value ? value : std::string_view());
    }
    return MakeList(column, values);
}

ResultSet ReadFieldListReply(PacketSource& source) {
    ResultSet result;
    ReadFieldDescriptions(source, result);
    return result;
}

SequenceInfo ReadSequenceReply(PacketSource& source) {
    std::string_view payload = source.Next();
    ThrowIfError(payload);
    size_t first = payload.find(':');
    if (first == std::string_view::npos) throw BadReply();
    SequenceInfo info;
    info.step = LeadingNumber(payload.substr(first + 1));
    size_t second = payload.find(':', first + 1);
    if (second == std::string_view::npos) throw BadReply();
    info.value = LeadingNumber(payload.substr(second + 1));
    return info;
}

void ReadAcknowledgement(PacketSource& source) {
    ThrowIfError(source.Next());
}

} // namespace msql
