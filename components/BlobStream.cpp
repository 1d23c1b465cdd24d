// The blob stream of memo fields, the dataset's CreateBlobStream and the blob cache of its row
// buffers.
#include "components/BlobStream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "components/DataSet.h"
#include "host/Application.h"
#include "host/Fields.h"
#include "host/Messages.h"

namespace corvane {

namespace {

// "End of BLOB.": the read reached the end of the value.
constexpr DBIResult kEndOfBlob = 8711;
// "Invalid offset into the BLOB.": the position lies beyond the value.
constexpr DBIResult kInvalidBlobOffset = 9998;

constexpr int64_t kMaxPosition = std::numeric_limits<uint32_t>::max();

const std::string kNoBlobData;

} // namespace

// ---- The blob cache of the row buffers

uint32_t TmSQLDataSet::BlobCacheHandle(host::TRecordBuffer buffer, const host::TField* field) const {
    uint32_t handle = 0;
    std::memcpy(&handle, buffer + fBlobCacheOfs + BlobCacheSlotSize * static_cast<size_t>(field->Offset()),
                sizeof handle);
    return handle;
}

const std::string& TmSQLDataSet::GetBlobData(host::TField* field, host::TRecordBuffer buffer) {
    if (!buffer || field->Offset() < 0 || field->Offset() >= BlobFieldCount()) return kNoBlobData;
    const uint32_t handle = BlobCacheHandle(buffer, field);
    if (handle == 0) return kNoBlobData;
    const auto found = fBlobCache.values.find(handle);
    return found == fBlobCache.values.end() ? kNoBlobData : found->second;
}

void TmSQLDataSet::SetBlobData(host::TField* field, host::TRecordBuffer buffer, const std::string& value) {
    if (!buffer || buffer != ActiveBuffer() || field->Offset() < 0 || field->Offset() >= BlobFieldCount())
        return;
    uint8_t* slot = buffer + fBlobCacheOfs + BlobCacheSlotSize * static_cast<size_t>(field->Offset());
    uint32_t handle = BlobCacheHandle(buffer, field);
    if (value.empty()) {
        if (handle != 0) fBlobCache.values.erase(handle);
        handle = 0;
    } else if (handle != 0 && fBlobCache.values.count(handle) != 0) {
        fBlobCache.values[handle] = value;
    } else {
        handle = fBlobCache.nextHandle;
        while (handle == 0 || fBlobCache.values.count(handle) != 0)
            ++handle;
        fBlobCache.nextHandle = handle + 1;
        fBlobCache.values.emplace(handle, value);
    }
    std::memcpy(slot, &handle, sizeof handle);
}

void TmSQLDataSet::ClearBlobCache(host::TRecordBuffer buffer) {
    if (!buffer) return;
    for (int i = 0; i < BlobFieldCount(); ++i) {
        uint8_t* slot = buffer + fBlobCacheOfs + BlobCacheSlotSize * static_cast<size_t>(i);
        uint32_t handle = 0;
        std::memcpy(&handle, slot, sizeof handle);
        if (handle == 0) continue;
        fBlobCache.values.erase(handle);
        handle = 0;
        std::memcpy(slot, &handle, sizeof handle);
    }
}

// ---- The stream

std::unique_ptr<host::TStream> TmSQLDataSet::CreateBlobStream(host::TField* field,
                                                              host::TBlobStreamMode mode) {
    auto* blob = dynamic_cast<host::TBlobField*>(field);
    if (!blob) return host::TDataSet::CreateBlobStream(field, mode);
    return std::make_unique<TmSQLBlobStream>(blob, mode);
}

TmSQLBlobStream::TmSQLBlobStream(host::TBlobField* field, host::TBlobStreamMode mode)
    : fField(field), fDataSet(dynamic_cast<TmSQLDataSet*>(field->DataSet())), fMode(mode),
      fFieldNo(static_cast<uint16_t>(field->FieldNo())) {
    if (!fDataSet) host::DatabaseErrorFmt(host::SDataSetMissing, {field->DisplayName()});
    if (!fDataSet->GetActiveRecBuf(fBuffer)) return;
    if (fDataSet->State() == host::dsFilter)
        host::DatabaseErrorFmt(host::SNoFieldAccess, {field->DisplayName()}, fDataSet);
    if (!field->Modified()) {
        DBIOpenMode openMode = dbiREADONLY;
        bool positioned = false;
        if (mode == host::bmRead) {
            fCached = fDataSet->fCacheBlobs && fBuffer == fDataSet->ActiveBuffer() &&
                      (static_cast<host::TField*>(field)->IsNull() ||
                       !fDataSet->GetBlobData(field, fBuffer).empty());
            // The native cursor reads the value of its current row: it is put on the buffer's row.
            // While fields are calculated for a row just read (a fetch, or the row a lookup found)
            // the cursor is on that row already; re-reading the current row would put the active
            // row's values into that buffer.
            const bool calcRow =
                fDataSet->State() == host::dsCalcFields && fBuffer == fDataSet->fCalcRowBuffer;
            if (!calcRow && !fDataSet->GetCurrentRecord(fBuffer)) return;
            positioned = true;
        } else {
            fDataSet->SetBlobData(field, fBuffer, std::string());
            if (field->ReadOnly())
                host::DatabaseErrorFmt(host::SFieldReadOnly, {field->DisplayName()}, fDataSet);
            if (fDataSet->State() != host::dsEdit && fDataSet->State() != host::dsInsert)
                host::DatabaseError(host::SNotEditing, fDataSet);
            openMode = dbiREADWRITE;
        }
        if (!fCached) {
            if (fDataSet->State() == host::dsBrowse && !positioned)
                fDataSet->GetCurrentRecord(fDataSet->ActiveBuffer());
            TmSQLEngine* engine = Engine();
            Check(engine, engine->OpenBlob(fDataSet->fHandle, fBuffer, fFieldNo, openMode));
        }
    }
    fOpened = true;
    if (mode == host::bmWrite) Truncate();
}

TmSQLBlobStream::~TmSQLBlobStream() {
    try {
        if (fOpened) {
            if (fModified) fField->SetModified(true);
            if (!fField->Modified() && !fCached) {
                // The result is of no use here: the stream is going away.
                if (TmSQLEngine* engine = Engine()) engine->FreeBlob(fDataSet->fHandle, fBuffer, fFieldNo);
            }
        }
        if (fModified) fDataSet->DataEvent(host::deFieldChange, reinterpret_cast<intptr_t>(fField));
    } catch (...) {
        host::Application().HandleException(fDataSet);
    }
}

TmSQLEngine* TmSQLBlobStream::Engine() const {
    return fDataSet->RequireEngine();
}

int64_t TmSQLBlobStream::Read(void* buffer, int64_t count) {
    if (!fOpened || count <= 0) return 0;
    if (fCached) {
        const std::string& value = fDataSet->GetBlobData(fField, fBuffer);
        if (fPosition >= value.size()) return 0;
        const size_t n = std::min<size_t>(static_cast<size_t>(count), value.size() - fPosition);
        std::memcpy(buffer, value.data() + fPosition, n);
        fPosition += static_cast<uint32_t>(n);
        return static_cast<int64_t>(n);
    }
    TmSQLEngine* engine = Engine();
    const auto length = static_cast<uint32_t>(std::min<int64_t>(count, kMaxPosition));
    auto* target = static_cast<uint8_t*>(buffer);
    uint32_t read = 0;
    const DBIResult status =
        engine->GetBlob(fDataSet->fHandle, fBuffer, fFieldNo, fPosition, length, target, read);
    if (status == kInvalidBlobOffset) return read;
    if (status != DBIERR_NONE && status != kEndOfBlob) DbiError(engine, status);
    if (fField->Transliterate() && read > 0) {
        host::TCriticalSectionGuard guard(ToAnsiLock());
        bool dataLoss = false;
        engine->NativeToAnsi(reinterpret_cast<char*>(target), reinterpret_cast<const char*>(target), read,
                             dataLoss);
    }
    if (fDataSet->fCacheBlobs && fBuffer == fDataSet->ActiveBuffer() && fMode == host::bmRead &&
        !fField->Modified() && fPosition == fCacheSize) {
        // Read in order from the start: the pieces add up to the whole value, which is then kept
        // in the dataset and served from there.
        fBlobData.append(reinterpret_cast<const char*>(target), read);
        fCacheSize = fPosition + read;
        if (fCacheSize == GetBlobSize()) {
            fDataSet->SetBlobData(fField, fBuffer, fBlobData);
            std::string().swap(fBlobData);
            fCached = true;
            engine->FreeBlob(fDataSet->fHandle, fBuffer, fFieldNo);
        }
    }
    fPosition += read;
    return read;
}

int64_t TmSQLBlobStream::Write(const void* buffer, int64_t count) {
    if (!fOpened || count <= 0) return 0;
    TmSQLEngine* engine = Engine();
    const auto length = static_cast<uint32_t>(std::min<int64_t>(count, kMaxPosition));
    const auto* source = static_cast<const uint8_t*>(buffer);
    std::vector<uint8_t> translated;
    if (fField->Transliterate()) {
        translated.assign(size_t{length} + 1, 0);
        host::TCriticalSectionGuard guard(ToNativeLock());
        bool dataLoss = false;
        engine->AnsiToNative(reinterpret_cast<char*>(translated.data()),
                             reinterpret_cast<const char*>(source), length, dataLoss);
        source = translated.data();
    }
    Check(engine, engine->PutBlob(fDataSet->fHandle, fBuffer, fFieldNo, fPosition, length, source));
    fPosition += length;
    fModified = true;
    fDataSet->SetBlobData(fField, fBuffer, std::string());
    return length;
}

int64_t TmSQLBlobStream::Seek(int64_t offset, host::TSeekOrigin origin) {
    int64_t position = offset;
    if (origin == host::soCurrent)
        position += fPosition;
    else if (origin == host::soEnd)
        position += GetBlobSize();
    fPosition = static_cast<uint32_t>(std::clamp<int64_t>(position, 0, kMaxPosition));
    return fPosition;
}

void TmSQLBlobStream::Truncate() {
    if (!fOpened) return;
    TmSQLEngine* engine = Engine();
    Check(engine, engine->TruncateBlob(fDataSet->fHandle, fBuffer, fFieldNo, fPosition));
    fModified = true;
    fDataSet->SetBlobData(fField, fBuffer, std::string());
}

int64_t TmSQLBlobStream::GetBlobSize() {
    if (!fOpened) return 0;
    if (fCached) return static_cast<int64_t>(fDataSet->GetBlobData(fField, fBuffer).size());
    TmSQLEngine* engine = Engine();
    uint32_t size = 0;
    Check(engine, engine->GetBlobSize(fDataSet->fHandle, fBuffer, fFieldNo, size));
    return size;
}

} // namespace corvane
