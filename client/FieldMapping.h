// Field descriptors of the emulated desktop-database call interface (FLDDesc, VCHKDesc), the
// logical field type codes, and the mapping of an mSQL field description onto them.
#pragma once

#include <cstdint>

#include "client/msqlABI.h"
#include "host/DBTypes.h"

namespace corvane {

// Logical field types (FLDDesc.iFldType) and subtypes (FLDDesc.iSubType) are the host's.
using host::fldBCD;
using host::fldBLOB;
using host::fldBOOL;
using host::fldBYTES;
using host::fldDATE;
using host::fldFLOAT;
using host::fldINT16;
using host::fldINT32;
using host::fldTIME;
using host::fldTIMESTAMP;
using host::fldUNKNOWN;
using host::fldZSTRING;
using host::fldstMEMO;  // of fldBLOB
using host::fldstMONEY; // of fldFLOAT

// Validity-check states (FLDDesc.efldvVchk).
enum FLDVchk : uint32_t { fldvNOCHECKS = 0, fldvHASCHECKS = 1, fldvUNKNOWN = 2 };

// Length of FLDDesc.szName including the terminating zero.
inline constexpr int DBIMAXNAMELEN = 31;

#pragma pack(push, 1)

// One field. Arrays of it lie back to back, 62 bytes apart.
struct FLDDesc {
    uint16_t iFldNum; // field number, from 1
    char szName[DBIMAXNAMELEN + 1];
    uint16_t iFldType;
    uint16_t iSubType;
    int16_t iUnits1;  // size or precision
    int16_t iUnits2;  // scale
    uint16_t iOffset; // offset in the record buffer
    uint16_t iLen;    // length of the value in bytes
    uint16_t iNullOffset;
    uint32_t efldvVchk; // FLDVchk
    uint32_t efldrRights;
    uint16_t bCalcField;
    uint16_t iUnUsed[2];
};
static_assert(sizeof(FLDDesc) == 62);

// The validity checks of one field.
struct VCHKDesc {
    uint16_t iFldNum;
    uint16_t bRequired; // 0xFFFF when a value is required
    uint16_t bHasMinVal;
    uint16_t bHasMaxVal;
    uint16_t bHasDefVal;
    uint8_t aMinVal[256];
    uint8_t aMaxVal[256];
    uint8_t aDefVal[256];
    char szPict[176];
    uint32_t elkupType;
    char szLkupTblName[261];
};
static_assert(sizeof(VCHKDesc) == 1219);

#pragma pack(pop)

// 16-bit Boolean "true" as the descriptor records store it.
inline constexpr uint16_t DescTrue = 0xFFFF;

// Largest value size a descriptor can carry (iUnits1 is a signed 16-bit number).
inline constexpr int MaxDescFieldSize = 32767;

// Logical type, subtype and value size of an mSQL type code (code 2 uses the declared length).
struct mSQLTypeInfo {
    uint16_t fldType;
    uint16_t subType;
    int size;
};
mSQLTypeInfo mSQLTypeToFieldType(int msqlType, int declaredLength);

// Fills desc and vchk for one mSQL field: both are cleared, both get fieldNo; desc gets type,
// subtype, size, offset and the name (at most 31 characters); vchk marks not-null and unique
// fields as required. Nothing happens when desc is null; vchk may be null. A null field is
// described as a nameless field of unknown type.
void ConvermSQLtoHostFieldInfo(const m_field* field, uint16_t fieldNo, uint16_t offset, VCHKDesc* vchk,
                               FLDDesc* desc);

} // namespace corvane
