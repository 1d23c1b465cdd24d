// TmSQLDataSet: the dataset of the host framework over one engine cursor, the common base of the
// table and query components. It implements the host's record-buffer contract (row buffers, field
// values, navigation, bookmarks, editing) with engine calls on its cursor handle; every result code
// that matters goes through the result check (EmSQLDatabaseError).
//
// The class is implemented by concern:
//   DataSet.cpp          open and close, field definitions, buffer layout, rows, field values
//   DataSetEdit.cpp      editing, old values, bookmarks, update mode and auto refresh
//   DataSetProvider.cpp  the provider operations (PS*) of the current host generation
//   DataSetKeys.cpp      index information, key buffers and ranges
//   DataSetFilters.cpp   expression, record-event and lookup filters, locate, lookup, find, block reads
//   CachedUpdates.cpp    the cached-update interface, the update buffer pair, constraints and the
//                        update object
//   BlobStream.cpp       TmSQLBlobStream and CreateBlobStream
//
// Component record buffer (every row buffer AllocRecordBuffer hands out), offsets fixed at open by
// InitBufferPointers:
//   [0, R)                       the row in the native cursor's work-buffer layout (R = iRecBufSize)
//   [R, R + C)                   calculated and lookup fields: at each field's Offset a flag byte
//                                (non-zero = value present) followed by the field's data
//   BlobCacheOffset              4 bytes per blob field (by the field's Offset): a handle into the
//                                dataset's blob cache, 0 for none
//   RecInfoOffset                TRecInfo (6 bytes)
//   BookmarkOffset               the engine bookmark of the row (BookmarkSize bytes)
// A row buffer is at most 65535 bytes; a larger layout is refused at open.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "access/mSQLAccess.h"
#include "components/Database.h"
#include "components/UpdateObject.h"
#include "host/DataSet.h"
#include "host/Sets.h"

namespace host {
class TBlobField;
} // namespace host

namespace corvane {

class TmSQLBlobStream;

// The reasons a dataset holds its database (while any is set, the dataset is a client of it).
enum TDBFlag : uint8_t {
    dbfOpened = 0,     // an open cursor
    dbfPrepared = 1,   // a prepared statement (query)
    dbfExecSQL = 2,    // a statement being executed (query)
    dbfTable = 3,      // a table operation on a closed table
    dbfFieldList = 4,  // reading field definitions of a closed table
    dbfIndexList = 5,  // reading index definitions of a closed table
    dbfStoredProc = 6, // kept for compatibility
    dbfExecProc = 7,   // kept for compatibility
    dbfProcDesc = 8,   // kept for compatibility
    dbfDatabase = 9,   // the table's file name
    dbfProvider = 10   // a provider call
};
// Only flags 0..15 are stored.
using TDBFlags = host::TSet<TDBFlag>;

// ---- cached updates
// The kinds of row a dataset with cached updates shows.
enum TUpdateRecordType : uint8_t { rtModified, rtInserted, rtDeleted, rtUnmodified };
using TUpdateRecordTypes = host::TSet<TUpdateRecordType>;
// What ProcessUpdates is asked to do with the pending updates.
enum DBIDelayedUpdCmd : uint8_t {
    dbiDelayedUpdCommit = 0,
    dbiDelayedUpdCancel = 1,
    dbiDelayedUpdCancelCurrent = 2,
    dbiDelayedUpdPrepare = 3
};

#pragma pack(push, 1)
// The record information of a component record buffer.
struct TRecInfo {
    int32_t RecordNumber; // -1 for every row
    uint8_t UpdateStatus; // host::TUpdateStatus
    uint8_t BookmarkFlag; // host::TBookmarkFlag
};
#pragma pack(pop)
static_assert(sizeof(TRecInfo) == 6);

// Size of a blob-cache slot in a row buffer: a 32-bit handle.
inline constexpr size_t BlobCacheSlotSize = sizeof(uint32_t);

// Names the buffer whose fields are being calculated on the cursor's row for a scope; the previous
// one comes back at its end.
class CalcRowScope {
public:
    CalcRowScope(host::TRecordBuffer& slot, host::TRecordBuffer buffer) : fSlot(slot), fPrevious(slot) {
        slot = buffer;
    }
    ~CalcRowScope() { fSlot = fPrevious; }
    CalcRowScope(const CalcRowScope&) = delete;
    CalcRowScope& operator=(const CalcRowScope&) = delete;

private:
    host::TRecordBuffer& fSlot;
    host::TRecordBuffer fPrevious;
};
// The number of key buffers (host::TKeyIndex kiLookup .. kiSave).
inline constexpr int KeyBufferCount = 6;
// Largest number of fields in an index key.
inline constexpr int MaxIndexFields = 16;

class TmSQLDataSet : public host::TDataSet {
public:
    explicit TmSQLDataSet(host::TComponent* owner);
    ~TmSQLDataSet() override;
    void BeforeDestruction() override;

    // ---- published properties
    bool AutoRefresh() const { return fAutoRefresh; }
    // Only while the dataset is closed.
    void SetAutoRefresh(bool value);
    TmSQLDatabase* Database() const { return fDatabase; }
    // Disconnects (closes; a query also unprepares) and leaves the old database.
    void SetDatabase(TmSQLDatabase* value);
    host::TUpdateMode UpdateMode() const { return fUpdateMode; }
    // Passed to an open, modifiable cursor at once; otherwise at the next open.
    void SetUpdateMode(host::TUpdateMode value);
    TmSQLSQLUpdateObject* UpdateObject() const { return fUpdateObject; }
    // Binds object to this dataset (an object serves one dataset at a time); null unbinds.
    void SetUpdateObject(TmSQLSQLUpdateObject* object);
    bool CachedUpdates() const { return fCachedUpdates; }

    // ---- handles and the engine
    // The engine the dataset's calls go to: its database's (null without one).
    virtual TmSQLEngine* Engine();
    hDBICur Handle() const { return fHandle; }
    // Closes, then opens on handle (when not null); a failed open leaves the dataset without one.
    void SetHandle(hDBICur value);
    // The database handle; connects the database when needed. Null without a database.
    hDBIDb GetDBHandle();
    // Whether an open or prepare that answered status can go on: true for 0, false for 10498 (try
    // again; after a few tries in a row it is raised), any other code is raised.
    bool CheckOpen(DBIResult status);
    // Closes the dataset (queries also unprepare).
    virtual void Disconnect();
    // Sets or clears a reason for holding the database; returns whether it was set before. The first
    // reason registers the dataset with its database, the last one lets go of it.
    virtual bool SetDBFlag(int flag, bool value);
    TDBFlags DBFlags() const { return fDBFlags; }
    // Replaces list's content with the names of all database components, sorted.
    void GetDatabaseNames(host::TStrings* list);
    // Lets database close unless it keeps its connection.
    void CloseDatabase(TmSQLDatabase* database);
    // Reads to the end of the result (the native cursor holds it whole already).
    void FetchAll();
    // Posts or cancels a pending edit.
    void FlushBuffers();
    bool ConstraintsStored() const;
    // The buffer the current state reads and writes fields in; false when there is none.
    bool GetActiveRecBuf(host::TRecordBuffer& buffer);
    // The old values of the current row: the row as it was before the edit in progress, else as the
    // cursor last read it. Valid until the next request or until the dataset closes.
    host::TRecordBuffer GetOldRecord();

    // ---- blob cache of the row buffers (used by TmSQLBlobStream)
    bool CacheBlobs() const { return fCacheBlobs; }
    // The cached value of field in buffer (empty when none).
    const std::string& GetBlobData(host::TField* field, host::TRecordBuffer buffer);
    // Caches value (empty: clears) for field, only when buffer is the active buffer.
    void SetBlobData(host::TField* field, host::TRecordBuffer buffer, const std::string& value);

    // ---- host TDataSet
    bool GetCurrentRecord(host::TRecordBuffer buffer) override;
    std::unique_ptr<host::TStream> CreateBlobStream(host::TField* field, host::TBlobStreamMode mode) override;
    bool GetFieldData(host::TField* field, void* buffer) override;
    bool GetFieldData(int fieldNo, void* buffer) override;
    void SetFieldData(host::TField* field, const void* buffer) override;
    int GetBlobFieldData(int fieldNo, std::vector<uint8_t>& buffer) override;
    int Translate(const char* src, char* dest, bool toOem) override;
    std::string GetFieldFullName(host::TField* field) override;
    bool GetIsIndexField(host::TField* field) override;
    bool IsSequenced() override;
    void Post() override;
    void Cancel() override;
    int CompareBookmarks(const host::TBookmark& bookmark1, const host::TBookmark& bookmark2) override;
    bool BookmarkValid(const host::TBookmark& bookmark) override;

    // ---- cached updates and constraints (CachedUpdates.cpp)
    // Edits reach the server when they are posted, whether cached updates are on or off; switching
    // on an open dataset posts or cancels a pending edit and rebuilds the row buffers.
    void SetCachedUpdates(bool value);
    // Posts a pending edit (outside browse mode) and re-reads the rows.
    void ApplyUpdates();
    // Re-reads the rows (nothing is ever pending).
    void CommitUpdates();
    // Cancels an edit in progress (posted edits stay) and re-reads the rows.
    void CancelUpdates();
    // Cancels an edit in progress of the current row and re-reads the rows.
    void RevertRecord();
    // The kinds of row shown: the cursor's answer while active (it answers none), else none.
    TUpdateRecordTypes GetUpdateRecordSet();
    void SetUpdateRecordSet(TUpdateRecordTypes types);
    // Always false: every posted edit is on the server already.
    bool GetUpdatesPending();
    // Whether the dataset's constraint collection has an item or a field reports constraints.
    bool HasConstraints();
    bool ConstraintsDisabled() const { return fConstDisableCount > 0; }
    // Counted: the first Disable switches the cursor's constraint checks off, the matching last
    // Enable switches them on again; an Enable without a Disable does nothing.
    void DisableConstraints();
    void EnableConstraints();
    // Answers a constraint-description request into sources: 0 when answered, 10756 ("Operation not
    // applicable.") for another request, an unknown field, nothing to report, or a failure.
    DBIResult ConstraintCallBack(host::DsInfoReq request, host::DataSources& sources);

    // ---- filters, searching and block reads (DataSetFilters.cpp)
    // While open, a new filter text or new options replace the cursor's expression filter (and move
    // to the first row when filtered); an invalid text raises and changes nothing.
    void SetFilterText(const std::string& value) override;
    void SetFilterOptions(host::TFilterOptions value) override;
    // While open, (de)activates the cursor's filters; moves to the first row in any case.
    void SetFiltered(bool value) override;
    // While open, adds or drops the cursor's record-event filter as a handler comes or goes.
    void SetOnFilterRecord(const host::TFilterRecordEvent& value) override;
    // The first row (in the current order, through the active filters) whose key fields hold keyValues
    // (one value, or a variant array with one value per ';'-separated field) becomes current.
    bool Locate(const std::string& keyFields, const host::Variant& keyValues,
                host::TLocateOptions options) override;
    // The values of resultFields in the row Locate would find (Null when none); the current row stays.
    host::Variant Lookup(const std::string& keyFields, const host::Variant& keyValues,
                         const std::string& resultFields) override;
    // The next (prior) row that passes the filter text and the record-event handler, whether or not
    // the dataset is filtered; restart searches from the first (last) row.
    bool FindRecord(bool restart, bool goForward) override;
    // n > 0 reads the rows from the current one on in blocks of n (BlockReadNext steps through them);
    // 0 ends block reading. A dataset showing several rows or holding blob fields reads row by row.
    void SetBlockReadSize(int value) override;

#if CORVANE_HOST_GENERATION >= 5
    // ---- provider support
    std::shared_ptr<host::EUpdateError> PSGetUpdateException(const host::Exception& e,
                                                             host::EUpdateError* previous) override;
    bool PSIsSQLSupported() override {
        return true;
    }
    bool PSIsSQLBased() override;
    std::string PSGetQuoteChar() override {
        return "\"";
    }
    void PSReset() override;
    // Runs sql through the database's statement cache; with resultSet, the rows come back as a new
    // dataset on the same database.
    int PSExecuteStatement(const std::string& sql, host::TParams* params,
                           std::unique_ptr<host::TDataSet>* resultSet = nullptr) override;
#endif

protected:
    // ---- new operations for descendants
    // A cursor for the dataset: the base has none (tables open one by name, queries execute).
    virtual hDBICur CreateHandle() {
        return nullptr;
    }
    // Closes the cursor through the engine (result ignored).
    virtual void DestroyHandle();
    virtual void DestroyLookupCursor() {}
    virtual hDBICur GetLookupCursor(const std::string& /*keyFields*/, bool /*caseInsensitive*/) {
        return nullptr;
    }
    // Called once per open after positioning at the beginning.
    virtual void PrepareCursor() {}

    // ---- host TDataSet contract
    host::TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(host::TRecordBuffer& buffer) override;
    host::TGetResult GetRecord(host::TRecordBuffer buffer, host::TGetMode getMode, bool doCheck) override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalInitFieldDefs() override;
    void InternalHandleException() override;
    bool IsCursorOpen() override {
        return fHandle != nullptr;
    }
    void InternalInitRecord(host::TRecordBuffer buffer) override;
    void ClearCalcFields(host::TRecordBuffer buffer) override;
    void InitRecord(host::TRecordBuffer buffer) override;
    int GetRecordSize() override {
        return fRecordSize;
    }
    bool GetCanModify() override {
        return fCanModify;
    }
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoValue(int value) override;
    void CloseBlob(host::TField* field) override;
    void InternalFirst() override;
    void InternalLast() override;
    void OpenCursor(bool infoQuery) override;
    void CloseCursor() override;
    void InternalEdit() override;
    void InternalInsert() override;
    void InternalPost() override;
    void InternalCancel() override;
    void InternalDelete() override;
    void InternalAddRecord(host::TRecordBuffer buffer, bool append) override;
    void InternalRefresh() override;
    void InternalGotoBookmark(const uint8_t* bookmark) override;
    void InternalSetToRecord(host::TRecordBuffer buffer) override;
    host::TBookmarkFlag GetBookmarkFlag(host::TRecordBuffer buffer) override;
    void SetBookmarkFlag(host::TRecordBuffer buffer, host::TBookmarkFlag value) override;
    void GetBookmarkData(host::TRecordBuffer buffer, uint8_t* data) override;
    void SetBookmarkData(host::TRecordBuffer buffer, const uint8_t* data) override;

    // ---- layout and field definitions
    // Computes the buffer layout (reading the cursor's record and bookmark sizes when asked).
    void InitBufferPointers(bool readProperties);
    // Turns descriptors[index] into a field definition of defs (children of object and array types
    // follow); index and fieldId move on.
    void AddFieldDesc(const std::vector<FLDDesc>& descriptors, size_t& index, int& fieldId,
                      const std::vector<bool>& required, host::TFieldDefs* defs);
    void GetObjectTypeNames(host::TFields* fields);
    // Passes AutoRefresh and the fields' auto-generated values to the cursor.
    void SetupAutoRefresh();
    // Releases the blob cache entries of buffer.
    void ClearBlobCache(host::TRecordBuffer buffer);
    // The record information of buffer.
    TRecInfo GetRecInfo(host::TRecordBuffer buffer) const;
    void SetRecInfo(host::TRecordBuffer buffer, const TRecInfo& info) const;
    // The engine, or EmSQLDatabaseError (invalid handle) when the dataset has none.
    TmSQLEngine* RequireEngine();

    // ---- index information, key buffers and ranges (DataSetKeys.cpp)
    // Reads the description of the index whose order is in force (fIndexInForce; index 1 for the
    // server's natural order, on which the cursor then keys): index field map, key size, flags.
    // Without an index they are cleared. Returns the engine's code.
    DBIResult GetIndexInfo();
    // Puts the order of index indexName ('' = natural order) in force: lifts the range, re-runs the
    // cursor, rebuilds the row buffers and reads the index information again.
    DBIResult SwitchToIndex(const std::string& indexName, const std::string& tagName);
    // Index field i of the index in force (SFieldIndexError outside 0..count-1, SIndexFieldMissing
    // when the dataset has no field object for it).
    host::TField* GetIndexField(int index);
    // Assigns value's value to index field i.
    void SetIndexField(int index, host::TField* value);
    int GetIndexFieldCount() const {
        return fIndexFieldCount;
    }
    // Whether fields are the leading fields of the index in force (in order) and, for string fields,
    // the index compares them with the case sensitivity asked for.
    bool MapsToIndex(const std::vector<host::TField*>& fields, bool caseInsensitive);
    // The six key buffers, each initialised (a record with every field null).
    void AllocKeyBuffers();
    void FreeKeyBuffers();
    uint8_t* InitKeyBuffer(uint8_t* buffer);
    uint8_t* GetKeyBuffer(host::TKeyIndex index) {
        return fKeyBuffers[index].data();
    }
    // Enters the set-key state on key buffer index (saving it first, clearing it when asked).
    uint8_t* SetKeyBuffer(host::TKeyIndex index, bool clear);
    // Leaves the set-key state, keeping (commit) or dropping the key values typed.
    void PostKeyBuffer(bool commit);
    // SNotEditing outside the set-key state.
    void CheckSetKeyMode();
    // Exclusive and FieldCount of the key buffer being edited (set-key state only).
    bool GetKeyExclusive();
    void SetKeyExclusive(bool value);
    int GetKeyFieldCount();
    void SetKeyFieldCount(int value);
    // Key buffer index := values for the leading index fields (FieldCount := their number).
    void SetKeyFields(host::TKeyIndex index, const std::vector<host::Variant>& values);
    // The number of leading index fields key buffer key takes part with: its FieldCount, or for a
    // buffer whose fields were typed directly (FieldCount 0), every index field (null ones restrict
    // nothing).
    int KeyFieldsInUse(const uint8_t* key) const;
    // Applies the range typed into the range start and end buffers; false when it is the one in force.
    bool SetCursorRange();
    // Lifts the range in force; false when there is none.
    bool ResetCursorRange();
    // Range start and end := masterFields' values on the leading index fields.
    void SetLinkRanges(const std::vector<host::TField*>& masterFields);
    // Size of a key buffer: the header and a native record.
    size_t KeyBufferSize() const {
        return sizeof(host::TKeyBuffer) + fRecordSize;
    }

    // ---- filters, searching and block reads (DataSetFilters.cpp)
    hDBIFilter CreateExprFilter(const std::string& text, host::TFilterOptions options, int priority);
    hDBIFilter CreateFuncFilter(pfGENFilter callback, int priority);
    // A filter accepting the rows whose fields equal values (Locate's options: case-insensitive,
    // partial last field).
    hDBIFilter CreateLookupFilter(const std::vector<host::TField*>& fields, const host::Variant& values,
                                  host::TLocateOptions options, int priority);
    // Replaces the expression filter when text or options change (while open).
    void SetFilterData(const std::string& text, host::TFilterOptions options);
    // filter := value on the cursor, dropping the old one; active when the dataset is filtered.
    void SetFilterHandle(hDBIFilter& filter, hDBIFilter value);
    void ActivateFilters();
    void DeactivateFilters();
    // The record-event filter the engine calls with the dataset as client data.
    static int16_t RecordFilter(uintptr_t clientData, uint8_t* recordBuffer, int32_t recordNumber);
    // Moves the cursor to the first row whose key fields equal keyValues (read into the temporary
    // buffer); false when none. sync is not used.
    bool LocateRecord(const std::string& keyFields, const host::Variant& keyValues,
                      host::TLocateOptions options, bool sync);
    // Moves the cursor to the first row in the current order whose key fields, compared in order,
    // come at or after keyValues (the first field deciding, ties going to the next); answers the
    // engine's code (DBIERR_EOF when no row does). A null value ends the key.
    DBIResult LocateNearestRecord(const std::string& keyFields, const host::Variant& keyValues,
                                  host::TLocateOptions options, bool sync);
    // The next row of a block read.
    void BlockReadNext() override;

    // ---- cached updates (CachedUpdates.cpp)
    // Allocates (or releases) the update buffer pair; an existing pair is always released first.
    void AllocCachedUpdateBuffers(bool allocate);
    // Re-synchronises the rows with the cursor after the pending updates were handled; answers 0.
    DBIResult ProcessUpdates(DBIDelayedUpdCmd command);

    // ---- state (declaration order of the design; see the concern files for their use)
    hDBICur fHandle = nullptr;
    RECProps fRecProps{};
    hDBIStmt fStmtHandle = nullptr;
    hDBIFilter fExprFilter = nullptr;
    hDBIFilter fFuncFilter = nullptr;
    host::TRecordBuffer fFilterBuffer = nullptr;
    std::array<uint16_t, MaxIndexFields> fIndexFieldMap{};
    bool fExpIndex = false;
    bool fCaseInsIndex = false;
    bool fCachedUpdates = false;
    bool fInUpdateCallback = false;
    bool fCanModify = false;
    bool fCacheBlobs = true;
    // While fields are calculated for a row just read (a fetch, or the row a lookup found): that
    // row's buffer, on whose row the native cursor stands.
    host::TRecordBuffer fCalcRowBuffer = nullptr;
    uint16_t fKeySize = 0;
    std::array<std::vector<uint8_t>, KeyBufferCount> fKeyBuffers;
    uint8_t* fKeyBuffer = nullptr; // the key buffer being edited
    struct TUpdateBuffers {
        uint16_t recordSize = 0;
        host::TRecordBuffer newBuffer = nullptr;
        host::TRecordBuffer oldBuffer = nullptr;
    };
    std::unique_ptr<TUpdateBuffers> fUpdateBuffers;
    uint8_t fSeqNums = 0;
    int fIndexFieldCount = 0;
    int fConstDisableCount = 0;
    uint16_t fRecordSize = 0;
    uint16_t fBookmarkOfs = 0;
    uint16_t fRecInfoOfs = 0;
    uint16_t fBlobCacheOfs = 0;
    uint16_t fRecBufSize = 0;
    bool fConstraintsCheck = false;
    int fBlockBufSize = 0;
    int fBlockBufOfs = 0;
    int fBlockBufCount = 0;
    int fBlockReadCount = 0;
    std::vector<uint8_t> fBlockBuffer;
    host::TRecordBuffer fOldBuffer = nullptr; // the row as it was when the edit began
    TmSQLDataSet* fParentDataSet = nullptr;
    TmSQLSQLUpdateObject* fUpdateObject = nullptr;
    bool fAutoRefresh = false;
    TDBFlags fDBFlags;
    host::TUpdateMode fUpdateMode = host::upWhereAll;
    TmSQLDatabase* fDatabase = nullptr;
    // The index whose order the cursor was opened on or switched to ('' = the natural order).
    std::string fIndexInForce;

private:
    friend class TmSQLDatabase;
    friend class TmSQLBlobStream;
    friend class TmSQLSQLUpdateObject; // re-reads the dataset after an update statement ran

    // The values of the blob cache, referred to from the buffers' blob-cache slots by handle.
    struct TBlobCache {
        std::unordered_map<uint32_t, std::string> values;
        uint32_t nextHandle = 1;
    };

    // Called by the database being destroyed: the dataset forgets it.
    void DatabaseDestroyed();
    // Closes and lets go of database and update object once (BeforeDestruction or the destructor).
    void Teardown() noexcept;
    void ReleaseOldBuffer();
    // A new buffer holding a copy of source (its blob cache slots empty).
    host::TRecordBuffer CopyRecordBuffer(host::TRecordBuffer source);
    uint32_t BlobCacheHandle(host::TRecordBuffer buffer, const host::TField* field) const;

    TBlobCache fBlobCache;
    int fCheckOpenRetries = 0;
    bool fTornDown = false;
};

} // namespace corvane
