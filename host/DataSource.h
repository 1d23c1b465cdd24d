// TDataSource connects a dataset to data links (controls, detail datasets); TDataLink is the
// receiving end; TMasterDataLink drives a detail dataset from its master's current row.
//
// Event flow: TDataSet::DataEvent -> every attached TDataSource (in attach order) ->
// every link of the source (most recently added first) -> the link's virtual hooks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/Component.h"
#include "host/DBTypes.h"

namespace host {

class TDataSet;
class TDataLink;
class TField;

using TDataChangeEvent = std::function<void(TObject* sender, TField* field)>;

// Mirrors a dataset's state to its links and turns dataset events into OnStateChange,
// OnDataChange and OnUpdateData.
class TDataSource : public TComponent {
public:
    explicit TDataSource(TComponent* owner);
    ~TDataSource() override;
    void BeforeDestruction() override;

    TDataSet* DataSet() const { return fDataSet; }
    // A dataset that leads back to this source (IsLinkedTo): SCircularDataLink.
    void SetDataSet(TDataSet* value);
    bool Enabled() const { return fEnabled; }
    void SetEnabled(bool value);
    bool AutoEdit() const { return fAutoEdit; }
    void SetAutoEdit(bool value) { fAutoEdit = value; }
    // DataSet's state while Enabled and assigned, else dsInactive.
    TDataSetState State() const { return fState; }
    // Whether dataSet is this source's dataset or is reached from it through masters.
    bool IsLinkedTo(TDataSet* dataSet) const;
    // DataSet->Edit when AutoEdit and browsing.
    void Edit();

    const TNotifyEvent& OnStateChange() const { return fOnStateChange; }
    void SetOnStateChange(TNotifyEvent h) { fOnStateChange = std::move(h); }
    const TDataChangeEvent& OnDataChange() const { return fOnDataChange; }
    void SetOnDataChange(TDataChangeEvent h) { fOnDataChange = std::move(h); }
    const TNotifyEvent& OnUpdateData() const { return fOnUpdateData; }
    void SetOnUpdateData(TNotifyEvent h) { fOnUpdateData = std::move(h); }

    int LinkCount() const { return static_cast<int>(fLinks.size()); }
    TDataLink* Links(int index) const { return fLinks.at(static_cast<size_t>(index)); }

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TDataSet;
    friend class TDataLink;
    void DataEvent(TDataEvent event, intptr_t info);
    void UpdateState();
    void AddDataLink(TDataLink* link);
    void RemoveDataLink(TDataLink* link);
    void NotifyLinks(TDataEvent event, intptr_t info);

    TDataSet* fDataSet = nullptr;
    std::vector<TDataLink*> fLinks; // not owned
    bool fEnabled = true;
    bool fAutoEdit = true;
    TDataSetState fState = dsInactive;
    TNotifyEvent fOnStateChange, fOnUpdateData;
    TDataChangeEvent fOnDataChange;
};

// The receiving end of a data source: a window of BufferCount rows and virtual hooks.
// A plain object; the owner of a link deletes it (which detaches it).
class TDataLink : public TPersistent {
public:
    TDataLink();
    ~TDataLink() override;

    TDataSource* DataSource() const { return fDataSource; }
    // Moves the link to another source (DataSourceFixed: SDataSourceChange).
    void SetDataSource(TDataSource* value);
    bool DataSourceFixed() const { return fDataSourceFixed; }
    void SetDataSourceFixed(bool v) { fDataSourceFixed = v; }
    TDataSet* DataSet() const;
    bool Active() const { return fActive; }
    bool Editing() const { return fEditing; }
    bool ReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool value);
    int BufferCount() const { return fBufferCount; }
    // Changing it while active recomputes the dataset's window.
    void SetBufferCount(int value);
    // Active row relative to the link's window (0 in dsSetKey).
    int ActiveRecord() const;
    void SetActiveRecord(int value);
    // Rows of the window that hold data (1 in dsSetKey).
    int RecordCount() const;
    bool Bof() const;
    bool Eof() const;
    // Asks the source to edit; returns Editing.
    bool Edit();
    // Calls UpdateData (guarded against re-entry).
    void UpdateRecord();
    int MoveBy(int distance);
    int FirstRecord() const { return fFirstRecord; }

protected:
    virtual void ActiveChanged() {}
    virtual void EditingChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void FocusControl(TField** /*field*/) {}
    virtual void UpdateData() {}
    virtual void RecordChanged(TField* /*field*/) {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void DataEvent(TDataEvent event, intptr_t info);
    bool Updating() const { return fUpdating; }

private:
    friend class TDataSource;
    friend class TDataSet;
    void UpdateState();
    void SetActive(bool value);
    void SetEditing(bool value);
    void UpdateRange();

    TDataSource* fDataSource = nullptr;
    int fFirstRecord = 0;
    int fBufferCount = 1;
    bool fActive = false;
    bool fEditing = false;
    bool fReadOnly = false;
    bool fUpdating = false;
    bool fDataSourceFixed = false;
};

// A link that reports the dataset it drives.
class TDetailDataLink : public TDataLink {
public:
    virtual TDataSet* DetailDataSet() const { return nullptr; }
};

// Drives a detail dataset: holds the master fields named in FieldNames and calls OnMasterChange
// when the master's current row (or one of those fields) changes, OnMasterDisable when the link
// loses its master.
class TMasterDataLink : public TDetailDataLink {
public:
    explicit TMasterDataLink(TDataSet* dataSet);

    TDataSet* DetailDataSet() const override { return fDataSet; }
    const std::string& FieldNames() const { return fFieldNames; }
    void SetFieldNames(const std::string& value);
    const std::vector<TField*>& Fields() const { return fFields; }
    const TNotifyEvent& OnMasterChange() const { return fOnMasterChange; }
    void SetOnMasterChange(TNotifyEvent h) { fOnMasterChange = std::move(h); }
    const TNotifyEvent& OnMasterDisable() const { return fOnMasterDisable; }
    void SetOnMasterDisable(TNotifyEvent h) { fOnMasterDisable = std::move(h); }

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void LayoutChanged() override { ActiveChanged(); }
    void RecordChanged(TField* field) override;

private:
    TDataSet* fDataSet;
    std::string fFieldNames;
    std::vector<TField*> fFields;
    TNotifyEvent fOnMasterChange, fOnMasterDisable;
};

} // namespace host
