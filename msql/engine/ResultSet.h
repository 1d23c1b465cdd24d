// A result produced by the engine: field descriptions and rows of value texts, kept compactly
// (one text buffer and one offset per cell) so that a large result costs a few allocations.
#pragma once

#include <cstdint>
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
    std::vector<FieldInfo> fields;

    // Appends one cell of the current row; rows are complete after fields.size() cells.
    void AddNull() { cells_.push_back(kNull); }
    void AddText(std::string_view value) {
        cells_.push_back(static_cast<int64_t>(text_.size()));
        text_.append(value);
        text_.push_back('\0');
    }
    // Appends a cell whose text the caller writes into the returned buffer (then ends with EndText).
    std::string& BeginText() {
        cells_.push_back(static_cast<int64_t>(text_.size()));
        return text_;
    }
    void EndText() { text_.push_back('\0'); }

    size_t RowCount() const { return fields.empty() ? 0 : cells_.size() / fields.size(); }
    // Offset of a cell's NUL-terminated text in Text(), or -1 for NULL.
    int64_t Cell(size_t row, size_t column) const { return cells_[row * fields.size() + column]; }
    bool IsNull(size_t row, size_t column) const { return Cell(row, column) == kNull; }
    std::string_view Value(size_t row, size_t column) const {
        int64_t offset = Cell(row, column);
        return offset == kNull ? std::string_view() : std::string_view(text_.c_str() + offset);
    }

    // The whole text buffer; the caller may take it over (cells keep their offsets).
    std::string& Text() { return text_; }
    const std::vector<int64_t>& Cells() const { return cells_; }
    void Reserve(size_t rows, size_t bytes) {
        cells_.reserve(rows * fields.size());
        text_.reserve(bytes);
    }

    static constexpr int64_t kNull = -1;

private:
    std::string text_;
    std::vector<int64_t> cells_;
};

} // namespace msql
