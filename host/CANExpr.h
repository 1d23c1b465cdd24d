// The compiled filter expression (CANExpr blob): packed records and constants shared by the
// filter expression writer (host/FilterExpr.h) and the native layer that evaluates the blobs.
//
// Layout, all integers little-endian, no padding:
//   CANExpr header (10 bytes) | node area | literal pool
// Every node starts with a CANHdr (nodeClass, canOp; 32 bits each) followed by 16-bit words.
// Operand references are byte offsets from the start of the node area; literal references are
// byte offsets from the start of the literal pool. The root node is at offset 0 of the node area.
//
// The blob is a byte buffer: read and write its records with memcpy at the offsets, never by
// casting a pointer into it (offsets are not aligned).
//
// This header depends on nothing else so that the native layer can include it on its own.
#pragma once

#include <cstdint>

namespace host {

// Node classes (CANHdr::nodeClass).
enum NODEClass : uint32_t {
    nodeNULL = 0,
    nodeUNARY = 1,
    nodeBINARY = 2,
    nodeCOMPARE = 3,
    nodeFIELD = 4,
    nodeCONST = 5,
    nodeTUPLE = 6,
    nodeCONTINUE = 7,
    nodeUDF = 8,
    nodeLIST = 9,
    nodeFUNC = 10,
    nodeLISTELEM = 11
};

// Operators (CANHdr::canOp). The parser's TCANOperator has the same values in the same order.
enum CANOp : uint32_t {
    canNOTDEFINED = 0,
    canISBLANK = 1,
    canNOTBLANK = 2,
    canEQ = 3,
    canNE = 4,
    canGT = 5,
    canLT = 6,
    canGE = 7,
    canLE = 8,
    canNOT = 9,
    canAND = 10,
    canOR = 11,
    canTUPLE2 = 12,
    canFIELD2 = 13,
    canCONST2 = 14,
    canMINUS = 15,
    canADD = 16,
    canSUB = 17,
    canMUL = 18,
    canDIV = 19,
    canMOD = 20,
    canREM = 21,
    canSUM = 22,
    canCOUNT = 23,
    canMIN = 24,
    canMAX = 25,
    canAVG = 26,
    canCONT = 27,
    canUDF2 = 28,
    canCONTINUE2 = 29,
    canLIKE = 30,
    canIN = 31,
    canLIST2 = 32,
    canUPPER = 33,
    canLOWER = 34,
    canFUNC2 = 35,
    canLISTELEM2 = 36,
    canASSIGN = 37
};

// CANExpr::iVer of the blobs written here; CANExpr::iNodes always holds CANEXPR_NODES_UNUSED.
inline constexpr uint16_t CANEXPRVERSION = 2;
inline constexpr uint16_t CANEXPR_NODES_UNUSED = 0xFFFF;

#pragma pack(push, 1)

// Blob header.
struct CANExpr {
    uint16_t iVer;          // CANEXPRVERSION
    uint16_t iTotalSize;    // size of the whole blob in bytes
    uint16_t iNodes;        // not a node count: CANEXPR_NODES_UNUSED
    uint16_t iNodeStart;    // offset of the node area from the blob start (sizeof(CANExpr))
    uint16_t iLiteralStart; // offset of the literal pool from the blob start
};

// The header every node starts with.
struct CANHdr {
    uint32_t nodeClass; // NODEClass
    uint32_t canOp;     // CANOp
};
// A node seen only through its header.
using CANNode = CANHdr;

// nodeUNARY: NOT, ISBLANK, NOTBLANK, MINUS, UPPER, LOWER ...
struct CANUnary {
    CANHdr hdr;
    uint16_t iOperand1;
};

// nodeBINARY: comparisons, AND, OR, arithmetic, LIKE, IN.
struct CANBinary {
    CANHdr hdr;
    uint16_t iOperand1;
    uint16_t iOperand2;
};

// nodeCOMPARE: string equality with case-insensitivity and/or a partial length.
struct CANCompare {
    CANHdr hdr;
    uint16_t bCaseInsensitive; // 1 = ignore case
    uint16_t iPartialLen;      // 0 = whole value
    uint16_t iOperand1;
    uint16_t iOperand2;
};

// nodeFIELD.
struct CANField {
    CANHdr hdr;
    uint16_t iFieldNum;   // the field's FieldNo
    uint16_t iNameOffset; // literal offset of the zero-terminated field name
};

// nodeCONST.
struct CANConst {
    CANHdr hdr;
    uint16_t iType;   // logical field type (fld*) of the literal
    uint16_t iSize;   // bytes of the literal
    uint16_t iOffset; // literal offset of the value
};

// nodeFUNC.
struct CANFunc {
    CANHdr hdr;
    uint16_t iNameOffset; // literal offset of the zero-terminated function name
    uint16_t iElemOffset; // node offset of the first CANListElem argument, 0 = none
};

// nodeLISTELEM: one element of an IN list or a function's argument list.
struct CANListElem {
    CANHdr hdr;
    uint16_t iOffset;     // node offset of the element's expression
    uint16_t iNextOffset; // node offset of the next element, 0 = last
};

#pragma pack(pop)

static_assert(sizeof(CANExpr) == 10, "CANExpr header is 10 bytes");
static_assert(sizeof(CANHdr) == 8, "CANHdr is 8 bytes");
static_assert(sizeof(CANUnary) == 10, "CANUnary is 10 bytes");
static_assert(sizeof(CANBinary) == 12, "CANBinary is 12 bytes");
static_assert(sizeof(CANCompare) == 16, "CANCompare is 16 bytes");
static_assert(sizeof(CANField) == 12, "CANField is 12 bytes");
static_assert(sizeof(CANConst) == 14, "CANConst is 14 bytes");
static_assert(sizeof(CANFunc) == 12, "CANFunc is 12 bytes");
static_assert(sizeof(CANListElem) == 12, "CANListElem is 12 bytes");

} // namespace host
