// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/WorksheetReader.h"

#include "automation/model/Limits.h"
#include "automation/readers/xlsx/CellAddress.h"
#include "automation/readers/xlsx/FastXmlScanner.h"
#include "automation/readers/xlsx/OoxmlText.h"
#include "automation/readers/xlsx/SheetDataDecoder.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace automation::readers::xlsx {

namespace {

using namespace model;

// See SharedStrings: raw bytes kept per text before cutting.
constexpr size_t kMaxRawTextBytes = 8 * kMaxTextLength;
constexpr double kMaxRowHeight = 409.5;       // points
constexpr size_t kMaxErrorFormulaBytes = 32;  // "=#GETTING_DATA" and spaces fit
constexpr double kMaxColumnWidth = 255.0;

enum class ValueKind : uint8_t { Number, Shared, FormulaString, Inline, Boolean, Error, IsoDate };

ValueKind kindOf(const char *t) {
    if (!t) return ValueKind::Number;
    switch (t[0]) {
        case 's':
            return t[1] == 0 ? ValueKind::Shared : ValueKind::FormulaString;  // "s" / "str"
        case 'i':
            return ValueKind::Inline;
        case 'b':
            return ValueKind::Boolean;
        case 'e':
            return ValueKind::Error;
        case 'd':
            return ValueKind::IsoDate;
        default:
            return ValueKind::Number;
    }
}

inline bool is(const char *a, const char *b) { return std::strcmp(a, b) == 0; }

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool readDigits(const char *&p, int n, unsigned *out) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i, ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + static_cast<unsigned>(*p - '0');
    }
    *out = v;
    return true;
}

// Keeps of a sheet, row by row as it is read, what a RowFilter reaches: a
// row is judged once its last cell is in. Rows must come in ascending order
// and a row's cells in ascending columns, as every producer writes them;
// anything else makes add() or enterRow() answer false, and the sheet is
// then read whole and fed through here again.
class RowKeeper {
public:
    RowKeeper(const WorksheetContext &ctx, Sheet *sheet, SheetOutline *outline, bool reclaimStrings)
        : filter_(*ctx.filter),
          workbook_(*ctx.workbook),
          strings_(ctx.strings),
          sheet_(sheet),
          outline_(outline),
          keptColumn_(ctx.filter->keptColumn()),
          reclaimStrings_(reclaimStrings) {}

    // A row element: its format goes with the row if the row is kept.
    bool startRow(uint32_t index, float height, uint32_t style, bool hidden) {
        if (!enterRow(index)) return false;
        // As the whole read does: a row element without a format leaves the row's as it was.
        if (height >= 0 || style || hidden) {
            if (height >= 0) pending_.height = height;
            pending_.style = style;
            pending_.hidden = hidden;
        }
        return true;
    }
    // The row the next cell belongs to; before its inline text is pooled.
    bool enterRow(uint32_t index) {
        if (open_ && index == pending_.index) return true;
        flush();
        if (index <= lastRow_) return false;
        lastRow_ = index;
        open_ = true;
        pending_.index = index;
        pending_.height = -1.0f;
        pending_.style = 0;
        pending_.hidden = false;
        pending_.cells.clear();
        stringMark_ = strings_->size();
        return true;
    }
    // A used cell of the row entered last.
    bool add(const Cell &cell) {
        if (!pending_.cells.empty() && pending_.cells.back().column >= cell.column) return false;
        pending_.cells.push_back(cell);
        return true;
    }
    void finish() { flush(); }

private:
    void flush() {
        if (!open_) return;
        open_ = false;
        const std::vector<Cell> &cells = pending_.cells;
        if (cells.empty()) return;  // a row format alone is not kept (nor reached)
        // Rows come in ascending order, so the first with a used cell is the used area's first row.
        bool keep = !outline_->hasUsed;
        const uint32_t row = pending_.index;
        if (!outline_->hasUsed) {
            outline_->used = CellArea{row, cells.front().column, row, cells.back().column};
            outline_->hasUsed = true;
        } else {
            CellArea &u = outline_->used;
            u.lastRow = row;
            u.firstColumn = std::min(u.firstColumn, cells.front().column);
            u.lastColumn = std::max(u.lastColumn, cells.back().column);
        }
        for (auto c = cells.begin(); !keep && c != cells.end(); ++c)
            keep = c->hasValue() && filter_.canMatch(workbook_, *c);
        if (keep) {
            outline_->keptRows.push_back(row);
            keptRow();
            for (const Cell &c : cells) sheet_->setCell(row, c);  // notes the used area
            return;
        }
        const Cell *column = nullptr;
        if (keptColumn_) {
            for (const Cell &c : cells)
                if (c.column == keptColumn_) column = &c;
        }
        Cell kept = column ? *column : Cell{};
        if (reclaimStrings_ && strings_->size() > stringMark_) {
            // Texts written in the row itself go with it; one the kept column holds moves down.
            std::string text;
            const bool own = column && kept.type == CellType::String && kept.stringId >= stringMark_;
            if (own) text = strings_->at(kept.stringId);
            strings_->truncate(stringMark_);
            if (own) kept.stringId = strings_->append(std::move(text));
        }
        if (column) {
            keptRow();
            sheet_->setCell(row, kept);
        }
    }

    Row &keptRow() {
        Row &r = sheet_->rowForWrite(pending_.index);
        r.height = pending_.height;
        r.style = pending_.style;
        r.hidden = pending_.hidden;
        return r;
    }

    RowFilter &filter_;
    const WorkbookModel &workbook_;
    StringPool *strings_;
    Sheet *sheet_;
    SheetOutline *outline_;
    const uint32_t keptColumn_;
    const bool reclaimStrings_;
    Row pending_;
    bool open_ = false;
    uint32_t lastRow_ = 0;
    size_t stringMark_ = 0;
};

// The events of a worksheet part, and on the fast path its sheetData
// decoded straight from the bytes (`decodeSheetData`), into the same steps.
class WorksheetHandler : public XmlHandler, private SheetDataSink {
public:
    WorksheetHandler(const WorksheetContext &ctx, Sheet *sheet, bool decodeSheetData, RowKeeper *keeper = nullptr)
        : ctx_(ctx), sheet_(sheet), keeper_(keeper), decodeSheetData_(decodeSheetData), decoder_(*this) {}

    void startElement(const char *local, const char **atts) override {
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

    void endElement(const char *local) override {
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

    void characters(const char *s, int len) override {
        if (inFormula_) {
            if (formula_.size() < (ctx_.formulas ? WorkbookFormulas::kMaxTextBytes : kMaxErrorFormulaBytes))
                formula_.append(s, static_cast<size_t>(len));
            return;
        }
        if (value_.size() < kMaxRawTextBytes) value_.append(s, static_cast<size_t>(len));
    }

    RawContentReader *rawContent(std::string_view) override {
        if (!decodeNext_) return nullptr;
        decodeNext_ = false;
        return &decoder_;
    }

    // Rows or cells out of order: the caller reads the sheet again, whole.
    bool wasIrregular() const { return irregular_; }
    // The decoder met markup it leaves to the events: the caller reads the sheet again through them.
    bool decoderRefused() const { return decoderRefused_; }

    void finish() {
        if (keeper_) keeper_->finish();
        model::settleColumns(&sheet_->columns);
    }

private:
    void row(const RowMarkup &r) override { startRow(r.r, r.ht, r.s, r.customFormat, r.hidden); }

    void cell(const CellMarkup &c) override {
        if (c.addressed) {
            const uint32_t style = c.styled ? styleIndex(c.styleValue) : styleOf(c.s);
            beginCell(AddressParse::Ok, c.row, c.column, nullptr, style, c.t);
        } else {
            startCell(c.r, c.s, c.t);
        }
        if (failed()) return;
        if (c.hasFormula && !skipCell_)
            noteFormula(storedResult(c.hasValue, c.value), c.formulaType, c.formulaShared, c.formula);
        if (c.hasValue && !skipCell_ && plainValue(c.value)) {
            // The common cells, read from the text where it lies: what
            // endCell() makes of the same text, without copying it.
            if (kind_ == ValueKind::Number) {
                double v;
                if (plainInteger(c.value, &v) || parseXmlDouble(c.value.data(), c.value.data() + c.value.size(), &v))
                    return placeCell(Cell::makeNumber(cellColumn_, v, cellStyle_));
            } else if (kind_ == ValueKind::Shared && c.value.size() <= kMaxPlainIndexDigits) {
                uint32_t index = 0;
                bool digits = true;
                for (char ch : c.value) {
                    digits = digits && ch >= '0' && ch <= '9';
                    index = index * 10 + static_cast<uint32_t>(ch - '0');
                }
                if (digits) {
                    if (index < ctx_.sharedStringCount)
                        return placeCell(Cell::makeString(cellColumn_, index, cellStyle_));
                    return placeCell(Cell::makeEmpty(cellColumn_, cellStyle_));
                }
            }
        }
        if (c.hasFormula && kind_ == ValueKind::FormulaString) formula_.assign(c.formula);
        if (c.hasValue) {
            value_.assign(c.value);
            hasValue_ = true;
        }
        endCell();
    }

    // Digits of an index that cannot overflow.
    static constexpr size_t kMaxPlainIndexDigits = 9;
    // Digits of a whole number that a double holds exactly.
    static constexpr size_t kMaxExactDigits = 15;

    // "379", "45066": what the number reading gives, without its general machinery.
    static bool plainInteger(std::string_view v, double *out) {
        if (v.empty() || v.size() > kMaxExactDigits) return false;
        uint64_t n = 0;
        for (char ch : v) {
            if (ch < '0' || ch > '9') return false;
            n = n * 10 + static_cast<uint64_t>(ch - '0');
        }
        *out = static_cast<double>(n);
        return true;
    }

    // Not empty, no white space at either end: trimming would change nothing.
    static bool plainValue(std::string_view v) {
        auto space = [](char ch) { return ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t'; };
        return !v.empty() && !space(v.front()) && !space(v.back());
    }

    bool stopped() const override { return failed(); }

    void refuse() override {
        decoderRefused_ = true;
        fail(ReadStatus::Unsupported, "sheet data left to the events");
    }

    void irregular() {
        irregular_ = true;
        fail(ReadStatus::Unsupported, "rows or cells out of order");
    }

    uint32_t styleOf(const char *s) const {
        if (!s) return 0;
        return styleIndex(attributeUInt(s, 0));
    }
    uint32_t styleIndex(uint32_t v) const { return v < ctx_.styleCount ? v : 0; }

    void startRow(const char **atts) {
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

    void startRow(const char *r, const char *ht, const char *s, const char *customFormat, const char *hidden) {
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
        row_ = index;
        lastRow_ = std::max(lastRow_, index);
        lastColumn_ = 0;
        const double height = attributeDouble(ht, -1.0);
        const uint32_t style = attributeBool(customFormat, false) ? styleOf(s) : 0;
        const bool isHidden = attributeBool(hidden, false);
        if (keeper_) {
            const float h = height >= 0 ? static_cast<float>(std::min(height, kMaxRowHeight)) : -1.0f;
            if (!keeper_->startRow(index, h, style, isHidden)) irregular();
            return;
        }
        if (height >= 0 || style || isHidden) {
            Row &row = sheet_->rowForWrite(index);
            if (height >= 0) row.height = static_cast<float>(std::min(height, kMaxRowHeight));
            row.style = style;
            row.hidden = isHidden;
        }
    }

    void startCell(const char **atts) {
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

    // Kept only to tell an error written as a formula (=#N/A) from a text,
    // unless the workbook is to be evaluated.
    void startFormula(const char **atts) {
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

    static const char *attributeOr(const char *value) { return value ? value : ""; }

    // An empty <v/> holds a result only as a text (a formula giving "").
    bool storedResult(bool hasValue, std::string_view value) const {
        return hasValue && (!value.empty() || kind_ == ValueKind::FormulaString);
    }

    // A formula cell: whether the workbook needs evaluating, and the formula when it is being evaluated.
    void noteFormula(bool hasValue, const char *type, const char *shared, std::string_view text) {
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

    void startCell(const char *r, const char *s, const char *t) {
        uint32_t row = 0, col = 0;
        const AddressParse p = r ? parseCellAddress(r, &row, &col) : AddressParse::Malformed;
        beginCell(p, row, col, r, styleOf(s), t);
    }

    // `r`: the reference as written, needed only when it is no good (p not Ok).
    void beginCell(AddressParse p, uint32_t row, uint32_t col, const char *r, uint32_t style, const char *t) {
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
        if (keeper_ && !keeper_->enterRow(cellRow_)) return irregular();
        cellStyle_ = style;
        kind_ = kindOf(t);
        formula_.clear();
        hasFormula_ = false;
        hasValue_ = false;
        inCell_ = true;
    }

    void skipCell() {
        skipCell_ = true;
        inCell_ = true;
        hasValue_ = false;
        hasFormula_ = false;
        formula_.clear();
        kind_ = ValueKind::Number;
    }

    // A reference whose row is past the sheet's last (not merely malformed
    // or zero): its cell cannot be placed anywhere.
    static bool rowBeyondSheet(const char *ref) {
        const char *digits = ref;
        while (*digits && (*digits < '1' || *digits > '9')) ++digits;
        if (!*digits) return false;
        uint64_t v = 0;
        for (const char *p = digits; *p >= '0' && *p <= '9'; ++p)
            if ((v = v * 10 + static_cast<uint64_t>(*p - '0')) > kMaxRows) return true;
        return false;
    }

    // "A0": a row counted from zero, no row at all.
    static bool zeroRow(const char *ref) {
        const char *p = ref;
        while (*p && (*p < '0' || *p > '9')) ++p;
        if (!*p) return false;
        while (*p == '0') ++p;
        return *p == 0;
    }

    void endCell() {
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
                case ValueKind::Shared: {
                    // An empty or dangling index costs only this cell's text.
                    const uint32_t index = attributeUInt(trimmed(), UINT32_MAX);
                    if (index < ctx_.sharedStringCount) cell = Cell::makeString(cellColumn_, index, cellStyle_);
                    break;
                }
                case ValueKind::FormulaString: {
                    CellError e;
                    cell = isErrorFormula() && errorFromText(trimmed(), &e)
                               ? Cell::makeError(cellColumn_, e, cellStyle_)
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

    void placeCell(const Cell &cell) {
        inCell_ = false;
        inInline_ = false;
        if (!cell.isUsed()) return;
        if (!keeper_)
            sheet_->setCell(cellRow_, cell);
        else if (!keeper_->add(cell))
            irregular();
    }

    void numberCell(Cell &cell) {
        double v;
        if (parseXmlDouble(value_.data(), value_.data() + value_.size(), &v)) {
            cell = Cell::makeNumber(cellColumn_, v, cellStyle_);
        } else if (trimmed()[0] != 0) {
            cell = textCell();  // not a number after all: keep what was written
        }
    }

    // A formula that is nothing but an error literal, whose cached text is that
    // error: how an error cell is written by producers that have no other way.
    bool isErrorFormula() {
        std::string f = formula_;
        while (!f.empty() && (f.back() == ' ' || f.back() == '\n' || f.back() == '\r' || f.back() == '\t'))
            f.pop_back();
        size_t i = 0;
        while (i < f.size() && (f[i] == ' ' || f[i] == '=')) ++i;
        return !f.empty() && f.compare(i, std::string::npos, trimmed()) == 0;
    }

    Cell textCell() {
        normaliseCellText(value_);
        return Cell::makeString(cellColumn_, ctx_.strings->append(value_), cellStyle_);
    }

    const char *trimmed() {
        while (!value_.empty() &&
               (value_.back() == ' ' || value_.back() == '\n' || value_.back() == '\r' || value_.back() == '\t'))
            value_.pop_back();
        size_t i = 0;
        while (i < value_.size() && (value_[i] == ' ' || value_[i] == '\n' || value_[i] == '\r' || value_[i] == '\t'))
            ++i;
        if (i) value_.erase(0, i);
        return value_.c_str();
    }

    void column(const char **atts) {
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

    void formatDefaults(const char **atts) {
        const double h = attributeDouble(findAttribute(atts, "defaultRowHeight"), -1.0);
        if (h > 0) sheet_->defaultRowHeight = std::min(h, kMaxRowHeight);
        const double w = attributeDouble(findAttribute(atts, "defaultColWidth"), -1.0);
        if (w > 0) sheet_->defaultColumnWidth = std::min(w, kMaxColumnWidth);
    }

    void merge(const char **atts) {
        CellArea area;
        const char *ref = findAttribute(atts, "ref");
        const AddressParse p = parseCellArea(ref, &area);
        if (p != AddressParse::Ok) return;  // an area beyond the sheet merges nothing that is there
        if (area.firstRow == area.lastRow && area.firstColumn == area.lastColumn) return;
        sheet_->merges.push_back(area);
    }

    const WorksheetContext &ctx_;
    Sheet *sheet_;
    RowKeeper *keeper_;
    const bool decodeSheetData_;
    SheetDataDecoder decoder_;
    bool decodeNext_ = false;
    bool decoderRefused_ = false;
    bool irregular_ = false;
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

}  // namespace

bool isoDateToSerial(const char *text, bool date1904, double *serial) {
    if (!text) return false;
    const char *p = text;
    unsigned y, m, d, hh = 0, mm = 0, ss = 0;
    if (!readDigits(p, 4, &y) || *p++ != '-' || !readDigits(p, 2, &m) || *p++ != '-' || !readDigits(p, 2, &d))
        return false;
    double fraction = 0;
    if (*p == 'T' || *p == ' ') {
        ++p;
        if (!readDigits(p, 2, &hh) || *p++ != ':' || !readDigits(p, 2, &mm)) return false;
        if (*p == ':') {
            ++p;
            if (!readDigits(p, 2, &ss)) return false;
            if (*p == '.') {
                const char *start = p;
                ++p;
                while (*p >= '0' && *p <= '9') ++p;
                double f = 0;
                if (parseXmlDouble(start, p, &f)) fraction = f;
            }
        }
    }
    if (*p == 'Z') ++p;
    if (*p != 0 || m < 1 || m > 12 || d < 1 || d > 31 || hh > 23 || mm > 59 || ss > 59) return false;
    const int64_t days = daysFromCivil(y, m, d);
    double serialDays;
    if (date1904) {
        serialDays = static_cast<double>(days - daysFromCivil(1904, 1, 1));
    } else {
        // The 1900 system counts a 29 February 1900 that never was.
        serialDays = static_cast<double>(days - daysFromCivil(1899, 12, 30));
        if (days < daysFromCivil(1900, 3, 1)) serialDays -= 1;
    }
    if (serialDays < 0) return false;
    *serial = serialDays + (hh * 3600.0 + mm * 60.0 + ss + fraction) / 86400.0;
    return true;
}

namespace {

// One read of the part; *refused when the decoder left its sheetData to the
// events, and the read is to be done again without it.
ReadStatus readWorksheetOnce(const ZipArchive &zip, const std::string &part, const WorksheetContext &context,
                             Sheet *sheet, std::string *message, SheetOutline *outline, bool decode, bool *refused) {
    if (!context.filter || !outline) {
        WorksheetHandler handler(context, sheet, decode);
        const ReadStatus status = parsePart(zip, part, handler, message);
        *refused = handler.decoderRefused();
        if (status == ReadStatus::Ok) handler.finish();
        return status;
    }
    const size_t stringMark = context.strings->size();
    {
        RowKeeper keeper(context, sheet, outline, true);
        WorksheetHandler handler(context, sheet, decode, &keeper);
        const ReadStatus status = parsePart(zip, part, handler, message);
        *refused = handler.decoderRefused();
        if (*refused) return status;
        if (!handler.wasIrregular()) {
            if (status == ReadStatus::Ok) handler.finish();
            return status;
        }
    }
    // Rows or cells out of order (hand-made or damaged files): read the part
    // whole, which sorts them, then keep what the filter reaches.
    context.strings->truncate(stringMark);
    Sheet whole;
    whole.name = sheet->name;
    whole.uid = sheet->uid;
    whole.hidden = sheet->hidden;
    WorksheetHandler handler(context, &whole, decode);
    const ReadStatus status = parsePart(zip, part, handler, message);
    *refused = handler.decoderRefused();
    if (status != ReadStatus::Ok) return status;
    handler.finish();
    *sheet = std::move(whole);
    keepReachedRows(context, sheet, outline);
    return ReadStatus::Ok;
}

ReadStatus scanWorksheetOnce(char *data, size_t size, const WorksheetContext &context, Sheet *sheet,
                             std::string *message, bool decode, bool *refused) {
    WorksheetHandler handler(context, sheet, decode);
    std::string scanMessage;
    const ScanResult scan = scanXmlInPlace(data, size, handler, &scanMessage);
    if (!handler.failed() && scan == ScanResult::Ok) handler.finish();
    *refused = handler.decoderRefused();
    if (handler.failed()) {
        if (message) *message = handler.message();
        return handler.status();
    }
    if (scan != ScanResult::Ok) {
        if (message) *message = scanMessage;
        return scan == ScanResult::Unsupported ? ReadStatus::Unsupported : ReadStatus::Corrupt;
    }
    return ReadStatus::Ok;
}

}  // namespace

void keepReachedRows(const WorksheetContext &context, Sheet *sheet, SheetOutline *outline) {
    *outline = SheetOutline{};
    Sheet kept = model::sheetWithoutRows(*sheet);
    RowKeeper keeper(context, &kept, outline, false);
    for (const Row &r : sheet->rows()) {
        keeper.startRow(r.index, r.height, r.style, r.hidden);
        for (const Cell &c : r.cells) keeper.add(c);
    }
    keeper.finish();
    *sheet = std::move(kept);
}

ReadStatus readWorksheet(const ZipArchive &zip, const std::string &part, const WorksheetContext &context, Sheet *sheet,
                         std::string *message, SheetOutline *outline) {
    const Sheet blank = model::sheetWithoutRows(*sheet);
    const size_t stringMark = context.strings->size();
    bool refused = false;
    const ReadStatus status = readWorksheetOnce(zip, part, context, sheet, message, outline, true, &refused);
    if (!refused) return status;
    // Markup the decoder does not take (comments, rich inline text, ...):
    // the events read the part from the start.
    context.strings->truncate(stringMark);
    *sheet = blank;
    if (outline) *outline = SheetOutline{};
    if (message) message->clear();
    return readWorksheetOnce(zip, part, context, sheet, message, outline, false, &refused);
}

ReadStatus scanWorksheetInPlace(char *data, size_t size, const WorksheetContext &context, Sheet *sheet,
                                std::string *message) {
    if (!fastScanSupports(data, size)) return ReadStatus::Unsupported;
    auto failed = [&](ReadStatus status, const char *what) {
        if (message) *message = what;
        return status;
    };
    try {
        // The scan overwrites the part: kept for a second scan, through the
        // events, should the decoder leave the sheet data to them.
        const std::string original(data, size);
        const Sheet blank = model::sheetWithoutRows(*sheet);
        const size_t stringMark = context.strings->size();
        bool refused = false;
        const ReadStatus status = scanWorksheetOnce(data, size, context, sheet, message, true, &refused);
        if (!refused) return status;
        std::memcpy(data, original.data(), size);
        context.strings->truncate(stringMark);
        *sheet = blank;
        return scanWorksheetOnce(data, size, context, sheet, message, false, &refused);
    } catch (const std::bad_alloc &) {
        return failed(ReadStatus::TooLarge, "out of memory");
    } catch (...) {
        return failed(ReadStatus::Corrupt, "unexpected failure while parsing");
    }
}

}  // namespace automation::readers::xlsx
