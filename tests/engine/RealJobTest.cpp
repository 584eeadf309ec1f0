// SPDX-License-Identifier: Apache-2.0
// Whole jobs through the native spreadsheet layer on workbooks written here:
// the result files are read back cell by cell.
#include "SchemaValidation.h"
#include "automation/Automation.h"
#include "engine/JobFolders.h"
#include "engine/JobRunner.h"
#include "engine/JobText.h"
#include "engine/RowLimit.h"
#include "engine/WorkbookFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

namespace {

using Rows = std::vector<QStringList>;

const QRegularExpression kSummary(QStringLiteral("^查找(\\d+)个Excel文件,提取(\\d+)条数据,耗时\\d+秒。(.*)$"));

// "files/rows" of every summary, and whether it carried the CSV sentence.
QStringList summaryCounts(const JobRun &run) {
    QStringList out;
    for (const QString &text : run.texts) {
        const auto m = kSummary.match(text);
        if (m.hasMatch()) out << m.captured(1) + "/" + m.captured(2) + (m.captured(3).isEmpty() ? "" : " csv");
    }
    return out;
}

class RealJobTest : public JobFolders {
protected:
    void TearDown() override {
        engine::setRowLimitForTesting(0);
        automation::setApplicationFactory(nullptr);
    }

    QStringList resultFiles() const {
        QStringList names = QDir(dest.path()).entryList(QDir::Files);
        names.sort();
        return names;
    }
    Rows resultRows(const QString &name) const {
        EXPECT_EQ(schemacheck::joined(schemacheck::packageProblems(out(name).toStdString())), "");
        const files::ReadBack back = files::readXlsxResult(out(name));
        EXPECT_TRUE(back.ok) << name.toStdString();
        return back.rows;
    }
};

TEST_F(RealJobTest, PerValueWorkbooksAreNamedByValueAndHoldTheirRows) {
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"id", "fruit"}, {"1", "apple"}, {"2", "pear"}}, 1}}));
    ASSERT_TRUE(files::writeXlsx(src("b.xlsm"), {{"Sheet1", {{"3", "plum"}, {"4", "apple"}}}}));
    ASSERT_TRUE(files::writeCsv(src("c.csv"), {{"5", "pear"}, {"6", "kiwi"}}));
    options.findText = "apple\npear\nplum";
    options.oneBookPerValue = true;

    const JobRun run = runJob(options);
    EXPECT_EQ(run.endSignals, 1);
    EXPECT_EQ(summaryCounts(run), (QStringList{"3/2", "3/4", "3/5"}));
    EXPECT_EQ(resultFiles(), (QStringList{"apple.xlsx", "pear.xlsx", "plum.xlsx"}));
    // Source files are visited in listing order within the pass; compare as sets.
    Rows apple = resultRows("apple.xlsx");
    std::sort(apple.begin(), apple.end());
    EXPECT_EQ(apple, (Rows{{"1", "apple"}, {"4", "apple"}}));
    Rows pear = resultRows("pear.xlsx");
    std::sort(pear.begin(), pear.end());
    EXPECT_EQ(pear, (Rows{{"2", "pear"}, {"5", "pear"}}));
    EXPECT_EQ(resultRows("plum.xlsx"), (Rows{{"3", "plum"}}));
    EXPECT_EQ(files::readXlsxResult(out("plum.xlsx")).sheetNames.size(), 1);
}

TEST_F(RealJobTest, SingleWorkbookNamesAndDestinationWithoutSeparator) {
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"abc", "1"}, {"xyz", "2"}}}}));
    options.findText = "abc";
    runJob(options);
    EXPECT_EQ(resultRows("abc.xlsx"), (Rows{{"abc", "1"}}));

    options.findText = "abc\nxyz";
    runJob(options);
    EXPECT_EQ(resultRows("RowBasket.xlsx"), (Rows{{"abc", "1"}, {"xyz", "2"}}));

    // A folder typed by hand, without the separator a chosen one ends with.
    QDir(dest.path()).mkdir("typed");
    options.findText = "abc";
    options.savePath = QDir::toNativeSeparators(dest.path() + "/typed");
    const JobRun run = runJob(options);
    EXPECT_TRUE(QFileInfo::exists(out("typed/abc.xlsx")));
    EXPECT_FALSE(QFileInfo::exists(out("typedabc.xlsx")));
    EXPECT_TRUE(run.texts.filter(QRegularExpression("^保存失败:")).isEmpty());
}

TEST_F(RealJobTest, AValueEndingInASpaceNamesItsOwnFile) {
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"apple "}, {"apple"}}}}));
    options.findText = "apple \napple";
    options.oneBookPerValue = true;
    runJob(options);
    EXPECT_EQ(resultFiles(), (QStringList{"apple .xlsx", "apple.xlsx"}));
    EXPECT_EQ(resultRows("apple .xlsx"), (Rows{{"apple "}}));
}

TEST_F(RealJobTest, NoFileWhenNoDataLeavesOutEmptyPerValueResultsOnly) {
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"apple"}}}}));
    options.findText = "apple\nplum";
    options.oneBookPerValue = true;
    options.noFileWhenNoData = true;
    JobRun run = runJob(options);
    EXPECT_EQ(resultFiles(), QStringList{"apple.xlsx"});
    EXPECT_EQ(summaryCounts(run), QStringList{"1/1"});

    options.oneBookPerValue = false;
    options.findText = "plum";
    run = runJob(options);
    EXPECT_EQ(resultFiles(), (QStringList{"apple.xlsx", "plum.xlsx"}));
    EXPECT_TRUE(resultRows("plum.xlsx").empty());
}

TEST_F(RealJobTest, TemplateRowsComeFirstAndTheTemplateIsNotWritten) {
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"fig", "7"}}}}));
    const QString header = QDir::toNativeSeparators(dest.path() + "/tpl/Header.XLSX");
    ASSERT_TRUE(files::writeXlsx(header, {{"Sheet1", {{"Report"}, {"Name", "Count"}}, 2}}));
    const QByteArray before = [&] {
        QFile f(header);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    options.findText = "fig";
    options.useHeaderWorkbook = true;
    options.headerWorkbookPath = header;

    const JobRun run = runJob(options);
    EXPECT_TRUE(run.texts.contains(engine::text::kGettingHeader));
    const files::ReadBack back = files::readXlsxResult(out("fig.xlsx"));
    EXPECT_EQ(back.rows, (Rows{{"Report", ""}, {"Name", "Count"}, {"fig", "7"}}));
    ASSERT_EQ(back.bold.size(), 3u);
    EXPECT_TRUE(back.bold[1][0]);
    QFile after(header);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

TEST_F(RealJobTest, WholeAndPartMatching) {
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"k"}, {"100"}, {"1000"}, {"100 kg"}, {"200"}}}}));
    options.findText = "100";
    options.wholeCellMatch = true;
    runJob(options);
    EXPECT_EQ(resultRows("100.xlsx"), (Rows{{"100"}}));

    options.wholeCellMatch = false;
    runJob(options);
    EXPECT_EQ(resultRows("100.xlsx"), (Rows{{"100"}, {"1000"}, {"100 kg"}}));
}

TEST_F(RealJobTest, SpacesOnlyValuesAreSkippedAndTrailingSpacesKept) {
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"k"}, {"fig"}, {"fig "}, {"   "}}}}));
    options.findText = "   \nfig ";
    options.wholeCellMatch = true;
    const JobRun run = runJob(options);
    EXPECT_EQ(summaryCounts(run), QStringList{"1/1"});
    EXPECT_EQ(resultRows("RowBasket.xlsx"), (Rows{{"fig "}}));
}

TEST_F(RealJobTest, RowFoundTwiceIsCopiedWholeBothTimes) {
    const Rows sheet{{"h", "h", "h", "h"}, {"1", "red apple", "上海", "apple pie"}};
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", sheet}}));
    const Rows twice{sheet[1], sheet[1]};

    // One value in two cells of the row.
    options.findText = "apple";
    JobRun run = runJob(options);
    EXPECT_EQ(summaryCounts(run), QStringList{"1/2"});
    EXPECT_EQ(resultRows("apple.xlsx"), twice);

    // Two values in one row, in both modes.
    options.findText = "上海\nred";
    run = runJob(options);
    EXPECT_EQ(summaryCounts(run), QStringList{"1/2"});
    EXPECT_EQ(resultRows("RowBasket.xlsx"), twice);
    options.oneBookPerValue = true;
    run = runJob(options);
    EXPECT_EQ(resultRows("上海.xlsx"), Rows{sheet[1]});
    EXPECT_EQ(resultRows("red.xlsx"), Rows{sheet[1]});

    // A cell matching two values is still found once.
    options.oneBookPerValue = false;
    options.findText = "apple\napple pie";
    run = runJob(options);
    EXPECT_EQ(summaryCounts(run), QStringList{"1/2"});
}

TEST_F(RealJobTest, CellOnlyCopiesTheFoundCellsIntoColumnA) {
    ASSERT_TRUE(
        files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"k", "v"}, {"1", "kiwi one"}, {"2", "x"}, {"3", "kiwi two"}}}}));
    options.findText = "kiwi";
    options.dataColumnOnly = true;
    runJob(options);
    EXPECT_EQ(resultRows("kiwi.xlsx"), (Rows{{"kiwi one"}, {"kiwi two"}}));
}

TEST_F(RealJobTest, NamedSheetIsCaseSensitive) {
    // Sheet names are unique regardless of case within a workbook, so the cases live apart.
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"sheet1", {{"fig", "lower"}}}, {"Other", {{"fig", "other"}}}}));
    ASSERT_TRUE(files::writeXlsx(src("b.xlsx"), {{"Sheet1", {{"fig", "upper"}}}}));
    options.findText = "fig";
    options.namedSheetOnly = true;
    options.sheetName = "Sheet1";
    const JobRun run = runJob(options);
    EXPECT_EQ(summaryCounts(run), QStringList{"2/1"});
    EXPECT_EQ(resultRows("fig.xlsx"), (Rows{{"fig", "upper"}}));
}

TEST_F(RealJobTest, OneColumnModeSearchesOnlyThatColumnAndCopiesWholeRows) {
    ASSERT_TRUE(files::writeXlsx(
        src("a.xlsx"), {{"Sheet1", {{"a", "b", "c"}, {"fig", "1", "2"}, {"3", "4", "fig"}, {"5", "fig", "fig"}}}}));
    options.findText = "fig";
    options.oneColumnOnly = true;
    options.columnNumber = 3;
    const JobRun run = runJob(options);
    EXPECT_EQ(summaryCounts(run), QStringList{"1/2"});
    Rows rows = resultRows("fig.xlsx");
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (Rows{{"3", "4", "fig"}, {"5", "fig", "fig"}}));
    EXPECT_EQ(files::readXlsxResult(out("fig.xlsx")).sheetNames.size(), 1);
}

TEST_F(RealJobTest, SourceOrderAndWhichFilesAreOpened) {
    const Rows one{{"fig"}};
    for (const char *name : {"top.xlsx", ".hidden.xlsx", "sub1/s1.csv", "sub1/deep/d.xlsx", "sub2/s2.xlsm",
                             ".hiddendir/h.xlsx", "~$lock.xlsx", "a~$b/in.xlsx", "notes.xlsb"}) {
        if (QString(name).endsWith(".csv"))
            ASSERT_TRUE(files::writeCsv(src(name), one));
        else
            ASSERT_TRUE(files::writeXlsx(src(name), {{"Sheet1", one}}));
    }
    ASSERT_TRUE(files::writeCsv(src("BROKEN.XLSX"), {{"not", "a zip"}}));
    options.findText = "fig";
    const JobRun run = runJob(options);

    QStringList visited;
    for (const QString &text : run.texts) {
        if (text.startsWith(QDir::toNativeSeparators(source.path())))
            visited << QDir(source.path()).relativeFilePath(QDir::fromNativeSeparators(text));
    }
    ASSERT_EQ(visited.size(), 6) << visited.join(",").toStdString();
    EXPECT_EQ(QSet<QString>(visited.begin(), visited.begin() + 3),
              (QSet<QString>{"top.xlsx", ".hidden.xlsx", "BROKEN.XLSX"}));
    const int s1 = visited.indexOf("sub1/s1.csv");
    const int s2 = visited.indexOf("sub2/s2.xlsm");
    EXPECT_EQ(visited.indexOf("sub1/deep/d.xlsx"), s1 + 1);
    EXPECT_TRUE((s1 == 3 && s2 == 5) || (s2 == 3 && s1 == 4)) << visited.join(",").toStdString();
    // The broken workbook is shown, not counted, and named with its reason.
    EXPECT_EQ(summaryCounts(run), QStringList{"5/5"});
    const int broken = run.texts.indexOf(src("BROKEN.XLSX"));
    EXPECT_EQ(run.texts.value(broken + 1), QString::fromUtf8("无法读取(不是表格文件):") + src("BROKEN.XLSX"));
    EXPECT_EQ(run.texts.last(), QString::fromUtf8("另有1个文件无法读取,未被查找。"));
}

TEST_F(RealJobTest, MissingApplicationEndsAfterItsMessage) {
    automation::setApplicationFactory(
        [](const QString &) { return automation::createApplication(QStringLiteral("Other.Application")); });
    options.findText = "fig";
    const JobRun run = runJob(options);
    EXPECT_EQ(run.texts, (QStringList{"excel OK!", "WorkBooks OK!", engine::text::kNoApplication}));
    EXPECT_EQ(run.endSignals, 1);
    EXPECT_TRUE(run.endedLast);
}

TEST_F(RealJobTest, TemplateErrorsEndTheJob) {
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"fig"}}}}));
    const QString text = QDir::toNativeSeparators(dest.path() + "/tpl/header.txt");
    const QString fake = QDir::toNativeSeparators(dest.path() + "/tpl/header.xlsx");
    ASSERT_TRUE(files::writeCsv(text, {{"x"}}));
    ASSERT_TRUE(files::writeCsv(fake, {{"not a workbook"}}));
    const std::pair<QString, QString> cases[] = {
        {QDir::toNativeSeparators(dest.path() + "/tpl/none.xlsx"), engine::text::kHeaderMissing},
        {text, engine::text::kHeaderWrongType},
        {fake, engine::text::kHeaderUnopenable},
    };
    options.findText = "fig";
    options.useHeaderWorkbook = true;
    for (const auto &[path, message] : cases) {
        options.headerWorkbookPath = path;
        const JobRun run = runJob(options);
        EXPECT_EQ(run.texts.last(), message);
        EXPECT_EQ(run.endSignals, 1);
        EXPECT_TRUE(run.endedLast);
        EXPECT_FALSE(QFileInfo::exists(out("fig.xlsx")));
    }
}

TEST_F(RealJobTest, PastTheRowLimitEveryRowGoesToTheCsv) {
    engine::setRowLimitForTesting(3);
    Rows rows{{"k", "n"}};
    for (int i = 1; i <= 5; ++i) rows.push_back({"fig", QString::number(i)});
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", rows}}));
    ASSERT_TRUE(files::writeXlsx(src("b.xlsx"), {{"Sheet1", {{"pear", "9"}}}}));
    options.findText = "fig\npear";
    options.oneBookPerValue = true;

    const JobRun run = runJob(options);
    EXPECT_EQ(summaryCounts(run), (QStringList{"2/5 csv", "2/6 csv"}));
    EXPECT_EQ(resultFiles(), (QStringList{"fig.csv", "pear.csv"}));
    const files::ReadBack fig = files::readCsvResult(out("fig.csv"));
    ASSERT_TRUE(fig.ok);
    Rows expected(rows.begin() + 1, rows.end());
    EXPECT_EQ(fig.rows, expected);
}

TEST_F(RealJobTest, ValueThatIsNoFileNameSavesInsideTheDestinationUnderASafeName) {
    ASSERT_TRUE(files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"../escape"}, {"fig"}}}}));
    options.findText = "../escape\nfig";
    options.oneBookPerValue = true;
    const JobRun run = runJob(options);
    EXPECT_FALSE(QFileInfo::exists(QDir::toNativeSeparators(dest.path() + "/../escape.xlsx")));
    EXPECT_TRUE(run.texts.filter(QRegularExpression("^保存失败:")).isEmpty());
    EXPECT_EQ(QDir(dest.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{".._escape.xlsx", "fig.xlsx"}));
    EXPECT_EQ(resultRows(".._escape.xlsx"), Rows{{"../escape"}});
    EXPECT_EQ(run.endSignals, 1);
}

TEST_F(RealJobTest, ValuesThatAreNoFileNamesLoseNoRowInEitherMode) {
    ASSERT_TRUE(
        files::writeXlsx(src("a.xlsx"), {{"Sheet1", {{"k", "n"}, {"1/2 CHEST", "1"}, {"a:b", "2"}, {"a_b", "3"}}}}));
    options.findText = "1/2 CHEST";
    runJob(options);
    EXPECT_EQ(resultRows("1_2 CHEST.xlsx"), (Rows{{"1/2 CHEST", "1"}}));

    options.findText = "1/2 CHEST\na:b\na_b";
    options.oneBookPerValue = true;
    options.wholeCellMatch = true;
    const JobRun run = runJob(options);
    EXPECT_TRUE(run.texts.filter(QRegularExpression("^保存失败:")).isEmpty());
    EXPECT_EQ(resultRows("1_2 CHEST.xlsx"), (Rows{{"1/2 CHEST", "1"}}));
    EXPECT_EQ(resultRows("a_b.xlsx"), (Rows{{"a_b", "3"}}));  // a valid name keeps its own file
    EXPECT_EQ(resultRows("a_b_1.xlsx"), (Rows{{"a:b", "2"}}));
}

}  // namespace
