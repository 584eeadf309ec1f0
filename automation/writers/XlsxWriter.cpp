// SPDX-License-Identifier: Apache-2.0
#include "automation/model/Limits.h"
#include "automation/writers/AtomicFile.h"
#include "automation/writers/PackageParts.h"
#include "automation/writers/SheetNames.h"
#include "automation/writers/StylesPart.h"
#include "automation/writers/WorksheetPart.h"
#include "automation/writers/Writers.h"
#include "automation/writers/ZipPackage.h"

#include <algorithm>

namespace automation::writers {

namespace {

using model::Sheet;
using model::WorkbookModel;

std::string sheetLabel(const Sheet &sheet) { return "sheet \"" + sheet.name + "\""; }

// A sheet the format cannot hold is refused before any file exists.
bool checkLimits(const WorkbookModel &workbook, const SheetTail *tail, std::string *reason) {
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
        }
    }
    return true;
}

}  // namespace

WriteResult writeXlsx(const WorkbookModel &workbook, const std::string &path, const SheetTail *tail,
                      const model::KeptMarkup *kept) {
    std::string reason;
    if (!checkLimits(workbook, tail, &reason))
        return WriteResult::failed("cannot save \"" + path + "\": " + reason, SaveFailure::TooLarge);
    const bool hasTail = tail && tail->rows && tail->rows->rows() > 0 && tail->sheetIndex < workbook.sheetCount();
    AtomicFile file(path);
    if (WriteResult opened = file.open(); !opened) return opened;
    ZipPackage package;
    if (WriteResult opened = package.open(file); !opened) return opened;
    // A part that could not be added says why without the file's name.
    const auto partFailed = [&file](const std::string &what, const WriteResult &why) {
        return file.failed(what + why.error, why.failure);
    };

    size_t firstVisible = 0;
    while (firstVisible < workbook.sheetCount() && workbook.sheet(firstVisible).hidden) ++firstVisible;
    if (firstVisible == workbook.sheetCount()) firstVisible = 0;  // a workbook shows at least one sheet

    // A workbook holds at least one sheet.
    WorkbookModel placeholder;
    const bool empty = workbook.sheetCount() == 0;
    if (empty) placeholder.appendSheet("Sheet1");
    const WorkbookModel &written = empty ? placeholder : workbook;

    const std::vector<std::string> names = xlsxSheetNames(written);
    std::vector<PackageSheet> sheets;
    for (size_t i = 0; i < written.sheetCount(); ++i)
        sheets.push_back(PackageSheet{names[i], written.sheet(i).hidden && i != firstVisible, written.sheet(i).name});
    // The parts that describe the package come first, as readers that stream a package expect.
    const std::pair<const char *, std::string> described[] = {
        {"[Content_Types].xml", contentTypesXml(sheets.size())},
        {"_rels/.rels", packageRelationshipsXml()},
        {"xl/workbook.xml", workbookXml(sheets, firstVisible, written.date1904, kept ? &kept->names : nullptr)},
        {"xl/_rels/workbook.xml.rels", workbookRelationshipsXml(sheets.size())}};
    for (const auto &[name, xml] : described)
        if (WriteResult added = package.addPart(name, xml); !added) return partFailed("", added);

    // Formats are gathered while the sheets are written; their part comes last.
    StylesPart styles(written.styles());
    if (kept) styles.keepDifferentialFormats(kept->differentialFormats, kept->differentialFormatCount);
    for (size_t i = 0; i < written.sheetCount(); ++i) {
        const Sheet &sheet = written.sheet(i);
        auto part = std::make_unique<DeflatedPart>();
        model::RowSpill *rows = hasTail && tail->sheetIndex == i ? tail->rows : nullptr;
        const model::KeptSheetMarkup *markup = nullptr;
        if (kept)
            if (auto found = kept->sheets.find(sheet.name); found != kept->sheets.end()) markup = &found->second;
        WriteResult added = writeWorksheet(written, sheet, rows, i == firstVisible, markup, styles, *part);
        if (added) added = package.addPart(worksheetPartName(i), std::move(part));
        if (!added) return partFailed(sheetLabel(sheet) + ": ", added);
    }
    if (WriteResult added = package.addPart("xl/styles.xml", styles.xml()); !added) return partFailed("", added);
    if (WriteResult closed = package.close(); !closed) {
        file.discard();
        return closed;
    }
    WriteResult committed = file.commit();
    committed.formatsSimplified = committed.ok && styles.simplified();
    return committed;
}

}  // namespace automation::writers
