// SPDX-License-Identifier: Apache-2.0
// Formulas stored without their results (or with placeholders and a request
// to calculate on load) are found and copied by the values the application
// shows; stored results are used as they are; macro sheets are searched.
#include "NativeTestSupport.h"
#include "tests/automation/readers/ReaderTestFiles.h"

#include <xlsxwriter.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace native_test;

namespace {

// Row 2 of "Data" holds the formulas a user types most; "Other Sheet" refers
// across sheets, to a name, in a circle, and to what the engine cannot do.
// libxlsxwriter stores 0 for every result and asks for a calculation on load.
void writeWithXlsxwriter(const QString &path) {
    lxw_workbook *wb = workbook_new(QFile::encodeName(path).constData());
    ASSERT_NE(wb, nullptr);
    lxw_worksheet *data = workbook_add_worksheet(wb, "Data");
    lxw_format *date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy/m/d");
    const char *headers[] = {"key", "b", "c", "text", "sum", "greater", "date", "error", "unknown"};
    for (int c = 0; c < 9; ++c) worksheet_write_string(data, 0, lxw_col_t(c), headers[c], nullptr);
    worksheet_write_string(data, 1, 0, "KEY1 f", nullptr);
    worksheet_write_number(data, 1, 1, 2, nullptr);
    worksheet_write_number(data, 1, 2, 3, nullptr);
    worksheet_write_formula(data, 1, 3, "=A2&\"-x\"", nullptr);
    worksheet_write_formula(data, 1, 4, "=B2+C2", nullptr);
    worksheet_write_formula(data, 1, 5, "=B2>C2", nullptr);
    worksheet_write_formula(data, 1, 6, "=B3+1", date);
    worksheet_write_formula(data, 1, 7, "=1/0", nullptr);
    worksheet_write_formula(data, 1, 8, "=DATE(2020,2,29)", nullptr);  // a function the engine lacks
    worksheet_write_string(data, 2, 0, "base date", nullptr);
    worksheet_write_number(data, 2, 1, 43889, nullptr);  // 2020-02-28
    lxw_worksheet *other = workbook_add_worksheet(wb, "Other Sheet");
    worksheet_write_formula(other, 0, 0, "=Data!E2*10", nullptr);
    worksheet_write_formula(other, 1, 0, "=SUM(Data!B2:C2)&\" total\"", nullptr);
    worksheet_write_formula(other, 2, 0, "=Price*7", nullptr);
    worksheet_write_formula(other, 3, 0, "=A5+1", nullptr);
    worksheet_write_formula(other, 4, 0, "=A4+1", nullptr);
    worksheet_write_formula(other, 5, 0, "=NOSUCHFUNCTION(1)", nullptr);
    worksheet_write_formula(other, 6, 0, "=A6&\"z\"", nullptr);
    worksheet_write_formula(other, 7, 0, "=Data!A2=\"key1 f\"", nullptr);  // the engine compares with case
    worksheet_write_string(other, 8, 0, "end", nullptr);
    workbook_define_name(wb, "Price", "=Data!$B$2");
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

class FormulaResults : public NativeFixture {
protected:
    QTemporaryDir dir;

    void announce(const QString &path, const QStringList &values, int lookAt) {
        OpenPlan plan;
        plan.paths = QStringList{path};
        plan.searches = values;
        plan.lookAt = lookAt;
        app->workbooks()->expectOpens(plan);
    }

    // Texts of row `row` of a sheet, columns 1 to `columns`, joined by '|'.
    static QString rowTexts(Worksheet &ws, int row, int columns) {
        QStringList texts;
        for (int c = 1; c <= columns; ++c) texts << ws.cells(row, c)->value();
        return texts.join('|');
    }

    // Where `what` is found on the sheet, and the texts of its row as copied into a new workbook.
    QString findAndCopy(Workbook &wb, int sheetIndex, const QString &what, int lookAt, int columns) {
        auto ws = sheet(wb, sheetIndex);
        auto used = ws->usedRange();
        if (!used) return QStringLiteral("no used range");
        auto hit = used->find(what, nullptr, kLookInValues, lookAt);
        if (!hit) return QStringLiteral("not found");
        auto result = addWorkbook();
        auto target = sheet(*result, 1);
        EXPECT_TRUE(ws->rows(hit->row())->copy(*target->cells(1, 1)));
        const QString seen = QString::fromStdString(address(hit.get())) + ": " + rowTexts(*target, 1, columns);
        result->close(false);
        return seen;
    }
};

}  // namespace

TEST_F(FormulaResults, CalculatedValuesAreFoundAndCopiedAsTheApplicationShowsThem) {
    const QString path = dir.filePath("calc.xlsx");
    writeWithXlsxwriter(path);
    const QString row2 = "KEY1 f|2|3|KEY1 f-x|5|FALSE|2020/2/29|#DIV/0!|0";
    // Read whole, and read for a job that announced its searches (only rows that can match are kept).
    for (bool announced : {false, true}) {
        SCOPED_TRACE(announced ? "announced" : "whole");
        const QStringList values{"KEY1 f-x", "5", "FALSE", "2020/2/29", "#DIV/0!", "50", "5 total", "14"};
        if (announced) announce(path, values, kLookAtWhole);
        auto wb = app->workbooks()->open(path);
        ASSERT_TRUE(wb);
        EXPECT_EQ(findAndCopy(*wb, 1, "KEY1 f-x", kLookAtWhole, 9), "D2: " + row2);
        EXPECT_EQ(findAndCopy(*wb, 1, "5", kLookAtWhole, 9), "E2: " + row2);
        EXPECT_EQ(findAndCopy(*wb, 1, "FALSE", kLookAtWhole, 9), "F2: " + row2);
        EXPECT_EQ(findAndCopy(*wb, 1, "2020/2/29", kLookAtWhole, 9), "G2: " + row2);
        EXPECT_EQ(findAndCopy(*wb, 1, "#DIV/0!", kLookAtWhole, 9), "H2: " + row2);
        // Across sheets, through a name, and what depends on a formula.
        EXPECT_EQ(findAndCopy(*wb, 2, "50", kLookAtWhole, 1), "A1: 50");
        EXPECT_EQ(findAndCopy(*wb, 2, "5 total", kLookAtWhole, 1), "A2: 5 total");
        EXPECT_EQ(findAndCopy(*wb, 2, "14", kLookAtWhole, 1), "A3: 14");
        auto other = sheet(*wb, 2);
        // A circular reference shows 0, as in the application; what the engine
        // cannot do as the application does (an unknown function, and what
        // depends on it; DATE, which this engine lacks; a comparison of texts)
        // keeps the stored placeholder, and is counted.
        EXPECT_EQ(rowTexts(*other, 4, 1) + "," + rowTexts(*other, 5, 1), "0,0");
        EXPECT_EQ(rowTexts(*other, 6, 1) + "," + rowTexts(*other, 7, 1) + "," + rowTexts(*other, 8, 1), "0,0,0");
        EXPECT_EQ(wb->formulasNotEvaluated(), 4);
        wb->close(false);
    }
}

TEST_F(FormulaResults, FormulasWithoutAnyStoredValueAreCalculated) {
    // openpyxl writes formulas with an empty result, as many export scripts do.
    const QString path = dir.filePath("openpyxl.xlsx");
    const QString script = QStringLiteral(
        "import sys, openpyxl\n"
        "wb = openpyxl.Workbook(); ws = wb.active; ws.title = 'Data'\n"
        "ws.append(['KEY1 f', 2, 3, '=A1&\"-x\"', '=B1+C1', '=B1>C1', '=B2+1', '=1/0', '=NOSUCH(1)'])\n"
        "ws.append(['base', 43889])\n"
        "ws['G1'].number_format = 'yyyy/m/d'\n"
        "wb.save(sys.argv[1])\n");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    ASSERT_TRUE(python.waitForFinished(60000));
    if (python.exitCode() != 0 && python.readAllStandardError().contains("No module named 'openpyxl'"))
        GTEST_SKIP() << "python3-openpyxl is missing (scripts/install-deps.sh)";
    ASSERT_EQ(python.exitCode(), 0);
    announce(path, {"KEY1 f-x"}, kLookAtPart);
    auto wb = app->workbooks()->open(path);
    ASSERT_TRUE(wb);
    EXPECT_EQ(findAndCopy(*wb, 1, "KEY1 f-x", kLookAtPart, 9), "D1: KEY1 f|2|3|KEY1 f-x|5|FALSE|2020/2/29|#DIV/0!|");
    EXPECT_EQ(wb->formulasNotEvaluated(), 1);
}

namespace {

constexpr const char *kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::string sheetXml(const std::string &root, const std::string &rows) {
    return std::string("<?xml version=\"1.0\"?><") + root + " xmlns=\"" + kMainNs + "\"><sheetData>" + rows +
           "</sheetData></" + root + ">";
}

// A workbook whose formulas carry results of their own, one of them not what
// the formula gives; beside them, formulas without results: a shared one, an
// array formula, one with an empty result.
bool writeStoredResults(const std::string &path, bool withFormulasToCalculate) {
    std::string rows =
        "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c>"
        "<c r=\"C1\"><f>A1+B1</f><v>99</v></c></row>";
    if (withFormulasToCalculate)
        rows +=
            "<row r=\"2\"><c r=\"A2\"><v>5</v></c><c r=\"B2\"><f t=\"shared\" ref=\"B2:B4\" si=\"0\">A2*10</f></c>"
            "<c r=\"C2\"><f>C1+1</f></c><c r=\"D2\"><f t=\"array\" ref=\"D2\">SUM(A1:B1)</f></c>"
            "<c r=\"E2\"><f>A2*3</f><v></v></c></row>"
            "<row r=\"3\"><c r=\"A3\"><v>6</v></c><c r=\"B3\"><f t=\"shared\" si=\"0\"/></c></row>"
            "<row r=\"4\"><c r=\"A4\"><v>7</v></c><c r=\"B4\"><f t=\"shared\" si=\"0\"/></c></row>";
    readertest::HandPackage package;
    package.sheets.push_back({"Data", "<sheetData>" + rows + "</sheetData>"});
    return readertest::writeHandPackage(path, package);
}

}  // namespace

TEST_F(FormulaResults, StoredResultsAreUsedAsTheyAre) {
    for (bool withFormulasToCalculate : {false, true}) {
        SCOPED_TRACE(withFormulasToCalculate ? "beside formulas to calculate" : "alone");
        const std::string path = dir.filePath("stored.xlsx").toStdString();
        ASSERT_TRUE(writeStoredResults(path, withFormulasToCalculate));
        auto wb = app->workbooks()->open(QString::fromStdString(path));
        ASSERT_TRUE(wb);
        auto ws = sheet(*wb, 1);
        EXPECT_EQ(rowTexts(*ws, 1, 3), "1|2|99");
        if (withFormulasToCalculate) {
            // The shared formula moves with its cells; C2 builds on the stored 99; the array
            // formula stays empty; an empty number is no result.
            EXPECT_EQ(rowTexts(*ws, 2, 5) + "," + rowTexts(*ws, 3, 2) + "," + rowTexts(*ws, 4, 2),
                      "5|50|100||15,6|60,7|70");
            EXPECT_EQ(wb->formulasNotEvaluated(), 1);
        } else {
            EXPECT_EQ(wb->formulasNotEvaluated(), 0);
        }
        wb->close(false);
    }
}

TEST_F(FormulaResults, WhatTheEngineWouldGiveOtherwiseKeepsTheStoredValue) {
    // A1 TRUE, B1 2, C1 empty, D1 a text; formulas without results after them.
    readertest::HandPackage package;
    package.sheets.push_back(
        {"Data",
         "<sheetData><row r=\"1\"><c r=\"A1\" t=\"b\"><v>1</v></c><c r=\"B1\"><v>2</v></c>"
         "<c r=\"D1\" t=\"inlineStr\"><is><t>x</t></is></c>"
         "<c r=\"E1\"><f>A1</f></c><c r=\"F1\"><f>AVERAGE(B1,C1)</f></c><c r=\"G1\"><f>SUM(A1:B1)</f></c>"
         "<c r=\"H1\"><f>SUM(B1,D1)</f></c><c r=\"I1\"><f>IF(D1=\"X\",1,0)</f></c>"
         "<c r=\"J1\"><f>LEN(D1)&amp;\"-\"&amp;B1</f></c></row></sheetData>"});
    const std::string path = dir.filePath("differ.xlsx").toStdString();
    ASSERT_TRUE(readertest::writeHandPackage(path, package));
    auto wb = app->workbooks()->open(QString::fromStdString(path));
    ASSERT_TRUE(wb);
    // The application shows TRUE|2|...|2|1|1-2 for E1 to J1; an average that
    // would count the empty cell, a sum that would count TRUE and a text
    // compared with its case are left empty, and counted.
    EXPECT_EQ(rowTexts(*sheet(*wb, 1), 1, 10), "TRUE|2||x|TRUE|||2||1-2");
    EXPECT_EQ(wb->formulasNotEvaluated(), 3);
}

TEST_F(FormulaResults, ALongChainOfFormulasIsCalculatedUpToTheBound) {
    // B(n) = 2 * A(n) + B(n-1) with A(n) = n - 1: a running total, each formula on the one above.
    const int rows = 50010;
    const QString path = dir.filePath("chain.xlsx");
    lxw_workbook *book = workbook_new(QFile::encodeName(path).constData());
    ASSERT_NE(book, nullptr);
    lxw_worksheet *ws = workbook_add_worksheet(book, "Chain");
    for (int r = 0; r < rows; ++r) {
        worksheet_write_number(ws, lxw_row_t(r), 0, r, nullptr);
        const std::string formula = r == 0 ? "=A1*2" : "=A" + std::to_string(r + 1) + "*2+B" + std::to_string(r);
        worksheet_write_formula(ws, lxw_row_t(r), 1, formula.c_str(), nullptr);
    }
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    auto wb = app->workbooks()->open(path);
    ASSERT_TRUE(wb);
    auto chain = sheet(*wb, 1);
    // The first 50,000 formulas that refer to a formula are calculated, in order; the rest keep their 0.
    EXPECT_EQ(chain->cells(3, 2)->value(), "6");
    EXPECT_EQ(chain->cells(50001, 2)->value(), QString::number(50000LL * 50001LL));
    EXPECT_EQ(chain->cells(50002, 2)->value(), "0");
    EXPECT_EQ(wb->formulasNotEvaluated(), rows - 1 - 50000);
}

TEST_F(FormulaResults, MacroSheetsAreSearchedInTheWorkbooksOrder) {
    // An Excel 4.0 macro sheet between two worksheets, and a chart sheet, which holds no cells.
    const std::string rels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::string macroRel = "http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet";
    auto relationship = [](const std::string &id, const std::string &type, const std::string &target) {
        return "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + target + "\"/>";
    };
    const std::vector<readertest::ZipMember> members{
        {"[Content_Types].xml",
         "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/macrosheets/sheet1.xml\" "
         "ContentType=\"application/vnd.ms-excel.macrosheet+xml\"/></Types>"},
        {"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
                            relationship("rId1", rels + "/officeDocument", "xl/workbook.xml") + "</Relationships>"},
        {"xl/workbook.xml",
         std::string("<?xml version=\"1.0\"?><workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + rels +
             "\"><sheets><sheet name=\"First\" sheetId=\"1\" r:id=\"rId1\"/>"
             "<sheet name=\"Macro1\" sheetId=\"2\" r:id=\"rId2\"/><sheet name=\"Chart1\" sheetId=\"3\" r:id=\"rId3\"/>"
             "<sheet name=\"Last\" sheetId=\"4\" r:id=\"rId4\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
             relationship("rId1", rels + "/worksheet", "worksheets/sheet1.xml") +
             relationship("rId2", macroRel, "macrosheets/sheet1.xml") +
             relationship("rId3", rels + "/chartsheet", "chartsheets/sheet1.xml") +
             relationship("rId4", rels + "/worksheet", "worksheets/sheet2.xml") + "</Relationships>"},
        {"xl/worksheets/sheet1.xml", sheetXml("worksheet",
                                              "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>first"
                                              "</t></is></c></row>")},
        {"xl/macrosheets/sheet1.xml",
         "<?xml version=\"1.0\"?><xm:macrosheet xmlns=\"" + std::string(kMainNs) +
             "\" xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\"><sheetData>"
             "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Auto_Open</t></is></c></row>"
             "<row r=\"2\"><c r=\"A2\" t=\"str\"><f>ALERT(\"macro text\")</f><v>macro text</v></c></row>"
             "</sheetData></xm:macrosheet>"},
        {"xl/chartsheets/sheet1.xml", "<?xml version=\"1.0\"?><chartsheet xmlns=\"" + std::string(kMainNs) + "\"/>"},
        {"xl/worksheets/sheet2.xml", sheetXml("worksheet", "")},
    };
    const std::string path = dir.filePath("macro.xlsm").toStdString();
    ASSERT_TRUE(readertest::writeZip(path, members));
    for (bool announced : {false, true}) {
        SCOPED_TRACE(announced ? "announced" : "whole");
        if (announced) announce(QString::fromStdString(path), {"macro text"}, kLookAtPart);
        auto wb = app->workbooks()->open(QString::fromStdString(path));
        ASSERT_TRUE(wb);
        auto sheets = wb->sheets();
        ASSERT_EQ(sheets->count(), 3);
        EXPECT_EQ(sheets->item(1)->name() + "," + sheets->item(2)->name() + "," + sheets->item(3)->name(),
                  "First,Macro1,Last");
        EXPECT_EQ(findAndCopy(*wb, 2, "macro text", kLookAtPart, 1), "A2: macro text");
        wb->close(false);
    }
}
