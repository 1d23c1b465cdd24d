// TDataSource, TDataLink and TMasterDataLink.
#include "host/DataSource.h"

#include <algorithm>

#include "host/DataSet.h"
#include "host/Exceptions.h"
#include "host/Messages.h"

namespace host {

// ---- TDataSource

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    fOnStateChange = nullptr;
    fOnDataChange = nullptr;
    if (fDataSet != nullptr) fDataSet->RemoveDataSource(this);
    while (!fLinks.empty())
        RemoveDataLink(fLinks.back());
}

void TDataSource::BeforeDestruction() {
    fOnStateChange = nullptr;
    Destroying();
    if (fDataSet != nullptr) fDataSet->RemoveDataSource(this);
    while (!fLinks.empty())
        RemoveDataLink(fLinks.back());
    TComponent::BeforeDestruction();
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
}

void TDataSource::SetDataSet(TDataSet* value) {
    if (value == fDataSet) return;
    if (IsLinkedTo(value)) DatabaseError(SCircularDataLink, this);
    if (fDataSet != nullptr) fDataSet->RemoveDataSource(this);
    if (value != nullptr) value->AddDataSource(this);
}

bool TDataSource::IsLinkedTo(TDataSet* dataSet) const {
    // Bounded walk: a chain of masters longer than this is taken as a cycle.
    for (int steps = 0; dataSet != nullptr && steps < 1000; ++steps) {
        TDataSource* source = dataSet->DataSource();
        if (source == this) return true;
        if (source == nullptr) return false;
        dataSet = source->DataSet();
    }
    return dataSet != nullptr;
}

void TDataSource::SetEnabled(bool value) {
    fEnabled = value;
    UpdateState();
}

void TDataSource::Edit() {
    if (fAutoEdit && fState == dsBrowse && fDataSet != nullptr) fDataSet->Edit();
}

void TDataSource::UpdateState() {
    const TDataSetState state = (fEnabled && fDataSet != nullptr) ? fDataSet->State() : dsInactive;
    if (state == fState) return;
    const TDataSetState prior = fState;
    fState = state;
    NotifyLinks(deUpdateState, 0);
    if (ComponentState().Contains(csDestroying)) return;
    if (fOnStateChange) fOnStateChange(this);
    if (prior == dsInactive && fOnDataChange) fOnDataChange(this, nullptr);
}

void TDataSource::NotifyLinks(TDataEvent event, intptr_t info) {
    // Most recently added first; by index, since a hook may detach links.
    for (size_t i = fLinks.size(); i > 0; --i)
        if (i - 1 < fLinks.size()) fLinks[i - 1]->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (fState == dsInactive) return;
    NotifyLinks(event, info);
    switch (event) {
    case deFieldChange:
        if (fOnDataChange) fOnDataChange(this, reinterpret_cast<TField*>(info));
        break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (fOnDataChange) fOnDataChange(this, nullptr);
        break;
    case deUpdateRecord:
        if (fOnUpdateData) fOnUpdateData(this);
        break;
    default:
        break;
    }
}

void TDataSource::AddDataLink(TDataLink* link) {
    fLinks.push_back(link);
    link->fDataSource = this;
    if (fDataSet != nullptr) fDataSet->UpdateBufferCount();
    link->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
    link->fDataSource = nullptr;
    fLinks.erase(std::remove(fLinks.begin(), fLinks.end(), link), fLinks.end());
    link->UpdateState();
    if (fDataSet != nullptr) fDataSet->UpdateBufferCount();
}

// ---- TDataLink

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
    // Inactive first, so that leaving the source calls no hook of a half-destroyed link.
    fActive = false;
    fEditing = false;
    if (fDataSource != nullptr) fDataSource->RemoveDataLink(this);
}

void TDataLink::SetDataSource(TDataSource* value) {
    if (value == fDataSource) return;
    if (fDataSourceFixed) DatabaseError(SDataSourceChange, fDataSource);
    if (fDataSource != nullptr) fDataSource->RemoveDataLink(this);
    if (value != nullptr) value->AddDataLink(this);
}

TDataSet* TDataLink::DataSet() const {
    return fDataSource != nullptr ? fDataSource->DataSet() : nullptr;
}

void TDataLink::UpdateState() {
    SetActive(fDataSource != nullptr && fDataSource->State() != dsInactive);
    SetEditing(fDataSource != nullptr && dsEditModes.Contains(fDataSource->State()) && !fReadOnly);
}

void TDataLink::SetActive(bool value) {
    if (value == fActive) return;
    fActive = value;
    if (value)
        UpdateRange();
    else
        fFirstRecord = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool value) {
    if (value == fEditing) return;
    fEditing = value;
    EditingChanged();
}

void TDataLink::UpdateRange() {
    TDataSet* dataSet = DataSet();
    if (dataSet == nullptr) return;
    const int minFirst = std::max(dataSet->fActiveRecord - fBufferCount + 1, 0);
    int maxFirst = std::max(dataSet->fBufferCount - fBufferCount, 0);
    if (maxFirst > dataSet->fActiveRecord) maxFirst = dataSet->fActiveRecord;
    if (fFirstRecord < minFirst) fFirstRecord = minFirst;
    if (fFirstRecord > maxFirst) fFirstRecord = maxFirst;
    if (fFirstRecord != 0 && dataSet->fActiveRecord - fFirstRecord < fBufferCount - 1) --fFirstRecord;
}

void TDataLink::SetReadOnly(bool value) {
    if (value == fReadOnly) return;
    fReadOnly = value;
    UpdateState();
}

void TDataLink::SetBufferCount(int value) {
    if (value < 1) value = 1;
    if (value == fBufferCount) return;
    fBufferCount = value;
    if (fActive) {
        UpdateRange();
        DataSet()->UpdateBufferCount();
        UpdateRange();
    }
}

int TDataLink::ActiveRecord() const {
    if (fDataSource == nullptr || DataSet() == nullptr || fDataSource->State() == dsSetKey) return 0;
    return DataSet()->fActiveRecord - fFirstRecord;
}

void TDataLink::SetActiveRecord(int value) {
    if (fDataSource == nullptr || DataSet() == nullptr || fDataSource->State() == dsSetKey) return;
    TDataSet* dataSet = DataSet();
    const int index = value + fFirstRecord;
    if (index >= 0 && index < dataSet->fRecordCount) dataSet->fActiveRecord = index;
}

int TDataLink::RecordCount() const {
    if (fDataSource == nullptr || DataSet() == nullptr) return 0;
    if (fDataSource->State() == dsSetKey) return 1;
    return std::clamp(DataSet()->fRecordCount - fFirstRecord, 0, fBufferCount);
}

bool TDataLink::Bof() const {
    return DataSet() != nullptr && DataSet()->Bof();
}

bool TDataLink::Eof() const {
    return DataSet() != nullptr && DataSet()->Eof();
}

bool TDataLink::Edit() {
    if (!fReadOnly && fDataSource != nullptr) fDataSource->Edit();
    return fEditing;
}

void TDataLink::UpdateRecord() {
    fUpdating = true;
    try {
        UpdateData();
    } catch (...) {
        fUpdating = false;
        throw;
    }
    fUpdating = false;
}

int TDataLink::MoveBy(int distance) {
    return DataSet() != nullptr ? DataSet()->MoveBy(distance) : 0;
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!fActive) return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!fUpdating) RecordChanged(event == deFieldChange ? reinterpret_cast<TField*>(info) : nullptr);
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        int count = 0;
        if (fDataSource->State() != dsSetKey) {
            const int active = DataSet()->fActiveRecord;
            const int first = fFirstRecord + static_cast<int>(info);
            const int last = first + fBufferCount - 1;
            if (active > last)
                count = active - last;
            else if (active < first)
                count = active - first;
            fFirstRecord = first + count;
        }
        if (event == deDataSetChange)
            DataSetChanged();
        else if (event == deDataSetScroll)
            DataSetScrolled(count);
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord:
        UpdateRecord();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(reinterpret_cast<TField**>(info));
        break;
    default:
        break;
    }
}

// ---- TMasterDataLink

TMasterDataLink::TMasterDataLink(TDataSet* dataSet) : fDataSet(dataSet) {}

void TMasterDataLink::SetFieldNames(const std::string& value) {
    if (value == fFieldNames) return;
    fFieldNames = value;
    ActiveChanged();
}

void TMasterDataLink::ActiveChanged() {
    fFields.clear();
    if (Active()) {
        try {
            DataSet()->GetFieldList(fFields, fFieldNames);
        } catch (...) {
            fFields.clear();
            throw;
        }
    }
    if (fDataSet->Active() && !fDataSet->ComponentState().Contains(csDestroying)) {
        if (Active() && !fFields.empty()) {
            if (fOnMasterChange) fOnMasterChange(this);
        } else if (fOnMasterDisable) {
            fOnMasterDisable(this);
        }
    }
}

void TMasterDataLink::CheckBrowseMode() {
    if (fDataSet->Active()) fDataSet->CheckBrowseMode();
}

void TMasterDataLink::RecordChanged(TField* field) {
    if (DataSource()->State() == dsSetKey || !fDataSet->Active() || fFields.empty()) return;
    if (field != nullptr && std::find(fFields.begin(), fFields.end(), field) == fFields.end()) return;
    if (fOnMasterChange) fOnMasterChange(this);
}

} // namespace host
