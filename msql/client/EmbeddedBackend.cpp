// The embedded engine behind a connection handle: each handle is its own engine session.
#include "client/Backend.h"

#include "engine/Error.h"
#include "engine/Session.h"
#include "net/Socket.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace msql {

namespace {

constexpr int kEmbeddedProtocol = 23;
constexpr const char* kEmbeddedVersion = "2.0.11 (Corvane embedded engine)";

class EmbeddedBackend final : public Backend {
public:
    explicit EmbeddedBackend(const std::string& user)
        : session_(Session::DefaultDataDir(), user), handle_(::open("/dev/null", O_RDONLY | O_CLOEXEC)) {
        if (!handle_)
            throw Error("Can't open a connection handle (" + std::string(std::strerror(errno)) + ")");
    }

    void SelectDatabase(const std::string& name) override { session_.SelectDatabase(name); }
    QueryOutcome Query(std::string_view sql) override { return session_.Query(sql); }
    ResultSet ListDatabases() override { return MakeList("Database", session_.ListDatabases()); }
    ResultSet ListTables() override { return session_.ListTables(); }
    ResultSet ListFields(const std::string& table) override { return session_.ListFields(table); }
    ResultSet ListIndex(const std::string& table, const std::string& index) override {
        return session_.ListIndex(table, index);
    }
    void CreateDatabase(const std::string& name) override { session_.CreateDatabase(name); }
    void DropDatabase(const std::string& name) override { session_.DropDatabase(name); }
    SequenceInfo GetSequence(const std::string& table) override { return session_.GetSequence(table); }
    void PrintStats(std::FILE* out, size_t handles) override {
        std::fprintf(out, "Server version: %s\nData folder: %s\nConnections in this process: %zu\n",
                     kEmbeddedVersion, session_.DataDir().c_str(), handles);
    }
    // The embedded engine has no server process to stop and grants full access (no lists to reload).
    void Shutdown() override {}
    void ReloadAcls() override {}

    std::string ServerInfo() const override { return kEmbeddedVersion; }
    std::string HostInfo() const override { return "Localhost via embedded engine"; }
    int Protocol() const override { return kEmbeddedProtocol; }
    int Descriptor() const override { return handle_.Get(); }

private:
    Session session_;
    net::UniqueFd handle_; // reserves a number no socket of this process can have
};

} // namespace

std::unique_ptr<Backend> MakeEmbeddedBackend(const std::string& user) {
    return std::make_unique<EmbeddedBackend>(user);
}

} // namespace msql
