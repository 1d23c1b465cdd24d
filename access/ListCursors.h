// The list cursors: a TIndexList hands out IDXDesc records and a TFieldList FLDDesc records, one per
// GetNextRecord, from a private copy made when the list is created. Both are native cursors that never
// open a result.
#pragma once

#include <cstdint>
#include <vector>

#include "access/NativeDataSet.h"

namespace corvane {

class TIndexList : public TNativeDataSet {
public:
    // An unopened cursor on connection holding a copy of count IDXDesc records from items (none when
    // items is null; the caller keeps items), positioned at the start.
    TIndexList(TNativeConnect* connection, const IDXDesc* items, uint16_t count);

    // The size of one record, for both the buffer and the work buffer.
    int GetBufferSize() override;
    int GetWorkBufferSize() override;
    int32_t GetRecordCount() override;
    // Copies the record at the position into buffer and advances; DBIERR_EOF after the last record,
    // DBIERR_INVALIDPARAM without buffer.
    void GetNextRecord(DBILockType lock, uint8_t* buffer, RECProps* props) override;
    // Back to the first record, whatever the bookmark.
    void SetToBookmark(const uint8_t* bookmark) override;
    // Back to the first record.
    void SetToBegin() override;

    uint16_t Count() const { return fCount; }

protected:
    // An unopened cursor holding count records of recordSize bytes each from items.
    TIndexList(TNativeConnect* connection, const void* items, uint16_t count, int recordSize);

private:
    std::vector<uint8_t> fItems;
    uint16_t fCount;
    uint16_t fPosition = 0;
    int fRecordSize;
};

class TFieldList : public TIndexList {
public:
    // An unopened cursor holding a copy of count FLDDesc records from items (none when null).
    TFieldList(TNativeConnect* connection, const FLDDesc* items, uint16_t count);
};

} // namespace corvane
