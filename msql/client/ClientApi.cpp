// The 28 functions of the mSQL C API. A connection is backed by the embedded engine (host NULL or
// "") or by an mSQL server (any other host form, see RemoteBackend.h). Every function catches the
// failures and reports them mSQL's way: -1 or NULL, with the text in msqlGetErrMsg(NULL).
#include "client/ClientState.h"
#include "client/Config.h"
#include "client/RemoteBackend.h"
#include "client/StoredResult.h"
#include "engine/Error.h"
#include "net/Protocol.h"

#include "msql.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

using msql::Backend;
using msql::ClientState;
using msql::State;

namespace {

using Guard = std::lock_guard<std::mutex>;

// Runs `body`, turning any failure into the error text and `failed`.
template <typename T, typename F>
T Guarded(ClientState& state, T failed, F&& body) {
    try {
        return body();
    } catch (const msql::Error& e) {
        state.SetError(e.what());
    } catch (const std::bad_alloc&) {
        state.SetError("Out of memory");
    } catch (const std::exception& e) {
        state.SetError(e.what());
    }
    return failed;
}

// Runs `body` on the connection of sock; `clearError` for the calls that start with a clean text.
template <typename T, typename F>
T OnConnection(int sock, T failed, bool clearError, F&& body) {
    ClientState& state = State();
    Guard guard(state.lock);
    if (clearError) state.ClearError();
    Backend* backend = state.Find(sock);
    if (!backend) return failed;
    return Guarded(state, failed, [&] { return body(*backend); });
}

std::string LoginName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
    if (const char* user = std::getenv("USER"); user && *user) return user;
    return "unknown";
}

std::string NameArg(const char* name) {
    return name ? name : "(null)";
}

// A number from the configuration file's [general] entry, else from the environment, else fallback.
int Setting(const char* item, const char* environment, int fallback) {
    std::string text;
    if (!msql::GlobalConfig().FileEntry("general", item, text)) {
        const char* env = std::getenv(environment);
        if (!env || !*env) return fallback;
        text = env;
    }
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && value > 0 && value <= INT_MAX ? static_cast<int>(value) : fallback;
}

int Connect(const char* host, const std::string& user) {
    ClientState& state = State();
    Guard guard(state.lock);
    state.ClearError();
    msql::GlobalConfig().LoadDefaultOnce();
    return Guarded(state, -1, [&] {
        std::unique_ptr<Backend> backend;
        if (host && *host) {
            const int port = Setting("tcp_port", "MSQL_TCP_PORT", msql::net::kDefaultTcpPort);
            const int protocol = Setting("protocol_version", "MSQL_PROTOCOL", msql::net::kDefaultProtocol);
            backend = msql::ConnectRemote(host, user, port, protocol);
        } else {
            backend = msql::MakeEmbeddedBackend(user);
        }
        std::snprintf(state.serverInfo, sizeof state.serverInfo, "%s", backend->ServerInfo().c_str());
        std::snprintf(state.hostInfo, sizeof state.hostInfo, "%s", backend->HostInfo().c_str());
        state.protocol = backend->Protocol();
        const int sock = backend->Descriptor();
        state.connections[sock] = std::move(backend);
        return sock;
    });
}

m_result* Stored(msql::ResultSet&& rows) {
    return msql::MakeStoredResult(std::move(rows));
}

int ClampCount(int64_t count) {
    return count > INT_MAX ? INT_MAX : count < -1 ? -1 : static_cast<int>(count);
}

} // namespace

extern "C" {

int msqlConnect(char* host) {
    return Connect(host, LoginName());
}

int msqlUserConnect(char* host, char* user) {
    return Connect(host, user && *user ? user : LoginName());
}

void msqlClose(int sock) {
    ClientState& state = State();
    std::unique_ptr<Backend> closing;
    Guard guard(state.lock);
    if (auto it = state.connections.find(sock); it != state.connections.end()) {
        closing = std::move(it->second);
        state.connections.erase(it);
    }
}

int msqlSelectDB(int sock, char* db) {
    return OnConnection(sock, -1, true, [&](Backend& b) {
        b.SelectDatabase(NameArg(db));
        return 0;
    });
}

int msqlQuery(int sock, char* query) {
    ClientState& state = State();
    {
        // Every query replaces the pending result: after a statement without rows there is none.
        Guard guard(state.lock);
        state.ReplacePending(nullptr);
    }
    return OnConnection(sock, -1, true, [&](Backend& b) {
        const std::string_view text = query ? query : "";
        if (text.size() > msql::net::kMaxQueryLength)
            throw msql::Error("Query too long (limit " + std::to_string(msql::net::kMaxQueryLength) + " bytes)");
        msql::QueryOutcome outcome = b.Query(text);
        if (outcome.result) state.ReplacePending(Stored(std::move(*outcome.result)));
        return ClampCount(outcome.count);
    });
}

m_result* msqlStoreResult(void) {
    ClientState& state = State();
    Guard guard(state.lock);
    m_result* result = state.pending;
    state.pending = nullptr;
    return result;
}

void msqlFreeResult(m_result* res) {
    msql::FreeStoredResult(res);
}

m_row msqlFetchRow(m_result* res) {
    if (!res || !res->cursor) return nullptr;
    m_row row = res->cursor->data;
    res->cursor = res->cursor->next;
    return row;
}

m_field* msqlFetchField(m_result* res) {
    if (!res || !res->fieldCursor) return nullptr;
    m_field* field = &res->fieldCursor->field;
    res->fieldCursor = res->fieldCursor->next;
    return field;
}

void msqlDataSeek(m_result* res, int n) {
    if (res) msql::SeekStoredResult(res, n);
}

void msqlFieldSeek(m_result* res, int n) {
    if (!res) return;
    // Field nodes are stored contiguously in order.
    res->fieldCursor = n >= 0 && n < res->numFields ? res->fieldData + n : nullptr;
}

m_result* msqlListDBs(int sock) {
    return OnConnection<m_result*>(sock, nullptr, false,
                                   [](Backend& b) { return Stored(b.ListDatabases()); });
}

m_result* msqlListTables(int sock) {
    return OnConnection<m_result*>(sock, nullptr, false, [](Backend& b) { return Stored(b.ListTables()); });
}

m_result* msqlListFields(int sock, char* table) {
    return OnConnection<m_result*>(sock, nullptr, false,
                                   [&](Backend& b) { return Stored(b.ListFields(NameArg(table))); });
}

m_result* msqlListIndex(int sock, char* table, char* index) {
    return OnConnection<m_result*>(sock, nullptr, false, [&](Backend& b) {
        return Stored(b.ListIndex(NameArg(table), NameArg(index)));
    });
}

int msqlCreateDB(int sock, char* db) {
    return OnConnection(sock, -1, false, [&](Backend& b) {
        b.CreateDatabase(NameArg(db));
        return 0;
    });
}

int msqlDropDB(int sock, char* db) {
    return OnConnection(sock, -1, false, [&](Backend& b) {
        b.DropDatabase(NameArg(db));
        return 0;
    });
}

m_seq* msqlGetSequenceInfo(int sock, char* table) {
    ClientState& state = State();
    return OnConnection<m_seq*>(sock, nullptr, false, [&](Backend& b) {
        msql::SequenceInfo seq = b.GetSequence(NameArg(table));
        state.sequence.step = static_cast<int>(seq.step);
        state.sequence.value = static_cast<int>(seq.value);
        return &state.sequence;
    });
}

char* msqlGetErrMsg(char* buf) {
    ClientState& state = State();
    if (!buf) return state.errorText;
    std::memcpy(buf, state.errorText, std::strlen(state.errorText) + 1);
    return buf;
}

char* msqlGetServerInfo(void) {
    return State().serverInfo;
}

char* msqlGetHostInfo(void) {
    return State().hostInfo;
}

int msqlGetProtoInfo(void) {
    return State().protocol;
}

int msqlGetServerStats(int sock) {
    ClientState& state = State();
    // mSQL's library prints the server's statistics to standard output.
    int rc = OnConnection(sock, -1, false, [&](Backend& b) {
        b.PrintStats(stdout, state.connections.size());
        return 0;
    });
    std::fflush(stdout);
    return rc;
}

int msqlShutdown(int sock) {
    return OnConnection(sock, -1, false, [](Backend& b) {
        b.Shutdown();
        return 0;
    });
}

int msqlReloadAcls(int sock) {
    return OnConnection(sock, -1, false, [](Backend& b) {
        b.ReloadAcls();
        return 0;
    });
}

int msqlLoadConfigFile(char* file) {
    ClientState& state = State();
    Guard guard(state.lock);
    return msql::GlobalConfig().Load(file ? file : "");
}

int msqlGetIntConf(char* section, char* item) {
    ClientState& state = State();
    Guard guard(state.lock);
    return msql::GlobalConfig().GetInt(section ? section : "", item ? item : "");
}

char* msqlGetCharConf(char* section, char* item) {
    ClientState& state = State();
    Guard guard(state.lock);
    return const_cast<char*>(msql::GlobalConfig().GetChar(section ? section : "", item ? item : ""));
}

} // extern "C"
