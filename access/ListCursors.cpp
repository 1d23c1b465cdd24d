// The index and field list cursors.
#include "access/ListCursors.h"

#include <cstring>

#include "access/EmSQLException.h"

namespace corvane {

TIndexList::TIndexList(TNativeConnect* connection, const IDXDesc* items, uint16_t count)
    : TIndexList(connection, items, count, static_cast<int>(sizeof(IDXDesc))) {}

TIndexList::TIndexList(TNativeConnect* connection, const void* items, uint16_t count, int recordSize)
    : TNativeDataSet(connection, nullptr, std::string(), std::string(), 0), fCount(count),
      fRecordSize(recordSize) {
    if (items && count > 0) {
        fItems.resize(static_cast<size_t>(count) * static_cast<size_t>(recordSize));
        std::memcpy(fItems.data(), items, fItems.size());
    } else {
        fCount = 0;
    }
    TIndexList::SetToBegin();
}

int TIndexList::GetBufferSize() {
    return fRecordSize;
}

int TIndexList::GetWorkBufferSize() {
    return GetBufferSize();
}

int32_t TIndexList::GetRecordCount() {
    return fCount;
}

void TIndexList::GetNextRecord(DBILockType /*lock*/, uint8_t* buffer, RECProps* /*props*/) {
    if (fPosition >= fCount) throw EmSQLException(DBIERR_EOF);
    if (!buffer) throw EmSQLException(DBIERR_INVALIDPARAM);
    const size_t size = static_cast<size_t>(fRecordSize);
    std::memcpy(buffer, fItems.data() + fPosition * size, size);
    ++fPosition;
}

void TIndexList::SetToBookmark(const uint8_t* /*bookmark*/) {
    SetToBegin();
}

void TIndexList::SetToBegin() {
    TNativeDataSet::SetToBegin();
    fPosition = 0;
}

TFieldList::TFieldList(TNativeConnect* connection, const FLDDesc* items, uint16_t count)
    : TIndexList(connection, items, count, static_cast<int>(sizeof(FLDDesc))) {}

} // namespace corvane
