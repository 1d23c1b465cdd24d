// Dataset keys: the description of the index in force, the key buffers into which search and range
// values are typed, and the ranges applied from them.
//
// Key buffer (6 + native record size bytes): the host's TKeyBuffer header (Modified, Exclusive,
// FieldCount) followed by a record in the cursor's layout holding the key values in the index fields.
// Buffers by host::TKeyIndex: the search key, the range start and end being edited, the range start
// and end in force, and the copy saved when key editing starts.
#include <algorithm>
#include <cstring>

#include "components/DataSet.h"
#include "host/Messages.h"

namespace corvane {

namespace {

host::TKeyBuffer Header(const uint8_t* key) {
    host::TKeyBuffer header;
    std::memcpy(&header, key, sizeof header);
    return header;
}

void SetHeader(uint8_t* key, const host::TKeyBuffer& header) {
    std::memcpy(key, &header, sizeof header);
}

uint8_t* RecordOf(uint8_t* key) {
    return key + sizeof(host::TKeyBuffer);
}

} // namespace

// ---- Index information

DBIResult TmSQLDataSet::GetIndexInfo() {
    fIndexFieldCount = 0;
    fIndexFieldMap.fill(0);
    fKeySize = 0;
    fExpIndex = false;
    fCaseInsIndex = false;
    TmSQLEngine* engine = Engine();
    if (!engine || !fHandle) return DBIERR_INVALIDHNDL;
    // The cursor keys on the index whose order is in force, and on index 1 in the natural order.
    uint16_t number = 1;
    if (!fIndexInForce.empty()) {
        CURProps props{};
        if (engine->GetCursorProps(fHandle, props) == DBIERR_NONE) {
            for (uint16_t i = 1; i <= props.iIndexes; ++i) {
                IDXDesc candidate{};
                if (engine->GetIndexDesc(fHandle, i, candidate) != DBIERR_NONE) break;
                if (std::strncmp(candidate.szName, fIndexInForce.c_str(), sizeof candidate.szName) == 0) {
                    number = i;
                    break;
                }
            }
        }
    }
    IDXDesc desc{};
    const DBIResult status = engine->GetIndexDesc(fHandle, number, desc);
    if (status != DBIERR_NONE) return status;
    fExpIndex = desc.bExpIdx != DescFalse;
    fCaseInsIndex = desc.bCaseInsensitive != DescFalse;
    if (!fExpIndex) {
        fIndexFieldCount = std::min<int>(desc.iFldsInKey, MaxIndexFields);
        // The descriptor is packed: its members are copied, never referenced.
        static_assert(sizeof desc.aiKeyFld == sizeof(uint16_t) * MaxIndexFields);
        std::memcpy(fIndexFieldMap.data(), desc.aiKeyFld, sizeof desc.aiKeyFld);
    }
    fKeySize = desc.iKeyLen;
    return status;
}

DBIResult TmSQLDataSet::SwitchToIndex(const std::string& indexName, const std::string& tagName) {
    TmSQLEngine* engine = RequireEngine();
    ResetCursorRange();
    UpdateCursorPos();
    DBIResult status = engine->SwitchToIndex(fHandle, indexName.c_str(), tagName.c_str(), 0, true);
    if (status == DBIERR_NOCURRREC)
        status = engine->SwitchToIndex(fHandle, indexName.c_str(), tagName.c_str(), 0, false);
    Check(engine, status);
    fIndexInForce = indexName;
    fKeySize = 0;
    fExpIndex = false;
    fCaseInsIndex = false;
    fIndexFieldCount = 0;
    // The cursor ran its statement again: the row buffers are built anew.
    SetBufListSize(0);
    InitBufferPointers(true);
    try {
        SetBufListSize(BufferCount() + 1);
    } catch (...) {
        SetState(host::dsInactive);
        CloseCursor();
        throw;
    }
    return GetIndexInfo();
}

host::TField* TmSQLDataSet::GetIndexField(int index) {
    if (index < 0 || index >= fIndexFieldCount) host::DatabaseError(host::SFieldIndexError, this);
    const int number = fIndexFieldMap[static_cast<size_t>(index)];
    host::TField* field = FieldByNumber(number);
    if (!field) {
        const std::string name =
            number >= 1 && number <= FieldDefs()->Count() ? FieldDefs()->Items(number - 1)->Name() : "";
        host::DatabaseErrorFmt(host::SIndexFieldMissing, {name}, this);
    }
    return field;
}

void TmSQLDataSet::SetIndexField(int index, host::TField* value) {
    GetIndexField(index)->Assign(value);
}

bool TmSQLDataSet::GetIsIndexField(host::TField* field) {
    const int number = field->FieldNo();
    if (number <= 0) return false;
    return std::find(fIndexFieldMap.begin(), fIndexFieldMap.begin() + fIndexFieldCount, number) !=
           fIndexFieldMap.begin() + fIndexFieldCount;
}

bool TmSQLDataSet::MapsToIndex(const std::vector<host::TField*>& fields, bool caseInsensitive) {
    if (caseInsensitive != fCaseInsIndex) {
        for (host::TField* field : fields)
            if (host::ftStringTypes.Contains(field->DataType())) return false;
    }
    if (static_cast<int>(fields.size()) > fIndexFieldCount) return false;
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i]->FieldNo() != fIndexFieldMap[i]) return false;
    return true;
}

// ---- Key buffers

uint8_t* TmSQLDataSet::InitKeyBuffer(uint8_t* buffer) {
    std::memset(buffer, 0, KeyBufferSize());
    // Every field of the record part becomes null.
    if (TmSQLEngine* engine = Engine()) engine->InitRecord(fHandle, RecordOf(buffer));
    return buffer;
}

void TmSQLDataSet::AllocKeyBuffers() {
    try {
        for (std::vector<uint8_t>& buffer : fKeyBuffers) {
            buffer.assign(KeyBufferSize(), 0);
            InitKeyBuffer(buffer.data());
        }
    } catch (...) {
        FreeKeyBuffers();
        throw;
    }
}

void TmSQLDataSet::FreeKeyBuffers() {
    for (std::vector<uint8_t>& buffer : fKeyBuffers)
        std::vector<uint8_t>().swap(buffer);
    fKeyBuffer = nullptr;
}

uint8_t* TmSQLDataSet::SetKeyBuffer(host::TKeyIndex index, bool clear) {
    CheckBrowseMode();
    fKeyBuffer = GetKeyBuffer(index);
    std::memcpy(GetKeyBuffer(host::kiSave), fKeyBuffer, KeyBufferSize());
    if (clear) InitKeyBuffer(fKeyBuffer);
    SetState(host::dsSetKey);
    SetModified(Header(fKeyBuffer).Modified != 0);
    DataEvent(host::deDataSetChange, 0);
    return fKeyBuffer;
}

void TmSQLDataSet::PostKeyBuffer(bool commit) {
    DataEvent(host::deCheckBrowseMode, 0);
    if (fKeyBuffer) {
        if (commit) {
            host::TKeyBuffer header = Header(fKeyBuffer);
            header.Modified = Modified() ? 1 : 0;
            SetHeader(fKeyBuffer, header);
        } else {
            std::memcpy(fKeyBuffer, GetKeyBuffer(host::kiSave), KeyBufferSize());
        }
    }
    SetState(host::dsBrowse);
    DataEvent(host::deDataSetChange, 0);
}

void TmSQLDataSet::CheckSetKeyMode() {
    if (State() != host::dsSetKey || !fKeyBuffer) host::DatabaseError(host::SNotEditing, this);
}

bool TmSQLDataSet::GetKeyExclusive() {
    CheckSetKeyMode();
    return Header(fKeyBuffer).Exclusive != 0;
}

void TmSQLDataSet::SetKeyExclusive(bool value) {
    CheckSetKeyMode();
    host::TKeyBuffer header = Header(fKeyBuffer);
    header.Exclusive = value ? 1 : 0;
    SetHeader(fKeyBuffer, header);
}

int TmSQLDataSet::GetKeyFieldCount() {
    CheckSetKeyMode();
    return Header(fKeyBuffer).FieldCount;
}

void TmSQLDataSet::SetKeyFieldCount(int value) {
    CheckSetKeyMode();
    host::TKeyBuffer header = Header(fKeyBuffer);
    header.FieldCount = value;
    SetHeader(fKeyBuffer, header);
}

void TmSQLDataSet::SetKeyFields(host::TKeyIndex index, const std::vector<host::Variant>& values) {
    if (fExpIndex) host::DatabaseError(host::SCompositeIndexError, this);
    if (fIndexFieldCount == 0) host::DatabaseError(host::SNoFieldIndexes, this);
    const host::TDataSetState saved = SetTempState(host::dsSetKey);
    try {
        fKeyBuffer = InitKeyBuffer(GetKeyBuffer(index));
        for (size_t i = 0; i < values.size(); ++i)
            GetIndexField(static_cast<int>(i))->AssignValue(values[i]);
        host::TKeyBuffer header = Header(fKeyBuffer);
        header.FieldCount = static_cast<int32_t>(values.size());
        header.Modified = Modified() ? 1 : 0;
        SetHeader(fKeyBuffer, header);
    } catch (...) {
        RestoreState(saved);
        throw;
    }
    RestoreState(saved);
}

int TmSQLDataSet::KeyFieldsInUse(const uint8_t* key) const {
    const host::TKeyBuffer header = Header(key);
    // Copied out first: std::min takes references, and a packed member may be misaligned.
    const int fieldCount = header.FieldCount;
    if (fieldCount > 0) return std::min(fieldCount, fIndexFieldCount);
    return header.Modified != 0 ? fIndexFieldCount : 0;
}

// ---- Ranges

bool TmSQLDataSet::SetCursorRange() {
    const size_t size = KeyBufferSize();
    uint8_t* start = GetKeyBuffer(host::kiRangeStart);
    uint8_t* end = GetKeyBuffer(host::kiRangeEnd);
    uint8_t* currentStart = GetKeyBuffer(host::kiCurRangeStart);
    uint8_t* currentEnd = GetKeyBuffer(host::kiCurRangeEnd);
    if (std::memcmp(start, currentStart, size) == 0 && std::memcmp(end, currentEnd, size) == 0) return false;
    TmSQLEngine* engine = RequireEngine();
    std::vector<uint8_t> keys(size_t{fKeySize} * 2, 0);
    const host::TKeyBuffer startHeader = Header(start);
    const host::TKeyBuffer endHeader = Header(end);
    bool useStart = false;
    bool useEnd = false;
    if (startHeader.Modified)
        useStart = engine->ExtractKey(fHandle, RecordOf(start), keys.data()) == DBIERR_NONE;
    if (endHeader.Modified)
        useEnd = engine->ExtractKey(fHandle, RecordOf(end), keys.data() + fKeySize) == DBIERR_NONE;
    // Both bounds travel as extracted keys, or both as records.
    const bool useKey = useStart && useEnd;
    uint8_t* lower = useKey ? keys.data() : RecordOf(start);
    uint8_t* upper = useKey ? keys.data() + fKeySize : RecordOf(end);
    // A bound never typed restricts nothing.
    const auto lowerFields = static_cast<uint16_t>(startHeader.Modified ? KeyFieldsInUse(start) : 0);
    const auto upperFields = static_cast<uint16_t>(endHeader.Modified ? KeyFieldsInUse(end) : 0);
    Check(engine, engine->SetRange(fHandle, useKey, lowerFields, 0, lower, startHeader.Exclusive == 0,
                                   upperFields, 0, upper, endHeader.Exclusive == 0));
    std::memcpy(currentStart, start, size);
    std::memcpy(currentEnd, end, size);
    DestroyLookupCursor();
    return true;
}

bool TmSQLDataSet::ResetCursorRange() {
    uint8_t* currentStart = GetKeyBuffer(host::kiCurRangeStart);
    uint8_t* currentEnd = GetKeyBuffer(host::kiCurRangeEnd);
    if (currentStart == nullptr || (!Header(currentStart).Modified && !Header(currentEnd).Modified))
        return false;
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->ResetRange(fHandle));
    InitKeyBuffer(currentStart);
    InitKeyBuffer(currentEnd);
    DestroyLookupCursor();
    return true;
}

void TmSQLDataSet::SetLinkRanges(const std::vector<host::TField*>& masterFields) {
    const host::TDataSetState saved = SetTempState(host::dsSetKey);
    try {
        fKeyBuffer = InitKeyBuffer(GetKeyBuffer(host::kiRangeStart));
        host::TKeyBuffer header = Header(fKeyBuffer);
        header.Modified = 1;
        SetHeader(fKeyBuffer, header);
        for (size_t i = 0; i < masterFields.size(); ++i)
            GetIndexField(static_cast<int>(i))->Assign(masterFields[i]);
        header = Header(fKeyBuffer);
        header.FieldCount = static_cast<int32_t>(masterFields.size());
        SetHeader(fKeyBuffer, header);
    } catch (...) {
        RestoreState(saved);
        throw;
    }
    RestoreState(saved);
    std::memcpy(GetKeyBuffer(host::kiRangeEnd), GetKeyBuffer(host::kiRangeStart), KeyBufferSize());
}

} // namespace corvane
