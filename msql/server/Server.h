// msqld: serves the embedded engine to mSQL clients over TCP and a UNIX socket, a thread and an
// engine session per connection.
#pragma once

#include "net/Socket.h"
#include "server/Options.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace msql::server {

class Server {
public:
    explicit Server(ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens the listeners and writes the pid file. Throws std::runtime_error.
    void Listen();
    int TcpPort() const { return tcpPort_; }
    // Accepts and serves until a stop is requested, then lets every request in flight finish,
    // closes the connections and returns.
    void Run();
    // Asks Run to stop; safe to call from a signal handler.
    void RequestStop();
    bool Stopping() const { return stopping_.load(); }

    const ServerOptions& Options() const { return options_; }
    // The text blocks of SERVER_STATS.
    std::vector<std::string> Statistics() const;
    // Records the database a connection selected (for the statistics).
    void NoteDatabase(int id, const std::string& database);

private:
    struct Client {
        int id = 0;
        int fd = -1;
        bool local = false;
        std::string peer;
        std::string database;
        std::time_t since = 0;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void Accept(int listener, bool unixSocket);
    void Reap(bool all);

    ServerOptions options_;
    net::UniqueFd tcp_;
    net::UniqueFd unix_;
    net::UniqueFd wakeRead_;
    net::UniqueFd wakeWrite_;
    net::UniqueFd spare_; // a descriptor kept in reserve for turning clients away when none are left
    int tcpPort_ = 0;
    bool pidWritten_ = false;
    std::atomic<bool> stopping_{false};
    std::chrono::steady_clock::time_point started_;

    mutable std::mutex lock_; // guards the fields below
    std::list<Client> clients_;
    int nextId_ = 1;
    long accepted_ = 0;
    long refused_ = 0;
};

} // namespace msql::server
