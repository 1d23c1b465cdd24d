// Loading and unloading the mSQL client library and resolving its functions by name.
#include "client/msqlBinding.h"

#include <dlfcn.h>

#include "host/Dialogs.h"

namespace corvane {

uint32_t SQLLibraryHandle = SQLLibraryNotLoaded;

msqlConnect_t msqlConnect = nullptr;
msqlClose_t msqlClose = nullptr;
msqlCreateDB_t msqlCreateDB = nullptr;
msqlDropDB_t msqlDropDB = nullptr;
msqlSelectDB_t msqlSelectDB = nullptr;
msqlDataSeek_t msqlDataSeek = nullptr;
msqlFieldSeek_t msqlFieldSeek = nullptr;
msqlFreeResult_t msqlFreeResult = nullptr;
msqlFetchField_t msqlFetchField = nullptr;
msqlFetchRow_t msqlFetchRow = nullptr;
msqlGetErrMsg_t msqlGetErrMsg = nullptr;
msqlGetHostInfo_t msqlGetHostInfo = nullptr;
msqlGetIntConf_t msqlGetIntConf = nullptr;
msqlGetCharConf_t msqlGetCharConf = nullptr;
msqlGetProtoInfo_t msqlGetProtoInfo = nullptr;
msqlGetServerInfo_t msqlGetServerInfo = nullptr;
msqlGetServerStats_t msqlGetServerStats = nullptr;
msqlGetSequenceInfo_t msqlGetSequenceInfo = nullptr;
msqlListDBs_t msqlListDBs = nullptr;
msqlListFields_t msqlListFields = nullptr;
msqlListIndex_t msqlListIndex = nullptr;
msqlListTables_t msqlListTables = nullptr;
msqlLoadConfigFile_t msqlLoadConfigFile = nullptr;
msqlQuery_t msqlQuery = nullptr;
msqlReloadAcls_t msqlReloadAcls = nullptr;
msqlShutdown_t msqlShutdown = nullptr;
msqlStoreResult_t msqlStoreResult = nullptr;
msqlUserConnect_t msqlUserConnect = nullptr;

namespace {

// The operating system's handle of the loaded library (null when not loaded).
void* gModule = nullptr;
// Last value handed out as SQLLibraryHandle; each load gets the next one above 32.
uint32_t gLastHandle = SQLLibraryNotLoaded;
// File name of the most recent load attempt (a function-local static, so that a load during
// static initialisation never meets an unconstructed string).
std::string& LastFileName() {
    static std::string name = mSQLLibraryName;
    return name;
}
// True when the most recent load resolved every function.
bool gComplete = false;
// Number of functions the most recent load resolved, in table order: the index of the first missing
// one (mSQLFunctionCount when none is missing, 0 when nothing is loaded).
int gFirstMissing = 0;

// Stores a resolved address (or null) into one typed function variable.
template <class F>
void Assign(F& variable, void* address) {
    variable = reinterpret_cast<F>(address);
}

struct FunctionSlot {
    const char* name;
    void (*assign)(void* address);
    bool called; // the rest of Corvane calls it; the others are only bound
};

#define CORVANE_SLOT(fn, called)                                                                             \
    {                                                                                                        \
#fn, [](void* address) { Assign(fn, address); }, called                                              \
    }

// The client functions in resolution order.
const FunctionSlot kFunctions[mSQLFunctionCount] = {
    CORVANE_SLOT(msqlConnect, true),         CORVANE_SLOT(msqlClose, true),
    CORVANE_SLOT(msqlCreateDB, false),       CORVANE_SLOT(msqlDropDB, false),
    CORVANE_SLOT(msqlSelectDB, true),        CORVANE_SLOT(msqlDataSeek, true),
    CORVANE_SLOT(msqlFieldSeek, true),       CORVANE_SLOT(msqlFreeResult, true),
    CORVANE_SLOT(msqlFetchField, true),      CORVANE_SLOT(msqlFetchRow, true),
    CORVANE_SLOT(msqlGetErrMsg, true),       CORVANE_SLOT(msqlGetHostInfo, true),
    CORVANE_SLOT(msqlGetIntConf, false),     CORVANE_SLOT(msqlGetCharConf, false),
    CORVANE_SLOT(msqlGetProtoInfo, false),   CORVANE_SLOT(msqlGetServerInfo, true),
    CORVANE_SLOT(msqlGetServerStats, true),  CORVANE_SLOT(msqlGetSequenceInfo, false),
    CORVANE_SLOT(msqlListDBs, true),         CORVANE_SLOT(msqlListFields, true),
    CORVANE_SLOT(msqlListIndex, true),       CORVANE_SLOT(msqlListTables, true),
    CORVANE_SLOT(msqlLoadConfigFile, false), CORVANE_SLOT(msqlQuery, true),
    CORVANE_SLOT(msqlReloadAcls, false),     CORVANE_SLOT(msqlShutdown, false),
    CORVANE_SLOT(msqlStoreResult, true),     CORVANE_SLOT(msqlUserConnect, false),
};

#undef CORVANE_SLOT

void ClearFunctions(int from) {
    for (int i = from; i < mSQLFunctionCount; ++i)
        kFunctions[i].assign(nullptr);
}

void ShowError(const std::string& text) {
    host::MessageBox(text, "Error", host::MB_OK | host::MB_ICONERROR);
}

// Loads and resolves; returns the name of the first missing function, or nullptr when all were
// found or the library could not be loaded (then SQLLibraryHandle stays 32).
const char* Load(const std::string& fileName) {
    LastFileName() = fileName;
    // A handle kept while SQLLibraryHandle was forced to "not loaded" is released first.
    if (gModule) {
        dlclose(gModule);
        gModule = nullptr;
    }
    gComplete = false;
    gFirstMissing = 0;
    ClearFunctions(0);
    SQLLibraryHandle = SQLLibraryNotLoaded;

    gModule = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!gModule) return nullptr;
    gLastHandle = gLastHandle == UINT32_MAX ? SQLLibraryNotLoaded + 1 : gLastHandle + 1;
    SQLLibraryHandle = gLastHandle;

    for (int i = 0; i < mSQLFunctionCount; ++i) {
        void* address = dlsym(gModule, kFunctions[i].name);
        if (!address) return kFunctions[i].name; // this and every later variable stay null
        kFunctions[i].assign(address);
        gFirstMissing = i + 1;
    }
    gComplete = true;
    return nullptr;
}

} // namespace

const char* mSQLFunctionName(int index) {
    return index >= 0 && index < mSQLFunctionCount ? kFunctions[index].name : nullptr;
}

void LoadmSQLLibrary(const std::string& fileName) {
    if (mSQLLibraryLoaded()) return;
    const char* missing = Load(fileName);
    if (!mSQLLibraryLoaded())
        ShowError("Error Loading DLL " + fileName);
    else if (missing)
        ShowError(std::string("Error Loading Dynamic Function ") + missing + " from " + fileName);
}

bool TryLoadmSQLLibrary(const std::string& fileName) {
    if (!mSQLLibraryLoaded()) Load(fileName);
    return mSQLLibraryLoaded();
}

void UnloadmSQLLibrary() {
    if (gModule) dlclose(gModule);
    gModule = nullptr;
    gComplete = false;
    gFirstMissing = 0;
    ClearFunctions(0);
    SQLLibraryHandle = SQLLibraryNotLoaded;
}

bool mSQLLibraryComplete() {
    return mSQLLibraryLoaded() && gComplete;
}

bool mSQLFunctionCalled(int index) {
    return index >= 0 && index < mSQLFunctionCount && kFunctions[index].called;
}

bool mSQLLibraryUsable() {
    if (!mSQLLibraryLoaded()) return false;
    for (int i = gFirstMissing; i < mSQLFunctionCount; ++i)
        if (kFunctions[i].called) return false;
    return true;
}

std::string mSQLLoadErrorText() {
    return "Error Loading DLL " + LastFileName();
}

} // namespace corvane
