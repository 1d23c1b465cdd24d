// TDataSet: the record-oriented dataset of the host framework. It keeps a window of row buffers
// (BufferCount + 1 raw byte areas, the last one spare), runs the state machine (browse, edit,
// insert, ...), navigation, bookmarks, events and data-link notification, and leaves every
// storage decision to a descendant through the virtual contract below (GetRecord, InternalOpen,
// GetFieldData, ...). The base never reads a buffer's bytes.
//
// Writing a descendant: implement at least AllocRecordBuffer/FreeRecordBuffer, GetRecord,
// InternalOpen (set BookmarkSize, FieldDefs()->Update(), CreateFields() when DefaultFields(),
// BindFields(true)), InternalClose (BindFields(false), DestroyFields() when DefaultFields()),
// InternalInitFieldDefs, IsCursorOpen, the bookmark accessors, GetFieldData/SetFieldData and, to
// edit, InternalPost/InternalDelete/InternalAddRecord. tests/host/MemDataSet.h is a complete
// in-memory example.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "host/Collection.h"
#include "host/Component.h"
#include "host/DBTypes.h"
#include "host/Exceptions.h"
#include "host/FieldDefs.h"
#include "host/Fields.h"
#include "host/IndexDefs.h"
#include "host/Stream.h"
#include "host/Variant.h"

namespace host {

class TDataSet;
class TDataSource;
class TDataLink;
class TList;
class TStrings;
class TParams;

using TDataSetNotifyEvent = std::function<void(TDataSet* dataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet* dataSet, EDatabaseError& e, TDataAction& action)>;
using TFilterRecordEvent = std::function<void(TDataSet* dataSet, bool& accept)>;

// One check constraint of a dataset (text evaluated by engine datasets, not by the framework).
class TCheckConstraint : public TCollectionItem {
public:
    explicit TCheckConstraint(TCollection* collection) : TCollectionItem(collection) {}
    const std::string& CustomConstraint() const { return fCustomConstraint; }
    void SetCustomConstraint(const std::string& v) { fCustomConstraint = v; }
    const std::string& ErrorMessage() const { return fErrorMessage; }
    void SetErrorMessage(const std::string& v) { fErrorMessage = v; }
    const std::string& FromDictionary() const { return fFromDictionary; }
    void SetFromDictionary(const std::string& v) { fFromDictionary = v; }
    const std::string& ImportedConstraint() const { return fImportedConstraint; }
    void SetImportedConstraint(const std::string& v) { fImportedConstraint = v; }
    std::string DisplayName() const override;
    void Assign(TPersistent* source) override;

private:
    std::string fCustomConstraint, fErrorMessage, fFromDictionary, fImportedConstraint;
};

class TCheckConstraints : public TOwnedCollection {
public:
    explicit TCheckConstraints(TPersistent* owner);
    TCheckConstraint* Items(int index) const {
        return static_cast<TCheckConstraint*>(TCollection::Items(index));
    }
    TCheckConstraint* Add() { return static_cast<TCheckConstraint*>(TCollection::Add()); }
};

class TDataSet : public TComponent {
public:
    explicit TDataSet(TComponent* owner);
    ~TDataSet() override;
    // Closes (without Before/AfterClose), detaches the data sources, frees the fields.
    void BeforeDestruction() override;

    // ---- open / close
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool Active() const { return fState != dsInactive; }
    void SetActive(bool value);
    // State dsInactive: SDataSetClosed.
    void CheckActive() const;
    // Open: closed silently while csUpdating/csDesigning, else SDataSetOpen.
    void CheckInactive();
    void Loaded() override;
    // Streaming: the persistent fields owned by root, in field order.
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

    // ---- state
    TDataSetState State() const { return fState; }
    bool Modified() const { return fModified; }
    bool CanModify() { return GetCanModify(); }
    bool IsEmpty() const { return fActiveRecord >= fRecordCount; }
    bool Bof() const { return fBof; }
    bool Eof() const { return fEof; }
    bool Found() const { return fFound; }
    bool DefaultFields() const { return fDefaultFields; }
    virtual bool IsSequenced() { return true; }
    bool IsUniDirectional() const { return fIsUniDirectional; }
    int RecordCount() { return GetRecordCount(); }
    int RecNo() { return GetRecNo(); }
    void SetRecNo(int value) { SetRecNoValue(value); }
    int RecordSize() { return GetRecordSize(); }
    bool AutoCalcFields() const { return fAutoCalcFields; }
    void SetAutoCalcFields(bool value) { fAutoCalcFields = value; }
    bool ObjectView() const { return fObjectView; }
    void SetObjectView(bool value);
    TCheckConstraints* Constraints() const { return fConstraints.get(); }
    virtual TUpdateStatus UpdateStatus() { return usUnmodified; }
    // The dataset's master source (detail datasets), or nullptr.
    TDataSource* DataSource() { return GetDataSource(); }
    bool IsLinkedTo(TDataSource* dataSource);

    // ---- navigation
    void First();
    void Last();
    void Next();
    void Prior() { MoveBy(-1); }
    // Moves distance rows; returns the number actually moved (signed).
    int MoveBy(int distance);
    virtual void Resync(TResyncMode mode);
    void Refresh();
    void CheckBrowseMode();
    void UpdateCursorPos();
    void CursorPosChanged() { fCurrentRecord = -1; }

    // ---- editing
    void Edit();
    void Insert();
    void Append();
    virtual void Post();
    virtual void Cancel();
    void Delete();
    // Adds a row with values assigned positionally to Fields (Unassigned leaves a field alone).
    void InsertRecord(const std::vector<Variant>& values) { AddRecord(values, false); }
    void AppendRecord(const std::vector<Variant>& values) { AddRecord(values, true); }
    void SetFields(const std::vector<Variant>& values);
    void ClearFields();
    void UpdateRecord();
    void CheckRequiredFields();
    void CheckCanModify();

    // ---- controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return fDisableCount != 0; }

    // ---- bookmarks
    // The active row's bookmark (empty when none is available).
    virtual TBookmark GetBookmark();
    void FreeBookmark(TBookmark& bookmark) { bookmark.clear(); }
    void GotoBookmark(const TBookmark& bookmark);
    TBookmarkStr Bookmark();
    void SetBookmark(const TBookmarkStr& value);
    // -1, 0, 1; the base answers 0.
    virtual int CompareBookmarks(const TBookmark& bookmark1, const TBookmark& bookmark2);
    // The base answers false.
    virtual bool BookmarkValid(const TBookmark& bookmark);

    // ---- searching
    // keyFields: ';'-separated names; keyValues: one value or a variant array. Base: false.
    virtual bool Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
    // The result field values of the matching row (Null when none); base: Null.
    virtual Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                           const std::string& resultFields);
    bool FindFirst() { return FindRecord(true, true); }
    bool FindLast() { return FindRecord(true, false); }
    bool FindNext() { return FindRecord(false, true); }
    bool FindPrior() { return FindRecord(false, false); }
    // Base: false (descendants search through their filters).
    virtual bool FindRecord(bool restart, bool goForward);

    // ---- filtering
    const std::string& Filter() const { return fFilterText; }
    void SetFilter(const std::string& value) { SetFilterText(value); }
    virtual void SetFilterText(const std::string& value);
    bool Filtered() const { return fFiltered; }
    virtual void SetFiltered(bool value);
    TFilterOptions FilterOptions() const { return fFilterOptions; }
    virtual void SetFilterOptions(TFilterOptions value);
    const TFilterRecordEvent& OnFilterRecord() const { return fOnFilterRecord; }
    virtual void SetOnFilterRecord(const TFilterRecordEvent& value);
    int BlockReadSize() const { return fBlockReadSize; }
    // > 0 (active dataset only) enters dsBlockRead, 0 returns to dsBrowse.
    virtual void SetBlockReadSize(int value);

    // ---- fields
    TFields* Fields() const { return fFields.get(); }
    int FieldCount() const { return fFields->Count(); }
    TFieldDefs* FieldDefs() const { return fFieldDefs.get(); }
    void SetFieldDefs(TFieldDefs* value);
    // Field or SFieldNotFound "Field '%s' not found" (with this dataset's name in front).
    TField* FieldByName(const std::string& fieldName) const;
    TField* FindField(const std::string& fieldName) const;
    TField* FieldByNumber(int fieldNo) const;
    void GetFieldNames(TStrings* list) const;
    // One name: that field's Value; several ';'-separated names: a variant array.
    Variant FieldValues(const std::string& fieldNames) const;
    void SetFieldValues(const std::string& fieldNames, const Variant& value);
    // Appends FieldByName of each ';'-separated name (trimmed).
    void GetFieldList(std::vector<TField*>& list, const std::string& fieldNames) const;
    void GetFieldList(TList* list, const std::string& fieldNames) const;
    // Fills the definitions (a closed dataset opens its cursor for information only). Virtual: a
    // descendant may read them another way (a table from the server's field list, unopened).
    virtual void InitFieldDefs();
    // Reads the active row outside the buffer window; base false.
    virtual bool GetCurrentRecord(TRecordBuffer buffer);
    // A stream over a blob field's value (bmRead, bmWrite, bmReadWrite); base: none.
    virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);
    // The native value of field in the row the state selects; true = not null. Base: false.
    virtual bool GetFieldData(TField* field, void* buffer);
    virtual bool GetFieldData(int fieldNo, void* buffer);
    // Stores a native value (nullptr = null) into the row the state selects. Base: nothing.
    virtual void SetFieldData(TField* field, const void* buffer);
    // Blob bytes of the active row; returns the count. Base: 0.
    virtual int GetBlobFieldData(int fieldNo, std::vector<uint8_t>& buffer);
    // Copies zero-terminated src to dest (text conversion hook); returns the length.
    virtual int Translate(const char* src, char* dest, bool toOem);
    // Name of a field in the engine (base: FieldName / full name).
    virtual std::string GetFieldFullName(TField* field);
    // Is field part of the current index? Base false.
    virtual bool GetIsIndexField(TField* field);
    // Value of field in another state (dsOldValue, dsNewValue, dsCurValue).
    virtual Variant GetStateFieldValue(TDataSetState state, TField* field);
    virtual void SetStateFieldValue(TDataSetState state, TField* field, const Variant& value);
    // Field class for a type (the default table; descendants may substitute).
    virtual TFieldClass GetFieldClass(TFieldType fieldType);
    // The definitions changed (tables remember to store them).
    virtual void DefChanged(TObject* /*sender*/) {}
    // Fills a descendant's index definitions (TIndexDefs::Update). Base nothing.
    virtual void UpdateIndexDefs() {}
    // Field-change notification to the dataset, its links and its sources (see TDataEvent).
    virtual void DataEvent(TDataEvent event, intptr_t info);

    // ---- provider support (defaults for descendants)
    virtual std::string PSGetTableName() { return {}; }
    virtual void PSSetCommandText(const std::string& /*text*/) {}
    virtual std::unique_ptr<TIndexDef> PSGetDefaultOrder();
    // The dataset's index definitions with at least one of indexTypes (every one when the set is
    // empty), as a new list the caller owns; nullptr when there are none. Datasets with indexes
    // answer GetIndexDefs(their IndexDefs, indexTypes); the base has none. Current host
    // generation only: builds for the older one (CORVANE_HOST_GENERATION=4) do not use it.
    virtual std::unique_ptr<TIndexDefs> PSGetIndexDefs(TIndexOptions indexTypes = AllIndexOptions);
    virtual std::string PSGetKeyFields();
    virtual TParams* PSGetParams() { return nullptr; }
    virtual void PSSetParams(TParams* /*params*/) {}
    virtual void PSReset();
    virtual void PSExecute() {}
    virtual bool PSIsSQLSupported() { return false; }
    virtual bool PSIsSQLBased() { return false; }
    virtual std::string PSGetQuoteChar() { return "\""; }
    virtual void PSGetAttributes(TList* /*list*/) {}
    virtual int PSExecuteStatement(const std::string& /*sql*/, TParams* /*params*/,
                                   std::unique_ptr<TDataSet>* /*resultSet*/ = nullptr) {
        return 0;
    }
    // Wraps an exception raised while applying updates; base: an EUpdateError with its text.
    virtual std::shared_ptr<EUpdateError> PSGetUpdateException(const Exception& e, EUpdateError* previous);

    // ---- events
#define HOST_DATASET_EVENT(Name)                                                                             \
    const TDataSetNotifyEvent& Name() const {                                                                \
        return f##Name;                                                                                      \
    }                                                                                                        \
    void Set##Name(TDataSetNotifyEvent h) {                                                                  \
        f##Name = std::move(h);                                                                              \
    }
    HOST_DATASET_EVENT(BeforeOpen)
    HOST_DATASET_EVENT(AfterOpen)
    HOST_DATASET_EVENT(BeforeClose)
    HOST_DATASET_EVENT(AfterClose)
    HOST_DATASET_EVENT(BeforeInsert)
    HOST_DATASET_EVENT(AfterInsert)
    HOST_DATASET_EVENT(BeforeEdit)
    HOST_DATASET_EVENT(AfterEdit)
    HOST_DATASET_EVENT(BeforePost)
    HOST_DATASET_EVENT(AfterPost)
    HOST_DATASET_EVENT(BeforeCancel)
    HOST_DATASET_EVENT(AfterCancel)
    HOST_DATASET_EVENT(BeforeDelete)
    HOST_DATASET_EVENT(AfterDelete)
    HOST_DATASET_EVENT(BeforeScroll)
    HOST_DATASET_EVENT(AfterScroll)
    HOST_DATASET_EVENT(BeforeRefresh)
    HOST_DATASET_EVENT(AfterRefresh)
    HOST_DATASET_EVENT(OnCalcFields)
    HOST_DATASET_EVENT(OnNewRecord)
#undef HOST_DATASET_EVENT
    const TDataSetErrorEvent& OnEditError() const {
        return fOnEditError;
    }
    void SetOnEditError(TDataSetErrorEvent h) {
        fOnEditError = std::move(h);
    }
    const TDataSetErrorEvent& OnPostError() const {
        return fOnPostError;
    }
    void SetOnPostError(TDataSetErrorEvent h) {
        fOnPostError = std::move(h);
    }
    const TDataSetErrorEvent& OnDeleteError() const {
        return fOnDeleteError;
    }
    void SetOnDeleteError(TDataSetErrorEvent h) {
        fOnDeleteError = std::move(h);
    }

    // ---- also public in the classic framework (used by fields, links and other datasets)
    TRecordBuffer ActiveBuffer() const {
        return fBuffers.empty() ? nullptr : fBuffers[fActiveRecord];
    }
    TRecordBuffer CalcBuffer() const {
        return fCalcBuffer;
    }
    // Computes calculated and lookup fields of buffer (no state change; see GetCalcFields).
    virtual void CalculateFields(TRecordBuffer buffer);
    void DoBeforeScroll() {
        Fire(fBeforeScroll);
    }
    void DoAfterScroll() {
        Fire(fAfterScroll);
    }
    // Temporary states: no event, controls disabled meanwhile, Modified cleared.
    TDataSetState SetTempState(TDataSetState value);
    void RestoreState(TDataSetState value);

protected:
    // ---- the descendant contract: abstract in spirit (the base raises or does nothing)
    virtual TRecordBuffer AllocRecordBuffer() {
        return nullptr;
    }
    virtual void FreeRecordBuffer(TRecordBuffer& /*buffer*/) {}
    virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode getMode, bool doCheck) = 0;
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual void InternalInitFieldDefs() = 0;
    virtual void InternalHandleException();
    virtual bool IsCursorOpen() = 0;
    virtual void InternalInitRecord(TRecordBuffer /*buffer*/) {}
    virtual void InternalAddRecord(TRecordBuffer /*buffer*/, bool /*append*/) {}
    virtual void InternalDelete() {}
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalCancel() {}
    virtual void InternalPost();
    virtual void InternalRefresh() {}
    virtual void InternalFirst() {}
    virtual void InternalLast() {}
    virtual void InternalGotoBookmark(const uint8_t* /*bookmark*/) {}
    virtual void InternalSetToRecord(TRecordBuffer /*buffer*/) {}
    virtual void GetBookmarkData(TRecordBuffer /*buffer*/, uint8_t* /*data*/) {}
    virtual void SetBookmarkData(TRecordBuffer /*buffer*/, const uint8_t* /*data*/) {}
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer /*buffer*/) {
        return bfCurrent;
    }
    virtual void SetBookmarkFlag(TRecordBuffer /*buffer*/, TBookmarkFlag /*value*/) {}
    virtual int GetRecordSize() {
        return 0;
    }
    virtual bool GetCanModify() {
        return true;
    }
    virtual int GetRecordCount() {
        return -1;
    }
    virtual int GetRecNo() {
        return -1;
    }
    virtual void SetRecNoValue(int /*value*/) {}
    virtual void CloseBlob(TField* /*field*/) {}
    virtual void ClearCalcFields(TRecordBuffer /*buffer*/) {}
    virtual TDataSource* GetDataSource() {
        return nullptr;
    }
    virtual void InitRecord(TRecordBuffer buffer);
    virtual void GetCalcFields(TRecordBuffer buffer);
    void RefreshInternalCalcFields(TRecordBuffer buffer);
    virtual void DoOnCalcFields() {
        Fire(fOnCalcFields);
    }
    virtual void DoOnNewRecord() {
        Fire(fOnNewRecord);
    }
    virtual void BlockReadNext() {
        MoveBy(1);
    }
    virtual void OpenCursor(bool infoQuery);
    virtual void CloseCursor();
    virtual void SetBufListSize(int value);
    virtual bool GetNextRecord();
    virtual bool GetPriorRecord();
    virtual void SetCurrentRecord(int index);
    virtual void CreateFields();
    virtual void DestroyFields();
    void BindFields(bool binding);
    void FreeFieldBuffers();
    // Sets the state with deUpdateState (no-op when unchanged); clears Modified.
    void SetState(TDataSetState value);
    void SetModified(bool value) {
        fModified = value;
    }
    void SetBookmarkSize(int value) {
        fBookmarkSize = value;
    }
    int BookmarkSize() const {
        return fBookmarkSize;
    }
    void SetUniDirectional(bool value) {
        fIsUniDirectional = value;
    }
    void SetFound(bool value) {
        fFound = value;
    }
    void SetDefaultFields(bool value) {
        fDefaultFields = value;
    }
    bool BookmarkAvailable();
    void Notification(TComponent* component, TOperation operation) override;

    // ---- the buffer window (read access for descendants)
    int BufferCount() const {
        return fBufferCount;
    }
    // Rows held by the window (0..BufferCount); not RecordCount.
    int BufferedRecordCount() const {
        return fRecordCount;
    }
    int ActiveRecord() const {
        return fActiveRecord;
    }
    int CurrentRecord() const {
        return fCurrentRecord;
    }
    TRecordBuffer Buffers(int index) const {
        return fBuffers[static_cast<size_t>(index)];
    }
    // The spare buffer (index BufferedRecordCount()).
    TRecordBuffer TempBuffer() const {
        return fBuffers.empty() ? nullptr : fBuffers[fRecordCount];
    }
    int CalcFieldsSize() const {
        return fCalcFieldsSize;
    }
    int BlobFieldCount() const {
        return fBlobFieldCount;
    }
    bool InternalCalcFields() const {
        return fInternalCalcFields;
    }
    int FieldNoOfs() const {
        return fFieldNoOfs;
    }
    void SetFieldNoOfs(int value) {
        fFieldNoOfs = value;
    }
    void SetCalcBuffer(TRecordBuffer buffer) {
        fCalcBuffer = buffer;
    }
    void ClearBuffers();
    void ActivateBuffers();
    void UpdateBufferCount();
    int GetNextRecords();
    int GetPriorRecords();
    void MoveBuffer(int curIndex, int newIndex);
    void Fire(const TDataSetNotifyEvent& event) {
        if (event) event(this);
    }

private:
    friend class TField;
    friend class TBlobField;
    friend class TFields;
    friend class TFieldDefs;
    friend class TDataSource;
    friend class TDataLink;
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    void SetBufferCount(int value);
    void BeginInsertAppend();
    void EndInsertAppend();
    void AddRecord(const std::vector<Variant>& values, bool append);
    void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& errorEvent);
    void DoInternalOpen();
    void CheckFieldCompatibility(TField* field, TFieldDef* fieldDef);

    TDataSetState fState = dsInactive;
    TDataSetState fDisableState = dsInactive;
    TDataEvent fEnableEvent = deDataSetChange;
    int fDisableCount = 0;
    bool fModified = false;
    bool fBof = true, fEof = true;
    bool fFound = false;
    bool fDefaultFields = false;
    bool fAutoCalcFields = true;
    bool fObjectView = false;
    bool fIsUniDirectional = false;
    bool fFiltered = false;
    bool fStreamedActive = false;
    bool fInternalCalcFields = false;
    bool fDestroying = false;
    std::string fFilterText;
    TFilterOptions fFilterOptions;
    int fBlockReadSize = 0;

    std::vector<TRecordBuffer> fBuffers;
    int fBufferCount = 0;
    int fRecordCount = 0;
    int fActiveRecord = 0;
    int fCurrentRecord = -1;
    TRecordBuffer fCalcBuffer = nullptr;
    int fBookmarkSize = 0;
    int fCalcFieldsSize = 0;
    int fBlobFieldCount = 0;
    int fFieldNoOfs = 1;

    std::unique_ptr<TFields> fFields;
    std::unique_ptr<TFieldDefs> fFieldDefs;
    std::unique_ptr<TCheckConstraints> fConstraints;
    std::vector<TDataSource*> fDataSources; // not owned

    TDataSetNotifyEvent fBeforeOpen, fAfterOpen, fBeforeClose, fAfterClose, fBeforeInsert, fAfterInsert,
        fBeforeEdit, fAfterEdit, fBeforePost, fAfterPost, fBeforeCancel, fAfterCancel, fBeforeDelete,
        fAfterDelete, fBeforeScroll, fAfterScroll, fBeforeRefresh, fAfterRefresh, fOnCalcFields, fOnNewRecord;
    TDataSetErrorEvent fOnEditError, fOnPostError, fOnDeleteError;
    TFilterRecordEvent fOnFilterRecord;
};

// The next ';'-separated name of fields from pos on (trimmed); pos moves past the ';'.
std::string ExtractFieldName(const std::string& fields, size_t& pos);

} // namespace host
