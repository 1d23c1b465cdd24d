// The dataset core: handles and the database, opening and closing, field definitions, the record
// buffer layout, reading rows and field values, and the blob cache of the row buffers.
#include "components/DataSet.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host/Application.h"
#include "host/Exceptions.h"
#include "host/FieldDefs.h"
#include "host/Messages.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

namespace corvane {

namespace {

// The category of the codes that say a row is not there (a missing row, no current row).
constexpr DBIResult kNotFoundCategory = 0x22;
// How often CheckOpen lets an open or prepare answering 10498 be tried again in a row.
constexpr int kCheckOpenAttempts = 3;
// Size of the name buffer of the field full-name property.
constexpr size_t kFullNameBuffer = 1025;
// The rights value of a read-only field descriptor (FLDDesc.efldrRights).
constexpr uint32_t kFieldRightsReadOnly = 1;

} // namespace

// ---- Construction and destruction

TmSQLDataSet::TmSQLDataSet(host::TComponent* owner) : host::TDataSet(owner) {}

TmSQLDataSet::~TmSQLDataSet() {
    Teardown();
}

void TmSQLDataSet::BeforeDestruction() {
    host::TDataSet::BeforeDestruction();
    Teardown();
}

void TmSQLDataSet::Teardown() noexcept {
    if (fTornDown) return;
    fTornDown = true;
    try {
        // Reached with the dataset still open only when it was not deleted through `delete`.
        if (fHandle) Close();
    } catch (...) {
        host::Application().HandleException(this);
    }
    if (fHandle) {
        // The close failed: the cursor must not outlive the dataset.
        if (TmSQLEngine* engine = Engine()) engine->CloseCursor(fHandle);
        fHandle = nullptr;
    }
    std::vector<uint8_t>().swap(fBlockBuffer);
    try {
        SetUpdateObject(nullptr);
    } catch (...) {
        host::Application().HandleException(this);
    }
    if (fDatabase) {
        fDatabase->UnRegisterClient(this);
        fDatabase->DetachDataSet(this);
        fDatabase = nullptr;
    }
    fDBFlags = {};
}

void TmSQLDataSet::DatabaseDestroyed() {
    // The database closed its datasets before it went; one still open closes now, while the
    // database's engine is still there to free the cursor.
    if (fHandle) {
        try {
            Close();
        } catch (...) {
            host::Application().HandleException(this);
        }
    }
    fDatabase = nullptr;
    fDBFlags = {};
}

void TmSQLDataSet::InternalHandleException() {
    host::Application().HandleException(this);
}

// ---- Database, engine and handle

TmSQLEngine* TmSQLDataSet::Engine() {
    return fDatabase ? fDatabase->Engine() : nullptr;
}

TmSQLEngine* TmSQLDataSet::RequireEngine() {
    TmSQLEngine* engine = Engine();
    if (!engine) throw EmSQLDatabaseError(nullptr, DBIERR_INVALIDHNDL);
    return engine;
}

void TmSQLDataSet::SetDatabase(TmSQLDatabase* value) {
    if (value == fDatabase) return;
    // Closes; a query also lets go of the statement it prepared on the old database.
    Disconnect();
    TmSQLDatabase* previous = fDatabase;
    fDatabase = value;
    if (value) value->AttachDataSet(this);
    if (previous) {
        previous->DetachDataSet(this);
        previous->UnRegisterClient(this);
    }
}

hDBIDb TmSQLDataSet::GetDBHandle() {
    if (!fDatabase) return nullptr;
    if (!fDatabase->Handle()) fDatabase->SetConnected(true);
    return fDatabase->Handle();
}

void TmSQLDataSet::SetHandle(hDBICur value) {
    Close();
    fHandle = value;
    if (!value) return;
    try {
        Open();
    } catch (...) {
        // The failed open closed the cursor it was given.
        fHandle = nullptr;
        throw;
    }
}

void TmSQLDataSet::DestroyHandle() {
    // The result is of no use here: the cursor is gone either way.
    if (TmSQLEngine* engine = Engine()) engine->CloseCursor(fHandle);
}

bool TmSQLDataSet::CheckOpen(DBIResult status) {
    if (status == DBIERR_NONE) {
        fCheckOpenRetries = 0;
        return true;
    }
    if (status == DBIERR_NOTSUFFTABLERIGHTS && ++fCheckOpenRetries < kCheckOpenAttempts) return false;
    fCheckOpenRetries = 0;
    DbiError(Engine(), status);
}

void TmSQLDataSet::Disconnect() {
    Close();
}

bool TmSQLDataSet::SetDBFlag(int flag, bool value) {
    const bool stored = flag >= 0 && flag <= 15;
    const auto member = static_cast<TDBFlag>(flag);
    const bool previous = stored && fDBFlags.Contains(member);
    if (value) {
        if (!previous) {
            if (fDBFlags.Empty() && fDatabase) fDatabase->RegisterClient(this);
            if (stored) fDBFlags.Include(member);
        }
    } else if (previous) {
        fDBFlags.Exclude(member);
        if (fDBFlags.Empty() && fDatabase) {
            fDatabase->UnRegisterClient(this);
            fDatabase->CloseDatabase(fDatabase);
        }
    }
    return previous;
}

void TmSQLDataSet::GetDatabaseNames(host::TStrings* list) {
    std::vector<std::string> names;
    for (TmSQLDatabase* database : TmSQLDatabase::DBList())
        names.push_back(database->DatabaseName());
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return host::AnsiCompareText(a, b) < 0; });
    list->BeginUpdate();
    try {
        list->Clear();
        for (const std::string& name : names)
            list->Add(name);
    } catch (...) {
        list->EndUpdate();
        throw;
    }
    list->EndUpdate();
}

void TmSQLDataSet::FlushBuffers() {
    CheckBrowseMode();
}

void TmSQLDataSet::CloseDatabase(TmSQLDatabase* database) {
    if (database) database->CloseDatabase(database);
}

bool TmSQLDataSet::ConstraintsStored() const {
    return Constraints()->Count() > 0;
}

// ---- Opening and closing

void TmSQLDataSet::OpenCursor(bool infoQuery) {
    if (!fDatabase) throw host::EDatabaseError("Property Database not set!");
    if (!fHandle) fHandle = CreateHandle();
    if (!fHandle) throw host::ENoResultSet(host::SHandleError);
    SetDBFlag(dbfOpened, true);
    host::TDataSet::OpenCursor(infoQuery);
    SetUpdateMode(fUpdateMode);
    SetupAutoRefresh();
}

void TmSQLDataSet::CloseCursor() {
    auto release = [this] {
        if (fHandle) {
            DestroyHandle();
            fHandle = nullptr;
        }
        fParentDataSet = nullptr;
        SetDBFlag(dbfOpened, false);
    };
    try {
        host::TDataSet::CloseCursor();
    } catch (...) {
        release();
        throw;
    }
    release();
}

void TmSQLDataSet::InternalOpen() {
    TmSQLEngine* engine = RequireEngine();
    CURProps props{};
    // Without the cursor's properties the record buffers would be laid out too small.
    Check(engine, engine->GetCursorProps(fHandle, props));
    fRecordSize = props.iRecBufSize;
    SetBookmarkSize(props.iBookMarkSize);
    fCanModify = props.eOpenMode == dbiREADWRITE && props.bTempTable == DescFalse;
    fConstraintsCheck = HasConstraints() && GetCanModify();
    fSeqNums = static_cast<uint8_t>(props.iSeqNums & 0xFF);
    FieldDefs()->SetUpdated(false);
    FieldDefs()->Update();
    GetIndexInfo();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    if (ObjectView()) GetObjectTypeNames(Fields());
    InitBufferPointers(false);
    AllocKeyBuffers();
    // The pair is released at every close: a reopened dataset gets one of its new layout.
    if (fCachedUpdates) AllocCachedUpdateBuffers(true);
    engine->SetToBegin(fHandle);
    PrepareCursor();
    if (!Filter().empty()) fExprFilter = CreateExprFilter(Filter(), FilterOptions(), 0);
    if (OnFilterRecord()) fFuncFilter = CreateFuncFilter(&TmSQLDataSet::RecordFilter, 1);
    if (Filtered()) ActivateFilters();
}

void TmSQLDataSet::InternalClose() {
    // The filters end with the cursor.
    fExprFilter = nullptr;
    fFuncFilter = nullptr;
    ReleaseOldBuffer();
    AllocCachedUpdateBuffers(false);
    FreeKeyBuffers();
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    fIndexFieldCount = 0;
    fKeySize = 0;
    fExpIndex = false;
    fCaseInsIndex = false;
    fIndexInForce.clear();
    fCanModify = false;
}

void TmSQLDataSet::InitBufferPointers(bool readProperties) {
    if (readProperties) {
        TmSQLEngine* engine = RequireEngine();
        CURProps props{};
        Check(engine, engine->GetCursorProps(fHandle, props));
        fRecordSize = props.iRecBufSize;
        SetBookmarkSize(props.iBookMarkSize);
    }
    const size_t blobCache = size_t{fRecordSize} + static_cast<size_t>(CalcFieldsSize());
    const size_t recInfo = blobCache + BlobCacheSlotSize * static_cast<size_t>(BlobFieldCount());
    const size_t bookmark = recInfo + sizeof(TRecInfo);
    const size_t total = bookmark + static_cast<size_t>(BookmarkSize());
    // Every position is a 16-bit number: a larger buffer could not be addressed.
    if (total > UINT16_MAX) DbiError(Engine(), DBIERR_RECTOOBIG);
    fBlobCacheOfs = static_cast<uint16_t>(blobCache);
    fRecInfoOfs = static_cast<uint16_t>(recInfo);
    fBookmarkOfs = static_cast<uint16_t>(bookmark);
    fRecBufSize = static_cast<uint16_t>(total);
}

// ---- Field definitions

void TmSQLDataSet::InternalInitFieldDefs() {
    TmSQLEngine* engine = RequireEngine();
    CURProps props{};
    // A failed call must not pass for a cursor without fields.
    Check(engine, engine->GetCursorProps(fHandle, props));
    int count = props.iFields;
    int hidden = 0;
    const bool withHidden = FieldDefs()->HiddenFields();
    if (withHidden && engine->SetEngProp(fHandle, curGETHIDDENCOLUMNS, 1) == DBIERR_NONE) {
        Check(engine, engine->GetCursorProps(fHandle, props));
        hidden = props.iFields - count;
        count = props.iFields;
    }
    int32_t maxId = 0;
    uint32_t length = 0;
    if (engine->GetEngProp(fHandle, curMAXFIELDID, &maxId, sizeof maxId, length) != DBIERR_NONE) maxId = 0;
    std::vector<bool> required(static_cast<size_t>(maxId > 0 ? maxId + 1 : count + 1), false);
    for (uint16_t i = 1; i <= props.iValChecks; ++i) {
        VCHKDesc check{};
        if (engine->GetVchkDesc(fHandle, i, check) != DBIERR_NONE) continue;
        if (check.bRequired && !check.bHasDefVal && check.iFldNum < required.size())
            required[check.iFldNum] = true;
    }
    std::vector<FLDDesc> descriptors(static_cast<size_t>(count));
    if (count > 0) Check(engine, engine->GetFieldDescs(fHandle, descriptors.data()));

    int fieldId = FieldNoOfs();
    size_t index = static_cast<size_t>(std::max(fieldId - 1, 0));
    FieldDefs()->Clear();
    while (index < descriptors.size())
        AddFieldDesc(descriptors, index, fieldId, required, FieldDefs());
    if (withHidden) {
        engine->SetEngProp(fHandle, curGETHIDDENCOLUMNS, 0);
        for (int i = FieldDefs()->Count() - hidden; hidden > 0 && i < FieldDefs()->Count(); ++i) {
            host::TFieldDef* def = FieldDefs()->Items(i);
            host::TFieldAttributes attributes = def->Attributes();
            attributes.Include(host::faHiddenCol);
            def->SetAttributes(attributes);
        }
    }
}

void TmSQLDataSet::AddFieldDesc(const std::vector<FLDDesc>& descriptors, size_t& index, int& fieldId,
                                const std::vector<bool>& required, host::TFieldDefs* defs) {
    FLDDesc desc = descriptors[index++];
    const std::string nativeName(desc.szName, strnlen(desc.szName, sizeof desc.szName));
    const std::string baseName = NativeToAnsi(Engine(), nativeName.c_str());
    std::string name = baseName;
    for (int suffix = 1; defs->IndexOf(name) >= 0; ++suffix)
        name = host::Format("%s_%d", baseName, suffix);

    host::TFieldType type =
        desc.iFldType < host::MAXLOGFLDTYPES ? host::DataTypeMap[desc.iFldType] : host::ftUnknown;
    int size = 0;
    int precision = 0;
    bool isRequired = fieldId >= 0 && static_cast<size_t>(fieldId) < required.size() && required[fieldId];
    switch (desc.iFldType) {
    case host::fldZSTRING:
    case host::fldBYTES:
    case host::fldVARBYTES:
    case host::fldADT:
    case host::fldARRAY:
    case host::fldREF:
        size = desc.iUnits1;
        if (desc.iUnits1 == 0) type = host::ftUnknown;
        break;
    case host::fldBLOB:
        size = desc.iUnits1;
        if (desc.iSubType >= host::fldstMEMO && desc.iSubType <= host::fldstBFILE)
            type = host::BlobTypeMap[desc.iSubType - host::fldstMEMO];
        break;
    case host::fldINT16:
    case host::fldUINT16:
        if (desc.iLen == 1)
            type = host::ftSmallint;
        else if (desc.iLen != 2)
            type = host::ftUnknown;
        break;
    case host::fldINT32:
        if (desc.iSubType == host::fldstAUTOINC) {
            type = host::ftAutoInc;
            isRequired = false;
        }
        break;
    case host::fldFLOAT:
        if (desc.iSubType == host::fldstMONEY) type = host::ftCurrency;
        break;
    case host::fldBCD:
        size = std::abs(desc.iUnits2);
        precision = desc.iUnits1;
        break;
    default:
        break;
    }

    auto* def = new host::TFieldDef(defs, name, type, size, isRequired, fieldId++);
    if (precision != 0) def->SetPrecision(precision);
    host::TFieldAttributes attributes = def->Attributes();
    if (desc.efldrRights == kFieldRightsReadOnly) attributes.Include(host::faReadonly);
    if (desc.iSubType == host::fldstFIXED) attributes.Include(host::faFixed);
    if (type == host::ftADT && desc.iSubType == host::fldstADTNestedTable)
        attributes.Include(host::faUnNamed);
    def->SetAttributes(attributes);
    if (desc.bCalcField != 0) def->SetInternalCalcField(true);

    if (type == host::ftADT) {
        for (int child = 0; child < desc.iUnits1 && index < descriptors.size(); ++child)
            AddFieldDesc(descriptors, index, fieldId, required, def->ChildDefs());
    } else if (type == host::ftArray && index < descriptors.size()) {
        // One element definition stands for all: it bears the array's name with "[0]".
        std::vector<FLDDesc> element(descriptors.begin() + static_cast<std::ptrdiff_t>(index),
                                     descriptors.begin() + static_cast<std::ptrdiff_t>(index) + 1);
        const std::string elementName = name + "[0]";
        std::memset(element[0].szName, 0, sizeof element[0].szName);
        std::memcpy(element[0].szName, elementName.data(),
                    std::min(elementName.size(), sizeof element[0].szName - 1));
        size_t elementIndex = 0;
        int elementId = fieldId;
        AddFieldDesc(element, elementIndex, elementId, required, def->ChildDefs());
        ++index;
        fieldId += desc.iUnits2;
    }
}

void TmSQLDataSet::GetObjectTypeNames(host::TFields* fields) {
    TmSQLEngine* engine = Engine();
    if (!engine) return;
    for (host::TField* field : *fields) {
        auto* object = dynamic_cast<host::TObjectField*>(field);
        if (!object) continue;
        char name[DBIMAXNAMELEN + 1] = {};
        uint32_t length = 0;
        // The field number travels at the start of the buffer.
        const uint16_t number = static_cast<uint16_t>(field->FieldNo());
        std::memcpy(name, &number, sizeof number);
        if (engine->GetEngProp(fHandle, curFIELDTYPENAME, name, sizeof name - 1, length) == DBIERR_NONE &&
            length > 0)
            object->SetObjectType(NativeToAnsi(engine, name));
        GetObjectTypeNames(object->Fields());
    }
}

// ---- Row buffers

host::TRecordBuffer TmSQLDataSet::AllocRecordBuffer() {
    return new uint8_t[fRecBufSize]();
}

void TmSQLDataSet::FreeRecordBuffer(host::TRecordBuffer& buffer) {
    if (!buffer) return;
    ClearBlobCache(buffer);
    delete[] buffer;
    buffer = nullptr;
}

TRecInfo TmSQLDataSet::GetRecInfo(host::TRecordBuffer buffer) const {
    TRecInfo info;
    std::memcpy(&info, buffer + fRecInfoOfs, sizeof info);
    return info;
}

void TmSQLDataSet::SetRecInfo(host::TRecordBuffer buffer, const TRecInfo& info) const {
    std::memcpy(buffer + fRecInfoOfs, &info, sizeof info);
}

void TmSQLDataSet::InternalInitRecord(host::TRecordBuffer buffer) {
    if (TmSQLEngine* engine = Engine()) engine->InitRecord(fHandle, buffer);
}

void TmSQLDataSet::ClearCalcFields(host::TRecordBuffer buffer) {
    std::memset(buffer + fRecordSize, 0, static_cast<size_t>(CalcFieldsSize()));
}

void TmSQLDataSet::InitRecord(host::TRecordBuffer buffer) {
    host::TDataSet::InitRecord(buffer);
    ClearBlobCache(buffer);
    SetRecInfo(buffer, TRecInfo{-1, host::usInserted, host::bfInserted});
}

host::TGetResult TmSQLDataSet::GetRecord(host::TRecordBuffer buffer, host::TGetMode getMode, bool doCheck) {
    TmSQLEngine* engine = RequireEngine();
    DBIResult status;
    switch (getMode) {
    case host::gmCurrent:
        status = engine->GetRecord(fHandle, dbiNOLOCK, buffer, &fRecProps);
        break;
    case host::gmNext:
        status = engine->GetNextRecord(fHandle, dbiNOLOCK, buffer, &fRecProps);
        break;
    default:
        status = engine->GetPriorRecord(fHandle, dbiNOLOCK, buffer, &fRecProps);
        break;
    }
    switch (status) {
    case DBIERR_NONE:
        SetRecInfo(buffer, TRecInfo{-1, static_cast<uint8_t>(fRecProps.iRecStatus), host::bfCurrent});
        ClearBlobCache(buffer);
        {
            const CalcRowScope calcRow(fCalcRowBuffer, buffer);
            GetCalcFields(buffer);
        }
        Check(engine, engine->GetBookMark(fHandle, buffer + fBookmarkOfs));
        return host::grOK;
    case DBIERR_BOF:
        return host::grBOF;
    case DBIERR_EOF:
        return host::grEOF;
    default:
        // Without the check the caller looks for another row (a resync after a write); a failure that
        // is not a missing row (a lost connection, a failed re-read) must reach the application
        // instead of leaving the dataset on some other row or empty.
        if (doCheck || (status >> 8) != kNotFoundCategory) Check(engine, status);
        return host::grError;
    }
}

bool TmSQLDataSet::GetCurrentRecord(host::TRecordBuffer buffer) {
    if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != host::bfCurrent) return false;
    UpdateCursorPos();
    TmSQLEngine* engine = Engine();
    return engine && engine->GetRecord(fHandle, dbiNOLOCK, buffer, nullptr) == DBIERR_NONE;
}

void TmSQLDataSet::FetchAll() {
    if (Eof()) return;
    CheckBrowseMode();
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->SetToEnd(fHandle));
    Check(engine, engine->GetPriorRecord(fHandle, dbiNOLOCK, nullptr, nullptr));
    CursorPosChanged();
}

int TmSQLDataSet::GetRecordCount() {
    CheckActive();
    int32_t count = 0;
    TmSQLEngine* engine = Engine();
    if (!engine || engine->GetRecordCount(fHandle, count) != DBIERR_NONE) return -1;
    return count;
}

int TmSQLDataSet::GetRecNo() {
    CheckActive();
    host::TRecordBuffer buffer = State() == host::dsCalcFields ? CalcBuffer() : ActiveBuffer();
    return buffer ? GetRecInfo(buffer).RecordNumber : -1;
}

void TmSQLDataSet::SetRecNoValue(int value) {
    CheckBrowseMode();
    if (fSeqNums != 1 || value == GetRecNo()) return;
    TmSQLEngine* engine = RequireEngine();
    if (engine->SettoSeqNo(fHandle, value) == DBIERR_NONE) Resync({host::rmCenter});
}

bool TmSQLDataSet::IsSequenced() {
    return fSeqNums == 1 && !Filtered();
}

void TmSQLDataSet::InternalFirst() {
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->SetToBegin(fHandle));
}

void TmSQLDataSet::InternalLast() {
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->SetToEnd(fHandle));
}

// ---- Field values

bool TmSQLDataSet::GetActiveRecBuf(host::TRecordBuffer& buffer) {
    buffer = nullptr;
    switch (State()) {
    case host::dsBrowse:
        if (!IsEmpty()) buffer = ActiveBuffer();
        break;
    case host::dsEdit:
    case host::dsInsert:
    case host::dsNewValue:
        buffer = ActiveBuffer();
        break;
    case host::dsSetKey:
        if (fKeyBuffer) buffer = fKeyBuffer + sizeof(host::TKeyBuffer);
        break;
    case host::dsCalcFields:
        buffer = CalcBuffer();
        break;
    case host::dsFilter:
        buffer = fFilterBuffer;
        break;
    case host::dsOldValue:
        buffer = GetOldRecord();
        break;
    case host::dsBlockRead:
        if (!fBlockBuffer.empty()) buffer = fBlockBuffer.data() + size_t{fRecordSize} * fBlockBufOfs;
        break;
    default:
        break;
    }
    return buffer != nullptr;
}

bool TmSQLDataSet::GetFieldData(int fieldNo, void* buffer) {
    TmSQLEngine* engine = Engine();
    if (!engine) return false;
    bool blank = true;
    if (fBlockBufSize > 0) {
        uint8_t* record = fBlockBuffer.data() + size_t{fRecordSize} * fBlockBufOfs;
        return engine->GetField(fHandle, static_cast<uint16_t>(fieldNo), record, buffer, blank) ==
                   DBIERR_NONE &&
               !blank;
    }
    host::TRecordBuffer record;
    if (!GetActiveRecBuf(record)) return false;
    Check(engine, engine->GetField(fHandle, static_cast<uint16_t>(fieldNo), record, buffer, blank));
    return !blank;
}

bool TmSQLDataSet::GetFieldData(host::TField* field, void* buffer) {
    if (field->FieldNo() >= 1) return GetFieldData(field->FieldNo(), buffer);
    // Calculated and lookup fields live in the calculated-field area of the row buffer.
    host::TRecordBuffer record = nullptr;
    if (State() == host::dsBlockRead)
        record = TempBuffer();
    else
        GetActiveRecBuf(record);
    if (!record) return false;
    switch (State()) {
    case host::dsBrowse:
    case host::dsEdit:
    case host::dsInsert:
    case host::dsCalcFields:
    case host::dsBlockRead: {
        const uint8_t* slot = record + fRecordSize + field->Offset();
        const bool present = slot[0] != 0;
        if (present && buffer) std::memcpy(buffer, slot + 1, static_cast<size_t>(field->DataSize()));
        return present;
    }
    default:
        return true;
    }
}

void TmSQLDataSet::SetFieldData(host::TField* field, const void* buffer) {
    const host::TDataSetState state = State();
    if (!host::dsWriteModes.Contains(state)) host::DatabaseError(host::SNotEditing, this);
    if (state == host::dsSetKey && (field->FieldNo() < 0 || (fIndexFieldCount > 0 && !field->IsIndexField())))
        host::DatabaseErrorFmt(host::SNotIndexField, {field->DisplayName()}, this);
    host::TRecordBuffer record;
    if (!GetActiveRecBuf(record)) host::DatabaseError(host::SNotEditing, this);
    if (field->FieldNo() < 1) {
        uint8_t* slot = record + fRecordSize + field->Offset();
        slot[0] = buffer ? 1 : 0;
        if (buffer) std::memcpy(slot + 1, buffer, static_cast<size_t>(field->DataSize()));
    } else {
        if (state == host::dsCalcFields) host::DatabaseError(host::SNotEditing, this);
        if (field->ReadOnly() && state != host::dsSetKey && state != host::dsFilter)
            host::DatabaseErrorFmt(host::SFieldReadOnly, {field->DisplayName()}, this);
        field->Validate(buffer);
        if (field->FieldKind() != host::fkInternalCalc) {
            TmSQLEngine* engine = RequireEngine();
            const auto number = static_cast<uint16_t>(field->FieldNo());
            if (fConstraintsCheck && field->HasConstraints() &&
                (state == host::dsEdit || state == host::dsInsert)) {
                bool blank = false;
                Check(engine, engine->VerifyField(fHandle, number, buffer, blank));
            }
            Check(engine, engine->PutField(fHandle, number, record, buffer));
        }
    }
    if (state != host::dsCalcFields && state != host::dsFilter && state != host::dsNewValue)
        DataEvent(host::deFieldChange, reinterpret_cast<intptr_t>(field));
}

int TmSQLDataSet::GetBlobFieldData(int fieldNo, std::vector<uint8_t>& buffer) {
    TmSQLEngine* engine = Engine();
    if (!engine) return 0;
    const bool check = fBlockBufSize == 0;
    host::TRecordBuffer record = nullptr;
    if (fBlockBufSize > 0)
        record = fBlockBuffer.data() + size_t{fRecordSize} * fBlockBufOfs;
    else if (!GetActiveRecBuf(record))
        return 0;
    const auto number = static_cast<uint16_t>(fieldNo);
    if (engine->OpenBlob(fHandle, record, number, dbiREADONLY) != DBIERR_NONE) return 0;
    int result = 0;
    uint32_t size = 0;
    DBIResult status = engine->GetBlobSize(fHandle, record, number, size);
    if (status == DBIERR_NONE && size > 0) {
        // A quarter more than needed, so that reading similar blobs again does not reallocate.
        if (size_t{size} >= buffer.size()) buffer.resize(size_t{size} + size / 4);
        uint32_t read = 0;
        status = engine->GetBlob(fHandle, record, number, 0, size, buffer.data(), read);
        result = static_cast<int>(read);
    }
    if (status != DBIERR_NONE) result = 0;
    engine->FreeBlob(fHandle, record, number);
    if (check) Check(engine, status);
    return result;
}

void TmSQLDataSet::CloseBlob(host::TField* field) {
    TmSQLEngine* engine = Engine();
    if (engine && fHandle && ActiveBuffer())
        engine->FreeBlob(fHandle, ActiveBuffer(), static_cast<uint16_t>(field->FieldNo()));
}

int TmSQLDataSet::Translate(const char* src, char* dest, bool toOem) {
    if (!src) return 0;
    const size_t length = std::strlen(src);
    if (!dest) return static_cast<int>(length);
    if (length > 0) {
        TmSQLEngine* engine = Engine();
        bool dataLoss = false;
        if (toOem) {
            host::TCriticalSectionGuard guard(ToNativeLock());
            if (engine)
                engine->AnsiToNative(dest, src, length, dataLoss);
            else
                std::memmove(dest, src, length);
        } else {
            host::TCriticalSectionGuard guard(ToAnsiLock());
            if (engine)
                engine->NativeToAnsi(dest, src, length, dataLoss);
            else
                std::memmove(dest, src, length);
        }
    }
    if (dest != src) dest[length] = 0;
    return static_cast<int>(length);
}

std::string TmSQLDataSet::GetFieldFullName(host::TField* field) {
    if (field->FieldNo() < 1 || !fHandle) return host::TDataSet::GetFieldFullName(field);
    TmSQLEngine* engine = RequireEngine();
    // The field number travels at the start of the buffer, which receives the name.
    char name[kFullNameBuffer] = {};
    const uint16_t number = static_cast<uint16_t>(field->FieldNo());
    std::memcpy(name, &number, sizeof number);
    uint32_t length = 0;
    Check(engine, engine->GetEngProp(fHandle, curFIELDFULLNAME, name, sizeof name - 1, length));
    // A cursor that knows no full names answers nothing: the field's own name is its full name.
    if (length == 0) return host::TDataSet::GetFieldFullName(field);
    name[sizeof name - 1] = 0;
    return NativeToAnsi(engine, name);
}

// ---- Streaming

namespace {

[[maybe_unused]] const bool kRegistered = [] {
    host::RegisterClass<TmSQLDataSet>("TmSQLDataSet", "TDataSet")
        .Boolean("AutoRefresh", &TmSQLDataSet::AutoRefresh, &TmSQLDataSet::SetAutoRefresh, false)
        .Component("Database", &TmSQLDataSet::Database, &TmSQLDataSet::SetDatabase)
        .Type("TmSQLDatabase");
    return true;
}();

} // namespace

} // namespace corvane
