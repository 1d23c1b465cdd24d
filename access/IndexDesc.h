// IDXDesc, the packed index descriptor record of the call interface (893 bytes).
//
// The native layer fills only szName, iIndexId, bPrimary, bUnique, bDescending, bMaintained,
// iFldsInKey, aiKeyFld, iBlockSize and iKeyLen; every other member stays zero.
#pragma once

#include <cstdint>

#include "access/EngineTypes.h"

namespace corvane {

// Largest number of fields in one index key.
inline constexpr int DBIMAXFLDSINKEY = 16;
// Length of a key expression buffer including the terminating zero.
inline constexpr int DBIMAXKEYEXPLEN = 220;

#pragma pack(push, 1)

struct IDXDesc {
    char szName[DBIMAXTBLNAMELEN + 1]; // index name; empty for a primary index
    uint16_t iIndexId;                 // 1-based position in the cursor's index list
    char szTagName[DBIMAXNAMEBUF];
    char szFormat[DBIMAXNAMEBUF];
    BOOL16 bPrimary;
    BOOL16 bUnique;
    BOOL16 bDescending;
    BOOL16 bMaintained;
    BOOL16 bSubset;
    BOOL16 bExpIdx;
    uint16_t iCost;
    uint16_t iFldsInKey; // number of key fields
    uint16_t iKeyLen;    // iBlockSize + iFldsInKey: length of an extracted key
    BOOL16 bOutofDate;
    uint16_t iKeyExpType;
    uint16_t aiKeyFld[DBIMAXFLDSINKEY]; // 1-based field numbers in key order
    char szKeyExp[DBIMAXKEYEXPLEN + 1];
    char szKeyCond[DBIMAXKEYEXPLEN + 1];
    BOOL16 bCaseInsensitive;
    uint16_t iBlockSize; // sum of the key fields' lengths
    uint16_t iRestrNum;
    BOOL16 abDescending[DBIMAXFLDSINKEY];
    uint16_t iUnUsed[16];
};
static_assert(sizeof(IDXDesc) == 893);

#pragma pack(pop)

} // namespace corvane
