// Result storage: row blocks of doubling size holding m_data nodes and their value pointers, text
// blocks holding the values, and the limit on what one result may occupy.
#include "engine/ResultSet.h"

#include "engine/Error.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace msql {

namespace {

constexpr size_t kFirstRowBlock = 512;  // bytes of row block 0
constexpr size_t kMaxBlock = 256 << 10; // blocks stop doubling at about this size
constexpr size_t kFirstTextBlock = 1024;
constexpr size_t kOwnTextBlock = 64 << 10; // a longer value gets a block of its own

} // namespace

ResultSet& ResultSet::operator=(ResultSet&& other) noexcept {
    if (this == &other) return *this;
    fields = std::move(other.fields);
    limit_ = other.limit_;
    size_ = std::exchange(other.size_, 0);
    allocated_ = std::exchange(other.allocated_, 0);
    rows_ = std::exchange(other.rows_, 0);
    column_ = std::exchange(other.column_, 0);
    width_ = std::exchange(other.width_, 0);
    stride_ = std::exchange(other.stride_, 0);
    firstRows_ = std::exchange(other.firstRows_, 0);
    capShift_ = std::exchange(other.capShift_, 0);
    uncappedRows_ = std::exchange(other.uncappedRows_, 0);
    current_ = std::exchange(other.current_, nullptr);
    rowBlocks_ = std::move(other.rowBlocks_);
    textBlocks_ = std::move(other.textBlocks_);
    textNext_ = std::exchange(other.textNext_, nullptr);
    textLeft_ = std::exchange(other.textLeft_, 0);
    other.rowBlocks_.clear();
    other.textBlocks_.clear();
    return *this;
}

m_data* ResultSet::Row(size_t n) const {
    size_t block, offset;
    if (n < uncappedRows_) {
        // Block k holds firstRows_ << k rows and follows firstRows_ * (2^k - 1) others.
        block = static_cast<size_t>(std::bit_width(n / firstRows_ + 1)) - 1;
        offset = n - firstRows_ * ((size_t{1} << block) - 1);
    } else {
        size_t perBlock = firstRows_ << capShift_;
        block = capShift_ + 1 + (n - uncappedRows_) / perBlock;
        offset = (n - uncappedRows_) % perBlock;
    }
    return reinterpret_cast<m_data*>(rowBlocks_[block].data.get() + offset * stride_);
}

void ResultSet::TooLarge() const {
    throw Error("Query result too large (limit " + std::to_string(limit_) + " bytes)");
}

ResultSet::Block& ResultSet::NewBlock(std::vector<Block>& blocks, size_t bytes) {
    Block block;
    block.data.reset(new std::byte[bytes]);
    block.size = bytes;
    blocks.push_back(std::move(block));
    allocated_ += bytes;
    return blocks.back();
}

m_data* ResultSet::StartRow() {
    if (stride_ == 0) {
        // The layout is fixed by the first value.
        if (fields.empty()) throw std::logic_error("ResultSet: a value added before the field count");
        width_ = fields.size();
        stride_ = sizeof(m_data) + width_ * sizeof(char*);
        firstRows_ = std::max<size_t>(1, kFirstRowBlock / stride_);
        capShift_ = 0;
        while ((firstRows_ << (capShift_ + 1)) * stride_ <= kMaxBlock)
            ++capShift_;
        uncappedRows_ = firstRows_ * ((size_t{2} << capShift_) - 1);
    }
    if (fields.size() != width_) throw std::logic_error("ResultSet: the field count changed between rows");
    if (rows_ >= static_cast<size_t>(INT_MAX) || size_ + stride_ > limit_) TooLarge();
    // A new block when the row is the first of one.
    size_t block = rows_ < uncappedRows_
                       ? static_cast<size_t>(std::bit_width(rows_ / firstRows_ + 1)) - 1
                       : capShift_ + 1 + (rows_ - uncappedRows_) / (firstRows_ << capShift_);
    if (block == rowBlocks_.size()) {
        // Rows the limit leaves no room for are never placed, so need no memory.
        size_t rows = std::min(firstRows_ << std::min<size_t>(block, capShift_), (limit_ - size_) / stride_);
        NewBlock(rowBlocks_, rows * stride_);
    }
    auto* slot = reinterpret_cast<std::byte*>(Row(rows_));
    auto* cells = reinterpret_cast<char**>(slot + sizeof(m_data));
    auto* node = new (slot) m_data{static_cast<int>(width_), cells, nullptr};
    if (current_) current_->next = node;
    current_ = node;
    ++rows_;
    size_ += stride_;
    return node;
}

void ResultSet::PlaceFirst(char* text) {
    StartRow();
    current_->data[0] = text;
    if (width_ > 1) column_ = 1;
}

char* ResultSet::CopyText(std::string_view value) {
    size_t need = value.size() + 1;
    if (need > limit_ - std::min(limit_, size_)) TooLarge();
    std::byte* at;
    if (need > kOwnTextBlock) {
        // Keeps the current block for the shorter values that follow.
        at = NewBlock(textBlocks_, need).data.get();
    } else {
        if (need > textLeft_) {
            size_t last = textBlocks_.empty() ? 0 : textBlocks_.back().size;
            size_t size = std::clamp(last * 2, kFirstTextBlock, kMaxBlock);
            // Never more than the limit leaves room for.
            size = std::max(need, std::min(size, limit_ - size_));
            Block& block = NewBlock(textBlocks_, size);
            textNext_ = block.data.get();
            textLeft_ = size;
        }
        at = textNext_;
        textNext_ += need;
        textLeft_ -= need;
    }
    char* text = reinterpret_cast<char*>(at);
    if (!value.empty()) std::memcpy(text, value.data(), value.size());
    text[value.size()] = '\0';
    size_ += need;
    return text;
}

} // namespace msql
