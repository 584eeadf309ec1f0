// SPDX-License-Identifier: Apache-2.0
// A workbook read through a row filter must hold exactly what reading it whole
// and then dropping the rows the filter does not reach holds, and its
// outlines must describe the whole sheets: random SpreadsheetML in all its
// spellings, rows and cells out of order, and a kept column; and so must
// rows decoded ahead of the scan.
#include "RandomSpreadsheetMl.h"
#include "ReaderTestFiles.h"
#include "WorkbookDifference.h"

#include "automation/readers/Readers.h"
#include "automation/readers/RowFilter.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace automation;
using namespace automation::readers;

namespace {

constexpr uint32_t kRandomPackages = 300;

// Reaches texts holding `letter`, numbers whose whole part is a multiple of
// three, and TRUE: enough to keep some rows of every sheet and drop others.
class TestFilter : public RowFilter {
public:
    TestFilter(char letter, uint32_t column) : letter_(letter), column_(column) {}
    void prepare(const model::WorkbookModel &) override { ++prepared; }
    bool canMatch(const model::WorkbookModel &workbook, const model::Cell &cell) override {
        switch (cell.type) {
            case model::CellType::String:
                return workbook.text(cell).find(letter_) != std::string::npos;
            case model::CellType::Number:
                return static_cast<long long>(cell.number) % 3 == 0;
            case model::CellType::Boolean:
                return cell.boolean;
            default:
                return false;
        }
    }
    uint32_t keptColumn() const override { return column_; }

    int prepared = 0;

private:
    char letter_;
    uint32_t column_;
};

// The reduction done the plain way: the whole sheet, then its rows dropped.
model::WorkbookModel reducedWhole(const model::WorkbookModel &whole, TestFilter &filter,
                                  std::vector<SheetOutline> *outlines) {
    model::WorkbookModel out = whole;
    for (size_t i = 0; i < whole.sheetCount(); ++i) {
        const model::Sheet &sheet = whole.sheet(i);
        SheetOutline outline;
        outline.hasUsed = sheet.usedArea(&outline.used);
        model::Sheet kept = model::sheetWithoutRows(sheet);
        for (const model::Row &row : sheet.rows()) {
            bool keep = outline.hasUsed && row.index == outline.used.firstRow;
            for (const model::Cell &c : row.cells) keep = keep || (c.hasValue() && filter.canMatch(whole, c));
            const model::Cell *column = nullptr;
            for (const model::Cell &c : row.cells)
                if (c.column == filter.keptColumn()) column = &c;
            if (!keep && !column) continue;
            model::Row &r = kept.rowForWrite(row.index);
            r.height = row.height;
            r.style = row.style;
            r.hidden = row.hidden;
            if (keep) {
                outline.keptRows.push_back(row.index);
                for (const model::Cell &c : row.cells) kept.setCell(row.index, c);
            } else {
                kept.setCell(row.index, *column);
            }
        }
        out.replaceSheet(i, std::move(kept));
        outlines->push_back(std::move(outline));
    }
    return out;
}

::testing::AssertionResult sameOutlines(const std::vector<SheetOutline> &a, const std::vector<SheetOutline> &b) {
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "outline count " << a.size() << " vs " << b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].hasUsed != b[i].hasUsed || (a[i].hasUsed && !(a[i].used == b[i].used)))
            return ::testing::AssertionFailure() << "sheet " << i << ": used area";
        if (a[i].keptRows != b[i].keptRows) return ::testing::AssertionFailure() << "sheet " << i << ": kept rows";
    }
    return ::testing::AssertionSuccess();
}

// Reads `path` both ways; true when the filtered read took something away.
// `ahead`: how the filtered read decodes rows ahead; the whole read never does.
bool expectSameAsWholeReduced(const std::string &path, char letter, uint32_t column,
                              readers::xlsx::DecodeAhead ahead = readers::xlsx::DecodeAhead::WhenBehind) {
    ReadResult whole, filtered;
    {
        readertest::DecodeAheadSwitch never(readers::xlsx::DecodeAhead::Never);
        whole = readWorkbookFile(path);
    }
    TestFilter filter(letter, column);
    std::vector<SheetOutline> outlines;
    {
        readertest::DecodeAheadSwitch mode(ahead);
        filtered = readWorkbookFile(path, &filter, &outlines);
    }
    EXPECT_EQ(whole.status, filtered.status);
    if (!whole.workbook || !filtered.workbook) {
        EXPECT_TRUE(outlines.empty());
        return false;
    }
    EXPECT_EQ(filter.prepared, 1);
    std::vector<SheetOutline> expectedOutlines;
    TestFilter reference(letter, column);
    const model::WorkbookModel expected = reducedWhole(*whole.workbook, reference, &expectedOutlines);
    EXPECT_EQ(readertest::firstDifference(*filtered.workbook, expected), "");
    EXPECT_TRUE(sameOutlines(outlines, expectedOutlines));
    // Texts written in dropped rows are not kept.
    EXPECT_LE(filtered.workbook->strings().size(), whole.workbook->strings().size());
    size_t wholeCells = 0, keptCells = 0;
    for (size_t i = 0; i < whole.workbook->sheetCount(); ++i) wholeCells += whole.workbook->sheet(i).cellCount();
    for (size_t i = 0; i < filtered.workbook->sheetCount(); ++i) keptCells += filtered.workbook->sheet(i).cellCount();
    return keptCells < wholeCells;
}

TEST(FilteredRead, RandomPackagesKeepWhatTheWholeReadReduces) {
    readertest::TempFolder folder;
    uint32_t reduced = 0;
    for (uint32_t seed = 0; seed < kRandomPackages; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const readertest::GeneratedPackage p = readertest::randomSpreadsheetMl(seed);
        const std::string path = folder.path("random.xlsx");
        ASSERT_TRUE(readertest::writeZip(path, p.members));
        reduced += expectSameAsWholeReduced(path, "aeiou"[seed % 5], seed % 3 == 0 ? 2 : 0);
    }
    EXPECT_GT(reduced, kRandomPackages / 2);  // the filter really dropped rows
}

// Hand-written sheet parts: rows out of order, a row split in two, cells out
// of column order, cells addressed to another row, texts written inline, and
// rows out of order beside markup the fast decoder leaves to the events.
TEST(FilteredRead, RowsAndCellsOutOfOrderAreReducedAsTheWholeSheet) {
    const std::string head = "<sheetData>";
    const std::string tail = "</sheetData>";
    auto inl = [](const char *ref, const char *text) {
        return std::string("<c r=\"") + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
    };
    auto num = [](const char *ref, const char *v) { return std::string("<c r=\"") + ref + "\"><v>" + v + "</v></c>"; };
    const std::vector<std::string> sheets = {
        // in order: a dropped first row must still be kept (the used area's first row)
        "<row r=\"2\">" + inl("A2", "zzz") + "</row><row r=\"3\">" + inl("A3", "keep") + num("B3", "4") +
            "</row><row r=\"4\" ht=\"30\" customHeight=\"1\">" + inl("A4", "drop") + num("B4", "4") + "</row>",
        // rows out of order
        "<row r=\"5\">" + inl("A5", "xyz") + "</row><row r=\"3\">" + inl("A3", "keep") + "</row><row r=\"9\">" +
            num("B9", "3") + "</row>",
        // one row in two elements, the format in the first, the match in the second
        "<row r=\"2\">" + inl("A2", "first") + "</row><row r=\"4\" ht=\"30\" customHeight=\"1\" hidden=\"1\">" +
            inl("A4", "zzz") + "</row><row r=\"4\">" + inl("C4", "keep") + "</row>",
        // cells out of column order, and a cell addressed to an earlier row
        "<row r=\"2\">" + inl("C2", "zzz") + inl("A2", "zzz") + "</row><row r=\"6\">" + inl("A6", "keep") +
            inl("B1", "keep") + "</row>",
        // a matching cell with a dropped row's inline texts around it
        "<row r=\"1\">" + num("A1", "1") + "</row><row r=\"2\">" + inl("A2", "zzz") + inl("B2", "yyy") +
            "</row><row r=\"3\">" + inl("A3", "zz") + inl("B3", "zzz") + "</row><row r=\"4\">" + inl("B4", "keep") +
            "</row>",
        // both retries in one read: markup left to the events, then rows out of order
        "<row r=\"5\">" + inl("A5", "xyz") + "</row><!-- a note --><row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is>" +
            "<r><t>ke</t></r><r><t>ep</t></r></is></c></row><row r=\"7\">" + num("B7", "6") + "</row>",
        // and the other way round
        "<row r=\"6\">" + inl("A6", "keep") + "</row><row r=\"2\">" + num("A2", "3") + "</row><!-- late -->" +
            "<row r=\"8\">" + inl("A8", "zzz") + "</row>",
    };
    readertest::TempFolder folder;
    readertest::HandPackage package;
    for (size_t i = 0; i < sheets.size(); ++i)
        package.sheets.push_back({"S" + std::to_string(i + 1), head + sheets[i] + tail});
    const std::string path = folder.path("hand.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(path, package));
    for (uint32_t column : {0u, 2u}) {
        SCOPED_TRACE("kept column " + std::to_string(column));
        EXPECT_TRUE(expectSameAsWholeReduced(path, 'e', column));
    }
}

// Rows decoded ahead go through the filter as rows the scan decodes: in
// order, out of order (the read then starts again whole) and with cells out
// of column order, each in a sheet read in pieces, every piece decoded ahead.
TEST(FilteredRead, RowsDecodedAheadAreKeptAsRowsScanned) {
    struct Pieces {
        Pieces() { readers::xlsx::setWholePartLimit(0); }
        ~Pieces() { readers::xlsx::setWholePartLimit(readers::xlsx::kMaxWholePartBytes); }
    } pieces;
    const auto always = readers::xlsx::DecodeAhead::Always;
    auto shared = [](int r, const char *column, int item) {
        return std::string("<c r=\"") + column + std::to_string(r) + "\" t=\"s\"><v>" + std::to_string(item) +
               "</v></c>";
    };
    auto num = [](int r, const char *column, int v) {
        return std::string("<c r=\"") + column + std::to_string(r) + "\" s=\"1\"><v>" + std::to_string(v) + "</v></c>";
    };
    auto row = [](int r, const std::string &cells, const char *attributes = "") {
        return "<row r=\"" + std::to_string(r) + "\"" + attributes + ">" + cells + "</row>";
    };
    std::string inOrder, outOfOrder, columnsOutOfOrder;
    for (int r = 1; r <= 300; ++r)
        inOrder += row(r, shared(r, "A", r % 4) + num(r, "B", r) + "<c r=\"C" + std::to_string(r) + "\" s=\"1\"/>",
                       r % 5 ? "" : " ht=\"30\" customHeight=\"1\" hidden=\"1\"");
    outOfOrder =
        row(2, shared(2, "A", 0)) + row(5, num(5, "B", 4)) + row(3, shared(3, "A", 1)) + row(9, num(9, "A", 6));
    columnsOutOfOrder = row(1, num(1, "A", 1)) + row(2, num(2, "C", 3) + shared(2, "A", 2)) + row(4, num(4, "B", 9));
    readertest::HandPackage package;
    package.sharedStrings =
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<si><t>keep</t></si><si><t>zzz</t></si><si><t>yes</t></si><si><t>no</t></si></sst>";
    package.sheets.push_back({"InOrder", "<sheetData>" + inOrder + "</sheetData>"});
    package.sheets.push_back({"OutOfOrder", "<sheetData>" + outOfOrder + "</sheetData>"});
    package.sheets.push_back({"Columns", "<sheetData>" + columnsOutOfOrder + "</sheetData>"});
    readertest::TempFolder folder;
    const std::string path = folder.path("ahead.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(path, package));
    const uint64_t takenBefore = readers::xlsx::piecesTakenDecoded();
    for (uint32_t column : {0u, 2u}) {
        SCOPED_TRACE("kept column " + std::to_string(column));
        EXPECT_TRUE(expectSameAsWholeReduced(path, 'e', column, always));
    }
    EXPECT_GT(readers::xlsx::piecesTakenDecoded(), takenBefore);
    for (uint32_t seed = 0; seed < kRandomPackages; seed += 7) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const readertest::GeneratedPackage p = readertest::randomSpreadsheetMl(seed);
        ASSERT_TRUE(readertest::writeZip(path, p.members));
        expectSameAsWholeReduced(path, "aeiou"[seed % 5], seed % 3 == 0 ? 2 : 0, always);
    }
}

}  // namespace
