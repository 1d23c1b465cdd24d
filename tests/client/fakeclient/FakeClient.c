/* A stand-in for the mSQL client library used by the binding tests: it exports the 28 client
 * functions with trivial bodies. Built in variants: "full" exports all of them; "partial" (with
 * FAKE_OMIT_GET_CHAR_CONF) lacks msqlGetCharConf, the 14th function of the table; "nouser"
 * (FAKE_OMIT_USER_CONNECT) lacks msqlUserConnect, the last one, like the Unix builds of mSQL 4.x;
 * "nostore" (FAKE_OMIT_STORE_RESULT) lacks msqlStoreResult, the 27th. */
#include <stddef.h>

#ifndef FAKE_CLIENT_NAME
#define FAKE_CLIENT_NAME "fake"
#endif

#define EXPORT __attribute__((visibility("default")))

typedef struct m_result m_result;
typedef struct m_field m_field;
typedef struct m_seq m_seq;
typedef char** m_row;

static char errorText[] = "fake error";
static char hostInfo[] = "Localhost via fake";
static char serverInfo[] = FAKE_CLIENT_NAME;

EXPORT int msqlConnect(char* host) { return host ? 7 : -1; }
EXPORT void msqlClose(int sock) { (void)sock; }
EXPORT int msqlCreateDB(int sock, char* db) { (void)sock; (void)db; return 0; }
EXPORT int msqlDropDB(int sock, char* db) { (void)sock; (void)db; return 0; }
EXPORT int msqlSelectDB(int sock, char* db) { (void)sock; return db ? 0 : -1; }
EXPORT void msqlDataSeek(m_result* res, int row) { (void)res; (void)row; }
EXPORT void msqlFieldSeek(m_result* res, int field) { (void)res; (void)field; }
EXPORT void msqlFreeResult(m_result* res) { (void)res; }
EXPORT m_field* msqlFetchField(m_result* res) { (void)res; return NULL; }
EXPORT m_row msqlFetchRow(m_result* res) { (void)res; return NULL; }
EXPORT char* msqlGetErrMsg(char* buf) { (void)buf; return errorText; }
EXPORT char* msqlGetHostInfo(void) { return hostInfo; }
EXPORT int msqlGetIntConf(char* section, char* item) { (void)section; (void)item; return 1114; }
#ifndef FAKE_OMIT_GET_CHAR_CONF
EXPORT char* msqlGetCharConf(char* section, char* item) { (void)section; (void)item; return NULL; }
#endif
EXPORT int msqlGetProtoInfo(void) { return 23; }
EXPORT char* msqlGetServerInfo(void) { return serverInfo; }
EXPORT int msqlGetServerStats(int sock) { (void)sock; return 0; }
EXPORT m_seq* msqlGetSequenceInfo(int sock, char* table) { (void)sock; (void)table; return NULL; }
EXPORT m_result* msqlListDBs(int sock) { (void)sock; return NULL; }
EXPORT m_result* msqlListFields(int sock, char* table) { (void)sock; (void)table; return NULL; }
EXPORT m_result* msqlListIndex(int sock, char* table, char* index) { (void)sock; (void)table; (void)index; return NULL; }
EXPORT m_result* msqlListTables(int sock) { (void)sock; return NULL; }
EXPORT int msqlLoadConfigFile(char* file) { (void)file; return 0; }
EXPORT int msqlQuery(int sock, char* query) { (void)sock; return query ? 0 : -1; }
EXPORT int msqlReloadAcls(int sock) { (void)sock; return 0; }
EXPORT int msqlShutdown(int sock) { (void)sock; return 0; }
#ifndef FAKE_OMIT_STORE_RESULT
EXPORT m_result* msqlStoreResult(void) { return NULL; }
#endif
#ifndef FAKE_OMIT_USER_CONNECT
EXPORT int msqlUserConnect(char* host, char* user) { (void)user; return host ? 8 : -1; }
#endif
