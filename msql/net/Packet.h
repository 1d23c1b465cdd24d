// Framing shared by both ends of the protocol: every packet is a 4-byte little-endian payload
// length followed by the payload. Payloads are text: a leading decimal number, ':' and fields;
// rows, lists and field descriptions carry values as "<len>:<bytes>" ("-2:" for NULL).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace msql::net {

// Received bytes split into packets. Payload views stay valid until the next WriteArea call.
class PacketBuffer {
public:
    enum class Status { Ready, NeedMore, TooLarge };

    // Room for at least `min` more bytes at the end of the buffered data (compacts or grows).
    char* WriteArea(size_t min);
    size_t WriteRoom() const { return data_.size() - end_; }
    // Marks n bytes written into the write area as received.
    void Commit(size_t n) { end_ += n; }

    // Takes the next complete packet. TooLarge: the length prefix exceeds kMaxPacket.
    Status Next(std::string_view& payload);
    // Bytes received beyond the packets taken (a partial packet, or whole unread ones).
    size_t Pending() const { return end_ - begin_; }
    void Clear() { begin_ = end_ = 0; }

private:
    std::vector<char> data_;
    size_t begin_ = 0;
    size_t end_ = 0;
};

// Appends packets to an output buffer: BeginPacket reserves the length prefix, EndPacket fills
// it in. EndPacket returns false (and drops the packet) when the payload exceeds kMaxPacket.
size_t BeginPacket(std::string& out);
bool EndPacket(std::string& out, size_t start);
// Appends a whole packet.
bool AppendPacket(std::string& out, std::string_view payload);

// Appends one value as "<len>:<bytes>".
void AppendValue(std::string& out, std::string_view value);
void AppendNull(std::string& out);
void AppendNumber(std::string& out, int64_t value);

// The leading signed decimal number of a payload, read like atoi (0 when there are no digits).
int64_t LeadingNumber(std::string_view payload);

// Reads the values of a row, list row or field description. Tolerates what mSQL 4.2 sends: an
// empty string written as ":" (no digits), and a missing trailing newline.
class ValueReader {
public:
    explicit ValueReader(std::string_view payload) : text_(payload) {}
    enum class Status { Value, Null, End, Bad };
    // The next value; End at the end of the payload or at the row's newline; Bad for a malformed
    // length or a value running past the payload.
    Status Next(std::string_view& value);

private:
    std::string_view text_;
    size_t pos_ = 0;
};

} // namespace msql::net
