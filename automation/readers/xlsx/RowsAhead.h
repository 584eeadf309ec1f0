// SPDX-License-Identifier: Apache-2.0
// Rows of a large worksheet decoded ahead, on the thread that inflates the
// part (PieceDecoding.h): from the first row that begins in a block to the
// last that ends in it, cells turned into the model's cells as far as that
// needs nothing but the bytes and the workbook's counts of styles and shared
// strings. The worksheet's handler takes the rows in where its scan reaches
// them, through the same steps as rows it decodes itself.
//
// A block holding anything else (a formula, a text of the sheet's own, a
// cell placed other than in its row, a row without a number, markup the
// decoder leaves to the events) is not decoded ahead at all: the scan reads
// it, as it reads every block when no thread is spare.
#pragma once

#include "automation/model/Cell.h"
#include "automation/readers/xlsx/PieceDecoding.h"
#include "automation/readers/xlsx/SheetDataDecoder.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace automation::readers::xlsx {

struct RowAhead {
    uint32_t index = 0;
    uint32_t style = 0;    // already 0 without customFormat
    double height = -1.0;  // as written; negative: none
    bool hidden = false;
    uint32_t cellCount = 0;  // its cells: the next ones in RowsDecodedAhead::cells
};

struct RowsDecodedAhead : DecodedPiece {
    std::vector<RowAhead> rows;
    std::vector<model::Cell> cells;  // empty ones included, as the sheet would place them
};

class RowsAheadDecoder : public PieceDecoder, private SheetDataSink {
public:
    RowsAheadDecoder(uint32_t styleCount, uint32_t sharedStringCount)
        : styleCount_(styleCount), sharedStringCount_(sharedStringCount) {}

    bool decode(const char *data, size_t size, std::unique_ptr<DecodedPiece> &piece) noexcept override;

private:
    bool row(const RowMarkup &row) override;
    bool cell(const CellMarkup &cell) override;
    void refuse() override { refused_ = true; }
    uint32_t styleIndex(uint32_t v) const { return v < styleCount_ ? v : 0; }

    const uint32_t styleCount_, sharedStringCount_;
    RowsDecodedAhead *out_ = nullptr;
    bool refused_ = false;
};

}  // namespace automation::readers::xlsx
