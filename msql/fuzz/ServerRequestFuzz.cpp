// libFuzzer target for msqld's side of the wire: any bytes a client might send are split into
// packets by the packet reader and decoded as the handshake and requests. Each request's text is
// also sent back through the server's SELECT encoder and read by the client's parser: the values
// must come back exactly (the round trip of the value encoding).
#include "client/Replies.h"
#include "net/Packet.h"
#include "server/Replies.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class StringSource final : public msql::PacketSource {
public:
    explicit StringSource(const std::string& bytes) {
        std::memcpy(buffer_.WriteArea(bytes.size() + 1), bytes.data(), bytes.size());
        buffer_.Commit(bytes.size());
    }
    std::string_view Next() override {
        std::string_view payload;
        if (buffer_.Next(payload) != msql::net::PacketBuffer::Status::Ready) throw msql::Error("short reply");
        return payload;
    }

private:
    msql::net::PacketBuffer buffer_;
};

// Splits text into a result of `columns` columns (cells cut at ';', "\x01" standing for NULL).
msql::ResultSet MakeResult(std::string_view text, size_t columns) {
    msql::ResultSet result;
    for (size_t c = 0; c < columns; ++c) {
        msql::FieldInfo field;
        field.name = "c" + std::to_string(c);
        field.table = std::string(text.substr(0, c));
        field.type = static_cast<int>(c);
        field.flags = static_cast<int>(c % 4);
        result.fields.push_back(field);
    }
    size_t cells = 0;
    while (cells == 0 || cells % columns != 0 || !text.empty()) {
        size_t cut = text.find(';');
        std::string_view cell = text.substr(0, cut);
        // Values never hold NUL on the wire; the result keeps NUL-terminated texts.
        cell = cell.substr(0, cell.find('\0'));
        if (cell == "\x01")
            result.AddNull();
        else
            result.AddText(cell);
        text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
        ++cells;
    }
    return result;
}

void RoundTrip(std::string_view argument, size_t columns) {
    msql::ResultSet sent = MakeResult(argument, columns);
    std::string wire;
    msql::server::AppendSelectReply(wire, sent, SIZE_MAX, [](std::string&) { return true; });
    StringSource source(wire);
    try {
        msql::QueryOutcome got = msql::ReadQueryReply(source);
        if (!got.result || got.result->RowCount() != sent.RowCount() || got.result->fields.size() != columns)
            abort();
        for (size_t r = 0; r < sent.RowCount(); ++r)
            for (size_t c = 0; c < columns; ++c)
                if (got.result->IsNull(r, c) != sent.IsNull(r, c) ||
                    got.result->Value(r, c) != sent.Value(r, c))
                    abort();
        for (size_t c = 0; c < columns; ++c) {
            const auto& a = sent.fields[c];
            const auto& b = got.result->fields[c];
            if (a.name != b.name || a.table != b.table || a.type != b.type || a.flags != b.flags) abort();
        }
    } catch (const msql::Error& e) {
        // Only a row over the packet limit may fail, and then with the server's own text.
        if (std::string(e.what()).find("Row too large") == std::string::npos) abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    msql::net::PacketBuffer buffer;
    std::memcpy(buffer.WriteArea(size + 1), data, size);
    buffer.Commit(size);
    std::string_view payload;
    bool handshake = true;
    while (buffer.Next(payload) == msql::net::PacketBuffer::Status::Ready) {
        if (handshake) {
            std::string_view user = msql::server::ParseUserName(payload);
            if (user.find('\n') != std::string_view::npos) abort();
            handshake = false;
            continue;
        }
        msql::server::Request request = msql::server::ParseRequest(payload);
        if (request.argument.size() + request.second.size() > payload.size()) abort();
        if (request.code == 3) RoundTrip(request.argument, 1 + payload.size() % 5);
    }
    return 0;
}
