// The index list of a native cursor and the cursor's index operations: index discovery from the
// server's listings, index order, key extraction and key ranges. Orders and ranges are never evaluated
// on the client: they rebuild the cursor's SELECT statement (ORDER BY over the key columns, one WHERE
// condition per bounded key field) and run it again.
#include "access/Indexes.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "access/EmSQLException.h"
#include "access/NativeDataSet.h"
#include "access/SQLScanner.h"
#include "client/msqlBinding.h"

namespace corvane {

namespace {

// Raises the failure of a listing the client library did not hand out: its error text, or lost
// communication when it left none.
[[noreturn]] void ListingLost(TNativeConnect* connection) {
    const std::string text = ClientErrorText();
    if (text.empty()) throw EmSQLException(DBIERR_SERVERCOMMLOST);
    mSQLExceptionMsg(connection, text);
}

// Longest key image an IDXDesc can describe (iKeyLen is 16 bits).
constexpr size_t MaxKeyLength = 0xFFFF;

// The comma-separated entries of text, blanks around them dropped, empty entries skipped.
std::vector<std::string> SplitFieldList(const std::string& text) {
    std::vector<std::string> entries;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        size_t first = start;
        size_t last = end;
        while (first < last && (text[first] == ' ' || text[first] == '\t'))
            ++first;
        while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t'))
            --last;
        if (last > first) entries.push_back(text.substr(first, last - first));
        start = end + 1;
    }
    return entries;
}

} // namespace

// ---- TmSQLIndex

TmSQLIndex::TmSQLIndex(host::TCollection* collection) : host::TCollectionItem(collection) {}

TmSQLIndex::TmSQLIndex(host::TCollection* collection, const IDXDesc& desc)
    : host::TCollectionItem(collection), fDesc(desc) {}

std::string TmSQLIndex::GetIndexName() const {
    return std::string(fDesc.szName, strnlen(fDesc.szName, sizeof fDesc.szName));
}

void TmSQLIndex::SetIndexName(const std::string& value) {
    std::memset(fDesc.szName, 0, sizeof fDesc.szName);
    std::memcpy(fDesc.szName, value.data(), std::min<size_t>(value.size(), MaxIndexNameLength));
}

// ---- TmSQLIndexes

TmSQLIndexes::TmSQLIndexes(TNativeDataSet* owner)
    : host::TCollection(host::ItemClassOf<TmSQLIndex>()), fOwner(owner) {}

TmSQLIndex* TmSQLIndexes::GetIndex(int n) const {
    if (n <= 0 || n > Count()) return nullptr;
    return static_cast<TmSQLIndex*>(Items(n - 1));
}

TmSQLIndex* TmSQLIndexes::FindByName(const std::string& name) const {
    for (int i = 1; i <= Count(); ++i) {
        TmSQLIndex* index = GetIndex(i);
        if (strcasecmp(index->GetIndexName().c_str(), name.c_str()) == 0) return index;
    }
    return nullptr;
}

int TmSQLIndexes::FieldNumberFromName(const std::string& name) const {
    if (!fOwner) return 0;
    if (fOwner->FieldDescs().Count() == 0) fOwner->InitFieldDescs();
    return fOwner->FieldDescs().FieldNumberFromName(name);
}

bool TmSQLIndexes::SetIndex(const std::string& name, const std::string& fields, bool primary, bool unique,
                            bool descending) {
    std::vector<uint16_t> numbers;
    for (const std::string& entry : SplitFieldList(fields)) {
        const int number = FieldNumberFromName(entry);
        // An entry that names no field makes the index unusable; 0 refuses it below.
        numbers.push_back(static_cast<uint16_t>(std::max(number, 0)));
    }
    return SetIndex(name, numbers, primary, unique, descending);
}

bool TmSQLIndexes::SetIndex(const std::string& name, const std::vector<uint16_t>& fieldNumbers, bool primary,
                            bool unique, bool descending) {
    TmSQLIndex* index = FindByName(name);
    if (fOwner && fOwner->FieldDescs().Count() == 0) fOwner->InitFieldDescs();

    // Measure the key first: an index that cannot be described is refused as a whole, never cut.
    bool usable =
        !fieldNumbers.empty() && fieldNumbers.size() <= static_cast<size_t>(DBIMAXFLDSINKEY) && fOwner;
    size_t blockSize = 0;
    for (size_t i = 0; usable && i < fieldNumbers.size(); ++i) {
        const uint16_t number = fieldNumbers[i];
        if (number == 0 || number > fOwner->FieldDescs().Count()) {
            usable = false;
            break;
        }
        blockSize += fOwner->FieldDescs().GetField(number)->FieldLength();
    }
    if (usable && blockSize + fieldNumbers.size() > MaxKeyLength) usable = false;
    if (!usable) {
        if (index) {
            const int removed = index->Index();
            Delete(removed);
            for (int i = removed; i < Count(); ++i)
                static_cast<TmSQLIndex*>(Items(i))->SetIndexNumber(static_cast<uint16_t>(i + 1));
        }
        return false;
    }

    if (!index) {
        index = static_cast<TmSQLIndex*>(Add());
        index->SetIndexNumber(static_cast<uint16_t>(Count()));
    }
    IDXDesc& desc = index->Desc();
    index->SetIndexName(primary ? std::string() : name);
    desc.bPrimary = primary ? DescTrue : DescFalse;
    desc.bUnique = unique ? DescTrue : DescFalse;
    desc.bDescending = descending ? DescTrue : DescFalse;
    desc.bMaintained = DescTrue;
    // An update replaces the key of the index instead of adding to it.
    std::memset(desc.aiKeyFld, 0, sizeof desc.aiKeyFld);
    desc.iFldsInKey = static_cast<uint16_t>(fieldNumbers.size());
    for (size_t i = 0; i < fieldNumbers.size(); ++i)
        desc.aiKeyFld[i] = fieldNumbers[i];
    desc.iBlockSize = static_cast<uint16_t>(blockSize);
    desc.iKeyLen = static_cast<uint16_t>(blockSize + fieldNumbers.size());
    return true;
}

// ---- Index discovery

std::string TNativeDataSet::WriteTableName() const {
    if (fSQLText && *fSQLText) return GetTableNameFromSQL(fSQLText);
    return fTableName;
}

void TNativeDataSet::ReadIndexes() {
    if (fIndexesRead) return;
    // Without a connection the listing cannot be read; it is tried again on the next request.
    if (!fConnect || !fConnect->Connected()) return;
    const std::string table = WriteTableName();
    fIndexesRead = true;
    if (table.empty()) return;
    try {
        fConnect->RequireClientLibrary();
        if (fFieldDescs->Count() == 0) InitFieldDescs();

        // The listing describes the table's columns, then one pseudo-column per index.
        const TResultPtr listing(msqlListFields(fConnect->Socket(), table.c_str()));
        if (!listing) {
            // A table cursor's table exists (its statement just ran): no listing means the listing was
            // lost, and a cursor without its indexes would silently lose their order and keys. A
            // statement's table may be none the server knows: then it has no indexes; any other
            // failure is the listing's.
            if (!fSQLText || ClientErrorText().rfind("Unknown table", 0) != 0) ListingLost(fConnect);
            return;
        }
        std::vector<std::string> columns;
        struct TListedIndex {
            std::string name;
            bool unique;
        };
        std::vector<TListedIndex> listed;
        msqlFieldSeek(listing.get(), 0);
        while (const m_field* info = msqlFetchField(listing.get())) {
            if (!info->name) continue;
            if (info->type == IDX_TYPE)
                listed.push_back({info->name, IS_UNIQUE(info->flags)});
            else
                columns.emplace_back(info->name);
        }
        const auto isColumn = [&](const std::string& text) {
            return std::find(columns.begin(), columns.end(), text) != columns.end();
        };

        for (const TListedIndex& index : listed) {
            // The listing's row nodes are walked (GetList), so that a client library that leaves the row
            // count at 0 (as some mSQL 4 clients do) is read correctly.
            const TResultPtr rows(msqlListIndex(fConnect->Socket(), table.c_str(), index.name.c_str()));
            if (!rows) ListingLost(fConnect);
            host::TStringList texts;
            fConnect->GetList(rows.get(), texts);
            // mSQL 2 lists the index kind ("avl") and then the key fields; mSQL 4 lists the kind (which
            // may be empty or "cpi"), the entry count and the distinct-key count before them. Only the
            // texts that name a column of the table are key fields.
            std::vector<uint16_t> numbers;
            bool complete = true;
            for (int i = 0; i < texts.Count(); ++i) {
                const std::string text = texts.Strings(i);
                if (i == 0 && (text == "avl" || text == "cpi")) continue;
                if (!isColumn(text)) continue;
                // The key field must be a field of this cursor (a statement may select fewer columns
                // than its table has); an index this cursor cannot see whole is of no use to it.
                int number = 0;
                for (int c = 0; c < FieldCount() && number == 0; ++c)
                    if (FieldName(c) == text) number = c + 1;
                if (number == 0) number = fFieldDescs->FieldNumberFromName(text);
                if (number == 0) {
                    complete = false;
                    break;
                }
                numbers.push_back(static_cast<uint16_t>(number));
            }
            if (!complete) continue;
            fIndexes->SetIndex(index.name, numbers, false, index.unique, false);
        }
    } catch (...) {
        fIndexes->Clear();
        fIndexesRead = false;
        throw;
    }
}

int TNativeDataSet::GetIndexCount() {
    ReadIndexes();
    return fIndexes->Count();
}

void TNativeDataSet::GetIndexDesc(uint16_t number, IDXDesc& desc) {
    std::memset(&desc, 0, sizeof desc);
    const int count = GetIndexCount();
    const int wanted = number == 0 ? 1 : number;
    const TmSQLIndex* index = wanted <= count ? fIndexes->GetIndex(wanted) : nullptr;
    if (!index) throw EmSQLException(DBIERR_NOASSOCINDEX);
    desc = index->Desc();
}

void TNativeDataSet::GetIndexDescs(IDXDesc* descs) {
    const int count = GetIndexCount();
    if (count > 0 && !descs) throw EmSQLException(DBIERR_INVALIDPARAM);
    for (int i = 0; i < count; ++i)
        GetIndexDesc(static_cast<uint16_t>(i + 1), descs[i]);
}

void TNativeDataSet::ClearIndexInfo() {
    fIndexes->Clear();
    fIndexesRead = false;
    fKeyNumber = 0;
}

void TNativeDataSet::RefreshIndexes() {
    const TmSQLIndex* current = fIndexes->GetIndex(fKeyNumber);
    const std::string inForce = current ? current->GetIndexName() : std::string();
    fIndexes->Clear();
    fIndexesRead = false;
    const int count = GetIndexCount();
    uint16_t number = 0;
    for (int i = 1; i <= count && number == 0 && !inForce.empty(); ++i)
        if (fIndexes->GetIndex(i)->GetIndexName() == inForce) number = static_cast<uint16_t>(i);
    if (number > 0 || fKeyNumber == 0) {
        // The same key columns stay in the statement's order lines: nothing needs to run again.
        fKeyNumber = number;
    } else {
        SetKeyNumber(0);
    }
    fCurrentIndexDesc = IDXDesc{};
    if (count > 0) GetIndexDesc(fKeyNumber, fCurrentIndexDesc);
}

// ---- Index order

void TNativeDataSet::SwitchToIndexOnOpen() {
    // With an empty name the table keeps the server's natural order and index 1 becomes the current
    // index description; with a name, that index's order is put in force.
    SwitchToIndex(fIndexName.c_str(), nullptr, 0, false);
}

void TNativeDataSet::SwitchToIndex(const char* indexName, const char* /*tagName*/, uint16_t indexId,
                                   bool /*curRec*/) {
    fRecordLocked = false;
    if (!indexName) throw EmSQLException(DBIERR_INVALIDPARAM);
    if (fFieldDescs->Count() == 0) InitFieldDescs();
    if (*indexName) {
        // Matched with case, unlike the lookup that builds the list; a name that no index bears
        // changes nothing.
        const int count = GetIndexCount();
        indexId = 0;
        for (int i = 1; i <= count && indexId == 0; ++i)
            if (std::strncmp(fIndexes->GetIndex(i)->Desc().szName, indexName, MaxIndexNameLength) == 0)
                indexId = static_cast<uint16_t>(i);
        if (indexId == 0) throw EmSQLException(DBIERR_NOSUCHINDEX);
    }
    if (fRangeActive) ResetRange();
    SetKeyNumber(static_cast<int16_t>(indexId));
    GetIndexDesc(indexId, fCurrentIndexDesc);
}

void TNativeDataSet::SetKeyNumber(int16_t n) {
    const uint16_t number = n > 0 ? static_cast<uint16_t>(n) : 0;
    if (number == fKeyNumber) return;
    const uint16_t previous = fKeyNumber;
    host::TStringList previousOrder;
    previousOrder.AddStrings(*fOrderList);
    fOrderList->Clear();
    if (number >= 1 && GetIndexCount() >= number) {
        const IDXDesc& desc = fIndexes->GetIndex(number)->Desc();
        fOrderList->Add("ORDER BY ");
        for (int i = 0; i < desc.iFldsInKey; ++i) {
            std::string name = ColumnName(desc.aiKeyFld[i] - 1);
            if (i + 1 < desc.iFldsInKey) name += ',';
            fOrderList->Add(name);
        }
    }
    fKeyNumber = number;
    try {
        ReOpenTable();
    } catch (...) {
        // The order in force stays the one the cursor re-runs, and a retry of the switch runs again.
        fKeyNumber = previous;
        fOrderList->Clear();
        fOrderList->AddStrings(previousOrder);
        throw;
    }
}

void TNativeDataSet::SettoSeqNo(int32_t n) {
    CompleteReread();
    fRecordLocked = false;
    fRecNo = n < 0 ? 1 : n;
    CurrentRecord(fRecNo);
}

// ---- Keys and ranges

uint8_t* TNativeDataSet::HostValueBuffer() {
    // Large enough for any field's host form: a CHAR value and its terminator, or 8 bytes.
    size_t needed = sizeof(double) + 1;
    for (int i = 0; i < fFieldDescs->Count(); ++i)
        needed = std::max<size_t>(needed, fFieldDescs->Field(i)->FieldLength() + size_t{1});
    if (fHostValue.size() < needed) fHostValue.resize(needed);
    return fHostValue.data();
}

void TNativeDataSet::ExtractKey(uint8_t* record, uint8_t* key) {
    if (!record) record = fCurrentBuffer;
    if (!record || !key) throw EmSQLException(DBIERR_INVALIDPARAM);
    const IDXDesc& desc = fCurrentIndexDesc;
    std::memset(key, 0, desc.iKeyLen);
    uint8_t* slot = key;
    const int fields = std::min<int>(desc.iFldsInKey, DBIMAXFLDSINKEY);
    for (int i = 0; i < fields; ++i) {
        TmSQLField* field = fFieldDescs->GetField(desc.aiKeyFld[i]);
        uint8_t* value = HostValueBuffer();
        bool blank = true;
        NativeToHost(field, record, blank, value);
        // A null field's slot stays all zero.
        if (!blank) AdjustHostField(field, slot, value);
        slot += field->FieldLength() + 1;
    }
}

void TNativeDataSet::ResetRange() {
    fRangeList->Clear();
    const bool wasActive = fRangeActive;
    fRangeActive = false;
    if (wasActive) ReOpenTable();
}

void TNativeDataSet::SetRange(bool keyItself, uint16_t fields1, uint16_t /*len1*/, uint8_t* key1,
                              bool key1Incl, uint16_t fields2, uint16_t /*len2*/, uint8_t* key2,
                              bool key2Incl) {
    ResetRange();
    fRangeActive = true;
    const auto addBound = [&](uint16_t fields, uint8_t* key, const char* op) {
        if (fields == 0) return;
        if (!key) throw EmSQLException(DBIERR_INVALIDPARAM);
        const IDXDesc& desc = fCurrentIndexDesc;
        const int count = std::min<int>({fields, desc.iFldsInKey, DBIMAXFLDSINKEY});
        size_t offset = 0;
        for (int i = 0; i < count; ++i) {
            TmSQLField* field = fFieldDescs->GetField(desc.aiKeyFld[i]);
            uint8_t* value = HostValueBuffer();
            bool blank = true;
            if (keyItself) {
                AdjustNativeField(field, key + offset, value, blank);
                offset += field->FieldLength() + size_t{1};
            } else {
                NativeToHost(field, key, blank, value);
            }
            if (blank) continue; // a null bound field restricts nothing
            std::string entry = fRangeList->Count() == 0 ? "where " : "and ";
            entry += ColumnName(field->FieldNumber() - 1);
            entry += op;
            if (AppendHostLiteral(field, value, entry)) fRangeList->Add(entry);
        }
    };
    try {
        addBound(fields1, key1, key1Incl ? ">=" : ">");
        addBound(fields2, key2, key2Incl ? "<=" : "<");
        ReOpenTable();
    } catch (...) {
        // The cursor goes back to its unrestricted rows, and the caller learns that the range failed.
        ResetRange();
        throw;
    }
}

} // namespace corvane
