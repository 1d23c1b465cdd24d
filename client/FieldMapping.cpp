// The mSQL type table and the filling of FLDDesc / VCHKDesc from an m_field.
#include "client/FieldMapping.h"

#include <algorithm>
#include <cstring>

namespace corvane {

mSQLTypeInfo mSQLTypeToFieldType(int msqlType, int declaredLength) {
    switch (msqlType) {
    case INT_TYPE:
    case UINT_TYPE:
        return {fldINT32, 0, 4};
    case CHAR_TYPE:
        // Clamped so that the size fits the 16-bit descriptor members unchanged.
        return {fldZSTRING, 0, std::clamp(declaredLength, 0, MaxDescFieldSize)};
    case REAL_TYPE:
        return {fldFLOAT, 0, 8};
    case MONEY_TYPE:
        return {fldFLOAT, fldstMONEY, 8};
    case TEXT_TYPE:
        return {fldBLOB, fldstMEMO, 4};
    case DATE_TYPE:
        return {fldDATE, 0, 8};
    case TIME_TYPE:
        return {fldTIME, 0, 8};
    default:
        return {fldUNKNOWN, 0, 0};
    }
}

void ConvermSQLtoHostFieldInfo(const m_field* field, uint16_t fieldNo, uint16_t offset, VCHKDesc* vchk,
                               FLDDesc* desc) {
    if (!desc) return;
    std::memset(desc, 0, sizeof(FLDDesc));
    if (vchk) std::memset(vchk, 0, sizeof(VCHKDesc));

    const int type = field ? field->type : fldUNKNOWN;
    const int flags = field ? field->flags : 0;
    const mSQLTypeInfo info = mSQLTypeToFieldType(type, field ? field->length : 0);

    desc->iFldNum = fieldNo;
    desc->iFldType = info.fldType;
    desc->iSubType = info.subType;
    if (type == REAL_TYPE) {
        // Precision 32; the size travels split into scale (high byte) and length (low byte).
        desc->iUnits1 = 32;
        desc->iUnits2 = static_cast<int16_t>((info.size >> 8) & 0xFF);
        desc->iLen = static_cast<uint16_t>(info.size & 0xFF);
    } else {
        desc->iUnits1 = static_cast<int16_t>(info.size);
        desc->iUnits2 = 0;
        desc->iLen = static_cast<uint16_t>(info.size);
    }
    desc->iOffset = offset;
    desc->efldvVchk = fldvUNKNOWN;
    if (field && field->name) {
        const size_t n = strnlen(field->name, DBIMAXNAMELEN);
        std::memcpy(desc->szName, field->name, n);
    }

    if (vchk) {
        vchk->iFldNum = fieldNo;
        if (IS_NOT_NULL(flags) || IS_UNIQUE(flags)) vchk->bRequired = DescTrue;
    }
}

} // namespace corvane
