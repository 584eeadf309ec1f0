#include "automation/model/Limits.h"
#include "automation/writers/AtomicFile.h"
#include "automation/writers/SheetNames.h"
#include "automation/writers/StyleMapping.h"
#include "automation/writers/Writers.h"
#include "automation/writers/XlsxText.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <string_view>

namespace automation::writers {

namespace {

using model::Cell;
using model::CellArea;
using model::CellType;
using model::Sheet;
using model::WorkbookModel;

// Past this estimated size a part or the zip itself may cross 4 GiB.
constexpr unsigned long long kZip64Threshold = 2ULL << 30;
constexpr unsigned long long kEstimatedBytesPerCell = 48;
constexpr unsigned long long kConstantMemoryCells = 200000;

// Model widths are the file's own (as readers find them: characters plus cell
// padding); libxlsxwriter takes characters and adds the padding of the
// default font itself.
constexpr double kMaxDigitWidthPixels = 7.0;
// The largest row height and column width the applications accept.
constexpr double kMaxRowHeight = 409.5;
constexpr double kMaxColumnWidth = 255.0;
constexpr double kColumnPaddingPixels = 5.0;

double libraryColumnWidth(double fileWidth) {
    const double narrowLimit = (kMaxDigitWidthPixels + kColumnPaddingPixels) / kMaxDigitWidthPixels;
    if (fileWidth <= 0) return 0;
    fileWidth = std::min(fileWidth, kMaxColumnWidth);
    if (fileWidth < narrowLimit)
        return fileWidth * kMaxDigitWidthPixels / (kMaxDigitWidthPixels + kColumnPaddingPixels);
    return (fileWidth * kMaxDigitWidthPixels - kColumnPaddingPixels) / kMaxDigitWidthPixels;
}

WriteResult failure(std::string reason) { return WriteResult{false, std::move(reason)}; }

std::string sheetLabel(const Sheet &sheet) { return "sheet \"" + sheet.name + "\""; }

// A sheet the format cannot hold is refused before any file exists.
bool checkLimits(const WorkbookModel &workbook, const SheetTail *tail, std::string *reason,
                 unsigned long long *estimatedBytes, unsigned long long *cellCount) {
    unsigned long long cells = 0;
    for (size_t i = 0; i < workbook.sheetCount(); ++i) {
        const Sheet &sheet = workbook.sheet(i);
        uint32_t lastRow = sheet.rows().empty() ? 0 : sheet.rows().back().index;
        if (tail && tail->rows && tail->sheetIndex == i) lastRow = std::max(lastRow, tail->rows->lastRow());
        if (lastRow > model::kMaxRows) {
            *reason = sheetLabel(sheet) + " reaches row " + std::to_string(lastRow) + ", more than the " +
                      std::to_string(model::kMaxRows) + " rows an .xlsx sheet holds";
            return false;
        }
        for (const model::Row &row : sheet.rows()) {
            if (!row.cells.empty() && row.cells.back().column > model::kMaxColumns) {
                *reason = sheetLabel(sheet) + " reaches column " + std::to_string(row.cells.back().column) +
                          ", more than the " + std::to_string(model::kMaxColumns) + " columns an .xlsx sheet holds";
                return false;
            }
            cells += row.cells.size();
        }
    }
    unsigned long long textBytes = 0;
    for (size_t i = 0; i < workbook.strings().size(); ++i) textBytes += workbook.strings().at(i).size();
    *estimatedBytes = cells * kEstimatedBytesPerCell + textBytes;
    if (tail && tail->rows) *estimatedBytes += tail->rows->bytes() * 2;
    *cellCount = cells;
    return true;
}

// Merges the file can hold: inside the sheet, more than one cell, not
// overlapping an earlier one (the spreadsheet applications reject such files).
std::vector<CellArea> acceptedMerges(const Sheet &sheet) {
    std::vector<CellArea> merges;
    merges.reserve(sheet.merges.size());
    for (const CellArea &a : sheet.merges) {
        if (a.firstRow < 1 || a.firstColumn < 1 || a.lastRow < a.firstRow || a.lastColumn < a.firstColumn) continue;
        if (a.lastRow > model::kMaxRows || a.lastColumn > model::kMaxColumns) continue;
        if (a.firstRow == a.lastRow && a.firstColumn == a.lastColumn) continue;
        merges.push_back(a);
    }
    std::stable_sort(merges.begin(), merges.end(),
                     [](const CellArea &x, const CellArea &y) { return x.firstRow < y.firstRow; });
    std::vector<CellArea> accepted;
    std::vector<size_t> active;  // accepted merges that may still reach the rows ahead
    for (const CellArea &a : merges) {
        active.erase(
            std::remove_if(active.begin(), active.end(), [&](size_t k) { return accepted[k].lastRow < a.firstRow; }),
            active.end());
        const bool overlaps = std::any_of(active.begin(), active.end(), [&](size_t k) {
            const CellArea &b = accepted[k];
            return a.firstColumn <= b.lastColumn && b.firstColumn <= a.lastColumn;
        });
        if (overlaps) continue;
        active.push_back(accepted.size());
        accepted.push_back(a);
    }
    return accepted;
}

// Merges of one spilled row (all within it) that the file can hold, in the
// same first-wins order as acceptedMerges.
void acceptRowMerges(const std::vector<CellArea> &merges, std::vector<CellArea> *accepted) {
    accepted->clear();
    for (const CellArea &a : merges) {
        if (a.firstColumn < 1 || a.lastColumn < a.firstColumn || a.lastColumn > model::kMaxColumns) continue;
        if (a.firstRow != a.lastRow || a.firstColumn == a.lastColumn) continue;
        const bool overlaps = std::any_of(accepted->begin(), accepted->end(), [&](const CellArea &b) {
            return a.firstColumn <= b.lastColumn && b.firstColumn <= a.lastColumn;
        });
        if (!overlaps) accepted->push_back(a);
    }
}

class SheetWriter {
public:
    SheetWriter(const WorkbookModel &workbook, FormatCache &formats, lxw_worksheet *target)
        : workbook_(workbook), formats_(formats), ws_(target) {}

    lxw_error write(const Sheet &sheet, model::RowSpill *tail, std::string *tailError) {
        lxw_error err = LXW_NO_ERROR;
        defaultHeight_ =
            sheet.defaultRowHeight > 0 ? std::min(sheet.defaultRowHeight, kMaxRowHeight) : LXW_DEF_ROW_HEIGHT;
        if (defaultHeight_ != LXW_DEF_ROW_HEIGHT) worksheet_set_default_row(ws_, defaultHeight_, LXW_FALSE);

        for (const model::ColumnInfo &col : sheet.columns)
            if ((err = writeColumn(col)) != LXW_NO_ERROR) return err;
        formattedColumns_.assign(sheet.columns.empty() ? 0 : model::kMaxColumns + 1, 0);
        for (const model::ColumnInfo &col : sheet.columns)
            if (col.style && formats_.formatFor(col.style))
                for (uint32_t c = col.first; c <= std::min(col.last, model::kMaxColumns); ++c) formattedColumns_[c] = 1;

        // Merges are registered (without a value or format; the cells written
        // below keep their own) as their first row comes: rows go out in order,
        // as the constant-memory mode needs.
        const std::vector<CellArea> merges = acceptedMerges(sheet);
        size_t nextMerge = 0;
        const auto mergesUpTo = [&](uint64_t row) {
            for (; nextMerge < merges.size() && merges[nextMerge].firstRow <= row; ++nextMerge)
                if ((err = mergeRange(merges[nextMerge])) != LXW_NO_ERROR) return false;
            return true;
        };

        for (const model::Row &row : sheet.rows()) {
            if (!mergesUpTo(row.index)) return err;
            if ((err = writeRow(row)) != LXW_NO_ERROR) return err;
        }
        if (!mergesUpTo(UINT64_MAX)) return err;

        if (tail && tail->rows()) {
            model::SpilledRow spilled;
            std::vector<CellArea> rowMerges;
            tail->rewind();
            tailRow_ = &spilled;
            while (tail->next(&spilled)) {
                acceptRowMerges(spilled.merges, &rowMerges);
                for (const CellArea &m : rowMerges)
                    if ((err = mergeRange(m)) != LXW_NO_ERROR) break;
                if (err == LXW_NO_ERROR) err = writeRow(spilled.row);
                if (err != LXW_NO_ERROR) {
                    while (tail->next(&spilled)) {}  // leaves the spill ready for more rows
                    break;
                }
            }
            tailRow_ = nullptr;
            if (err != LXW_NO_ERROR) return err;
            if (!tail->error().empty()) {
                *tailError = tail->error();
                return LXW_ERROR_CREATING_TMPFILE;
            }
        }
        return LXW_NO_ERROR;
    }

private:
    lxw_error mergeRange(const CellArea &a) {
        return worksheet_merge_range(ws_, a.firstRow - 1, static_cast<lxw_col_t>(a.firstColumn - 1), a.lastRow - 1,
                                     static_cast<lxw_col_t>(a.lastColumn - 1), "", nullptr);
    }

    lxw_error writeRow(const model::Row &row) {
        lxw_error err = LXW_NO_ERROR;
        if (row.hasFormat()) {
            lxw_row_col_options options{};
            options.hidden = row.hidden ? LXW_TRUE : LXW_FALSE;
            const double height = row.height >= 0 ? std::min<double>(row.height, kMaxRowHeight) : defaultHeight_;
            lxw_format *format = row.style ? formats_.formatFor(row.style) : nullptr;
            if ((err = worksheet_set_row_opt(ws_, row.index - 1, height, format, &options)) != LXW_NO_ERROR) return err;
        }
        rowFormatted_ = row.style && formats_.formatFor(row.style);
        for (const Cell &cell : row.cells)
            if ((err = writeCell(row.index - 1, cell)) != LXW_NO_ERROR) return err;
        return LXW_NO_ERROR;
    }

    lxw_error writeColumn(const model::ColumnInfo &col) {
        if (col.first < 1 || col.first > model::kMaxColumns || col.last < col.first) return LXW_NO_ERROR;
        const uint32_t last = std::min(col.last, model::kMaxColumns);
        lxw_row_col_options options{};
        options.hidden = col.hidden ? LXW_TRUE : LXW_FALSE;
        const double width = col.width >= 0 ? libraryColumnWidth(col.width) : LXW_DEF_COL_WIDTH;
        lxw_format *format = col.style ? formats_.formatFor(col.style) : nullptr;
        return worksheet_set_column_opt(ws_, static_cast<lxw_col_t>(col.first - 1), static_cast<lxw_col_t>(last - 1),
                                        width, format, &options);
    }

    lxw_error writeCell(lxw_row_t row, const Cell &cell) {
        const lxw_col_t col = static_cast<lxw_col_t>(cell.column - 1);
        lxw_format *format = formats_.formatFor(cell.style);
        // Without a format of its own the cell would take on its row's or column's.
        if (!format && (rowFormatted_ || (cell.column < formattedColumns_.size() && formattedColumns_[cell.column])))
            format = formats_.plainFormat();
        switch (cell.type) {
            case CellType::Number:
                if (!std::isfinite(cell.number)) return writeError(row, col, model::CellError::Num, format);
                return worksheet_write_number(ws_, row, col, cell.number, format);
            case CellType::String:
                return writeString(row, col, tailRow_ ? tailRow_->text(cell) : std::string_view(workbook_.text(cell)),
                                   format);
            case CellType::Boolean:
                return worksheet_write_boolean(ws_, row, col, cell.boolean ? 1 : 0, format);
            case CellType::Error:
                return writeError(row, col, cell.error, format);
            case CellType::Empty:
                return format ? worksheet_write_blank(ws_, row, col, format) : LXW_NO_ERROR;
        }
        return LXW_NO_ERROR;
    }

    lxw_error writeString(lxw_row_t row, lxw_col_t col, std::string_view text, lxw_format *format) {
        return worksheet_write_string(ws_, row, col, xlsxCellText(text, scratch_), format);
    }

    // An error literal as the formula, with the error as its cached result:
    // the spreadsheet applications show and evaluate it as that error.
    lxw_error writeError(lxw_row_t row, lxw_col_t col, model::CellError error, lxw_format *format) {
        const char *text = model::errorText(error);
        if (error == model::CellError::GettingData) return worksheet_write_string(ws_, row, col, text, format);
        return worksheet_write_formula_str(ws_, row, col, text, format, text);
    }

    const WorkbookModel &workbook_;
    FormatCache &formats_;
    lxw_worksheet *ws_;
    std::string scratch_;
    std::vector<uint8_t> formattedColumns_;  // by 1-based column, empty when no column has a format
    bool rowFormatted_ = false;
    double defaultHeight_ = LXW_DEF_ROW_HEIGHT;
    const model::SpilledRow *tailRow_ = nullptr;  // the spilled row being written, whose texts it holds
};

std::string libraryError(const std::string &what, lxw_error err) { return what + ": " + lxw_strerror(err); }

}  // namespace

WriteResult writeXlsx(const WorkbookModel &workbook, const std::string &path, const SheetTail *tail) {
    std::string reason;
    unsigned long long estimatedBytes = 0, cells = 0;
    if (!checkLimits(workbook, tail, &reason, &estimatedBytes, &cells))
        return failure("cannot save \"" + path + "\": " + reason);
    const bool hasTail = tail && tail->rows && tail->rows->rows() > 0 && tail->sheetIndex < workbook.sheetCount();

    AtomicFile file(path);
    if (!file.open(&reason)) return failure(reason);
    file.releaseHandle();

    std::string tempFolder = file.tempPath();
    const size_t slash = tempFolder.find_last_of("/\\");
    tempFolder = slash == std::string::npos ? std::string(".") : tempFolder.substr(0, slash + 1);

    lxw_workbook_options options{};
    // Streamed results and large workbooks go out row by row, strings inline:
    // no shared-string table to build, nothing held whole.
    options.constant_memory = hasTail || cells >= kConstantMemoryCells ? LXW_TRUE : LXW_FALSE;
    options.tmpdir = &tempFolder[0];
    options.use_zip64 = estimatedBytes >= kZip64Threshold ? LXW_TRUE : LXW_FALSE;
    lxw_workbook *book = workbook_new_opt(file.tempPath().c_str(), &options);
    if (!book) return failure("cannot save \"" + path + "\": out of memory");

    FormatCache formats(book, workbook.styles());
    const std::vector<std::string> names = xlsxSheetNames(workbook);
    size_t firstVisible = 0;
    while (firstVisible < workbook.sheetCount() && workbook.sheet(firstVisible).hidden) ++firstVisible;
    if (firstVisible == workbook.sheetCount()) firstVisible = 0;  // a workbook shows at least one sheet

    for (size_t i = 0; i < workbook.sheetCount(); ++i) {
        const Sheet &sheet = workbook.sheet(i);
        lxw_worksheet *ws = workbook_add_worksheet(book, names[i].c_str());
        if (!ws) {
            lxw_workbook_free(book);
            return failure("cannot save \"" + path + "\": " + sheetLabel(sheet) + " could not be added");
        }
        if (i == firstVisible)
            worksheet_activate(ws);
        else if (sheet.hidden)
            worksheet_hide(ws);
        std::string tailError;
        const lxw_error err = SheetWriter(workbook, formats, ws)
                                  .write(sheet, hasTail && tail->sheetIndex == i ? tail->rows : nullptr, &tailError);
        if (err != LXW_NO_ERROR) {
            lxw_workbook_free(book);
            if (!tailError.empty()) return failure("cannot save \"" + path + "\": " + tailError);
            return failure("cannot save \"" + path + "\": " + libraryError(sheetLabel(sheet), err));
        }
    }

    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        const int code = errno;
        file.discard();
        std::string detail = lxw_strerror(closed);
        if (closed == LXW_ERROR_CREATING_XLSX_FILE || closed == LXW_ERROR_CREATING_TMPFILE ||
            closed == LXW_ERROR_ZIP_FILE_OPERATION)
            detail += " (" + describeFileError(code) + ")";
        return failure("cannot save \"" + path + "\": " + detail);
    }
    if (!file.commit(&reason)) return failure(reason);
    return WriteResult{true, {}};
}

}  // namespace automation::writers
