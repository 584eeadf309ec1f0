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

WriteResult failure(std::string reason, SaveFailure kind) { return WriteResult{false, std::move(reason), kind}; }

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
        return failure("cannot save \"" + path + "\": " + reason, SaveFailure::TooLarge);
    const bool hasTail = tail && tail->rows && tail->rows->rows() > 0 && tail->sheetIndex < workbook.sheetCount();
    AtomicFile file(path);
    const auto failed = [&path, &file](const std::string &why) {
        return failure("cannot save \"" + path + "\": " + why, file.failureOrOther());
    };
    if (!file.open(&reason)) return failure(reason, file.failureOrOther());

    ZipPackage package;
    if (!package.open(file, &reason)) return failure(reason, file.failureOrOther());

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
    if (!package.addPart("[Content_Types].xml", contentTypesXml(sheets.size()), &reason) ||
        !package.addPart("_rels/.rels", packageRelationshipsXml(), &reason) ||
        !package.addPart("xl/workbook.xml",
                         workbookXml(sheets, firstVisible, written.date1904, kept ? &kept->names : nullptr), &reason) ||
        !package.addPart("xl/_rels/workbook.xml.rels", workbookRelationshipsXml(sheets.size()), &reason))
        return failed(reason);

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
        if (!writeWorksheet(written, sheet, rows, i == firstVisible, markup, styles, *part, &reason) ||
            !package.addPart(worksheetPartName(i), std::move(part), &reason))
            return failed(sheetLabel(sheet) + ": " + reason);
    }
    if (!package.addPart("xl/styles.xml", styles.xml(), &reason)) return failed(reason);
    if (!package.close(&reason)) {
        const SaveFailure kind = file.failureOrOther();
        file.discard();
        return failure(reason, kind);
    }
    if (!file.commit(&reason)) return failure(reason, file.failureOrOther());
    return WriteResult{true, {}, SaveFailure::None, styles.simplified()};
}

}  // namespace automation::writers
