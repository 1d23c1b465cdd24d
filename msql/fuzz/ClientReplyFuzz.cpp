// libFuzzer target for the client's side of the wire: any bytes a server might send, split into
// packets by the packet reader and read as a greeting, a query reply, a list, field descriptions
// or sequence information, must give a result or an Error, never a crash, hang or leak.
#include "client/Replies.h"
#include "client/StoredResult.h"
#include "net/Packet.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Feeds the input to a packet buffer in pieces of varying size, as a socket would deliver it.
class FuzzSource final : public msql::PacketSource {
public:
    FuzzSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    std::string_view Next() override {
        for (;;) {
            std::string_view payload;
            switch (buffer_.Next(payload)) {
            case msql::net::PacketBuffer::Status::Ready:
                return payload;
            case msql::net::PacketBuffer::Status::TooLarge:
                throw msql::Error("Packet too large");
            case msql::net::PacketBuffer::Status::NeedMore:
                break;
            }
            if (pos_ >= size_) throw msql::Error("mSQL server has gone away");
            size_t piece = 1 + (data_[pos_] % 97) * (pos_ % 3 + 1);
            piece = std::min(piece, size_ - pos_);
            std::memcpy(buffer_.WriteArea(piece), data_ + pos_, piece);
            buffer_.Commit(piece);
            pos_ += piece;
        }
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    msql::net::PacketBuffer buffer_;
};

void Store(msql::ResultSet&& result) {
    msql::FreeStoredResult(msql::MakeStoredResult(std::move(result)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FuzzSource source(data + 1, size - 1);
    try {
        switch (data[0] % 6) {
        case 0:
            msql::ParseGreeting(source.Next(), 24);
            break;
        case 1: {
            msql::QueryOutcome outcome = msql::ReadQueryReply(source);
            if (outcome.result) Store(std::move(*outcome.result));
            break;
        }
        case 2:
            Store(msql::ReadListReply(source, "Table"));
            break;
        case 3:
            Store(msql::ReadFieldListReply(source));
            break;
        case 4:
            msql::ReadSequenceReply(source);
            break;
        default:
            msql::ReadAcknowledgement(source);
            break;
        }
    } catch (const msql::Error&) {
        // A refused or broken reply is the expected outcome for most inputs.
    }
    return 0;
}
