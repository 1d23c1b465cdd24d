// The native cursor: construction, statement execution, navigation, bookmarks, record operations and
// properties.
#include "access/NativeDataSet.h"

#include <algorithm>
#include <cstring>

#include "access/EmSQLException.h"
#include "access/RecordSlots.h"
#include "client/ValueConversions.h"
#include "client/msqlBinding.h"

namespace corvane {

namespace {

// Longest table or index name a cursor keeps.
constexpr size_t MaxCursorNameLength = DBIMAXTBLNAMELEN;

} // namespace

// ---- Construction and teardown

TNativeDataSet::TNativeDataSet(TNativeConnect* connection, TContainer* /*container*/,
                               const std::string& tableName, const std::string& indexName,
                               uint16_t /*reserved*/)
    : fConnect(connection), fStmtHead(std::make_unique<host::TStringList>()),
      fRangeList(std::make_unique<host::TStringList>()), fOrderList(std::make_unique<host::TStringList>()),
      fFieldDescs(std::make_unique<TmSQLFields>(this)), fIndexes(std::make_unique<TmSQLIndexes>(this)),
      fIndexName(indexName.substr(0, MaxCursorNameLength)), fFilters(std::make_unique<TContainer>()) {
    if (!tableName.empty()) {
        fTableName = tableName.substr(0, MaxCursorNameLength);
        OpenTable();
    }
}

TNativeDataSet::~TNativeDataSet() {
    if (fActive) CloseTable();
    ClearIndexInfo();
}

// ---- Statement execution

void TNativeDataSet::OpenTable() {
    if (fActive) CloseTable();
    fRowsAffected = 0;
    fActive = false;
    fCurrentRow = nullptr;
    if (fStmtHead->Count() > 0 || (fSQLText && *fSQLText)) {
        RunStatement();
    } else {
        if (fTableName.empty()) throw EmSQLException(DBIERR_QRYEMPTY);
        fStmtHead->Add("Select * from " + fTableName);
        RunStatement();
        if (GetIndexCount() > 0) SwitchToIndexOnOpen();
    }
    // Whatever failed before, the cursor holds a fresh result now.
    fRereadPending = false;
    fRereadError = nullptr;
}

void TNativeDataSet::ReOpenTable() {
    const int32_t recNo = fRecNo;
    try {
        OpenTable();
    } catch (...) {
        // A re-run that fails again keeps the place the first failed one was to stand on.
        if (!fRereadPending) fRereadRecNo = recNo;
        fRereadPending = true;
        throw;
    }
}

void TNativeDataSet::CompleteReread() {
    if (!fRereadPending) return;
    if (fRereadError) {
        // Reported once as it happened; the next read tries again.
        const std::exception_ptr error = fRereadError;
        fRereadError = nullptr;
        std::rethrow_exception(error);
    }
    const int32_t recNo = fRereadRecNo;
    ReOpenTable();
    const int32_t rows = RowCount();
    fRecNo = rows > 0 ? std::clamp(recNo, 0, rows - 1) : 0;
    // A write leaves the cursor on a crack: it stands on the row the write's re-read would have found.
    if (fPosition == cpCrack) fPosition = rows > 0 ? cpOnRecord : cpUnpositioned;
}

void TNativeDataSet::ForceReread() {
    fReread = true;
    // A cursor without a result (a list cursor, or one whose re-run is pending already) has nothing
    // to run again now.
    if (!fActive || fRereadPending) return;
    fRereadPending = true;
    fRereadRecNo = fRecNo;
}

void TNativeDataSet::RunStatement() {
    if (!fConnect) throw EmSQLException(DBIERR_INVALIDHNDL);
    const bool hasText = fSQLText && *fSQLText;
    const std::string clause = hasText ? std::string() : GetSQLClause();
    fConnect->RequireClientLibrary();
    fConnect->CheckResult(msqlQuery(fConnect->Socket(), hasText ? fSQLText : clause.c_str()));
    fResult.reset(msqlStoreResult());
    if (!fResult) {
        // A SELECT always yields a result, an empty one too: without one its rows were lost on the way,
        // and an empty cursor would pass for an empty table.
        std::string rest(hasText ? fSQLText : clause);
        if (GetStatement(rest) == "SELECT") throw EmSQLException(DBIERR_SERVERCOMMLOST);
        return;
    }
    // The cursor re-runs the same statement, so its columns stay the same; should a statement cursor be
    // given a text with other columns, the descriptors and sizes learnt from the old ones are dropped.
    if (ReadColumnLayout()) {
        fFieldDescs->Clear();
        fRecordSize = -1;
        fBookmarkOffset = 0;
    }
    // Sizes and offsets travel in the 16-bit fields of FLDDesc and CURProps: a record they cannot
    // describe is refused before a buffer of a cut size could be handed out and overrun.
    if (LayoutWorkBufferSize() > MaxWorkBufferSize) {
        fResult.reset();
        throw EmSQLException(DBIERR_RECTOOBIG);
    }
    fActive = true;
    if (fFieldDescs->Count() == 0) InitFieldDescs();
}

void TNativeDataSet::CloseTable() {
    fActive = false;
    fRowsAffected = 0;
    fRecNo = 0;
    fResult.reset();
    fCurrentRow = nullptr;
}

void TNativeDataSet::Execute() {
    if (fActive) CloseTable();
    fRowsAffected = 0;
    fResult.reset();
    if (!fConnect || !fConnect->Connected()) return;
    if (!fSQLText || !*fSQLText) throw EmSQLException(DBIERR_QRYEMPTY);
    fConnect->RequireClientLibrary();
    const int32_t count = fConnect->CheckResult(msqlQuery(fConnect->Socket(), fSQLText));
    std::string rest(fSQLText);
    const std::string statement = GetStatement(rest);
    if (statement == "SELECT" || statement == "SHOW") {
        const TResultPtr result(msqlStoreResult());
        if (!result && statement == "SELECT") throw EmSQLException(DBIERR_SERVERCOMMLOST);
        if (result) fRowsAffected = msqlNumRows(result.get());
    } else if (statement == "INSERT" || statement == "UPDATE" || statement == "DELETE") {
        // The server reports how many rows the write touched.
        fRowsAffected = count;
    }
}

std::string TNativeDataSet::GetSQLClause() const {
    if (fStmtHead->Count() == 0) throw EmSQLException(DBIERR_QRYEMPTY);
    std::string text;
    for (const host::TStringList* list : {fStmtHead.get(), fRangeList.get(), fOrderList.get()}) {
        for (int i = 0; i < list->Count(); ++i) {
            text += list->Strings(i);
            text += ' ';
        }
    }
    return text;
}

void TNativeDataSet::SetTableName(const std::string& name) {
    if (!name.empty()) fTableName = name.substr(0, MaxCursorNameLength);
}

// ---- Navigation

int32_t TNativeDataSet::RowCount() const {
    return fResult ? msqlNumRows(fResult.get()) : 0;
}

void TNativeDataSet::FirstRecord() {
    fCurrentRow = nullptr;
    MoveAndFetch(0, DBIERR_BOF);
}

void TNativeDataSet::LastRecord() {
    fCurrentRow = nullptr;
    const int32_t rows = RowCount();
    MoveAndFetch(rows > 0 ? rows - 1 : 0, DBIERR_EOF);
}

void TNativeDataSet::NextRecord() {
    fCurrentRow = nullptr;
    // Stepping on past the end keeps the record number at the row count, so that one step back always
    // reaches the last row.
    const int64_t next = std::min<int64_t>(static_cast<int64_t>(fRecNo) + 1, RowCount());
    MoveAndFetch(static_cast<int32_t>(next), DBIERR_EOF);
}

void TNativeDataSet::PrevRecord() {
    fCurrentRow = nullptr;
    // Likewise the record number stops at -1 before the first row.
    const int64_t prior = std::max<int64_t>(static_cast<int64_t>(fRecNo) - 1, -1);
    MoveAndFetch(static_cast<int32_t>(prior), DBIERR_BOF);
}

void TNativeDataSet::CurrentRecord(int32_t n) {
    fCurrentRow = nullptr;
    if (!FetchRow(n)) throw EmSQLException(DBIERR_BOF);
}

void TNativeDataSet::MoveAndFetch(int32_t recNo, DBIResult code) {
    const int32_t previous = fRecNo;
    fRecNo = recNo;
    bool found = false;
    try {
        found = FetchRow(recNo);
    } catch (...) {
        // The row could not be converted: the cursor stays where it was.
        fRecNo = previous;
        throw;
    }
    if (!found) throw EmSQLException(code);
}

bool TNativeDataSet::FetchRow(int32_t position) {
    fCurrentRow = nullptr;
    m_row row = nullptr;
    if (fResult && position >= 0 && position < RowCount()) {
        msqlDataSeek(fResult.get(), position);
        row = msqlFetchRow(fResult.get());
    }
    if (!row) {
        fCurrentBuffer = nullptr;
        return false;
    }
    if (fCurrentBuffer) {
        try {
            ConvertRow(row);
        } catch (...) {
            fCurrentBuffer = nullptr;
            throw;
        }
    }
    fCurrentRow = row;
    if (fCurrentBuffer && fBookmarkOffset > 0) SetBufBookmark(position);
    InternalReadBuffer();
    return true;
}

void TNativeDataSet::SetBufBookmark(int32_t position) {
    StoreLE<int64_t>(fCurrentBuffer + fBookmarkOffset, position);
}

// ---- Record operations

void TNativeDataSet::SetToBegin() {
    fPosition = cpBeforeFirst;
}

void TNativeDataSet::SetToEnd() {
    fPosition = cpAfterLast;
}

void TNativeDataSet::GetNextRecord(DBILockType lock, uint8_t* buffer, RECProps* props) {
    CompleteReread();
    fLastDirection = cdForward;
    fCurrentBuffer = buffer;
    switch (fPosition) {
    case cpUnpositioned:
    case cpBeforeFirst:
        FirstRecord();
        break;
    case cpOnRecord:
    case cpCrack:
        NextRecord();
        break;
    default:
        throw EmSQLException(DBIERR_EOF);
    }
    CheckFilter(buffer);
    // On the row just reached before a requested lock re-reads it, so that the lock applies to that row
    // whatever the position was before.
    fPosition = cpOnRecord;
    if (lock != dbiNOLOCK) GetRecord(lock, buffer, props);
}

void TNativeDataSet::GetPriorRecord(DBILockType lock, uint8_t* buffer, RECProps* props) {
    CompleteReread();
    fLastDirection = cdBackward;
    fCurrentBuffer = buffer;
    switch (fPosition) {
    case cpUnpositioned:
    case cpAfterLast:
        LastRecord();
        break;
    case cpOnRecord:
    case cpCrack:
        PrevRecord();
        break;
    default:
        throw EmSQLException(DBIERR_BOF);
    }
    CheckFilter(buffer);
    fPosition = cpOnRecord;
    if (lock != dbiNOLOCK) GetRecord(lock, buffer, props);
}

void TNativeDataSet::GetRecord(DBILockType lock, uint8_t* buffer, RECProps* props) {
    CompleteReread();
    fCurrentBuffer = buffer;
    switch (fPosition) {
    case cpOnRecord:
        GetWorkRecord(lock, buffer);
        try {
            CheckFilter(buffer);
        } catch (const EmSQLException&) {
            if (fReread) {
                // After a forced re-read the cursor falls back to the first accepted row.
                fReread = false;
                fPosition = cpUnpositioned;
                GetNextRecord(lock, buffer, props);
                return;
            }
            if (lock == dbiREADLOCK) fRecordLocked = false;
            throw;
        }
        return;
    case cpBeforeFirst:
        throw EmSQLException(DBIERR_EOF);
    case cpAfterLast:
        throw EmSQLException(DBIERR_BOF);
    case cpCrack:
        try {
            GetNextRecord(lock, buffer, props);
        } catch (const EmSQLException&) {
            try {
                GetPriorRecord(lock, buffer, props);
            } catch (const EmSQLException&) {
                fPosition = cpUnpositioned;
                GetNextRecord(lock, buffer, props);
            }
        }
        return;
    default:
        throw EmSQLException(DBIERR_NOCURRREC);
    }
}

int32_t TNativeDataSet::GetRecordCount() {
    CompleteReread();
    return RowCount();
}

void TNativeDataSet::ReadBlock(uint32_t& records, uint8_t* buffer) {
    const uint32_t wanted = records;
    records = 0;
    if (wanted == 0) return;
    if (!buffer) throw EmSQLException(DBIERR_INVALIDPARAM);
    const auto size = static_cast<size_t>(GetWorkBufferSize());
    // A failure (the end among them) leaves records counting the rows read before it.
    while (records < wanted) {
        GetNextRecord(dbiNOLOCK, buffer + size * records, nullptr);
        ++records;
    }
}

void TNativeDataSet::SetToRecord(int32_t n) {
    if (n < 0) {
        fRecNo = RowCount();
        if (fPosition != cpCrack) {
            try {
                CurrentRecord(fRecNo);
            } catch (const EmSQLException&) {
                // There is no row at the row count: the cursor only moves behind the last row.
            }
        }
        return;
    }
    if (fPosition != cpCrack) CurrentRecord(n);
}

void TNativeDataSet::GetBookMark(uint8_t* target) const {
    if (!target) throw EmSQLException(DBIERR_INVALIDPARAM);
    StoreLE<int64_t>(target, fRecNo);
}

void TNativeDataSet::SetToBookmark(const uint8_t* bookmark) {
    if (!bookmark) throw EmSQLException(DBIERR_INVALIDPARAM);
    CompleteReread();
    const int64_t value = LoadLE<int64_t>(bookmark);
    if (value < 0) {
        FirstRecord();
    } else {
        fRecNo = static_cast<int32_t>(static_cast<uint32_t>(value & 0xFFFFFFFF));
        if (fPosition != cpCrack) SetToRecord(fRecNo);
    }
    fPosition = cpOnRecord;
}

void TNativeDataSet::CompareBookMarks(const uint8_t* a, const uint8_t* b, int16_t& result) const {
    if (!a || !b) throw EmSQLException(DBIERR_INVALIDPARAM);
    const int64_t first = LoadLE<int64_t>(a);
    const int64_t second = LoadLE<int64_t>(b);
    result = first == second ? 0 : (first < second ? -1 : 1);
}

void TNativeDataSet::GetField(uint16_t number, uint8_t* buffer, void* target, bool& blank) {
    if (!buffer) throw EmSQLException(DBIERR_INVALIDPARAM);
    TmSQLField* field = fFieldDescs->GetField(number);
    if (!target) {
        field->SetBuffer(buffer);
        blank = field->GetNull();
        return;
    }
    NativeToHost(field, buffer, blank, target);
}

void TNativeDataSet::PutField(uint16_t number, uint8_t* buffer, const void* source) {
    if (!buffer) throw EmSQLException(DBIERR_INVALIDPARAM);
    TmSQLField* field = fFieldDescs->GetField(number);
    field->SetBuffer(buffer);
    if (source) HostToNative(field, buffer, source);
    field->SetChanged(true);
    field->SetNull(source == nullptr);
}

void TNativeDataSet::InitRecord(uint8_t* buffer) {
    if (!buffer) throw EmSQLException(DBIERR_INVALIDPARAM);
    std::memset(buffer, 0, static_cast<size_t>(GetWorkBufferSize()));
    fFieldDescs->SetFields(buffer);
    fCurrentBuffer = buffer;
}

void TNativeDataSet::GetWorkRecord(DBILockType lock, uint8_t* buffer) {
    uint8_t bookmark[BookmarkSize];
    StoreLE<int64_t>(bookmark, fRecNo);
    fCurrentBuffer = buffer;
    if (fRecordLocked) return;
    SetToBookmark(bookmark);
    if (lock == dbiREADLOCK) fRecordLocked = true;
    fPosition = cpOnRecord;
}

void TNativeDataSet::CheckParam(bool condition, DBIResult code) {
    if (condition) throw EmSQLException(code);
}

void TNativeDataSet::GetKeys(bool uniqueOnly, std::vector<uint16_t>& numbers, uint16_t& count) {
    numbers.clear();
    const TmSQLIndex* key = nullptr;
    const int indexCount = GetIndexCount();
    for (int i = 1; i <= indexCount; ++i) {
        const TmSQLIndex* index = fIndexes->GetIndex(i);
        if (index && (index->Primary() || index->Unique())) key = index;
    }
    if (key) {
        const int fields = std::min<int>(key->FldsInKey(), DBIMAXFLDSINKEY);
        numbers.assign(key->Desc().aiKeyFld, key->Desc().aiKeyFld + fields);
    } else if (!uniqueOnly) {
        for (int i = 0; i < fFieldDescs->Count(); ++i) {
            const TmSQLField* field = fFieldDescs->Field(i);
            if (field->FieldType() != fldBLOB) numbers.push_back(field->FieldNumber());
        }
    }
    count = static_cast<uint16_t>(numbers.size());
}

// ---- Properties

void TNativeDataSet::GetProp(uint32_t property, void* value, uint32_t& length, uint32_t maxLength) {
    length = 0;
    const auto answer = [&](const void* data, uint32_t size, uint32_t reported) {
        if (!value || maxLength < size) throw EmSQLException(DBIERR_INVALIDPARAM);
        std::memcpy(value, data, size);
        length = reported;
    };
    const uint16_t number = PropertyNumber(property);
    if (number == PropertyNumber(curMAXPROPS)) {
        const uint16_t count = CursorPropertyCount;
        answer(&count, sizeof count, sizeof count);
    } else if (number == PropertyNumber(curXLTMODE)) {
        const uint32_t mode = xltNONE;
        answer(&mode, sizeof mode, sizeof mode);
    } else if (number == PropertyNumber(curMAXFIELDID)) {
        // Reported with the caller's length; the count fills as much of the value as fits.
        const int32_t count = fFieldDescs->Count();
        answer(&count, std::min<uint32_t>(maxLength, sizeof count), maxLength);
    } else if (number == PropertyNumber(stmtROWCOUNT)) {
        answer(&fRowsAffected, sizeof fRowsAffected, sizeof fRowsAffected);
    }
}

void TNativeDataSet::SetProp(uint32_t property, uintptr_t value) {
    const uint16_t number = PropertyNumber(property);
    if (number == PropertyNumber(curMAKECRACK)) {
        fPosition = cpCrack;
    } else if (number == PropertyNumber(stmtLIVENESS)) {
        fReadOnly = value != wantLIVE;
    }
}

void TNativeDataSet::GetCursorProps(CURProps& props) {
    std::memset(&props, 0, sizeof props);
    props.iFields = static_cast<uint16_t>(FieldCount());
    props.iRecSize = static_cast<uint16_t>(GetRecordSize());
    props.iRecBufSize = static_cast<uint16_t>(GetWorkBufferSize());
    props.iKeySize = fCurrentIndexDesc.iKeyLen;
    props.iIndexes = static_cast<uint16_t>(GetIndexCount());
    props.iValChecks = static_cast<uint16_t>(FieldCount());
    props.iBookMarkSize = BookmarkSize;
    props.bBookMarkStable = DescFalse;
    props.eOpenMode = fReadOnly ? dbiREADONLY : dbiREADWRITE;
    props.iSeqNums = 1;
    props.bSoftDeletes = DescFalse;
    props.exltMode = xltNONE;
    props.bUniDirectional = DescTrue;
    props.eprvRights = prvFULL;
    props.iFilters = static_cast<uint16_t>(fFilters->GetCount());
}

} // namespace corvane
