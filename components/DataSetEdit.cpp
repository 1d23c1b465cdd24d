// Editing half of the dataset core: edit, insert, post, cancel, delete and add record through the
// engine's record writes, old values, bookmarks, update mode and auto refresh.
#include <cstring>

#include "components/DataSet.h"
#include "host/Messages.h"

namespace corvane {

namespace {

// Result codes of the not-found family (8704..8959): a row that is already gone needs no delete.
constexpr DBIResult kNotFoundCategory = 0x22;
// What CompareBookmarks answers until the engine has compared two bookmarks.
constexpr int16_t kNotCompared = 2;

} // namespace

// ---- Editing

host::TRecordBuffer TmSQLDataSet::CopyRecordBuffer(host::TRecordBuffer source) {
    host::TRecordBuffer copy = AllocRecordBuffer();
    std::memcpy(copy, source, fRecBufSize);
    // The cached values stay with the source buffer.
    std::memset(copy + fBlobCacheOfs, 0, BlobCacheSlotSize * static_cast<size_t>(BlobFieldCount()));
    return copy;
}

void TmSQLDataSet::ReleaseOldBuffer() {
    if (fOldBuffer) FreeRecordBuffer(fOldBuffer);
}

void TmSQLDataSet::InternalEdit() {
    ReleaseOldBuffer();
    TmSQLEngine* engine = RequireEngine();
    fOldBuffer = CopyRecordBuffer(ActiveBuffer());
    try {
        // Re-reads the row and locks it: the buffer is not refreshed until the edit ends.
        Check(engine, engine->GetRecord(fHandle, dbiREADLOCK, ActiveBuffer(), nullptr));
    } catch (...) {
        ReleaseOldBuffer();
        throw;
    }
    ClearBlobCache(ActiveBuffer());
}

void TmSQLDataSet::InternalInsert() {
    // The cursor stands on a crack until the new row is posted.
    if (TmSQLEngine* engine = Engine()) engine->SetEngProp(fHandle, curMAKECRACK, 1);
    CursorPosChanged();
}

void TmSQLDataSet::InternalPost() {
    host::TDataSet::InternalPost();
    TmSQLEngine* engine = RequireEngine();
    if (State() == host::dsEdit) {
        // The WHERE part of the update comes from the row as it was shown when the edit began.
        if (!fOldBuffer) DbiError(engine, DBIERR_INVALIDPARAM);
        Check(engine, engine->ModifyRecord(fHandle, fOldBuffer, ActiveBuffer(), true));
    } else {
        Check(engine, engine->InsertRecord(fHandle, dbiNOLOCK, ActiveBuffer()));
    }
    ReleaseOldBuffer();
}

void TmSQLDataSet::InternalCancel() {
    if (State() == host::dsEdit) {
        if (TmSQLEngine* engine = Engine()) engine->RelRecordLock(fHandle, false);
    }
    ReleaseOldBuffer();
}

void TmSQLDataSet::InternalDelete() {
    TmSQLEngine* engine = RequireEngine();
    const DBIResult status = engine->DeleteRecord(fHandle, ActiveBuffer());
    if (status != DBIERR_NONE && (status >> 8) != kNotFoundCategory) Check(engine, status);
}

void TmSQLDataSet::InternalAddRecord(host::TRecordBuffer buffer, bool append) {
    TmSQLEngine* engine = RequireEngine();
    if (append)
        Check(engine, engine->AppendRecord(fHandle, buffer));
    else
        Check(engine, engine->InsertRecord(fHandle, dbiNOLOCK, buffer));
}

void TmSQLDataSet::InternalRefresh() {
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->ForceReread(fHandle));
}

void TmSQLDataSet::Post() {
    host::TDataSet::Post();
    if (State() == host::dsSetKey) PostKeyBuffer(true);
}

void TmSQLDataSet::Cancel() {
    host::TDataSet::Cancel();
    if (State() == host::dsSetKey) PostKeyBuffer(false);
}

// ---- Old values

host::TRecordBuffer TmSQLDataSet::GetOldRecord() {
    UpdateCursorPos();
    TmSQLEngine* engine = RequireEngine();
    if (engine->SetEngProp(fHandle, curDELAYUPDGETOLDRECORD, 1) != DBIERR_NONE) return nullptr;
    host::TRecordBuffer result = nullptr;
    try {
        // One buffer serves every request, until the next request or the close.
        if (!fUpdateBuffers) AllocCachedUpdateBuffers(true);
        result = fUpdateBuffers->oldBuffer;
        if (fOldBuffer) {
            // An edit in progress: the cursor keeps its row locked and will not read it again, and
            // the old values are those the edit started from.
            std::memcpy(result, fOldBuffer, fRecBufSize);
            std::memset(result + fBlobCacheOfs, 0, fRecInfoOfs - fBlobCacheOfs);
        } else if (ActiveBuffer() && GetBookmarkFlag(ActiveBuffer()) != host::bfCurrent) {
            // A row being inserted has no old values; the cursor stands on a crack, and reading
            // there would fetch a neighbouring row.
            Check(engine, engine->InitRecord(fHandle, result));
        } else {
            Check(engine, engine->GetRecord(fHandle, dbiNOLOCK, result, nullptr));
        }
    } catch (...) {
        engine->SetEngProp(fHandle, curDELAYUPDGETOLDRECORD, 0);
        throw;
    }
    engine->SetEngProp(fHandle, curDELAYUPDGETOLDRECORD, 0);
    return result;
}

// ---- Bookmarks

void TmSQLDataSet::InternalGotoBookmark(const uint8_t* bookmark) {
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->SetToBookMark(fHandle, bookmark));
}

void TmSQLDataSet::InternalSetToRecord(host::TRecordBuffer buffer) {
    InternalGotoBookmark(buffer + fBookmarkOfs);
}

host::TBookmarkFlag TmSQLDataSet::GetBookmarkFlag(host::TRecordBuffer buffer) {
    return static_cast<host::TBookmarkFlag>(GetRecInfo(buffer).BookmarkFlag);
}

void TmSQLDataSet::SetBookmarkFlag(host::TRecordBuffer buffer, host::TBookmarkFlag value) {
    TRecInfo info = GetRecInfo(buffer);
    info.BookmarkFlag = value;
    SetRecInfo(buffer, info);
}

void TmSQLDataSet::GetBookmarkData(host::TRecordBuffer buffer, uint8_t* data) {
    std::memcpy(data, buffer + fBookmarkOfs, static_cast<size_t>(BookmarkSize()));
}

void TmSQLDataSet::SetBookmarkData(host::TRecordBuffer buffer, const uint8_t* data) {
    std::memcpy(buffer + fBookmarkOfs, data, static_cast<size_t>(BookmarkSize()));
}

int TmSQLDataSet::CompareBookmarks(const host::TBookmark& bookmark1, const host::TBookmark& bookmark2) {
    if (bookmark1.empty() && bookmark2.empty()) return 0;
    if (bookmark2.empty()) return -1;
    if (bookmark1.empty()) return 1;
    int16_t result = kNotCompared;
    if (fHandle) {
        TmSQLEngine* engine = RequireEngine();
        // A bookmark of another size cannot come from this dataset.
        const auto size = static_cast<size_t>(BookmarkSize());
        if (bookmark1.size() != size || bookmark2.size() != size) DbiError(engine, DBIERR_INVALIDPARAM);
        Check(engine, engine->CompareBookMarks(fHandle, bookmark1.data(), bookmark2.data(), result));
    }
    return result == kNotCompared ? 0 : result;
}

bool TmSQLDataSet::BookmarkValid(const host::TBookmark& bookmark) {
    TmSQLEngine* engine = Engine();
    if (!fHandle || !engine || bookmark.size() != static_cast<size_t>(BookmarkSize())) return false;
    CursorPosChanged();
    if (engine->SetToBookMark(fHandle, bookmark.data()) != DBIERR_NONE) return false;
    return engine->GetRecord(fHandle, dbiNOLOCK, nullptr, nullptr) == DBIERR_NONE;
}

// ---- Update mode and auto refresh

void TmSQLDataSet::SetUpdateMode(host::TUpdateMode value) {
    if (fHandle && CanModify()) {
        TmSQLEngine* engine = RequireEngine();
        Check(engine, engine->SetEngProp(fHandle, curUPDLOCKMODE, value));
    }
    fUpdateMode = value;
}

void TmSQLDataSet::SetAutoRefresh(bool value) {
    CheckInactive();
    fAutoRefresh = value;
}

void TmSQLDataSet::SetupAutoRefresh() {
    TmSQLEngine* engine = RequireEngine();
    if (fAutoRefresh) Check(engine, engine->SetEngProp(fHandle, curAUTOREFETCH, 1));
    for (int i = 0; i < FieldCount(); ++i) {
        const host::TAutoRefreshFlag kind = Fields()->Fields(i)->AutoGenerateValue();
        if (kind == host::arNone) continue;
        // The property takes the address of the 16-bit field number.
        const uint16_t number = static_cast<uint16_t>(i + 1);
        const uint32_t property = kind == host::arAutoInc ? curFIELDISAUTOINCR : curFIELDISDEFAULT;
        Check(engine, engine->SetEngProp(fHandle, property, reinterpret_cast<uintptr_t>(&number)));
    }
}

} // namespace corvane
