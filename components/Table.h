// TmSQLTable: the dataset component that opens one mSQL table by name. It adds the host framework's
// table protocol to the dataset core: index selection by name or by field list (the rows come in the
// index's order, by the server's ORDER BY), index and field definitions, key searches, ranges,
// master/detail linking through a master data source, table maintenance and the provider operations.
//
// The class is implemented by concern:
//   Table.cpp          properties, opening, field definitions, existence, master/detail, streaming
//   TableIndexes.cpp   index selection and definitions, index descriptors, AddIndex, DeleteIndex,
//                      EmptyTable
//   TableKeys.cpp      key searches (SetKey, FindKey, GotoKey, ...) and ranges
//   TableProvider.cpp  the provider operations (PS*) of the current host generation
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/DataSet.h"
#include "host/DataSource.h"
#include "host/IndexDefs.h"

namespace corvane {

// The lock kinds of LockTable / UnlockTable.
enum TLockType : uint8_t { ltReadLock, ltWriteLock };

class TmSQLTable : public TmSQLDataSet {
public:
    explicit TmSQLTable(host::TComponent* owner);
    ~TmSQLTable() override;
    void BeforeDestruction() override;

    // ---- published properties
    // Opens with index number 0 (true) or none (false).
    bool DefaultIndex() const { return fDefaultIndex; }
    void SetDefaultIndex(bool value) { fDefaultIndex = value; }
    // Share mode of the open; only while closed.
    bool Exclusive() const { return fExclusive; }
    void SetExclusive(bool value);
    host::TIndexDefs* IndexDefs() const { return fIndexDefs.get(); }
    void SetIndexDefs(host::TIndexDefs* value);
    // IndexName and IndexFieldNames share one choice: setting one clears what the other reports.
    // While open, a new choice re-orders the rows (lifting a range, re-applying the master range).
    std::string IndexFieldNames() const { return fFieldsIndex ? fIndexName : std::string(); }
    void SetIndexFieldNames(const std::string& value);
    std::string IndexName() const { return fFieldsIndex ? std::string() : fIndexName; }
    void SetIndexName(const std::string& value);
    // The ';'-separated master fields whose values select the detail rows (on the leading index
    // fields).
    const std::string& MasterFields() const { return fMasterLink->FieldNames(); }
    void SetMasterFields(const std::string& value) { fMasterLink->SetFieldNames(value); }
    host::TDataSource* MasterSource() const { return fMasterLink->DataSource(); }
    // SCircularDataLink for a source that leads back to this table.
    void SetMasterSource(host::TDataSource* value);
    // Open mode; only while closed.
    bool ReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool value);
    // Whether FieldDefs and IndexDefs are streamed; set whenever a definition changes.
    bool StoreDefs() const { return fStoreDefs; }
    void SetStoreDefs(bool value) { fStoreDefs = value; }
    const std::string& TableName() const { return fTableName; }
    // Only while closed (also while being read from a stream).
    void SetTableName(const std::string& value);

    // ---- table information
    // Whether the table exists on the server (an open table does).
    bool Exists() { return GetExists(); }
    bool GetExists();
    // Replaces list's content with the names of the table's indexes.
    void GetIndexNames(host::TStrings* list);
    // The fields of the index in force.
    int IndexFieldCount() const { return GetIndexFieldCount(); }
    host::TField* IndexFields(int index) { return GetIndexField(index); }
    void SetIndexFields(int index, host::TField* value) { SetIndexField(index, value); }
    // The fields MasterFields names in the master dataset, and the detail fields they select: those
    // of the index chosen (IndexName, else IndexFieldNames, else the first primary index).
    void GetDetailLinkFields(std::vector<host::TField*>& masterFields,
                             std::vector<host::TField*>& detailFields);
    const std::string& NativeTableName() const { return fTableName; }
    std::string GetFileName();
    std::string GetTableTypeName() const { return {}; }
    int GetTableType() const { return 0; }
    std::string GetLanguageDriverName() const { return {}; }
    // The engine's table level while open (0: the native cursor knows none), else the stored level.
    int TableLevel();
    void SetTableLevel(int value) { fTableLevel = value; }
    bool IsSequenced() override { return false; }

    // ---- table maintenance (on the server; a closed table needs only its name)
    // Creates an index on the ';'-separated fields (ixUnique, ixPrimary make it unique; mSQL builds no
    // other kinds).
    void AddIndex(const std::string& name, const std::string& fields, host::TIndexOptions options,
                  const std::string& descFields = "");
    void DeleteIndex(const std::string& name);
    // Deletes every row.
    void EmptyTable();
    // Only checks that the table is open: mSQL takes no locks.
    void LockTable(TLockType lockType);
    void UnlockTable(TLockType lockType);

    // ---- key searches on the index in force
    void SetKey();
    void EditKey();
    // The row whose leading index fields equal values becomes current; false when none.
    bool FindKey(const std::vector<host::Variant>& values);
    // The first row at or after values in index order becomes current (the last row when none is).
    void FindNearest(const std::vector<host::Variant>& values);
    // The same with the search key typed after SetKey / EditKey (its KeyFieldCount leading fields, or
    // all index fields that hold a value).
    bool GotoKey();
    void GotoNearest();
    // Exclusive and field count of the key buffer being edited (set-key state only).
    bool KeyExclusive() { return GetKeyExclusive(); }
    void SetKeyExclusive(bool value) { TmSQLDataSet::SetKeyExclusive(value); }
    int KeyFieldCount() { return GetKeyFieldCount(); }
    void SetKeyFieldCount(int value) { TmSQLDataSet::SetKeyFieldCount(value); }

    // ---- ranges on the index in force
    void SetRangeStart();
    void SetRangeEnd();
    void EditRangeStart();
    void EditRangeEnd();
    // Applies the range typed; moves to its first row when it changed.
    void ApplyRange();
    void CancelRange();
    void SetRange(const std::vector<host::Variant>& startValues, const std::vector<host::Variant>& endValues);

    // The current row of other (a table on the same database and table) becomes this table's.
    void GotoCurrent(TmSQLTable* other);

    // ---- host TDataSet
    void InitFieldDefs() override;
    void UpdateIndexDefs() override;
    void DataEvent(host::TDataEvent event, intptr_t info) override;
    void DefChanged(host::TObject* sender) override;
    bool FieldDefsStored() const;
    bool IndexDefsStored() const;
    // A field descriptor for a field definition's name, type, size and precision (for creating tables).
    void EncodeFieldDesc(FLDDesc& desc, const std::string& name, host::TFieldType type, int size,
                         int precision);

#if CORVANE_HOST_GENERATION >= 5
    // ---- provider support
    std::string PSGetTableName() override {
        return fTableName;
    }
    void PSSetCommandText(const std::string& text) override;
    std::unique_ptr<host::TIndexDefs>
    PSGetIndexDefs(host::TIndexOptions indexTypes = host::AllIndexOptions) override;
    std::unique_ptr<host::TIndexDef> PSGetDefaultOrder() override;
    void PSSetParams(host::TParams* params) override;
    std::string PSGetKeyFields() override;
#endif

protected:
    hDBICur CreateHandle() override;
    void DestroyHandle() override;
    void PrepareCursor() override;
    bool GetCanModify() override;
    host::TDataSource* GetDataSource() override {
        return MasterSource();
    }
    void DoOnNewRecord() override;

private:
    // Opens the table on index indexName (retrying read-only when the server answers so).
    hDBICur GetHandle(const std::string& indexName, const std::string& tagName);
    // The name of the index a stored choice means (by fields: the index over those fields).
    void GetIndexParams(const std::string& indexString, bool byFields, std::string& indexName,
                        std::string& tagName);
    void SetIndex(const std::string& value, bool byFields);
    // The index definition of the choice in force, or null (failures count as none).
    host::TIndexDef* ChosenIndexDef();
    void DecodeIndexDesc(const IDXDesc& desc, std::string& source, std::string& name, std::string& fields,
                         std::string& descFields, host::TIndexOptions& options);
    void EncodeIndexDesc(IDXDesc& desc, const std::string& name, const std::string& fields,
                         host::TIndexOptions options, const std::string& descFields);
    // Applies the master's range when the master link is active with fields.
    void CheckMasterRange();
    void UpdateRange();
    void MasterChanged(host::TObject* sender);
    void MasterDisabled(host::TObject* sender);
    // Finds the row of the search key (GotoKey) or the nearest one at or after it (GotoNearest).
    // given: the values the search key was set from (FindKey, FindNearest), for the texts it cut.
    bool SearchKey(bool nearest, const std::vector<host::Variant>* given);
    // A database error naming the table when its cursor has no field index to search on.
    void CheckSearchIndex();

    std::unique_ptr<host::TIndexDefs> fIndexDefs;
    std::unique_ptr<host::TMasterDataLink> fMasterLink;
    bool fDefaultIndex = true;
    bool fExclusive = false;
    bool fReadOnly = false;
    bool fStoreDefs = false;
    bool fFieldsIndex = false; // the stored index choice is a field list
    std::string fIndexName;    // the stored index choice
    std::string fTableName;
    int fTableLevel = 0;
};

} // namespace corvane
