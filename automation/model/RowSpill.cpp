// SPDX-License-Identifier: Apache-2.0
#include "automation/model/RowSpill.h"

#include <algorithm>
#include <cstring>

namespace automation::model {

namespace {
constexpr size_t kFlushSize = 1 << 20;
constexpr size_t kReadSize = 1 << 20;
// index, height, style, hidden, cell count, merge count
constexpr size_t kRowHeaderSize = 4 + 4 + 4 + 1 + 4 + 4;
constexpr size_t kCellCountOffset = 4 + 4 + 4 + 1;
// column, style, type
constexpr size_t kCellHeaderSize = 4 + 4 + 1;
}  // namespace

RowSpill::~RowSpill() {
    if (file_) std::fclose(file_);
}

template <typename T>
void RowSpill::put(T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    buffer_.append(raw, sizeof(T));
}

void RowSpill::beginRow(uint32_t index, float height, uint32_t style, bool hidden) {
    if (rows_ == 0) firstRow_ = index;
    lastRow_ = index;
    ++rows_;
    rowStart_ = buffer_.size();
    put(index);
    put(height);
    put(style);
    put<uint8_t>(hidden ? 1 : 0);
    put<uint32_t>(0);
    put<uint32_t>(0);
    cellCount_ = mergeCount_ = 0;
}

void RowSpill::addCell(const Cell &cell, std::string_view text) {
    ++cellCount_;
    // The record is laid out here and appended once (a text follows it):
    // results copy millions of cells.
    char record[kCellHeaderSize + sizeof(double)];
    size_t size = 0;
    const auto field = [&](auto value) {
        std::memcpy(record + size, &value, sizeof value);
        size += sizeof value;
    };
    field(cell.column);
    field(cell.style);
    field(static_cast<uint8_t>(cell.type));
    switch (cell.type) {
        case CellType::Number:
            field(cell.number);
            break;
        case CellType::String:
            field(static_cast<uint32_t>(text.size()));
            break;
        case CellType::Boolean:
            field(static_cast<uint8_t>(cell.boolean ? 1 : 0));
            break;
        case CellType::Error:
            field(static_cast<uint8_t>(cell.error));
            break;
        case CellType::Empty:
            break;
    }
    buffer_.append(record, size);
    if (cell.type == CellType::String) buffer_.append(text.data(), text.size());
    if (!cell.isUsed()) return;
    if (!hasBounds_) {
        bounds_ = CellArea{lastRow_, cell.column, lastRow_, cell.column};
        hasBounds_ = true;
        return;
    }
    bounds_.firstRow = std::min(bounds_.firstRow, lastRow_);
    bounds_.lastRow = std::max(bounds_.lastRow, lastRow_);
    bounds_.firstColumn = std::min(bounds_.firstColumn, cell.column);
    bounds_.lastColumn = std::max(bounds_.lastColumn, cell.column);
}

void RowSpill::addMerge(const CellArea &area) {
    ++mergeCount_;
    put(area.firstRow);
    put(area.firstColumn);
    put(area.lastRow);
    put(area.lastColumn);
}

void RowSpill::endRow() {
    std::memcpy(&buffer_[rowStart_ + kCellCountOffset], &cellCount_, 4);
    std::memcpy(&buffer_[rowStart_ + kCellCountOffset + 4], &mergeCount_, 4);
    flushIfLarge();
}

void RowSpill::flushIfLarge() {
    // Only between rows, and only into the file: a reader never meets half a row.
    if (buffer_.size() < kFlushSize || fileFailed_ || readBuffer_ != 0) return;
    if (!file_) file_ = std::tmpfile();
    // Without a file the rows stay in memory: slower to grow, never lost.
    if (!file_ || fseeko(file_, static_cast<off_t>(fileBytes_), SEEK_SET) != 0) {
        fileFailed_ = true;
        return;
    }
    const size_t written = std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    if (written != buffer_.size() || std::fflush(file_) != 0) {
        // What the file may hold of this block is never read: its bytes are not counted.
        fileFailed_ = true;
        return;
    }
    fileBytes_ += written;
    buffer_.clear();
}

void RowSpill::rewind() {
    readFile_ = 0;
    readBuffer_ = 0;
    chunk_.clear();
    chunkPos_ = 0;
    error_.clear();
}

bool RowSpill::fill(size_t needed) {
    if (chunk_.size() - chunkPos_ >= needed) return true;
    chunk_.erase(0, chunkPos_);
    chunkPos_ = 0;
    while (chunk_.size() < needed) {
        if (readFile_ < fileBytes_) {
            const size_t want = static_cast<size_t>(
                std::min<uint64_t>(fileBytes_ - readFile_, std::max(kReadSize, needed - chunk_.size())));
            const size_t old = chunk_.size();
            chunk_.resize(old + want);
            if (fseeko(file_, static_cast<off_t>(readFile_), SEEK_SET) != 0 ||
                std::fread(&chunk_[old], 1, want, file_) != want) {
                chunk_.resize(old);
                error_ = "the temporary file of the appended rows could not be read";
                return false;
            }
            readFile_ += want;
        } else if (readBuffer_ < buffer_.size()) {
            const size_t want = std::min(buffer_.size() - readBuffer_, std::max(kReadSize, needed - chunk_.size()));
            chunk_.append(buffer_, readBuffer_, want);
            readBuffer_ += want;
        } else {
            return false;
        }
    }
    return true;
}

template <typename T>
bool RowSpill::get(T *value) {
    if (!fill(sizeof(T))) return false;
    std::memcpy(value, chunk_.data() + chunkPos_, sizeof(T));
    chunkPos_ += sizeof(T);
    return true;
}

bool RowSpill::next(SpilledRow *out) {
    Row &row = out->row;
    row.cells.clear();
    out->merges.clear();
    out->bytes.clear();
    out->spans.clear();
    if (!fill(kRowHeaderSize)) {
        if (error_.empty() && chunk_.size() != chunkPos_) error_ = "the appended rows end in half a row";
        // Reading is over: the next flush may write again.
        readBuffer_ = 0;
        return false;
    }
    uint8_t hidden = 0;
    uint32_t cells = 0, merges = 0;
    get(&row.index);
    get(&row.height);
    get(&row.style);
    get(&hidden);
    get(&cells);
    get(&merges);
    row.hidden = hidden != 0;
    row.cells.reserve(cells);
    bool ok = true;
    for (uint32_t i = 0; i < cells && ok; ++i) {
        Cell cell;
        uint8_t type = 0;
        // The fixed part of the record is there whole or not at all.
        ok = fill(kCellHeaderSize);
        if (!ok) break;
        const char *at = chunk_.data() + chunkPos_;
        std::memcpy(&cell.column, at, 4);
        std::memcpy(&cell.style, at + 4, 4);
        std::memcpy(&type, at + 8, 1);
        chunkPos_ += kCellHeaderSize;
        cell.type = static_cast<CellType>(type);
        switch (cell.type) {
            case CellType::Number:
                ok = ok && get(&cell.number);
                break;
            case CellType::String: {
                uint32_t length = 0;
                ok = ok && get(&length) && fill(length);
                if (!ok) break;
                cell.stringId = static_cast<uint32_t>(out->spans.size());
                out->spans.emplace_back(static_cast<uint32_t>(out->bytes.size()), length);
                out->bytes.append(chunk_, chunkPos_, length);
                out->bytes.push_back('\0');
                chunkPos_ += length;
                break;
            }
            case CellType::Boolean: {
                uint8_t v = 0;
                ok = ok && get(&v);
                cell.boolean = v != 0;
                break;
            }
            case CellType::Error: {
                uint8_t v = 0;
                ok = ok && get(&v);
                cell.error = static_cast<CellError>(v);
                break;
            }
            case CellType::Empty:
                break;
        }
        if (ok) row.cells.push_back(cell);
    }
    for (uint32_t i = 0; i < merges && ok; ++i) {
        CellArea area;
        ok = get(&area.firstRow) && get(&area.firstColumn) && get(&area.lastRow) && get(&area.lastColumn);
        if (ok) out->merges.push_back(area);
    }
    if (!ok) {
        if (error_.empty()) error_ = "the appended rows end in half a row";
        readBuffer_ = 0;
        return false;
    }
    return true;
}

}  // namespace automation::model
