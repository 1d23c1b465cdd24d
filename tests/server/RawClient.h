// A socket that speaks the framing but nothing else: tests use it to send exact bytes to a server
// (or to play a scripted server) and read its packets as they are.
#pragma once

#include "net/Packet.h"
#include "net/Socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace msqltest {

class RawClient {
public:
    // Connects to 127.0.0.1:port.
    explicit RawClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    // Wraps a connected descriptor (taking ownership).
    explicit RawClient(msql::net::UniqueFd fd) : fd_(std::move(fd)), connected_(true) {}

    bool Connected() const { return connected_; }
    int Fd() const { return fd_.Get(); }

    bool SendBytes(const std::string& bytes) { return msql::net::SendAll(fd_.Get(), bytes); }
    bool Send(const std::string& payload) {
        std::string out;
        msql::net::AppendPacket(out, payload);
        return SendBytes(out);
    }
    // The next packet's payload; nullopt when the peer closed or broke the framing.
    std::optional<std::string> Read() {
        std::string_view payload;
        if (msql::net::ReadPacket(fd_.Get(), in_, payload, -1, -1) != msql::net::ReadStatus::Ready)
            return std::nullopt;
        return std::string(payload);
    }
    // True when the peer closes the connection (any unread packets are skipped).
    bool ReadsEndOfStream() {
        char buf[4096];
        for (;;) {
            ssize_t n = ::recv(fd_.Get(), buf, sizeof buf, 0);
            if (n == 0) return true;
            if (n < 0) return errno == ECONNRESET;
        }
    }
    // Connects and completes the handshake as user.
    bool Handshake(const std::string& user) {
        auto greeting = Read();
        if (!greeting || greeting->rfind("0:", 0) != 0) return false;
        if (!Send(user + "\n")) return false;
        auto ack = Read();
        return ack && *ack == "-100:\n";
    }
    // Closes with a reset instead of an orderly end.
    void Abort() {
        linger hard{1, 0};
        ::setsockopt(fd_.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        fd_.Reset();
    }

private:
    msql::net::UniqueFd fd_;
    bool connected_ = false;
    msql::net::PacketBuffer in_;
};

// A loopback listener on a free port for scripted servers.
class Listener {
public:
    Listener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_.Get(), 8), 0);
        socklen_t length = sizeof address;
        ::getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    int Port() const { return port_; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    RawClient Accept() {
        return RawClient(msql::net::UniqueFd(::accept4(fd_.Get(), nullptr, nullptr, SOCK_CLOEXEC)));
    }

private:
    msql::net::UniqueFd fd_;
    int port_ = 0;
};

// The payload of a packet as the reference writes it: "<len>:<bytes>" values.
inline std::string V(const std::string& value) {
    return std::to_string(value.size()) + ":" + value;
}

} // namespace msqltest
