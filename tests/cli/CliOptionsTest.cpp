// SPDX-License-Identifier: Apache-2.0
// The command line as the window would fill the option set, and the refusals.
#include "cli/CliOptions.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using Outcome = cli::ParsedCommandLine::Outcome;

class CliOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath("src"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
        src = dir.path() + "/src";
        out = dir.path() + "/out";
    }
    cli::ParsedCommandLine parse(QStringList args) const {
        args.prepend("rowsifter-cli");
        return cli::parseCommandLine(args);
    }
    QString writeFile(const QString &name, const QByteArray &bytes) const {
        const QString path = dir.path() + "/" + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir dir;
    QString src, out;
};

TEST_F(CliOptionsTest, FlagsFillTheOptionSet) {
    const QString header = writeFile("head.xlsx", "x");
    const auto parsed = parse({"--source", src, "--dest", out, "--find", "apple", "--find", "pear", "--whole",
                               "--sheet", "Sheet1", "--per-value", "--no-empty-files", "--template", header});
    ASSERT_EQ(parsed.outcome, Outcome::Run) << parsed.message.toStdString();
    const engine::OptionSet &o = parsed.options;
    EXPECT_EQ(o.sourcePath, QDir::toNativeSeparators(src));
    EXPECT_EQ(o.savePath, QDir::toNativeSeparators(out) + QDir::separator());
    EXPECT_EQ(o.findText, "apple\npear");
    EXPECT_TRUE(o.wholeCellMatch);
    EXPECT_TRUE(o.namedSheetOnly);
    EXPECT_EQ(o.sheetName, "Sheet1");
    EXPECT_TRUE(o.oneBookPerValue);
    EXPECT_TRUE(o.noFileWhenNoData);
    EXPECT_TRUE(o.useHeaderWorkbook);
    EXPECT_EQ(o.headerWorkbookPath, QDir::toNativeSeparators(header));
    EXPECT_FALSE(o.oneColumnOnly);
    EXPECT_FALSE(o.dataColumnOnly);
}

TEST_F(CliOptionsTest, DestinationKeepsAnExistingTrailingSeparator) {
    const auto parsed = parse({"--source", src, "--dest", out + "/", "--find", "x"});
    ASSERT_EQ(parsed.outcome, Outcome::Run);
    EXPECT_EQ(parsed.options.savePath, QDir::toNativeSeparators(out + "/"));
}

TEST_F(CliOptionsTest, ValuesAreJoinedAndTrimmedAsAWhole) {
    const QString file = writeFile("values.txt", "\xEF\xBB\xBF  plum\r\n\r\nfig \r\n\n");
    const auto parsed =
        parse({"--source", src, "--dest", out, "--find", " apple \n\npear", "--find-file", file, "--column", "3"});
    ASSERT_EQ(parsed.outcome, Outcome::Run) << parsed.message.toStdString();
    EXPECT_EQ(parsed.options.findText, "apple \n\npear\n  plum\n\nfig");
    EXPECT_TRUE(parsed.options.oneColumnOnly);
    EXPECT_EQ(parsed.options.columnNumber, 3);
}

TEST_F(CliOptionsTest, CellOnlyAloneIsAccepted) {
    const auto parsed = parse({"--source", src, "--dest", out, "--find", "x", "--cell-only"});
    ASSERT_EQ(parsed.outcome, Outcome::Run);
    EXPECT_TRUE(parsed.options.dataColumnOnly);
}

TEST_F(CliOptionsTest, BadArgumentsAreRefusedWithAReason) {
    const QString missing = dir.path() + "/none";
    const QString aFile = writeFile("plain.txt", "x");
    const std::vector<QStringList> cases = {
        {"--dest", out, "--find", "x"},
        {"--source", src, "--find", "x"},
        {"--source", missing, "--dest", out, "--find", "x"},
        {"--source", src, "--dest", missing, "--find", "x"},
        {"--source", src, "--dest", aFile, "--find", "x"},
        {"--source", src, "--dest", out},
        {"--source", src, "--dest", out, "--find", "  \n "},
        {"--source", src, "--dest", out, "--find-file", missing},
        {"--source", src, "--dest", out, "--find", "x", "--column", "0"},
        {"--source", src, "--dest", out, "--find", "x", "--column", "abc"},
        {"--source", src, "--dest", out, "--find", "x", "--column", "16385"},
        {"--source", src, "--dest", out, "--find", "x", "--column", "2", "--cell-only"},
        {"--source", src, "--dest", out, "--find", "x", "--bogus"},
        {"--source", src, "--dest", out, "--find", "x", "stray"},
        {"--source", src, "--source", src, "--dest", out, "--find", "x"},
        {"--source", src, "--dest", out, "--find"},
    };
    for (const QStringList &args : cases) {
        const auto parsed = parse(args);
        EXPECT_EQ(parsed.outcome, Outcome::Invalid) << args.join(' ').toStdString();
        EXPECT_FALSE(parsed.message.isEmpty()) << args.join(' ').toStdString();
    }
}

TEST_F(CliOptionsTest, HelpListsEveryFlag) {
    const auto parsed = parse({"--help"});
    ASSERT_EQ(parsed.outcome, Outcome::Help);
    for (const char *flag : {"--source", "--dest", "--find", "--find-file", "--whole", "--column", "--sheet",
                             "--cell-only", "--per-value", "--no-empty-files", "--template", "--help", "--version"})
        EXPECT_TRUE(parsed.message.contains(QLatin1String(flag))) << flag;
}

// The job copies whole rows in per-value mode whatever --cell-only says; the
// help says so where either option is described.
TEST_F(CliOptionsTest, HelpSaysPerValueLeavesCellOnlyAside) {
    const auto parsed = parse({"--help"});
    ASSERT_EQ(parsed.outcome, Outcome::Help);
    const auto entry = [&parsed](const QString &flag) {
        const int start = parsed.message.indexOf(QStringLiteral("  ") + flag + QLatin1Char(' '));
        const int next = parsed.message.indexOf(QStringLiteral("\n  --"), start);
        return parsed.message.mid(start, next - start);
    };
    EXPECT_TRUE(entry(QStringLiteral("--cell-only")).contains(QLatin1String("--per-value")));
    EXPECT_TRUE(entry(QStringLiteral("--per-value")).contains(QLatin1String("--cell-only")));
}

}  // namespace
