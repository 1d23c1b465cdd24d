// Test fixture piece: msqld started on a free loopback port and a given data folder, stopped (or
// killed) by the test. The server reports its port through a pipe once it listens, so nothing
// waits on a clock. MSQLD_PATH names the server program.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace msqltest {

class TestServer {
public:
    // Starts msqld on dataDir with the extra flags; throws std::runtime_error when it does not start.
    explicit TestServer(const std::string& dataDir, const std::vector<std::string>& flags = {}) {
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        socket_ = dataDir + "/msqld.sock";
        std::vector<std::string> args = {
            MSQLD_PATH,   "--data-dir",           dataDir,      "--port", "0", "--socket", socket_,
            "--pid-file", dataDir + "/msqld.pid", "--ready-fd", "3"};
        args.insert(args.end(), flags.begin(), flags.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            // Descriptor 3 is the ready pipe; nothing else of the test process is inherited.
            ::dup2(ready[1], 3);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(ready[1]);
        std::string line;
        char c;
        while (::read(ready[0], &c, 1) == 1 && c != '\n')
            line += c;
        ::close(ready[0]);
        if (pid_ < 0 || line.empty()) {
            Kill();
            throw std::runtime_error("msqld did not start");
        }
        port_ = std::stoi(line);
    }
    ~TestServer() { Stop(); }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    int Port() const { return port_; }
    // The TCP host form of the server ("127.0.0.1:<port>").
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    // The UNIX socket host form (its path).
    const std::string& SocketPath() const { return socket_; }
    pid_t Pid() const { return pid_; }

    // SIGTERM, then waits; returns the exit status (-1 when it died of a signal or was gone).
    int Stop() { return End(SIGTERM); }
    // SIGKILL, then waits.
    void Kill() { End(SIGKILL); }
    // Waits for the server to exit on its own (after a shutdown request); returns the exit status.
    int Wait() { return End(0); }

private:
    int End(int signal) {
        if (pid_ <= 0) return -1;
        if (signal) ::kill(pid_, signal);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t pid_ = -1;
    int port_ = 0;
    std::string socket_;
};

// The backend a suite runs against, from MSQL_TEST_BACKEND: "tcp" (a TestServer per test) or
// anything else (the embedded engine).
inline bool BackendIsTcp() {
    const char* backend = std::getenv("MSQL_TEST_BACKEND");
    return backend && std::string(backend) == "tcp";
}

} // namespace msqltest
