// The index list of a native cursor: TmSQLIndex holds one IDXDesc, TmSQLIndexes numbers them 1..Count
// in the order they were added. A cursor learns its table's indexes from the server's column listing
// and emulates an index order or a key range by rebuilding its SELECT statement.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access/IndexDesc.h"
#include "host/Collection.h"

namespace corvane {

class TNativeDataSet;

// Longest index name a descriptor keeps.
inline constexpr int MaxIndexNameLength = DBIMAXTBLNAMELEN;

class TmSQLIndex : public host::TCollectionItem {
public:
    // A zeroed descriptor appended to collection.
    explicit TmSQLIndex(host::TCollection* collection);
    // A copy of desc appended to collection.
    TmSQLIndex(host::TCollection* collection, const IDXDesc& desc);

    uint16_t IndexNumber() const { return fDesc.iIndexId; }
    void SetIndexNumber(uint16_t value) { fDesc.iIndexId = value; }
    std::string IndexName() const { return GetIndexName(); }
    // The zero-terminated name.
    std::string GetIndexName() const;
    // Stores the first 260 characters of value.
    void SetIndexName(const std::string& value);
    bool Primary() const { return fDesc.bPrimary != DescFalse; }
    bool Unique() const { return fDesc.bUnique != DescFalse; }
    bool Descending() const { return fDesc.bDescending != DescFalse; }
    uint16_t FldsInKey() const { return fDesc.iFldsInKey; }
    uint16_t KeyLen() const { return fDesc.iKeyLen; }
    uint16_t BlockSize() const { return fDesc.iBlockSize; }

    const IDXDesc& Desc() const { return fDesc; }
    IDXDesc& Desc() { return fDesc; }

private:
    IDXDesc fDesc{};
};

class TmSQLIndexes : public host::TCollection {
public:
    explicit TmSQLIndexes(TNativeDataSet* owner);

    TNativeDataSet* Owner() const { return fOwner; }
    // Index n (1-based); null when n <= 0 or n > Count.
    TmSQLIndex* GetIndex(int n) const;
    // The first index whose name equals name ignoring ASCII case, or null.
    TmSQLIndex* FindByName(const std::string& name) const;
    // Adds the index name (or updates the index of that name, found ignoring case) with the key fields
    // listed in fields, comma-separated (blanks around entries and empty entries are dropped). A
    // primary index is stored without name. An index with no key field, more than 16, a field that
    // is not a field of the cursor, or a key longer than 65535 bytes is refused: it is not added, and
    // an existing index of that name is removed. Returns whether the index is in the list afterwards.
    bool SetIndex(const std::string& name, const std::string& fields, bool primary, bool unique,
                  bool descending);
    // The same with the key fields given by their field numbers (1-based).
    bool SetIndex(const std::string& name, const std::vector<uint16_t>& fieldNumbers, bool primary,
                  bool unique, bool descending);
    // FieldNumber of the cursor field whose name equals name ignoring case; 0 when none. Describes the
    // cursor's fields first when none are described yet.
    int FieldNumberFromName(const std::string& name) const;

private:
    TNativeDataSet* fOwner;
};

} // namespace corvane
