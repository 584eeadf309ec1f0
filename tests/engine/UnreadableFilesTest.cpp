// SPDX-License-Identifier: Apache-2.0
// Files that cannot be searched are named, with their reason, and counted;
// a reader that fails, even by running out of memory on a reader thread,
// costs only its own file.
#include "automation/Automation.h"
#include "automation/native/SourceRead.h"
#include "automation/readers/ReaderTestFiles.h"
#include "automation/readers/Readers.h"
#include "engine/JobFolders.h"
#include "engine/JobRunner.h"
#include "engine/JobText.h"
#include "engine/MergeObject.h"
#include "engine/WorkbookFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <new>

namespace {

using Rows = std::vector<QStringList>;

class UnreadableFilesTest : public JobFolders {
protected:
    void SetUp() override {
        JobFolders::SetUp();
        options.findText = "fig";
    }
    void TearDown() override {
        automation::native::setSourceReaderForTesting(nullptr);
        JobFolders::TearDown();
    }

    // A good workbook, and one workbook of each kind that cannot be searched.
    void writeMixedFolder() {
        ASSERT_TRUE(files::writeXlsx(src("good.xlsx"), {{"Sheet1", {{"fig", "1"}}}}));
        ASSERT_TRUE(readertest::writeCompoundFile(
            src("locked.xlsx").toStdString(),
            {{"EncryptionInfo", std::string("\x04\x00\x04\x00\x40\x00\x00\x00", 8) + std::string(200, 'i')},
             {"EncryptedPackage", std::string(5000, '\x5a')}}));
        ASSERT_TRUE(QFile::copy(QString::fromStdString(readertest::fixture("xls/encrypted.xls")), src("locked.xls")));
        std::string noise(4096, '\0');
        for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
        ASSERT_TRUE(readertest::writeBytes(src("noise.xlsx").toStdString(), noise));
        // A shared-string cell with no index is one empty cell, not a damaged workbook.
        readertest::HandPackage package;
        package.sharedStrings =
            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"1\" "
            "uniqueCount=\"1\"><si><t>fig</t></si></sst>";
        package.sheets = {{"Sheet1",
                           "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                           "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v/></c><c r=\"B1\" t=\"s\"><v>0</v></c>"
                           "</row></sheetData></worksheet>"}};
        ASSERT_TRUE(readertest::writeHandPackage(src("emptyindex.xlsx").toStdString(), package));
    }
};

TEST_F(UnreadableFilesTest, EveryFileNotSearchedIsNamedWithItsReasonAndCounted) {
    writeMixedFolder();
    const JobRun run = runJob(options);

    const struct {
        const char *name;
        const char *prefix;
    } refused[] = {
        {"locked.xlsx", "无法读取(文件已加密):"},
        {"locked.xls", "无法读取(文件已加密):"},
        {"noise.xlsx", "无法读取(不是表格文件):"},
    };
    for (const auto &r : refused) {
        const int at = run.texts.indexOf(src(r.name));
        ASSERT_GE(at, 0) << r.name;
        EXPECT_EQ(run.texts.value(at + 1), QString::fromUtf8(r.prefix) + src(r.name)) << r.name;
    }
    for (const char *name : {"good.xlsx", "emptyindex.xlsx"}) {
        const int at = run.texts.indexOf(src(name));
        ASSERT_GE(at, 0) << name;
        EXPECT_FALSE(run.texts.value(at + 1).startsWith(QString::fromUtf8("无法读取"))) << name;
    }
    const QStringList summaries = summariesOf(run);
    ASSERT_EQ(summaries.size(), 1);
    EXPECT_TRUE(summaries[0].startsWith(QString::fromUtf8("查找2个Excel文件,提取2条数据,")))
        << summaries[0].toStdString();
    EXPECT_EQ(run.texts.last(), QString::fromUtf8("另有3个文件无法读取,未被查找。"));
    EXPECT_EQ(run.endSignals, 1);
    Rows rows = files::readXlsxResult(out("fig.xlsx")).rows;  // files come in the file system's order
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (Rows{{"", "fig"}, {"fig", "1"}}));
}

TEST_F(UnreadableFilesTest, TheJobResultListsEveryFileWithItsOutcome) {
    writeMixedFolder();
    options.oneBookPerValue = true;
    options.findText = "fig\nnothing";
    engine::optionSet() = options;
    MergeObject worker(QStringLiteral("tem"));
    worker.ExcelFilter();
    const engine::JobResult &result = worker.result();

    EXPECT_EQ(result.outcome, engine::JobResult::Outcome::Finished);
    EXPECT_EQ(result.rowsExtracted, 2);
    EXPECT_EQ(result.filesSearched, 2);
    EXPECT_EQ(result.filesNotSearched(), 3);
    ASSERT_EQ(result.files.size(), 5);  // one line per file, however many passes
    for (const engine::SourceFileReport &file : result.files) {
        const QString name = QFileInfo(file.path).fileName();
        if (name == "good.xlsx" || name == "emptyindex.xlsx") {
            EXPECT_EQ(file.outcome, engine::FileOutcome::Searched) << name.toStdString();
            EXPECT_EQ(file.sheetsSearched, 1) << name.toStdString();
            EXPECT_EQ(file.rowsExtracted, 1) << name.toStdString();
        } else {
            EXPECT_EQ(file.outcome, engine::FileOutcome::NotRead) << name.toStdString();
            EXPECT_EQ(file.whyNotRead,
                      name == "noise.xlsx" ? automation::ReadStatus::NotAWorkbook : automation::ReadStatus::Encrypted)
                << name.toStdString();
            EXPECT_EQ(file.rowsExtracted, 0);
        }
    }
}

TEST_F(UnreadableFilesTest, FormulasThatCannotBeCalculatedAreCountedPerFile) {
    ASSERT_TRUE(files::writeXlsx(src("calc.xlsx"), {{"Sheet1", {{"fig", "2", "=B1*3", "=NOSUCH(B1)", "=D1+1"}}}}));
    ASSERT_TRUE(files::writeXlsx(src("plain.xlsx"), {{"Sheet1", {{"fig", "2"}}}}));
    options.findText = "fig";
    engine::optionSet() = options;
    MergeObject worker(QStringLiteral("tem"));
    worker.ExcelFilter();
    const engine::JobResult &result = worker.result();
    ASSERT_EQ(result.files.size(), 2);
    for (const engine::SourceFileReport &file : result.files) {
        const QString name = QFileInfo(file.path).fileName();
        EXPECT_EQ(file.formulasNotEvaluated, name == "calc.xlsx" ? 2 : 0) << name.toStdString();
    }
    Rows rows = files::readXlsxResult(out("fig.xlsx")).rows;
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (Rows{{"fig", "2", "", "", ""}, {"fig", "2", "6", "0", "0"}}));
}

// Runs out of memory for any file whose name holds "huge".
automation::readers::ReadResult failingReader(const std::string &path) {
    if (path.find("huge") != std::string::npos) throw std::bad_alloc();
    return automation::readers::readWorkbookFile(path);
}

TEST_F(UnreadableFilesTest, AReaderRunningOutOfMemoryCostsOnlyItsFile) {
    for (const char *name : {"a.xlsx", "huge.xlsx", "c.xlsx", "d.xlsx"})
        ASSERT_TRUE(files::writeXlsx(src(name), {{"Sheet1", {{"fig", name}}}}));
    automation::native::setSourceReaderForTesting(&failingReader);

    // Both modes: the read runs ahead on reader threads, and per value it is kept between passes.
    for (const bool perValue : {false, true}) {
        options.oneBookPerValue = perValue;
        options.findText = perValue ? "fig\nnone" : "fig";
        const JobRun run = runJob(options);
        const int at = run.texts.indexOf(src("huge.xlsx"));
        ASSERT_GE(at, 0);
        EXPECT_EQ(run.texts.value(at + 1), QString::fromUtf8("无法读取(无法打开):") + src("huge.xlsx"));
        EXPECT_TRUE(summariesOf(run).value(0).startsWith(QString::fromUtf8("查找3个Excel文件,提取3条数据,")));
        EXPECT_TRUE(run.texts.filter(QRegularExpression("^提取中断")).isEmpty());
        EXPECT_EQ(run.texts.last(), QString::fromUtf8("另有1个文件无法读取,未被查找。"));
        EXPECT_EQ(run.endSignals, 1);
        EXPECT_TRUE(run.endedLast);
        EXPECT_EQ(files::readXlsxResult(out("fig.xlsx")).rows.size(), 3u);
    }
}

}  // namespace
