// The network client: one socket per connection, strict request -> reply exchanges framed by
// net/Packet.h. A failed read or a reply that breaks the protocol ends the connection: later calls
// fail with "mSQL server has gone away" until the handle is closed.
#include "client/RemoteBackend.h"

#include "client/Replies.h"
#include "engine/Error.h"
#include "net/Packet.h"
#include "net/Protocol.h"
#include "net/Socket.h"

#include <charconv>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace msql {

namespace {

const char* const kGoneAway = "mSQL server has gone away";

net::UniqueFd ConnectUnix(const std::string& path) {
    net::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) throw Error("Can't create UNIX socket");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) throw Error("Can't connect to local mSQL server");
    path.copy(address.sun_path, path.size());
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw Error("Can't connect to local mSQL server");
    return fd;
}

net::UniqueFd ConnectTcp(const std::string& host, int port, const std::string& shown) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        throw Error("Unknown mSQL Server Host (" + shown + ")");
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, ::freeaddrinfo);
    bool created = false;
    for (addrinfo* a = found; a; a = a->ai_next) {
        net::UniqueFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (!fd) continue;
        created = true;
        if (::connect(fd.Get(), a->ai_addr, a->ai_addrlen) == 0) return fd;
    }
    if (!created) throw Error("Can't create IP socket");
    throw Error("Can't connect to mSQL server on " + shown);
}

class RemoteBackend final : public Backend, private PacketSource {
public:
    RemoteBackend(net::UniqueFd fd, std::string hostInfo, int protocol)
        : fd_(std::move(fd)), hostInfo_(std::move(hostInfo)), protocol_(protocol) {
        net::ConfigureStream(fd_.Get());
    }

    ~RemoteBackend() override {
        // QUIT is not answered; the server closes its end.
        if (!dead_)
            net::SendAll(fd_.Get(), std::string_view("\x03\0\0\0"
                                                     "1:\n",
                                                     7));
    }

    void Handshake(const std::string& user) {
        greeting_ = ParseGreeting(Next(), protocol_);
        out_.clear();
        if (!net::AppendPacket(out_, user + "\n")) throw Error("Packet too large");
        Send();
        ReadAcknowledgement(*this);
    }

    void SelectDatabase(const std::string& name) override {
        Exchange(net::kInitDb, name, [&] { ReadAcknowledgement(*this); });
    }
    QueryOutcome Query(std::string_view sql) override {
        QueryOutcome outcome;
        Exchange(net::kQuery, sql, [&] { outcome = ReadQueryReply(*this); });
        return outcome;
    }
    ResultSet ListDatabases() override { return List(net::kDbList, "", "Database"); }
    ResultSet ListTables() override { return List(net::kTableList, "", "Table"); }
    ResultSet ListFields(const std::string& table) override {
        ResultSet result;
        Exchange(net::kFieldList, table, [&] { result = ReadFieldListReply(*this); });
        return result;
    }
    ResultSet ListIndex(const std::string& table, const std::string& index) override {
        return List(net::kIndexList, table + ":" + index, "Index");
    }
    void CreateDatabase(const std::string& name) override {
        Exchange(net::kCreateDb, name, [&] { ReadAcknowledgement(*this); });
    }
    void DropDatabase(const std::string& name) override {
        Exchange(net::kDropDb, name, [&] { ReadAcknowledgement(*this); });
    }
    SequenceInfo GetSequence(const std::string& table) override {
        SequenceInfo info;
        Exchange(net::kSeqInfo, table, [&] { info = ReadSequenceReply(*this); });
        return info;
    }
    void PrintStats(std::FILE* out, size_t) override {
        // Free-text blocks up to the end marker, printed as they come (like mSQL's library).
        Exchange(net::kServerStats, "", [&] {
            for (;;) {
                std::string_view block = Next();
                ThrowIfError(block);
                if (net::LeadingNumber(block) == net::kReplyEnd) return;
                std::fwrite(block.data(), 1, block.size(), out);
            }
        });
    }
    void Shutdown() override {
        Exchange(net::kShutdown, "", [&] { ReadAcknowledgement(*this); });
    }
    void ReloadAcls() override {
        Exchange(net::kReloadAcl, "", [&] { ReadAcknowledgement(*this); });
    }

    std::string ServerInfo() const override { return greeting_.serverInfo; }
    std::string HostInfo() const override { return hostInfo_; }
    int Protocol() const override { return greeting_.protocol; }
    int Descriptor() const override { return fd_.Get(); }

private:
    // Sends "<code>:<argument>\n" and runs `read` on the reply. A broken connection or reply
    // ends the connection.
    template <typename Read>
    void Exchange(int code, std::string_view argument, Read&& read) {
        if (dead_) throw Error(kGoneAway);
        out_.clear();
        size_t start = net::BeginPacket(out_);
        net::AppendNumber(out_, code);
        out_ += ':';
        out_.append(argument);
        out_ += '\n';
        if (!net::EndPacket(out_, start)) throw Error("Packet too large");
        try {
            Send();
            read();
        } catch (const BadReply&) {
            Kill();
            throw;
        }
    }

    ResultSet List(int code, const std::string& argument, const char* column) {
        ResultSet result;
        Exchange(code, argument, [&] { result = ReadListReply(*this, column); });
        return result;
    }

    void Send() {
        if (!net::SendAll(fd_.Get(), out_)) Lost(kGoneAway);
    }

    std::string_view Next() override {
        if (dead_) throw Error(kGoneAway);
        std::string_view payload;
        switch (net::ReadPacket(fd_.Get(), in_, payload, -1, -1)) {
        case net::ReadStatus::Ready:
            return payload;
        case net::ReadStatus::TooLarge:
            Lost("Packet too large");
        default:
            Lost(kGoneAway);
        }
    }

    [[noreturn]] void Lost(const char* text) {
        Kill();
        throw Error(text);
    }

    // The socket stays open (so its number is not reused behind the caller's back) until the
    // handle is closed, but carries nothing more.
    void Kill() {
        dead_ = true;
        ::shutdown(fd_.Get(), SHUT_RDWR);
        in_.Clear();
    }

    net::UniqueFd fd_;
    std::string hostInfo_;
    int protocol_;
    Greeting greeting_;
    net::PacketBuffer in_;
    std::string out_;
    bool dead_ = false;
};

} // namespace

RemoteAddress ParseHostForm(std::string_view host, int defaultPort) {
    RemoteAddress address;
    if (!host.empty() && host[0] == '/') {
        address.unixSocket = true;
        address.path.assign(host);
        return address;
    }
    auto unknown = [&] { return Error("Unknown mSQL Server Host (" + std::string(host) + ")"); };
    std::string_view name = host;
    std::string_view port;
    bool hasPort = false;
    if (!host.empty() && host[0] == '[') {
        size_t close = host.find(']');
        if (close == std::string_view::npos) throw unknown();
        name = host.substr(1, close - 1);
        std::string_view rest = host.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') throw unknown();
            port = rest.substr(1);
            hasPort = true;
        }
    } else if (size_t colon = host.find(':'); colon != std::string_view::npos && host.rfind(':') == colon) {
        // One colon: "name:port". Several without brackets: a bare IPv6 address.
        name = host.substr(0, colon);
        port = host.substr(colon + 1);
        hasPort = true;
    }
    address.port = defaultPort;
    if (hasPort) {
        int value = 0;
        auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value <= 0 ||
            value > 65535)
            throw unknown();
        address.port = value;
    }
    address.host.assign(name);
    return address;
}

std::unique_ptr<Backend> ConnectRemote(const std::string& host, const std::string& user, int defaultPort,
                                       int protocol) {
    RemoteAddress address = ParseHostForm(host, defaultPort);
    net::UniqueFd fd;
    std::string hostInfo;
    if (address.unixSocket) {
        fd = ConnectUnix(address.path);
        hostInfo = "Localhost via UNIX socket";
    } else {
        fd = ConnectTcp(address.host, address.port, host);
        hostInfo = host + " via TCP/IP";
    }
    auto backend = std::make_unique<RemoteBackend>(std::move(fd), std::move(hostInfo), protocol);
    backend->Handshake(user);
    return backend;
}

} // namespace msql
