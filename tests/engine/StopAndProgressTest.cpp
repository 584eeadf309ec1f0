// SPDX-License-Identifier: Apache-2.0
// A stop asked for during a job ends it after the file in hand, saves what was
// found, and says so; progress counts every file of every pass; the last
// status text of a pass is the one the user must not miss.
#include "automation/Automation.h"
#include "engine/JobFolders.h"
#include "engine/JobRunner.h"
#include "engine/JobText.h"
#include "engine/MergeObject.h"
#include "engine/WorkbookFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <tuple>
#include <vector>

namespace {

using Progress = std::tuple<int, int, int, int>;  // done, total, value number, value count

class StopAndProgressTest : public JobFolders {
protected:
    // `count` workbooks, each with one row holding "fig" and one holding "kiwi".
    void writeBooks(int count) {
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("book_%1.xlsx").arg(i, 3, 10, QLatin1Char('0'));
            ASSERT_TRUE(files::writeXlsx(src(name), {{"Sheet1", {{"fig", QString::number(i)}, {"kiwi", "x"}}}}));
        }
    }

    // Runs a job, asking for a stop as soon as `stopAfter` files of the first
    // pass are done (never when 0), from the worker's own thread.
    struct Run {
        QStringList texts;
        std::vector<Progress> progress;
        engine::JobResult result;
    };
    Run run(int stopAfter) {
        engine::optionSet() = options;
        Run r;
        MergeObject worker(QStringLiteral("tem"));
        QObject::connect(&worker, &MergeObject::ShowDisposingFile, [&r](const QString &text) { r.texts << text; });
        QObject::connect(&worker, &MergeObject::ShowProgress, [&](int done, int total, int value, int values) {
            r.progress.emplace_back(done, total, value, values);
            if (stopAfter > 0 && value == 1 && done == stopAfter) worker.requestStop();
        });
        worker.ExcelFilter();
        r.result = worker.result();
        return r;
    }
};

TEST_F(StopAndProgressTest, AStopEndsTheJobAfterTheFileInHandAndSavesWhatWasFound) {
    writeBooks(10);
    options.findText = "fig";
    const Run r = run(3);

    EXPECT_TRUE(r.result.stopped);
    EXPECT_EQ(r.result.filesSearched, 3);
    EXPECT_EQ(r.result.rowsExtracted, 3);
    EXPECT_EQ(r.result.filesNotReached, 7);
    EXPECT_EQ(r.result.outcome, engine::JobResult::Outcome::Finished);
    // The pass ended as usual: summary, then the stop, which the line ends on.
    ASSERT_GE(r.texts.size(), 2);
    EXPECT_TRUE(r.texts[r.texts.size() - 2].startsWith(QString::fromUtf8("查找3个Excel文件,提取3条数据,")));
    EXPECT_EQ(r.texts.last(), QString::fromUtf8("提取已停止,另有7个文件未被查找。"));
    EXPECT_EQ(files::readXlsxResult(out("fig.xlsx")).rows.size(), 3u);

    int stoppedFiles = 0;
    for (const engine::SourceFileReport &file : r.result.files)
        stoppedFiles += file.outcome == engine::FileOutcome::Stopped ? 1 : 0;
    EXPECT_EQ(stoppedFiles, 7);
    EXPECT_EQ(r.result.filesNotSearched(), 0) << "files never reached were not unreadable";
}

TEST_F(StopAndProgressTest, AStopInOneWorkbookPerValueSavesTheValueInHandAndSkipsTheRest) {
    writeBooks(6);
    options.findText = "fig\nkiwi\nplum";
    options.oneBookPerValue = true;
    const Run r = run(2);

    EXPECT_TRUE(r.result.stopped);
    EXPECT_EQ(r.result.valuesNotSearched, 2);
    EXPECT_EQ(r.texts.last(), QString::fromUtf8("提取已停止,另有4个文件未被查找,2个值未查找。"));
    EXPECT_EQ(files::readXlsxResult(out("fig.xlsx")).rows.size(), 2u);
    EXPECT_FALSE(QFile::exists(out("kiwi.xlsx")));
    EXPECT_FALSE(QFile::exists(out("plum.xlsx")));
}

TEST_F(StopAndProgressTest, ProgressCountsEveryFileOfEveryPassUpToItsTotal) {
    writeBooks(4);
    ASSERT_TRUE(touchFile(src("empty.xlsx")));  // unreadable files count as done too
    options.findText = "fig\nkiwi";
    options.oneBookPerValue = true;
    const Run r = run(0);

    EXPECT_FALSE(r.result.stopped);
    std::vector<Progress> expected;
    for (int value = 1; value <= 2; ++value)
        for (int done = 0; done <= 5; ++done) expected.emplace_back(done, 5, value, 2);
    EXPECT_EQ(r.progress, expected);
}

TEST_F(StopAndProgressTest, AFailedSaveEndsThePassWithItsReasonAfterTheSkippedCount) {
    writeBooks(2);
    ASSERT_TRUE(touchFile(src("empty.xlsx")));
    // A folder where the result would go: the save fails for a reason with words of its own.
    ASSERT_TRUE(QDir(dest.path()).mkdir("fig.xlsx"));
    options.findText = "fig";
    const Run r = run(0);

    ASSERT_GE(r.texts.size(), 3);
    EXPECT_TRUE(r.texts[r.texts.size() - 3].startsWith(QString::fromUtf8("查找2个Excel文件,提取2条数据,")));
    EXPECT_EQ(r.texts[r.texts.size() - 2], QString::fromUtf8("另有1个文件无法读取,未被查找。"));
    EXPECT_EQ(r.texts.last(), QString::fromUtf8("保存失败:") + out("fig.xlsx") + QString::fromUtf8("(已有同名文件夹)"));
    ASSERT_EQ(r.result.failedSaves.size(), 1);
    EXPECT_EQ(r.result.failedSaves[0].reason, QString::fromUtf8("已有同名文件夹"));
    EXPECT_TRUE(r.result.failedSaves[0].error.contains("a folder of that name is in the way"));
}

TEST(JobTexts, SaveFailuresHaveWordsOfTheirOwnOrTheWritersAndStopsLeaveOutZeroCounts) {
    using automation::SaveFailure;
    EXPECT_EQ(engine::text::saveFailureReason(SaveFailure::AccessDenied, "x"), QString::fromUtf8("权限不足"));
    EXPECT_EQ(engine::text::saveFailureReason(SaveFailure::DiskFull, "x"), QString::fromUtf8("磁盘空间不足"));
    EXPECT_EQ(engine::text::saveFailureReason(SaveFailure::Other, "odd"), QStringLiteral("odd"));
    EXPECT_EQ(engine::text::saveFailureReason(SaveFailure::Other, QString()), QString::fromUtf8("未知错误"));
    for (SaveFailure kind :
         {SaveFailure::AccessDenied, SaveFailure::ReadOnlyDisk, SaveFailure::DiskFull, SaveFailure::FolderMissing,
          SaveFailure::NotAFolder, SaveFailure::NameNotValid, SaveFailure::NameTooLong, SaveFailure::FolderInTheWay,
          SaveFailure::TooManyFiles, SaveFailure::DiskError, SaveFailure::TooLarge})
        EXPECT_NE(engine::text::saveFailureReason(kind, "writer"), QStringLiteral("writer"));
    EXPECT_EQ(engine::text::jobStopped(0, 3), QString::fromUtf8("提取已停止,3个值未查找。"));
    EXPECT_EQ(engine::text::saveFailed("/d/a.xlsx", QString::fromUtf8("权限不足")),
              QString::fromUtf8("保存失败:/d/a.xlsx(权限不足)"));
}

}  // namespace
