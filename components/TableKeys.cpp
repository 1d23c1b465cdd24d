// Key searches and ranges of the table component, on the key buffers of the dataset core and the
// index in force.
#include <algorithm>
#include <cstring>

#include "components/Table.h"
#include "host/Messages.h"

namespace corvane {

namespace {

// A key search on a table whose cursor has no index to key on.
constexpr const char* kNoSearchIndex = "Table '%s' has no index to search on";

// True when value is a text longer than the string field can hold (a key buffer keeps it cut).
bool TextCut(const host::TField& field, const host::Variant& value) {
    return value.VarType() == host::varString && host::ftStringTypes.Contains(field.DataType()) &&
           value.AsString().size() > static_cast<size_t>(std::max(field.Size(), 0));
}

} // namespace

// ---- Key searches

void TmSQLTable::SetKey() {
    SetKeyBuffer(host::kiLookup, true);
}

void TmSQLTable::EditKey() {
    SetKeyBuffer(host::kiLookup, false);
}

bool TmSQLTable::FindKey(const std::vector<host::Variant>& values) {
    CheckBrowseMode();
    CheckSearchIndex();
    SetKeyFields(host::kiLookup, values);
    return SearchKey(false, &values);
}

void TmSQLTable::FindNearest(const std::vector<host::Variant>& values) {
    CheckBrowseMode();
    CheckSearchIndex();
    SetKeyFields(host::kiLookup, values);
    SearchKey(true, &values);
}

bool TmSQLTable::GotoKey() {
    return SearchKey(false, nullptr);
}

void TmSQLTable::GotoNearest() {
    SearchKey(true, nullptr);
}

void TmSQLTable::CheckSearchIndex() {
    if (fExpIndex || fIndexFieldCount == 0) host::DatabaseErrorFmt(kNoSearchIndex, {fTableName}, this);
}

bool TmSQLTable::SearchKey(bool nearest, const std::vector<host::Variant>* given) {
    CheckBrowseMode();
    CheckSearchIndex();
    if (!nearest) DoBeforeScroll();
    CursorPosChanged();
    // The key fields the search key holds, with their values read out of it: its KeyFieldCount leading
    // index fields, or when that was not set, the leading ones that were given a value.
    uint8_t* key = GetKeyBuffer(host::kiLookup);
    host::TKeyBuffer header;
    std::memcpy(&header, key, sizeof header);
    const int fieldCount = header.FieldCount; // std::min would bind a misaligned packed member
    const int count = fieldCount > 0 ? std::min(fieldCount, fIndexFieldCount) : fIndexFieldCount;
    std::string names;
    std::vector<host::Variant> values;
    const host::TDataSetState saved = SetTempState(host::dsSetKey);
    uint8_t* editing = fKeyBuffer;
    fKeyBuffer = key;
    try {
        for (int i = 0; i < count; ++i) {
            host::TField* field = GetIndexField(i);
            if (header.FieldCount <= 0 && field->IsNull()) break;
            if (!names.empty()) names += ';';
            names += field->FieldName();
            // A text the key field had to cut is searched for whole: the cut text would find the
            // rows holding it, which are not the rows of the value.
            if (given && static_cast<size_t>(i) < given->size() &&
                TextCut(*field, (*given)[static_cast<size_t>(i)]))
                values.push_back((*given)[static_cast<size_t>(i)]);
            else
                values.push_back(field->Value());
        }
    } catch (...) {
        fKeyBuffer = editing;
        RestoreState(saved);
        throw;
    }
    fKeyBuffer = editing;
    RestoreState(saved);
    host::Variant keyValues;
    if (!values.empty()) {
        keyValues = host::VarArrayCreate(0, static_cast<int>(values.size()) - 1);
        for (size_t i = 0; i < values.size(); ++i)
            host::VarArrayPut(keyValues, values[i], static_cast<int>(i));
    }

    if (nearest) {
        const DBIResult status = LocateNearestRecord(names, keyValues, {}, true);
        if (status == DBIERR_EOF) {
            // No row comes at or after the key: the dataset ends on the last row.
            Check(RequireEngine(), RequireEngine()->SetToEnd(fHandle));
            Resync({});
        } else {
            if (status != DBIERR_NONE) Check(RequireEngine(), status);
            Resync({host::rmCenter});
        }
        return status == DBIERR_NONE;
    }
    if (values.empty()) return false;
    bool found = LocateRecord(names, keyValues, {}, true);
    if (found) {
        try {
            Resync({host::rmExact, host::rmCenter});
            DoAfterScroll();
        } catch (...) {
            // The row vanished between the search and the re-read (or an after-scroll handler
            // failed): the search counts as failed and the dataset shows what the cursor has.
            found = false;
            Resync({});
        }
    }
    return found;
}

// ---- Ranges

void TmSQLTable::SetRangeStart() {
    SetKeyBuffer(host::kiRangeStart, true);
}

void TmSQLTable::SetRangeEnd() {
    SetKeyBuffer(host::kiRangeEnd, true);
}

void TmSQLTable::EditRangeStart() {
    SetKeyBuffer(host::kiRangeStart, false);
}

void TmSQLTable::EditRangeEnd() {
    SetKeyBuffer(host::kiRangeEnd, false);
}

void TmSQLTable::ApplyRange() {
    CheckBrowseMode();
    if (SetCursorRange()) First();
}

void TmSQLTable::CancelRange() {
    CheckBrowseMode();
    UpdateCursorPos();
    if (ResetCursorRange()) Resync({});
}

void TmSQLTable::SetRange(const std::vector<host::Variant>& startValues,
                          const std::vector<host::Variant>& endValues) {
    CheckBrowseMode();
    SetKeyFields(host::kiRangeStart, startValues);
    SetKeyFields(host::kiRangeEnd, endValues);
    // A start whose last text was cut short begins after the cut text: every row at or after the
    // whole text lies beyond it, and the row holding the cut text lies before the whole one. (An end
    // cut short keeps its bound: no text of the field lies between the cut and the whole value.)
    if (!startValues.empty() && startValues.size() <= static_cast<size_t>(GetIndexFieldCount()) &&
        TextCut(*GetIndexField(static_cast<int>(startValues.size()) - 1), startValues.back())) {
        uint8_t* key = GetKeyBuffer(host::kiRangeStart);
        host::TKeyBuffer header;
        std::memcpy(&header, key, sizeof header);
        header.Exclusive = 1;
        std::memcpy(key, &header, sizeof header);
    }
    ApplyRange();
}

} // namespace corvane
