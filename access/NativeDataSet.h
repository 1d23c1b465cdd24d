// TNativeDataSet: the native cursor behind every table and statement handle. It runs one SQL statement
// over its TNativeConnect, keeps the whole stored result in memory, and offers record-oriented
// navigation over it (first, last, next, prior, seek to a row, bookmarks) that reads the current row
// into a caller's work buffer (layout in FieldDescs.h).
//
// The class is implemented by concern:
//   NativeDataSet.cpp  construction, statement execution, navigation, bookmarks, record operations,
//                      properties
//   FieldDescs.cpp     field metadata, descriptors, row conversion into the work buffer and between the
//                      work buffer and the host representation
//   Indexes.cpp        the index list, index order, keys and ranges
//   Filters.cpp        client-side filters
//   ModifySQL.cpp      generated INSERT/UPDATE/DELETE statements, record writes, query parameters
//   Blobs.cpp          TEXT blobs and their edit streams
//
// Ranges and index order change the statement and re-run it; filters skip rows on the client; writes
// run a separate statement and then re-run this cursor's. There is no server cursor and no server lock:
// a record lock only stops the cursor from refreshing the record buffer.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "access/BlobStreams.h"
#include "access/EngineTypes.h"
#include "access/FieldDescs.h"
#include "access/Filter.h"
#include "access/IndexDesc.h"
#include "access/Indexes.h"
#include "access/NativeConnect.h"
#include "client/Container.h"
#include "client/msqlABI.h"
#include "host/Strings.h"

namespace host {
class TParams;
} // namespace host

namespace corvane {

// Where a cursor stands.
enum TCursorPosition : uint8_t {
    cpUnpositioned = 0, // initial state, and after a failed re-read
    cpOnRecord = 1,
    cpBeforeFirst = 2, // SetToBegin
    cpAfterLast = 3,   // SetToEnd
    cpCrack = 4,       // after a write, or curMAKECRACK
};

// Direction of the last record step; filters skip rows in it.
enum TCursorDirection : uint8_t { cdForward = 1, cdBackward = 2 };

class TNativeDataSet : public host::TObject {
public:
    // A cursor on connection. container and reserved are not used. indexName (at most 260 characters)
    // is the index the table is opened on. A non-empty tableName (at most 260 characters) is stored and
    // opened at once; without one the cursor stays inactive (a statement cursor).
    TNativeDataSet(TNativeConnect* connection, TContainer* container, const std::string& tableName,
                   const std::string& indexName, uint16_t reserved);
    // CloseTable when active; clears the index information.
    ~TNativeDataSet() override;

    // ---- Statement execution

    // (Re)opens the cursor: runs the statement and keeps its whole result. The statement is the SQL
    // text of a statement cursor, otherwise "Select * from " + table name followed by the range and
    // order lines. Raises DBIERR_QRYEMPTY with neither SQL text nor table name, the connection's native
    // error when the server refuses the statement, and DBIERR_RECTOOBIG (keeping no result) when the
    // columns need a work buffer larger than MaxWorkBufferSize. A statement without result set leaves
    // the cursor inactive.
    void OpenTable();
    // Inactive; rows affected := 0; record number := 0; the result is released. Descriptors, indexes
    // and statement lists are kept.
    void CloseTable();
    // Runs the SQL text without keeping a result: a SELECT or SHOW sets rows affected to its row count,
    // an INSERT, UPDATE or DELETE to the server's count of affected rows, anything else to 0. Does
    // nothing while the connection is not connected. Raises DBIERR_QRYEMPTY without SQL text.
    void Execute();
    // The table statement: the head, range and order lines, each followed by one blank. Raises
    // DBIERR_QRYEMPTY when the head list is empty.
    std::string GetSQLClause() const;
    const std::string& GetTableName() const { return fTableName; }
    // Stores the first 260 characters; an empty text changes nothing.
    void SetTableName(const std::string& name);
    const std::string& GetIndexName() const { return fIndexName; }
    // The SQL text of a statement cursor (not owned), or null.
    const char* GetSQLText() const { return fSQLText; }
    // Makes the cursor refer to text (not copied): the caller keeps it alive while the cursor uses it.
    void SetSQLText(const char* text) { fSQLText = text; }
    bool Active() const { return fActive; }
    TNativeConnect* Connection() const { return fConnect; }
    int32_t RowsAffected() const { return fRowsAffected; }

    // ---- Navigation. Each fetches the row into the current buffer (then forgets the buffer); when no
    // row is there it raises the code shown, leaving no current row and the buffer untouched.

    // Record number := 0; DBIERR_BOF.
    virtual void FirstRecord();
    // Record number := row count - 1 (0 when empty); DBIERR_EOF.
    void LastRecord();
    // Record number + 1; DBIERR_EOF (the record number then equals the row count).
    void NextRecord();
    // Record number - 1; DBIERR_BOF.
    void PrevRecord();
    // Fetches row n without changing the record number; DBIERR_BOF.
    void CurrentRecord(int32_t n);

    // ---- Record operations. GetNextRecord, GetPriorRecord, GetRecord, SetToBookmark, SettoSeqNo and
    // GetRecordCount first run the statement again when a re-run failed before (CompleteReread).

    // Position := before first.
    virtual void SetToBegin();
    // Position := after last.
    void SetToEnd();
    // Reads the next row into buffer (the first from an unpositioned or before-first cursor) and ends
    // on record. Past the end raises DBIERR_EOF. With a lock other than dbiNOLOCK the row just reached
    // is read again under that lock.
    virtual void GetNextRecord(DBILockType lock, uint8_t* buffer, RECProps* props);
    // The mirror of GetNextRecord: the last row from an unpositioned or after-last cursor; raises
    // DBIERR_BOF past the beginning.
    void GetPriorRecord(DBILockType lock, uint8_t* buffer, RECProps* props);
    // Reads the current row into buffer: on record re-reads it (unless the record is locked); before
    // first raises DBIERR_EOF, after last DBIERR_BOF, unpositioned DBIERR_NOCURRREC; on a crack moves to
    // the next row, else the prior one, else the first.
    void GetRecord(DBILockType lock, uint8_t* buffer, RECProps* props);
    // Row count of the result (0 without one); filters are not taken into account.
    virtual int32_t GetRecordCount();
    // Reads up to records rows, the ones GetNextRecord would reach one after another (filters apply),
    // into consecutive work buffers of buffer (GetWorkBufferSize bytes each); records := the number
    // read. Reaching the end raises DBIERR_EOF, with the rows read before it counted in records.
    // DBIERR_INVALIDPARAM without buffer.
    void ReadBlock(uint32_t& records, uint8_t* buffer);
    // The 0-based record number.
    int32_t GetRecordNo() const { return fRecNo; }
    // n < 0: record number := row count and (unless on a crack) an attempt to fetch that row, errors
    // ignored; n >= 0: unless on a crack, CurrentRecord(n).
    void SetToRecord(int32_t n);
    // Writes the 8-byte bookmark of the record number into target (DBIERR_INVALIDPARAM without one).
    void GetBookMark(uint8_t* target) const;
    // Goes to the row of bookmark and ends on record: a negative bookmark goes to the first row.
    // DBIERR_INVALIDPARAM without a bookmark.
    virtual void SetToBookmark(const uint8_t* bookmark);
    // result := 0 for bookmarks of the same row, -1 when a lies before b, 1 when after it.
    // DBIERR_INVALIDPARAM when either is missing.
    void CompareBookMarks(const uint8_t* a, const uint8_t* b, int16_t& result) const;
    // Field number's value in buffer into host form (see NativeToHost); without target only blank is
    // reported, from the status slot. DBIERR_INVALIDPARAM without buffer.
    void GetField(uint16_t number, uint8_t* buffer, void* target, bool& blank);
    // Stores source (host form) as field number's value in buffer; changed := true, null := no source.
    // DBIERR_INVALIDPARAM without buffer, and for a value mSQL cannot carry (see AdjustHostField).
    void PutField(uint16_t number, uint8_t* buffer, const void* source);
    // Zero-fills a work buffer, binds every descriptor to it unchanged and null, and makes it the
    // current buffer. DBIERR_INVALIDPARAM without buffer.
    void InitRecord(uint8_t* buffer);
    // Re-reads the current row into buffer unless the record is locked; lock = dbiREADLOCK locks it.
    void GetWorkRecord(DBILockType lock, uint8_t* buffer);
    void LockRecord(DBILockType lock) { fRecordLocked = lock != dbiNOLOCK; }
    void RelRecordLock() { fRecordLocked = false; }
    bool RecordLocked() const { return fRecordLocked; }
    // The next read runs the statement again, so that the cursor holds the rows the server has now,
    // and stands on the same row number (the last one when fewer rows remain).
    void ForceReread();
    // Raises EmSQLException code when condition holds.
    static void CheckParam(bool condition, DBIResult code);
    // The field numbers that identify a row in generated WHERE clauses: the key fields of the last
    // primary or unique index; without one, none when uniqueOnly is set, else every non-blob field.
    void GetKeys(bool uniqueOnly, std::vector<uint16_t>& numbers, uint16_t& count);
    // Answers a property (only the low 16 bits of property are compared): writes the value to value
    // and its size to length. Unknown properties write nothing and report length 0. A missing value
    // or a maxLength too small for the value raises DBIERR_INVALIDPARAM.
    void GetProp(uint32_t property, void* value, uint32_t& length, uint32_t maxLength);
    // Sets a property: curMAKECRACK puts the cursor on a crack; stmtLIVENESS makes the cursor
    // read-only unless value is wantLIVE. Others are accepted without effect.
    void SetProp(uint32_t property, uintptr_t value);
    // Fills props (zeroed first) with the cursor's properties.
    void GetCursorProps(CURProps& props);
    TCursorPosition Position() const { return fPosition; }
    bool ReadOnly() const { return fReadOnly; }

    // The buffer that the next row read fills.
    void SetBufferAddress(uint8_t* buffer) { fCurrentBuffer = buffer; }
    void SetInternalBuffer(uint8_t* buffer) { fCurrentBuffer = buffer; }
    void SetCurrentBuffer(uint8_t* buffer) { fCurrentBuffer = buffer; }
    uint8_t* GetCurrentBuffer() const { return fCurrentBuffer; }

    // ---- Field metadata (a column index counts from 0, a column number from 1)

    // Columns of the open result; 0 without one.
    int FieldCount() const;
    // The column's name (at most 255 characters); empty without result or column.
    std::string FieldName(int index) const;
    // The column's mSQL type code; 0 without result or column.
    int FieldType(int index) const;
    // The column's declared length; 0 without result or column.
    int FieldSize(int index) const;
    // The client library's description of the column; null without result or column.
    m_field* GetFieldInfo(int index) const;
    // The column's text in the current row; null without result, row or value (NULL).
    const char* FieldBuffer(int index) const;
    bool FieldIsNull(int index) const { return FieldBuffer(index) == nullptr; }
    // Index of the first column named exactly name; else name = base + "_" + k (k >= 1) designates the
    // (k+1)-th column named base; -1 when nothing matches.
    int FieldIndex(const std::string& name) const;
    // Sum of the widths of the columns before column number; outside 1..FieldCount raises
    // DBIERR_INVALIDPARAM.
    int FieldOffset(int number) const;
    // R of the layout; computed once while a result is open and kept; 0 before.
    int GetRecordSize();
    // Builds the descriptors when there are none, then GetRecordSize.
    virtual int GetBufferSize();
    // Fixes the bookmark offset (GetBufferSize + 8 x descriptors + 1) and returns the work buffer size.
    virtual int GetWorkBufferSize();
    // Position of the bookmark in the work buffer; 0 until GetWorkBufferSize ran.
    int BookmarkOffset() const { return fBookmarkOffset; }
    // Describes column number into desc / vchk with its mSQL type and declared length. Without desc
    // nothing happens; a number beyond the columns raises DBIERR_INVALIDRECSTRUCT.
    void GetNativeDesc(int number, FLDDesc* desc, VCHKDesc* vchk, uint16_t& nativeType, uint16_t& nativeSize);
    // Rebuilds the descriptors from the result and gives them their status slots.
    void InitFieldDescs();
    // Copies the FLDDesc of descriptors 1..FieldCount into consecutive entries of descs.
    void GetFieldDescs(FLDDesc* descs);
    // Copies descriptor number's VCHKDesc.
    void GetVchkDesc(uint16_t number, VCHKDesc& target);
    TmSQLFields& FieldDescs() { return *fFieldDescs; }

    // Reads field's value in record into host form: blank := null indicator; when not null and target
    // is given, converts from the data slot (AdjustNativeField). DBIERR_INVALIDPARAM without record.
    void NativeToHost(TmSQLField* field, uint8_t* record, bool& blank, void* target);
    // Stores source (host form) into field's slot in record (AdjustHostField); nothing without source.
    void HostToNative(TmSQLField* field, uint8_t* record, const void* source);
    // Converts one slot (presence byte followed by the data) into host form; blank when the presence
    // byte is 0 or the type has no host form.
    void AdjustNativeField(const TmSQLField* field, const uint8_t* slot, void* target, bool& blank) const;
    // Writes source (host form) into one slot: cleared, presence byte 1, data by type; a type without
    // host form leaves the data zero. A date outside the years 1 to 9999 or a time that is not a time
    // of day raises DBIERR_INVALIDPARAM with a text naming the field, and leaves the slot as it was.
    void AdjustHostField(const TmSQLField* field, uint8_t* slot, const void* source) const;

    // ---- Indexes, keys and ranges (Indexes.cpp)

    // Number of indexes of the cursor's table.
    int GetIndexCount();
    // desc := index number's descriptor (number 0 reads index 1); DBIERR_NOASSOCINDEX when there is
    // no such index.
    void GetIndexDesc(uint16_t number, IDXDesc& desc);
    // Fills descs[0..count) with the descriptors of indexes 1..count.
    void GetIndexDescs(IDXDesc* descs);
    // Empties the index list; key number := 0.
    void ClearIndexInfo();
    // Reads the index list from the server again (after indexes were created or dropped). The index
    // in force stays in force, found by its name; when it is gone the server's natural order comes
    // back (re-running the statement). The current description follows.
    void RefreshIndexes();
    TmSQLIndexes& Indexes() { return *fIndexes; }
    uint16_t KeyNumber() const { return fKeyNumber; }
    bool RangeActive() const { return fRangeActive; }
    const IDXDesc& CurrentIndexDesc() const { return fCurrentIndexDesc; }

    // Selects the index named indexName (exact, case-sensitive match), or index indexId when the name
    // is empty: lifts an active range, puts the index's order in force (re-running the statement when
    // the order changes) and makes its descriptor the current one. tagName and curRec are not used.
    // DBIERR_INVALIDPARAM without a name, DBIERR_NOSUCHINDEX for a name no index bears (nothing is
    // changed then), DBIERR_NOASSOCINDEX when the table has no indexes (after the order was reset).
    void SwitchToIndex(const char* indexName, const char* tagName, uint16_t indexId, bool curRec);
    // Orders the statement by the key fields of index n (none for 0 or a number beyond the list) and
    // re-runs it; nothing happens when n is already in force. When the re-run fails, the order in force
    // before stays in force (so that the same call tries again) and is re-run before the next read.
    void SetKeyNumber(int16_t n);
    // Writes the key image of record (the current buffer when null) into key: the key fields of the
    // current index in key order, each as presence byte and data slot like in the work buffer, a null
    // field as zero bytes; iKeyLen bytes in all. DBIERR_INVALIDPARAM without record or key.
    void ExtractKey(uint8_t* record, uint8_t* key);
    // Restricts the rows to those between the bounds on the current index's key fields and re-runs
    // the statement. A bound is an extracted key (keyItself) or a work buffer; its first fields1 /
    // fields2 key fields give one condition each (a null field none). len1 and len2 are not used. A
    // failure lifts the range (re-running the statement unrestricted) and is raised again.
    void SetRange(bool keyItself, uint16_t fields1, uint16_t len1, uint8_t* key1, bool key1Incl,
                  uint16_t fields2, uint16_t len2, uint8_t* key2, bool key2Incl);
    // Lifts the range; re-runs the statement when one was active.
    void ResetRange();
    // Runs the cursor's statement again (OpenTable). When that fails, the cursor has no result: it runs
    // the statement again before its next read (CompleteReread).
    void ReOpenTable();
    // Clears the record lock and reads row n (row 1 when n < 0) into the current buffer; DBIERR_BOF
    // when there is no such row.
    void SettoSeqNo(int32_t n);

    // ---- Record writes and query parameters (ModifySQL.cpp)

    // The statements that write record buffers into table; an empty text when there is nothing to
    // write. INSERT lists every non-null field (an all-null record inserts a row of NULLs); UPDATE
    // assigns every changed field of newRecord (NULL for a null one) WHERE the key conditions of
    // oldRecord hold; DELETE removes the row whose key conditions hold in oldRecord. Key conditions test
    // the fields of GetKeys(false), a null one with mSQL's "= NULL". An UPDATE or DELETE without any key
    // condition raises DBIERR_NOTUNIQUELYINDEXED. A TEXT field whose edit stream handle is stale raises
    // DBIERR_INVALIDHNDL; a TEXT value with a zero byte, which mSQL cannot carry, DBIERR_INVALIDPARAM.
    std::string GetInsertSQL(const std::string& table, uint8_t* newRecord);
    std::string GetUpdateSQL(const std::string& table, uint8_t* oldRecord, uint8_t* newRecord);
    std::string GetDeleteSQL(const std::string& table, uint8_t* oldRecord);
    // Write a record through a generated statement, then re-run the cursor's statement and re-position:
    // on the written row (found by its key values) after an insert or modify, on the row before the
    // deleted one after a delete; on the nearest row when that row is not in the result, unpositioned
    // when the result is empty. An UPDATE or DELETE changes exactly the row it means: one whose key
    // conditions do not come from a unique index is counted first and refused with
    // DBIERR_NOTUNIQUELYINDEXED when they match several rows; one that finds no row (it changed or
    // vanished since it was read) raises DBIERR_KEYORRECDELETED. Such a refusal and a server error end
    // the write with the cursor unchanged. Once the server stored the write it succeeds: a failure to
    // re-run the statement is reported by the next read instead (CompleteReread). lock and freeLock are
    // not used.
    void InsertRecord(DBILockType lock, uint8_t* newRecord);
    void AppendRecord(uint8_t* newRecord);
    void ModifyRecord(uint8_t* oldRecord, uint8_t* newRecord, int32_t freeLock);
    void DeleteRecord(uint8_t* oldRecord);
    // Replaces sql by its text with the parameter values substituted (SubstituteParams) and makes it
    // the cursor's statement text; the caller keeps sql alive while the cursor uses it.
    void QuerySetParams(const host::TParams& params, std::string& sql);

    // ---- TEXT blobs (Blobs.cpp)

    // Each raises DBIERR_NOTABLOB for a field that is not a TEXT field and DBIERR_INVALIDPARAM without
    // record.

    // Only the type check; openMode is not used.
    void OpenBlob(uint8_t* record, uint16_t field, DBIOpenMode openMode);
    // Releases the field's edit stream, if any.
    void FreeBlob(uint8_t* record, uint16_t field);
    // 0 for a null field; otherwise the edit stream's size, or without one the length of the column's
    // text in the current row (0 without a row).
    void GetBlobSize(uint8_t* record, uint16_t field, uint32_t& size);
    // Reads up to length bytes from offset into target: from the edit stream, or without one from the
    // column's text in the current row. Nothing (and no check) without target or length.
    void GetBlob(uint8_t* record, uint16_t field, uint32_t offset, uint32_t length, uint8_t* target,
                 uint32_t& read);
    // Writes length bytes of source at offset into the field's edit stream (created on first use as a
    // copy of the row's text, empty for a null value); 0 bytes at offset 0 empty it.
    // changed := true, null := (offset + length = 0). DBIERR_INVALIDPARAM for a length without
    // source, and for offset + length beyond MaxTextValueSize (nothing is changed then).
    void PutBlob(uint8_t* record, uint16_t field, uint32_t offset, uint32_t length, const uint8_t* source);
    // Cuts the value to length bytes: 0 empties the edit stream and makes the field null; a greater
    // length shortens the edit stream (created from the row's text when there is none).
    void TruncateBlob(uint8_t* record, uint16_t field, uint32_t length);
    // The cursor's edit streams.
    const TBlobStreams& BlobStreams() const { return fBlobStreams; }

    // ---- Filters (Filters.cpp). Filter handles are checked against the list before use: a handle
    // that is not in it raises DBIERR_NOSUCHFILTER and is never dereferenced.

    // Whether the record in buffer passes every active filter.
    virtual bool FilteredRecord(uint8_t* buffer);
    // Moves on in the last direction until the record in buffer passes; running off the end raises
    // DBIERR_EOF going forward, DBIERR_BOF going backward. Nothing without an active filter. Without
    // buffer the rows are checked in a buffer of the cursor's own, so a search that passes no buffer
    // still lands on a row that passes.
    void CheckFilter(uint8_t* buffer);
    bool FiltersActive() const { return fFiltersActive; }
    TContainer& Filters() { return *fFilters; }
    // Makes a new inactive filter from expression (may be null; copied, DBIERR_INVALIDFILTER when
    // malformed) and callback (may be null; called with clientData), appends it and returns it in
    // handle. Filters are evaluated in the order they were added: priority and canAbort are not used.
    void AddFilter(uintptr_t clientData, uint16_t priority, bool canAbort, const host::CANExpr* expression,
                   pfGENFilter callback, hDBIFilter& handle);
    // Frees the filter, or every filter when handle is null.
    void DropFilter(hDBIFilter handle);
    // Activates the filter, or every filter when handle is null.
    void ActivateFilter(hDBIFilter handle);
    // Deactivates the filter, or every filter when handle is null.
    void DeactivateFilter(hDBIFilter handle);
    // Any-active flag := some filter in the list is active.
    void UpdateFilterStatus();
    int FilterCount() const { return fFilters->GetCount(); }

protected:
    // The statement lists of a table cursor, joined in this order: head, range lines, order lines.
    host::TStringList& StatementHead() { return *fStmtHead; }
    host::TStringList& RangeList() { return *fRangeList; }
    host::TStringList& OrderList() { return *fOrderList; }
    void SetFiltersActive(bool value) { fFiltersActive = value; }
    void SetPosition(TCursorPosition position) { fPosition = position; }

private:
    // Layout of one result column, learnt when a result is stored.
    struct TColumnLayout {
        std::string name; // as FieldName reports it
        int type;         // mSQL type code
        int nativeSize;   // declared length
        int width;        // data slot width
        bool operator==(const TColumnLayout&) const = default;
    };
    // A column value converted from its text before anything is written into a buffer.
    struct TColumnValue {
        int32_t integer;
        double real;
    };

    // ---- Statement execution and reading rows (NativeDataSet.cpp, FieldDescs.cpp)

    // Sends the statement and keeps its result (see OpenTable).
    void RunStatement();
    // Learns the column layout of the stored result; true when it differs from the one learnt before.
    bool ReadColumnLayout();
    // Size of the work buffer the learnt column layout needs (R + 1 + 8n + 8).
    int64_t LayoutWorkBufferSize() const;
    // The name of column index in the learnt layout; kept while the cursor has no result, so that the
    // statements a cursor builds (writes, orders, ranges) never depend on holding one.
    const std::string& ColumnName(int index) const;
    // When a re-run of the statement failed (see ReOpenTable), runs it again before a row is read: the
    // failure of a write's re-read is raised once as it was, then every read tries again until a
    // re-run succeeds; the cursor then stands where the failed re-run would have put it.
    void CompleteReread();
    // Moves the record number to recNo and fetches that row; raises code when there is none. A row that
    // cannot be converted restores the record number and lets the conversion error pass.
    void MoveAndFetch(int32_t recNo, DBIResult code);
    // Seeks and fetches row position into the current buffer (bookmark and data); false when there is
    // no such row. A conversion error leaves the buffer untouched and forgets buffer and row.
    bool FetchRow(int32_t position);
    // Converts the texts of row that need it; raises the host's conversion error before any buffer
    // is written.
    void ConvertRow(m_row row);
    // Writes the converted row into the current buffer, then forgets the buffer.
    void InternalReadBuffer();
    // Writes the bookmark of row position into the current buffer at the bookmark offset.
    void SetBufBookmark(int32_t position);
    // Row count of the stored result; 0 without one.
    int32_t RowCount() const;

    // ---- Indexes and keys (Indexes.cpp)

    // Reads the table's indexes from the server into the list (index discovery).
    void ReadIndexes();
    // Puts the order of the index the cursor was opened on in force after the first open of a table
    // that has indexes.
    void SwitchToIndexOnOpen();
    // The table a write or the index listing refers to: the statement's table for a statement cursor.
    std::string WriteTableName() const;
    // Room for the host form of any field of the cursor.
    uint8_t* HostValueBuffer();

    // ---- Statements and record writes (ModifySQL.cpp)

    // Appends the literal of field's value in record (host form read through NativeToHost) to out;
    // false when the field is null or its type has no literal form.
    bool AppendFieldLiteral(TmSQLField* field, uint8_t* record, std::string& out);
    // Appends the literal of a host-form value of field to out; false when its type has none.
    bool AppendHostLiteral(const TmSQLField* field, const void* value, std::string& out) const;
    // " AND "-joined key conditions of record; empty when there is no key field to test. firstField
    // (when given) receives the name of the first field tested.
    std::string KeyConditions(uint8_t* record, std::string* firstField = nullptr);
    // The text of field's edit stream in record (empty without one); DBIERR_INVALIDHNDL for a stale
    // handle.
    std::string EditStreamText(TmSQLField* field);
    // Runs sql on a temporary cursor; returns its rows affected (the row count of a SELECT).
    int32_t ExecuteOnTemporaryCursor(const std::string& sql);
    // Makes sure that the key conditions of record name exactly one row of table before an UPDATE or
    // DELETE is sent: conditions from a unique index do; others are counted first, and more than one
    // row raises DBIERR_NOTUNIQUELYINDEXED, none DBIERR_KEYORRECDELETED.
    void CheckSingleRow(const std::string& table, uint8_t* record);
    // Sends a generated UPDATE or DELETE; a row count of 0 raises DBIERR_KEYORRECDELETED.
    int32_t ExecuteRowWrite(const std::string& sql);
    // Re-runs the statement after a write and positions the cursor (see InsertRecord); record receives
    // the row, keyRecord (when given) identifies the written row by its key values. The write is stored
    // already, so a failure here is not raised: it is left to CompleteReread.
    void RefreshAfterWrite(uint8_t* record, uint8_t* keyRecord, int32_t fallback);
    // Whether the stored row at position holds the values of record in the given fields.
    bool RowMatches(int32_t position, const std::vector<uint16_t>& fields, uint8_t* record);
    // Releases the edit streams referenced from record's TEXT fields.
    void ReleaseEditStreams(uint8_t* record);

    // ---- TEXT blobs (Blobs.cpp)

    // The TEXT descriptor of field bound to record; raises DBIERR_INVALIDPARAM / DBIERR_NOTABLOB.
    TmSQLField* BlobField(uint8_t* record, uint16_t field);
    // The edit stream field's slot refers to; null without one or for a stale handle.
    host::TMemoryStream* EditStream(const TmSQLField* field) const;
    // The edit stream of field, created empty (or from text) when the slot has none.
    host::TMemoryStream& RequireEditStream(TmSQLField* field, const char* text);
    // The column text of field in the current row; null without row or for NULL.
    const char* RowText(const TmSQLField* field) const;

    // ---- Filters (Filters.cpp)

    // Index of handle in the filter list; raises DBIERR_NOSUCHFILTER when it is not there.
    int FilterIndex(hDBIFilter handle) const;
    // Frees a filter taken out of the list; while filters are being evaluated (a callback may drop
    // filters) it is kept until the evaluation ends.
    void RetireFilter(TmSQLFilter* filter);

    // ---- State

    // The connection and the statement.
    TNativeConnect* fConnect;
    std::string fTableName;
    const char* fSQLText = nullptr;
    std::unique_ptr<host::TStringList> fStmtHead;
    std::unique_ptr<host::TStringList> fRangeList;
    std::unique_ptr<host::TStringList> fOrderList;

    // The stored result and the position in it.
    TResultPtr fResult;
    bool fActive = false;
    int32_t fRowsAffected = 0;
    int32_t fRecNo = 0;
    m_row fCurrentRow = nullptr;
    TCursorPosition fPosition = cpUnpositioned;
    TCursorDirection fLastDirection = cdForward;
    uint8_t* fCurrentBuffer = nullptr;
    bool fRecordLocked = false;
    bool fReread = false; // ForceReread
    bool fReadOnly = false;
    // A re-run of the statement failed (CompleteReread): the failure still to be reported when it
    // came from a write's re-read, and the record number the re-run was to stand on.
    bool fRereadPending = false;
    std::exception_ptr fRereadError;
    int32_t fRereadRecNo = 0;

    // Columns and descriptors.
    std::vector<TColumnLayout> fColumns;
    std::vector<TColumnValue> fRowValues;
    std::unique_ptr<TmSQLFields> fFieldDescs;
    int32_t fRecordSize = -1;
    int32_t fBookmarkOffset = 0;

    // Indexes and ranges. The server's index listing has been read once fIndexesRead is set (an empty
    // list is then final until ClearIndexInfo).
    std::unique_ptr<TmSQLIndexes> fIndexes;
    bool fIndexesRead = false;
    uint16_t fKeyNumber = 0;
    std::string fIndexName;
    IDXDesc fCurrentIndexDesc{};
    bool fRangeActive = false;
    // Host-form value of one field, reused by key extraction, ranges and statement building.
    std::vector<uint8_t> fHostValue;

    // Edit streams of TEXT fields, referenced from work buffers by handle.
    TBlobStreams fBlobStreams;

    // Filters.
    std::unique_ptr<TContainer> fFilters;
    bool fFiltersActive = false;
    int fFilterEvaluations = 0;                                // nesting of FilteredRecord
    std::vector<std::unique_ptr<TmSQLFilter>> fRetiredFilters; // dropped during an evaluation
    std::vector<uint8_t> fFilterBuffer;                        // rows checked without a caller's buffer
};

} // namespace corvane
