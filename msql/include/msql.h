/* msql.h - C interface of the mSQL client library (libmsql.so) with its embedded engine.
 *
 * The structures, type codes, flags and the 28 functions follow the mSQL 2.0 client library so that
 * programs written for mSQL (and Corvane, which loads this library by name) work unchanged.
 * Everything returned by the library is owned by it: a result lives until msqlFreeResult, the
 * error, info and sequence buffers until the next call that overwrites them. Not thread-safe,
 * like mSQL: all calls of one process share the error text and the pending result. */
#ifndef MSQL_H
#define MSQL_H

#ifdef __cplusplus
extern "C" {
#endif

#ifndef APIENTRY
#define APIENTRY
#endif

#define MSQL_EXPORT __attribute__((visibility("default")))

/* Column type codes. */
#define INT_TYPE 1
#define CHAR_TYPE 2
#define REAL_TYPE 3
#define IDENT_TYPE 4
#define NULL_TYPE 5
#define TEXT_TYPE 6
#define DATE_TYPE 7
#define UINT_TYPE 8
#define MONEY_TYPE 9
#define TIME_TYPE 10
#define LAST_REAL_TYPE 10
#define IDX_TYPE 253
#define SYSVAR_TYPE 254
#define ANY_TYPE 255

/* Field flags. */
#define NOT_NULL_FLAG 1
#define UNIQUE_FLAG 2
#define IS_UNIQUE(n) ((n) & UNIQUE_FLAG)
#define IS_NOT_NULL(n) ((n) & NOT_NULL_FLAG)

/* Length of identifiers (including the terminator). */
#define NAME_LEN 35

typedef char** m_row;

typedef struct field_s {
    char* name;
    char* table;
    int type;
    int length;
    int flags;
} m_field;

typedef struct m_seq_s {
    int step;
    int value;
} m_seq;

typedef struct m_data_s {
    int width;
    m_row data;
    struct m_data_s* next;
} m_data;

typedef struct m_fdata_s {
    m_field field;
    struct m_fdata_s* next;
} m_fdata;

typedef struct result_s {
    m_data* queryData;
    m_data* cursor;
    m_fdata* fieldData;
    m_fdata* fieldCursor;
    int numRows;
    int numFields;
} m_result;

#define msqlNumRows(res) ((res)->numRows)
#define msqlNumFields(res) ((res)->numFields)

MSQL_EXPORT int APIENTRY msqlConnect(char* host);
MSQL_EXPORT void APIENTRY msqlClose(int sock);
MSQL_EXPORT int APIENTRY msqlCreateDB(int sock, char* db);
MSQL_EXPORT int APIENTRY msqlDropDB(int sock, char* db);
MSQL_EXPORT int APIENTRY msqlSelectDB(int sock, char* db);
MSQL_EXPORT void APIENTRY msqlDataSeek(m_result* res, int n);
MSQL_EXPORT void APIENTRY msqlFieldSeek(m_result* res, int n);
MSQL_EXPORT void APIENTRY msqlFreeResult(m_result* res);
MSQL_EXPORT m_field* APIENTRY msqlFetchField(m_result* res);
MSQL_EXPORT m_row APIENTRY msqlFetchRow(m_result* res);
MSQL_EXPORT char* APIENTRY msqlGetErrMsg(char* buf);
MSQL_EXPORT char* APIENTRY msqlGetHostInfo(void);
MSQL_EXPORT int APIENTRY msqlGetIntConf(char* section, char* item);
MSQL_EXPORT char* APIENTRY msqlGetCharConf(char* section, char* item);
MSQL_EXPORT int APIENTRY msqlGetProtoInfo(void);
MSQL_EXPORT char* APIENTRY msqlGetServerInfo(void);
MSQL_EXPORT int APIENTRY msqlGetServerStats(int sock);
MSQL_EXPORT m_seq* APIENTRY msqlGetSequenceInfo(int sock, char* table);
MSQL_EXPORT m_result* APIENTRY msqlListDBs(int sock);
MSQL_EXPORT m_result* APIENTRY msqlListFields(int sock, char* table);
MSQL_EXPORT m_result* APIENTRY msqlListIndex(int sock, char* table, char* index);
MSQL_EXPORT m_result* APIENTRY msqlListTables(int sock);
MSQL_EXPORT int APIENTRY msqlLoadConfigFile(char* file);
MSQL_EXPORT int APIENTRY msqlQuery(int sock, char* query);
MSQL_EXPORT int APIENTRY msqlReloadAcls(int sock);
MSQL_EXPORT int APIENTRY msqlShutdown(int sock);
MSQL_EXPORT m_result* APIENTRY msqlStoreResult(void);
MSQL_EXPORT int APIENTRY msqlUserConnect(char* host, char* user);

#ifdef __cplusplus
}
#endif

#endif /* MSQL_H */
