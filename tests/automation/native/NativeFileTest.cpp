// SPDX-License-Identifier: Apache-2.0
// Opening and saving real files, and the cache of parsed workbooks.
#include "NativeTestSupport.h"

#include "automation/native/NativeApplication.h"
#include "automation/native/WorkbookCache.h"

#include <xlsxwriter.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <thread>

using namespace native_test;

namespace {
// A workbook with a header row and three data rows on "Data", and a second sheet.
void writeSample(const QString &path, const char *extra = nullptr) {
    lxw_workbook *wb = workbook_new(QFile::encodeName(path).constData());
    ASSERT_NE(wb, nullptr);
    lxw_worksheet *data = workbook_add_worksheet(wb, "Data");
    lxw_format *money = workbook_add_format(wb);
    format_set_num_format(money, "0.00");
    worksheet_write_string(data, 0, 0, "name", nullptr);
    worksheet_write_string(data, 0, 1, "price", nullptr);
    const char *names[] = {"apple", "pear", "apple pie"};
    for (int i = 0; i < 3; ++i) {
        worksheet_write_string(data, lxw_row_t(i + 1), 0, names[i], nullptr);
        worksheet_write_number(data, lxw_row_t(i + 1), 1, 1.5 + i, money);
    }
    if (extra) worksheet_write_string(data, 5, 0, extra, nullptr);
    workbook_add_worksheet(wb, "Other");
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

class Files : public NativeFixture {
protected:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    std::shared_ptr<native::ParsedWorkbookCache> cache() {
        return dynamic_cast<native::NativeApplication &>(*app).parsedWorkbookCache();
    }
};
}  // namespace

TEST_F(Files, OpenSearchAndReadAnXlsxWorkbook) {
    writeSample(path("book.xlsx"));
    auto wb = app->workbooks()->open(path("book.xlsx"));
    ASSERT_NE(wb, nullptr);
    EXPECT_EQ(wb->sheets()->count(), 2);
    auto ws = sheet(*wb, 1);
    EXPECT_EQ(ws->name(), "Data");
    auto used = ws->usedRange();
    EXPECT_EQ(used->rowCount(), 4);
    EXPECT_EQ(used->columnCount(), 2);
    auto hit = used->find("2.50", ws->cells(1, 1).get(), kLookInValues, kLookAtWhole);
    EXPECT_EQ(address(hit.get()), "B3");
    EXPECT_EQ(address(used->find("APPLE", ws->cells(1, 1).get(), kLookInValues, kLookAtWhole).get()), "A2");
}

TEST_F(Files, WhatCannotBeOpenedGivesNull) {
    QFile junk(path("junk.xlsx"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("PK\x03\x04 this is no zip at all");
    junk.close();
    EXPECT_EQ(app->workbooks()->open(path("missing.xlsx")), nullptr);
    EXPECT_EQ(app->workbooks()->open(path("junk.xlsx")), nullptr);
    EXPECT_EQ(app->workbooks()->open(dir.path()), nullptr);  // a folder
    EXPECT_EQ(app->workbooks()->open(QString()), nullptr);
}

TEST_F(Files, EachOpeningIsItsOwnViewOfOneParse) {
    writeSample(path("book.xlsx"));
    auto first = app->workbooks()->open(path("book.xlsx"));
    ASSERT_NE(first, nullptr);
    auto ws1 = sheet(*first, 1);
    auto hit = ws1->usedRange()->find("pear", nullptr, kLookInValues, kLookAtWhole);
    ASSERT_NE(hit, nullptr);
    ws1->usedRange()->clear();
    first->close(false);

    auto second = app->workbooks()->open(path("book.xlsx"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(cache()->hits(), 1u);
    auto ws2 = sheet(*second, 1);
    EXPECT_EQ(at(*ws2, 3, 1), "pear");  // the first opening's changes did not leak
    EXPECT_EQ(ws2->usedRange()->rowCount(), 4);

    // A changed file is read again.
    second->close(false);
    QFile::remove(path("book.xlsx"));
    writeSample(path("book.xlsx"), "added later with more bytes");
    auto third = app->workbooks()->open(path("book.xlsx"));
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(at(*sheet(*third, 1), 6, 1), "added later with more bytes");
    EXPECT_EQ(cache()->misses(), 2u);
}

TEST_F(Files, CacheStaysWithinItsBudget) {
    writeSample(path("a.xlsx"));
    writeSample(path("b.xlsx"));
    auto c = cache();
    ASSERT_NE(c->load(path("a.xlsx")), nullptr);
    const size_t one = c->usedBytes();
    ASSERT_GT(one, 0u);
    c->setBudget(one + one / 2);
    ASSERT_NE(c->load(path("b.xlsx")), nullptr);  // pushes a out
    EXPECT_EQ(c->entryCount(), 1u);
    EXPECT_LE(c->usedBytes(), c->budget());
    c->setBudget(0);
    EXPECT_EQ(c->entryCount(), 0u);
    EXPECT_NE(c->load(path("a.xlsx")), nullptr);  // too big to keep, still handed out
    EXPECT_EQ(c->entryCount(), 0u);
}

TEST_F(Files, SaveAsWorkbookAndAsCsvOfTheActiveSheet) {
    writeSample(path("src.xlsx"));
    auto source = app->workbooks()->open(path("src.xlsx"));
    ASSERT_NE(source, nullptr);
    auto from = sheet(*source, 1);

    auto result = addWorkbook();
    auto out = sheet(*result, 1);
    auto scratch = result->sheets()->add(*out);
    ASSERT_TRUE(from->rows(2)->copy(*out->cells(1, 1)));
    ASSERT_TRUE(from->rows(4)->copy(*out->cells(2, 1)));
    put(*scratch, 1, 1, "scratch only");
    ASSERT_TRUE(scratch->remove());

    const WriteResult saved = result->saveAs(path("out.xlsx"));
    ASSERT_TRUE(saved.ok) << saved.error;
    const WriteResult csv = result->saveAs(path("out.csv"), kFileFormatCsv);
    ASSERT_TRUE(csv.ok) << csv.error;
    QFile text(path("out.csv"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(text.readAll());
    EXPECT_TRUE(content.contains("apple,1.50")) << content.toStdString();
    EXPECT_TRUE(content.contains("apple pie,3.50")) << content.toStdString();
    EXPECT_FALSE(content.contains("scratch"));

    auto back = app->workbooks()->open(path("out.xlsx"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->sheets()->count(), 1);
    auto ws = sheet(*back, 1);
    EXPECT_EQ(at(*ws, 2, 1), "apple pie");
    EXPECT_EQ(at(*ws, 2, 2), "3.50");

    EXPECT_FALSE(result->saveAs(dir.filePath("no/such/folder/x.xlsx")).ok);
}

TEST_F(Files, ConcurrentLoadsShareOneSafeCache) {
    writeSample(path("shared.xlsx"));
    auto c = cache();
    std::vector<std::shared_ptr<const native::CachedWorkbook>> got(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < got.size(); ++i)
        threads.emplace_back([&, i] {
            got[i] = c->load(path("shared.xlsx"));
            if (got[i]) got[i]->foldedStrings();
        });
    for (auto &t : threads) t.join();
    for (const auto &g : got) {
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->model().sheet(0).name, "Data");
        EXPECT_EQ(g->foldedStrings().texts.size(), g->model().strings().size());
    }
    EXPECT_EQ(c->entryCount(), 1u);
    EXPECT_EQ(c->hits() + c->misses(), got.size());
}
