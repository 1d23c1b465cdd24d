// TEXT blobs of a native cursor. A TEXT value never enters the work buffer: it is read from the
// current row of the stored result, and edited in an edit stream that the field's 4-byte slot refers
// to by a handle into the cursor's TBlobStreams, until a write stores it or FreeBlob releases it.
#include <algorithm>
#include <cstring>
#include <string>

#include "access/BlobStreams.h"
#include "access/EmSQLException.h"
#include "access/NativeDataSet.h"
#include "access/RecordSlots.h"

namespace corvane {

// ---- TBlobStreams

uint32_t TBlobStreams::Create() {
    uint32_t handle = fNextHandle;
    // Counting on from the last handle skips the ones still in use once the counter has wrapped.
    while (handle == NoStream || fStreams.count(handle) != 0)
        ++handle;
    fNextHandle = handle + 1;
    fStreams.emplace(handle, std::make_unique<host::TMemoryStream>());
    return handle;
}

host::TMemoryStream* TBlobStreams::Find(uint32_t handle) const {
    const auto found = fStreams.find(handle);
    return found == fStreams.end() ? nullptr : found->second.get();
}

void TBlobStreams::Release(uint32_t handle) {
    fStreams.erase(handle);
}

// ---- Slot access

namespace {

// Presence byte and handle of a TEXT slot (presence byte followed by the 32-bit handle).
uint32_t SlotHandle(const uint8_t* slot) {
    if (!slot || slot[0] == 0) return TBlobStreams::NoStream;
    return LoadLE<uint32_t>(slot + 1);
}

void SetSlotHandle(uint8_t* slot, uint32_t handle) {
    slot[0] = handle == TBlobStreams::NoStream ? 0 : 1;
    StoreLE(slot + 1, handle);
}

} // namespace

TmSQLField* TNativeDataSet::BlobField(uint8_t* record, uint16_t number) {
    TmSQLField* field = fFieldDescs->GetField(number);
    if (field->FieldType() != fldBLOB || field->FieldLength() < sizeof(uint32_t))
        throw EmSQLException(DBIERR_NOTABLOB);
    if (!record) throw EmSQLException(DBIERR_INVALIDPARAM);
    field->SetBuffer(record);
    return field;
}

host::TMemoryStream* TNativeDataSet::EditStream(const TmSQLField* field) const {
    const uint32_t handle = SlotHandle(field->FieldValue());
    return handle == TBlobStreams::NoStream ? nullptr : fBlobStreams.Find(handle);
}

host::TMemoryStream& TNativeDataSet::RequireEditStream(TmSQLField* field, const char* text) {
    if (host::TMemoryStream* stream = EditStream(field)) return *stream;
    // No stream yet, or the slot holds a handle whose stream was released: a new one.
    const uint32_t handle = fBlobStreams.Create();
    SetSlotHandle(field->FieldValue(), handle);
    host::TMemoryStream& stream = *fBlobStreams.Find(handle);
    if (text) stream.WriteBuffer(text, static_cast<int64_t>(std::strlen(text)));
    return stream;
}

const char* TNativeDataSet::RowText(const TmSQLField* field) const {
    return FieldBuffer(field->FieldNumber() - 1);
}

// ---- Blob operations

void TNativeDataSet::OpenBlob(uint8_t* record, uint16_t field, DBIOpenMode /*openMode*/) {
    BlobField(record, field);
}

void TNativeDataSet::FreeBlob(uint8_t* record, uint16_t number) {
    TmSQLField* field = BlobField(record, number);
    uint8_t* slot = field->FieldValue();
    if (slot[0] == 0) return;
    // Released whatever the null state, so that an emptied value leaves nothing behind.
    fBlobStreams.Release(SlotHandle(slot));
    SetSlotHandle(slot, TBlobStreams::NoStream);
}

void TNativeDataSet::GetBlobSize(uint8_t* record, uint16_t number, uint32_t& size) {
    size = 0;
    TmSQLField* field = BlobField(record, number);
    if (field->GetNull()) return;
    // An edited value has the size of its edit stream, so that it is read back whole.
    if (host::TMemoryStream* stream = EditStream(field)) {
        size = static_cast<uint32_t>(stream->Size());
        return;
    }
    if (const char* text = RowText(field)) size = static_cast<uint32_t>(std::strlen(text));
}

void TNativeDataSet::GetBlob(uint8_t* record, uint16_t number, uint32_t offset, uint32_t length,
                             uint8_t* target, uint32_t& read) {
    read = 0;
    if (!target || length == 0) return;
    TmSQLField* field = BlobField(record, number);
    if (field->GetNull()) return;
    if (host::TMemoryStream* stream = EditStream(field)) {
        stream->Seek(offset, host::soBeginning);
        read = static_cast<uint32_t>(stream->Read(target, length));
        return;
    }
    // The whole text of the row: a TEXT column's declared length is only its in-row part.
    const char* text = RowText(field);
    if (!text) return;
    const size_t size = std::strlen(text);
    if (offset >= size) return;
    const size_t count = std::min<size_t>(length, size - offset);
    std::memcpy(target, text + offset, count);
    read = static_cast<uint32_t>(count);
}

void TNativeDataSet::PutBlob(uint8_t* record, uint16_t number, uint32_t offset, uint32_t length,
                             const uint8_t* source) {
    TmSQLField* field = BlobField(record, number);
    if (length > 0 && !source) throw EmSQLException(DBIERR_INVALIDPARAM);
    // Refused before anything is allocated: no TEXT value can reach that far.
    if (static_cast<uint64_t>(offset) + length > MaxTextValueSize)
        throw EmSQLException(DBIERR_INVALIDPARAM,
                             "A TEXT value holds at most " + std::to_string(MaxTextValueSize) + " bytes");
    // A value being edited starts as the row's text, so that a write at an offset keeps what lies
    // before it.
    host::TMemoryStream& stream = RequireEditStream(field, field->GetNull() ? nullptr : RowText(field));
    stream.Seek(offset, host::soBeginning);
    if (length > 0)
        stream.WriteBuffer(source, length);
    else if (offset == 0)
        stream.SetSize(0);
    field->SetChanged(true);
    field->SetNull(static_cast<uint64_t>(offset) + length == 0);
}

void TNativeDataSet::TruncateBlob(uint8_t* record, uint16_t number, uint32_t length) {
    if (length == 0) {
        PutBlob(record, number, 0, 0, nullptr);
        return;
    }
    TmSQLField* field = BlobField(record, number);
    // Without an edit stream the value being cut is the row's text.
    host::TMemoryStream& stream = RequireEditStream(field, field->GetNull() ? nullptr : RowText(field));
    if (stream.Size() > length) stream.SetSize(length);
    field->SetChanged(true);
}

} // namespace corvane
