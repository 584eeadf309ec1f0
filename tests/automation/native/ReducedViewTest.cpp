// SPDX-License-Identifier: Apache-2.0
// Workbooks kept between passes as reduced views: every answer must be the one
// the whole workbook gives, for the announced searches and beyond them.
#include "NativeTestSupport.h"

#include <xlsxwriter.h>
#include <QFile>
#include <QPair>
#include <QTemporaryDir>

using namespace native_test;

namespace {

// Two sheets; "Data" has a header, fruit rows with prices in a number format,
// a row that matches nothing, and a fruit in the far column 5.
void writeWorkbook(const QString &path) {
    lxw_workbook *wb = workbook_new(QFile::encodeName(path).constData());
    ASSERT_NE(wb, nullptr);
    lxw_worksheet *data = workbook_add_worksheet(wb, "Data");
    lxw_format *money = workbook_add_format(wb);
    format_set_num_format(money, "0.00");
    worksheet_write_string(data, 0, 0, "name", nullptr);
    worksheet_write_string(data, 0, 1, "price", nullptr);
    const char *names[] = {"apple", "pear", "plum", "apple pie", "fig", "pear"};
    for (int i = 0; i < 6; ++i) {
        worksheet_write_string(data, lxw_row_t(i + 1), 0, names[i], nullptr);
        worksheet_write_number(data, lxw_row_t(i + 1), 1, 1.5 + i, money);
        worksheet_write_string(data, lxw_row_t(i + 1), 2, i % 2 ? "note pear" : "note", nullptr);
    }
    worksheet_write_string(data, 9, 4, "apple", nullptr);
    lxw_worksheet *other = workbook_add_worksheet(wb, "Other");
    worksheet_write_string(other, 2, 1, "plum", nullptr);
    worksheet_write_string(other, 3, 1, "Apple", nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

// What a job sees of one workbook: every sheet's used range and first cell,
// then for each value every found cell in order (each search going on after
// the last hit until the first comes round again) with the copied row's texts.
// One line per observation.
QStringList runSearches(Application &app, const QString &path, const QStringList &values, int lookAt) {
    QStringList seen;
    auto wb = app.workbooks()->open(path);
    if (!wb) return {QStringLiteral("no workbook")};
    app.workbooks()->add();
    auto result = app.activeWorkbook();
    auto target = result->sheets()->item(1);
    int nextRow = 1;
    auto sheets = wb->sheets();
    for (int s = 1; s <= sheets->count(); ++s) {
        auto ws = sheets->item(s);
        auto used = ws->usedRange();
        auto start = ws->cells(used->row(), used->column());
        seen << QStringLiteral("%1 used %2,%3 %4x%5 first '%6'")
                    .arg(ws->name())
                    .arg(used->row())
                    .arg(used->column())
                    .arg(used->rowCount())
                    .arg(used->columnCount())
                    .arg(start->value());
        for (const QString &v : values) {
            std::unique_ptr<Range> previous;
            QPair<int, int> first(0, 0);
            for (int guard = 0; guard < 100; ++guard) {
                auto hit = used->find(v, previous ? previous.get() : start.get(), kLookInValues, lookAt);
                if (!hit || qMakePair(hit->row(), hit->column()) == first) break;
                if (!previous) first = qMakePair(hit->row(), hit->column());
                ws->rows(hit->row())->copy(*target->cells(nextRow, 1));
                QStringList row;
                for (int c = 1; c <= 5; ++c) row << target->cells(nextRow, c)->value();
                seen << QStringLiteral("%1 found %2,%3: %4")
                            .arg(v)
                            .arg(hit->row())
                            .arg(hit->column())
                            .arg(row.join('|'));
                ++nextRow;
                previous = std::move(hit);
            }
        }
        used->clear();
    }
    wb->close(false);
    result->close(false);
    return seen;
}

class ReducedViews : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path;
    void SetUp() override {
        path = dir.filePath(QStringLiteral("fruit.xlsx"));
        writeWorkbook(path);
    }
    static void announce(Application &app, const QString &file, const QStringList &values, int lookAt, int passes,
                         int column = 0) {
        OpenPlan plan;
        plan.paths = QStringList{file};
        plan.passes = passes;
        plan.searches = values;
        plan.lookAt = lookAt;
        plan.wholeColumn = column;
        app.workbooks()->expectOpens(plan);
    }
};

}  // namespace

TEST_F(ReducedViews, EveryPassSeesWhatTheWholeWorkbookShows) {
    const QStringList values = {QStringLiteral("pear"), QStringLiteral("apple"), QStringLiteral("1.50")};
    for (int lookAt : {kLookAtPart, kLookAtWhole}) {
        auto plain = createApplication(QStringLiteral("Excel.Application"));
        auto planned = createApplication(QStringLiteral("Excel.Application"));
        // Pass by pass, one value each, as a job with a workbook per value runs.
        for (int pass = 0; pass < values.size(); ++pass) {
            announce(*planned, path, values, lookAt, static_cast<int>(values.size()) - pass);
            const QStringList one = {values[pass]};
            EXPECT_EQ(runSearches(*planned, path, one, lookAt), runSearches(*plain, path, one, lookAt))
                << "pass " << pass << " look-at " << lookAt;
        }
    }
}

TEST_F(ReducedViews, ASearchBeyondThePlanReadsTheWholeWorkbookAndKeepsEarlierEdits) {
    auto app = createApplication(QStringLiteral("Excel.Application"));
    announce(*app, path, {QStringLiteral("apple")}, kLookAtPart, 2);
    app->workbooks()->open(path)->close(false);  // the first pass leaves a reduced view behind
    announce(*app, path, {QStringLiteral("apple")}, kLookAtPart, 1);

    auto wb = app->workbooks()->open(path);
    ASSERT_NE(wb, nullptr);
    auto ws = wb->sheets()->item(1);
    auto used = ws->usedRange();
    auto start = ws->cells(1, 1);
    auto first = used->find(QStringLiteral("apple"), start.get(), kLookInValues, kLookAtPart);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->row(), 2);
    ASSERT_TRUE(first->clear());
    // Not announced: the answer must still be the whole workbook's.
    auto fig = used->find(QStringLiteral("fig"), start.get(), kLookInValues, kLookAtWhole);
    ASSERT_NE(fig, nullptr);
    EXPECT_EQ(fig->row(), 6);
    // The cleared cell stays empty in the whole workbook read meanwhile.
    EXPECT_EQ(ws->cells(2, 1)->value(), QString());
    auto next = used->find(QStringLiteral("apple"), start.get(), kLookInValues, kLookAtPart);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->row(), 5);
}

TEST_F(ReducedViews, CellsOutsideTheKeptRowsReadAsInTheFile) {
    auto app = createApplication(QStringLiteral("Excel.Application"));
    announce(*app, path, {QStringLiteral("plum")}, kLookAtWhole, 2);
    app->workbooks()->open(path)->close(false);
    auto wb = app->workbooks()->open(path);
    ASSERT_NE(wb, nullptr);
    auto ws = wb->sheets()->item(1);
    EXPECT_EQ(ws->cells(3, 2)->value(), QStringLiteral("2.50"));  // the pear row, not kept for plum
    EXPECT_EQ(ws->cells(4, 1)->value(), QStringLiteral("plum"));
    EXPECT_EQ(ws->cells(10, 5)->value(), QStringLiteral("apple"));
}

TEST_F(ReducedViews, AColumnCopiedWholeIsKeptWhole) {
    auto plain = createApplication(QStringLiteral("Excel.Application"));
    auto planned = createApplication(QStringLiteral("Excel.Application"));
    auto columnTexts = [&](Application &app) {
        auto wb = app.workbooks()->open(path);
        app.workbooks()->add();
        auto result = app.activeWorkbook();
        auto target = result->sheets()->item(1);
        wb->sheets()->item(1)->columns(3)->copy(*target->cells(1, 1));
        QStringList texts;
        for (int r = 1; r <= 8; ++r) texts << target->cells(r, 1)->value();
        return texts;
    };
    announce(*planned, path, {QStringLiteral("fig")}, kLookAtWhole, 2, 3);
    planned->workbooks()->open(path)->close(false);
    EXPECT_EQ(columnTexts(*planned), columnTexts(*plain));
}

namespace {

// Cells whose displayed text differs from what the file stores: numbers in
// percent, date, thousands and text formats, a text behind a format with a
// literal, booleans, whole numbers in General; each value also in rows that
// must not be kept.
void writeFormattedWorkbook(const QString &path, bool inlineStrings) {
    lxw_workbook_options options = {};
    options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;  // inline texts, as streaming producers write
    lxw_workbook *wb = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    ASSERT_NE(wb, nullptr);
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Formats");
    lxw_format *percent = workbook_add_format(wb);
    format_set_num_format(percent, "0%");
    lxw_format *date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy-mm-dd");
    lxw_format *thousands = workbook_add_format(wb);
    format_set_num_format(thousands, "#,##0.00");
    lxw_format *coded = workbook_add_format(wb);
    format_set_num_format(coded, "\"code \"@");
    lxw_format *text = workbook_add_format(wb);
    format_set_num_format(text, "@");
    lxw_row_t r = 0;
    worksheet_write_string(ws, r++, 1, "header", nullptr);
    for (int round = 0; round < 2; ++round) {
        worksheet_write_number(ws, r, 0, round ? 0.25 : 0.5, percent);
        worksheet_write_string(ws, r++, 2, "row a", nullptr);
        worksheet_write_number(ws, r, 0, round ? 45000 : 45352, date);  // 2024-03-01 in the first round
        worksheet_write_string(ws, r++, 2, "row b", nullptr);
        worksheet_write_number(ws, r, 0, round ? 99.5 : 1234.5, thousands);
        worksheet_write_string(ws, r++, 2, "row c", nullptr);
        worksheet_write_string(ws, r, 0, round ? "y" : "x", coded);
        worksheet_write_string(ws, r++, 2, "row d", nullptr);
        worksheet_write_boolean(ws, r, 0, round ? 0 : 1, nullptr);
        worksheet_write_string(ws, r++, 2, "row e", nullptr);
        worksheet_write_number(ws, r, 0, round ? 7 : 1101011234, text);
        worksheet_write_string(ws, r++, 2, "row f", nullptr);
        // General: a whole number shows its digits, one digit short of the value in the second round.
        worksheet_write_number(ws, r, 0, round ? 220202234 : 2202022345, nullptr);
        worksheet_write_string(ws, r++, 2, "row g", nullptr);
        worksheet_write_number(ws, r, 0, round ? 67 : -678, nullptr);
        worksheet_write_string(ws, r++, 2, "row h", nullptr);
    }
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

}  // namespace

TEST_F(ReducedViews, CellsAreKeptByTheTextTheyShow) {
    const QStringList values = {
        QStringLiteral("50%"),        QStringLiteral("2024-03-01"), QStringLiteral("1,234.50"),
        QStringLiteral("code x"),     QStringLiteral("TRUE"),       QStringLiteral("1101011234"),
        QStringLiteral("2202022345"), QStringLiteral("-678"),       QStringLiteral("header")};
    for (bool inlineStrings : {false, true}) {
        const QString file =
            dir.filePath(inlineStrings ? QStringLiteral("inline.xlsx") : QStringLiteral("shared.xlsx"));
        writeFormattedWorkbook(file, inlineStrings);
        for (int lookAt : {kLookAtPart, kLookAtWhole}) {
            SCOPED_TRACE(QStringLiteral("inline %1 look-at %2").arg(inlineStrings).arg(lookAt).toStdString());
            auto plain = createApplication(QStringLiteral("Excel.Application"));
            auto planned = createApplication(QStringLiteral("Excel.Application"));
            announce(*planned, file, values, lookAt, 1);
            const QStringList seen = runSearches(*planned, file, values, lookAt);
            EXPECT_EQ(seen, runSearches(*plain, file, values, lookAt));
            // Each value is found once: in its first-round row only.
            for (const QString &v : values)
                EXPECT_EQ(seen.filter(v + QStringLiteral(" found ")).size(), 1) << v.toStdString();
        }
    }
}
