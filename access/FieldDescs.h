// Native field descriptors and the work buffer layout.
//
// A native cursor holds a result of mSQL value texts; the layers above work on fixed-layout record
// buffers (work buffers). For a cursor with n fields of widths w1..wn, R = (w1 + 1) + ... + (wn + 1):
//
//   [0, R)            per field in column order: a presence byte (1 = a value is present) followed by
//                     the field's data slot of width wi; field k's presence byte lies at its
//                     iOffset + FieldNumber - 1
//   R                 one spare byte, always zero
//   R + 1 + 8(k-1)    field k's status slot (its iNullOffset): null indicator (16 bits, 0xFFFF = null),
//                     2 unused bytes, changed flag (32 bits, 0xFFFFFFFF = changed)
//   R + 1 + 8n        the bookmark: the 0-based row number, signed 64-bit little-endian
//
// Work buffer size: R + 1 + 8n + 8, at most 65535 (MaxWorkBufferSize): a cursor whose columns need a
// larger one refuses to open with DBIERR_RECTOOBIG. Widths: INT and UINT 4 (int32), CHAR the declared length
// (text, zero byte after a shorter value), REAL and MONEY 8 (double), DATE and TIME 8 (date-time double),
// TEXT 4 (reference to a blob edit stream; a row read leaves it zero), other types 0.
//
// The host representation that NativeToHost / HostToNative exchange: INT/UINT int32; CHAR a
// zero-terminated text; REAL/MONEY double; DATE an int32 day number (day 1 = 0001-01-01); TIME an int32
// count of milliseconds since midnight.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/FieldMapping.h"
#include "host/Collection.h"

namespace corvane {

class TNativeDataSet;

// Size of one status slot of the work buffer.
inline constexpr int StatusSlotSize = 8;
// Largest work buffer: its size and every offset in it fit the 16-bit fields of FLDDesc and CURProps.
inline constexpr int64_t MaxWorkBufferSize = 0xFFFF;
// Null indicator values of a status slot.
inline constexpr uint16_t StatusNull = 0xFFFF;
inline constexpr uint16_t StatusNotNull = 0;
// Changed flag values of a status slot.
inline constexpr uint32_t StatusChanged = 0xFFFFFFFF;
inline constexpr uint32_t StatusUnchanged = 0;
// Offset of the changed flag inside a status slot.
inline constexpr int StatusChangedOffset = 4;

// Days from 0001-01-01 (day 1) to the date-time epoch 1899-12-30: host day number = date-time + this.
inline constexpr int32_t DateDelta = 693594;
// Milliseconds in a day.
inline constexpr int32_t MSecsPerDay = 86400000;
// Longest field name a descriptor keeps.
inline constexpr int MaxFieldNameLength = DBIMAXNAMELEN;

// One native field descriptor: the column's FLDDesc and VCHKDesc, its mSQL type and declared length,
// and the addresses of its slots in the record buffer it is bound to (SetBuffer).
class TmSQLField : public host::TCollectionItem {
public:
    // An empty descriptor (all zero) appended to collection.
    explicit TmSQLField(host::TCollection* collection);
    // Copies desc and vchk, then sets FieldNumber to fieldNumber; appended to collection.
    TmSQLField(host::TCollection* collection, const FLDDesc& desc, const VCHKDesc& vchk, uint16_t fieldNumber,
               uint16_t nativeType, uint16_t nativeSize);

    uint16_t FieldNumber() const { return fDesc.iFldNum; }
    void SetFieldNumber(uint16_t value) { fDesc.iFldNum = value; }
    std::string FieldName() const { return GetFieldName(); }
    // The name as a string.
    std::string GetFieldName() const;
    // Stores the first 31 characters of value.
    void SetFieldName(const std::string& value);
    uint16_t FieldType() const { return fDesc.iFldType; }
    void SetFieldType(uint16_t value) { fDesc.iFldType = value; }
    uint16_t FieldSubType() const { return fDesc.iSubType; }
    void SetFieldSubType(uint16_t value) { fDesc.iSubType = value; }
    int16_t FieldUnits1() const { return fDesc.iUnits1; }
    void SetFieldUnits1(int16_t value) { fDesc.iUnits1 = value; }
    int16_t FieldUnits2() const { return fDesc.iUnits2; }
    void SetFieldUnits2(int16_t value) { fDesc.iUnits2 = value; }
    // Width of the data slot (FLDDesc.iLen).
    uint16_t FieldLength() const { return fDesc.iLen; }
    void SetFieldLength(uint16_t value) { fDesc.iLen = value; }
    // The mSQL type code.
    uint16_t NativeType() const { return fNativeType; }
    // The declared length as the server reports it.
    uint16_t NativeSize() const { return fNativeSize; }
    uint16_t GetLocalType() const { return fNativeType; }
    void SetLocalType(uint16_t value) { fNativeType = value; }
    uint16_t GetLocalSize() const { return fNativeSize; }
    void SetLocalSize(uint16_t value) { fNativeSize = value; }

    // Offset of the data slot counted without presence bytes (FLDDesc.iOffset).
    uint16_t FieldOffset() const { return fDesc.iOffset; }
    // Position of the presence byte in the work buffer (the data follows it): the data offset plus
    // the presence bytes of the fields before this one.
    uint32_t SlotOffset() const {
        return uint32_t{fDesc.iOffset} + (fDesc.iFldNum > 0 ? fDesc.iFldNum - 1u : 0u);
    }
    // Position of the status slot in the work buffer; 0 when the descriptor has none.
    uint16_t NullOffset() const { return fDesc.iNullOffset; }
    void SetNullOffset(uint16_t value) { fDesc.iNullOffset = value; }

    // Binds the descriptor to record (or to none).
    void SetBuffer(uint8_t* record);
    // True only when a status slot exists and its null indicator is 0xFFFF.
    bool GetNull() const;
    // Writes the null indicator; nothing without a status slot.
    void SetNull(bool value);
    // True when there is no status slot or the changed flag is non-zero.
    bool GetChanged() const;
    // Writes the changed flag; nothing without a status slot.
    void SetChanged(bool value);
    // Address of the presence byte in the bound record (the data follows it); null when unbound.
    uint8_t* FieldValue() const;

    const FLDDesc& Desc() const { return fDesc; }
    const VCHKDesc& Vchk() const { return fVchk; }

private:
    FLDDesc fDesc{};
    VCHKDesc fVchk{};
    uint16_t fNativeType = 0;
    uint16_t fNativeSize = 0;
    uint8_t* fRecord = nullptr;        // base of the bound record
    uint8_t* fOffsetAddress = nullptr; // base + iOffset
    uint8_t* fStatusAddress = nullptr; // base + iNullOffset, null without a status slot
};

// The descriptors of a cursor, one per result column; descriptor n (1-based) is item n - 1.
class TmSQLFields : public host::TCollection {
public:
    explicit TmSQLFields(TNativeDataSet* owner);

    TNativeDataSet* Owner() const { return fOwner; }
    // Descriptor n (1-based). For n above the count, a descriptor for column n is built from the
    // cursor and appended (it has no status slot). n <= 0, a column that does not exist, or a
    // collection without cursor raises EmSQLException DBIERR_INVALIDRECSTRUCT.
    TmSQLField* GetField(int n);
    // Item index (0-based); an index outside the list raises the host's list error.
    TmSQLField* Field(int index) const {
        if (fStale) Rebuild();
        if (index < 0 || index >= static_cast<int>(fList.size()))
            return static_cast<TmSQLField*>(Items(index));
        return fList[static_cast<size_t>(index)];
    }
    // The descriptors in item order.
    const std::vector<TmSQLField*>& List() const {
        if (fStale) Rebuild();
        return fList;
    }
    // Binds every descriptor to record, unchanged and null.
    void SetFields(uint8_t* record);
    // FieldNumber of the first descriptor whose name equals name ignoring ASCII case; 0 when none.
    int FieldNumberFromName(const std::string& name) const;

protected:
    // Every change of the list (items added, removed, moved) makes the quick list stale.
    void Update(host::TCollectionItem* item) override;
    void Notify(host::TCollectionItem* item, host::TCollectionNotification action) override;

private:
    void Rebuild() const;

    TNativeDataSet* fOwner;
    // The items in order, for reads that happen for every row and field.
    mutable std::vector<TmSQLField*> fList;
    mutable bool fStale = true;
};

} // namespace corvane
