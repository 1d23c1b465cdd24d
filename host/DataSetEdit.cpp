// TDataSet: editing (edit, insert, append, post, cancel, delete, add record), bookmarks and the
// searching defaults.
#include <algorithm>
#include <cstring>

#include "host/DataSet.h"
#include "host/DataSource.h"
#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

void TDataSet::CheckCanModify() {
    if (!GetCanModify()) DatabaseError(SDataSetReadOnly, this);
}

void TDataSet::CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& errorEvent) {
    for (;;) {
        try {
            UpdateCursorPos();
            operation();
            return;
        } catch (EDatabaseError& e) {
            if (!errorEvent) throw;
            TDataAction action = daFail;
            errorEvent(this, e, action);
            if (action == daFail) throw;
            if (action == daAbort) Abort();
            // daRetry: run the operation again.
        }
    }
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::InternalPost() {
    CheckRequiredFields();
}

void TDataSet::CheckRequiredFields() {
    for (TField* field : *fFields)
        if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData && field->IsNull()) {
            field->FocusControl();
            DatabaseErrorFmt(SFieldRequired, {field->DisplayName()});
        }
}

void TDataSet::UpdateRecord() {
    if (!dsEditModes.Contains(fState)) DatabaseError(SNotEditing, this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::Edit() {
    if (fState == dsEdit || fState == dsInsert) return;
    if (fRecordCount == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    Fire(fBeforeEdit);
    CheckOperation([this] { InternalEdit(); }, fOnEditError);
    GetCalcFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    Fire(fAfterEdit);
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    Fire(fBeforeInsert);
    DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        UpdateCursorPos();
        FreeFieldBuffers();
        SetState(dsBrowse);
        Resync({});
        throw;
    }
    fModified = false;
    DataEvent(deDataSetChange, 0);
    Fire(fAfterInsert);
    DoAfterScroll();
}

void TDataSet::Insert() {
    BeginInsertAppend();
    const TBookmark oldCurrent = GetBookmark();
    MoveBuffer(fRecordCount, fActiveRecord);
    TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    if (fRecordCount == 0)
        SetBookmarkFlag(buffer, bfBOF);
    else if (!oldCurrent.empty())
        SetBookmarkData(buffer, oldCurrent.data());
    if (fRecordCount < fBufferCount) ++fRecordCount;
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    ClearBuffers();
    TRecordBuffer buffer = fBuffers[0];
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    fRecordCount = 1;
    fBof = false;
    GetPriorRecords();
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Post() {
    UpdateRecord();
    if (fState != dsEdit && fState != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    Fire(fBeforePost);
    CheckOperation([this] { InternalPost(); }, fOnPostError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    Fire(fAfterPost);
}

void TDataSet::Cancel() {
    if (fState != dsEdit && fState != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    Fire(fBeforeCancel);
    UpdateCursorPos();
    InternalCancel();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    Fire(fAfterCancel);
}

void TDataSet::Delete() {
    CheckActive();
    if (fState == dsInsert || fState == dsSetKey) {
        Cancel();
        return;
    }
    if (fRecordCount == 0) DatabaseError(SDataSetEmpty, this);
    DataEvent(deCheckBrowseMode, 0);
    Fire(fBeforeDelete);
    DoBeforeScroll();
    CheckOperation([this] { InternalDelete(); }, fOnDeleteError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    Fire(fAfterDelete);
    DoAfterScroll();
}

void TDataSet::AddRecord(const std::vector<Variant>& values, bool append) {
    BeginInsertAppend();
    if (!append) UpdateCursorPos();
    DisableControls();
    try {
        MoveBuffer(fRecordCount, fActiveRecord);
        try {
            InitRecord(ActiveBuffer());
            fState = dsInsert;
            auto leaveInsert = [this] {
                FreeFieldBuffers();
                fState = dsBrowse;
                fModified = false;
            };
            try {
                DoOnNewRecord();
                Fire(fAfterInsert);
                SetFields(values);
                Fire(fBeforePost);
                InternalAddRecord(ActiveBuffer(), append);
            } catch (...) {
                leaveInsert();
                throw;
            }
            leaveInsert();
        } catch (...) {
            MoveBuffer(fActiveRecord, fRecordCount);
            throw;
        }
        Resync({});
        Fire(fAfterPost);
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TDataSet::SetFields(const std::vector<Variant>& values) {
    for (size_t i = 0; i < values.size(); ++i)
        fFields->Fields(static_cast<int>(i))->AssignValue(values[i]);
}

void TDataSet::ClearFields() {
    if (!dsEditModes.Contains(fState)) DatabaseError(SNotEditing, this);
    DataEvent(deCheckBrowseMode, 0);
    FreeFieldBuffers();
    InternalInitRecord(ActiveBuffer());
    if (fState != dsSetKey) GetCalcFields(ActiveBuffer());
    DataEvent(deRecordChange, 0);
}

void TDataSet::FreeFieldBuffers() {
    for (TField* field : *fFields)
        field->FreeBuffers();
}

// ---- bookmarks

bool TDataSet::BookmarkAvailable() {
    return !fIsUniDirectional && (fState == dsBrowse || fState == dsEdit || fState == dsInsert) &&
           !IsEmpty() && GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() {
    if (!BookmarkAvailable() || fBookmarkSize <= 0) return {};
    TBookmark bookmark(static_cast<size_t>(fBookmarkSize));
    GetBookmarkData(ActiveBuffer(), bookmark.data());
    return bookmark;
}

TBookmarkStr TDataSet::Bookmark() {
    const TBookmark bookmark = GetBookmark();
    return TBookmarkStr(bookmark.begin(), bookmark.end());
}

void TDataSet::SetBookmark(const TBookmarkStr& value) {
    if (value.empty()) return;
    GotoBookmark(TBookmark(value.begin(), value.end()));
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) return;
    // A bookmark of another size cannot come from this dataset; reading BookmarkSize bytes from
    // it would run past its end.
    if (static_cast<int>(bookmark.size()) != fBookmarkSize) DatabaseError(SRecordNotFound, this);
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark.data());
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

int TDataSet::CompareBookmarks(const TBookmark& /*bookmark1*/, const TBookmark& /*bookmark2*/) {
    return 0;
}

bool TDataSet::BookmarkValid(const TBookmark& /*bookmark*/) {
    return false;
}

// ---- searching defaults

bool TDataSet::Locate(const std::string& /*keyFields*/, const Variant& /*keyValues*/,
                      TLocateOptions /*options*/) {
    return false;
}

Variant TDataSet::Lookup(const std::string& /*keyFields*/, const Variant& /*keyValues*/,
                         const std::string& /*resultFields*/) {
    return Null();
}

bool TDataSet::FindRecord(bool /*restart*/, bool /*goForward*/) {
    return false;
}

bool TDataSet::GetCurrentRecord(TRecordBuffer /*buffer*/) {
    return false;
}

// ---- old / new / current values

Variant TDataSet::GetStateFieldValue(TDataSetState state, TField* field) {
    if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc) return Null();
    const TDataSetState saved = fState;
    fState = state;
    try {
        Variant value = field->AsVariant();
        fState = saved;
        return value;
    } catch (...) {
        fState = saved;
        throw;
    }
}

void TDataSet::SetStateFieldValue(TDataSetState state, TField* field, const Variant& value) {
    if (field->FieldKind() != fkData) return;
    const TDataSetState saved = fState;
    fState = state;
    try {
        field->SetAsVariant(value);
    } catch (...) {
        fState = saved;
        throw;
    }
    fState = saved;
}

} // namespace host
