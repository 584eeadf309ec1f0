// SPDX-License-Identifier: Apache-2.0
// The command line's job: run in a worker thread through the engine's signals,
// every status text delivered in order, the exit status read from them.
#include "cli/CliJob.h"
#include "engine/JobRunner.h"
#include "engine/JobText.h"
#include "engine/RecordingAutomation.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>

namespace {

class CliJobTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_cli";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
    void SetUp() override {
        ASSERT_TRUE(source.isValid());
        ASSERT_TRUE(dest.isValid());
        world = std::make_shared<fake::World>();
        fake::installFactory(world);
        options.sourcePath = QDir::toNativeSeparators(source.path());
        options.savePath = QDir::toNativeSeparators(dest.path() + "/");
    }
    void TearDown() override { fake::restoreFactory(); }

    int run(QStringList *texts, Qt::HANDLE *textThread = nullptr) {
        return cli::runJobInWorkerThread(options, [&](const QString &text) {
            *texts << text;
            if (textThread) *textThread = QThread::currentThreadId();
        });
    }

    QTemporaryDir source, dest;
    std::shared_ptr<fake::World> world;
    engine::OptionSet options;
};

TEST_F(CliJobTest, CompleteJobEndsWithZeroAndTextsArriveInOrderOnTheCallingThread) {
    const QString path = QDir::toNativeSeparators(source.path() + "/a.xlsx");
    ASSERT_TRUE(touchFile(path));
    fake::Book book;
    book.sheets.push_back(fake::makeSheet("Sheet1", {{"fig"}}));
    world->files[path] = book;
    options.findText = "fig";

    QStringList texts;
    Qt::HANDLE textThread = nullptr;
    EXPECT_EQ(run(&texts, &textThread), cli::kJobEnded);
    EXPECT_EQ(textThread, QThread::currentThreadId());
    ASSERT_EQ(texts.size(), 8);
    EXPECT_EQ(texts.first(), engine::text::kApplicationCreated);
    EXPECT_EQ(texts[6], path);
    EXPECT_TRUE(texts.last().startsWith("查找1个Excel文件,提取1条数据,耗时"));
    EXPECT_TRUE(world->saved.contains(QDir::toNativeSeparators(dest.path() + "/fig.xlsx")));
}

TEST_F(CliJobTest, ErrorEndsGiveOne) {
    options.findText = "fig";
    world->noWorkbooks = true;
    QStringList texts;
    EXPECT_EQ(run(&texts), cli::kJobFailed);
    EXPECT_EQ(texts.last(), engine::text::kNoApplication);

    world->noWorkbooks = false;
    options.useHeaderWorkbook = true;
    options.headerWorkbookPath = QDir::toNativeSeparators(source.path() + "/missing.xlsx");
    texts.clear();
    EXPECT_EQ(run(&texts), cli::kJobFailed);
    EXPECT_EQ(texts.last(), engine::text::kHeaderMissing);

    options.useHeaderWorkbook = false;
    world->failingSaves.insert(QDir::toNativeSeparators(dest.path() + "/fig.xlsx"));
    texts.clear();
    EXPECT_EQ(run(&texts), cli::kJobFailed);
    EXPECT_TRUE(texts.last().startsWith(engine::text::kSaveFailedPrefix));
}

TEST_F(CliJobTest, AnInterruptedJobGivesOneAndTheResultSaysWhy) {
    const QString path = QDir::toNativeSeparators(source.path() + "/a.xlsx");
    ASSERT_TRUE(touchFile(path));
    world->throwingOpens.insert(path);
    options.findText = "fig";
    QStringList texts;
    engine::JobResult result;
    EXPECT_EQ(cli::runJobInWorkerThread(
                  options, [&](const QString &text) { texts << text; }, &result),
              cli::kJobFailed);
    EXPECT_TRUE(texts.last().startsWith(engine::text::kInterruptedPrefix));
    EXPECT_EQ(result.errorReason, texts.last());
    EXPECT_EQ(cli::exitStatusOf(result, false), cli::kJobFailed);

    engine::JobResult skipped;
    skipped.files.append(
        engine::SourceFileReport{"/a.xlsx", engine::FileOutcome::NotRead, automation::ReadStatus::Corrupt});
    EXPECT_EQ(cli::exitStatusOf(skipped, false), cli::kJobEnded);
    EXPECT_EQ(cli::exitStatusOf(skipped, true), cli::kFilesNotSearched);
}

}  // namespace
