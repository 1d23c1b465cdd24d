/* FaultControl.h - the control interface of the fault-injecting client library.
 *
 * The fault-injecting libmsql.so exports the 28 functions of msql.h, forwards every call to the real
 * client library and, when armed, makes the N-th call of a chosen function fail the way a client
 * of a real mSQL server fails. It is put on the library path in place of the real one; the real one is
 * loaded from the path compiled in (MSQL_FAULT_REAL_LIBRARY in the environment overrides it).
 *
 * A test process finds these functions with dlsym on the loaded library. Other programs can be run
 * under a fault through the environment, read when the library is loaded:
 *   MSQL_FAULT_FUNCTION  the function whose calls are counted, or "*" for every call that can fail
 *   MSQL_FAULT_CALL      N: the N-th counted call fails (1-based)
 *   MSQL_FAULT_KIND      "fail" (default), "lose" or "reply-lost"
 *
 * Calls that can fail, and how (the texts are the client library's own):
 *   msqlConnect, msqlUserConnect          -1, "Can't connect to local mSQL server" (no host) or
 *                                         "Can't connect to mSQL server on <host>"
 *   msqlSelectDB, msqlQuery, msqlCreateDB, msqlDropDB, msqlGetServerStats, msqlShutdown,
 *   msqlReloadAcls                        -1, "mSQL server has gone away"
 *   msqlListDBs, msqlListTables, msqlListFields, msqlListIndex, msqlGetSequenceInfo
 *                                         NULL, "mSQL server has gone away"
 *   msqlStoreResult                       NULL (the pending result is lost), error text unchanged
 * The other calls (results, fetching, seeking, texts, configuration) work on client memory only and
 * never fail; they are counted all the same. A failed msqlQuery also drops the pending result, as the
 * client does for every query. */
#ifndef MSQL_FAULT_CONTROL_H
#define MSQL_FAULT_CONTROL_H

#ifdef __cplusplus
extern "C" {
#endif

/* What happens at the armed call. */
enum MsqlFaultKind {
    /* The call fails once; the connection stays usable. */
    MSQL_FAULT_FAIL = 1,
    /* The connection is lost before the request reaches the server: the call fails and so does every
     * later call on that socket until it is closed (msqlStoreResult: the socket of the last query). */
    MSQL_FAULT_LOSE = 2,
    /* The request is carried out but its reply is lost: the call reaches the server, then fails as
     * MSQL_FAULT_LOSE (for calls that do not reach a server it is MSQL_FAULT_LOSE). */
    MSQL_FAULT_REPLY_LOST = 3
};

/* Disarms, zeroes every call count and ends a suspension. A lost socket stays lost (every call on it
 * fails) until it is closed, as a real lost connection does. */
void msqlFaultReset(void);
/* Arms a failure at the n-th call (1-based) of function ("*" for every call that can fail) from now
 * on: the counts start again at zero. 0 when armed; -1 for an unknown function, a function that
 * cannot fail, n < 1 or an unknown kind (nothing is armed then). */
int msqlFaultArm(const char* function, long n, int kind);
/* Calls of function counted since the last reset or arm; "*" (or NULL) counts the calls that can
 * fail. -1 for an unknown function name. */
long msqlFaultCalls(const char* function);
/* 1 once the armed failure has happened, else 0. */
int msqlFaultFired(void);
/* The function whose call failed ("" before), for messages. */
const char* msqlFaultFiredFunction(void);
/* While suspended (non-zero), calls are forwarded without being counted or failed: a test reads the
 * database in the middle of a scenario without moving the failure point. Lost sockets stay lost. */
void msqlFaultSuspend(int suspended);

#ifdef __cplusplus
}
#endif

#endif /* MSQL_FAULT_CONTROL_H */
