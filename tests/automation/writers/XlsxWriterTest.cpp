// SPDX-License-Identifier: Apache-2.0
#include "WriterTestSupport.h"
#include "automation/writers/StylesPart.h"
#include "automation/writers/Writers.h"

#include "SchemaValidation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <regex>
#include <set>

using automation::model::Cell;
using automation::model::CellArea;
using automation::model::CellError;
using automation::model::CellStyle;
using automation::model::ColumnInfo;
using automation::model::HorizontalAlignment;
using automation::model::rgb;
using automation::model::Sheet;
using automation::model::VerticalAlignment;
using automation::model::WorkbookModel;
using automation::writers::writeXlsx;
using writertest::ScratchFolder;
using writertest::zipEntry;

namespace {

uint32_t text(WorkbookModel &wb, const std::string &s) { return wb.mutableStrings().intern(s); }

// Saves and returns the path; fails the test when the save fails.
std::string save(const WorkbookModel &wb, const ScratchFolder &folder, const std::string &name = "out.xlsx") {
    const std::string path = folder.file(name);
    const auto result = writeXlsx(wb, path);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(schemacheck::joined(schemacheck::packageProblems(path)), "");
    return path;
}

std::string sheetXml(const std::string &path, int n = 1) {
    return zipEntry(path, "xl/worksheets/sheet" + std::to_string(n) + ".xml");
}

// The <c> element of one cell reference, or "".
std::string cellXml(const std::string &xml, const std::string &ref) {
    const size_t at = xml.find("<c r=\"" + ref + "\"");
    if (at == std::string::npos) return {};
    const size_t selfClose = xml.find("/>", at);
    const size_t close = xml.find("</c>", at);
    const size_t openEnd = xml.find('>', at);
    if (selfClose != std::string::npos && selfClose + 1 == openEnd) return xml.substr(at, selfClose + 2 - at);
    return close == std::string::npos ? std::string() : xml.substr(at, close + 4 - at);
}

std::string attribute(const std::string &element, const std::string &name) {
    const std::regex re(" " + name + "=\"([^\"]*)\"");
    std::smatch m;
    return std::regex_search(element, m, re) ? m[1].str() : std::string();
}

// The elements named `tag` inside the first <section> element.
std::vector<std::string> elements(const std::string &xml, const std::string &section, const std::string &tag) {
    std::vector<std::string> found;
    const size_t begin = xml.find("<" + section);
    const size_t end = xml.find("</" + section + ">");
    if (begin == std::string::npos || end == std::string::npos) return found;
    const std::regex element("<" + tag + "[ />]");
    auto it =
        std::sregex_iterator(xml.begin() + static_cast<long>(begin), xml.begin() + static_cast<long>(end), element);
    for (; it != std::sregex_iterator(); ++it) {
        const size_t at = begin + static_cast<size_t>(it->position());
        const size_t openEnd = xml.find('>', at);
        if (xml[openEnd - 1] == '/') {
            found.push_back(xml.substr(at, openEnd + 1 - at));
            continue;
        }
        const std::string closing = "</" + tag + ">";
        const size_t close = xml.find(closing, at);
        found.push_back(xml.substr(at, close + closing.size() - at));
    }
    return found;
}

TEST(XlsxWriter, WritesEveryKindOfValue) {
    ScratchFolder folder;
    WorkbookModel wb;
    CellStyle boxed;
    boxed.border.top.style = 1;
    const uint32_t box = wb.mutableStyles().intern(boxed);
    Sheet &s = wb.appendSheet("Data");
    s.setCell(1, Cell::makeNumber(1, 1.5));
    s.setCell(1, Cell::makeString(2, text(wb, "caf\xC3\xA9 <&>")));
    s.setCell(1, Cell::makeBoolean(3, true));
    s.setCell(1, Cell::makeError(4, CellError::NA));
    s.setCell(1, Cell::makeEmpty(5, box));
    s.setCell(2, Cell::makeNumber(1, std::numeric_limits<double>::quiet_NaN()));
    const std::string path = save(wb, folder);
    const std::string xml = sheetXml(path);

    EXPECT_NE(cellXml(xml, "A1").find("<v>1.5</v>"), std::string::npos) << xml;
    const std::string b1 = cellXml(xml, "B1");
    EXPECT_EQ(attribute(b1, "t"), "inlineStr");
    EXPECT_NE(b1.find("<t>caf\xC3\xA9 &lt;&amp;&gt;</t>"), std::string::npos) << b1;
    const std::string c1 = cellXml(xml, "C1");
    EXPECT_EQ(attribute(c1, "t"), "b");
    EXPECT_NE(c1.find("<v>1</v>"), std::string::npos);
    const std::string d1 = cellXml(xml, "D1");
    EXPECT_NE(d1.find("<f>#N/A</f>"), std::string::npos) << d1;
    EXPECT_NE(d1.find("<v>#N/A</v>"), std::string::npos) << d1;
    const std::string e1 = cellXml(xml, "E1");
    ASSERT_FALSE(e1.empty());
    EXPECT_NE(attribute(e1, "s"), "");
    EXPECT_EQ(e1.find("<v>"), std::string::npos);
    // A number the file cannot hold is stored as the error the applications give for it.
    EXPECT_NE(cellXml(xml, "A2").find("#NUM!"), std::string::npos) << cellXml(xml, "A2");
    EXPECT_EQ(xml.find("nan"), std::string::npos);
}

TEST(XlsxWriter, SharesOneFileFormatPerDistinctStyle) {
    ScratchFolder folder;
    WorkbookModel wb;
    CellStyle bold;
    bold.font.bold = true;
    CellStyle money;
    money.numberFormat = "#,##0.00";
    // Readers append without merging, so equal styles may sit under several indexes.
    const uint32_t bold1 = wb.mutableStyles().append(bold);
    const uint32_t bold2 = wb.mutableStyles().append(bold);
    const uint32_t cash = wb.mutableStyles().append(money);
    Sheet &s = wb.appendSheet("S");
    for (uint32_t r = 1; r <= 300; ++r) {
        s.setCell(r, Cell::makeNumber(1, r, r % 2 ? bold1 : bold2));
        s.setCell(r, Cell::makeNumber(2, r, cash));
    }
    const std::string path = save(wb, folder);
    const std::string styles = zipEntry(path, "xl/styles.xml");
    EXPECT_EQ(attribute(styles.substr(styles.find("<cellXfs")), "count"), "3") << styles;
    const std::string xml = sheetXml(path);
    std::set<std::string> used;
    const std::regex cellStyle("<c r=\"[A-Z]+[0-9]+\" s=\"([0-9]+)\"");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), cellStyle); it != std::sregex_iterator(); ++it)
        used.insert((*it)[1].str());
    EXPECT_EQ(used, (std::set<std::string>{"1", "2"}));
    EXPECT_EQ(attribute(cellXml(xml, "A1"), "s"), attribute(cellXml(xml, "A2"), "s"));
}

TEST(XlsxWriter, PlainCellsInFormattedRowsAndColumnsKeepTheDefaultFormat) {
    ScratchFolder folder;
    WorkbookModel wb;
    CellStyle shaded;
    shaded.fill.pattern = 1;
    shaded.fill.foreground = rgb(0xC0C0C0);
    const uint32_t shade = wb.mutableStyles().intern(shaded);
    Sheet &s = wb.appendSheet("S");
    ColumnInfo column;
    column.first = column.last = 2;
    column.style = shade;
    s.columns = {column};
    s.setCell(1, Cell::makeNumber(1, 1));         // plain, plain row and column
    s.setCell(1, Cell::makeNumber(2, 2));         // plain, in the shaded column
    s.setCell(2, Cell::makeNumber(1, 3));         // plain, in the shaded row
    s.setCell(2, Cell::makeNumber(3, 4, shade));  // shaded itself
    s.rowForWrite(2).style = shade;
    const std::string path = save(wb, folder);
    const std::string xml = sheetXml(path);
    const auto xfs = elements(zipEntry(path, "xl/styles.xml"), "cellXfs", "xf");
    auto fillOf = [&](const std::string &ref) {
        const std::string styleIndex = attribute(cellXml(xml, ref), "s");
        return attribute(xfs.at(styleIndex.empty() ? 0 : std::stoul(styleIndex)), "fillId");
    };
    EXPECT_EQ(fillOf("A1"), "0");
    EXPECT_EQ(fillOf("B1"), "0") << cellXml(xml, "B1");
    EXPECT_EQ(fillOf("A2"), "0") << cellXml(xml, "A2");
    EXPECT_NE(fillOf("C2"), "0");
}

TEST(XlsxWriter, WritesFontFillBorderAlignmentAndNumberFormat) {
    ScratchFolder folder;
    WorkbookModel wb;
    CellStyle st;
    st.numberFormat = "0.000";
    st.font.name = "Arial";
    st.font.size = 14;
    st.font.italic = true;
    st.font.color = rgb(0x000000);  // black, not automatic
    st.fill.pattern = 1;
    st.fill.foreground = rgb(0xFFFF00);
    st.fill.background = rgb(0x00FF00);
    st.border.left = {2, rgb(0xFF0000)};
    st.border.bottom = {6, automation::model::kAutoColor};
    st.alignment.horizontal = HorizontalAlignment::Center;
    st.alignment.vertical = VerticalAlignment::Top;
    st.alignment.rotation = 135;
    st.alignment.wrap = true;
    st.locked = false;
    const uint32_t index = wb.mutableStyles().intern(st);
    wb.appendSheet("S").setCell(1, Cell::makeNumber(1, 2, index));
    const std::string path = save(wb, folder);
    const std::string styles = zipEntry(path, "xl/styles.xml");
    const auto xfs = elements(styles, "cellXfs", "xf");
    const std::string xf = xfs.at(std::stoul(attribute(cellXml(sheetXml(path), "A1"), "s")));

    EXPECT_NE(styles.find("formatCode=\"0.000\""), std::string::npos);
    const auto fonts = elements(styles, "fonts", "font");
    const std::string font = fonts.at(std::stoul(attribute(xf, "fontId")));
    EXPECT_NE(font.find("<i/>"), std::string::npos) << font;
    EXPECT_NE(font.find("<sz val=\"14\"/>"), std::string::npos) << font;
    EXPECT_NE(font.find("<name val=\"Arial\"/>"), std::string::npos) << font;
    EXPECT_NE(font.find("rgb=\"FF000000\""), std::string::npos) << font;

    const auto fills = elements(styles, "fills", "fill");
    const std::string fill = fills.at(std::stoul(attribute(xf, "fillId")));
    EXPECT_NE(fill.find("patternType=\"solid\""), std::string::npos) << fill;
    EXPECT_NE(fill.find("<fgColor rgb=\"FFFFFF00\"/>"), std::string::npos) << fill;
    EXPECT_NE(fill.find("<bgColor rgb=\"FF00FF00\"/>"), std::string::npos) << fill;

    const auto borders = elements(styles, "borders", "border");
    const std::string border = borders.at(std::stoul(attribute(xf, "borderId")));
    EXPECT_NE(border.find("<left style=\"medium\"><color rgb=\"FFFF0000\"/>"), std::string::npos) << border;
    EXPECT_NE(border.find("<bottom style=\"double\">"), std::string::npos) << border;

    EXPECT_NE(xf.find("horizontal=\"center\""), std::string::npos) << xf;
    EXPECT_NE(xf.find("vertical=\"top\""), std::string::npos) << xf;
    EXPECT_NE(xf.find("textRotation=\"135\""), std::string::npos) << xf;
    EXPECT_NE(xf.find("wrapText=\"1\""), std::string::npos) << xf;
    EXPECT_NE(xf.find("locked=\"0\""), std::string::npos) << xf;
}

TEST(XlsxWriter, BuiltInFormatsAreWrittenAsTheirIds) {
    ScratchFolder folder;
    WorkbookModel wb;
    CellStyle shortDate;  // built-in 14 as an .xls file spells it
    shortDate.numberFormat = "m/d/yyyy";
    shortDate.builtinFormatId = 14;
    CellStyle ownDate;  // the same code, of the file's own
    ownDate.numberFormat = "m/d/yyyy";
    CellStyle yuan;
    yuan.numberFormat = "\"\xC2\xA5\"#,##0;\"\xC2\xA5\"\\-#,##0";
    yuan.builtinFormatId = 5;
    Sheet &s = wb.appendSheet("S");
    s.setCell(1, Cell::makeNumber(1, 45000, wb.mutableStyles().intern(shortDate)));
    s.setCell(1, Cell::makeNumber(2, 45000, wb.mutableStyles().intern(ownDate)));
    s.setCell(1, Cell::makeNumber(3, 12, wb.mutableStyles().intern(yuan)));
    const std::string path = save(wb, folder);
    const std::string styles = zipEntry(path, "xl/styles.xml");
    const auto xfs = elements(styles, "cellXfs", "xf");
    const auto formatOf = [&](const std::string &ref) {
        return attribute(xfs.at(std::stoul(attribute(cellXml(sheetXml(path), ref), "s"))), "numFmtId");
    };
    EXPECT_EQ(formatOf("A1"), "14");
    EXPECT_EQ(formatOf("C1"), "5");
    const std::string own = formatOf("B1");
    EXPECT_GE(std::stoul(own), 164u);
    const auto custom = elements(styles, "numFmts", "numFmt");
    ASSERT_EQ(custom.size(), 1u) << styles;
    EXPECT_EQ(attribute(custom[0], "numFmtId"), own);
    EXPECT_EQ(attribute(custom[0], "formatCode"), "m/d/yyyy");
}

// Past the formats the applications load, a further format takes the closest
// one written: the same number format first, then the same font.
TEST(XlsxWriter, StaysWithinTheFormatLimitsTheApplicationsLoad) {
    using automation::writers::StylesPart;
    ScratchFolder folder;
    WorkbookModel wb;
    Sheet &s = wb.appendSheet("S");
    uint32_t row = 0;
    const auto put = [&](const CellStyle &style) {
        ++row;
        s.setCell(row, Cell::makeNumber(1, row, wb.mutableStyles().intern(style)));
    };
    CellStyle thousandthsBold;
    thousandthsBold.numberFormat = "0.000";
    thousandthsBold.font.bold = true;
    thousandthsBold.fill = {1, rgb(0x123456), automation::model::kAutoColor, {}};
    put(thousandthsBold);
    for (uint32_t i = 0; i < StylesPart::kMaxCellFormats + 50; ++i) {
        CellStyle filled;
        filled.fill = {1, rgb(i), automation::model::kAutoColor, {}};
        if (i < StylesPart::kMaxCustomNumberFormats + 20) filled.numberFormat = "0.0\"" + std::to_string(i) + "\"";
        put(filled);
    }
    CellStyle late = thousandthsBold;  // a new fill, the rest as the first format
    late.fill.foreground = rgb(0xABCDEF);
    put(late);
    CellStyle lateItalic = late;  // the number format only
    lateItalic.font.bold = false;
    lateItalic.font.italic = true;
    put(lateItalic);

    const std::string path = folder.file("many.xlsx");
    const auto result = writeXlsx(wb, path);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.formatsSimplified);
    EXPECT_EQ(schemacheck::joined(schemacheck::packageProblems(path)), "");
    const std::string styles = zipEntry(path, "xl/styles.xml");
    const auto xfs = elements(styles, "cellXfs", "xf");
    EXPECT_EQ(xfs.size(), StylesPart::kMaxCellFormats);
    EXPECT_EQ(attribute(styles.substr(styles.find("<cellXfs")), "count"), std::to_string(xfs.size()));
    EXPECT_EQ(elements(styles, "numFmts", "numFmt").size(), StylesPart::kMaxCustomNumberFormats);
    const std::string xml = sheetXml(path);
    const auto formatOf = [&](uint32_t r) { return attribute(cellXml(xml, "A" + std::to_string(r)), "s"); };
    EXPECT_EQ(formatOf(row - 1), formatOf(1));
    const std::string italic = xfs.at(std::stoul(formatOf(row)));
    EXPECT_EQ(attribute(italic, "numFmtId"), attribute(xfs.at(std::stoul(formatOf(1))), "numFmtId"));
    // Every cell still refers to a format the part holds.
    const std::regex reference(" s=\"([0-9]+)\"");
    size_t highest = 0;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), reference); it != std::sregex_iterator(); ++it)
        highest = std::max<size_t>(highest, std::stoul((*it)[1].str()));
    EXPECT_LT(highest, xfs.size());

    WorkbookModel small;
    small.appendSheet("S").setCell(1, Cell::makeNumber(1, 1, small.mutableStyles().intern(thousandthsBold)));
    const auto within = writeXlsx(small, folder.file("small.xlsx"));
    ASSERT_TRUE(within.ok);
    EXPECT_FALSE(within.formatsSimplified);
}

TEST(XlsxWriter, GradientFillsAreWrittenAsGradients) {
    ScratchFolder folder;
    WorkbookModel wb;
    CellStyle linear;
    linear.fill.pattern = 1;
    linear.fill.foreground = rgb(0xFF0000);
    linear.fill.gradient.degree = 45;
    linear.fill.gradient.stops = {{0, rgb(0xFF0000)}, {1, rgb(0x0000FF)}};
    CellStyle path;
    path.fill.gradient.path = true;
    path.fill.gradient.left = path.fill.gradient.top = 0.25;
    path.fill.gradient.right = 7;  // out of range: the nearest edge
    path.fill.gradient.stops = {{0, automation::model::kAutoColor}, {2, rgb(0x00FF00)}};
    Sheet &s = wb.appendSheet("S");
    s.setCell(1, Cell::makeNumber(1, 1, wb.mutableStyles().intern(linear)));
    s.setCell(1, Cell::makeNumber(2, 2, wb.mutableStyles().intern(path)));
    const std::string file = save(wb, folder);
    const std::string styles = zipEntry(file, "xl/styles.xml");
    const auto xfs = elements(styles, "cellXfs", "xf");
    const auto fills = elements(styles, "fills", "fill");
    const auto fillOf = [&](const std::string &ref) {
        return fills.at(
            std::stoul(attribute(xfs.at(std::stoul(attribute(cellXml(sheetXml(file), ref), "s"))), "fillId")));
    };
    EXPECT_EQ(fillOf("A1"),
              "<fill><gradientFill degree=\"45\"><stop position=\"0\"><color rgb=\"FFFF0000\"/></stop>"
              "<stop position=\"1\"><color rgb=\"FF0000FF\"/></stop></gradientFill></fill>");
    EXPECT_EQ(fillOf("B1"),
              "<fill><gradientFill type=\"path\" left=\"0.25\" right=\"1\" top=\"0.25\">"
              "<stop position=\"0\"><color auto=\"1\"/></stop>"
              "<stop position=\"1\"><color rgb=\"FF00FF00\"/></stop></gradientFill></fill>");
}

TEST(XlsxWriter, LeavesOutFormatFieldsTheFormatCannotHold) {
    ScratchFolder folder;
    WorkbookModel wb;
    CellStyle odd;
    odd.numberFormat = std::string(256, '0');  // the applications hold 255 characters
    odd.font.name = std::string(150, 'F');
    odd.font.bold = true;
    const uint32_t index = wb.mutableStyles().intern(odd);
    wb.appendSheet("S").setCell(1, Cell::makeNumber(1, 5, index));
    const std::string path = save(wb, folder);
    const std::string styles = zipEntry(path, "xl/styles.xml");
    EXPECT_EQ(styles.find("formatCode"), std::string::npos) << styles;
    EXPECT_EQ(styles.find("FFFF"), std::string::npos);
    const auto xfs = elements(styles, "cellXfs", "xf");
    const std::string xf = xfs.at(std::stoul(attribute(cellXml(sheetXml(path), "A1"), "s")));
    EXPECT_EQ(attribute(xf, "numFmtId"), "0");
    EXPECT_NE(elements(styles, "fonts", "font").at(std::stoul(attribute(xf, "fontId"))).find("<b/>"),
              std::string::npos);
}

TEST(XlsxWriter, KeepsAFormatCodeOfTheLongestLengthWhole) {
    ScratchFolder folder;
    WorkbookModel wb;
    CellStyle longest;
    longest.numberFormat = "\"" + std::string(251, 'x') + "\"0";  // 254 characters
    longest.numberFormat += "\xE4\xB8\xAD";                       // and a wide one: 255
    wb.appendSheet("S").setCell(1, Cell::makeNumber(1, 5, wb.mutableStyles().intern(longest)));
    const std::string path = save(wb, folder);
    const auto formats = elements(zipEntry(path, "xl/styles.xml"), "numFmts", "numFmt");
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(attribute(formats[0], "formatCode"), "&quot;" + std::string(251, 'x') + "&quot;0\xE4\xB8\xAD");
}

TEST(XlsxWriter, WritesMergesWithTheTopLeftValueAndKeepsNeighbours) {
    ScratchFolder folder;
    WorkbookModel wb;
    CellStyle framed;
    framed.border.right.style = 1;
    const uint32_t frame = wb.mutableStyles().intern(framed);
    Sheet &s = wb.appendSheet("S");
    s.setCell(1, Cell::makeString(1, text(wb, "title")));
    s.setCell(1, Cell::makeEmpty(3, frame));
    s.merges = {CellArea{1, 1, 2, 3}, CellArea{2, 3, 3, 4} /* overlaps the first */, CellArea{5, 1, 5, 1},
                CellArea{4, 1, 4, 2}};
    const std::string xml = sheetXml(save(wb, folder));
    const auto merges = elements(xml, "mergeCells", "mergeCell");
    std::vector<std::string> refs;
    for (const auto &m : merges) refs.push_back(attribute(m, "ref"));
    EXPECT_EQ(refs, (std::vector<std::string>{"A1:C2", "A4:B4"}));
    EXPECT_EQ(attribute(cellXml(xml, "A1"), "t"), "inlineStr");
    EXPECT_NE(attribute(cellXml(xml, "C1"), "s"), "");
    // The other cells of the area stay as the model has them: absent.
    EXPECT_EQ(cellXml(xml, "B1"), "");
    EXPECT_EQ(cellXml(xml, "A2"), "");
}

TEST(XlsxWriter, WritesColumnWidthsRowHeightsAndHiddenRowsAndColumns) {
    ScratchFolder folder;
    WorkbookModel wb;
    Sheet &s = wb.appendSheet("S");
    ColumnInfo wide;
    wide.first = 2;
    wide.last = 3;
    wide.width = 20;
    ColumnInfo hidden;
    hidden.first = 5;
    hidden.last = 5;
    hidden.hidden = true;
    s.columns = {wide, hidden};
    s.setCell(1, Cell::makeNumber(1, 1));
    s.rowForWrite(1).height = 30;
    s.setCell(3, Cell::makeNumber(1, 3));
    s.rowForWrite(3).hidden = true;
    const std::string xml = sheetXml(save(wb, folder));
    const auto cols = elements(xml, "cols", "col");
    ASSERT_EQ(cols.size(), 2u) << xml;
    EXPECT_EQ(attribute(cols[0], "min"), "2");
    EXPECT_EQ(attribute(cols[0], "max"), "3");
    // The model holds the width as files store it, padding included.
    EXPECT_NEAR(std::stod(attribute(cols[0], "width")), 20.0, 1.0 / 256);
    EXPECT_EQ(attribute(cols[1], "min"), "5");
    EXPECT_EQ(attribute(cols[1], "hidden"), "1");
    const auto rows = elements(xml, "sheetData", "row");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(attribute(rows[0], "ht"), "30");
    EXPECT_EQ(attribute(rows[0], "customHeight"), "1");
    EXPECT_EQ(attribute(rows[1], "hidden"), "1");
}

TEST(XlsxWriter, WritesEverySheetWithAValidUniqueName) {
    ScratchFolder folder;
    WorkbookModel wb;
    wb.appendSheet("Q1/Q2: [draft]");
    wb.appendSheet("q1_q2_ _draft_");
    wb.appendSheet(std::string(40, 'n'));
    wb.appendSheet("");
    wb.appendSheet("secret").hidden = true;
    const std::string path = save(wb, folder);
    const std::string book = zipEntry(path, "xl/workbook.xml");
    const auto sheets = elements(book, "sheets", "sheet");
    std::vector<std::string> names;
    for (const auto &s : sheets) names.push_back(attribute(s, "name"));
    EXPECT_EQ(names, (std::vector<std::string>{"Q1_Q2_ _draft_", "q1_q2_ _draft_ (2)", std::string(31, 'n'), "Sheet4",
                                               "secret"}));
    EXPECT_EQ(attribute(sheets[4], "state"), "hidden");
    EXPECT_FALSE(sheetXml(path, 5).empty());
}

// An attribute cannot carry control characters, U+FFFE or U+FFFF in any
// form: a sheet name takes "_" for them (before names are made unique), a
// number format code or font name goes without them.
TEST(XlsxWriter, AttributesHoldOnlyCharactersXmlCarries) {
    ScratchFolder folder;
    WorkbookModel wb;
    Sheet &first = wb.appendSheet(
        "a\x01"
        "b");
    wb.appendSheet("a_b");
    wb.appendSheet(
        "x\xEF\xBF\xBF"
        "y\xEF\xBF\xBE");
    CellStyle style;
    style.numberFormat = "0.0\xEF\xBF\xBF\x02";
    style.font.name =
        "Ari\x03"
        "al";
    first.setCell(1, Cell::makeNumber(1, 1, wb.mutableStyles().intern(style)));
    const std::string path = save(wb, folder);  // validates every part
    std::vector<std::string> names;
    for (const auto &s : elements(zipEntry(path, "xl/workbook.xml"), "sheets", "sheet"))
        names.push_back(attribute(s, "name"));
    EXPECT_EQ(names, (std::vector<std::string>{"a_b", "a_b (2)", "x_y_"}));
    const std::string styles = zipEntry(path, "xl/styles.xml");
    EXPECT_NE(styles.find("formatCode=\"0.0\""), std::string::npos) << styles;
    EXPECT_NE(styles.find("<name val=\"Arial\"/>"), std::string::npos) << styles;
}

TEST(XlsxWriter, AHiddenFirstSheetLeavesAnotherOneActive) {
    ScratchFolder folder;
    WorkbookModel wb;
    wb.appendSheet("hidden").hidden = true;
    wb.appendSheet("shown");
    const std::string path = save(wb, folder);
    const std::string book = zipEntry(path, "xl/workbook.xml");
    EXPECT_EQ(attribute(elements(book, "sheets", "sheet")[0], "state"), "hidden");
    EXPECT_NE(book.find("activeTab=\"1\""), std::string::npos) << book;
    EXPECT_NE(sheetXml(path, 2).find("tabSelected=\"1\""), std::string::npos);
    EXPECT_EQ(sheetXml(path, 1).find("tabSelected=\"1\""), std::string::npos);
}

TEST(XlsxWriter, CutsTextsAtTheFormatLimitWithoutSplittingACharacter) {
    struct Case {
        const char *label;
        std::string value;
        std::string kept;
    };
    const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
    const Case cases[] = {
        {"ascii", std::string(40000, 'a'), std::string(32767, 'a')},
        {"exact limit", std::string(32767, 'b'), std::string(32767, 'b')},
        {"pair across the limit", std::string(32766, 'c') + emoji + "tail", std::string(32766, 'c')},
        {"pair within the limit", std::string(32765, 'd') + emoji + "tail", std::string(32765, 'd') + emoji},
        {"wide characters",
         [] {
             std::string s;
             for (int i = 0; i < 33000; ++i) s += "\xE4\xB8\xAD";
             return s;
         }(),
         [] {
             std::string s;
             for (int i = 0; i < 32767; ++i) s += "\xE4\xB8\xAD";
             return s;
         }()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        ScratchFolder folder;
        WorkbookModel wb;
        wb.appendSheet("S").setCell(1, Cell::makeString(1, text(wb, c.value)));
        const std::string cell = cellXml(sheetXml(save(wb, folder)), "A1");
        EXPECT_NE(cell.find("<t>" + c.kept + "</t>"), std::string::npos);
    }
}

TEST(XlsxWriter, RefusesSheetsLargerThanTheFormat) {
    struct Case {
        const char *label;
        uint32_t row, column;
        const char *reasonPart;
    };
    const Case cases[] = {
        {"one row too many", 1048577, 1, "rows"},
        {"one column too many", 1, 16385, "columns"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        ScratchFolder folder;
        WorkbookModel wb;
        wb.appendSheet("fine").setCell(1048576, Cell::makeNumber(16384, 1));
        wb.appendSheet("big").setCell(c.row, Cell::makeNumber(c.column, 1));
        const std::string target = folder.file("big.xlsx");
        writertest::writeAll(target, "previous");
        const auto result = writeXlsx(wb, target);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(c.reasonPart), std::string::npos) << result.error;
        EXPECT_NE(result.error.find("big"), std::string::npos) << result.error;
        EXPECT_EQ(writertest::readAll(target), "previous");
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"big.xlsx"});
    }
}

TEST(XlsxWriter, TheLastRowAndColumnOfTheFormatAreWritten) {
    ScratchFolder folder;
    WorkbookModel wb;
    wb.appendSheet("S").setCell(1048576, Cell::makeNumber(16384, 7));
    EXPECT_NE(cellXml(sheetXml(save(wb, folder)), "XFD1048576").find("<v>7</v>"), std::string::npos);
}

TEST(XlsxWriter, ReplacesTheTargetOrLeavesItUntouched) {
    ScratchFolder folder;
    WorkbookModel wb;
    wb.appendSheet("S").setCell(1, Cell::makeString(1, text(wb, "new")));
    const std::string target = folder.file("r.xlsx");
    writertest::writeAll(target, "old bytes");
    save(wb, folder, "r.xlsx");
    EXPECT_NE(sheetXml(target).find(">new<"), std::string::npos);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"r.xlsx"});

    const auto failed = writeXlsx(wb, folder.file("missing/r.xlsx"));
    EXPECT_FALSE(failed.ok);
    EXPECT_NE(failed.error.find("does not exist"), std::string::npos) << failed.error;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"r.xlsx"});
}

}  // namespace
