// SPDX-License-Identifier: Apache-2.0
#include "fuzz/FuzzBodies.h"

#include "automation/model/Limits.h"
#include "automation/model/WorkbookModel.h"
#include "automation/native/DisplayText.h"
#include "automation/numfmt/NumberFormat.h"
#include "automation/readers/Readers.h"
#include "automation/readers/text/CsvReader.h"
#include "automation/readers/text/TextDecoding.h"
#include "automation/readers/xls/BiffWorkbookReader.h"
#include "automation/readers/xlsx/FormulaEvaluation.h"
#include "automation/readers/xlsx/KeptMarkupReader.h"
#include "automation/readers/xlsx/RowsAhead.h"
#include "automation/readers/xlsx/WorksheetReader.h"
#include "automation/readers/xlsx/XmlStream.h"
#include "automation/writers/Writers.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace rowsifter::fuzz {

namespace {

using automation::readers::ReadResult;
using automation::readers::ReadStatus;
namespace model = automation::model;

// Rendering every cell of a large sheet would slow the fuzzer to a crawl for
// nothing: the same few cell kinds repeat.
constexpr size_t kMaxCellsRendered = 4096;

// Readers that only take a path get the input through a file of this process's
// own, in memory where the system offers a tmpfs.
class ScratchFile {
public:
    explicit ScratchFile(const char *suffix) {
        const char *dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr;
        if (!dir) dir = std::getenv("TMPDIR");
        if (!dir || !*dir) dir = "/tmp";
        path_ = std::string(dir) + "/rowsifter-fuzz-" + std::to_string(::getpid()) + suffix;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    // False when the file could not be written: the input is then skipped.
    bool write(const uint8_t *data, size_t size) const {
        FILE *f = std::fopen(path_.c_str(), "wb");
        if (!f) return false;
        const bool whole = size == 0 || std::fwrite(data, 1, size, f) == size;
        return std::fclose(f) == 0 && whole;
    }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

bool sheetInOrder(const model::Sheet &sheet) {
    uint32_t lastRow = 0;
    for (const model::Row &row : sheet.rows()) {
        if (row.index == 0 || row.index <= lastRow) return false;
        lastRow = row.index;
        uint32_t lastColumn = 0;
        for (const model::Cell &cell : row.cells) {
            if (cell.column == 0 || cell.column <= lastColumn) return false;
            lastColumn = cell.column;
        }
    }
    return true;
}

// Shows cells the way a search would, so that what a reader put in the model
// (string ids, style indexes, odd numbers) also goes through the formats.
void renderSome(const model::WorkbookModel &book, const model::Sheet &sheet, size_t *budget) {
    for (const model::Row &row : sheet.rows())
        for (const model::Cell &cell : row.cells) {
            if (*budget == 0) return;
            --*budget;
            (void)automation::native::displayText(book, cell);
        }
}

bool workbookSound(const model::WorkbookModel &book) {
    size_t budget = kMaxCellsRendered;
    for (size_t i = 0; i < book.sheetCount(); ++i) {
        const model::Sheet &sheet = book.sheet(i);
        if (!sheetInOrder(sheet)) return false;
        renderSome(book, sheet, &budget);
    }
    return true;
}

bool viaFile(const char *suffix, const uint8_t *data, size_t size, ReadResult (*read)(const std::string &)) {
    // One file per suffix for the life of the process, removed at its end.
    static std::map<std::string, ScratchFile> files;
    const ScratchFile &file = files.try_emplace(suffix, suffix).first->second;
    if (!file.write(data, size)) return true;
    return readResultSound(read(file.path()));
}

}  // namespace

bool readResultSound(const ReadResult &result) {
    if ((result.status == ReadStatus::Ok) != (result.workbook != nullptr)) return false;
    return !result.workbook || workbookSound(*result.workbook);
}

// The same sheets, row by row and cell by cell.
bool sameSheets(const model::WorkbookModel &a, const model::WorkbookModel &b) {
    if (a.sheetCount() != b.sheetCount()) return false;
    for (size_t i = 0; i < a.sheetCount(); ++i) {
        const auto &x = a.sheet(i).rows(), &y = b.sheet(i).rows();
        if (x.size() != y.size()) return false;
        for (size_t r = 0; r < x.size(); ++r) {
            if (x[r].index != y[r].index || x[r].height != y[r].height || x[r].style != y[r].style ||
                x[r].hidden != y[r].hidden || x[r].cells.size() != y[r].cells.size())
                return false;
            for (size_t c = 0; c < x[r].cells.size(); ++c) {
                const model::Cell &p = x[r].cells[c], &q = y[r].cells[c];
                if (p.column != q.column || p.style != q.style || p.type != q.type || a.text(p) != b.text(q))
                    return false;
                if (p.type == model::CellType::Number && !(p.number == q.number)) return false;
            }
        }
    }
    return true;
}

// Read in pieces with every piece's rows decoded ahead where they can be.
ReadResult readInDecodedPieces(const std::string &path) {
    namespace xlsx = automation::readers::xlsx;
    xlsx::setWholePartLimit(0);
    xlsx::setDecodeAhead(xlsx::DecodeAhead::Always);
    ReadResult read = automation::readers::readXlsx(path);
    xlsx::setDecodeAhead(xlsx::DecodeAhead::WhenBehind);
    xlsx::setWholePartLimit(xlsx::kMaxWholePartBytes);
    return read;
}

bool xlsxPackage(const uint8_t *data, size_t size) {
    static const ScratchFile source(".xlsx");
    static const ScratchFile saved("-saved.xlsx");
    if (!source.write(data, size)) return true;
    const ReadResult read = automation::readers::readXlsx(source.path());
    if (!readResultSound(read)) return false;
    const ReadResult inPieces = readInDecodedPieces(source.path());
    if (inPieces.status != read.status || (read.workbook && !sameSheets(*read.workbook, *inPieces.workbook)))
        return false;
    if (!read.workbook) return true;
    // Whatever a workbook holds may end up in a result, and a header template
    // brings the markup around its cells too: saving it either works, giving
    // a file that reads back with every sheet, or says why not.
    const auto kept = automation::readers::xlsx::readKeptMarkup(source.path());
    const automation::WriteResult written =
        automation::writers::writeXlsx(*read.workbook, saved.path(), nullptr, kept.get());
    if (!written.ok) return !written.error.empty();
    const ReadResult again = automation::readers::readXlsx(saved.path());
    const size_t sheets = std::max<size_t>(read.workbook->sheetCount(), 1);
    return again.workbook && readResultSound(again) && again.workbook->sheetCount() == sheets;
}

bool worksheetScanner(const uint8_t *data, size_t size) {
    namespace xlsx = automation::readers::xlsx;
    model::WorkbookModel book;
    model::StringPool &strings = book.mutableStrings();
    for (const char *s : {"甲", "text", "0012", "#N/A"}) strings.append(s);
    model::StyleTable &styles = book.mutableStyles();
    for (const char *code : {"0.00", "yyyy-mm-dd", "0%", "@", "[DBNum2]0", "h:mm AM/PM"}) {
        model::CellStyle style;
        style.numberFormat = code;
        styles.append(style);
    }
    xlsx::WorksheetContext context;
    context.strings = &strings;
    context.sharedStringCount = static_cast<uint32_t>(strings.size());
    context.styleCount = static_cast<uint32_t>(styles.size());
    model::Sheet &sheet = book.appendSheet("Sheet1");

    // The scanner writes into its buffer and one byte past the end.
    std::vector<char> buffer(data, data + size);
    buffer.push_back('\0');
    std::string message;
    // The rows a block would hand over decoded ahead: within it, and as many cells as its rows count.
    xlsx::RowsAheadDecoder ahead(context.styleCount, context.sharedStringCount);
    std::unique_ptr<xlsx::DecodedPiece> piece;
    if (ahead.decode(buffer.data(), size, piece)) {
        const auto &rows = static_cast<const xlsx::RowsDecodedAhead &>(*piece);
        size_t cells = 0;
        for (const xlsx::RowAhead &r : rows.rows) {
            if (r.index == 0 || r.index > model::kMaxRows) return false;
            cells += r.cellCount;
        }
        if (rows.begin >= rows.end || rows.end > size || buffer[rows.begin] != '<' || cells != rows.cells.size())
            return false;
        for (const model::Cell &c : rows.cells)
            if (c.column == 0 || c.column > model::kMaxColumns || (c.style != 0 && c.style >= context.styleCount))
                return false;
    }
    const ReadStatus status = xlsx::scanWorksheetInPlace(buffer.data(), size, context, &sheet, &message);
    if (status != ReadStatus::Ok) return true;
    return workbookSound(book);
}

bool xlsWorkbook(const uint8_t *data, size_t size) {
    return viaFile(".xls", data, size, &automation::readers::readXls);
}

bool biffStream(const uint8_t *data, size_t size) {
    return readResultSound(automation::readers::xls::decodeWorkbookStream(data, size));
}

bool delimitedText(const uint8_t *data, size_t size) {
    namespace text = automation::readers::text;
    std::string bytes(reinterpret_cast<const char *>(data), size);
    if (!text::decodeToUtf8(bytes)) return true;
    for (char separator : {',', '\t'}) {
        model::WorkbookModel book;
        model::Sheet &sheet = book.appendSheet("Sheet1");
        std::string message;
        if (text::parseDelimited(bytes, separator, &sheet, &book.mutableStrings(), &message) != ReadStatus::Ok)
            continue;
        if (!workbookSound(book)) return false;
    }
    return true;
}

bool htmlTable(const uint8_t *data, size_t size) {
    return viaFile(".html", data, size,
                   [](const std::string &path) { return automation::readers::readHtmlTable(path, "Sheet1"); });
}

bool formulaEvaluation(const uint8_t *data, size_t size) {
    namespace xlsx = automation::readers::xlsx;
    // A line each: "=formula" a formula cell of the first sheet, "2=formula"
    // one of the second, "name=formula" a defined name, anything else a
    // number or a text. An odd first byte asks for a full calculation.
    constexpr size_t kMaxLines = 96;
    const std::string text(reinterpret_cast<const char *>(data), size);
    model::WorkbookModel book;
    const std::vector<std::string> listed{"Sheet1", "Other"};
    for (const std::string &name : listed) book.appendSheet(name);
    xlsx::WorkbookFormulas formulas;
    formulas.sheets.resize(listed.size());
    std::vector<xlsx::DefinedName> names;
    size_t start = 0;
    for (size_t line = 0; start <= text.size() && line < kMaxLines; ++line) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        start = end + 1;
        const auto row = static_cast<uint32_t>(line / 3 + 1);
        const auto column = static_cast<uint32_t>(line % 3 + 1);
        const size_t equals = item.find('=');
        if (equals != std::string::npos && equals <= 1) {
            const size_t sheet = equals == 1 && item[0] == '2' ? 1 : 0;
            xlsx::FormulaCell cell;
            cell.row = row;
            cell.column = column;
            cell.text = item.substr(equals + 1);
            formulas.sheets[sheet].push_back(cell);
            ++formulas.count;
            book.mutableSheet(sheet).setCell(row, model::Cell::makeNumber(column, 0));
        } else if (equals != std::string::npos) {
            names.push_back(xlsx::DefinedName{item.substr(0, equals), -1, item.substr(equals + 1)});
        } else {
            char *stop = nullptr;
            const double number = std::strtod(item.c_str(), &stop);
            if (!item.empty() && stop && *stop == '\0')
                book.mutableSheet(0).setCell(row, model::Cell::makeNumber(column, number));
            else
                book.mutableSheet(0).setCell(row, model::Cell::makeString(column, book.mutableStrings().intern(item)));
        }
    }
    xlsx::FormulaSource source;
    source.formulas = &formulas;
    source.names = &names;
    source.listedSheets = &listed;
    source.fullCalcOnLoad = size > 0 && (data[0] & 1);
    const uint32_t left = xlsx::evaluateFormulas(book, source);
    return left <= formulas.count && workbookSound(book);
}

bool numberFormat(const uint8_t *data, size_t size) {
    namespace numfmt = automation::numfmt;
    // Eight bytes of value, one of switches, the rest the format code.
    if (size < 9) return true;
    double value;
    std::memcpy(&value, data, sizeof value);
    const bool date1904 = data[8] & 1;
    const std::string_view code(reinterpret_cast<const char *>(data) + 9, size - 9);
    (void)numfmt::formatNumber(value, code, date1904);
    (void)numfmt::formatNumber(static_cast<double>(static_cast<int8_t>(data[8])) / 4, code, date1904);
    (void)numfmt::formatText("文本 text", code);
    (void)numfmt::isDateFormat(code);
    (void)numfmt::formatGeneral(value);
    (void)numfmt::builtinFormatCode(data[8]);
    return true;
}

const Body kBodies[] = {
    {"xlsx", &xlsxPackage},    {"worksheet", &worksheetScanner}, {"xls", &xlsWorkbook},
    {"biff", &biffStream},     {"csv", &delimitedText},          {"html", &htmlTable},
    {"numfmt", &numberFormat}, {"formula", &formulaEvaluation},
};
const size_t kBodyCount = sizeof kBodies / sizeof kBodies[0];

}  // namespace rowsifter::fuzz
