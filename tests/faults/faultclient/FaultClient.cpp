// The fault-injecting client library: a libmsql.so that forwards the 28 client functions to the real
// library and makes an armed call fail as a client of a real mSQL server fails (see FaultControl.h).
#include "FaultControl.h"

#include "msql.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#ifndef MSQL_FAULT_REAL_LIBRARY
#error "MSQL_FAULT_REAL_LIBRARY must name the real client library"
#endif

namespace {

// The client functions in the binding's resolution order.
enum Function {
    fnConnect,
    fnClose,
    fnCreateDB,
    fnDropDB,
    fnSelectDB,
    fnDataSeek,
    fnFieldSeek,
    fnFreeResult,
    fnFetchField,
    fnFetchRow,
    fnGetErrMsg,
    fnGetHostInfo,
    fnGetIntConf,
    fnGetCharConf,
    fnGetProtoInfo,
    fnGetServerInfo,
    fnGetServerStats,
    fnGetSequenceInfo,
    fnListDBs,
    fnListFields,
    fnListIndex,
    fnListTables,
    fnLoadConfigFile,
    fnQuery,
    fnReloadAcls,
    fnShutdown,
    fnStoreResult,
    fnUserConnect,
    kFunctionCount,
    kAnyFunction = kFunctionCount // "*": every call that can fail
};

struct FunctionInfo {
    const char* name;
    bool canFail; // talks to the server (or hands over what it sent)
};

constexpr FunctionInfo kFunctions[kFunctionCount] = {
    {"msqlConnect", true},        {"msqlClose", false},          {"msqlCreateDB", true},
    {"msqlDropDB", true},         {"msqlSelectDB", true},        {"msqlDataSeek", false},
    {"msqlFieldSeek", false},     {"msqlFreeResult", false},     {"msqlFetchField", false},
    {"msqlFetchRow", false},      {"msqlGetErrMsg", false},      {"msqlGetHostInfo", false},
    {"msqlGetIntConf", false},    {"msqlGetCharConf", false},    {"msqlGetProtoInfo", false},
    {"msqlGetServerInfo", false}, {"msqlGetServerStats", true},  {"msqlGetSequenceInfo", true},
    {"msqlListDBs", true},        {"msqlListFields", true},      {"msqlListIndex", true},
    {"msqlListTables", true},     {"msqlLoadConfigFile", false}, {"msqlQuery", true},
    {"msqlReloadAcls", true},     {"msqlShutdown", true},        {"msqlStoreResult", true},
    {"msqlUserConnect", true},
};

constexpr const char* kGoneAway = "mSQL server has gone away";

// What the wrapper of a call does.
enum Action { acForward, acFail, acLose, acReplyLost };

class Injector {
public:
    static Injector& Get() {
        static Injector injector;
        return injector;
    }

    // The real library's address of fn.
    void* Slot(Function fn) const { return fSlots[fn]; }

    // Counts a call of fn (on sock, -1 for none) and decides its fate.
    Action Decide(Function fn, int sock) {
        std::lock_guard<std::mutex> guard(fLock);
        if (sock >= 0 && fLost.count(sock)) {
            if (!fSuspended) Count(fn);
            return acFail; // a lost connection stays lost
        }
        if (fSuspended) return acForward;
        const long calls = Count(fn);
        if (fArmed == -1 || fFired) return acForward;
        const bool hit = fArmed == kAnyFunction ? kFunctions[fn].canFail && fFailable == fArmedCall
                                                : fArmed == fn && calls == fArmedCall;
        if (!hit) return acForward;
        fFired = true;
        fFiredFunction = kFunctions[fn].name;
        switch (fKind) {
        case MSQL_FAULT_LOSE:
            return acLose;
        case MSQL_FAULT_REPLY_LOST:
            return acReplyLost;
        default:
            return acFail;
        }
    }

    // The connection of sock is gone: every later call on it fails until it is closed.
    void Lose(int sock) {
        std::lock_guard<std::mutex> guard(fLock);
        if (sock >= 0) fLost.insert(sock);
    }
    void Closed(int sock) {
        std::lock_guard<std::mutex> guard(fLock);
        fLost.erase(sock);
    }
    void QueriedOn(int sock) {
        std::lock_guard<std::mutex> guard(fLock);
        fLastQuerySocket = sock;
    }
    int LastQuerySocket() {
        std::lock_guard<std::mutex> guard(fLock);
        return fLastQuerySocket;
    }

    // The error text of an injected failure; msqlGetErrMsg reports it until a real call sets its own.
    void InjectError(const std::string& text) {
        std::lock_guard<std::mutex> guard(fLock);
        std::snprintf(fErrorText, sizeof fErrorText, "%s", text.c_str());
        fErrorInjected = true;
    }
    void RealErrorCurrent() {
        std::lock_guard<std::mutex> guard(fLock);
        fErrorInjected = false;
    }
    char* ErrorText(char* buf) {
        std::lock_guard<std::mutex> guard(fLock);
        if (!fErrorInjected) return nullptr;
        if (!buf) return fErrorText;
        std::memcpy(buf, fErrorText, std::strlen(fErrorText) + 1);
        return buf;
    }

    // Control.
    void Reset() {
        std::lock_guard<std::mutex> guard(fLock);
        Disarm();
        fSuspended = false;
    }
    int Arm(const char* function, long n, int kind) {
        const int fn = FunctionNumber(function);
        if (fn < 0 || n < 1 || kind < MSQL_FAULT_FAIL || kind > MSQL_FAULT_REPLY_LOST) return -1;
        if (fn != kAnyFunction && !kFunctions[fn].canFail) return -1;
        std::lock_guard<std::mutex> guard(fLock);
        Disarm();
        fArmed = fn;
        fArmedCall = n;
        fKind = kind;
        return 0;
    }
    long Calls(const char* function) {
        const int fn = FunctionNumber(function);
        if (fn < 0) return -1;
        std::lock_guard<std::mutex> guard(fLock);
        return fn == kAnyFunction ? fFailable : fCounts[fn];
    }
    int Fired() {
        std::lock_guard<std::mutex> guard(fLock);
        return fFired ? 1 : 0;
    }
    const char* FiredFunction() {
        std::lock_guard<std::mutex> guard(fLock);
        return fFiredFunction;
    }
    void Suspend(bool suspended) {
        std::lock_guard<std::mutex> guard(fLock);
        fSuspended = suspended;
    }

private:
    Injector() {
        LoadReal();
        ArmFromEnvironment();
    }

    long Count(Function fn) {
        if (kFunctions[fn].canFail) ++fFailable;
        return ++fCounts[fn];
    }

    void Disarm() {
        fArmed = -1;
        fArmedCall = 0;
        fKind = MSQL_FAULT_FAIL;
        fFired = false;
        fFiredFunction = "";
        fFailable = 0;
        for (long& count : fCounts)
            count = 0;
    }

    static int FunctionNumber(const char* function) {
        if (!function || std::strcmp(function, "*") == 0) return kAnyFunction;
        for (int i = 0; i < kFunctionCount; ++i)
            if (std::strcmp(function, kFunctions[i].name) == 0) return i;
        return -1;
    }

    void LoadReal() {
        const char* path = std::getenv("MSQL_FAULT_REAL_LIBRARY");
        if (!path || !*path) path = MSQL_FAULT_REAL_LIBRARY;
        void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            std::fprintf(stderr, "fault-injecting libmsql.so: cannot load %s: %s\n", path, dlerror());
            std::abort();
        }
        for (int i = 0; i < kFunctionCount; ++i) {
            fSlots[i] = dlsym(module, kFunctions[i].name);
            if (!fSlots[i]) {
                std::fprintf(stderr, "fault-injecting libmsql.so: %s lacks %s\n", path, kFunctions[i].name);
                std::abort();
            }
        }
        // The module stays loaded for the life of the process: results it handed out live in it.
    }

    void ArmFromEnvironment() {
        const char* function = std::getenv("MSQL_FAULT_FUNCTION");
        const char* call = std::getenv("MSQL_FAULT_CALL");
        if (!function || !*function || !call || !*call) return;
        const char* kindText = std::getenv("MSQL_FAULT_KIND");
        int kind = MSQL_FAULT_FAIL;
        if (kindText && std::strcmp(kindText, "lose") == 0) kind = MSQL_FAULT_LOSE;
        if (kindText && std::strcmp(kindText, "reply-lost") == 0) kind = MSQL_FAULT_REPLY_LOST;
        if (Arm(function, std::strtol(call, nullptr, 10), kind) != 0)
            std::fprintf(stderr, "fault-injecting libmsql.so: cannot arm %s call %s\n", function, call);
    }

    void* fSlots[kFunctionCount] = {};
    std::mutex fLock;
    long fCounts[kFunctionCount] = {};
    long fFailable = 0;
    int fArmed = -1;
    long fArmedCall = 0;
    int fKind = MSQL_FAULT_FAIL;
    bool fFired = false;
    const char* fFiredFunction = "";
    bool fSuspended = false;
    std::set<int> fLost;
    int fLastQuerySocket = -1;
    char fErrorText[200] = {};
    bool fErrorInjected = false;
};

Injector& Faults() {
    return Injector::Get();
}

// The real library's function fn, typed as its declaration in msql.h.
template <class F>
F RealFunction(Function fn) {
    return reinterpret_cast<F>(Faults().Slot(fn));
}
#define REAL(name) RealFunction<decltype(&msql##name)>(fn##name)

// The result of a failed call of a socket function: -1 or NULL with "mSQL server has gone away".
template <class T>
T GoneAway(T failed) {
    Faults().InjectError(kGoneAway);
    return failed;
}

// Runs a socket function that reports its failure as `failed`; discard releases what a call whose
// reply is lost returned.
template <class T, class Call, class Discard>
T SocketCall(Function fn, int sock, T failed, Call call, Discard discard) {
    switch (Faults().Decide(fn, sock)) {
    case acForward: {
        T result = call();
        if (result == failed) Faults().RealErrorCurrent();
        return result;
    }
    case acFail:
        return GoneAway(failed);
    case acLose:
        Faults().Lose(sock);
        return GoneAway(failed);
    case acReplyLost: {
        T result = call();
        if (result != failed) discard(result);
        Faults().Lose(sock);
        return GoneAway(failed);
    }
    }
    return failed;
}

// The pending result of the last query is dropped, as a failed query drops it.
void DropPending() {
    if (m_result* pending = REAL(StoreResult)()) REAL(FreeResult)(pending);
}

int Connect(Function fn, char* host, char* user) {
    if (Faults().Decide(fn, -1) == acForward) {
        Faults().RealErrorCurrent(); // a connect sets or clears the error text
        return fn == fnConnect ? REAL(Connect)(host) : REAL(UserConnect)(host, user);
    }
    Faults().InjectError(host && *host ? std::string("Can't connect to mSQL server on ") + host
                                       : std::string("Can't connect to local mSQL server"));
    return -1;
}

template <class T>
void Keep(T) {}

} // namespace

extern "C" {

int msqlConnect(char* host) {
    return Connect(fnConnect, host, nullptr);
}

int msqlUserConnect(char* host, char* user) {
    return Connect(fnUserConnect, host, user);
}

void msqlClose(int sock) {
    Faults().Decide(fnClose, -1);
    Faults().Closed(sock);
    REAL(Close)(sock);
}

int msqlSelectDB(int sock, char* db) {
    Faults().RealErrorCurrent(); // msqlSelectDB clears the error text on entry
    return SocketCall(
        fnSelectDB, sock, -1, [&] { return REAL(SelectDB)(sock, db); }, Keep<int>);
}

int msqlQuery(int sock, char* query) {
    Faults().RealErrorCurrent(); // msqlQuery clears the error text on entry
    const Action action = Faults().Decide(fnQuery, sock);
    if (action == acForward) {
        Faults().QueriedOn(sock);
        const int result = REAL(Query)(sock, query);
        if (result < 0) Faults().RealErrorCurrent();
        return result;
    }
    if (action == acReplyLost) REAL(Query)(sock, query);
    DropPending();
    if (action != acFail) Faults().Lose(sock);
    return GoneAway(-1);
}

m_result* msqlStoreResult(void) {
    const Action action = Faults().Decide(fnStoreResult, -1);
    if (action == acForward) return REAL(StoreResult)();
    // The rows were lost on their way: the client has nothing to hand over.
    DropPending();
    if (action != acFail) Faults().Lose(Faults().LastQuerySocket());
    return nullptr;
}

int msqlCreateDB(int sock, char* db) {
    return SocketCall(
        fnCreateDB, sock, -1, [&] { return REAL(CreateDB)(sock, db); }, Keep<int>);
}

int msqlDropDB(int sock, char* db) {
    return SocketCall(
        fnDropDB, sock, -1, [&] { return REAL(DropDB)(sock, db); }, Keep<int>);
}

int msqlGetServerStats(int sock) {
    return SocketCall(
        fnGetServerStats, sock, -1, [&] { return REAL(GetServerStats)(sock); }, Keep<int>);
}

int msqlShutdown(int sock) {
    return SocketCall(
        fnShutdown, sock, -1, [&] { return REAL(Shutdown)(sock); }, Keep<int>);
}

int msqlReloadAcls(int sock) {
    return SocketCall(
        fnReloadAcls, sock, -1, [&] { return REAL(ReloadAcls)(sock); }, Keep<int>);
}

m_seq* msqlGetSequenceInfo(int sock, char* table) {
    return SocketCall<m_seq*>(
        fnGetSequenceInfo, sock, nullptr, [&] { return REAL(GetSequenceInfo)(sock, table); }, Keep<m_seq*>);
}

m_result* msqlListDBs(int sock) {
    return SocketCall<m_result*>(
        fnListDBs, sock, nullptr, [&] { return REAL(ListDBs)(sock); }, REAL(FreeResult));
}

m_result* msqlListTables(int sock) {
    return SocketCall<m_result*>(
        fnListTables, sock, nullptr, [&] { return REAL(ListTables)(sock); }, REAL(FreeResult));
}

m_result* msqlListFields(int sock, char* table) {
    return SocketCall<m_result*>(
        fnListFields, sock, nullptr, [&] { return REAL(ListFields)(sock, table); }, REAL(FreeResult));
}

m_result* msqlListIndex(int sock, char* table, char* index) {
    return SocketCall<m_result*>(
        fnListIndex, sock, nullptr, [&] { return REAL(ListIndex)(sock, table, index); }, REAL(FreeResult));
}

// ---- Calls on client memory: counted and forwarded.

void msqlDataSeek(m_result* res, int n) {
    Faults().Decide(fnDataSeek, -1);
    REAL(DataSeek)(res, n);
}

void msqlFieldSeek(m_result* res, int n) {
    Faults().Decide(fnFieldSeek, -1);
    REAL(FieldSeek)(res, n);
}

void msqlFreeResult(m_result* res) {
    Faults().Decide(fnFreeResult, -1);
    REAL(FreeResult)(res);
}

m_field* msqlFetchField(m_result* res) {
    Faults().Decide(fnFetchField, -1);
    return REAL(FetchField)(res);
}

m_row msqlFetchRow(m_result* res) {
    Faults().Decide(fnFetchRow, -1);
    return REAL(FetchRow)(res);
}

char* msqlGetErrMsg(char* buf) {
    Faults().Decide(fnGetErrMsg, -1);
    if (char* injected = Faults().ErrorText(buf)) return injected;
    return REAL(GetErrMsg)(buf);
}

char* msqlGetHostInfo(void) {
    Faults().Decide(fnGetHostInfo, -1);
    return REAL(GetHostInfo)();
}

char* msqlGetServerInfo(void) {
    Faults().Decide(fnGetServerInfo, -1);
    return REAL(GetServerInfo)();
}

int msqlGetProtoInfo(void) {
    Faults().Decide(fnGetProtoInfo, -1);
    return REAL(GetProtoInfo)();
}

int msqlGetIntConf(char* section, char* item) {
    Faults().Decide(fnGetIntConf, -1);
    return REAL(GetIntConf)(section, item);
}

char* msqlGetCharConf(char* section, char* item) {
    Faults().Decide(fnGetCharConf, -1);
    return REAL(GetCharConf)(section, item);
}

int msqlLoadConfigFile(char* file) {
    Faults().Decide(fnLoadConfigFile, -1);
    return REAL(LoadConfigFile)(file);
}

// ---- Control

void msqlFaultReset(void) {
    Faults().Reset();
}

int msqlFaultArm(const char* function, long n, int kind) {
    return Faults().Arm(function, n, kind);
}

long msqlFaultCalls(const char* function) {
    return Faults().Calls(function);
}

int msqlFaultFired(void) {
    return Faults().Fired();
}

const char* msqlFaultFiredFunction(void) {
    return Faults().FiredFunction();
}

void msqlFaultSuspend(int suspended) {
    Faults().Suspend(suspended != 0);
}

} // extern "C"
