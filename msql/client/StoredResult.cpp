// Storage of a result handed to C callers. The m_result is the first member of a block that also
// owns the field nodes and names and takes over the engine result's rows as they are: its row
// nodes and value texts already have the layout of m_data, so storing copies no value.
#include "client/StoredResult.h"

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

// The structures keep mSQL's member order with natural alignment (LP64 sizes).
static_assert(sizeof(void*) != 8 || sizeof(m_field) == 32);
static_assert(sizeof(void*) != 8 || sizeof(m_data) == 24);
static_assert(sizeof(void*) != 8 || sizeof(m_fdata) == 40);
static_assert(sizeof(void*) != 8 || sizeof(m_result) == 40);
static_assert(sizeof(m_seq) == 8);
static_assert(offsetof(m_result, numRows) == 4 * sizeof(void*));

namespace msql {

namespace {

struct ResultStorage {
    ResultSet rows;
    std::vector<m_fdata> fields;
    std::string fieldNames; // name and table of every field, NUL-terminated
};

struct ResultBlock {
    m_result result; // must stay first: callers hold a pointer to it
    ResultStorage* storage;
};
static_assert(std::is_standard_layout_v<ResultBlock>);
static_assert(offsetof(ResultBlock, result) == 0);

} // namespace

m_result* MakeStoredResult(ResultSet&& rows) {
    auto storage = std::make_unique<ResultStorage>();
    storage->rows = std::move(rows);
    const std::vector<FieldInfo>& infos = storage->rows.fields;
    const size_t numFields = infos.size();
    // Row nodes carry the width they were built with; descriptions must match it.
    if (storage->rows.RowCount() > 0 && storage->rows.Width() != numFields)
        throw std::logic_error("stored result: field descriptions do not match the rows");
    const size_t numRows = storage->rows.RowCount();

    size_t nameBytes = 0;
    for (const auto& f : infos)
        nameBytes += f.name.size() + f.table.size() + 2;
    storage->fieldNames.reserve(nameBytes);
    std::vector<size_t> nameAt;
    nameAt.reserve(numFields * 2);
    for (const auto& f : infos) {
        for (const std::string* text : {&f.name, &f.table}) {
            nameAt.push_back(storage->fieldNames.size());
            storage->fieldNames.append(*text);
            storage->fieldNames.push_back('\0');
        }
    }
    storage->fields.resize(numFields);
    for (size_t i = 0; i < numFields; ++i) {
        m_fdata& node = storage->fields[i];
        node.field.name = storage->fieldNames.data() + nameAt[i * 2];
        node.field.table = storage->fieldNames.data() + nameAt[i * 2 + 1];
        node.field.type = infos[i].type;
        node.field.length = infos[i].length;
        node.field.flags = infos[i].flags;
        node.next = i + 1 < numFields ? &storage->fields[i + 1] : nullptr;
    }

    auto block = std::make_unique<ResultBlock>();
    block->result.queryData = storage->rows.FirstRow();
    block->result.cursor = block->result.queryData;
    block->result.fieldData = numFields ? storage->fields.data() : nullptr;
    block->result.fieldCursor = block->result.fieldData;
    block->result.numRows = static_cast<int>(numRows);
    block->result.numFields = static_cast<int>(numFields);
    block->storage = storage.release();
    return &block.release()->result;
}

void FreeStoredResult(m_result* result) {
    if (!result) return;
    auto* block = reinterpret_cast<ResultBlock*>(result);
    delete block->storage;
    delete block;
}

void SeekStoredResult(m_result* result, int n) {
    auto* block = reinterpret_cast<ResultBlock*>(result);
    if (n < 0 || n >= result->numRows) {
        result->cursor = nullptr;
        return;
    }
    result->cursor = block->storage->rows.Row(static_cast<size_t>(n));
}

} // namespace msql
