// Enumerations, sets, buffer and bookmark types and the field type maps of the host dataset
// framework. Every ordinal here is contractual: datasets, filters and parameters store and
// compare these numbers, so the order of the enumerators must never change.
//
// Generation: the enumerations carry every value of the newer host generation (TFieldType up to
// ftGuid). The older generation simply never produces ftOraBlob..ftGuid; values added after the
// newer generation (dsOpening, ftTimeStamp, ...) are not declared at all.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/Sets.h"

namespace host {

// ---- Dataset states, events and buffer protocol

enum TDataSetState : uint8_t {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc
};
using TDataSetStates = TSet<TDataSetState>;
inline constexpr TDataSetStates dsEditModes{dsEdit, dsInsert, dsSetKey};
inline constexpr TDataSetStates dsWriteModes{dsEdit,   dsInsert,   dsSetKey,      dsCalcFields,
                                             dsFilter, dsNewValue, dsInternalCalc};

enum TDataEvent : uint8_t {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    dePropertyChange,
    deFieldListChange,
    deFocusControl,
    deParentScroll
};

enum TGetMode : uint8_t { gmCurrent, gmNext, gmPrior };
enum TGetResult : uint8_t { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };

enum TResyncModeFlag : uint8_t { rmExact, rmCenter };
using TResyncMode = TSet<TResyncModeFlag>;

enum TUpdateStatus : uint8_t { usUnmodified, usModified, usInserted, usDeleted };
using TUpdateStatusSet = TSet<TUpdateStatus>;
enum TUpdateKind : uint8_t { ukModify, ukInsert, ukDelete };
enum TUpdateAction : uint8_t { uaFail, uaAbort, uaSkip, uaRetry, uaApplied };
enum TUpdateMode : uint8_t { upWhereAll, upWhereChanged, upWhereKeyOnly };
enum TDataAction : uint8_t { daFail, daAbort, daRetry };
enum TBlobStreamMode : uint8_t { bmRead, bmWrite, bmReadWrite };

enum TFilterOption : uint8_t { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = TSet<TFilterOption>;
enum TLocateOption : uint8_t { loCaseInsensitive, loPartialKey };
using TLocateOptions = TSet<TLocateOption>;

// ---- Fields

enum TFieldKind : uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
using TFieldKinds = TSet<TFieldKind>;

enum TFieldAttribute : uint8_t { faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed };
using TFieldAttributes = TSet<TFieldAttribute>;

enum TProviderFlag : uint8_t { pfInUpdate, pfInWhere, pfInKey, pfHidden };
using TProviderFlags = TSet<TProviderFlag>;

// Auto-generated value kinds reported by a field (engine datasets pass them to the cursor).
enum TAutoRefreshFlag : uint8_t { arNone, arAutoInc, arDefault };

enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

enum TFieldType : uint8_t {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid
};
using TFieldTypes = TSet<TFieldType>;
inline constexpr int FieldTypeCount = ftGuid + 1;

// Types whose TField.Size must be 0.
inline constexpr TFieldTypes ftFixedSizeTypes{ftSmallint, ftInteger,  ftWord,    ftBoolean,
                                              ftFloat,    ftCurrency, ftDate,    ftTime,
                                              ftDateTime, ftAutoInc,  ftLargeint};
inline constexpr TFieldTypes ftObjectTypes{ftADT, ftArray, ftReference, ftDataSet};
// Blob types: ftBlob..ftTypedBinary plus the two Oracle blob types.
inline constexpr TFieldTypes ftBlobTypes{ftBlob,     ftMemo,        ftGraphic, ftFmtMemo, ftParadoxOle,
                                         ftDBaseOle, ftTypedBinary, ftOraBlob, ftOraClob};
inline constexpr TFieldTypes ftStringTypes{ftString, ftFixedChar, ftWideString, ftGuid};

// The classic host's largest TStringField.Size; kept for code that sizes its own text buffers.
inline constexpr int dsMaxStringSize = 8192;
// The largest size of a string field or definition: every size a 16-bit signed field descriptor
// can carry.
inline constexpr int dsMaxStringFieldSize = 32767;

// Display names of the field types ("String", "SmallInt", ...), by ordinal.
extern const std::array<const char*, FieldTypeCount> FieldTypeNames;

// ---- Index definitions

enum TIndexOption : uint8_t {
    ixPrimary,
    ixUnique,
    ixDescending,
    ixCaseInsensitive,
    ixExpression,
    ixNonMaintained
};
using TIndexOptions = TSet<TIndexOption>;
// Every index option (ixPrimary..ixNonMaintained).
inline constexpr TIndexOptions AllIndexOptions{ixPrimary,         ixUnique,     ixDescending,
                                               ixCaseInsensitive, ixExpression, ixNonMaintained};

// ---- Parameters

enum TParamType : uint8_t { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };
using TParamTypes = TSet<TParamType>;

// ---- Record buffers and bookmarks

// A row buffer of a dataset: a raw byte area obtained from AllocRecordBuffer. The framework never
// reads its bytes; only the dataset that allocated it knows the layout.
using TRecordBuffer = uint8_t*;

// A bookmark: BookmarkSize bytes copied out of a row buffer. An empty bookmark means "none".
// Value semantics: copying, storing and dropping a bookmark never leaks.
using TBookmark = std::vector<uint8_t>;
// The same bytes as a string (the Bookmark property); '' means "none".
using TBookmarkStr = std::string;

// ---- Key buffers (search keys and ranges of engine datasets)

enum TKeyIndex : uint8_t { kiLookup, kiRangeStart, kiRangeEnd, kiCurRangeStart, kiCurRangeEnd, kiSave };

#pragma pack(push, 1)
// Header of a key buffer; a record in the cursor's layout follows it.
struct TKeyBuffer {
    uint8_t Modified;   // boolean: the buffer holds values the user set
    uint8_t Exclusive;  // boolean: the bound excludes its own value
    int32_t FieldCount; // number of leading index fields that take part
};
#pragma pack(pop)
static_assert(sizeof(TKeyBuffer) == 6, "TKeyBuffer is 6 bytes");

// ---- Packed decimal (native format of BCD fields and parameters)

#pragma pack(push, 1)
// Precision = number of digits; SignSpecialPlaces: bit 7 = negative, low 6 bits = digits after
// the decimal point; Fraction = the digits as nibbles, most significant first.
struct TBcd {
    uint8_t Precision;
    uint8_t SignSpecialPlaces;
    uint8_t Fraction[32];
};
#pragma pack(pop)
static_assert(sizeof(TBcd) == 34, "TBcd is 34 bytes");

// value rounded to `scale` decimals (0..32) as a TBcd with the given precision (1..64; 0 picks the
// number of digits needed). A value with more integer digits than precision - scale allows
// raises EConvertError.
TBcd DoubleToBcd(double value, int precision, int scale);
double BcdToDouble(const TBcd& bcd);

// ---- Logical field types and subtypes of the engine interface, and the four maps

inline constexpr uint16_t fldUNKNOWN = 0;
inline constexpr uint16_t fldZSTRING = 1;
inline constexpr uint16_t fldDATE = 2;
inline constexpr uint16_t fldBLOB = 3;
inline constexpr uint16_t fldBOOL = 4;
inline constexpr uint16_t fldINT16 = 5;
inline constexpr uint16_t fldINT32 = 6;
inline constexpr uint16_t fldFLOAT = 7;
inline constexpr uint16_t fldBCD = 8;
inline constexpr uint16_t fldBYTES = 9;
inline constexpr uint16_t fldTIME = 10;
inline constexpr uint16_t fldTIMESTAMP = 11;
inline constexpr uint16_t fldUINT16 = 12;
inline constexpr uint16_t fldUINT32 = 13;
inline constexpr uint16_t fldFLOATIEEE = 14;
inline constexpr uint16_t fldVARBYTES = 15;
inline constexpr uint16_t fldLOCKINFO = 16;
inline constexpr uint16_t fldCURSOR = 17;
inline constexpr uint16_t fldINT64 = 18;
inline constexpr uint16_t fldUINT64 = 19;
inline constexpr uint16_t fldADT = 20;
inline constexpr uint16_t fldARRAY = 21;
inline constexpr uint16_t fldREF = 22;
inline constexpr uint16_t fldTABLE = 23;
inline constexpr uint16_t MAXLOGFLDTYPES = 24;

inline constexpr uint16_t fldstPASSWORD = 1;
inline constexpr uint16_t fldstMONEY = 21;
inline constexpr uint16_t fldstMEMO = 22;
inline constexpr uint16_t fldstBINARY = 23;
inline constexpr uint16_t fldstFMTMEMO = 24;
inline constexpr uint16_t fldstOLEOBJ = 25;
inline constexpr uint16_t fldstGRAPHIC = 26;
inline constexpr uint16_t fldstDBSOLEOBJ = 27;
inline constexpr uint16_t fldstTYPEDBINARY = 28;
inline constexpr uint16_t fldstAUTOINC = 29;
inline constexpr uint16_t fldstACCOLEOBJ = 30;
inline constexpr uint16_t fldstFIXED = 31;
inline constexpr uint16_t fldstUNICODE = 32;
inline constexpr uint16_t fldstHMEMO = 33;
inline constexpr uint16_t fldstHBINARY = 34;
inline constexpr uint16_t fldstADTNestedTable = 35;
inline constexpr uint16_t fldstBFILE = 36;
inline constexpr uint16_t fldstGUID = 38;

// TFieldType -> logical field type.
inline constexpr std::array<uint16_t, FieldTypeCount> FldTypeMap = {
    fldUNKNOWN, fldZSTRING, fldINT16,   fldINT32,     fldUINT16, fldBOOL,     fldFLOAT,  fldFLOAT,
    fldBCD,     fldDATE,    fldTIME,    fldTIMESTAMP, fldBYTES,  fldVARBYTES, fldINT32,  fldBLOB,
    fldBLOB,    fldBLOB,    fldBLOB,    fldBLOB,      fldBLOB,   fldBLOB,     fldCURSOR, fldZSTRING,
    fldZSTRING, fldINT64,   fldADT,     fldARRAY,     fldREF,    fldTABLE,    fldBLOB,   fldBLOB,
    fldUNKNOWN, fldUNKNOWN, fldUNKNOWN, fldZSTRING};

// TFieldType -> logical subtype (0 = none).
inline constexpr std::array<uint16_t, FieldTypeCount> FldSubTypeMap = {0,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       fldstMONEY,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       fldstAUTOINC,
                                                                       fldstBINARY,
                                                                       fldstMEMO,
                                                                       fldstGRAPHIC,
                                                                       fldstFMTMEMO,
                                                                       fldstOLEOBJ,
                                                                       fldstDBSOLEOBJ,
                                                                       fldstTYPEDBINARY,
                                                                       0,
                                                                       fldstFIXED,
                                                                       fldstUNICODE,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       fldstHBINARY,
                                                                       fldstHMEMO,
                                                                       0,
                                                                       0,
                                                                       0,
                                                                       0};

// Logical field type (0..MAXLOGFLDTYPES-1) -> TFieldType.
inline constexpr std::array<TFieldType, MAXLOGFLDTYPES> DataTypeMap = {
    ftUnknown, ftString,  ftDate,     ftBlob,     ftBoolean, ftSmallint, ftInteger,   ftFloat,
    ftBCD,     ftBytes,   ftTime,     ftDateTime, ftWord,    ftInteger,  ftUnknown,   ftVarBytes,
    ftUnknown, ftUnknown, ftLargeint, ftLargeint, ftADT,     ftArray,    ftReference, ftDataSet};

// Blob subtype -> TFieldType. Index 0 is subtype fldstMEMO (22), the last index fldstBFILE (36):
// use BlobTypeMap[subType - fldstMEMO].
inline constexpr std::array<TFieldType, 15> BlobTypeMap = {
    ftMemo, ftBlob, ftFmtMemo, ftParadoxOle, ftGraphic, ftDBaseOle, ftTypedBinary, ftBlob,
    ftBlob, ftBlob, ftBlob,    ftOraClob,    ftOraBlob, ftBlob,     ftBlob};

} // namespace host
