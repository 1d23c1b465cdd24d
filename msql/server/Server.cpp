// Listeners, the accept loop, the connection threads and an orderly stop.
#include "server/Server.h"

#include "server/Connection.h"
#include "server/Replies.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace msql::server {

namespace {

std::string SystemError(const std::string& what) {
    return what + " (" + std::strerror(errno) + ")";
}

net::UniqueFd ListenTcp(const std::string& address, int port, int& boundPort) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        throw std::runtime_error("bad listen address: " + address);
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, ::freeaddrinfo);
    net::UniqueFd fd(::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) throw std::runtime_error(SystemError("can't create IP socket"));
    int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd.Get(), found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd.Get(), 128) != 0)
        throw std::runtime_error(SystemError("can't listen on " + address + " port " + std::to_string(port)));
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&bound), &length);
    boundPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return fd;
}

net::UniqueFd ListenUnix(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("UNIX socket path too long: " + path);
    path.copy(address.sun_path, path.size());
    net::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) throw std::runtime_error(SystemError("can't create UNIX socket"));
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) throw std::runtime_error(path + " exists and is not a socket");
        // A socket left by a server that died is replaced; one that answers belongs to a live server.
        net::UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (::connect(probe.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            throw std::runtime_error("another server is listening on " + path);
        ::unlink(path.c_str());
    }
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.Get(), 128) != 0)
        throw std::runtime_error(SystemError("can't listen on " + path));
    ::chmod(path.c_str(), 0777);
    return fd;
}

bool IsLoopback(const sockaddr_storage& peer) {
    if (peer.ss_family == AF_INET) {
        uint32_t address = ntohl(reinterpret_cast<const sockaddr_in&>(peer).sin_addr.s_addr);
        return (address >> 24) == 127;
    }
    if (peer.ss_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&a)) return true;
        return IN6_IS_ADDR_V4MAPPED(&a) && a.s6_addr[12] == 127;
    }
    return false;
}

std::string PeerText(const sockaddr_storage& peer) {
    char text[INET6_ADDRSTRLEN] = "?";
    if (peer.ss_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(peer).sin_addr, text, sizeof text);
    else if (peer.ss_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr, text, sizeof text);
    return text;
}

} // namespace

Server::Server(ServerOptions options) : options_(std::move(options)) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error(SystemError("pipe"));
    wakeRead_.Reset(pipeFds[0]);
    wakeWrite_.Reset(pipeFds[1]);
    spare_.Reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
}

Server::~Server() {
    RequestStop();
    Reap(true);
    if (unix_) ::unlink(options_.unixSocket.c_str());
    if (pidWritten_) ::unlink(options_.pidFile.c_str());
}

void Server::Listen() {
    started_ = std::chrono::steady_clock::now();
    if (!options_.listen.empty()) tcp_ = ListenTcp(options_.listen, options_.port, tcpPort_);
    if (!options_.unixSocket.empty()) unix_ = ListenUnix(options_.unixSocket);
    if (!options_.pidFile.empty()) {
        std::ofstream pid(options_.pidFile, std::ios::trunc);
        pid << ::getpid() << "\n";
        if (!pid.flush()) throw std::runtime_error("can't write pid file " + options_.pidFile);
        pidWritten_ = true;
    }
    if (options_.readyFd >= 0) {
        std::string ready = std::to_string(tcpPort_) + "\n";
        if (::write(options_.readyFd, ready.data(), ready.size()) < 0) {
            // The starter went away; serving goes on regardless.
        }
        ::close(options_.readyFd);
        options_.readyFd = -1;
    }
}

void Server::RequestStop() {
    stopping_.store(true);
    char byte = 1;
    if (::write(wakeWrite_.Get(), &byte, 1) < 0) {
        // The pipe is full: a wake-up is already pending.
    }
}

void Server::Run() {
    while (!stopping_.load()) {
        pollfd fds[3] = {{wakeRead_.Get(), POLLIN, 0}, {tcp_.Get(), POLLIN, 0}, {unix_.Get(), POLLIN, 0}};
        int rc = ::poll(fds, 3, -1);
        if (rc < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error(SystemError("poll"));
        }
        if (fds[1].revents & POLLIN) Accept(tcp_.Get(), false);
        if (fds[2].revents & POLLIN) Accept(unix_.Get(), true);
        Reap(false);
    }
    // No new clients; idle ones see the end of their input, busy ones finish the request first.
    tcp_.Reset();
    if (unix_) {
        unix_.Reset();
        ::unlink(options_.unixSocket.c_str());
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (Client& client : clients_)
            if (client.fd >= 0) ::shutdown(client.fd, SHUT_RD);
    }
    Reap(true);
}

void Server::Accept(int listener, bool unixSocket) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    net::UniqueFd fd(::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC));
    if (!fd && (errno == EMFILE || errno == ENFILE)) {
        // Out of descriptors: take the client with the one held in reserve and turn it away, so
        // that the listener does not stay readable and spin the loop.
        spare_.Reset();
        net::UniqueFd turnedAway(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
        std::string reply;
        AppendError(reply, "Too many connections");
        if (turnedAway) net::SendAll(turnedAway.Get(), reply);
        turnedAway.Reset();
        spare_.Reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        std::lock_guard<std::mutex> guard(lock_);
        ++refused_;
        return;
    }
    if (!fd) return; // the client gave up before we took it
    net::ConfigureStream(fd.Get());
    timeval limit{options_.timeoutMs / 1000, (options_.timeoutMs % 1000) * 1000};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);

    std::lock_guard<std::mutex> guard(lock_);
    size_t open = 0;
    for (const Client& client : clients_)
        open += client.done.load() ? 0 : 1;
    if (open >= static_cast<size_t>(options_.maxConnections)) {
        ++refused_;
        std::string reply;
        AppendError(reply, "Too many connections");
        net::SendAll(fd.Get(), reply);
        return;
    }
    ++accepted_;
    Client& client = clients_.emplace_back();
    client.id = nextId_++;
    client.local = unixSocket || IsLoopback(peer);
    client.peer = unixSocket ? "UNIX socket" : PeerText(peer);
    client.since = std::time(nullptr);
    client.fd = fd.Release();
    client.thread = std::thread([this, &client] {
        ServeConnection(*this, client.id, client.fd, client.local);
        {
            // The descriptor closes under the lock so that a stop never shuts a reused number.
            std::lock_guard<std::mutex> closing(lock_);
            ::close(client.fd);
            client.fd = -1;
        }
        client.done.store(true);
    });
}

void Server::Reap(bool all) {
    std::list<Client> finished;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (auto it = clients_.begin(); it != clients_.end();) {
            auto next = std::next(it);
            if (all || it->done.load()) finished.splice(finished.end(), clients_, it);
            it = next;
        }
    }
    for (Client& client : finished)
        if (client.thread.joinable()) client.thread.join();
}

void Server::NoteDatabase(int id, const std::string& database) {
    std::lock_guard<std::mutex> guard(lock_);
    for (Client& client : clients_)
        if (client.id == id) client.database = database;
}

std::vector<std::string> Server::Statistics() const {
    auto uptime =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_).count();
    std::vector<std::string> blocks;
    blocks.push_back("\nServer version\n\tCorvane msqld 0.1.0, protocol " +
                     std::to_string(options_.protocol) + "\n");
    blocks.push_back(
        "\nConfiguration\n\tConfiguration file\t" +
        (options_.configFile.empty() ? std::string("(built-in defaults)") : options_.configFile) +
        "\n\tData folder\t\t" + options_.dataDir + "\n\tTCP\t\t\t" +
        (options_.listen.empty() ? std::string("off")
                                 : options_.listen + " port " + std::to_string(tcpPort_)) +
        "\n\tUNIX socket\t\t" + (options_.unixSocket.empty() ? "off" : options_.unixSocket) +
        "\n\tAdmin user\t\t" + options_.adminUser + "\n");
    std::lock_guard<std::mutex> guard(lock_);
    size_t open = 0;
    for (const Client& client : clients_)
        open += client.done.load() ? 0 : 1;
    std::string table = "\nConnections\n\tUptime\t\t\t" + std::to_string(uptime) + " seconds\n\tOpen\t\t\t" +
                        std::to_string(open) + "\n\tAccepted\t\t" + std::to_string(accepted_) +
                        "\n\tRefused\t\t\t" + std::to_string(refused_) +
                        "\n\n\tId  Peer              Database          Connected since\n";
    for (const Client& client : clients_) {
        if (client.done.load()) continue;
        char line[256];
        char when[32];
        std::tm tm{};
        ::localtime_r(&client.since, &tm);
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
        std::snprintf(line, sizeof line, "\t%-3d %-17s %-17s %s\n", client.id, client.peer.c_str(),
                      client.database.empty() ? "-" : client.database.c_str(), when);
        table += line;
    }
    blocks.push_back(table);
    return blocks;
}

} // namespace msql::server
