// The rowsifter-cli executable as a user runs it: help, refusals, a real job.
#include "engine/WorkbookFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Finished {
    int exitCode = -1;
    QString out, err;
};

Finished runCli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(ROWSIFTER_CLI_PATH), arguments);
    Finished f;
    if (!process.waitForFinished(60000))
        return f;
    f.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    f.out = QString::fromUtf8(process.readAllStandardOutput());
    f.err = QString::fromUtf8(process.readAllStandardError());
    return f;
}

TEST(CliProcess, HelpExitsZero)
{
    const Finished f = runCli({"--help"});
    EXPECT_EQ(f.exitCode, 0);
    EXPECT_TRUE(f.out.contains("--find-file"));
}

// The version comes from project() in CMake; help2man reads this first line.
TEST(CliProcess, VersionIsTheProjectVersionOnOneLine)
{
    const Finished f = runCli({"--version"});
    EXPECT_EQ(f.exitCode, 0);
    EXPECT_EQ(f.out, QStringLiteral("rowsifter-cli " ROWSIFTER_PROJECT_VERSION "\n"));
    EXPECT_TRUE(f.err.isEmpty()) << f.err.toStdString();
}

TEST(CliProcess, BadArgumentsExitTwoWithTheReason)
{
    const Finished f = runCli({"--source", "/no/such/folder", "--dest", "/tmp", "--find", "x"});
    EXPECT_EQ(f.exitCode, 2);
    EXPECT_TRUE(f.err.contains("/no/such/folder")) << f.err.toStdString();
    EXPECT_EQ(runCli({"--bogus"}).exitCode, 2);
}

TEST(CliProcess, JobPrintsEveryStatusTextAndReportsErrorsInItsExitCode)
{
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

}  // namespace
