// TDataSet: construction, open/close, the buffer window, navigation, state and data events.
#include "host/DataSet.h"

#include <algorithm>

#include "host/Application.h"
#include "host/DataSource.h"
#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

namespace {
constexpr const char* SDataSetUnidirectional = "Operation not allowed on a unidirectional dataset";
} // namespace

// ---- TCheckConstraint(s)

std::string TCheckConstraint::DisplayName() const {
    if (!fErrorMessage.empty()) return fErrorMessage;
    if (!fCustomConstraint.empty()) return fCustomConstraint;
    return TCollectionItem::DisplayName();
}

void TCheckConstraint::Assign(TPersistent* source) {
    if (auto* other = dynamic_cast<TCheckConstraint*>(source)) {
        fCustomConstraint = other->fCustomConstraint;
        fErrorMessage = other->fErrorMessage;
        fFromDictionary = other->fFromDictionary;
        fImportedConstraint = other->fImportedConstraint;
        return;
    }
    TCollectionItem::Assign(source);
}

TCheckConstraints::TCheckConstraints(TPersistent* owner)
    : TOwnedCollection(owner, ItemClassOf<TCheckConstraint>()) {}

// ---- construction and destruction

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {
    fFields = std::make_unique<TFields>(this);
    fFieldDefs = std::make_unique<TFieldDefs>(this);
    fConstraints = std::make_unique<TCheckConstraints>(this);
}

TDataSet::~TDataSet() {
    // Without BeforeDestruction (a dataset that was not deleted through `delete`) the descendant
    // is gone already: no virtual call is possible here, so only the links are cut.
    fDestroying = true;
    while (!fDataSources.empty())
        fDataSources.back()->SetDataSet(nullptr);
    if (fFields) fFields->Clear();
}

void TDataSet::BeforeDestruction() {
    if (!fDestroying) {
        fDestroying = true;
        Destroying();
        try {
            SetActive(false);
        } catch (...) {
            // Closing while being destroyed must not throw; the buffers are released below
            // as far as the descendant allows.
            try {
                fState = dsInactive;
                SetBufListSize(0);
            } catch (...) {
            }
        }
        while (!fDataSources.empty())
            fDataSources.back()->SetDataSet(nullptr);
    }
    TComponent::BeforeDestruction();
    fFields->Clear();
}

void TDataSet::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
}

// ---- open and close

void TDataSet::SetActive(bool value) {
    if (ComponentState().Contains(csReading)) {
        fStreamedActive = value;
        return;
    }
    if (Active() == value) return;
    if (value) {
        Fire(fBeforeOpen);
        try {
            OpenCursor(false);
        } catch (...) {
            fState = dsInactive;
            try {
                CloseCursor();
            } catch (...) {
                // The open failure is the error to report.
            }
            throw;
        }
        SetState(dsBrowse);
        Fire(fAfterOpen);
        if (!IsEmpty()) DoAfterScroll();
    } else {
        if (!fDestroying) Fire(fBeforeClose);
        // A linked component's answer to the change may fail (a detail that cannot read its rows
        // again): the cursor closes all the same, then the failure is reported.
        try {
            SetState(dsInactive);
        } catch (...) {
            CloseCursor();
            throw;
        }
        CloseCursor();
        if (!fDestroying) Fire(fAfterClose);
    }
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (!fStreamedActive) return;
    try {
        SetActive(true);
    } catch (...) {
        if (!ComponentState().Contains(csDesigning)) throw;
        InternalHandleException();
    }
}

void TDataSet::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    for (int i = 0; i < fFields->Count(); ++i) {
        TField* field = fFields->Fields(i);
        if (field->Owner() == root) proc(field);
    }
}

void TDataSet::OpenCursor(bool infoQuery) {
    if (infoQuery) {
        InternalInitFieldDefs();
        return;
    }
    fDefaultFields = FieldCount() == 0;
    InternalOpen();
    UpdateBufferCount();
    fBof = true;
}

void TDataSet::CloseCursor() {
    // Through the setter, so that a descendant releases its block-read buffer.
    SetBlockReadSize(0);
    FreeFieldBuffers();
    ClearBuffers();
    SetBufListSize(0);
    InternalClose();
    fBufferCount = 0;
    fDefaultFields = false;
}

void TDataSet::CheckActive() const {
    if (fState == dsInactive) DatabaseError(SDataSetClosed, const_cast<TDataSet*>(this));
}

void TDataSet::CheckInactive() {
    if (!Active()) return;
    if (ComponentState().Contains(csUpdating) || ComponentState().Contains(csDesigning))
        Close();
    else
        DatabaseError(SDataSetOpen, this);
}

void TDataSet::InitFieldDefs() {
    if (IsCursorOpen()) {
        InternalInitFieldDefs();
        return;
    }
    try {
        OpenCursor(true);
    } catch (...) {
        try {
            CloseCursor();
        } catch (...) {
        }
        throw;
    }
    CloseCursor();
}

void TDataSet::InternalHandleException() {
    // The application-level handler shows the pending exception (EAbort stays silent).
    Application().HandleException(this);
}

void TDataSet::SetObjectView(bool value) {
    CheckInactive();
    fObjectView = value;
}

// ---- the buffer window

void TDataSet::ClearBuffers() {
    fRecordCount = 0;
    fActiveRecord = 0;
    fCurrentRecord = -1;
    fBof = true;
    fEof = true;
}

void TDataSet::ActivateBuffers() {
    fRecordCount = 1;
    fActiveRecord = 0;
    fCurrentRecord = 0;
    fBof = false;
    fEof = false;
}

void TDataSet::MoveBuffer(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    auto first = fBuffers.begin();
    if (curIndex < newIndex)
        std::rotate(first + curIndex, first + curIndex + 1, first + newIndex + 1);
    else
        std::rotate(first + newIndex, first + curIndex, first + curIndex + 1);
}

void TDataSet::SetBufListSize(int value) {
    const size_t target = static_cast<size_t>(std::max(value, 0));
    const size_t old = fBuffers.size();
    if (target > old) {
        fBuffers.reserve(target);
        try {
            while (fBuffers.size() < target)
                fBuffers.push_back(AllocRecordBuffer());
        } catch (...) {
            while (fBuffers.size() > old) {
                FreeRecordBuffer(fBuffers.back());
                fBuffers.pop_back();
            }
            throw;
        }
    } else {
        while (fBuffers.size() > target) {
            FreeRecordBuffer(fBuffers.back());
            fBuffers.pop_back();
        }
    }
}

void TDataSet::SetBufferCount(int value) {
    if (value == fBufferCount) return;
    auto adjustFirstRecord = [this](int delta) {
        if (delta == 0) return;
        for (TDataSource* source : fDataSources)
            for (TDataLink* link : source->fLinks)
                if (link->Active()) link->fFirstRecord += delta;
    };
    if (fBufferCount > value && fRecordCount > 0) {
        int delta = fActiveRecord;
        for (TDataSource* source : fDataSources)
            for (TDataLink* link : source->fLinks)
                if (link->Active() && link->fFirstRecord < delta) delta = link->fFirstRecord;
        const int rows = fRecordCount - delta; // rows kept from position delta on
        for (int i = 0; i < value && i < rows; ++i)
            MoveBuffer(i + delta, i);
        fActiveRecord -= delta;
        if (fCurrentRecord != -1) fCurrentRecord -= delta;
        // Only rows that really were buffered stay counted (never the spare or stale buffers).
        fRecordCount = std::min(value, rows);
        if (fActiveRecord >= fRecordCount) fActiveRecord = fRecordCount - 1;
        if (fCurrentRecord >= fRecordCount) fCurrentRecord = -1;
        adjustFirstRecord(-delta);
    }
    SetBufListSize(value + 1);
    fBufferCount = value;
    if (!ComponentState().Contains(csDestroying)) {
        GetNextRecords();
        adjustFirstRecord(GetPriorRecords());
    }
}

void TDataSet::UpdateBufferCount() {
    if (!IsCursorOpen()) return;
    int maxCount = 1;
    for (TDataSource* source : fDataSources)
        for (TDataLink* link : source->fLinks)
            maxCount = std::max(maxCount, link->BufferCount());
    SetBufferCount(maxCount);
}

void TDataSet::SetCurrentRecord(int index) {
    if (fCurrentRecord == index) return;
    if (!fIsUniDirectional) {
        TRecordBuffer buffer = fBuffers[static_cast<size_t>(index)];
        switch (GetBookmarkFlag(buffer)) {
        case bfCurrent:
        case bfInserted:
            InternalSetToRecord(buffer);
            break;
        case bfBOF:
            InternalFirst();
            break;
        case bfEOF:
            InternalLast();
            break;
        }
    }
    fCurrentRecord = index;
}

void TDataSet::UpdateCursorPos() {
    if (fRecordCount > 0) SetCurrentRecord(fActiveRecord);
}

bool TDataSet::GetNextRecord() {
    TGetMode mode = gmNext;
    if (fRecordCount > 0) {
        SetCurrentRecord(fRecordCount - 1);
        if (fState == dsInsert && fCurrentRecord == fActiveRecord &&
            GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
            mode = gmCurrent;
    }
    const bool ok = GetRecord(fBuffers[static_cast<size_t>(fRecordCount)], mode, true) == grOK;
    if (ok) {
        if (fRecordCount == 0)
            ActivateBuffers();
        else if (fRecordCount < fBufferCount)
            ++fRecordCount;
        else
            MoveBuffer(0, fRecordCount);
        fCurrentRecord = fRecordCount - 1;
    } else {
        CursorPosChanged();
    }
    return ok;
}

bool TDataSet::GetPriorRecord() {
    if (fIsUniDirectional) DatabaseError(SDataSetUnidirectional, this);
    if (fRecordCount > 0) SetCurrentRecord(0);
    const bool ok = GetRecord(fBuffers[static_cast<size_t>(fRecordCount)], gmPrior, true) == grOK;
    if (ok) {
        if (fRecordCount == 0) {
            ActivateBuffers();
        } else {
            MoveBuffer(fRecordCount, 0);
            if (fRecordCount < fBufferCount) {
                ++fRecordCount;
                ++fActiveRecord;
            }
        }
        fCurrentRecord = 0;
    } else {
        CursorPosChanged();
    }
    return ok;
}

int TDataSet::GetNextRecords() {
    int added = 0;
    while (fRecordCount < fBufferCount && GetNextRecord())
        ++added;
    return added;
}

int TDataSet::GetPriorRecords() {
    if (fIsUniDirectional) return 0;
    int added = 0;
    while (fRecordCount < fBufferCount && GetPriorRecord())
        ++added;
    return added;
}

// ---- navigation

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    auto finish = [this] {
        fBof = true;
        DataEvent(deDataSetChange, 0);
        DoAfterScroll();
    };
    try {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TDataSet::Last() {
    if (fIsUniDirectional) DatabaseError(SDataSetUnidirectional, this);
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    auto finish = [this] {
        fEof = true;
        DataEvent(deDataSetChange, 0);
        DoAfterScroll();
    };
    try {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TDataSet::Next() {
    if (fBlockReadSize > 0)
        BlockReadNext();
    else
        MoveBy(1);
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int result = 0;
    DoBeforeScroll();
    if ((distance > 0 && !fEof) || (distance < 0 && !fBof)) {
        fBof = false;
        fEof = false;
        const int previousCount = fRecordCount;
        int scrollCount = 0;
        auto finish = [&] {
            if (fRecordCount != previousCount)
                DataEvent(deDataSetChange, 0);
            else
                DataEvent(deDataSetScroll, scrollCount);
            DoAfterScroll();
        };
        try {
            while (distance > 0) {
                if (fActiveRecord < fRecordCount - 1) {
                    ++fActiveRecord;
                } else {
                    const int full = fRecordCount < fBufferCount ? 0 : 1;
                    if (GetNextRecord()) {
                        scrollCount -= full;
                        if (fActiveRecord < fRecordCount - 1) ++fActiveRecord;
                    } else {
                        fEof = true;
                        break;
                    }
                }
                --distance;
                ++result;
            }
            while (distance < 0) {
                if (fActiveRecord > 0) {
                    --fActiveRecord;
                } else {
                    const int full = fRecordCount < fBufferCount ? 0 : 1;
                    if (GetPriorRecord()) {
                        scrollCount += full;
                        if (fActiveRecord > 0) --fActiveRecord;
                    } else {
                        fBof = true;
                        break;
                    }
                }
                ++distance;
                --result;
            }
        } catch (...) {
            finish();
            throw;
        }
        finish();
    }
    return result;
}

void TDataSet::Resync(TResyncMode mode) {
    if (fIsUniDirectional) return;
    TRecordBuffer spare = fBuffers[static_cast<size_t>(fRecordCount)];
    if (mode.Contains(rmExact)) {
        CursorPosChanged();
        if (GetRecord(spare, gmCurrent, true) != grOK) DatabaseError(SRecordNotFound, this);
    } else if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK &&
               GetRecord(spare, gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = mode.Contains(rmCenter) ? (fBufferCount - 1) / 2 : fActiveRecord;
    MoveBuffer(fRecordCount, 0);
    ActivateBuffers();
    try {
        while (count > 0 && GetPriorRecord())
            --count;
        GetNextRecords();
        GetPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    DataEvent(deDataSetChange, 0);
}

void TDataSet::Refresh() {
    Fire(fBeforeRefresh);
    CheckBrowseMode();
    UpdateCursorPos();
    try {
        InternalRefresh();
    } catch (...) {
        Resync({});
        throw;
    }
    Resync({});
    Fire(fAfterRefresh);
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (fState) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (fModified)
            Post();
        else
            Cancel();
        break;
    case dsSetKey:
        Post();
        break;
    default:
        break;
    }
}

// ---- state, controls and events

void TDataSet::SetState(TDataSetState value) {
    if (fState == value) return;
    fState = value;
    fModified = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState value) {
    const TDataSetState old = fState;
    fState = value;
    ++fDisableCount;
    fModified = false;
    return old;
}

void TDataSet::RestoreState(TDataSetState value) {
    fState = value;
    if (fDisableCount > 0) --fDisableCount;
    fModified = false;
}

void TDataSet::DisableControls() {
    if (fDisableCount == 0) {
        fDisableState = fState;
        fEnableEvent = deDataSetChange;
    }
    ++fDisableCount;
}

void TDataSet::EnableControls() {
    if (fDisableCount == 0) return;
    if (--fDisableCount != 0) return;
    if (fDisableState != fState) DataEvent(deUpdateState, 0);
    if (fDisableState != dsInactive && fState != dsInactive) DataEvent(fEnableEvent, 0);
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
    // deUpdateState always reaches the sources (except while controls are disabled) so that
    // their state mirror follows the dataset into and out of dsBlockRead.
    const bool notify = !ControlsDisabled() && (fState != dsBlockRead || event == deUpdateState);
    switch (event) {
    case deFieldChange: {
        auto* field = reinterpret_cast<TField*>(info);
        if (field == nullptr) break;
        const TFieldKind kind = field->FieldKind();
        if (kind == fkData || kind == fkInternalCalc) fModified = true;
        if (fState != dsSetKey) {
            if (fInternalCalcFields && kind == fkData)
                RefreshInternalCalcFields(ActiveBuffer());
            else if (fCalcFieldsSize != 0 && fAutoCalcFields && kind == fkData)
                CalculateFields(ActiveBuffer());
            field->Change();
        }
        break;
    }
    case dePropertyChange:
        fFieldDefs->SetUpdated(false);
        break;
    case deLayoutChange:
        if (ControlsDisabled()) fEnableEvent = deLayoutChange;
        break;
    default:
        break;
    }
    if (!notify) return;
    // By index: a handler may detach a source while the event travels.
    for (size_t i = 0; i < fDataSources.size(); ++i)
        fDataSources[i]->DataEvent(event, info);
}

void TDataSet::AddDataSource(TDataSource* source) {
    fDataSources.push_back(source);
    source->fDataSet = this;
    UpdateBufferCount();
    source->UpdateState();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    source->fDataSet = nullptr;
    fDataSources.erase(std::remove(fDataSources.begin(), fDataSources.end(), source), fDataSources.end());
    source->UpdateState();
    UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(TDataSource* dataSource) {
    // Bounded walk: a chain of masters longer than this is taken as a cycle.
    for (int steps = 0; dataSource != nullptr && steps < 1000; ++steps) {
        TDataSet* dataSet = dataSource->DataSet();
        if (dataSet == nullptr) return false;
        if (dataSet == this) return true;
        dataSource = dataSet->GetDataSource();
    }
    return dataSource != nullptr;
}

// ---- filters and block reading (the base only stores the values)

void TDataSet::SetFilterText(const std::string& value) {
    if (fIsUniDirectional) DatabaseError(SDataSetUnidirectional, this);
    fFilterText = value;
}

void TDataSet::SetFiltered(bool value) {
    if (fIsUniDirectional) DatabaseError(SDataSetUnidirectional, this);
    fFiltered = value;
}

void TDataSet::SetFilterOptions(TFilterOptions value) {
    if (fIsUniDirectional) DatabaseError(SDataSetUnidirectional, this);
    fFilterOptions = value;
}

void TDataSet::SetOnFilterRecord(const TFilterRecordEvent& value) {
    if (fIsUniDirectional) DatabaseError(SDataSetUnidirectional, this);
    fOnFilterRecord = value;
}

void TDataSet::SetBlockReadSize(int value) {
    if (value > 0) {
        CheckActive();
        SetState(dsBlockRead);
    } else if (fState == dsBlockRead) {
        SetState(dsBrowse);
    }
    fBlockReadSize = std::max(value, 0);
}

// ---- provider support defaults

std::unique_ptr<TIndexDef> TDataSet::PSGetDefaultOrder() {
    return nullptr;
}

std::unique_ptr<TIndexDefs> TDataSet::PSGetIndexDefs(TIndexOptions /*indexTypes*/) {
    return nullptr;
}

std::string TDataSet::PSGetKeyFields() {
    std::string result;
    for (TField* field : *fFields)
        if (field->ProviderFlags().Contains(pfInKey)) {
            if (!result.empty()) result += ';';
            result += field->FieldName();
        }
    return result;
}

void TDataSet::PSReset() {
    if (fBlockReadSize > 0) SetBlockReadSize(0);
}

std::shared_ptr<EUpdateError> TDataSet::PSGetUpdateException(const Exception& e, EUpdateError* previous) {
    if (auto* update = dynamic_cast<const EUpdateError*>(&e)) return std::make_shared<EUpdateError>(*update);
    return std::make_shared<EUpdateError>(e.Message(), "", 0, previous ? previous->ErrorCode() : 0,
                                          std::make_shared<Exception>(e.Message()));
}

} // namespace host
