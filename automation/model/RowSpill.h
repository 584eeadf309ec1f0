// SPDX-License-Identifier: Apache-2.0
// Rows appended below everything else on a sheet, kept out of memory.
//
// Results grow by whole rows at the bottom of their sheet, and the file name
// and format they are saved in are known only at the end. So the rows go, as
// they come, to a compact record stream in an unnamed temporary file (texts
// inline, formats as indexes into the owning workbook's style table), which
// the save reads back once, in order, streaming it into the writer. Anything
// else that touches the sheet reads the rows back into the model first.
#pragma once

#include "automation/model/Cell.h"
#include "automation/model/Sheet.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace automation::model {

// One row read back. A string cell's stringId indexes this row's texts.
struct SpilledRow {
    Row row;
    std::vector<CellArea> merges;  // those that begin on this row
    std::string_view text(const Cell &cell) const {
        if (cell.type != CellType::String || cell.stringId >= spans.size()) return {};
        return std::string_view(bytes.data() + spans[cell.stringId].first, spans[cell.stringId].second);
    }

    std::string bytes;                                 // each text followed by a NUL
    std::vector<std::pair<uint32_t, uint32_t>> spans;  // offset, length in bytes
};

class RowSpill {
public:
    RowSpill() = default;
    ~RowSpill();
    RowSpill(const RowSpill &) = delete;
    RowSpill &operator=(const RowSpill &) = delete;

    // ---- writing, one row at a time: beginRow, addCell/addMerge, endRow.
    // Rows must come in ascending order.
    void beginRow(uint32_t index, float height, uint32_t style, bool hidden);
    void addCell(const Cell &cell, std::string_view text);  // text: a string cell's
    void addMerge(const CellArea &area);
    void endRow();

    // The last row begun; 0 when none.
    uint32_t lastRow() const { return lastRow_; }
    uint32_t firstRow() const { return firstRow_; }
    // The bounding box of the used cells (value or own format); false when none.
    bool usedArea(CellArea *area) const {
        if (hasBounds_ && area) *area = bounds_;
        return hasBounds_;
    }
    uint64_t rows() const { return rows_; }
    uint64_t bytes() const { return fileBytes_ + buffer_.size(); }

    // ---- reading back, from the first row: rewind, then next() until false.
    // Writing may go on after reading. False from next() with an error set
    // when the temporary file could not be read.
    void rewind();
    bool next(SpilledRow *row);
    const std::string &error() const { return error_; }

private:
    void flushIfLarge();
    bool fill(size_t needed);
    template <typename T>
    void put(T value);
    template <typename T>
    bool get(T *value);

    std::FILE *file_ = nullptr;
    bool fileFailed_ = false;  // no (more) file: the rest stays in buffer_
    uint64_t fileBytes_ = 0;   // written to the file, all of it readable
    std::string buffer_;       // not yet in the file
    size_t rowStart_ = 0;      // offset in buffer_ of the open row's header
    uint32_t cellCount_ = 0, mergeCount_ = 0;

    uint32_t firstRow_ = 0, lastRow_ = 0;
    uint64_t rows_ = 0;
    CellArea bounds_{};
    bool hasBounds_ = false;

    // reading
    uint64_t readFile_ = 0;  // bytes of the file already read
    size_t readBuffer_ = 0;  // bytes of buffer_ already read
    std::string chunk_;
    size_t chunkPos_ = 0;
    std::string error_;
};

}  // namespace automation::model
