// Cached updates and constraints of the dataset core: the cached-update interface (which defers
// nothing: edits reach the server when they are posted), the update buffer pair, the constraint
// switches and descriptions, and the binding of an update object.
#include "components/DataSet.h"

namespace corvane {

namespace {

// "Operation not applicable.": a constraint-description request with nothing to answer.
constexpr DBIResult DBIERR_NA = 10756;

// The integer value of an engine property of cursor; 0 when the engine answers with a code.
int32_t IntegerProperty(TmSQLEngine* engine, hDBICur cursor, uint32_t property) {
    int32_t value = 0;
    uint32_t length = 0;
    if (!engine || engine->GetEngProp(cursor, property, &value, sizeof value, length) != DBIERR_NONE)
        return 0;
    return value;
}

} // namespace

// ---- Switching and the update buffer pair

void TmSQLDataSet::SetCachedUpdates(bool value) {
    if (State() == host::dsInactive || ComponentState().Contains(host::csDesigning)) {
        fCachedUpdates = value;
        return;
    }
    if (value == fCachedUpdates) return;
    CheckBrowseMode();
    UpdateCursorPos();
    fCachedUpdates = value;
    try {
        FreeFieldBuffers();
        FreeKeyBuffers();
        SetBufListSize(0);
        InitBufferPointers(true);
        SetBufListSize(BufferCount() + 1);
        AllocKeyBuffers();
    } catch (...) {
        // Without its buffers the dataset cannot go on: it closes, and the failure is reported.
        SetState(host::dsInactive);
        try {
            CloseCursor();
        } catch (...) {
            // The rebuild's failure is the one to report.
        }
        throw;
    }
    AllocCachedUpdateBuffers(value);
    Resync({});
}

void TmSQLDataSet::AllocCachedUpdateBuffers(bool allocate) {
    if (fUpdateBuffers) {
        FreeRecordBuffer(fUpdateBuffers->newBuffer);
        FreeRecordBuffer(fUpdateBuffers->oldBuffer);
        fUpdateBuffers.reset();
    }
    if (!allocate) return;
    auto buffers = std::make_unique<TUpdateBuffers>();
    buffers->recordSize = fRecordSize;
    buffers->newBuffer = AllocRecordBuffer();
    try {
        buffers->oldBuffer = AllocRecordBuffer();
    } catch (...) {
        FreeRecordBuffer(buffers->newBuffer);
        throw;
    }
    fUpdateBuffers = std::move(buffers);
}

// ---- Applying, committing, cancelling

DBIResult TmSQLDataSet::ProcessUpdates(DBIDelayedUpdCmd /*command*/) {
    // A closed dataset has no rows to re-synchronise.
    CheckActive();
    UpdateCursorPos();
    Resync({});
    return DBIERR_NONE;
}

void TmSQLDataSet::ApplyUpdates() {
    if (State() != host::dsBrowse) Post();
    ProcessUpdates(dbiDelayedUpdPrepare);
}

void TmSQLDataSet::CommitUpdates() {
    Check(Engine(), ProcessUpdates(dbiDelayedUpdCommit));
}

void TmSQLDataSet::CancelUpdates() {
    Cancel();
    ProcessUpdates(dbiDelayedUpdCancel);
}

void TmSQLDataSet::RevertRecord() {
    const host::TDataSetState state = State();
    if (state == host::dsEdit || state == host::dsInsert || state == host::dsSetKey) Cancel();
    const DBIResult status = ProcessUpdates(dbiDelayedUpdCancelCurrent);
    if (status != DBIERR_NONE && status != DBIERR_NOTSUPPORTED) Check(Engine(), status);
}

TUpdateRecordTypes TmSQLDataSet::GetUpdateRecordSet() {
    if (!Active()) return {};
    return TUpdateRecordTypes::FromBits(
        static_cast<uint32_t>(IntegerProperty(Engine(), fHandle, curDELAYUPDDISPLAYOPT)));
}

void TmSQLDataSet::SetUpdateRecordSet(TUpdateRecordTypes types) {
    CheckBrowseMode();
    UpdateCursorPos();
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->SetEngProp(fHandle, curDELAYUPDDISPLAYOPT, static_cast<uintptr_t>(types.Bits())));
    Resync({});
}

bool TmSQLDataSet::GetUpdatesPending() {
    return IntegerProperty(Engine(), fHandle, curDELAYUPDNUMUPDATES) > 0;
}

// ---- Constraints

bool TmSQLDataSet::HasConstraints() {
    if (Constraints()->Count() > 0) return true;
    for (host::TField* field : *Fields())
        if (field->HasConstraints()) return true;
    return false;
}

void TmSQLDataSet::DisableConstraints() {
    // The cursor checks nothing itself, so its answer is of no interest.
    if (fConstDisableCount == 0) {
        if (TmSQLEngine* engine = Engine()) engine->SetEngProp(fHandle, curCONSTSTATE, 0);
    }
    ++fConstDisableCount;
}

void TmSQLDataSet::EnableConstraints() {
    if (fConstDisableCount <= 0) return;
    if (--fConstDisableCount == 0) {
        if (TmSQLEngine* engine = Engine()) engine->SetEngProp(fHandle, curCONSTSTATE, 1);
    }
}

DBIResult TmSQLDataSet::ConstraintCallBack(host::DsInfoReq request, host::DataSources& sources) {
    try {
        switch (request) {
        case host::dsFieldSource:
            return GetFieldSource(this, sources) ? DBIERR_NONE : DBIERR_NA;
        case host::dsFieldDefault: {
            host::TField* field = FindField(host::SlotText(sources.szSourceFldName));
            if (!field || field->DefaultExpression().empty()) return DBIERR_NA;
            host::CopyToSlot(sources.szSQLExprImport, field->DefaultExpression());
            return DBIERR_NONE;
        }
        case host::dsFieldDomainExpr: {
            host::TField* field = FindField(host::SlotText(sources.szSourceFldName));
            if (!field) return DBIERR_NA;
            if (!field->Required() && field->ImportedConstraint().empty() &&
                field->CustomConstraint().empty())
                return DBIERR_NA;
            host::CopyToSlot(sources.szSQLExprImport, field->ImportedConstraint());
            host::CopyToSlot(sources.szSQLExprCustom, field->CustomConstraint());
            host::CopyToSlot(sources.szErrStrImport, field->ConstraintErrorMessage());
            host::CopyToSlot(sources.szErrStrCustom, field->ConstraintErrorMessage());
            sources.bRequired = field->Required() ? -1 : 0;
            return DBIERR_NONE;
        }
        case host::dsTableConstraint: {
            const int number = sources.iNumElem;
            if (number < 1 || number > Constraints()->Count()) return DBIERR_NA;
            const host::TCheckConstraint* constraint = Constraints()->Items(number - 1);
            host::CopyToSlot(sources.szSQLExprImport, constraint->ImportedConstraint());
            host::CopyToSlot(sources.szSQLExprCustom, constraint->CustomConstraint());
            host::CopyToSlot(sources.szErrStrImport, constraint->ErrorMessage());
            host::CopyToSlot(sources.szErrStrCustom, constraint->ErrorMessage());
            return DBIERR_NONE;
        }
        case host::dsNumTblConstraint:
            sources.iNumElem = static_cast<uint16_t>(Constraints()->Count());
            return DBIERR_NONE;
        default:
            return DBIERR_NA;
        }
    } catch (...) {
        // The requester gets a code, never an exception.
        return DBIERR_NA;
    }
}

// ---- Update objects

void TmSQLDataSet::SetUpdateObject(TmSQLSQLUpdateObject* object) {
    if (object == fUpdateObject) return;
    if (fUpdateObject && fUpdateObject->GetDataSet() == this) fUpdateObject->SetDataSet(nullptr);
    fUpdateObject = object;
    if (!object) return;
    // An update object serves one dataset at a time: the one it served lets go of it.
    if (TmSQLDataSet* previous = object->GetDataSet(); previous && previous != this)
        previous->SetUpdateObject(nullptr);
    object->SetDataSet(this);
}

} // namespace corvane
