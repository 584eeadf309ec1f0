// SPDX-License-Identifier: Apache-2.0
// The rowsifter-cli executable as a user runs it: help, refusals, a real job.
#include "engine/WorkbookFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Finished {
    int exitCode = -1;
    QString out, err;
};

Finished runCli(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(ROWSIFTER_CLI_PATH), arguments);
    Finished f;
    if (!process.waitForFinished(60000)) return f;
    f.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    f.out = QString::fromUtf8(process.readAllStandardOutput());
    f.err = QString::fromUtf8(process.readAllStandardError());
    return f;
}

TEST(CliProcess, HelpExitsZero) {
    const Finished f = runCli({"--help"});
    EXPECT_EQ(f.exitCode, 0);
    EXPECT_TRUE(f.out.contains("--find-file"));
}

// The version comes from project() in CMake; help2man reads this first line.
TEST(CliProcess, VersionIsTheProjectVersionOnOneLine) {
    const Finished f = runCli({"--version"});
    EXPECT_EQ(f.exitCode, 0);
    EXPECT_EQ(f.out, QStringLiteral("rowsifter-cli " ROWSIFTER_PROJECT_VERSION "\n"));
    EXPECT_TRUE(f.err.isEmpty()) << f.err.toStdString();
}

TEST(CliProcess, BadArgumentsExitTwoWithTheReason) {
    const Finished f = runCli({"--source", "/no/such/folder", "--dest", "/tmp", "--find", "x"});
    EXPECT_EQ(f.exitCode, 2);
    EXPECT_TRUE(f.err.contains("/no/such/folder")) << f.err.toStdString();
    EXPECT_EQ(runCli({"--bogus"}).exitCode, 2);
}

TEST(CliProcess, JobPrintsEveryStatusTextAndReportsErrorsInItsExitCode) {
    QTemporaryDir source, dest;
    ASSERT_TRUE(source.isValid() && dest.isValid());
    ASSERT_TRUE(files::writeXlsx(source.path() + "/a.xlsx", {{"Sheet1", {{"id", "name"}, {"7", "苹果 apple"}}}}));

    Finished f = runCli({"--source", source.path(), "--dest", dest.path(), "--find", "苹果"});
    EXPECT_EQ(f.exitCode, 0) << f.err.toStdString();
    const QStringList lines = f.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 8) << f.err.toStdString();
    EXPECT_EQ(lines.first(), "excel OK!");
    EXPECT_EQ(lines[6], QDir::toNativeSeparators(source.path() + "/a.xlsx"));
    EXPECT_TRUE(lines.last().startsWith("查找1个Excel文件,提取1条数据,耗时"));
    const files::ReadBack back = files::readXlsxResult(dest.path() + "/苹果.xlsx");
    EXPECT_EQ(back.rows, (std::vector<QStringList>{{"7", "苹果 apple"}}));

    f = runCli({"--source", source.path(), "--dest", dest.path(), "--find", "苹果", "--template",
                dest.path() + "/missing.xlsx"});
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.err.trimmed().endsWith("包含表头的excel文件不存在,请选择,或取消[指定表头]选项!"));
}

TEST(CliProcess, ReportListsEveryWorkbookAndStrictTellsOfSkippedOnes) {
    QTemporaryDir source, dest;
    ASSERT_TRUE(source.isValid() && dest.isValid());
    ASSERT_TRUE(files::writeXlsx(source.path() + "/good.xlsx", {{"Sheet1", {{"7", "苹果"}, {"8", "苹果, red"}}}}));
    QFile noise(source.path() + "/noise.xlsx");
    ASSERT_TRUE(noise.open(QIODevice::WriteOnly));
    noise.write(QByteArray(3000, '\x17'));
    noise.close();
    const QString report = dest.path() + "/report.csv";
    const QStringList job{"--source", source.path(), "--dest", dest.path(), "--find", "苹果", "--report", report};

    Finished f = runCli(job);
    EXPECT_EQ(f.exitCode, 0) << f.err.toStdString();
    const QString noisePath = QDir::toNativeSeparators(source.path() + "/noise.xlsx");
    EXPECT_TRUE(f.err.contains("无法读取(不是表格文件):" + noisePath)) << f.err.toStdString();
    EXPECT_TRUE(f.err.trimmed().endsWith("另有1个文件无法读取,未被查找。")) << f.err.toStdString();

    QFile file(report);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    QStringList lines = QString::fromUtf8(bytes.mid(3)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << bytes.toStdString();
    EXPECT_EQ(lines.takeFirst(), "path,outcome,sheets searched,rows extracted,formulas not evaluated");
    lines.sort();
    EXPECT_EQ(lines, (QStringList{QDir::toNativeSeparators(source.path() + "/good.xlsx") + ",searched,1,2,0",
                                  noisePath + ",not a workbook,0,0,0"}));

    f = runCli(job + QStringList{"--strict"});
    EXPECT_EQ(f.exitCode, 3);
    QFile::remove(noise.fileName());
    f = runCli(job + QStringList{"--strict"});
    EXPECT_EQ(f.exitCode, 0) << f.err.toStdString();

    // A report that cannot be written is a failed job, not a quiet one.
    f = runCli({"--source", source.path(), "--dest", dest.path(), "--find", "苹果", "--report",
                dest.path() + "/no/such/folder/r.csv"});
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.err.contains("cannot write the report")) << f.err.toStdString();
}

}  // namespace
