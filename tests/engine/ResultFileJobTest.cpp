// SPDX-License-Identifier: Apache-2.0
// Whole jobs whose result files must open in the strict spreadsheet
// applications without a repair: every part validates against the published
// schemas, the application's limits hold, and openpyxl, a reader sharing no
// code with ours, reads back the sources' values and number formats.
#include "OpenpyxlDump.h"
#include "SchemaValidation.h"
#include "WorkbookFiles.h"
#include "automation/Automation.h"
#include "automation/model/WorkbookModel.h"
#include "automation/readers/ReaderTestFiles.h"
#include "automation/writers/StylesPart.h"
#include "automation/writers/WriterTestSupport.h"
#include "automation/writers/Writers.h"
#include "engine/JobFolders.h"
#include "engine/JobRunner.h"
#include "engine/JobText.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <regex>

namespace {

using automation::model::Cell;
using automation::model::CellStyle;
using automation::model::WorkbookModel;
using automation::writers::StylesPart;
using openpyxldump::Dump;
using openpyxldump::Fields;
using writertest::zipEntry;

size_t countOf(const std::string &xml, const std::string &element) {
    size_t n = 0;
    for (size_t at = xml.find("<" + element + " "); at != std::string::npos; at = xml.find("<" + element + " ", at + 1))
        ++n;
    return n;
}

class ResultFileJobTest : public JobFolders {
protected:
    std::string src(const std::string &name) const { return source.path().toStdString() + "/" + name; }
    std::string out(const std::string &name) const { return dest.path().toStdString() + "/" + name; }

    // The result's cells as openpyxl reads them, after the schema check; an
    // empty map, with the test skipped, when openpyxl is not installed.
    std::map<std::string, Fields> checkedCells(const std::string &result) {
        EXPECT_EQ(schemacheck::joined(schemacheck::packageProblems(result)), "");
        const std::string styles = zipEntry(result, "xl/styles.xml");
        EXPECT_LE(countOf(styles.substr(std::min(styles.size(), styles.find("<cellXfs"))), "xf"),
                  StylesPart::kMaxCellFormats);
        EXPECT_LE(countOf(styles, "numFmt"), StylesPart::kMaxCustomNumberFormats);
        const Dump dump = openpyxldump::dump(result);
        if (dump.outcome == Dump::Outcome::NoPython || dump.outcome == Dump::Outcome::NoOpenpyxl) {
            skipped = dump.output;
            return {};
        }
        EXPECT_EQ(dump.outcome, Dump::Outcome::Ran)
            << dump.output.substr(std::max<size_t>(dump.output.size(), 3000) - 3000);
        for (const std::string &warning : openpyxldump::warnings(dump)) ADD_FAILURE() << "openpyxl:" << warning;
        return openpyxldump::cells(dump);
    }

    std::string skipped;
};

// Cell texts holding characters XML cannot carry: U+FFFE and U+FFFF as a CSV
// gives them, NUL and U+FFFF as an .xlsx stores them (_x0000_, _xFFFF_).
TEST_F(ResultFileJobTest, TextsXmlCannotCarryReachTheResultWhole) {
    const std::string csvTexts[] = {
        "a\xEF\xBF\xBF"
        "b",
        "c\xEF\xBF\xBE"
        "d",
        "ctl\x01x\x1F", "_x0041_ literal"};
    std::string csv;
    for (size_t i = 0; i < std::size(csvTexts); ++i) csv += "key" + std::to_string(i) + "," + csvTexts[i] + "\r\n";
    ASSERT_TRUE(readertest::writeBytes(src("texts.csv"), csv));
    readertest::HandPackage package;
    package.sharedStrings = "<si><t>key9</t></si><si><t>before _x0000_ after</t></si><si><t>x_xFFFF_y</t></si>";
    package.sheets.push_back({"S",
                              "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                              "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"inlineStr\"><is><t>in_x0000_line</t>"
                              "</is></c></row></sheetData>"});
    ASSERT_TRUE(readertest::writeHandPackage(src("texts.xlsx"), package));
    options.findText = "key";

    const JobRun run = runJob(options);
    ASSERT_EQ(run.endSignals, 1);
    const auto cells = checkedCells(out("key.xlsx"));
    if (!skipped.empty()) GTEST_SKIP() << skipped;
    std::multiset<std::string> texts;
    for (const auto &[ref, fields] : cells)
        if (ref.find("!A") == std::string::npos) texts.insert(fields.at("value"));
    std::multiset<std::string> expected(std::begin(csvTexts), std::end(csvTexts));
    expected.insert(std::string("before \0 after", 14));
    expected.insert("x\xEF\xBF\xBFy");
    expected.insert(std::string("in\0line", 7));
    EXPECT_EQ(texts, expected);
}

// Built-in formats keep their id, so the result follows the regional settings
// of whoever opens it as the source did; a format of the source's own keeps its code.
TEST_F(ResultFileJobTest, BuiltInNumberFormatsStayBuiltIn) {
    readertest::HandPackage package;
    package.styles =
        "<numFmts count=\"1\"><numFmt numFmtId=\"170\" formatCode=\"0.0&quot;kg&quot;\"/></numFmts>"
        "<cellXfs count=\"4\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"22\"/>"
        "<xf numFmtId=\"170\"/></cellXfs>";
    package.sheets.push_back({"S",
                              "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>row</t></is></c>"
                              "<c r=\"B1\" s=\"1\"><v>43968</v></c><c r=\"C1\" s=\"2\"><v>43968.5</v></c>"
                              "<c r=\"D1\" s=\"3\"><v>12.5</v></c></row></sheetData>"});
    ASSERT_TRUE(readertest::writeHandPackage(src("dates.xlsx"), package));
    options.findText = "row";

    runJob(options);
    const auto cells = checkedCells(out("row.xlsx"));
    if (!skipped.empty()) GTEST_SKIP() << skipped;
    const auto field = [&cells](const std::string &ref, const std::string &key) {
        return cells.count(ref) ? cells.at(ref).at(key) : std::string("missing");
    };
    EXPECT_EQ(field("Sheet1!B1", "numfmtid"), "14");
    EXPECT_EQ(field("Sheet1!B1", "value"), "2020-05-17T00:00:00");
    EXPECT_EQ(field("Sheet1!C1", "numfmtid"), "22");
    EXPECT_EQ(field("Sheet1!C1", "value"), "2020-05-17T12:00:00");
    EXPECT_EQ(field("Sheet1!D1", "numfmt"), "0.0\"kg\"");
    EXPECT_EQ(field("Sheet1!D1", "value"), "12.5");
}

// From an .xls source too: a BIFF format index below the custom ones is built in.
TEST_F(ResultFileJobTest, BuiltInFormatsOfAnXlsSourceStayBuiltIn) {
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(ROWSIFTER_FIXTURES "/xls/formats.xls"), QString::fromStdString(src("formats.xls"))));
    options.findText = QStringLiteral("张三");

    runJob(options);
    const auto cells = checkedCells(out("张三.xlsx"));
    if (!skipped.empty()) GTEST_SKIP() << skipped;
    ASSERT_TRUE(cells.count("Sheet1!C1") && cells.count("Sheet1!D1"));
    EXPECT_EQ(cells.at("Sheet1!C1").at("value"), "1234.5");
    EXPECT_EQ(cells.at("Sheet1!C1").at("numfmtid"), "4");
    EXPECT_EQ(cells.at("Sheet1!D1").at("value"), "2024-01-15T00:00:00");
}

// A source in the 1904 date system: its dates keep their day in a result of
// the 1900 system, and what does not show a day keeps its number.
TEST_F(ResultFileJobTest, DatesOfA1904SourceKeepTheirDayInA1900Result) {
    readertest::HandPackage package;
    package.workbookPrAttributes = "date1904=\"1\"";
    package.styles =
        "<numFmts count=\"2\"><numFmt numFmtId=\"170\" formatCode=\"yyyy-mm-dd hh:mm\"/>"
        "<numFmt numFmtId=\"171\" formatCode=\"[h]:mm\"/></numFmts>"
        "<cellXfs count=\"6\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"170\"/>"
        "<xf numFmtId=\"20\"/><xf numFmtId=\"171\"/><xf numFmtId=\"2\"/></cellXfs>";
    // 42506 is 2020-05-17 in the 1904 system (43968 in the 1900 system).
    package.sheets.push_back({"S",
                              "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>row</t></is></c>"
                              "<c r=\"B1\" s=\"1\"><v>42506</v></c><c r=\"C1\" s=\"2\"><v>42506.75</v></c>"
                              "<c r=\"D1\" s=\"3\"><v>0.5</v></c><c r=\"E1\" s=\"4\"><v>1.5</v></c>"
                              "<c r=\"F1\" s=\"5\"><v>42506</v></c></row></sheetData>"});
    ASSERT_TRUE(readertest::writeHandPackage(src("mac.xlsx"), package));
    options.findText = "row";

    const JobRun run = runJob(options);
    ASSERT_EQ(run.endSignals, 1);
    EXPECT_EQ(zipEntry(out("row.xlsx"), "xl/workbook.xml").find("date1904"), std::string::npos)
        << "without a template the result counts days as the 1900 system does";
    const auto cells = checkedCells(out("row.xlsx"));
    if (!skipped.empty()) GTEST_SKIP() << skipped;
    const auto value = [&cells](const std::string &ref) {
        return cells.count("Sheet1!" + ref) ? cells.at("Sheet1!" + ref).at("value") : std::string("missing");
    };
    EXPECT_EQ(value("B1"), "2020-05-17T00:00:00");
    EXPECT_EQ(value("C1"), "2020-05-17T18:00:00");
    EXPECT_EQ(value("D1"), "12:00:00") << "a time of day names no day";
    EXPECT_EQ(value("E1"), "1 day, 12:00:00") << "a duration names no day";
    EXPECT_EQ(value("F1"), "42506") << "a number that does not show a date keeps its value";
}

// A header template in the 1904 date system makes the result count days that
// way: rows of an ordinary workbook keep their days, and a day before 1904,
// which that system cannot show, keeps its number.
TEST_F(ResultFileJobTest, ATemplateIn1904GivesTheResultItsDateSystem) {
    readertest::HandPackage header;
    header.workbookPrAttributes = "date1904=\"1\"";
    header.styles = "<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>";
    header.sheets.push_back({"Header",
                             "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>name</t></is></c>"
                             "<c r=\"B1\" t=\"inlineStr\"><is><t>day</t></is></c></row>"
                             "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>since</t></is></c>"
                             "<c r=\"B2\" s=\"1\"><v>1</v></c></row></sheetData>"});
    const QString headerPath = dest.filePath("header/header.xlsx");
    ASSERT_TRUE(QDir(dest.path()).mkpath("header"));
    ASSERT_TRUE(readertest::writeHandPackage(headerPath.toStdString(), header));
    readertest::HandPackage package;
    package.styles = "<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>";
    package.sheets.push_back({"S",
                              "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>row</t></is></c>"
                              "<c r=\"B1\" s=\"1\"><v>43968</v></c><c r=\"C1\" s=\"1\"><v>1000</v></c>"
                              "</row></sheetData>"});
    ASSERT_TRUE(readertest::writeHandPackage(src("plain.xlsx"), package));
    options.findText = "row";
    options.useHeaderWorkbook = true;
    options.headerWorkbookPath = headerPath;

    const JobRun run = runJob(options);
    ASSERT_EQ(run.endSignals, 1);
    EXPECT_NE(zipEntry(out("row.xlsx"), "xl/workbook.xml").find("date1904=\"1\""), std::string::npos);
    const auto cells = checkedCells(out("row.xlsx"));
    if (!skipped.empty()) GTEST_SKIP() << skipped;
    const auto value = [&cells](const std::string &ref) {
        return cells.count("Header!" + ref) ? cells.at("Header!" + ref).at("value") : std::string("missing");
    };
    EXPECT_EQ(value("B2"), "1904-01-02T00:00:00") << "the template's own dates stay";
    EXPECT_EQ(value("B3"), "2020-05-17T00:00:00");
    // 1000 is 1902-09-26 in the 1900 system: kept, it is day 1000 of the 1904 system.
    EXPECT_EQ(value("C3"), "1906-09-27T00:00:00");
}

// A header template keeps what its sheet holds beyond the header's cells:
// frozen panes, the filter, validation, conditional formats and the formats
// they use, column widths and hidden columns, the tab colour, print settings
// and the workbook's names; a link to a part the result does not have is left out.
TEST_F(ResultFileJobTest, ATemplateKeepsItsSheetWhole) {
    readertest::HandPackage header;
    header.styles =
        "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border/></borders><cellXfs count=\"1\"><xf/></cellXfs>"
        "<dxfs count=\"1\"><dxf><fill><patternFill><bgColor rgb=\"FFFFC7CE\"/></patternFill></fill></dxf></dxfs>";
    header.sheets.push_back(
        {"Header",
         "<sheetPr><tabColor rgb=\"FF00B050\"/></sheetPr><dimension ref=\"A1:C1\"/>"
         "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" "
         "activePane=\"bottomLeft\" state=\"frozen\"/><selection pane=\"bottomLeft\" activeCell=\"A2\" "
         "sqref=\"A2\"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>"
         "<cols><col min=\"2\" max=\"2\" width=\"30\" customWidth=\"1\"/>"
         "<col min=\"3\" max=\"3\" width=\"12\" hidden=\"1\" customWidth=\"1\"/></cols>"
         "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>name</t></is></c>"
         "<c r=\"B1\" t=\"inlineStr\"><is><t>city</t></is></c><c r=\"C1\" t=\"inlineStr\"><is><t>code</t></is></c>"
         "</row></sheetData><autoFilter ref=\"A1:C1\"/>"
         "<conditionalFormatting sqref=\"B2:B100\"><cfRule type=\"containsText\" dxfId=\"0\" priority=\"1\" "
         "operator=\"containsText\" text=\"Paris\"><formula>NOT(ISERROR(SEARCH(\"Paris\",B2)))</formula></cfRule>"
         "</conditionalFormatting><dataValidations count=\"1\"><dataValidation type=\"list\" allowBlank=\"1\" "
         "sqref=\"C2:C100\"><formula1>\"x,y,z\"</formula1></dataValidation></dataValidations>"
         "<hyperlinks><hyperlink ref=\"A1\" location=\"Header!C1\"/>"
         "<hyperlink xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" ref=\"B1\" "
         "r:id=\"rId7\"/></hyperlinks>"
         "<pageMargins left=\"0.25\" right=\"0.25\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
         "<pageSetup xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
         "orientation=\"landscape\" r:id=\"rId9\"/><headerFooter><oddHeader>&amp;CSales</oddHeader></headerFooter>"});
    header.edit = [](std::vector<readertest::ZipMember> &members) {
        readertest::ZipMember *workbook = readertest::findMember(members, "xl/workbook.xml");
        ASSERT_NE(workbook, nullptr);
        const size_t at = workbook->second.find("</sheets>");
        ASSERT_NE(at, std::string::npos);
        workbook->second.insert(at + 9,
                                "<definedNames><definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"0\" "
                                "hidden=\"1\">Header!$A$1:$C$1</definedName><definedName name=\"_xlnm.Print_Titles\" "
                                "localSheetId=\"0\">Header!$1:$1</definedName><definedName name=\"Codes\">"
                                "Header!$C$2:$C$100</definedName><definedName name=\"Lost\" localSheetId=\"5\">"
                                "Header!$A$1</definedName></definedNames>");
    };
    const QString headerPath = dest.filePath("header/header.xlsx");
    ASSERT_TRUE(QDir(dest.path()).mkpath("header"));
    ASSERT_TRUE(readertest::writeHandPackage(headerPath.toStdString(), header));
    ASSERT_TRUE(files::writeXlsx(QString::fromStdString(src("cities.xlsx")),
                                 {{"Sheet1", {{"apple", "Paris", "x"}, {"pear", "Rome", "y"}}}}));
    options.findText = "apple";
    options.useHeaderWorkbook = true;
    options.headerWorkbookPath = headerPath;

    const JobRun run = runJob(options);
    ASSERT_EQ(run.endSignals, 1);
    const std::string sheetXml = zipEntry(out("apple.xlsx"), "xl/worksheets/sheet1.xml");
    EXPECT_EQ(sheetXml.find("rId"), std::string::npos) << "no link to a part the result lacks";
    const Dump dump = openpyxldump::dump(out("apple.xlsx"));
    const auto cells = checkedCells(out("apple.xlsx"));
    if (!skipped.empty()) GTEST_SKIP() << skipped;
    ASSERT_TRUE(cells.count("Header!A2") && cells.count("Header!B2"));
    EXPECT_EQ(cells.at("Header!A2").at("value"), "apple") << "the rows land below the header";
    EXPECT_EQ(cells.at("Header!B2").at("value"), "Paris");

    std::map<std::string, std::string> features, columns;
    std::vector<std::string> names;
    for (const openpyxldump::Record &r : dump.records) {
        if (r.size() > 2 && r[0] == "features" && r[1] == "Header") {
            for (size_t i = 2; i < r.size(); ++i) {
                const size_t eq = r[i].find('=');
                features[r[i].substr(0, eq)] = r[i].substr(eq + 1);
            }
        }
        if (r.size() > 6 && r[0] == "col" && r[1] == "Header") columns[r[2]] = r[5] + " " + r[6];
        if (r.size() > 3 && r[0] == "name") names.push_back(r[1] + " " + r[2] + " " + r[3]);
        if (r.size() > 3 && r[0] == "sheet") {
            EXPECT_EQ(r[3], "selected=True") << "one tab selected";
        }
    }
    EXPECT_EQ(features["freeze"], "A2");
    EXPECT_EQ(features["filter"], "A1:C1");
    EXPECT_EQ(features["validations"], "C2:C100:list:\"x,y,z\"");
    EXPECT_EQ(features["conditional"], "B2:B100:containsText:NOT(ISERROR(SEARCH(\"Paris\",B2))):FFFFC7CE");
    EXPECT_EQ(features["tab"], "FF00B050");
    EXPECT_EQ(features["orientation"], "landscape");
    EXPECT_EQ(features["margins"], "0.25");
    EXPECT_EQ(features["header"], "Sales");
    EXPECT_EQ(features["printrows"], "$1:$1");
    EXPECT_EQ(columns["B"], "width=30.0 hidden=False");
    EXPECT_EQ(columns["C"], "width=12.0 hidden=True");
    EXPECT_EQ(names, (std::vector<std::string>{"Codes - Header!$C$2:$C$100"}));
    EXPECT_NE(sheetXml.find("location=\"Header!C1\""), std::string::npos) << "a link within the workbook stays";
}

// A gradient fill of a found row arrives as that gradient, not as a solid colour.
TEST_F(ResultFileJobTest, GradientFillsArriveAsGradients) {
    readertest::HandPackage package;
    package.styles =
        "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill>"
        "<fill><gradientFill degree=\"90\"><stop position=\"0\"><color rgb=\"FFFF0000\"/></stop>"
        "<stop position=\"1\"><color rgb=\"FF0000FF\"/></stop></gradientFill></fill></fills>"
        "<cellXfs count=\"2\"><xf/><xf fillId=\"2\" applyFill=\"1\"/></cellXfs>";
    package.sheets.push_back({"S",
                              "<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\" t=\"inlineStr\"><is><t>shaded</t></is>"
                              "</c></row></sheetData>"});
    ASSERT_TRUE(readertest::writeHandPackage(src("gradient.xlsx"), package));
    options.findText = "shaded";

    runJob(options);
    const auto cells = checkedCells(out("shaded.xlsx"));
    if (!skipped.empty()) GTEST_SKIP() << skipped;
    ASSERT_TRUE(cells.count("Sheet1!A1"));
    EXPECT_EQ(cells.at("Sheet1!A1").at("gradient"), "linear:90.0:0.0=FFFF0000,1.0=FF0000FF");
}

// Two sources, each within the application's limits, whose union is not: the
// result holds at most the formats the application loads, every value, and the
// job says once that formats were simplified.
TEST_F(ResultFileJobTest, TheUnionOfManyFormatsStaysWithinTheLimits) {
    constexpr uint32_t kRowsPerSource = 33000;
    constexpr uint32_t kCodesPerSource = 110;
    for (const char *name : {"a", "b"}) {
        WorkbookModel book;
        automation::model::Sheet &sheet = book.appendSheet("Sheet1");
        for (uint32_t r = 1; r <= kRowsPerSource; ++r) {
            CellStyle style;
            style.fill = {1, automation::model::rgb((name[0] == 'a' ? 0 : 0x800000) + r), 0, {}};
            if (r <= kCodesPerSource) style.numberFormat = "0.00\"" + std::string(name) + std::to_string(r) + "\"";
            sheet.setCell(r, Cell::makeString(1, book.mutableStrings().intern(std::string("hit ") + name)));
            sheet.setCell(r, Cell::makeNumber(2, r + 0.25, book.mutableStyles().intern(style)));
        }
        const auto written = automation::writers::writeXlsx(book, src(std::string(name) + ".xlsx"));
        ASSERT_TRUE(written.ok) << written.error;
        ASSERT_FALSE(written.formatsSimplified);
    }
    options.findText = "hit";

    const JobRun run = runJob(options);
    const int simplified = static_cast<int>(run.texts.count(engine::text::kFormatsSimplified));
    EXPECT_EQ(simplified, 1) << run.texts.join("\n").toStdString();
    const int at = static_cast<int>(run.texts.indexOf(engine::text::kFormatsSimplified));
    ASSERT_GT(at, 0);
    EXPECT_TRUE(run.texts[at - 1].startsWith(QStringLiteral("查找2个Excel文件,提取66000条数据")))
        << run.texts[at - 1].toStdString();

    const auto cells = checkedCells(out("hit.xlsx"));
    if (!skipped.empty()) GTEST_SKIP() << skipped;
    // Every value arrives; the rows of the source visited first, whose
    // formats all fit, keep their number formats exactly.
    const std::string first = cells.count("Sheet1!A1") ? cells.at("Sheet1!A1").at("value") : "";
    std::map<std::string, std::set<double>> values;  // by source
    size_t firstSourceCodes = 0;
    for (uint32_t r = 1; r <= 2 * kRowsPerSource; ++r) {
        const auto a = cells.find("Sheet1!A" + std::to_string(r));
        const auto b = cells.find("Sheet1!B" + std::to_string(r));
        ASSERT_TRUE(a != cells.end() && b != cells.end()) << r;
        const double value = std::strtod(b->second.at("value").c_str(), nullptr);
        values[a->second.at("value")].insert(value);
        const auto sourceRow = static_cast<uint32_t>(value);
        if (a->second.at("value") == first && sourceRow <= kCodesPerSource)
            firstSourceCodes += b->second.at("numfmt") == "0.00\"" + first.substr(4) + std::to_string(sourceRow) + "\"";
    }
    std::set<double> all;
    for (uint32_t r = 1; r <= kRowsPerSource; ++r) all.insert(r + 0.25);
    EXPECT_EQ(values, (std::map<std::string, std::set<double>>{{"hit a", all}, {"hit b", all}}));
    EXPECT_EQ(firstSourceCodes, kCodesPerSource);
}

}  // namespace
