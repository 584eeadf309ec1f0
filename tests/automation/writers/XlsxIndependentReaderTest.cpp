// SPDX-License-Identifier: Apache-2.0
// Reads a written workbook back with openpyxl, a reader that shares no code
// with ours, so a fault mirrored in our writer and reader cannot hide.
#include "WriterTestSupport.h"
#include "automation/model/RowSpill.h"
#include "automation/writers/Writers.h"

#include "OpenpyxlDump.h"
#include "SchemaValidation.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <sstream>

using automation::model::Cell;
using automation::model::CellArea;
using automation::model::CellError;
using automation::model::CellStyle;
using automation::model::ColumnInfo;
using automation::model::HorizontalAlignment;
using automation::model::rgb;
using automation::model::RowSpill;
using automation::model::Sheet;
using automation::model::Underline;
using automation::model::VerticalAlignment;
using automation::model::WorkbookModel;
using automation::writers::SheetTail;
using automation::writers::writeXlsx;

namespace {

std::string coordinate(uint32_t row, uint32_t column) {
    return std::string(1, static_cast<char>('A' + column - 1)) + std::to_string(row);
}

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

// What openpyxl should report for one cell: its Python type, openpyxl's data
// type, and the value (numbers compared as doubles, the rest as text).
struct Expected {
    std::string type, kind, value, formula = "-";
    bool numeric = false;
    double number = 0;
};

class Book {
public:
    WorkbookModel wb;
    std::map<std::string, Expected> cells;  // "sheet!A1"

    void put(Sheet &sheet, uint32_t row, const Cell &cell, const std::string &text = {}) {
        sheet.setCell(row, cell.type == automation::model::CellType::String
                               ? Cell::makeString(cell.column, wb.mutableStrings().intern(text), cell.style)
                               : cell);
        expect(sheet.name, row, cell, text);
    }
    void spill(RowSpill &tail, const std::string &sheet, uint32_t row, const Cell &cell, const std::string &text = {}) {
        tail.addCell(cell, text);
        expect(sheet, row, cell, text);
    }

private:
    void expect(const std::string &sheet, uint32_t row, const Cell &cell, const std::string &text) {
        Expected &e = cells[sheet + "!" + coordinate(row, cell.column)];
        switch (cell.type) {
            case automation::model::CellType::Number:
                if (std::isnan(cell.number)) return error(e, "#NUM!");
                e = {"", "n", "", "-", true, cell.number};
                return;
            case automation::model::CellType::String:
                e = {"str", "s", text};
                return;
            case automation::model::CellType::Boolean:
                e = {"bool", "b", cell.boolean ? "True" : "False"};
                return;
            case automation::model::CellType::Error:
                return error(e, automation::model::errorText(cell.error));
            case automation::model::CellType::Empty:
                e = {"NoneType", "n", "None"};
        }
    }
    static void error(Expected &e, const std::string &text) { e = {"str", "e", text, "=" + text}; }
};

TEST(XlsxIndependentReader, OpenpyxlReadsBackWhatWasWritten) {
    writertest::ScratchFolder folder;
    Book book;
    WorkbookModel &wb = book.wb;
    auto intern = [&wb](const std::function<void(CellStyle &)> &set) {
        CellStyle s;
        set(s);
        return wb.mutableStyles().intern(s);
    };
    const uint32_t fonty =
        intern([](CellStyle &s) { s.font = {"Arial", 14, true, true, true, Underline::Single, 0, rgb(0xFF0000)}; });
    const uint32_t boxed = intern([](CellStyle &s) {
        s.fill = {1, rgb(0xFFFF00), rgb(0x00FF00), {}};
        s.border.left = {2, rgb(0xFF0000)};
        s.border.bottom = {6, automation::model::kAutoColor};
    });
    const uint32_t aligned = intern([](CellStyle &s) {
        s.alignment.horizontal = HorizontalAlignment::Center;
        s.alignment.vertical = VerticalAlignment::Top;
        s.alignment.wrap = true;
        s.alignment.rotation = 45;
        s.locked = false;
    });
    const uint32_t indented = intern([](CellStyle &s) {
        s.alignment.horizontal = HorizontalAlignment::Left;
        s.alignment.indent = 2;
    });
    const uint32_t upright = intern([](CellStyle &s) { s.alignment.rotation = 255; });
    const uint32_t shaded = intern([](CellStyle &s) {
        s.fill = {1, rgb(0x3366CC), automation::model::kAutoColor, {}};
    });
    const uint32_t thousandths = intern([](CellStyle &s) { s.numberFormat = "0.000"; });
    const uint32_t percent = intern([](CellStyle &s) { s.numberFormat = "0.00%"; });
    const uint32_t date = intern([](CellStyle &s) { s.numberFormat = "yyyy-mm-dd"; });

    const std::string hiddenName = "Q's \"draft\" & more", name = "R&D <1>";
    Sheet &hidden = wb.appendSheet(hiddenName);
    hidden.hidden = true;
    book.put(hidden, 1, Cell::makeString(1, 0), "only here");
    Sheet &s = wb.appendSheet(name);

    const double numbers[] = {42, -7.25, 0.1 + 0.2, 1e-300, 1.5e300, 1.0 / 3, std::nan("")};
    for (uint32_t c = 0; c < std::size(numbers); ++c) book.put(s, 1, Cell::makeNumber(c + 1, numbers[c]));
    const std::string texts[] = {"<&>\"'",
                                 "  padded  ",
                                 "tab\there\nnext\r\nlast",
                                 "ctl\x01x",
                                 "_x0041_ stays",
                                 "\xE4\xB8\xAD\xE6\x96\x87",
                                 "smile \xF0\x9F\x98\x80"};
    for (uint32_t c = 0; c < std::size(texts); ++c) book.put(s, 2, Cell::makeString(c + 1, 0), texts[c]);
    book.put(s, 3, Cell::makeBoolean(1, true));
    book.put(s, 3, Cell::makeBoolean(2, false));
    book.put(s, 3, Cell::makeError(3, CellError::NA));
    book.put(s, 3, Cell::makeError(4, CellError::Div0));
    book.put(s, 3, Cell::makeEmpty(5, shaded));
    book.put(s, 4, Cell::makeString(1, 0, fonty), "styled");
    book.put(s, 4, Cell::makeNumber(2, 1.5, boxed));
    book.put(s, 4, Cell::makeString(3, 0, aligned), "aligned");
    book.put(s, 4, Cell::makeString(4, 0, indented), "indented");
    book.put(s, 4, Cell::makeString(5, 0, upright), "upright");
    book.put(s, 4, Cell::makeNumber(6, 2.0 / 3, thousandths));
    book.put(s, 4, Cell::makeNumber(7, 0.125, percent));
    const double leapNoon = static_cast<double>(daysFromCivil(2024, 2, 29) - daysFromCivil(1899, 12, 30)) + 0.5;
    book.put(s, 4, Cell::makeNumber(8, leapNoon, date));
    book.cells[name + "!H4"] = {"datetime", "d", "2024-02-29T12:00:00"};
    book.put(s, 5, Cell::makeString(1, 0), "tall");
    s.rowForWrite(5).height = 30;
    book.put(s, 6, Cell::makeString(1, 0), "hidden row");
    s.rowForWrite(6).hidden = true;
    book.put(s, 8, Cell::makeString(1, 0), "merged");
    book.put(s, 8, Cell::makeNumber(5, 8));
    s.merges = {CellArea{8, 1, 9, 3}, CellArea{8, 5, 8, 6}};
    ColumnInfo wide, gone;
    wide.first = 2, wide.last = 3, wide.width = 20;
    gone.first = gone.last = 5, gone.hidden = true;
    s.columns = {wide, gone};

    RowSpill rows;  // results append like this, below the model's rows
    rows.beginRow(10, -1, 0, false);
    book.spill(rows, name, 10, Cell::makeString(1, 0, fonty), "tail <&> \x01 _x0041_");
    book.spill(rows, name, 10, Cell::makeNumber(3, 99.5));
    rows.addMerge(CellArea{10, 3, 10, 4});
    rows.endRow();
    rows.beginRow(11, 24.75f, 0, false);
    book.spill(rows, name, 11, Cell::makeError(1, CellError::NA));
    rows.endRow();
    rows.beginRow(12, -1, 0, true);
    book.spill(rows, name, 12, Cell::makeBoolean(2, true, percent));
    rows.endRow();
    const SheetTail tail{1, &rows};

    const std::string path = folder.file("independent.xlsx");
    const auto written = writeXlsx(wb, path, &tail);
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_EQ(schemacheck::joined(schemacheck::packageProblems(path)), "");

    const openpyxldump::Dump dump = openpyxldump::dump(path);
    if (dump.outcome == openpyxldump::Dump::Outcome::NoPython ||
        dump.outcome == openpyxldump::Dump::Outcome::NoOpenpyxl)
        GTEST_SKIP() << dump.output;
    ASSERT_EQ(dump.outcome, openpyxldump::Dump::Outcome::Ran) << dump.output;
    const std::string &output = dump.output;

    for (const std::string &warning : openpyxldump::warnings(dump))
        ADD_FAILURE() << "warning about the file" << warning;
    std::vector<std::string> sheets, merges, cols, heights;
    std::map<std::string, double> widths;
    std::string active;
    for (const openpyxldump::Record &r : dump.records) {
        ASSERT_GE(r.size(), 2u) << output;
        if (r[0] == "sheet") sheets.push_back(r.at(1) + "|" + r.at(2) + "|" + r.at(3));
        if (r[0] == "active") active = r[1];
        if (r[0] == "merge") merges.push_back(r.at(1) + "!" + r.at(2));
        if (r[0] == "col") {
            cols.push_back(r.at(2) + " " + r.at(3) + " " + r.at(4) + " " + r.at(6));
            widths[r.at(2)] = std::strtod(r.at(5).substr(6).c_str(), nullptr);
        }
        if (r[0] == "row") heights.push_back(r.at(2) + " " + r.at(3) + " " + r.at(4));
    }
    std::map<std::string, openpyxldump::Fields> found = openpyxldump::cells(dump);

    EXPECT_EQ(sheets,
              (std::vector<std::string>{hiddenName + "|hidden|selected=False", name + "|visible|selected=True"}));
    EXPECT_EQ(active, name);
    EXPECT_EQ(merges, (std::vector<std::string>{name + "!A8:C9", name + "!E8:F8", name + "!C10:D10"}));
    EXPECT_EQ(cols, (std::vector<std::string>{"B min=2 max=3 hidden=False", "E min=5 max=5 hidden=True"}));
    EXPECT_EQ(widths["B"], wide.width);
    EXPECT_EQ(heights, (std::vector<std::string>{"5 height=30.0 hidden=False", "6 height=None hidden=True",
                                                 "11 height=24.75 hidden=False", "12 height=None hidden=True"}));

    std::set<std::string> unexpected;
    for (const auto &[key, f] : found)
        if (!book.cells.count(key)) unexpected.insert(key);
    EXPECT_EQ(unexpected, std::set<std::string>{}) << "cells nobody wrote";
    for (const auto &[key, e] : book.cells) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(found.count(key)) << "openpyxl does not see the cell";
        const openpyxldump::Fields &f = found[key];
        EXPECT_EQ(f.at("kind"), e.kind);
        EXPECT_EQ(f.at("formula"), e.formula);
        if (e.numeric) {
            EXPECT_TRUE(f.at("type") == "int" || f.at("type") == "float") << f.at("type");
            EXPECT_EQ(std::strtod(f.at("value").c_str(), nullptr), e.number) << f.at("value");
        } else {
            EXPECT_EQ(f.at("type"), e.type);
            EXPECT_EQ(f.at("value"), e.value);
        }
    }

    // Style fields of one cell, space-separated, as the dump prints them.
    const auto style = [&](const std::string &ref, std::initializer_list<const char *> keys) {
        std::string joined;
        for (const char *key : keys) joined += (joined.empty() ? "" : " ") + found[name + "!" + ref].at(key);
        return joined;
    };
    // An unstyled cell shows the default font, not some other first font.
    EXPECT_EQ(style("A1", {"font", "size", "bold", "numfmt", "fill", "locked"}),
              "Calibri 11.0 False General None True");
    for (const char *ref : {"A4", "A10"})
        EXPECT_EQ(style(ref, {"font", "size", "bold", "italic", "underline", "strike", "color"}),
                  "Arial 14.0 True True single True FFFF0000")
            << ref;
    EXPECT_EQ(style("B4", {"fill", "fg", "bg", "left", "right", "top", "bottom"}),
              "solid FFFFFF00 FF00FF00 medium:FFFF0000 None:None None:None double:None");
    EXPECT_EQ(style("E3", {"fill", "fg"}), "solid FF3366CC");
    EXPECT_EQ(style("C4", {"halign", "valign", "wrap", "rotation", "locked"}), "center top True 45.0 False");
    EXPECT_EQ(style("D4", {"halign", "indent"}), "left 2.0");
    EXPECT_EQ(style("E4", {"rotation"}), "255.0");
    EXPECT_EQ(style("F4", {"numfmt"}) + " " + style("G4", {"numfmt"}) + " " + style("B12", {"numfmt"}),
              "0.000 0.00% 0.00%");
    EXPECT_EQ(style("H4", {"numfmt"}), "yyyy-mm-dd");
}

}  // namespace
