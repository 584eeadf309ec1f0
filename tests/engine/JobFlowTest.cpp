// SPDX-License-Identifier: Apache-2.0
// Whole jobs over the recording double: the order of status texts and
// automation calls, the passes, the copies and the mended failure paths.
#include "engine/JobRunner.h"
#include "engine/JobText.h"
#include "engine/MergeObject.h"
#include "engine/RecordingAutomation.h"
#include "engine/RowLimit.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QRegularExpression kAnySeconds(QStringLiteral("耗时\\d+秒"));

QString normalised(QString summary) { return summary.replace(kAnySeconds, QStringLiteral("耗时S秒")); }

class JobFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(source.isValid());
        ASSERT_TRUE(dest.isValid());
        world = std::make_shared<fake::World>();
        fake::installFactory(world);
        options.sourcePath = QDir::toNativeSeparators(source.path());
        options.savePath = QDir::toNativeSeparators(dest.path() + "/");
    }
    void TearDown() override {
        fake::restoreFactory();
        engine::setRowLimitForTesting(0);
    }

    // A source workbook on disk (so the listing finds it) whose content the double serves.
    QString addSource(const QString &relative, std::vector<std::shared_ptr<fake::Sheet>> sheets) {
        const QString path = QDir::toNativeSeparators(source.path() + "/" + relative);
        EXPECT_TRUE(touchFile(path));
        fake::Book book;
        book.sheets = std::move(sheets);
        world->files[path] = book;
        return path;
    }
    QString resultPath(const QString &name) const { return QDir::toNativeSeparators(dest.path() + "/" + name); }
    const fake::Sheet &savedResultSheet(const QString &name) const {
        static fake::Sheet none;
        auto it = world->saved.find(resultPath(name));
        if (it == world->saved.end() || it->book.sheets.empty()) return none;
        return *it->book.sheets.front();
    }

    QTemporaryDir source, dest;
    std::shared_ptr<fake::World> world;
    engine::OptionSet options;
};

TEST_F(JobFlowTest, MissingApplicationReportsAndEndsOnce) {
    world->noWorkbooks = true;
    options.findText = "x";
    const JobRun run = runJob(options);
    EXPECT_EQ(run.texts, (QStringList{engine::text::kApplicationCreated, engine::text::kWorkbooksAsked,
                                      engine::text::kNoApplication}));
    EXPECT_EQ(run.endSignals, 1);
    EXPECT_TRUE(run.endedLast);
    EXPECT_EQ(world->calls, (QStringList{"create:Excel.Application", "setVisible:false", "alerts:off", "workbooks",
                                         "quit", "deleted"}));
}

TEST_F(JobFlowTest, PerValueOpensEveryWorkbookOncePerValueAndNamesFilesByValue) {
    QStringList paths;
    for (int i = 0; i < 5; ++i)
        paths << addSource(
            QString("book%1.xlsx").arg(i),
            {fake::makeSheet("Sheet1", {{"id", "fruit"}, {QString::number(i), i < 2 ? "apple" : "pear"}})});
    options.findText = "apple\npear\nplum";
    options.oneBookPerValue = true;

    const JobRun run = runJob(options);
    EXPECT_EQ(run.endSignals, 1);
    EXPECT_TRUE(run.endedLast);
    for (const QString &path : paths) EXPECT_EQ(world->countCalls("open:" + path), 3) << path.toStdString();

    QStringList summaries;
    for (const QString &s : summariesOf(run)) summaries << normalised(s);
    EXPECT_EQ(summaries,
              (QStringList{"查找5个Excel文件,提取2条数据,耗时S秒。", "查找5个Excel文件,提取5条数据,耗时S秒。",
                           "查找5个Excel文件,提取5条数据,耗时S秒。"}));
    for (const char *name : {"apple.xlsx", "pear.xlsx", "plum.xlsx"})
        EXPECT_TRUE(world->saved.contains(resultPath(name))) << name;
    EXPECT_EQ(fake::rowsOf(savedResultSheet("apple.xlsx")).size(), 2u);
    EXPECT_TRUE(fake::rowsOf(savedResultSheet("plum.xlsx")).empty());
    // The scratch sheet never reaches a saved file.
    EXPECT_EQ(world->saved[resultPath("apple.xlsx")].book.sheets.size(), 1u);
}

TEST_F(JobFlowTest, PassBeginsWithItsTextsAndVisitsFilesInListedOrder) {
    const QString book = addSource("a.xlsx", {fake::makeSheet("Sheet1", {{"abc"}})});
    addSource("notes.txt", {});
    options.findText = "abc";
    const JobRun run = runJob(options);
    ASSERT_EQ(run.texts.size(), 8) << run.texts.join("|").toStdString();
    EXPECT_EQ(run.texts.mid(0, 7), (QStringList{"excel OK!", "WorkBooks OK!", "AddWorkBook OK!", "ActiveWorkBook OK!",
                                                "AddWorkBook OK!", "ActiveWorkBook OK!", book}));
    EXPECT_EQ(normalised(run.texts[7]), "查找1个Excel文件,提取1条数据,耗时S秒。");
    EXPECT_TRUE(world->saved.contains(resultPath("abc.xlsx")));

    // The calls of the one found cell, and the end of the pass, in order.
    const QStringList expectedTail{
        "find:abc", "copy", "find:abc", "clear", "close", "deleteSheet", "saveAs:" + resultPath("abc.xlsx"),
        "close",    "quit", "deleted"};
    const int at = world->calls.indexOf("open:" + book);
    ASSERT_GE(at, 0);
    QStringList tail;
    for (const QString &call : world->calls.mid(at + 1)) {
        if (call != "active") tail << call;
    }
    EXPECT_EQ(tail, expectedTail);
}

TEST_F(JobFlowTest, OneColumnModeSearchesOnlyThatColumnThroughTheScratchSheet) {
    addSource("a.xlsx", {fake::makeSheet("Sheet1", {{"a", "b", "c"}, {"fig", "1", "2"}, {"3", "4", "fig"}})});
    options.findText = "fig";
    options.oneColumnOnly = true;
    options.columnNumber = 3;
    runJob(options);
    EXPECT_EQ(fake::rowsOf(savedResultSheet("fig.xlsx")), (std::vector<QStringList>{{"3", "4", "fig"}}));
    // The column copy comes before the search, the clear after it.
    const int open = world->calls.indexOf(QRegularExpression("^open:"));
    const QStringList afterOpen = world->calls.mid(open);
    EXPECT_LT(afterOpen.indexOf("copy"), afterOpen.indexOf("find:fig"));
    EXPECT_LT(afterOpen.lastIndexOf("find:fig"), afterOpen.indexOf("clear"));
}

TEST_F(JobFlowTest, EmptySheetsAndChartSheetsAreNotSearched) {
    auto chart = fake::makeSheet("Chart1", {});
    chart->chart = true;
    addSource("a.xlsx", {fake::makeSheet("Empty", {}), chart, fake::makeSheet("One", {{"fig"}})});
    options.findText = "fig";
    const JobRun run = runJob(options);
    EXPECT_EQ(world->countCalls("find:fig"), 2);  // one hit, then nothing more, on sheet One only
    EXPECT_EQ(world->countCalls("clear"), 2);     // the empty sheet and sheet One
    EXPECT_EQ(run.endSignals, 1);
}

TEST_F(JobFlowTest, SearchGoesRoundOnceAndNeverEmptiesTheSource) {
    addSource("a.xlsx", {fake::makeSheet("Sheet1", {{"h"}, {"fig"}, {"fig figs"}})});
    options.findText = "fig\nfigs";
    const JobRun run = runJob(options);
    // fig: two hits, then the search comes back to its first hit and stops;
    // figs: its one cell was found for fig already, so it is not copied again.
    EXPECT_EQ(normalised(summariesOf(run).value(0)), "查找1个Excel文件,提取2条数据,耗时S秒。");
    EXPECT_EQ(world->countCalls("find:fig"), 3);
    EXPECT_EQ(world->countCalls("find:figs"), 2);
    EXPECT_EQ(fake::rowsOf(savedResultSheet("RowBasket.xlsx")), (std::vector<QStringList>{{"fig"}, {"fig figs"}}));
    EXPECT_EQ(run.endSignals, 1);
}

TEST_F(JobFlowTest, HeaderTemplateErrorsEndTheJobInOrder) {
    addSource("a.xlsx", {fake::makeSheet("Sheet1", {{"fig"}})});
    const QString unopenable = QDir::toNativeSeparators(dest.path() + "/plain.xlsx");
    const QString wrongType = QDir::toNativeSeparators(dest.path() + "/header.txt");
    const QString lockDir = QDir::toNativeSeparators(dest.path() + "/a~$b/header.xlsx");
    for (const QString &p : {unopenable, wrongType, lockDir}) ASSERT_TRUE(touchFile(p));
    const struct {
        QString path, message;
    } cases[] = {
        {QDir::toNativeSeparators(dest.path() + "/none.xlsx"), engine::text::kHeaderMissing},
        {wrongType, engine::text::kHeaderWrongType},
        {lockDir, engine::text::kHeaderWrongType},
        {unopenable, engine::text::kHeaderUnopenable},
    };
    options.findText = "fig";
    options.useHeaderWorkbook = true;
    for (const auto &c : cases) {
        world->calls.clear();
        options.headerWorkbookPath = c.path;
        const JobRun run = runJob(options);
        QStringList expected{"excel OK!", "WorkBooks OK!", "AddWorkBook OK!", "ActiveWorkBook OK!"};
        if (c.message == engine::text::kHeaderUnopenable) expected << engine::text::kGettingHeader;
        expected << c.message;
        EXPECT_EQ(run.texts, expected) << c.path.toStdString();
        EXPECT_EQ(run.endSignals, 1);
        EXPECT_TRUE(run.endedLast);
        EXPECT_EQ(world->calls.mid(world->calls.size() - 2), (QStringList{"quit", "deleted"}));
        EXPECT_TRUE(world->saved.isEmpty());
    }
}

TEST_F(JobFlowTest, FailedSaveIsReportedAfterTheSummaryAndValuesUnfitForNamesStillSave) {
    addSource("a.xlsx", {fake::makeSheet("Sheet1", {{"fig"}, {"a/b"}, {"a?"}})});
    world->failingSaves.insert(resultPath("fig.xlsx"));
    options.findText = "fig\na/b\na?";
    options.oneBookPerValue = true;
    const JobRun run = runJob(options);
    const QStringList failures = run.texts.filter(QRegularExpression("^保存失败:"));
    // A reason without words of the window's own is the writer's.
    EXPECT_EQ(failures, (QStringList{"保存失败:" + resultPath("fig.xlsx") + "(refused)"}));
    const int firstFailure = run.texts.indexOf(failures[0]);
    EXPECT_TRUE(run.texts[firstFailure - 1].startsWith("查找"));
    // The other two values save under safe names inside the destination.
    EXPECT_EQ(fake::rowsOf(savedResultSheet("a_b.xlsx")), (std::vector<QStringList>{{"a/b"}}));
    EXPECT_EQ(fake::rowsOf(savedResultSheet("a_.xlsx")), (std::vector<QStringList>{{"a?"}}));
    EXPECT_EQ(run.endSignals, 1);
}

TEST_F(JobFlowTest, EmptyValueListRunsNoPassPerValueAndOneEmptyPassOtherwise) {
    addSource("a.xlsx", {fake::makeSheet("Sheet1", {{"fig"}})});
    options.findText = "";
    options.oneBookPerValue = true;
    JobRun run = runJob(options);
    EXPECT_EQ(run.texts, (QStringList{"excel OK!", "WorkBooks OK!"}));
    EXPECT_EQ(run.endSignals, 1);

    options.oneBookPerValue = false;
    run = runJob(options);
    EXPECT_EQ(world->saved.keys(), QStringList{resultPath("RowBasket.xlsx")});
    EXPECT_EQ(world->countCallsStartingWith("find:"), 0);
}

TEST_F(JobFlowTest, AnExceptionInsideTheJobEndsItWithTheInterruptTextAndTheEndSignal) {
    const QString book = addSource("a.xlsx", {fake::makeSheet("Sheet1", {{"fig"}})});
    world->throwingOpens.insert(book);
    options.findText = "fig";
    engine::optionSet() = options;
    MergeObject worker(QStringLiteral("tem"));
    QStringList texts;
    int endSignals = 0;
    QObject::connect(&worker, &MergeObject::ShowDisposingFile, [&](const QString &t) { texts << t; });
    QObject::connect(&worker, &MergeObject::Signal_SetButtonEnable, [&] { ++endSignals; });
    worker.ExcelFilter();

    EXPECT_EQ(texts.last(), QString::fromUtf8("提取中断:the double was told to fail here"));
    EXPECT_EQ(endSignals, 1);
    EXPECT_EQ(worker.result().outcome, engine::JobResult::Outcome::Error);
    EXPECT_EQ(worker.result().errorReason, texts.last());
    EXPECT_TRUE(world->saved.isEmpty());
    // The application is let go of on the way out.
    EXPECT_EQ(world->calls.last(), "deleted");
}

TEST_F(JobFlowTest, TheWorkerKeepsTheOptionsItWasMadeWith) {
    addSource("a.xlsx", {fake::makeSheet("Sheet1", {{"fig"}, {"pear"}})});
    options.findText = "fig";
    engine::optionSet() = options;
    MergeObject worker(QStringLiteral("tem"));
    // The window may change the process-wide set while the job runs; the job never sees it.
    engine::optionSet().findText = "pear";
    engine::optionSet().savePath = "/nowhere/";
    worker.ExcelFilter();
    EXPECT_TRUE(world->saved.contains(resultPath("fig.xlsx")));
    EXPECT_EQ(fake::rowsOf(savedResultSheet("fig.xlsx")), (std::vector<QStringList>{{"fig"}}));
}

}  // namespace
