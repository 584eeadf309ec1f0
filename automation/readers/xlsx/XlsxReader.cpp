// SPDX-License-Identifier: Apache-2.0
// .xlsx / .xlsm: the package's relationships lead from the root to the
// workbook part and from there to its theme, styles, strings and sheets.
#include "automation/readers/Readers.h"

#include "automation/readers/xlsx/EncryptedPackage.h"
#include "automation/readers/xlsx/FormulaEvaluation.h"
#include "automation/readers/xlsx/Relationships.h"
#include "automation/readers/xlsx/RowKeeper.h"
#include "automation/readers/xlsx/SharedStrings.h"
#include "automation/readers/xlsx/StylesReader.h"
#include "automation/readers/xlsx/ThemeColors.h"
#include "automation/readers/xlsx/WorkbookPart.h"
#include "automation/readers/xlsx/WorksheetReader.h"
#include "automation/readers/xlsx/ZipArchive.h"

#include <new>

namespace automation::readers {

namespace {

using namespace xlsx;

constexpr const char *kDefaultWorkbookPart = "xl/workbook.xml";

ReadResult failed(ReadStatus status, std::string message) { return ReadResult::fail(status, std::move(message)); }

// Worksheets and Excel 4.0 macro sheets hold cells alike; chart and dialog sheets hold none.
bool holdsCells(const Relationship &r) {
    return isRelationshipType(r.type, "worksheet") || isRelationshipType(r.type, "xlMacrosheet") ||
           isRelationshipType(r.type, "xlIntlMacrosheet") || isRelationshipType(r.type, "macrosheet");
}

// How a read treats formulas: on the first read it only notes that one lacks
// a usable result (`needsEvaluation`), and stops there; the read that
// follows keeps them all and evaluates the workbook.
struct FormulaPass {
    bool evaluate = false;
    bool needsEvaluation = false;
};

ReadResult readPackage(const std::string &path, RowFilter *filter, std::vector<SheetOutline> *outlines,
                       FormulaPass *pass) {
    std::string message;
    ZipArchive zip;
    ReadStatus s = zip.open(path, &message);
    // Password-protected packages are no zips but compound files: say so.
    if (s == ReadStatus::NotAWorkbook && inspectCompoundFile(path) == CompoundKind::Encrypted)
        return failed(ReadStatus::Encrypted, "password-protected workbook");
    if (s != ReadStatus::Ok) return failed(s, message);

    // Relationship parts are read leniently: a damaged one counts as empty,
    // and a root without any still leads to the usual place.
    std::vector<Relationship> packageRels;
    s = readRelationships(zip, "", &packageRels, &message);
    if (s == ReadStatus::TooLarge) return failed(s, message);
    std::string workbookPart = kDefaultWorkbookPart;
    if (const Relationship *r = findRelationshipByType(packageRels, "officeDocument"))
        if (zip.hasPart(r->target)) workbookPart = r->target;
    if (!zip.hasPart(workbookPart)) {
        if (zip.hasPart("xl/workbook.bin"))
            return failed(ReadStatus::Unsupported, "binary workbooks (.xlsb) are not read");
        return failed(ReadStatus::NotAWorkbook, "zip holds no workbook part");
    }
    if (workbookPart.size() > 4 && workbookPart.compare(workbookPart.size() - 4, 4, ".bin") == 0)
        return failed(ReadStatus::Unsupported, "binary workbooks (.xlsb) are not read");

    std::vector<Relationship> rels;
    s = readRelationships(zip, workbookPart, &rels, &message);
    if (s == ReadStatus::TooLarge) return failed(s, message);
    // Without the workbook's relationships its parts are looked for where
    // the applications put them; sheets then go by their place in the list.
    const bool guessParts = rels.empty();
    if (guessParts) {
        const std::pair<const char *, const char *> usual[] = {
            {"theme", "theme/theme1.xml"}, {"styles", "styles.xml"}, {"sharedStrings", "sharedStrings.xml"}};
        for (const auto &[kind, target] : usual)
            rels.push_back(Relationship{"", std::string("/") + kind, resolveTarget(workbookPart, target)});
    }

    // Damage to the theme or the styles costs the formats, not the cells.
    auto wb = std::make_unique<model::WorkbookModel>();
    ColorContext colors;
    if (const Relationship *r = findRelationshipByType(rels, "theme")) {
        s = readThemeColors(zip, r->target, &colors, &message);
        if (s == ReadStatus::TooLarge) return failed(s, message);
        if (s != ReadStatus::Ok) colors = ColorContext();
    }
    uint32_t styleCount = 0;
    if (const Relationship *r = findRelationshipByType(rels, "styles")) {
        s = readStyles(zip, r->target, colors, &wb->mutableStyles(), &styleCount, &message);
        if (s == ReadStatus::TooLarge) return failed(s, message);
    }
    // Damaged strings cost their text: those cells read empty.
    if (const Relationship *r = findRelationshipByType(rels, "sharedStrings")) {
        if (zip.hasPart(r->target)) {
            s = readSharedStrings(zip, r->target, &wb->mutableStrings(), &message);
            if (s == ReadStatus::TooLarge) return failed(s, message);
            if (s != ReadStatus::Ok) wb->replaceStrings(model::StringPool());
        }
    }

    WorkbookInfo info;
    s = readWorkbookPart(zip, workbookPart, &info, &message);
    if (s != ReadStatus::Ok) return failed(s, message);
    wb->date1904 = info.date1904;

    WorksheetContext ctx;
    ctx.strings = &wb->mutableStrings();
    ctx.sharedStringCount = static_cast<uint32_t>(ctx.strings->size());
    ctx.styleCount = styleCount;
    ctx.date1904 = info.date1904;
    ctx.fullCalcOnLoad = info.fullCalcOnLoad;
    WorkbookFormulas formulas;
    if (pass->evaluate)
        ctx.formulas = &formulas;
    else
        ctx.formulasNeedEvaluation = &pass->needsEvaluation;
    if (filter) {
        filter->prepare(*wb);
        ctx.filter = filter;
        ctx.workbook = wb.get();
    }
    // A sheet whose part is missing or unreadable is left out; the workbook
    // fails only when every worksheet it lists does.
    ReadStatus sheetFailure = ReadStatus::Ok;
    std::string sheetMessage;
    size_t listed = 0;
    for (const SheetEntry &entry : info.sheets) {
        const Relationship *r = findRelationshipById(rels, entry.relationshipId);
        Relationship guessed;
        if (!r && guessParts) {
            guessed =
                Relationship{entry.relationshipId, "/worksheet",
                             resolveTarget(workbookPart, "worksheets/sheet" + std::to_string(listed + 1) + ".xml")};
            r = &guessed;
        }
        if (r && !holdsCells(*r)) continue;  // chart and dialog sheets
        ++listed;
        std::string sheetError;
        ReadStatus sheetStatus = ReadStatus::Corrupt;
        if (!r) {
            sheetError = "sheet " + entry.name + " has no part";
        } else if (!zip.hasPart(r->target)) {
            sheetError = "sheet " + entry.name + ": missing part " + r->target;
        } else {
            const size_t index = wb->sheetCount();
            model::Sheet &sheet = wb->appendSheet(entry.name);
            sheet.hidden = entry.hidden;
            SheetOutline *outline = filter ? &outlines->emplace_back() : nullptr;
            if (ctx.formulas) formulas.sheets.emplace_back();
            sheetStatus = readWorksheet(zip, r->target, ctx, &sheet, &sheetError, outline);
            if (sheetStatus != ReadStatus::Ok) {
                wb->removeSheet(index);
                if (filter) outlines->pop_back();  // one outline per sheet kept
                if (ctx.formulas) {
                    formulas.count -= formulas.sheets.back().size();
                    formulas.sheets.pop_back();
                }
            }
            // The workbook is read again, whole, to be evaluated.
            if (pass->needsEvaluation) return failed(ReadStatus::Ok, {});
        }
        if (sheetStatus != ReadStatus::Ok && sheetFailure == ReadStatus::Ok) {
            sheetFailure = sheetStatus;
            sheetMessage = sheetError;
        }
    }
    if (listed > 0 && wb->sheetCount() == 0) return failed(sheetFailure, sheetMessage);
    if (pass->evaluate) {
        std::vector<std::string> listedNames;
        for (const SheetEntry &entry : info.sheets) listedNames.push_back(entry.name);
        FormulaSource source;
        source.formulas = &formulas;
        source.names = &info.names;
        source.listedSheets = &listedNames;
        source.fullCalcOnLoad = info.fullCalcOnLoad;
        wb->formulasNotEvaluated = evaluateFormulas(*wb, source);
    }
    return ReadResult::ok(std::move(wb));
}

// A workbook to be evaluated is read whole: a formula's result can make a row
// match, and a formula can refer to any cell. The filter is applied after.
ReadResult readEvaluated(const std::string &path, RowFilter *filter, std::vector<SheetOutline> *outlines) {
    FormulaPass pass;
    pass.evaluate = true;
    ReadResult result = readPackage(path, nullptr, nullptr, &pass);
    if (!result.workbook || !filter) return result;
    model::WorkbookModel &wb = *result.workbook;
    filter->prepare(wb);
    WorksheetContext ctx;
    ctx.strings = &wb.mutableStrings();
    ctx.filter = filter;
    ctx.workbook = &wb;
    for (size_t i = 0; i < wb.sheetCount(); ++i) {
        model::Sheet sheet = wb.sheet(i);
        keepReachedRows(ctx, &sheet, &outlines->emplace_back());
        wb.replaceSheet(i, std::move(sheet));
    }
    return result;
}

}  // namespace

ReadResult readXlsx(const std::string &path) { return readXlsx(path, nullptr, nullptr); }

ReadResult readXlsx(const std::string &path, RowFilter *filter, std::vector<SheetOutline> *outlines) {
    if (!outlines) filter = nullptr;
    if (outlines) outlines->clear();
    try {
        FormulaPass pass;
        ReadResult result = readPackage(path, filter, outlines, &pass);
        if (pass.needsEvaluation) {
            if (outlines) outlines->clear();
            result = readEvaluated(path, filter, outlines);
        }
        if (!result.workbook && outlines) outlines->clear();
        return result;
    } catch (const std::bad_alloc &) {
        if (outlines) outlines->clear();
        return ReadResult::fail(ReadStatus::TooLarge, "out of memory");
    } catch (...) {
        if (outlines) outlines->clear();
        return ReadResult::fail(ReadStatus::Corrupt, "unexpected failure");
    }
}

}  // namespace automation::readers
