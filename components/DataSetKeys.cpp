// Dataset keys: the description of the current index and the key buffers into which search and range
// values are typed.
#include <algorithm>
#include <cstring>

#include "components/DataSet.h"

namespace corvane {

DBIResult TmSQLDataSet::GetIndexInfo() {
    TmSQLEngine* engine = Engine();
    if (!engine) return DBIERR_INVALIDHNDL;
    IDXDesc desc{};
    const DBIResult status = engine->GetIndexDesc(fHandle, 1, desc);
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

bool TmSQLDataSet::GetIsIndexField(host::TField* field) {
    const int number = field->FieldNo();
    if (number <= 0) return false;
    return std::find(fIndexFieldMap.begin(), fIndexFieldMap.begin() + fIndexFieldCount, number) !=
           fIndexFieldMap.begin() + fIndexFieldCount;
}

uint8_t* TmSQLDataSet::InitKeyBuffer(uint8_t* buffer) {
    std::memset(buffer, 0, KeyBufferSize());
    // Every field of the record part becomes null.
    if (TmSQLEngine* engine = Engine()) engine->InitRecord(fHandle, buffer + sizeof(host::TKeyBuffer));
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

void TmSQLDataSet::PostKeyBuffer(bool commit) {
    DataEvent(host::deCheckBrowseMode, 0);
    if (fKeyBuffer) {
        if (commit)
            fKeyBuffer[0] = Modified() ? 1 : 0; // TKeyBuffer.Modified
        else
            std::memcpy(fKeyBuffer, fKeyBuffers[host::kiSave].data(), KeyBufferSize());
    }
    SetState(host::dsBrowse);
    DataEvent(host::deDataSetChange, 0);
}

} // namespace corvane
