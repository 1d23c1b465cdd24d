// The index list of a native cursor and the cursor's index operations.
#include "access/Indexes.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "access/EmSQLException.h"
#include "access/NativeDataSet.h"

namespace corvane {

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

// ---- Index operations of the cursor

int TNativeDataSet::GetIndexCount() {
    // The list is filled from the server's column listing of the table on first use; until then a
    // table has no indexes.
    return fIndexes->Count();
}

void TNativeDataSet::GetIndexDesc(uint16_t number, IDXDesc& desc) {
    std::memset(&desc, 0, sizeof desc);
    const TmSQLIndex* index = fIndexes->GetIndex(number == 0 ? 1 : number);
    if (!index) throw EmSQLException(DBIERR_NOASSOCINDEX);
    desc = index->Desc();
}

void TNativeDataSet::GetIndexDescs(IDXDesc* descs) {
    const int count = GetIndexCount();
    for (int i = 0; i < count; ++i)
        GetIndexDesc(static_cast<uint16_t>(i + 1), descs[i]);
}

void TNativeDataSet::ClearIndexInfo() {
    fIndexes->Clear();
    fKeyNumber = 0;
}

void TNativeDataSet::SwitchToIndexOnOpen() {
    // Puts the order of the index named at creation in force (an empty name keeps the server's natural
    // order and makes index 1 the current index description). Reached only for tables with indexes,
    // which the index list does not report yet.
}

} // namespace corvane
