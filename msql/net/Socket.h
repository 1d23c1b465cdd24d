// Socket helpers shared by the client library and msqld: an owning descriptor, the options both
// ends set, whole-buffer sends and packet reads with time limits.
#pragma once

#include "net/Packet.h"

#include <string_view>

namespace msql::net {

// Owns a file descriptor; closes it on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release();
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

// Options of a connected stream socket: TCP_NODELAY (a request/reply protocol must not wait for
// delayed acknowledgements) and SO_KEEPALIVE on TCP, close-on-exec on every socket.
void ConfigureStream(int fd);

// Sends the whole buffer (no SIGPIPE); false when the peer is gone or the send timed out.
bool SendAll(int fd, std::string_view data);

enum class ReadStatus { Ready, Closed, TimedOut, TooLarge, Failed };

// Reads until buffer holds a complete packet and takes it. `idleTimeoutMs` bounds the wait for a
// packet's first byte, `packetTimeoutMs` the wait for the rest once it has begun; -1 waits
// without limit.
ReadStatus ReadPacket(int fd, PacketBuffer& buffer, std::string_view& payload, int idleTimeoutMs,
                      int packetTimeoutMs);

} // namespace msql::net
