// Storage of a result handed to C callers. The m_result is the first member of a block that also
// owns the row nodes, row pointer arrays, field nodes and texts, so one delete frees it all.
#include "client/StoredResult.h"

#include <cstddef>
#include <memory>
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
    std::vector<m_data> rows; // row nodes, linked in order
    std::vector<char*> cells; // rows * fields value pointers
    std::string text;         // every value, NUL-terminated
    std::vector<m_fdata> fields;
    std::vector<std::string> fieldNames; // name and table per field
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
    const size_t numFields = rows.fields.size();
    const size_t numRows = rows.RowCount();

    storage->fieldNames.reserve(numFields * 2);
    for (const auto& f : rows.fields) {
        storage->fieldNames.push_back(f.name);
        storage->fieldNames.push_back(f.table);
    }
    storage->fields.resize(numFields);
    for (size_t i = 0; i < numFields; ++i) {
        m_fdata& node = storage->fields[i];
        node.field.name = storage->fieldNames[i * 2].data();
        node.field.table = storage->fieldNames[i * 2 + 1].data();
        node.field.type = rows.fields[i].type;
        node.field.length = rows.fields[i].length;
        node.field.flags = rows.fields[i].flags;
        node.next = i + 1 < numFields ? &storage->fields[i + 1] : nullptr;
    }

    storage->text = std::move(rows.Text());
    const auto& offsets = rows.Cells();
    storage->cells.resize(offsets.size());
    char* base = storage->text.data();
    for (size_t i = 0; i < offsets.size(); ++i) {
        storage->cells[i] = offsets[i] == ResultSet::kNull ? nullptr : base + offsets[i];
    }
    storage->rows.resize(numRows);
    for (size_t r = 0; r < numRows; ++r) {
        m_data& node = storage->rows[r];
        node.width = static_cast<int>(numFields);
        node.data = storage->cells.data() + r * numFields;
        node.next = r + 1 < numRows ? &storage->rows[r + 1] : nullptr;
    }

    auto block = std::make_unique<ResultBlock>();
    block->result.queryData = numRows ? storage->rows.data() : nullptr;
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
    result->cursor = &block->storage->rows[static_cast<size_t>(n)];
}

} // namespace msql
