// Dataset filters and searching: expression filters built from the filter text, the record-event
// filter and lookup filters as engine filters of the dataset's cursor; Locate, Lookup, the host's
// find-first / find-next searching, and block reading.
#include <algorithm>

#include "components/DataSet.h"
#include "host/Application.h"
#include "host/FilterExpr.h"

namespace corvane {

namespace {

// Largest block-read size: it asks for a block of 64 KiB.
constexpr int kWholeBlock = 2147483647;
constexpr size_t kWholeBlockBytes = 65536;

// Value i of a lookup: the value itself for one field, else element i of the variant array.
host::Variant KeyValue(const host::Variant& values, size_t count, size_t i) {
    if (!values.IsArray()) {
        if (count != 1) host::DatabaseError("Locate needs one value for each key field");
        return values;
    }
    if (static_cast<size_t>(values.ArrayCount()) != count)
        host::DatabaseError("Locate needs one value for each key field");
    return values[values.ArrayLowBound() + static_cast<int>(i)];
}

// Drops a lookup filter when the search ends, however it ends.
class TLookupFilterGuard {
public:
    TLookupFilterGuard(TmSQLEngine* engine, hDBICur cursor, hDBIFilter filter)
        : fEngine(engine), fCursor(cursor), fFilter(filter) {}
    ~TLookupFilterGuard() {
        // The filter lives for one search; a failure to drop it changes nothing for the caller.
        if (fFilter) fEngine->DropFilter(fCursor, fFilter);
    }
    TLookupFilterGuard(const TLookupFilterGuard&) = delete;
    TLookupFilterGuard& operator=(const TLookupFilterGuard&) = delete;

private:
    TmSQLEngine* fEngine;
    hDBICur fCursor;
    hDBIFilter fFilter;
};

} // namespace

// ---- Filter handles

hDBIFilter TmSQLDataSet::CreateExprFilter(const std::string& text, host::TFilterOptions options,
                                          int priority) {
    TmSQLEngine* engine = RequireEngine();
    host::TExprParser parser(this, text, options, {}, "", nullptr, host::FldTypeMap);
    hDBIFilter filter = nullptr;
    // The engine keeps a copy of the expression.
    Check(engine,
          engine->AddFilter(fHandle, 0, static_cast<uint16_t>(priority), false,
                            reinterpret_cast<const host::CANExpr*>(parser.FilterData()), nullptr, filter));
    return filter;
}

hDBIFilter TmSQLDataSet::CreateFuncFilter(pfGENFilter callback, int priority) {
    TmSQLEngine* engine = RequireEngine();
    hDBIFilter filter = nullptr;
    Check(engine, engine->AddFilter(fHandle, reinterpret_cast<uintptr_t>(this),
                                    static_cast<uint16_t>(priority), false, nullptr, callback, filter));
    return filter;
}

hDBIFilter TmSQLDataSet::CreateLookupFilter(const std::vector<host::TField*>& fields,
                                            const host::Variant& values, host::TLocateOptions options,
                                            int priority) {
    TmSQLEngine* engine = RequireEngine();
    host::TFilterOptions filterOptions{host::foNoPartialCompare};
    if (options.Contains(host::loCaseInsensitive)) filterOptions.Include(host::foCaseInsensitive);
    host::TFilterExpr expr(this, filterOptions, {}, "", nullptr, host::FldTypeMap);
    host::TExprNode* root = nullptr;
    host::TExprNode* last = nullptr;
    for (size_t i = 0; i < fields.size(); ++i) {
        last = expr.NewCompareNode(fields[i], host::coEQ, KeyValue(values, fields.size(), i));
        root = root ? expr.NewNode(host::enOperator, host::coAND, host::Unassigned(), last, root) : last;
    }
    if (!root) host::DatabaseError("Locate needs at least one key field");
    if (options.Contains(host::loPartialKey)) last->Partial = true;
    const std::vector<uint8_t>& data = expr.GetFilterData(root);
    hDBIFilter filter = nullptr;
    Check(engine, engine->AddFilter(fHandle, 0, static_cast<uint16_t>(priority), false,
                                    reinterpret_cast<const host::CANExpr*>(data.data()), nullptr, filter));
    return filter;
}

void TmSQLDataSet::SetFilterHandle(hDBIFilter& filter, hDBIFilter value) {
    TmSQLEngine* engine = RequireEngine();
    if (Filtered()) {
        CursorPosChanged();
        DestroyLookupCursor();
        engine->SetToBegin(fHandle);
    }
    // The old filter is of no further use, active or not.
    if (filter) engine->DropFilter(fHandle, filter);
    filter = value;
    if (filter && Filtered()) engine->ActivateFilter(fHandle, filter);
}

void TmSQLDataSet::ActivateFilters() {
    TmSQLEngine* engine = RequireEngine();
    if (fExprFilter && engine->ActivateFilter(fHandle, fExprFilter) != DBIERR_NONE) {
        // The cursor lost the filter: it is built again from the current text.
        engine->DropFilter(fHandle, fExprFilter);
        fExprFilter = nullptr;
        fExprFilter = CreateExprFilter(Filter(), FilterOptions(), 0);
        Check(engine, engine->ActivateFilter(fHandle, fExprFilter));
    }
    if (fFuncFilter && engine->ActivateFilter(fHandle, fFuncFilter) != DBIERR_NONE) {
        engine->DropFilter(fHandle, fFuncFilter);
        fFuncFilter = nullptr;
        fFuncFilter = CreateFuncFilter(&TmSQLDataSet::RecordFilter, 1);
        Check(engine, engine->ActivateFilter(fHandle, fFuncFilter));
    }
}

void TmSQLDataSet::DeactivateFilters() {
    TmSQLEngine* engine = RequireEngine();
    if (fFuncFilter) Check(engine, engine->DeactivateFilter(fHandle, fFuncFilter));
    if (fExprFilter) Check(engine, engine->DeactivateFilter(fHandle, fExprFilter));
}

int16_t TmSQLDataSet::RecordFilter(uintptr_t clientData, uint8_t* recordBuffer, int32_t /*recordNumber*/) {
    auto* dataSet = reinterpret_cast<TmSQLDataSet*>(clientData);
    bool accept = true;
    const host::TDataSetState saved = dataSet->SetTempState(host::dsFilter);
    dataSet->fFilterBuffer = recordBuffer;
    try {
        if (const host::TFilterRecordEvent& handler = dataSet->OnFilterRecord()) handler(dataSet, accept);
    } catch (...) {
        // The engine cannot take an exception: it goes to the application's handler, and the row
        // counts as accepted unless the handler said otherwise before it failed.
        host::Application().HandleException(dataSet);
    }
    dataSet->fFilterBuffer = nullptr;
    dataSet->RestoreState(saved);
    return accept ? 1 : 0;
}

// ---- Filter properties

void TmSQLDataSet::SetFilterData(const std::string& text, host::TFilterOptions options) {
    if (Active()) {
        CheckBrowseMode();
        if (Filter() != text || FilterOptions() != options) {
            hDBIFilter filter = text.empty() ? nullptr : CreateExprFilter(text, options, 0);
            SetFilterHandle(fExprFilter, filter);
        }
    }
    host::TDataSet::SetFilterText(text);
    host::TDataSet::SetFilterOptions(options);
    if (Active() && Filtered()) First();
}

void TmSQLDataSet::SetFilterText(const std::string& value) {
    SetFilterData(value, FilterOptions());
}

void TmSQLDataSet::SetFilterOptions(host::TFilterOptions value) {
    SetFilterData(Filter(), value);
}

void TmSQLDataSet::SetFiltered(bool value) {
    if (!Active()) {
        host::TDataSet::SetFiltered(value);
        return;
    }
    CheckBrowseMode();
    if (Filtered() != value) {
        TmSQLEngine* engine = RequireEngine();
        DestroyLookupCursor();
        engine->SetToBegin(fHandle);
        if (value)
            ActivateFilters();
        else
            DeactivateFilters();
        host::TDataSet::SetFiltered(value);
    }
    First();
}

void TmSQLDataSet::SetOnFilterRecord(const host::TFilterRecordEvent& value) {
    if (!Active()) {
        host::TDataSet::SetOnFilterRecord(value);
        return;
    }
    CheckBrowseMode();
    if (static_cast<bool>(OnFilterRecord()) != static_cast<bool>(value)) {
        hDBIFilter filter = value ? CreateFuncFilter(&TmSQLDataSet::RecordFilter, 1) : nullptr;
        SetFilterHandle(fFuncFilter, filter);
    }
    host::TDataSet::SetOnFilterRecord(value);
    if (Filtered()) First();
}

// ---- Locate and lookup

bool TmSQLDataSet::LocateRecord(const std::string& keyFields, const host::Variant& keyValues,
                                host::TLocateOptions options, bool /*sync*/) {
    CheckBrowseMode();
    CursorPosChanged();
    host::TRecordBuffer buffer = TempBuffer();
    std::vector<host::TField*> fields;
    GetFieldList(fields, keyFields);
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->SetToBegin(fHandle));
    const TLookupFilterGuard filter(engine, fHandle, [&] {
        hDBIFilter handle = CreateLookupFilter(fields, keyValues, options, 2);
        engine->ActivateFilter(fHandle, handle);
        return handle;
    }());
    // The first row the lookup filter (and any active filter) accepts; a failure to read one counts
    // as not found.
    return engine->GetNextRecord(fHandle, dbiNOLOCK, buffer, nullptr) == DBIERR_NONE;
}

DBIResult TmSQLDataSet::LocateNearestRecord(const std::string& keyFields, const host::Variant& keyValues,
                                            host::TLocateOptions /*options*/, bool /*sync*/) {
    CheckBrowseMode();
    CursorPosChanged();
    host::TRecordBuffer buffer = TempBuffer();
    std::vector<host::TField*> fields;
    GetFieldList(fields, keyFields);
    TmSQLEngine* engine = RequireEngine();
    Check(engine, engine->SetToBegin(fHandle));
    // At or after the key in key order: f1 > v1 or (f1 = v1 and (f2 > v2 or (... fn >= vn))). The key
    // ends before its first null value.
    host::TFilterExpr expr(this, {host::foNoPartialCompare}, {}, "", nullptr, host::FldTypeMap);
    size_t count = 0;
    while (count < fields.size() && !host::VarIsClear(KeyValue(keyValues, fields.size(), count)))
        ++count;
    host::TExprNode* root = nullptr;
    for (size_t i = count; i-- > 0;) {
        const host::Variant value = KeyValue(keyValues, fields.size(), i);
        if (!root) {
            root = expr.NewCompareNode(fields[i], host::coGE, value);
            continue;
        }
        host::TExprNode* equal = expr.NewCompareNode(fields[i], host::coEQ, value);
        host::TExprNode* beyond = expr.NewCompareNode(fields[i], host::coGT, value);
        root = expr.NewNode(host::enOperator, host::coOR, host::Unassigned(), beyond,
                            expr.NewNode(host::enOperator, host::coAND, host::Unassigned(), equal, root));
    }
    if (!root) return engine->GetNextRecord(fHandle, dbiNOLOCK, buffer, nullptr);
    const std::vector<uint8_t>& data = expr.GetFilterData(root);
    hDBIFilter handle = nullptr;
    Check(engine, engine->AddFilter(fHandle, 0, 2, false, reinterpret_cast<const host::CANExpr*>(data.data()),
                                    nullptr, handle));
    const TLookupFilterGuard filter(engine, fHandle, handle);
    engine->ActivateFilter(fHandle, handle);
    return engine->GetNextRecord(fHandle, dbiNOLOCK, buffer, nullptr);
}

bool TmSQLDataSet::Locate(const std::string& keyFields, const host::Variant& keyValues,
                          host::TLocateOptions options) {
    DoBeforeScroll();
    const bool found = LocateRecord(keyFields, keyValues, options, true);
    if (found) {
        Resync({host::rmExact, host::rmCenter});
        DoAfterScroll();
    }
    return found;
}

host::Variant TmSQLDataSet::Lookup(const std::string& keyFields, const host::Variant& keyValues,
                                   const std::string& resultFields) {
    if (!LocateRecord(keyFields, keyValues, {}, false)) return host::Null();
    // The row found is in the temporary buffer; the current row stays where it was (the cursor
    // position is marked as changed, so the next move finds its way back).
    SetTempState(host::dsCalcFields);
    host::Variant result;
    const CalcRowScope calcRow(fCalcRowBuffer, TempBuffer());
    try {
        CalculateFields(TempBuffer());
        result = FieldValues(resultFields);
    } catch (...) {
        RestoreState(host::dsBrowse);
        throw;
    }
    RestoreState(host::dsBrowse);
    return result;
}

// ---- Find first / next / prior / last

bool TmSQLDataSet::FindRecord(bool restart, bool goForward) {
    CheckBrowseMode();
    DoBeforeScroll();
    SetFound(false);
    UpdateCursorPos();
    CursorPosChanged();
    TmSQLEngine* engine = RequireEngine();
    // The search goes through the filters whether or not the dataset is filtered.
    const bool temporary = !Filtered();
    if (temporary) ActivateFilters();
    DBIResult status = DBIERR_NONE;
    try {
        if (goForward) {
            if (restart) Check(engine, engine->SetToBegin(fHandle));
            status = engine->GetNextRecord(fHandle, dbiNOLOCK, nullptr, nullptr);
        } else {
            if (restart) Check(engine, engine->SetToEnd(fHandle));
            status = engine->GetPriorRecord(fHandle, dbiNOLOCK, nullptr, nullptr);
        }
    } catch (...) {
        if (temporary) DeactivateFilters();
        throw;
    }
    if (temporary) DeactivateFilters();
    if (status == DBIERR_NONE) {
        Resync({host::rmExact, host::rmCenter});
        SetFound(true);
    }
    if (Found()) DoAfterScroll();
    return Found();
}

// ---- Block reading

void TmSQLDataSet::SetBlockReadSize(int value) {
    if (value == BlockReadSize()) return;
    if (value <= 0) {
        host::TDataSet::SetBlockReadSize(value);
        std::vector<uint8_t>().swap(fBlockBuffer);
        fBlockBufSize = 0;
        fBlockBufOfs = 0;
        fBlockBufCount = 0;
        // The cursor stands where the last block ended: the next move finds the current row again.
        CursorPosChanged();
        return;
    }
    if (Eof() || BufferCount() > 1 || BlobFieldCount() > 0) return;
    for (host::TField* field : *Fields()) {
        const host::TFieldType type = field->DataType();
        if (type == host::ftReference || type == host::ftDataSet) return;
    }
    TmSQLEngine* engine = RequireEngine();
    std::vector<uint8_t>().swap(fBlockBuffer);
    UpdateCursorPos();
    // The first block starts with the current row: the cursor steps back to the row before it (the
    // one the filters let through), or before the first row.
    if (engine->GetPriorRecord(fHandle, dbiNOLOCK, nullptr, nullptr) != DBIERR_NONE)
        Check(engine, engine->SetToBegin(fHandle));
    const size_t bytes =
        value == kWholeBlock ? kWholeBlockBytes : size_t{fRecordSize} * static_cast<size_t>(value);
    fBlockBuffer.assign(std::max(bytes, size_t{fRecordSize}), 0);
    fBlockBufSize = static_cast<int>(fBlockBuffer.size() / fRecordSize);
    fBlockBufOfs = fBlockBufSize;
    fBlockBufCount = fBlockBufSize;
    fBlockReadCount = 0;
    host::TDataSet::SetBlockReadSize(value);
    BlockReadNext();
}

void TmSQLDataSet::BlockReadNext() {
    if (fBlockBufOfs < fBlockBufCount - 1) {
        ++fBlockBufOfs;
    } else if (fBlockBufCount < fBlockBufSize) {
        // The last block was short: the end is reached.
        Last();
    } else {
        TmSQLEngine* engine = RequireEngine();
        auto count = static_cast<uint32_t>(fBlockBufSize);
        const DBIResult status = engine->ReadBlock(fHandle, count, fBlockBuffer.data());
        fBlockBufCount = static_cast<int>(count);
        if (status != DBIERR_NONE && status != DBIERR_EOF) Check(engine, status);
        if (count == 0 && status == DBIERR_EOF) Last();
        fBlockReadCount += static_cast<int>(count);
        fBlockBufOfs = 0;
    }
    if (CalcFieldsSize() > 0) GetCalcFields(TempBuffer());
    DataEvent(host::deDataSetScroll, -1);
}

} // namespace corvane
