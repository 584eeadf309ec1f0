// SPDX-License-Identifier: Apache-2.0
// Result sheets that grow at the bottom: rows copied below the end wait in the
// sheet's spill and are streamed out at the save; anything else puts them back
// into the model first. Both ways must give the same files.
#include "NativeTestSupport.h"

#include "../readers/WorkbookDifference.h"
#include "automation/model/Limits.h"
#include "automation/readers/Readers.h"

#include <QFile>
#include <QTemporaryDir>

#include <string>

using namespace native_test;

namespace {

std::string fileText(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

long long lineCount(const std::string &text) {
    long long n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

class Append : public NativeFixture {
protected:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    // A source sheet of five rows: texts, formatted numbers, a boolean, an
    // error, a formatted empty cell, a row height, a row format, an in-row merge.
    std::unique_ptr<Workbook> makeSource() {
        auto wb = addWorkbook();
        auto ws = sheet(*wb, 1);
        auto state = stateOf(*ws);
        model::CellStyle bold;
        bold.font.bold = true;
        bold.fill.pattern = 1;
        bold.fill.foreground = model::rgb(0xFFFF00);
        const uint32_t boldId = state->model.mutableStyles().intern(bold);
        const uint32_t money = styleWithFormat(*ws, "0.00");
        const uint32_t text = styleWithFormat(*ws, "@");
        model::Sheet &s = modelSheet(*ws);
        auto str = [&](const char *t) { return state->model.mutableStrings().intern(t); };
        s.setCell(1, model::Cell::makeString(1, str("名称"), boldId));
        s.setCell(1, model::Cell::makeString(2, str("price, \"net\""), boldId));
        s.setCell(1, model::Cell::makeEmpty(3, boldId));
        s.rowForWrite(1).height = 30;
        s.merges.push_back(model::CellArea{1, 2, 1, 3});
        s.setCell(2, model::Cell::makeString(1, str("fig"), 0));
        s.setCell(2, model::Cell::makeNumber(2, 2.5, money));
        s.setCell(2, model::Cell::makeString(4, str("110101199001011234"), text));
        s.setCell(3, model::Cell::makeBoolean(1, true, 0));
        s.setCell(3, model::Cell::makeError(5, model::CellError::NA, 0));
        s.rowForWrite(3).style = boldId;
        s.setCell(4, model::Cell::makeString(1, str(" padded _x0041_ "), 0));
        s.rowForWrite(4).hidden = true;
        s.setCell(5, model::Cell::makeNumber(3, 45000, styleWithFormat(*ws, "yyyy-mm-dd")));
        return wb;
    }

    // The engine's calls for one found cell: the used range, the cell below
    // it, the copy of the row (or of the cell alone).
    static void copyLikeTheEngine(Worksheet &from, int row, Worksheet &result, int flag, bool cellOnly,
                                  bool settleEach) {
        auto used = result.usedRange();
        ASSERT_NE(used, nullptr);
        const long long last = used->row() + used->rowCount() - 1;
        auto destination = result.cells(static_cast<int>(last + flag), 1);
        ASSERT_NE(destination, nullptr);
        auto source = cellOnly ? from.cells(row, 2) : from.rows(row);
        ASSERT_TRUE(source->copy(*destination));
        // Reading a cell is no append: the sheet goes back to the model.
        if (settleEach) (void)destination->value();
    }

    // A result workbook built as a pass builds it: scratch sheet before the
    // result sheet, rows copied in, scratch sheet deleted.
    std::unique_ptr<Workbook> buildResult(Worksheet &from, bool settleEach) {
        auto wb = addWorkbook();
        auto result = sheet(*wb, 1);
        auto scratch = wb->sheets()->add(*result);
        EXPECT_NE(scratch, nullptr);
        int flag = 0;
        for (int round = 0; round < 3; ++round) {
            for (int row = 1; row <= 5; ++row) {
                copyLikeTheEngine(from, row, *result, flag, false, settleEach);
                flag = 1;
            }
            copyLikeTheEngine(from, 2, *result, flag, true, settleEach);
        }
        EXPECT_TRUE(scratch->remove());
        return wb;
    }
};

}  // namespace

TEST_F(Append, RowsCopiedBelowTheEndWaitOutsideTheModelAndSaveAsTheModelWould) {
    auto source = makeSource();
    auto from = sheet(*source, 1);

    auto streamed = buildResult(*from, false);
    auto streamedSheet = sheet(*streamed, 1);
    auto streamedState = stateOf(*streamedSheet);
    ASSERT_NE(streamedState->spill, nullptr);
    EXPECT_EQ(streamedState->model.sheet(0).rows().size(), 0u);  // nothing held in memory
    EXPECT_EQ(streamedState->spill->rows(), 18u);
    auto used = streamedSheet->usedRange();
    EXPECT_EQ(used->row(), 1);
    EXPECT_EQ(used->rowCount(), 18);
    EXPECT_EQ(used->columnCount(), 5);

    auto inMemory = buildResult(*from, true);
    auto memorySheet = sheet(*inMemory, 1);
    EXPECT_EQ(stateOf(*memorySheet)->spill, nullptr);
    EXPECT_EQ(stateOf(*memorySheet)->model.sheet(0).rows().size(), 18u);

    ASSERT_TRUE(streamed->saveAs(path("streamed.xlsx")).ok);
    ASSERT_TRUE(inMemory->saveAs(path("memory.xlsx")).ok);
    ASSERT_TRUE(streamed->saveAs(path("streamed.csv"), kFileFormatCsv).ok);
    ASSERT_TRUE(inMemory->saveAs(path("memory.csv"), kFileFormatCsv).ok);
    // A save reads the spill without using it up: a second one gives the same file.
    ASSERT_TRUE(streamed->saveAs(path("again.csv"), kFileFormatCsv).ok);

    auto a = readers::readWorkbookFile(QFile::encodeName(path("streamed.xlsx")).toStdString());
    auto b = readers::readWorkbookFile(QFile::encodeName(path("memory.xlsx")).toStdString());
    ASSERT_TRUE(a.workbook && b.workbook);
    EXPECT_EQ(readertest::firstDifference(*a.workbook, *b.workbook), "");
    EXPECT_EQ(a.workbook->sheet(0).merges.size(), 3u);
    ASSERT_NE(a.workbook->sheet(0).findRow(1), nullptr);
    EXPECT_EQ(a.workbook->sheet(0).findRow(1)->height, 30.0f);
    EXPECT_EQ(fileText(path("streamed.csv")), fileText(path("memory.csv")));
    EXPECT_EQ(fileText(path("streamed.csv")), fileText(path("again.csv")));
    EXPECT_EQ(lineCount(fileText(path("streamed.csv"))), 18);

    // The model the spill settles into is the model the copies would have built.
    EXPECT_TRUE(stateOf(*streamedSheet)->settle(dynamic_cast<native::NativeWorksheet &>(*streamedSheet).uid()));
    EXPECT_EQ(stateOf(*streamedSheet)->spill, nullptr);
    EXPECT_EQ(readertest::firstDifference(stateOf(*streamedSheet)->model, stateOf(*memorySheet)->model), "");
}

TEST_F(Append, AnythingButAnAppendPutsTheRowsBackIntoTheModel) {
    auto source = makeSource();
    auto from = sheet(*source, 1);
    auto wb = addWorkbook();
    auto result = sheet(*wb, 1);
    for (int row = 1; row <= 3; ++row) ASSERT_TRUE(from->rows(row)->copy(*result->cells(row + 1, 1)));
    ASSERT_NE(stateOf(*result)->spill, nullptr);

    // A copy above the last row replaces that row in the model.
    ASSERT_TRUE(from->rows(2)->copy(*result->cells(2, 1)));
    EXPECT_EQ(stateOf(*result)->spill, nullptr);
    EXPECT_EQ(at(*result, 2, 1), "fig");
    EXPECT_EQ(at(*result, 2, 2), "2.50");
    EXPECT_EQ(at(*result, 3, 1), "fig");
    EXPECT_EQ(at(*result, 4, 1), "TRUE");
    EXPECT_EQ(modelSheet(*result).merges.size(), 0u);  // the merge of row 2 was replaced with it

    // Appending again spills again; a search sees the spilled rows.
    ASSERT_TRUE(from->rows(1)->copy(*result->cells(10, 1)));
    ASSERT_NE(stateOf(*result)->spill, nullptr);
    auto hit = result->usedRange()->find("price, \"net\"", result->cells(1, 1).get(), kLookInValues, kLookAtWhole);
    EXPECT_EQ(address(hit.get()), "B10");
    EXPECT_EQ(stateOf(*result)->spill, nullptr);
    ASSERT_NE(modelSheet(*result).findRow(10), nullptr);
    EXPECT_EQ(modelSheet(*result).findRow(10)->height, 30.0f);

    // Clearing a spilled cell, and copying from a spilled row, work on the model.
    ASSERT_TRUE(from->rows(2)->copy(*result->cells(11, 1)));
    ASSERT_TRUE(result->cells(11, 1)->clear());
    EXPECT_EQ(at(*result, 11, 1), "");
    EXPECT_EQ(at(*result, 11, 2), "2.50");
    ASSERT_TRUE(from->rows(3)->copy(*result->cells(12, 1)));
    ASSERT_TRUE(result->rows(12)->copy(*result->cells(13, 1)));
    EXPECT_EQ(at(*result, 13, 1), "TRUE");

    // A merge of the sheet reaching below its last row keeps appends in the model.
    modelSheet(*result).merges.push_back(model::CellArea{13, 4, 20, 4});
    ASSERT_TRUE(from->rows(2)->copy(*result->cells(14, 1)));
    EXPECT_EQ(stateOf(*result)->spill, nullptr);
    ASSERT_EQ(modelSheet(*result).merges.size(), 1u);  // cut by the copy, as before
    EXPECT_EQ(modelSheet(*result).merges[0], (model::CellArea{10, 2, 10, 3}));

    // Deleting the sheet drops its spill.
    ASSERT_TRUE(from->rows(2)->copy(*result->cells(30, 1)));
    ASSERT_NE(stateOf(*result)->spill, nullptr);
    auto other = wb->sheets()->add(*result);
    ASSERT_TRUE(result->remove());
    EXPECT_EQ(stateOf(*other)->spill, nullptr);
}

TEST_F(Append, ATemplateKeepsItsRowsFirstAndTheCsvIsTheResultSheet) {
    {
        auto tpl = addWorkbook();
        auto ws = sheet(*tpl, 1);
        put(*ws, 1, 1, "Report");
        put(*ws, 2, 1, "name");
        put(*ws, 2, 2, "price");
        modelSheet(*ws).merges.push_back(model::CellArea{1, 1, 1, 3});
        ASSERT_TRUE(tpl->saveAs(path("template.xlsx")).ok);
        tpl->close(false);
    }
    auto source = makeSource();
    auto from = sheet(*source, 1);
    auto wb = app->workbooks()->open(path("template.xlsx"));
    ASSERT_NE(wb, nullptr);
    auto result = sheet(*wb, 1);
    auto scratch = wb->sheets()->add(*result);
    for (int row = 2; row <= 3; ++row) copyLikeTheEngine(*from, row, *result, 1, false, false);
    ASSERT_NE(stateOf(*result)->spill, nullptr);
    ASSERT_TRUE(scratch->remove());
    ASSERT_TRUE(wb->saveAs(path("result.csv"), kFileFormatCsv).ok);
    EXPECT_EQ(fileText(path("result.csv")),
              "\xEF\xBB\xBFReport,,,,\r\nname,price,,,\r\nfig,2.50,,110101199001011234,\r\n"
              "TRUE,,,,#N/A\r\n");
    ASSERT_TRUE(wb->saveAs(path("result.xlsx")).ok);
    auto back = readers::readWorkbookFile(QFile::encodeName(path("result.xlsx")).toStdString());
    ASSERT_TRUE(back.workbook);
    const model::Sheet &s = back.workbook->sheet(0);
    EXPECT_EQ(s.merges.size(), 1u);
    ASSERT_NE(s.findCell(3, 4), nullptr);
    EXPECT_EQ(back.workbook->text(*s.findCell(3, 4)), "110101199001011234");
    EXPECT_EQ(back.workbook->styles().at(s.findRow(4)->style).font.bold, true);
}

// The engine's calls, in its order, for more rows than an .xlsx sheet holds:
// every one of them reaches the CSV, and the .xlsx save says why it cannot.
TEST_F(Append, PastTheGridEveryRowReachesTheCsv) {
    constexpr int kRows = static_cast<int>(model::kMaxRows) + 4;
    auto source = addWorkbook();
    auto from = sheet(*source, 1);
    put(*from, 1, 1, "fig");
    put(*from, 1, 2, "7");
    put(*from, 2, 1, "pear");
    auto wb = addWorkbook();
    auto result = sheet(*wb, 1);
    auto scratch = wb->sheets()->add(*result);
    int flag = 0;
    for (int n = 0; n < kRows; ++n) {
        auto used = result->usedRange();
        auto destination = result->cells(static_cast<int>(used->row() + used->rowCount() - 1 + flag), 1);
        ASSERT_NE(destination, nullptr) << "row " << n;
        ASSERT_TRUE(from->rows(1 + n % 2)->copy(*destination)) << "row " << n;
        flag = 1;
    }
    EXPECT_EQ(result->usedRange()->rowCount(), kRows);
    EXPECT_EQ(stateOf(*result)->model.sheet(1).rows().size(), 0u);
    ASSERT_TRUE(scratch->remove());

    const WriteResult xlsx = wb->saveAs(path("big.xlsx"));
    EXPECT_FALSE(xlsx.ok);
    EXPECT_NE(xlsx.error.find(std::to_string(kRows)), std::string::npos) << xlsx.error;
    EXPECT_NE(xlsx.error.find("1048576 rows"), std::string::npos) << xlsx.error;
    EXPECT_FALSE(QFile::exists(path("big.xlsx")));

    ASSERT_TRUE(wb->saveAs(path("big.csv"), kFileFormatCsv).ok);
    const std::string csv = fileText(path("big.csv"));
    EXPECT_EQ(lineCount(csv), kRows);
    // The last rows, past the grid, are whole.
    EXPECT_EQ(csv.substr(csv.size() - 28), "fig,7\r\npear,\r\nfig,7\r\npear,\r\n");
}
