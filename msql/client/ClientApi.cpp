// The 28 functions of the mSQL C API over the embedded engine. Every function catches the
// engine's errors and reports them mSQL's way: -1 or NULL, with the text in msqlGetErrMsg(NULL).
#include "client/ClientState.h"
#include "client/Config.h"
#include "client/StoredResult.h"
#include "engine/Error.h"

#include "msql.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

using msql::ClientState;
using msql::Session;
using msql::State;

namespace {

constexpr int kProtocolVersion = 23;
constexpr const char* kServerVersion = "2.0.11 (Corvane embedded engine)";

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

std::string LoginName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
    if (const char* user = std::getenv("USER"); user && *user) return user;
    return "unknown";
}

std::string NameArg(const char* name) {
    return name ? name : "(null)";
}

int Connect(const char* host, const std::string& user) {
    ClientState& state = State();
    Guard guard(state.lock);
    state.ClearError();
    msql::GlobalConfig().MarkLoaded();
    if (host && *host) {
        // Reserved for the network client.
        state.SetError(std::string("Can't connect to mSQL server on ") + host);
        return -1;
    }
    return Guarded(state, -1, [&] {
        auto session = std::make_unique<Session>(Session::DefaultDataDir(), user);
        while (state.sessions.count(state.nextSocket))
            state.nextSocket = state.nextSocket == INT_MAX ? 1 : state.nextSocket + 1;
        int sock = state.nextSocket++;
        state.sessions.emplace(sock, std::move(session));
        std::snprintf(state.serverInfo, sizeof state.serverInfo, "%s", kServerVersion);
        std::snprintf(state.hostInfo, sizeof state.hostInfo, "%s", "Localhost via embedded engine");
        state.protocol = kProtocolVersion;
        return sock;
    });
}

m_result* ListResult(int sock, msql::ResultSet (*make)(Session&, const char*, const char*), const char* a,
                     const char* b) {
    ClientState& state = State();
    Guard guard(state.lock);
    Session* session = state.Find(sock);
    if (!session) return nullptr;
    return Guarded<m_result*>(state, nullptr, [&] { return msql::MakeStoredResult(make(*session, a, b)); });
}

int ClampCount(int64_t count) {
    return count > INT_MAX ? INT_MAX : static_cast<int>(count);
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
    Guard guard(state.lock);
    state.sessions.erase(sock);
}

int msqlSelectDB(int sock, char* db) {
    ClientState& state = State();
    Guard guard(state.lock);
    state.ClearError();
    Session* session = state.Find(sock);
    if (!session) return -1;
    return Guarded(state, -1, [&] {
        session->SelectDatabase(NameArg(db));
        return 0;
    });
}

int msqlQuery(int sock, char* query) {
    ClientState& state = State();
    Guard guard(state.lock);
    state.ClearError();
    // Every query replaces the pending result: after a statement without rows there is none.
    state.ReplacePending(nullptr);
    Session* session = state.Find(sock);
    if (!session) return -1;
    return Guarded(state, -1, [&] {
        msql::QueryOutcome outcome = session->Query(query ? query : "");
        if (outcome.result) state.ReplacePending(msql::MakeStoredResult(std::move(*outcome.result)));
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
    return ListResult(
        sock,
        [](Session& s, const char*, const char*) { return msql::MakeList("Database", s.ListDatabases()); },
        nullptr, nullptr);
}

m_result* msqlListTables(int sock) {
    return ListResult(
        sock, [](Session& s, const char*, const char*) { return s.ListTables(); }, nullptr, nullptr);
}

m_result* msqlListFields(int sock, char* table) {
    return ListResult(
        sock, [](Session& s, const char* t, const char*) { return s.ListFields(NameArg(t)); }, table,
        nullptr);
}

m_result* msqlListIndex(int sock, char* table, char* index) {
    return ListResult(
        sock, [](Session& s, const char* t, const char* i) { return s.ListIndex(NameArg(t), NameArg(i)); },
        table, index);
}

int msqlCreateDB(int sock, char* db) {
    ClientState& state = State();
    Guard guard(state.lock);
    Session* session = state.Find(sock);
    if (!session) return -1;
    return Guarded(state, -1, [&] {
        session->CreateDatabase(NameArg(db));
        return 0;
    });
}

int msqlDropDB(int sock, char* db) {
    ClientState& state = State();
    Guard guard(state.lock);
    Session* session = state.Find(sock);
    if (!session) return -1;
    return Guarded(state, -1, [&] {
        session->DropDatabase(NameArg(db));
        return 0;
    });
}

m_seq* msqlGetSequenceInfo(int sock, char* table) {
    ClientState& state = State();
    Guard guard(state.lock);
    Session* session = state.Find(sock);
    if (!session) return nullptr;
    return Guarded<m_seq*>(state, nullptr, [&] {
        msql::SequenceInfo seq = session->GetSequence(NameArg(table));
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
    Guard guard(state.lock);
    Session* session = state.Find(sock);
    if (!session) return -1;
    // mSQL's library prints the server's statistics to standard output.
    std::printf("Server version: %s\nData folder: %s\nConnections in this process: %zu\n", kServerVersion,
                session->DataDir().c_str(), state.sessions.size());
    std::fflush(stdout);
    return 0;
}

int msqlShutdown(int sock) {
    ClientState& state = State();
    Guard guard(state.lock);
    // The embedded engine has no server process to stop.
    return state.Find(sock) ? 0 : -1;
}

int msqlReloadAcls(int sock) {
    ClientState& state = State();
    Guard guard(state.lock);
    // The embedded engine grants full access; there are no access lists to reload.
    return state.Find(sock) ? 0 : -1;
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
