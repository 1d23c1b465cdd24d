// The run-time binding of the mSQL client library: loading it by file name, the function
// variables the rest of Corvane calls through, and unloading.
//
// Corvane never links against a client library. LoadmSQLLibrary opens "libmsql.so" through the
// dynamic linker's search path (so a real mSQL client library or ours can be used) and resolves
// the 28 client functions by name, in the order they are declared below. Failures are reported
// by error message boxes (host::MessageBox), never by exceptions.
//
// Not thread-safe: load and unload from one thread, before and after the library is used.
#pragma once

#include <cstdint>
#include <string>

#include "client/msqlABI.h"

namespace corvane {

// The client library's file name on this platform, as the dynamic linker looks it up.
inline constexpr const char* mSQLLibraryName = "libmsql.so";

// SQLLibraryHandle value meaning "not loaded"; any value above it means loaded.
inline constexpr uint32_t SQLLibraryNotLoaded = 32;

// The loaded client library: 32 when not loaded, above 32 when loaded. The operating system's
// module handle is kept privately beside it.
extern uint32_t SQLLibraryHandle;

// Signatures of the client functions. Text arguments the client library only reads are const
// here; that does not change the C ABI.
using msqlConnect_t = int (*)(const char* host);
using msqlClose_t = void (*)(int sock);
using msqlCreateDB_t = int (*)(int sock, const char* db);
using msqlDropDB_t = int (*)(int sock, const char* db);
using msqlSelectDB_t = int (*)(int sock, const char* db);
using msqlDataSeek_t = void (*)(m_result* res, int row);
using msqlFieldSeek_t = void (*)(m_result* res, int field);
using msqlFreeResult_t = void (*)(m_result* res);
using msqlFetchField_t = m_field* (*)(m_result* res);
using msqlFetchRow_t = m_row (*)(m_result* res);
using msqlGetErrMsg_t = char* (*)(char* buf);
using msqlGetHostInfo_t = char* (*)();
using msqlGetIntConf_t = int (*)(const char* section, const char* item);
using msqlGetCharConf_t = char* (*)(const char* section, const char* item);
using msqlGetProtoInfo_t = int (*)();
using msqlGetServerInfo_t = char* (*)();
using msqlGetServerStats_t = int (*)(int sock);
using msqlGetSequenceInfo_t = m_seq* (*)(int sock, const char* table);
using msqlListDBs_t = m_result* (*)(int sock);
using msqlListFields_t = m_result* (*)(int sock, const char* table);
using msqlListIndex_t = m_result* (*)(int sock, const char* table, const char* index);
using msqlListTables_t = m_result* (*)(int sock);
using msqlLoadConfigFile_t = int (*)(const char* file);
using msqlQuery_t = int (*)(int sock, const char* query);
using msqlReloadAcls_t = int (*)(int sock);
using msqlShutdown_t = int (*)(int sock);
using msqlStoreResult_t = m_result* (*)();
using msqlUserConnect_t = int (*)(const char* host, const char* user);

// The function variables, in resolution order. A function the loaded library lacks, and every
// function after it, is null; all are null while the library is not loaded.
extern msqlConnect_t msqlConnect;
extern msqlClose_t msqlClose;
extern msqlCreateDB_t msqlCreateDB;
extern msqlDropDB_t msqlDropDB;
extern msqlSelectDB_t msqlSelectDB;
extern msqlDataSeek_t msqlDataSeek;
extern msqlFieldSeek_t msqlFieldSeek;
extern msqlFreeResult_t msqlFreeResult;
extern msqlFetchField_t msqlFetchField;
extern msqlFetchRow_t msqlFetchRow;
extern msqlGetErrMsg_t msqlGetErrMsg;
extern msqlGetHostInfo_t msqlGetHostInfo;
extern msqlGetIntConf_t msqlGetIntConf;
extern msqlGetCharConf_t msqlGetCharConf;
extern msqlGetProtoInfo_t msqlGetProtoInfo;
extern msqlGetServerInfo_t msqlGetServerInfo;
extern msqlGetServerStats_t msqlGetServerStats;
extern msqlGetSequenceInfo_t msqlGetSequenceInfo;
extern msqlListDBs_t msqlListDBs;
extern msqlListFields_t msqlListFields;
extern msqlListIndex_t msqlListIndex;
extern msqlListTables_t msqlListTables;
extern msqlLoadConfigFile_t msqlLoadConfigFile;
extern msqlQuery_t msqlQuery;
extern msqlReloadAcls_t msqlReloadAcls;
extern msqlShutdown_t msqlShutdown;
extern msqlStoreResult_t msqlStoreResult;
extern msqlUserConnect_t msqlUserConnect;

// Number of client functions bound.
inline constexpr int mSQLFunctionCount = 28;
// Name of client function index (0-based, in resolution order), or nullptr out of range.
const char* mSQLFunctionName(int index);

// Loads the client library unless SQLLibraryHandle is already above 32 (then nothing happens).
// When the file cannot be loaded, SQLLibraryHandle stays 32 and one error box reads
// "Error Loading DLL <fileName>". Otherwise the functions are resolved in order; the first
// missing one produces one error box "Error Loading Dynamic Function <name> from <fileName>",
// it and every later variable are left null, and the library stays loaded.
void LoadmSQLLibrary(const std::string& fileName = mSQLLibraryName);
// The same without message boxes; true when the library is loaded afterwards.
bool TryLoadmSQLLibrary(const std::string& fileName = mSQLLibraryName);
// Frees the library when loaded, clears every function variable and sets SQLLibraryHandle to 32.
void UnloadmSQLLibrary();

// True when SQLLibraryHandle is above 32.
inline bool mSQLLibraryLoaded() {
    return SQLLibraryHandle > SQLLibraryNotLoaded;
}
// True when the library is loaded and all 28 functions were resolved.
bool mSQLLibraryComplete();
// Whether the rest of Corvane calls client function index (0-based, in resolution order): 18 of
// the 28 are called, the others (msqlCreateDB, msqlGetIntConf, msqlUserConnect ...) only bound.
bool mSQLFunctionCalled(int index);
// True when the library is loaded and every function Corvane calls is bound: the check made before
// connecting, so that no null function variable is ever called. A library that lacks only functions
// Corvane never calls is usable: the Unix builds of mSQL 4.x lack msqlUserConnect.
bool mSQLLibraryUsable();
// "Error Loading DLL " and the file name of the most recent load attempt ("libmsql.so" before
// any): the text shown when the library cannot be loaded.
std::string mSQLLoadErrorText();

} // namespace corvane
