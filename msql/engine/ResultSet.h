// A result produced by the engine (or received from a server): field descriptions and rows of
// value texts, stored in the very layout the C API hands out, so that storing a result for a
// caller copies nothing. Rows are m_data nodes, each followed by its value pointers, in blocks
// that double in size up to a cap (row n is found by arithmetic, never by walking the list); the
// NUL-terminated texts sit in blocks of their own. A result costs one node and one pointer per
// value beyond its texts, and a few allocations in all.
#pragma once

#include "msql.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace msql {

struct FieldInfo {
    std::string name;
    std::string table;
    int type = 0;
    int length = 0;
    int flags = 0;
};

class ResultSet {
public:
    // The default bound on what one result may occupy: 1 GiB.
    static constexpr size_t kDefaultLimit = size_t{1} << 30;

    ResultSet() = default;
    ResultSet(ResultSet&& other) noexcept { *this = std::move(other); }
    ResultSet& operator=(ResultSet&& other) noexcept;
    ResultSet(const ResultSet&) = delete;
    ResultSet& operator=(const ResultSet&) = delete;

    // Rows have fields.size() values: the count must be set before the first value is added
    // (a client reading a server's reply resizes it from the reply header and fills in the
    // descriptions when they arrive after the rows); it may not change afterwards.
    std::vector<FieldInfo> fields;

    // Bounds the bytes the rows and texts may occupy. A value that would take the result past it
    // throws Error("Query result too large (limit <n> bytes)"), as does a row beyond INT_MAX.
    void SetLimit(size_t bytes) { limit_ = bytes; }
    size_t Limit() const { return limit_; }

    // Appends one value of the current row; a row is complete after fields.size() values.
    void AddNull() { Place(nullptr); }
    void AddText(std::string_view value) {
        size_t need = value.size() + 1;
        if (need > textLeft_ || need > limit_ - size_) {
            Place(CopyText(value));
            return;
        }
        // The common case inline: the text fits the current block.
        char* text = reinterpret_cast<char*>(textNext_);
        if (!value.empty()) std::memcpy(text, value.data(), value.size());
        text[value.size()] = '\0';
        textNext_ += need;
        textLeft_ -= need;
        size_ += need;
        Place(text);
    }
    // Appends a value whose text the caller writes into the returned buffer, then calls EndText.
    std::string& BeginText() {
        scratch_.clear();
        return scratch_;
    }
    void EndText() { AddText(scratch_); }

    size_t RowCount() const { return rows_; }
    bool IsNull(size_t row, size_t column) const { return Row(row)->data[column] == nullptr; }
    std::string_view Value(size_t row, size_t column) const {
        const char* text = Row(row)->data[column];
        return text ? std::string_view(text) : std::string_view();
    }

    // Values per row, fixed by the first value added (0 before): fields.size() must equal it.
    size_t Width() const { return width_; }

    // The node of row n (n < RowCount()); nodes are linked in order, the last one to null.
    m_data* Row(size_t n) const;
    m_data* FirstRow() const { return rows_ ? Row(0) : nullptr; }

    // Bytes of the rows (nodes and value pointers) and texts: what the limit bounds.
    size_t Size() const { return size_; }
    // Bytes allocated for them (blocks are filled from the front).
    size_t BytesAllocated() const { return allocated_; }

private:
    struct Block {
        std::unique_ptr<std::byte[]> data;
        size_t size = 0;
    };

    void Place(char* text) {
        if (column_ == 0) {
            PlaceFirst(text);
            return;
        }
        current_->data[column_] = text;
        if (++column_ == width_) column_ = 0;
    }
    void PlaceFirst(char* text);
    char* CopyText(std::string_view value);
    m_data* StartRow();
    Block& NewBlock(std::vector<Block>& blocks, size_t bytes);
    [[noreturn]] void TooLarge() const;

    size_t limit_ = kDefaultLimit;
    size_t size_ = 0;
    size_t allocated_ = 0;
    size_t rows_ = 0;
    size_t column_ = 0;       // next value's column in the current row
    size_t width_ = 0;        // values per row, fixed by the first value
    size_t stride_ = 0;       // bytes per row: node and value pointers
    size_t firstRows_ = 0;    // rows in block 0; block k holds firstRows_ << min(k, capShift_)
    unsigned capShift_ = 0;   // blocks stop doubling here
    size_t uncappedRows_ = 0; // rows in blocks 0..capShift_
    m_data* current_ = nullptr;
    std::vector<Block> rowBlocks_;
    std::vector<Block> textBlocks_;
    std::byte* textNext_ = nullptr;
    size_t textLeft_ = 0;
    std::string scratch_;
};

} // namespace msql
