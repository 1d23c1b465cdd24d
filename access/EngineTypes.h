// Vocabulary of the emulated desktop-database call interface that the native access layer speaks:
// result codes, property identifiers, open/share/lock/translation modes, and the packed cursor and
// record property records (CURProps, RECProps).
//
// Result codes are 16-bit unsigned, 0 = success. Property identifiers are 32-bit; the native cursor
// compares only their low 16 bits (PropertyNumber).
#pragma once

#include <cstdint>

#include "client/FieldMapping.h"

namespace corvane {

// A result code of the call interface.
using DBIResult = uint16_t;

// ---- Result codes raised by the native layer.
inline constexpr DBIResult DBIERR_NONE = 0;
// A client-library failure or a native error carrying its own text.
inline constexpr DBIResult DBIERR_NATIVE = 1001;
inline constexpr DBIResult DBIERR_BOF = 8705;               // "At beginning of table."
inline constexpr DBIResult DBIERR_EOF = 8706;               // "At end of table."
inline constexpr DBIResult DBIERR_KEYORRECDELETED = 8708;   // "Record/Key deleted."
inline constexpr DBIResult DBIERR_NOCURRREC = 8709;         // "No current record."
inline constexpr DBIResult DBIERR_RECTOOBIG = 9477;         // "Record size is too big for table."
inline constexpr DBIResult DBIERR_INVALIDPARAM = 9986;      // "Invalid parameter."
inline constexpr DBIResult DBIERR_INVALIDHNDL = 9990;       // "Invalid handle to the function."
inline constexpr DBIResult DBIERR_NOSUCHINDEX = 9997;       // "Index does not exist."
inline constexpr DBIResult DBIERR_INVALIDRECSTRUCT = 10003; // "Invalid record structure."
inline constexpr DBIResult DBIERR_NOSUCHFILTER = 10050;     // "Filter handle is invalid"
inline constexpr DBIResult DBIERR_INVALIDFILTER = 10051;    // "Invalid Filter"
inline constexpr DBIResult DBIERR_NOTABLOB = 10753;         // "Field is not a BLOB."
inline constexpr DBIResult DBIERR_NOASSOCINDEX = 10764;     // "No associated index."
inline constexpr DBIResult DBIERR_QRYEMPTY = 11886;         // "Query string is empty."
// "Lost communication with SQL server.": the client library answered a SELECT without its rows.
inline constexpr DBIResult DBIERR_SERVERCOMMLOST = 11275;

// ---- Further result codes the components meet.
// "Insufficient table rights for operation. Password required."; preparing is tried again on it.
inline constexpr DBIResult DBIERR_NOTSUFFTABLERIGHTS = 10498;
// "Table does not support this operation because it is not uniquely indexed.": raised for a write that
// cannot name its row, the table having no field that a WHERE condition can test.
inline constexpr DBIResult DBIERR_NOTUNIQUELYINDEXED = 10768;
// "Capability not supported.": an index kind the server cannot build.
inline constexpr DBIResult DBIERR_NOTSUPPORTED = 12289;

// ---- Property identifiers. Cursor properties live in 0x0005xxxx, statement properties in 0x0006xxxx.
inline constexpr uint32_t CURBASE = 0x00050000;
inline constexpr uint32_t STMTBASE = 0x00060000;
inline constexpr uint32_t curMAXPROPS = CURBASE + 0;    // 16-bit number of cursor properties
inline constexpr uint32_t curXLTMODE = CURBASE + 5;     // translation mode (XLTMode)
inline constexpr uint32_t curMAXFIELDID = CURBASE + 15; // highest field number
inline constexpr uint32_t curFIELDFULLNAME = CURBASE + 16;
inline constexpr uint32_t curFIELDTYPENAME = CURBASE + 17;
inline constexpr uint32_t curMAKECRACK = CURBASE + 20; // put the cursor on a crack before an insert
inline constexpr uint32_t curFIELDISAUTOINCR = CURBASE + 21;
inline constexpr uint32_t curFIELDISDEFAULT = CURBASE + 22;
inline constexpr uint32_t curAUTOREFETCH = CURBASE + 23;
inline constexpr uint32_t stmtUNIDIRECTIONAL = STMTBASE + 16;
inline constexpr uint32_t stmtROWCOUNT = STMTBASE + 20; // rows affected by the last statement
inline constexpr uint32_t stmtLIVENESS = STMTBASE + 33; // live (1) or read-only result (anything else)
inline constexpr uint32_t stmtAUXTBLS = STMTBASE + 38;
inline constexpr uint32_t stmtCANNEDREADONLY = STMTBASE + 66;

// Database properties (0x0004xxxx) and driver-specific properties the components set or read. The
// native layer answers none of them: reads report length 0, writes have no effect.
inline constexpr uint32_t DBBASE = 0x00040000;
inline constexpr uint32_t dbDATABASETYPE = DBBASE + 2;
inline constexpr uint32_t dbTRACEMODE = 0x04040007;
inline constexpr uint32_t curUPDLOCKMODE = 0x04050000;      // update mode
inline constexpr uint32_t curGETHIDDENCOLUMNS = 0x04050004; // hidden columns on / off
inline constexpr uint32_t curCONSTSTATE = 0x0405009B;       // constraints on / off
inline constexpr uint32_t curDELAYUPDDISPLAYOPT = 0x05050003;
inline constexpr uint32_t curDELAYUPDGETOLDRECORD = 0x05050004;
inline constexpr uint32_t curDELAYUPDNUMUPDATES = 0x05050005;

// The part of a property identifier the native cursor looks at.
constexpr uint16_t PropertyNumber(uint32_t property) {
    return static_cast<uint16_t>(property & 0xFFFF);
}

// Number of cursor properties answered for curMAXPROPS.
inline constexpr uint16_t CursorPropertyCount = 23;

// stmtLIVENESS values.
inline constexpr uint32_t wantDEFAULT = 0;
inline constexpr uint32_t wantLIVE = 1;
inline constexpr uint32_t wantCANNED = 2;

// ---- Modes.
enum DBIOpenMode : uint32_t { dbiREADWRITE = 0, dbiREADONLY = 1 };
enum DBIShareMode : uint32_t { dbiOPENSHARED = 0, dbiOPENEXCL = 1 };
enum DBILockType : uint32_t { dbiNOLOCK = 0, dbiREADLOCK = 1, dbiWRITELOCK = 2 };
enum XLTMode : uint32_t { xltNONE = 0, xltRECORD = 1, xltFIELD = 2 };
enum DBIQryLang : uint32_t { qrylangUNKNOWN = 0, qrylangQBE = 1, qrylangSQL = 2 };

// Table rights (CURProps.eprvRights, 16 bits).
using PRVType = uint16_t;
inline constexpr PRVType prvNONE = 0x00;
inline constexpr PRVType prvREADONLY = 0x01;
inline constexpr PRVType prvFULL = 0xFF;

// 16-bit Booleans of the descriptor records: 0 = false, 0xFFFF (-1) = true.
using BOOL16 = uint16_t;
inline constexpr BOOL16 DescFalse = 0;

// Length of a table name buffer including the terminating zero.
inline constexpr int DBIMAXTBLNAMELEN = 260;
// Length of a short name buffer (table type, language driver) including the terminating zero.
inline constexpr int DBIMAXNAMEBUF = 32;

// Object kinds of GetObjFromObj.
enum DBIOBJType : uint32_t {
    objSYSTEM = 1,
    objSESSION = 2,
    objDRIVER = 3,
    objDATABASE = 4,
    objCURSOR = 5,
    objSTATEMENT = 6,
    objCLIENT = 7,
};

// ---- Engine handles. Each names a native object that only the engine can reach: the types are
// pointers to incomplete structures, so a holder can store, compare and pass them but never look
// inside. Which engine call creates and which frees each handle is written at TmSQLEngine. The
// filter handle hDBIFilter (below) names a TmSQLFilter, likewise declared but not defined here.
struct hDBIObjTag;
struct hDBIDbTag;
struct hDBICurTag;
struct hDBIStmtTag;
using hDBIObj = hDBIObjTag*;   // any object (GetObjFromObj)
using hDBIDb = hDBIDbTag*;     // a database connection
using hDBICur = hDBICurTag*;   // a cursor: table, query result, field list or index list
using hDBIStmt = hDBIStmtTag*; // a prepared statement

// ---- Filters.

// Logical types of filter constants beyond those of mSQL columns (client/FieldMapping.h).
inline constexpr uint16_t fldUINT16 = 12;
inline constexpr uint16_t fldUINT32 = 13;

class TmSQLFilter;
// A filter of a cursor as the call interface hands it out: opaque to callers, and checked against the
// cursor's filter list before it is used.
using hDBIFilter = TmSQLFilter*;
// A record-event filter: called with the client data given to AddFilter, the work buffer holding the
// record and the cursor's 0-based record number; a non-zero answer accepts the record.
using pfGENFilter = int16_t (*)(uintptr_t clientData, uint8_t* recordBuffer, int32_t recordNumber);

// Size of a native cursor's bookmark: the 0-based row number as a signed 64-bit little-endian value.
inline constexpr int BookmarkSize = 8;

#pragma pack(push, 1)

// Properties of an open cursor.
struct CURProps {
    char szName[DBIMAXTBLNAMELEN + 1]; // table name
    uint16_t iFNameSize;
    char szTableType[DBIMAXNAMEBUF];
    uint16_t iFields;
    uint16_t iRecSize;    // size of the data area of a record
    uint16_t iRecBufSize; // size of the whole work buffer
    uint16_t iKeySize;
    uint16_t iIndexes;
    uint16_t iValChecks;
    uint16_t iRefIntChecks;
    uint16_t iBookMarkSize;
    BOOL16 bBookMarkStable;
    DBIOpenMode eOpenMode;
    DBIShareMode eShareMode;
    BOOL16 bIndexed;
    int16_t iSeqNums;
    BOOL16 bSoftDeletes;
    BOOL16 bDeletedOn;
    uint16_t iRefRange;
    XLTMode exltMode;
    uint16_t iRestrVersion;
    BOOL16 bUniDirectional;
    PRVType eprvRights;
    uint16_t Dummy4;
    uint16_t iFmlRights;
    uint16_t iPasswords;
    uint16_t iCodePage;
    BOOL16 bProtected;
    uint16_t iTblLevel;
    char szLangDriver[DBIMAXNAMEBUF];
    BOOL16 bFieldMap;
    uint16_t iBlockSize;
    BOOL16 bStrictRefInt;
    uint16_t iFilters;
    BOOL16 bTempTable;
    uint16_t iUnUsed[16];
};
static_assert(sizeof(CURProps) == 427);

// Properties of one record, as the record operations may report them. The native layer accepts such a
// record and leaves it untouched.
struct RECProps {
    uint32_t iSeqNum;
    uint32_t iPhyRecNum;
    uint16_t iRecStatus;
    BOOL16 bSeqNumChanged;
    BOOL16 bDeleteFlag;
};
static_assert(sizeof(RECProps) == 14);

#pragma pack(pop)

} // namespace corvane
