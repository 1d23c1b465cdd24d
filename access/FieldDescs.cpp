// Native field descriptors, the cursor's field metadata, and the conversions between mSQL value texts,
// the work buffer and the host representation.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "access/EmSQLException.h"
#include "access/NativeDataSet.h"
#include "access/RecordSlots.h"
#include "client/ValueConversions.h"
#include "client/msqlBinding.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace corvane {

namespace {

// Largest host day number a date can carry (9999-12-31).
constexpr int32_t MaxDayNumber = 3652059;
// Longest column name the cursor reports.
constexpr size_t MaxColumnNameLength = 255;

} // namespace

// ---- TmSQLField

TmSQLField::TmSQLField(host::TCollection* collection) : host::TCollectionItem(collection) {}

TmSQLField::TmSQLField(host::TCollection* collection, const FLDDesc& desc, const VCHKDesc& vchk,
                       uint16_t fieldNumber, uint16_t nativeType, uint16_t nativeSize)
    : host::TCollectionItem(collection), fDesc(desc), fVchk(vchk), fNativeType(nativeType),
      fNativeSize(nativeSize) {
    fDesc.iFldNum = fieldNumber;
}

std::string TmSQLField::GetFieldName() const {
    return std::string(fDesc.szName, strnlen(fDesc.szName, sizeof fDesc.szName));
}

void TmSQLField::SetFieldName(const std::string& value) {
    std::memset(fDesc.szName, 0, sizeof fDesc.szName);
    std::memcpy(fDesc.szName, value.data(), std::min<size_t>(value.size(), MaxFieldNameLength));
}

void TmSQLField::SetBuffer(uint8_t* record) {
    fRecord = record;
    fOffsetAddress = record ? record + fDesc.iOffset : nullptr;
    fStatusAddress = record && fDesc.iNullOffset != 0 ? record + fDesc.iNullOffset : nullptr;
}

bool TmSQLField::GetNull() const {
    return fStatusAddress && LoadLE<uint16_t>(fStatusAddress) == StatusNull;
}

void TmSQLField::SetNull(bool value) {
    if (fStatusAddress) StoreLE<uint16_t>(fStatusAddress, value ? StatusNull : StatusNotNull);
}

bool TmSQLField::GetChanged() const {
    return !fStatusAddress || LoadLE<uint32_t>(fStatusAddress + StatusChangedOffset) != StatusUnchanged;
}

void TmSQLField::SetChanged(bool value) {
    if (fStatusAddress)
        StoreLE<uint32_t>(fStatusAddress + StatusChangedOffset, value ? StatusChanged : StatusUnchanged);
}

uint8_t* TmSQLField::FieldValue() const {
    if (!fOffsetAddress) return nullptr;
    // The presence bytes of the fields before this one lie in front of it.
    return FieldNumber() > 0 ? fOffsetAddress + (FieldNumber() - 1) : fOffsetAddress;
}

// ---- TmSQLFields

TmSQLFields::TmSQLFields(TNativeDataSet* owner)
    : host::TCollection(host::ItemClassOf<TmSQLField>()), fOwner(owner) {}

TmSQLField* TmSQLFields::GetField(int n) {
    if (n <= 0 || !fOwner) throw EmSQLException(DBIERR_INVALIDRECSTRUCT);
    // Descriptors missing up to n are built from the cursor's columns, so that descriptor n stays item
    // n - 1. Such descriptors have no status slot.
    while (Count() < n) {
        const int number = Count() + 1;
        FLDDesc desc;
        VCHKDesc vchk;
        uint16_t nativeType = 0;
        uint16_t nativeSize = 0;
        fOwner->GetNativeDesc(number, &desc, &vchk, nativeType, nativeSize);
        new TmSQLField(this, desc, vchk, static_cast<uint16_t>(number), nativeType, nativeSize);
    }
    return Field(n - 1);
}

void TmSQLFields::Update(host::TCollectionItem* item) {
    fStale = true;
    host::TCollection::Update(item);
}

void TmSQLFields::Notify(host::TCollectionItem* item, host::TCollectionNotification action) {
    fStale = true;
    host::TCollection::Notify(item, action);
}

void TmSQLFields::Rebuild() const {
    fList.resize(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i)
        fList[static_cast<size_t>(i)] = static_cast<TmSQLField*>(Items(i));
    fStale = false;
}

void TmSQLFields::SetFields(uint8_t* record) {
    for (int i = 0; i < Count(); ++i) {
        TmSQLField* field = Field(i);
        field->SetBuffer(record);
        field->SetChanged(false);
        field->SetNull(true);
    }
}

int TmSQLFields::FieldNumberFromName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        const TmSQLField* field = Field(i);
        if (strcasecmp(field->GetFieldName().c_str(), name.c_str()) == 0) return field->FieldNumber();
    }
    return 0;
}

// ---- Field metadata of the cursor

int TNativeDataSet::FieldCount() const {
    return fResult ? msqlNumFields(fResult.get()) : 0;
}

m_field* TNativeDataSet::GetFieldInfo(int index) const {
    if (!fResult || index < 0 || index >= FieldCount()) return nullptr;
    msqlFieldSeek(fResult.get(), index);
    return msqlFetchField(fResult.get());
}

std::string TNativeDataSet::FieldName(int index) const {
    const m_field* info = GetFieldInfo(index);
    if (!info || !info->name) return std::string();
    return std::string(info->name, strnlen(info->name, MaxColumnNameLength));
}

int TNativeDataSet::FieldType(int index) const {
    const m_field* info = GetFieldInfo(index);
    return info ? info->type : 0;
}

int TNativeDataSet::FieldSize(int index) const {
    const m_field* info = GetFieldInfo(index);
    return info ? info->length : 0;
}

const char* TNativeDataSet::FieldBuffer(int index) const {
    if (!fResult || !fCurrentRow || index < 0 || index >= FieldCount()) return nullptr;
    return fCurrentRow[index];
}

int TNativeDataSet::FieldIndex(const std::string& name) const {
    const int count = FieldCount();
    for (int i = 0; i < count; ++i)
        if (FieldName(i) == name) return i;

    // base_k names the (k+1)-th column called base.
    const size_t underscore = name.rfind('_');
    if (underscore == std::string::npos) return -1;
    const std::string digits = name.substr(underscore + 1);
    if (digits.empty() || digits.size() > 10) return -1;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return -1;
    const int64_t k = std::stoll(digits);
    if (k < 1) return -1;
    const std::string base = name.substr(0, underscore);
    int64_t seen = 0;
    for (int i = 0; i < count; ++i) {
        if (FieldName(i) != base) continue;
        if (seen == k) return i;
        ++seen;
    }
    return -1;
}

int TNativeDataSet::FieldOffset(int number) const {
    if (number < 1 || number > FieldCount() || number > static_cast<int>(fColumns.size()))
        throw EmSQLException(DBIERR_INVALIDPARAM);
    int offset = 0;
    for (int i = 0; i < number - 1; ++i)
        offset += fColumns[i].width;
    return offset;
}

int TNativeDataSet::GetRecordSize() {
    if (fRecordSize >= 0) return fRecordSize;
    if (!fResult) return 0;
    int size = 0;
    for (const TColumnLayout& column : fColumns)
        size += column.width + 1;
    fRecordSize = size;
    return fRecordSize;
}

int TNativeDataSet::GetBufferSize() {
    if (fFieldDescs->Count() == 0) InitFieldDescs();
    return GetRecordSize();
}

int TNativeDataSet::GetWorkBufferSize() {
    fBookmarkOffset = GetBufferSize() + StatusSlotSize * fFieldDescs->Count() + 1;
    return fBookmarkOffset < 1 ? fBookmarkOffset : fBookmarkOffset + BookmarkSize;
}

void TNativeDataSet::GetNativeDesc(int number, FLDDesc* desc, VCHKDesc* vchk, uint16_t& nativeType,
                                   uint16_t& nativeSize) {
    if (!desc) return;
    if (number > FieldCount()) throw EmSQLException(DBIERR_INVALIDRECSTRUCT);
    const m_field* info = GetFieldInfo(number - 1);
    if (!info) throw EmSQLException(DBIERR_INVALIDRECSTRUCT);
    ConvermSQLtoHostFieldInfo(info, static_cast<uint16_t>(number), static_cast<uint16_t>(FieldOffset(number)),
                              vchk, desc);
    nativeType = static_cast<uint16_t>(info->type);
    nativeSize = static_cast<uint16_t>(info->length);
}

void TNativeDataSet::InitFieldDescs() {
    fFieldDescs->Clear();
    const int count = FieldCount();
    for (int number = 1; number <= count; ++number) {
        FLDDesc desc;
        VCHKDesc vchk;
        uint16_t nativeType = 0;
        uint16_t nativeSize = 0;
        try {
            GetNativeDesc(number, &desc, &vchk, nativeType, nativeSize);
        } catch (const EmSQLException&) {
            continue; // a column that cannot be described gets no descriptor
        }
        new TmSQLField(fFieldDescs.get(), desc, vchk, static_cast<uint16_t>(number), nativeType, nativeSize);
    }
    const int recordSize = GetRecordSize();
    for (int i = 0; i < fFieldDescs->Count(); ++i)
        fFieldDescs->Field(i)->SetNullOffset(static_cast<uint16_t>(recordSize + 1 + StatusSlotSize * i));
}

void TNativeDataSet::GetFieldDescs(FLDDesc* descs) {
    const int count = FieldCount();
    for (int number = 1; number <= count; ++number)
        descs[number - 1] = fFieldDescs->GetField(number)->Desc();
}

void TNativeDataSet::GetVchkDesc(uint16_t number, VCHKDesc& target) {
    target = fFieldDescs->GetField(number)->Vchk();
}

int64_t TNativeDataSet::LayoutWorkBufferSize() const {
    int64_t size = 0;
    for (const TColumnLayout& column : fColumns)
        size += column.width + 1 + StatusSlotSize;
    return size + 1 + BookmarkSize;
}

const std::string& TNativeDataSet::ColumnName(int index) const {
    static const std::string none;
    return index >= 0 && index < static_cast<int>(fColumns.size()) ? fColumns[static_cast<size_t>(index)].name
                                                                   : none;
}

bool TNativeDataSet::ReadColumnLayout() {
    std::vector<TColumnLayout> columns;
    const int count = FieldCount();
    columns.reserve(static_cast<size_t>(count));
    int slot = 0;
    size_t fallibleEnd = 0;
    for (int i = 0; i < count; ++i) {
        const m_field* info = GetFieldInfo(i);
        const int type = info ? info->type : 0;
        const int length = info ? info->length : 0;
        const int width = mSQLTypeToFieldType(type, length).size;
        columns.push_back({FieldName(i), type, length, width, slot});
        slot += width + 1;
        if (type == INT_TYPE || type == UINT_TYPE || type == DATE_TYPE || type == TIME_TYPE)
            fallibleEnd = static_cast<size_t>(slot);
    }
    const bool changed = columns != fColumns;
    fColumns.swap(columns);
    fFallibleEnd = fallibleEnd;
    fRowBackup.resize(fallibleEnd);
    return changed;
}

// ---- Reading a row into the work buffer

namespace {

[[noreturn]] void InvalidInteger(const char* text) {
    throw host::EConvertError(host::Format(host::SInvalidInteger, {std::string(text)}));
}

} // namespace

void TNativeDataSet::InternalReadBuffer() {
    if (!fCurrentBuffer || !fCurrentRow) return;
    uint8_t* const buffer = fCurrentBuffer;
    const m_row row = fCurrentRow;
    fCurrentBuffer = nullptr;
    // Values are converted straight into their slots. Should a text not convert, the slots written so
    // far are put back as they were, so that a failed read leaves the buffer untouched.
    if (fFallibleEnd > 0) std::memcpy(fRowBackup.data(), buffer, fFallibleEnd);
    size_t i = 0;
    try {
        for (; i < fColumns.size(); ++i) {
            const TColumnLayout& column = fColumns[i];
            const char* text = row[i];
            uint8_t* const slot = buffer + column.slot;
            if (!text) {
                std::memset(slot, 0, static_cast<size_t>(column.width) + 1);
                continue;
            }
            slot[0] = 1;
            switch (column.type) {
            case INT_TYPE: {
                int32_t value = 0;
                if (!host::TryStrToInt(text, value)) InvalidInteger(text);
                StoreLE(slot + 1, value);
                break;
            }
            case UINT_TYPE: {
                // An unsigned column spans 0..4294967295: its 32 bits are kept as they are, so a value
                // above 2147483647 reads back negative through the signed host type instead of making
                // the row unreadable; the statement builders write the slot back unsigned.
                int64_t value = 0;
                if (!host::TryStrToInt64(text, value) || value < 0 || value > int64_t{UINT32_MAX})
                    InvalidInteger(text);
                StoreLE(slot + 1, static_cast<uint32_t>(value));
                break;
            }
            case CHAR_TYPE: {
                const size_t width = static_cast<size_t>(column.width);
                const size_t length = strnlen(text, width);
                std::memcpy(slot + 1, text, length);
                // The rest of the slot is cleared, so that equal values make equal slots.
                if (length < width) std::memset(slot + 1 + length, 0, width - length);
                break;
            }
            case REAL_TYPE:
            case MONEY_TYPE:
                StoreLE(slot + 1, StrToSQLFloat(text));
                break;
            case DATE_TYPE:
            case TIME_TYPE:
                StoreLE(slot + 1, SqlDateToDateTime(text));
                break;
            case TEXT_TYPE:
                // No edit stream: the text is reached through the blob operations.
                slot[0] = 0;
                std::memset(slot + 1, 0, static_cast<size_t>(column.width));
                break;
            default:
                std::memset(slot + 1, 0, static_cast<size_t>(column.width));
                break;
            }
        }
    } catch (...) {
        if (fFallibleEnd > 0) std::memcpy(buffer, fRowBackup.data(), fFallibleEnd);
        throw;
    }
    if (!fColumns.empty()) buffer[fColumns.back().slot + fColumns.back().width + 1] = 0; // the spare byte
    // Status slots: null as the row says, unchanged.
    const std::vector<TmSQLField*>& descriptors = fFieldDescs->List();
    const size_t count = std::min(descriptors.size(), fColumns.size());
    for (size_t k = 0; k < count; ++k) {
        const uint16_t status = descriptors[k]->NullOffset();
        if (status == 0) continue;
        StoreLE<uint16_t>(buffer + status, row[k] ? StatusNotNull : StatusNull);
        StoreLE<uint32_t>(buffer + status + StatusChangedOffset, StatusUnchanged);
    }
}

// ---- Work buffer <-> host representation

void TNativeDataSet::GetFieldSlow(uint16_t number, uint8_t* buffer, void* target, bool& blank) {
    if (!buffer) throw EmSQLException(DBIERR_INVALIDPARAM);
    // A descriptor still to be built, or DBIERR_INVALIDRECSTRUCT.
    TmSQLField* field = fFieldDescs->GetField(number);
    if (!target) {
        field->SetBuffer(buffer);
        blank = field->GetNull();
        return;
    }
    NativeToHost(field, buffer, blank, target);
}

void TNativeDataSet::NativeToHost(TmSQLField* field, uint8_t* record, bool& blank, void* target) {
    if (!record) throw EmSQLException(DBIERR_INVALIDPARAM);
    field->SetBuffer(record);
    blank = field->GetNull();
    if (!blank && target) AdjustNativeField(field, field->FieldValue(), target, blank);
}

void TNativeDataSet::HostToNative(TmSQLField* field, uint8_t* record, const void* source) {
    if (!source) return;
    if (!record) throw EmSQLException(DBIERR_INVALIDPARAM);
    field->SetBuffer(record);
    AdjustHostField(field, field->FieldValue(), source);
}

void TNativeDataSet::AdjustNativeField(const TmSQLField* field, const uint8_t* slot, void* target,
                                       bool& blank) const {
    if (slot[0] == 0) {
        blank = true;
        return;
    }
    blank = false;
    const uint8_t* data = slot + 1;
    auto* out = static_cast<uint8_t*>(target);
    switch (field->NativeType()) {
    case INT_TYPE:
    case UINT_TYPE:
        StoreLE(out, LoadLE<int32_t>(data));
        break;
    case CHAR_TYPE: {
        const size_t limit = std::min<size_t>(field->NativeSize(), field->FieldLength());
        const size_t length = strnlen(reinterpret_cast<const char*>(data), limit);
        std::memcpy(out, data, length);
        out[length] = 0;
        break;
    }
    case REAL_TYPE:
    case MONEY_TYPE:
        StoreLE(out, LoadLE<double>(data));
        break;
    case DATE_TYPE: {
        // The conversion to an integer drops the time of day (it truncates toward zero).
        const int32_t day = static_cast<int32_t>(LoadLE<double>(data)) + DateDelta;
        StoreLE(out, day);
        break;
    }
    case TIME_TYPE: {
        const int64_t msecs = std::llround(LoadLE<double>(data) * MSecsPerDay);
        const int32_t timeOfDay = static_cast<int32_t>(((msecs % MSecsPerDay) + MSecsPerDay) % MSecsPerDay);
        StoreLE(out, timeOfDay);
        break;
    }
    default:
        blank = true; // TEXT and unknown types have no host form here
        break;
    }
}

void TNativeDataSet::AdjustHostField(const TmSQLField* field, uint8_t* slot, const void* source) const {
    // A value mSQL cannot carry is refused before the slot is touched, never stored as something else.
    if (field->NativeType() == DATE_TYPE) {
        const int32_t day = LoadLE<int32_t>(source);
        if (day < 1 || day > MaxDayNumber)
            throw EmSQLException(DBIERR_INVALIDPARAM,
                                 "The date for field '" + field->GetFieldName() +
                                     "' lies outside the years 1 to 9999 that mSQL can store");
    } else if (field->NativeType() == TIME_TYPE) {
        const int32_t msecs = LoadLE<int32_t>(source);
        if (msecs < 0 || msecs >= MSecsPerDay)
            throw EmSQLException(DBIERR_INVALIDPARAM,
                                 "The time for field '" + field->GetFieldName() + "' is not a time of day");
    }
    const size_t width = field->FieldLength();
    std::memset(slot, 0, width + 1);
    slot[0] = 1;
    uint8_t* data = slot + 1;
    switch (field->NativeType()) {
    case INT_TYPE:
    case UINT_TYPE:
        if (width >= sizeof(int32_t)) StoreLE(data, LoadLE<int32_t>(source));
        break;
    case CHAR_TYPE:
        std::memcpy(data, source, strnlen(static_cast<const char*>(source), width));
        break;
    case REAL_TYPE:
    case MONEY_TYPE:
        if (width >= sizeof(double)) StoreLE(data, LoadLE<double>(source));
        break;
    case DATE_TYPE:
        if (width >= sizeof(double)) StoreLE(data, static_cast<double>(LoadLE<int32_t>(source) - DateDelta));
        break;
    case TIME_TYPE:
        if (width >= sizeof(double))
            StoreLE(data, static_cast<double>(LoadLE<int32_t>(source)) / MSecsPerDay);
        break;
    default:
        break; // TEXT and unknown types: the data stays zero
    }
}

} // namespace corvane
