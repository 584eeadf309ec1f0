// SPDX-License-Identifier: Apache-2.0
// The events of a worksheet part, and on the fast path its sheetData decoded
// straight from the bytes (SheetDataDecoder), turned into the same steps:
// rows, cells with their values and formats, column spans, merged areas.
// Rows go to the sheet, or through a RowKeeper when a filter decides.
//
// It never decides how a part is read: when the way it is being read cannot
// go on, it halts the parse and says which read comes next (retry()), and the
// worksheet reader starts again that way.
#pragma once

#include "automation/model/Sheet.h"
#include "automation/readers/xlsx/CellAddress.h"
#include "automation/readers/xlsx/CellValue.h"
#include "automation/readers/xlsx/PieceDecoding.h"
#include "automation/readers/xlsx/RowKeeper.h"
#include "automation/readers/xlsx/SheetDataDecoder.h"
#include "automation/readers/xlsx/WorksheetContext.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace automation::readers::xlsx {

class WorksheetHandler : public XmlHandler, private SheetDataSink {
public:
    // Why the parse halted, and so how the part is to be read next.
    enum class Retry {
        None,            // it did not halt
        WithoutDecoder,  // the decoder met markup it leaves to the events: read again through them alone
        Whole,           // rows or cells out of order for the filter: read again whole, then filter
    };

    // `decodeSheetData`: sheetData goes to the decoder, not the events.
    // `keeper`: rows go through it instead of straight to the sheet.
    WorksheetHandler(const WorksheetContext &ctx, model::Sheet *sheet, bool decodeSheetData,
                     RowKeeper *keeper = nullptr)
        : ctx_(ctx), sheet_(sheet), keeper_(keeper), decodeSheetData_(decodeSheetData), decoder_(*this) {}

    void startElement(const char *local, const char **atts) override;
    void endElement(const char *local) override;
    void characters(const char *s, int len) override;
    RawContentReader *rawContent(std::string_view qualified) override;
    // Rows decoded ahead (RowsAhead.h), when sheetData goes to the decoder.
    std::unique_ptr<PieceDecoder> pieceDecoder() override;
    bool takeDecoded(const DecodedPiece &piece) override;

    // Why a halted parse was halted: the read that must come next.
    Retry retry() const { return retry_; }
    // After a parse that ended well: the last row kept, the column spans settled.
    void finish();

private:
    // The decoder's steps.
    bool row(const RowMarkup &r) override {
        startRow(r.r, r.ht, r.s, r.customFormat, r.hidden);
        return !XmlHandler::stopped();
    }
    bool cell(const CellMarkup &c) override {
        decodedCell(c);
        return !XmlHandler::stopped();
    }
    void decodedCell(const CellMarkup &c);
    void refuse() override { halt(Retry::WithoutDecoder); }

    void halt(Retry why);

    uint32_t styleOf(const char *s) const;
    uint32_t styleIndex(uint32_t v) const { return v < ctx_.styleCount ? v : 0; }

    void startRow(const char **atts);
    void startRow(const char *r, const char *ht, const char *s, const char *customFormat, const char *hidden);
    // A row the sheet can hold, its attributes read: `height` negative for none.
    void openRow(uint32_t index, double height, uint32_t style, bool isHidden);

    void startCell(const char **atts);
    void startCell(const char *r, const char *s, const char *t);
    // `r`: the reference as written, needed only when it is no good (p not Ok).
    void beginCell(AddressParse p, uint32_t row, uint32_t col, const char *r, uint32_t style, const char *t);
    void skipCell();

    // Kept only to tell an error written as a formula (=#N/A) from a text,
    // unless the workbook is to be evaluated.
    void startFormula(const char **atts);
    // An empty <v/> holds a result only as a text (a formula giving "").
    bool storedResult(bool hasValue, std::string_view value) const;
    // A formula cell: whether the workbook needs evaluating, and the formula when it is being evaluated.
    void noteFormula(bool hasValue, const char *type, const char *shared, std::string_view text);

    void endCell();
    void placeCell(const model::Cell &cell);
    // The common cells, a number or a shared text, set in place: a cell
    // built first and then copied whole waits for its own stores at every cell.
    void placeValue(model::CellType type, double number, uint32_t stringId);
    void numberCell(model::Cell &cell);
    model::Cell sharedCell(std::string_view text) const;
    // A formula that is nothing but an error literal, whose cached text is that
    // error: how an error cell is written by producers that have no other way.
    bool isErrorFormula();
    model::Cell textCell();
    const char *trimmed();

    void column(const char **atts);
    void formatDefaults(const char **atts);
    void merge(const char **atts);

    const WorksheetContext &ctx_;
    model::Sheet *sheet_;
    RowKeeper *keeper_;
    const bool decodeSheetData_;
    SheetDataDecoder decoder_;
    bool decodeNext_ = false;
    Retry retry_ = Retry::None;
    std::string value_;
    std::string formula_;
    std::string formulaType_, formulaShared_;  // of the cell's <f>, when formulas are kept
    bool inFormula_ = false, hasFormula_ = false;
    uint32_t row_ = 0, lastRow_ = 0, lastColumn_ = 0;
    uint32_t cellRow_ = 0, cellColumn_ = 0, cellStyle_ = 0;
    ValueKind kind_ = ValueKind::Number;
    bool inSheetData_ = false, inCell_ = false, inInline_ = false, hasValue_ = false;
    bool rowSkipped_ = false, skipCell_ = false;
    int phoneticDepth_ = 0;
};

}  // namespace automation::readers::xlsx
