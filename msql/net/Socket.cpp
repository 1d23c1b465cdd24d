// Socket helpers: options, sends and time-limited packet reads.
#include "net/Socket.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace msql::net {

namespace {

constexpr size_t kReadChunk = 256 * 1024;

using Clock = std::chrono::steady_clock;

// Waits until fd is readable or the deadline passes; false on time-out.
bool WaitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0) left = 0;
        pollfd p{fd, POLLIN, 0};
        int rc = ::poll(&p, 1, static_cast<int>(left));
        if (rc > 0) return true;
        if (rc == 0) return false;
        if (errno != EINTR) return true; // let recv report the failure
    }
}

} // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

int UniqueFd::Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

void ConfigureStream(int fd) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    if (address.ss_family != AF_INET && address.ss_family != AF_INET6) return;
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
}

bool SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

ReadStatus ReadPacket(int fd, PacketBuffer& buffer, std::string_view& payload, int idleTimeoutMs,
                      int packetTimeoutMs) {
    const auto start = Clock::now();
    bool begun = buffer.Pending() > 0;
    Clock::time_point deadline = start + std::chrono::milliseconds(begun ? packetTimeoutMs : idleTimeoutMs);
    for (;;) {
        switch (buffer.Next(payload)) {
        case PacketBuffer::Status::Ready:
            return ReadStatus::Ready;
        case PacketBuffer::Status::TooLarge:
            return ReadStatus::TooLarge;
        case PacketBuffer::Status::NeedMore:
            break;
        }
        if (!begun && buffer.Pending() > 0) {
            begun = true;
            deadline = Clock::now() + std::chrono::milliseconds(packetTimeoutMs);
        }
        const int limit = begun ? packetTimeoutMs : idleTimeoutMs;
        if (limit >= 0 && !WaitReadable(fd, deadline)) return ReadStatus::TimedOut;
        char* area = buffer.WriteArea(kReadChunk);
        ssize_t n = ::recv(fd, area, buffer.WriteRoom(), 0);
        if (n == 0) return ReadStatus::Closed;
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return ReadStatus::TimedOut;
            return ReadStatus::Failed;
        }
        buffer.Commit(static_cast<size_t>(n));
    }
}

} // namespace msql::net
