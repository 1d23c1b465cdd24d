// The table component: properties, opening the table by name, field definitions of a closed table,
// existence, master/detail linking, moving to another table's row, and streaming registration.
#include "components/Table.h"

#include <algorithm>
#include <cstring>

#include "host/Application.h"
#include "host/Messages.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

namespace corvane {

namespace {

// "Table is read only.": the open is tried again read-only.
constexpr DBIResult DBIERR_TABLEREADONLY = 10763;
// "Table does not exist." and "Could not find object.": a table that is not there.
constexpr DBIResult DBIERR_NOSUCHTABLE = 10024;
constexpr DBIResult DBIERR_OBJNOTFOUND = 8712;
// The cursor property of the table level.
constexpr uint32_t curTABLELEVEL = CURBASE + 3;
// Index number of OpenTable: the default index, or none.
constexpr uint16_t kDefaultIndexId = 0;
constexpr uint16_t kNoIndexId = 0xFFFF;

// Releases a list cursor opened for one operation.
class TListCursor {
public:
    explicit TListCursor(TmSQLEngine* engine) : fEngine(engine) {}
    ~TListCursor() {
        // The list was read; closing it cannot change what was read.
        if (fCursor) fEngine->CloseCursor(fCursor);
    }
    TListCursor(const TListCursor&) = delete;
    TListCursor& operator=(const TListCursor&) = delete;
    hDBICur& Handle() { return fCursor; }

private:
    TmSQLEngine* fEngine;
    hDBICur fCursor = nullptr;
};

// Holds a DB flag of dataSet for a scope, giving back the state it found.
class TDBFlagScope {
public:
    TDBFlagScope(TmSQLDataSet* dataSet, TDBFlag flag)
        : fDataSet(dataSet), fFlag(flag), fPrevious(dataSet->SetDBFlag(flag, true)) {}
    ~TDBFlagScope() {
        try {
            fDataSet->SetDBFlag(fFlag, fPrevious);
        } catch (...) {
            // Letting go of the database may close it; a failure there goes to the application.
            host::Application().HandleException(fDataSet);
        }
    }
    TDBFlagScope(const TDBFlagScope&) = delete;
    TDBFlagScope& operator=(const TDBFlagScope&) = delete;

private:
    TmSQLDataSet* fDataSet;
    TDBFlag fFlag;
    bool fPrevious;
};

} // namespace

// ---- Construction and properties

TmSQLTable::TmSQLTable(host::TComponent* owner)
    : TmSQLDataSet(owner), fIndexDefs(std::make_unique<host::TIndexDefs>(this)),
      fMasterLink(std::make_unique<host::TMasterDataLink>(this)) {
    fCacheBlobs = false;
    fMasterLink->SetOnMasterChange([this](host::TObject* sender) { MasterChanged(sender); });
    fMasterLink->SetOnMasterDisable([this](host::TObject* sender) { MasterDisabled(sender); });
}

TmSQLTable::~TmSQLTable() {
    // Closed while the table is whole (a table not deleted through `delete` reaches here open).
    try {
        if (Active()) Close();
    } catch (...) {
        host::Application().HandleException(this);
    }
}

void TmSQLTable::BeforeDestruction() {
    TmSQLDataSet::BeforeDestruction();
    fMasterLink->SetDataSource(nullptr);
}

void TmSQLTable::SetExclusive(bool value) {
    CheckInactive();
    fExclusive = value;
}

void TmSQLTable::SetReadOnly(bool value) {
    CheckInactive();
    fReadOnly = value;
}

void TmSQLTable::SetTableName(const std::string& value) {
    if (ComponentState().Contains(host::csReading)) {
        fTableName = value;
        return;
    }
    if (value == fTableName) return;
    CheckInactive();
    fTableName = value;
    DataEvent(host::dePropertyChange, 0);
}

void TmSQLTable::SetIndexDefs(host::TIndexDefs* value) {
    fIndexDefs->Assign(value);
}

void TmSQLTable::SetMasterSource(host::TDataSource* value) {
    if (value && IsLinkedTo(value)) host::DatabaseError(host::SCircularDataLink, this);
    fMasterLink->SetDataSource(value);
}

bool TmSQLTable::GetCanModify() {
    return TmSQLDataSet::GetCanModify() && !fReadOnly;
}

void TmSQLTable::DataEvent(host::TDataEvent event, intptr_t info) {
    if (event == host::dePropertyChange) fIndexDefs->SetUpdated(false);
    TmSQLDataSet::DataEvent(event, info);
}

void TmSQLTable::DefChanged(host::TObject* /*sender*/) {
    fStoreDefs = true;
}

bool TmSQLTable::FieldDefsStored() const {
    return fStoreDefs && FieldDefs()->Count() > 0;
}

bool TmSQLTable::IndexDefsStored() const {
    return fStoreDefs && fIndexDefs->Count() > 0;
}

std::string TmSQLTable::GetFileName() {
    const TDBFlagScope flag(this, dbfDatabase);
    return fTableName;
}

int TmSQLTable::TableLevel() {
    if (!fHandle) return fTableLevel;
    int32_t level = 0;
    uint32_t length = 0;
    RequireEngine()->GetEngProp(fHandle, curTABLELEVEL, &level, sizeof level, length);
    return length == sizeof level ? level : 0;
}

void TmSQLTable::LockTable(TLockType /*lockType*/) {
    CheckActive();
}

void TmSQLTable::UnlockTable(TLockType /*lockType*/) {
    CheckActive();
}

// ---- Opening

hDBICur TmSQLTable::CreateHandle() {
    if (fTableName.empty()) host::DatabaseError(host::SNoTableName, this);
    fIndexDefs->SetUpdated(false);
    std::string indexName;
    std::string tagName;
    GetIndexParams(fIndexName, fFieldsIndex, indexName, tagName);
    return GetHandle(indexName, tagName);
}

hDBICur TmSQLTable::GetHandle(const std::string& indexName, const std::string& tagName) {
    DBIOpenMode openMode = fReadOnly ? dbiREADONLY : dbiREADWRITE;
    const uint16_t indexId = fDefaultIndex ? kDefaultIndexId : kNoIndexId;
    hDBIDb database = GetDBHandle();
    TmSQLEngine* engine = RequireEngine();
    hDBICur cursor = nullptr;
    for (;;) {
        const DBIResult status =
            engine->OpenTable(database, fTableName, "", indexName, tagName, indexId, openMode,
                              fExclusive ? dbiOPENEXCL : dbiOPENSHARED, xltFIELD, false, nullptr, cursor);
        if (status == DBIERR_TABLEREADONLY && openMode == dbiREADWRITE) {
            openMode = dbiREADONLY;
            continue;
        }
        if (CheckOpen(status)) break;
    }
    // The cursor puts that index's order in force as it opens.
    fIndexInForce = indexName;
    return cursor;
}

void TmSQLTable::DestroyHandle() {
    DestroyLookupCursor();
    TmSQLDataSet::DestroyHandle();
}

void TmSQLTable::PrepareCursor() {
    CheckMasterRange();
}

// ---- Field definitions and existence

void TmSQLTable::InitFieldDefs() {
    if (fHandle) {
        InternalInitFieldDefs();
        return;
    }
    const TDBFlagScope flag(this, dbfFieldList);
    if (fTableName.empty()) host::DatabaseError(host::SNoTableName, this);
    hDBIDb database = GetDBHandle();
    TmSQLEngine* engine = RequireEngine();
    TListCursor list(engine);
    while (!CheckOpen(engine->OpenFieldList(database, fTableName, "", false, list.Handle()))) {
    }
    std::vector<FLDDesc> descriptors;
    if (list.Handle()) {
        int32_t count = 0;
        Check(engine, engine->GetRecordCount(list.Handle(), count));
        descriptors.resize(static_cast<size_t>(std::max(count, 0)));
        for (FLDDesc& desc : descriptors)
            Check(engine, engine->GetNextRecord(list.Handle(), dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc),
                                                nullptr));
    }
    // A closed table knows no required columns: the listing carries no validity checks.
    const size_t lastNumber = descriptors.empty() ? 0 : descriptors.back().iFldNum;
    const std::vector<bool> required(std::max(descriptors.size(), lastNumber) + 1, false);
    host::TFieldDefs* defs = FieldDefs();
    defs->BeginUpdate();
    try {
        defs->Clear();
        size_t index = 0;
        int fieldId = 1;
        while (index < descriptors.size())
            AddFieldDesc(descriptors, index, fieldId, required, defs);
    } catch (...) {
        defs->EndUpdate();
        throw;
    }
    defs->EndUpdate();
}

bool TmSQLTable::GetExists() {
    if (Active() || fTableName.empty()) return Active();
    const TDBFlagScope flag(this, dbfTable);
    hDBIDb database = GetDBHandle();
    TmSQLEngine* engine = RequireEngine();
    DBIResult status;
    {
        TListCursor list(engine);
        status = engine->OpenFieldList(database, fTableName, "", false, list.Handle());
    }
    if (status == DBIERR_NONE) return true;
    if (status == DBIERR_NOSUCHTABLE || status == DBIERR_OBJNOTFOUND) return false;
    // The server refuses a missing table with its own text: the table list tells whether that was
    // the failure.
    if (status == DBIERR_NATIVE) {
        host::TStringList tables;
        if (engine->OpenTableList(database, tables) == DBIERR_NONE) {
            // Table names are case-sensitive.
            bool listed = false;
            for (int i = 0; i < tables.Count() && !listed; ++i)
                listed = tables.Strings(i) == fTableName;
            if (!listed) return false;
        }
    }
    DbiError(engine, status);
}

// ---- Master/detail

void TmSQLTable::CheckMasterRange() {
    if (fMasterLink->Active() && !fMasterLink->Fields().empty()) {
        UpdateRange();
        SetCursorRange();
    }
}

void TmSQLTable::UpdateRange() {
    const std::vector<host::TField*>& masterFields = fMasterLink->Fields();
    SetLinkRanges(masterFields);
    // No detail row belongs to a master value that is null (an empty master, a new master row): the
    // range then holds no row, the bounds excluding one and the same value.
    bool anyNull = false;
    for (host::TField* field : masterFields)
        anyNull = anyNull || field->IsNull();
    if (!anyNull) return;
    uint8_t* start = GetKeyBuffer(host::kiRangeStart);
    const host::TDataSetState saved = SetTempState(host::dsSetKey);
    uint8_t* editing = fKeyBuffer;
    fKeyBuffer = start;
    try {
        for (size_t i = 0; i < masterFields.size(); ++i)
            if (masterFields[i]->IsNull()) GetIndexField(static_cast<int>(i))->SetAsFloat(0);
    } catch (...) {
        fKeyBuffer = editing;
        RestoreState(saved);
        throw;
    }
    fKeyBuffer = editing;
    RestoreState(saved);
    host::TKeyBuffer header;
    std::memcpy(&header, start, sizeof header);
    header.Exclusive = 1;
    std::memcpy(start, &header, sizeof header);
    std::memcpy(GetKeyBuffer(host::kiRangeEnd), start, KeyBufferSize());
}

void TmSQLTable::MasterChanged(host::TObject* /*sender*/) {
    CheckBrowseMode();
    UpdateRange();
    ApplyRange();
}

void TmSQLTable::MasterDisabled(host::TObject* /*sender*/) {
    CancelRange();
}

void TmSQLTable::DoOnNewRecord() {
    if (fMasterLink->Active()) {
        const std::vector<host::TField*>& masterFields = fMasterLink->Fields();
        for (size_t i = 0; i < masterFields.size(); ++i)
            SetIndexField(static_cast<int>(i), masterFields[i]);
    }
    TmSQLDataSet::DoOnNewRecord();
}

void TmSQLTable::GetDetailLinkFields(std::vector<host::TField*>& masterFields,
                                     std::vector<host::TField*>& detailFields) {
    masterFields.clear();
    detailFields.clear();
    host::TDataSource* source = MasterSource();
    if (!source || !source->DataSet() || MasterFields().empty()) return;
    source->DataSet()->GetFieldList(masterFields, MasterFields());
    fIndexDefs->Update();
    host::TIndexDef* def = nullptr;
    if (!IndexName().empty()) {
        const int index = fIndexDefs->IndexOf(IndexName());
        if (index >= 0) def = fIndexDefs->Items(index);
    }
    if (!def && !IndexFieldNames().empty()) def = fIndexDefs->GetIndexForFields(IndexFieldNames(), false);
    for (int i = 0; i < fIndexDefs->Count() && !def; ++i)
        if (fIndexDefs->Items(i)->Options().Contains(host::ixPrimary)) def = fIndexDefs->Items(i);
    // In the server's natural order the cursor keys on the first index: its fields take the range.
    if (!def && IndexName().empty() && IndexFieldNames().empty() && fIndexDefs->Count() > 0)
        def = fIndexDefs->Items(0);
    if (def) GetFieldList(detailFields, def->Fields());
}

// ---- Another table's row

void TmSQLTable::GotoCurrent(TmSQLTable* other) {
    CheckBrowseMode();
    other->CheckBrowseMode();
    const std::string ownDatabase = Database() ? Database()->DatabaseName() : std::string();
    const std::string otherDatabase = other->Database() ? other->Database()->DatabaseName() : std::string();
    if (!host::AnsiSameText(ownDatabase, otherDatabase) || !host::AnsiSameText(fTableName, other->fTableName))
        host::DatabaseError(host::STableMismatch, this);
    other->UpdateCursorPos();
    // Row numbers differ between two cursors (orders, ranges, filters): the row is found again by
    // the values of its columns.
    std::string names;
    std::vector<host::Variant> values;
    for (host::TField* field : *Fields()) {
        if (field->FieldKind() != host::fkData || field->FieldNo() < 1 || field->IsBlob()) continue;
        host::TField* theirs = other->FindField(field->FieldName());
        if (!theirs) continue;
        if (!names.empty()) names += ';';
        names += field->FieldName();
        values.push_back(theirs->Value());
    }
    if (values.empty() || other->IsEmpty()) host::DatabaseError(host::SRecordNotFound, this);
    host::Variant keyValues = host::VarArrayCreate(0, static_cast<int>(values.size()) - 1);
    for (size_t i = 0; i < values.size(); ++i)
        host::VarArrayPut(keyValues, values[i], static_cast<int>(i));
    DoBeforeScroll();
    if (!LocateRecord(names, keyValues, {}, true)) {
        Resync({});
        host::DatabaseError(host::SRecordNotFound, this);
    }
    Resync({host::rmExact, host::rmCenter});
    DoAfterScroll();
}

// ---- Streaming

namespace {

[[maybe_unused]] const bool kRegistered = [] {
    host::RegisterClass<TmSQLTable>("TmSQLTable", "TmSQLDataSet")
        .Boolean("DefaultIndex", &TmSQLTable::DefaultIndex, &TmSQLTable::SetDefaultIndex, true)
        .Boolean("Exclusive", &TmSQLTable::Exclusive, &TmSQLTable::SetExclusive, false)
        .Collection("FieldDefs", [](TmSQLTable* table) { return table->FieldDefs(); })
        .Stored(&TmSQLTable::FieldDefsStored)
        .Collection("IndexDefs", &TmSQLTable::IndexDefs)
        .Stored(&TmSQLTable::IndexDefsStored)
        .String("IndexFieldNames", &TmSQLTable::IndexFieldNames, &TmSQLTable::SetIndexFieldNames)
        .String("IndexName", &TmSQLTable::IndexName, &TmSQLTable::SetIndexName)
        .String("MasterFields", &TmSQLTable::MasterFields, &TmSQLTable::SetMasterFields)
        .Component("MasterSource", &TmSQLTable::MasterSource, &TmSQLTable::SetMasterSource)
        .Type("TDataSource")
        .Boolean("ReadOnly", &TmSQLTable::ReadOnly, &TmSQLTable::SetReadOnly, false)
        .Boolean("StoreDefs", &TmSQLTable::StoreDefs, &TmSQLTable::SetStoreDefs, false)
        .String("TableName", &TmSQLTable::TableName, &TmSQLTable::SetTableName)
        .Enum("UpdateMode", {"upWhereAll", "upWhereChanged", "upWhereKeyOnly"}, &TmSQLTable::UpdateMode,
              &TmSQLTable::SetUpdateMode, host::upWhereAll)
        .Component("UpdateObject", &TmSQLTable::UpdateObject, &TmSQLTable::SetUpdateObject)
        .Type("TmSQLSQLUpdateObject");
    return true;
}();

} // namespace

} // namespace corvane
