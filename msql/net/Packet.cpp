// Packet framing and value encoding.
#include "net/Packet.h"

#include "net/Protocol.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace msql::net {

char* PacketBuffer::WriteArea(size_t min) {
    if (begin_ == end_) begin_ = end_ = 0;
    if (data_.size() - end_ < min) {
        if (begin_ > 0) {
            std::memmove(data_.data(), data_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        if (data_.size() - end_ < min) data_.resize(std::max(end_ + min, data_.size() * 2));
    }
    return data_.data() + end_;
}

PacketBuffer::Status PacketBuffer::Next(std::string_view& payload) {
    const size_t available = end_ - begin_;
    if (available < 4) return Status::NeedMore;
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + begin_);
    const uint32_t length = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                            static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    if (length > kMaxPacket) return Status::TooLarge;
    if (available < 4 + static_cast<size_t>(length)) return Status::NeedMore;
    payload = std::string_view(data_.data() + begin_ + 4, length);
    begin_ += 4 + length;
    return Status::Ready;
}

size_t BeginPacket(std::string& out) {
    size_t start = out.size();
    out.append(4, '\0');
    return start;
}

bool EndPacket(std::string& out, size_t start) {
    const size_t length = out.size() - start - 4;
    if (length > kMaxPacket) {
        out.resize(start);
        return false;
    }
    for (int i = 0; i < 4; ++i)
        out[start + static_cast<size_t>(i)] = static_cast<char>((length >> (8 * i)) & 0xff);
    return true;
}

bool AppendPacket(std::string& out, std::string_view payload) {
    size_t start = BeginPacket(out);
    out.append(payload);
    return EndPacket(out, start);
}

void AppendNumber(std::string& out, int64_t value) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    (void)ec; // 24 characters always suffice for a 64-bit number
    out.append(digits, end);
}

void AppendValue(std::string& out, std::string_view value) {
    AppendNumber(out, static_cast<int64_t>(value.size()));
    out += ':';
    out.append(value);
}

void AppendNull(std::string& out) {
    AppendNumber(out, kNullLength);
    out += ':';
}

int64_t LeadingNumber(std::string_view payload) {
    size_t i = 0;
    bool negative = false;
    if (i < payload.size() && (payload[i] == '-' || payload[i] == '+')) negative = payload[i++] == '-';
    int64_t value = 0;
    for (; i < payload.size() && payload[i] >= '0' && payload[i] <= '9'; ++i) {
        if (value < (INT64_MAX - 9) / 10) value = value * 10 + (payload[i] - '0');
    }
    return negative ? -value : value;
}

ValueReader::Status ValueReader::Next(std::string_view& value) {
    if (pos_ >= text_.size() || text_[pos_] == '\n') return Status::End;
    size_t colon = text_.find(':', pos_);
    if (colon == std::string_view::npos || colon - pos_ > 12) return Status::Bad;
    std::string_view digits = text_.substr(pos_, colon - pos_);
    int64_t length = 0;
    if (!digits.empty()) {
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
        if (ec != std::errc() || end != digits.data() + digits.size()) return Status::Bad;
    }
    pos_ = colon + 1;
    if (length == kNullLength) return Status::Null;
    if (length < 0 || static_cast<uint64_t>(length) > text_.size() - pos_) return Status::Bad;
    value = text_.substr(pos_, static_cast<size_t>(length));
    pos_ += static_cast<size_t>(length);
    return Status::Value;
}

} // namespace msql::net
