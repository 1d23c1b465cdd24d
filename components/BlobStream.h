// TmSQLBlobStream: the stream a dataset hands out for a memo (TEXT) field. It reads and writes the
// field's value in one row buffer through the engine's blob operations, and while reading in order it
// assembles the whole value into the dataset's blob cache, from which later streams on the same row
// are served without the engine.
#pragma once

#include <cstdint>
#include <string>

#include "access/mSQLAccess.h"
#include "host/DBTypes.h"
#include "host/Stream.h"

namespace host {
class TBlobField;
} // namespace host

namespace corvane {

class TmSQLDataSet;

class TmSQLBlobStream : public host::TStream {
public:
    // A stream on field's value in the row its dataset's state selects. Without such a row the stream
    // stays unopened (reads and size give 0, writes do nothing). Raises the host's errors for access
    // in the filter state (SNoFieldAccess), for writing a read-only field (SFieldReadOnly) and for
    // writing outside edit and insert (SNotEditing). A write-mode stream starts with an empty value.
    TmSQLBlobStream(host::TBlobField* field, host::TBlobStreamMode mode);
    // A written value marks the field modified and tells the dataset; an exception there goes to the
    // application's handler.
    ~TmSQLBlobStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // No bounds beyond the 32-bit position range (from the end: the size of the row's value).
    int64_t Seek(int64_t offset, host::TSeekOrigin origin) override;
    int64_t Size() override { return GetBlobSize(); }
    // Cuts the value at the position.
    void Truncate();
    int64_t GetBlobSize();
    // Every read of the native cursor refers to its current row.
    bool PositionDataset() const { return true; }

private:
    TmSQLEngine* Engine() const;

    host::TBlobField* fField;
    TmSQLDataSet* fDataSet;
    host::TRecordBuffer fBuffer = nullptr;
    host::TBlobStreamMode fMode;
    uint16_t fFieldNo;
    bool fOpened = false;
    bool fModified = false;
    uint32_t fPosition = 0;
    std::string fBlobData; // the value assembled so far while reading in order
    uint32_t fCacheSize = 0;
    bool fCached = false;
};

} // namespace corvane
