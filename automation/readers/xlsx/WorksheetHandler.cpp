// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/WorksheetHandler.h"

#include "automation/model/Limits.h"
#include "automation/readers/xlsx/OoxmlText.h"
#include "automation/readers/xlsx/RowsAhead.h"

#include <algorithm>
#include <cstring>

namespace automation::readers::xlsx {

using namespace model;

namespace {

constexpr double kMaxRowHeight = 409.5;       // points
constexpr size_t kMaxErrorFormulaBytes = 32;  // "=#GETTING_DATA" and spaces fit
constexpr double kMaxColumnWidth = 255.0;

const char *attributeOr(const char *value) { return value ? value : ""; }

// A reference whose row is past the sheet's last (not merely malformed
// or zero): its cell cannot be placed anywhere.
bool rowBeyondSheet(const char *ref) {
    const char *digits = ref;
    while (*digits && (*digits < '1' || *digits > '9')) ++digits;
    if (!*digits) return false;
    uint64_t v = 0;
    for (const char *p = digits; *p >= '0' && *p <= '9'; ++p)
        if ((v = v * 10 + static_cast<uint64_t>(*p - '0')) > kMaxRows) return true;
    return false;
}

// "A0": a row counted from zero, no row at all.
bool zeroRow(const char *ref) {
    const char *p = ref;
    while (*p && (*p < '0' || *p > '9')) ++p;
    if (!*p) return false;
    while (*p == '0') ++p;
    return *p == 0;
}

}  // namespace

void WorksheetHandler::startElement(const char *local, const char **atts) {
    switch (local[0]) {
        case 'c':
            if (local[1] == 0) {
                if (inSheetData_) startCell(atts);
            } else if (is(local, "col"))
                column(atts);
            break;
        case 'v':
            if (local[1] == 0 && inCell_) {
                value_.clear();
                hasValue_ = true;
                captureText(true);
            }
            break;
        case 'i':
            if (is(local, "is") && inCell_) {
                inInline_ = true;
                value_.clear();
                hasValue_ = true;
            }
            break;
        case 't':
            if (local[1] == 0 && inInline_ && phoneticDepth_ == 0) captureText(true);
            break;
        case 'r':
            if (is(local, "row")) {
                if (inSheetData_) startRow(atts);
            } else if (is(local, "rPh"))
                ++phoneticDepth_;
            break;
        case 's':
            if (is(local, "sheetData")) {
                inSheetData_ = true;
                decodeNext_ = decodeSheetData_;
            } else if (is(local, "sheetFormatPr"))
                formatDefaults(atts);
            break;
        case 'm':
            if (is(local, "mergeCell")) merge(atts);
            break;
        case 'f':
            if (local[1] == 0 && inCell_) startFormula(atts);
            break;
        default:
            break;
    }
}

void WorksheetHandler::endElement(const char *local) {
    switch (local[0]) {
        case 'c':
            if (local[1] == 0 && inCell_) endCell();
            break;
        case 'v':
            if (local[1] == 0) captureText(false);
            break;
        case 't':
            if (local[1] == 0) captureText(false);
            break;
        case 'i':
            if (is(local, "is")) inInline_ = false;
            break;
        case 'r':
            if (is(local, "rPh") && phoneticDepth_ > 0) --phoneticDepth_;
            break;
        case 's':
            if (is(local, "sheetData")) inSheetData_ = false;
            break;
        case 'f':
            if (local[1] == 0 && inFormula_) {
                inFormula_ = false;
                captureText(false);
            }
            break;
        default:
            break;
    }
}

void WorksheetHandler::characters(const char *s, int len) {
    if (inFormula_) {
        if (formula_.size() < (ctx_.formulas ? WorkbookFormulas::kMaxTextBytes : kMaxErrorFormulaBytes))
            formula_.append(s, static_cast<size_t>(len));
        return;
    }
    if (value_.size() < kMaxRawTextBytes) value_.append(s, static_cast<size_t>(len));
}

RawContentReader *WorksheetHandler::rawContent(std::string_view) {
    if (!decodeNext_) return nullptr;
    decodeNext_ = false;
    decoder_.start();
    return &decoder_;
}

std::unique_ptr<PieceDecoder> WorksheetHandler::pieceDecoder() {
    if (!decodeSheetData_) return nullptr;
    return std::make_unique<RowsAheadDecoder>(ctx_.styleCount, ctx_.sharedStringCount);
}

// The rows go through the steps the decoder's rows and cells go through.
bool WorksheetHandler::takeDecoded(const DecodedPiece &piece) {
    const auto *ahead = dynamic_cast<const RowsDecodedAhead *>(&piece);
    if (!ahead || stopped() || !decoder_.betweenRows()) return false;
    const Cell *cell = ahead->cells.data();
    for (const RowAhead &r : ahead->rows) {
        rowSkipped_ = false;
        openRow(r.index, r.height, r.style, r.hidden);
        if (stopped()) return true;  // halted here, as the scan would have been
        for (const Cell *rowEnd = cell + r.cellCount; cell != rowEnd; ++cell) {
            beginCell(AddressParse::Ok, r.index, cell->column, nullptr, cell->style, nullptr);
            if (stopped()) return true;
            if (cell->type == CellType::Number)
                placeValue(CellType::Number, cell->number, 0);
            else if (cell->type == CellType::String)
                placeValue(CellType::String, 0, cell->stringId);
            else
                placeCell(*cell);
            if (stopped()) return true;
        }
    }
    return true;
}

void WorksheetHandler::finish() {
    if (keeper_) keeper_->finish();
    model::settleColumns(&sheet_->columns);
}

void WorksheetHandler::decodedCell(const CellMarkup &c) {
    if (c.addressed) {
        const uint32_t style = c.styled ? styleIndex(c.styleValue) : styleOf(c.s);
        beginCell(AddressParse::Ok, c.row, c.column, nullptr, style, c.t);
    } else {
        startCell(c.r, c.s, c.t);
    }
    if (stopped()) return;
    if (c.hasFormula && !skipCell_)
        noteFormula(storedResult(c.hasValue, c.value), c.formulaType, c.formulaShared, c.formula);
    if (c.hasValue && !skipCell_ && plainValue(c.value)) {
        // The common cells, read from the text where it lies: what
        // endCell() makes of the same text, without copying it.
        if (kind_ == ValueKind::Number) {
            double v;
            if (numberFromText(c.value, &v)) return placeValue(CellType::Number, v, 0);
        } else if (kind_ == ValueKind::Shared) {
            const Cell cell = sharedCell(c.value);
            if (cell.type == CellType::String) return placeValue(CellType::String, 0, cell.stringId);
            return placeCell(cell);
        }
    }
    if (c.hasFormula && kind_ == ValueKind::FormulaString) formula_.assign(c.formula);
    if (c.hasValue) {
        value_.assign(c.value);
        hasValue_ = true;
    }
    endCell();
}

void WorksheetHandler::halt(Retry why) {
    if (retry_ == Retry::None) retry_ = why;
    XmlHandler::halt();
}

inline uint32_t WorksheetHandler::styleOf(const char *s) const {
    if (!s) return 0;
    return styleIndex(attributeUInt(s, 0));
}

void WorksheetHandler::startRow(const char **atts) {
    const char *r = nullptr, *ht = nullptr, *s = nullptr, *customFormat = nullptr, *hidden = nullptr;
    for (const char **a = atts; *a; a += 2) {
        const char *n = *a;
        if (is(n, "r"))
            r = a[1];
        else if (is(n, "ht"))
            ht = a[1];
        else if (is(n, "s"))
            s = a[1];
        else if (is(n, "customFormat"))
            customFormat = a[1];
        else if (is(n, "hidden"))
            hidden = a[1];
    }
    startRow(r, ht, s, customFormat, hidden);
}

void WorksheetHandler::startRow(const char *r, const char *ht, const char *s, const char *customFormat,
                                const char *hidden) {
    // A row the sheet cannot hold is skipped with its cells; a number that
    // is no row number (0, "x") is read as the next row, as the
    // applications place a row without one.
    uint32_t index = lastRow_ + 1;
    if (r && parseIndex(r, kMaxRows, &index) != AddressParse::Ok) {
        index = lastRow_ + 1;
        if (rowBeyondSheet(r)) index = kMaxRows + 1;
    }
    rowSkipped_ = index > kMaxRows;
    if (rowSkipped_) {
        row_ = 0;
        return;
    }
    openRow(index, attributeDouble(ht, -1.0), attributeBool(customFormat, false) ? styleOf(s) : 0,
            attributeBool(hidden, false));
}

void WorksheetHandler::openRow(uint32_t index, double height, uint32_t style, bool isHidden) {
    row_ = index;
    lastRow_ = std::max(lastRow_, index);
    lastColumn_ = 0;
    if (keeper_) {
        const float h = height >= 0 ? static_cast<float>(std::min(height, kMaxRowHeight)) : -1.0f;
        if (!keeper_->startRow(index, h, style, isHidden)) halt(Retry::Whole);
        return;
    }
    if (height >= 0 || style || isHidden) {
        Row &row = sheet_->rowForWrite(index);
        if (height >= 0) row.height = static_cast<float>(std::min(height, kMaxRowHeight));
        row.style = style;
        row.hidden = isHidden;
    }
}

void WorksheetHandler::startCell(const char **atts) {
    const char *r = nullptr, *s = nullptr, *t = nullptr;
    for (const char **a = atts; *a; a += 2) {
        const char *n = *a;
        if (n[0] == 0 || n[1] != 0) continue;
        if (n[0] == 'r')
            r = a[1];
        else if (n[0] == 's')
            s = a[1];
        else if (n[0] == 't')
            t = a[1];
    }
    startCell(r, s, t);
}

void WorksheetHandler::startFormula(const char **atts) {
    hasFormula_ = true;
    if (ctx_.formulas) {
        formulaType_.assign(attributeOr(findAttribute(atts, "t")));
        formulaShared_.assign(attributeOr(findAttribute(atts, "si")));
    }
    if (kind_ != ValueKind::FormulaString && !ctx_.formulas) return;
    formula_.clear();
    inFormula_ = true;
    captureText(true);
}

inline bool WorksheetHandler::storedResult(bool hasValue, std::string_view value) const {
    return hasValue && (!value.empty() || kind_ == ValueKind::FormulaString);
}

inline void WorksheetHandler::noteFormula(bool hasValue, const char *type, const char *shared, std::string_view text) {
    if (ctx_.formulasNeedEvaluation && (!hasValue || ctx_.fullCalcOnLoad)) *ctx_.formulasNeedEvaluation = true;
    WorkbookFormulas *all = ctx_.formulas;
    if (!all || all->sheets.empty()) return;
    if (all->count >= WorkbookFormulas::kMaxCells) {
        all->overflow = true;
        if (!hasValue || ctx_.fullCalcOnLoad) ++all->uncollectedNeedingResult;
        return;
    }
    ++all->count;
    FormulaCell f;
    f.row = cellRow_;
    f.column = cellColumn_;
    f.style = cellStyle_;
    f.hasValue = hasValue;
    if (type && *type && std::strcmp(type, "normal") != 0)
        f.kind = std::strcmp(type, "shared") == 0  ? FormulaKind::Shared
                 : std::strcmp(type, "array") == 0 ? FormulaKind::Array
                                                   : FormulaKind::Other;
    if (f.kind == FormulaKind::Shared) f.sharedIndex = attributeUInt(shared, UINT32_MAX);
    f.text.assign(text.substr(0, WorkbookFormulas::kMaxTextBytes));
    all->sheets.back().push_back(std::move(f));
}

inline void WorksheetHandler::startCell(const char *r, const char *s, const char *t) {
    uint32_t row = 0, col = 0;
    const AddressParse p = r ? parseCellAddress(r, &row, &col) : AddressParse::Malformed;
    beginCell(p, row, col, r, styleOf(s), t);
}

inline void WorksheetHandler::beginCell(AddressParse p, uint32_t row, uint32_t col, const char *r, uint32_t style,
                                        const char *t) {
    skipCell_ = false;
    if (row_ == 0 && !rowSkipped_) {  // a cell outside any row element
        row_ = lastRow_ + 1;
        lastRow_ = row_;
    }
    if (p == AddressParse::Ok) {
        cellRow_ = row;
        cellColumn_ = col;
        if (row != row_) {
            row_ = row;
            rowSkipped_ = false;
            lastRow_ = std::max(lastRow_, row);
        }
    } else if (p == AddressParse::OutOfRange && !zeroRow(r)) {
        return skipCell();  // beyond the sheet's rows or columns
    } else {
        // No usable reference: the cell follows the one before, as the
        // applications place it.
        cellRow_ = row_;
        cellColumn_ = lastColumn_ + 1;
        if (rowSkipped_ || row_ > kMaxRows || cellColumn_ > kMaxColumns) return skipCell();
    }
    lastColumn_ = cellColumn_;
    if (keeper_ && !keeper_->enterRow(cellRow_)) return halt(Retry::Whole);
    cellStyle_ = style;
    kind_ = kindOf(t);
    formula_.clear();
    hasFormula_ = false;
    hasValue_ = false;
    inCell_ = true;
}

void WorksheetHandler::skipCell() {
    skipCell_ = true;
    inCell_ = true;
    hasValue_ = false;
    hasFormula_ = false;
    formula_.clear();
    kind_ = ValueKind::Number;
}

void WorksheetHandler::endCell() {
    inCell_ = false;
    inInline_ = false;
    if (skipCell_) return;
    if (hasFormula_)
        noteFormula(storedResult(hasValue_, value_), formulaType_.c_str(), formulaShared_.c_str(), formula_);
    Cell cell = Cell::makeEmpty(cellColumn_, cellStyle_);
    if (hasValue_) {
        switch (kind_) {
            case ValueKind::Number:
                numberCell(cell);
                break;
            case ValueKind::Shared:
                cell = sharedCell(trimmed());
                break;
            case ValueKind::FormulaString: {
                CellError e;
                cell = isErrorFormula() && errorFromText(trimmed(), &e) ? Cell::makeError(cellColumn_, e, cellStyle_)
                                                                        : textCell();
                break;
            }
            case ValueKind::Inline:
                cell = textCell();
                break;
            case ValueKind::Boolean:
                cell = Cell::makeBoolean(cellColumn_, attributeBool(trimmed(), false), cellStyle_);
                break;
            case ValueKind::Error: {
                CellError e;
                cell = errorFromText(trimmed(), &e) ? Cell::makeError(cellColumn_, e, cellStyle_) : textCell();
                break;
            }
            case ValueKind::IsoDate: {
                double serial;
                cell = isoDateToSerial(trimmed(), ctx_.date1904, &serial)
                           ? Cell::makeNumber(cellColumn_, serial, cellStyle_)
                           : textCell();
                break;
            }
        }
    }
    placeCell(cell);
}

inline void WorksheetHandler::placeCell(const Cell &cell) {
    inCell_ = false;
    inInline_ = false;
    if (!cell.isUsed()) return;
    if (!keeper_)
        sheet_->setCell(cellRow_, cell);
    else if (!keeper_->add(cell))
        halt(Retry::Whole);
}

// `type` is Number or String, and names which of the two values the cell takes.
inline void WorksheetHandler::placeValue(CellType type, double number, uint32_t stringId) {
    inCell_ = false;
    inInline_ = false;
    if (!keeper_) {
        sheet_->setCell(cellRow_, type == CellType::Number ? Cell::makeNumber(cellColumn_, number, cellStyle_)
                                                           : Cell::makeString(cellColumn_, stringId, cellStyle_));
        return;
    }
    Cell *kept = keeper_->next(cellColumn_);
    if (!kept) return halt(Retry::Whole);
    kept->column = cellColumn_;
    kept->style = cellStyle_;
    kept->type = type;
    if (type == CellType::Number)
        kept->number = number;
    else
        kept->stringId = stringId;
}

inline void WorksheetHandler::numberCell(Cell &cell) {
    double v;
    if (numberFromText(value_, &v)) {
        cell = Cell::makeNumber(cellColumn_, v, cellStyle_);
    } else if (trimmed()[0] != 0) {
        cell = textCell();  // not a number after all: keep what was written
    }
}

// An empty or dangling index costs only this cell's text.
inline Cell WorksheetHandler::sharedCell(std::string_view text) const {
    const uint32_t index = sharedIndexFromText(text);
    return index < ctx_.sharedStringCount ? Cell::makeString(cellColumn_, index, cellStyle_)
                                          : Cell::makeEmpty(cellColumn_, cellStyle_);
}

bool WorksheetHandler::isErrorFormula() {
    std::string f = formula_;
    while (!f.empty() && (f.back() == ' ' || f.back() == '\n' || f.back() == '\r' || f.back() == '\t')) f.pop_back();
    size_t i = 0;
    while (i < f.size() && (f[i] == ' ' || f[i] == '=')) ++i;
    return !f.empty() && f.compare(i, std::string::npos, trimmed()) == 0;
}

Cell WorksheetHandler::textCell() {
    normaliseCellText(value_);
    return Cell::makeString(cellColumn_, ctx_.strings->append(value_), cellStyle_);
}

const char *WorksheetHandler::trimmed() {
    while (!value_.empty() &&
           (value_.back() == ' ' || value_.back() == '\n' || value_.back() == '\r' || value_.back() == '\t'))
        value_.pop_back();
    size_t i = 0;
    while (i < value_.size() && (value_[i] == ' ' || value_[i] == '\n' || value_[i] == '\r' || value_[i] == '\t')) ++i;
    if (i) value_.erase(0, i);
    return value_.c_str();
}

void WorksheetHandler::column(const char **atts) {
    const uint32_t first = attributeUInt(findAttribute(atts, "min"), 0);
    uint32_t last = attributeUInt(findAttribute(atts, "max"), first);
    if (first == 0 || first > kMaxColumns) return;  // the applications skip such spans too
    last = std::min(std::max(last, first), kMaxColumns);
    ColumnInfo c;
    c.first = first;
    c.last = last;
    const double width = attributeDouble(findAttribute(atts, "width"), -1.0);
    c.width = width >= 0 ? std::min(width, kMaxColumnWidth) : -1.0;
    c.style = styleOf(findAttribute(atts, "style"));
    c.hidden = attributeBool(findAttribute(atts, "hidden"), false);
    sheet_->columns.push_back(c);
}

void WorksheetHandler::formatDefaults(const char **atts) {
    const double h = attributeDouble(findAttribute(atts, "defaultRowHeight"), -1.0);
    if (h > 0) sheet_->defaultRowHeight = std::min(h, kMaxRowHeight);
    const double w = attributeDouble(findAttribute(atts, "defaultColWidth"), -1.0);
    if (w > 0) sheet_->defaultColumnWidth = std::min(w, kMaxColumnWidth);
}

void WorksheetHandler::merge(const char **atts) {
    CellArea area;
    const char *ref = findAttribute(atts, "ref");
    const AddressParse p = parseCellArea(ref, &area);
    if (p != AddressParse::Ok) return;  // an area beyond the sheet merges nothing that is there
    if (area.firstRow == area.lastRow && area.firstColumn == area.lastColumn) return;
    sheet_->merges.push_back(area);
}

}  // namespace automation::readers::xlsx
