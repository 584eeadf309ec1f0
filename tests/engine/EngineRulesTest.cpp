// SPDX-License-Identifier: Apache-2.0
// The job's pure rules: search values, which paths are workbooks, which values
// may name a file, the summary text and the source listing.
#include "engine/JobRunner.h"
#include "engine/JobText.h"
#include "engine/MergeObject.h"
#include "engine/ResultNaming.h"
#include "engine/SearchValues.h"
#include "engine/SourceListing.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QSet>
#include <QTemporaryDir>

namespace {

struct ValuesCase {
    const char *text;
    QStringList expected;
};

TEST(SearchValues, SplitDropEmptyAndLaterDuplicates) {
    const ValuesCase cases[] = {
        {"a\n\n\nb", {"a", "b"}},       {"a\na\nA", {"a", "A"}},      {" a\na", {" a", "a"}},
        {"abc \nabc", {"abc ", "abc"}}, {"   \nx", {"   ", "x"}},     {"", {}},
        {"b\na\nb\na", {"b", "a"}},     {"甲\n乙\n甲", {"甲", "乙"}},
    };
    for (const ValuesCase &c : cases)
        EXPECT_EQ(engine::searchValuesFrom(QString::fromUtf8(c.text)), c.expected) << c.text;
}

TEST(WorkbookPath, AcceptsTheFourExtensionsWithoutOwnerLockMarker) {
    const std::pair<const char *, bool> cases[] = {
        {"/d/BOOK.XLSX", true},      {"/d/book.xls", true},  {"/d/book.csv", true},     {"/d/book.XlSm", true},
        {"/d/book.xlsb", false},     {"/d/book.txt", false}, {"/d/~$book.xlsx", false}, {"/d/a~$b/book.xlsx", false},
        {"/d/book.xlsx.bak", false}, {"/d/book", false},
    };
    for (const auto &[path, accepted] : cases)
        EXPECT_EQ(engine::isWorkbookPath(QString::fromUtf8(path)), accepted) << path;
}

TEST(ResultNaming, ValidNamesStayAndOthersBecomeSafeNamesInsideTheDestination) {
    const std::pair<const char *, const char *> cases[] = {
        // valid names are kept exactly
        {"apple", "apple"},
        {" 100 kg", " 100 kg"},
        {"苹果", "苹果"},
        {"a.b", "a.b"},
        {"CONSOLE", "CONSOLE"},
        // only the whole file name's end may not be a dot or space, and the suffix is that end
        {"apple ", "apple "},
        {"abc. .", "abc. ."},
        {"..", ".."},
        {"   ", "   "},
        // refused characters become "_"
        {"1/2 CHEST", "1_2 CHEST"},
        {"http://example.org", "http___example.org"},
        {"Resize by 2:", "Resize by 2_"},
        {"\"quoted\"", "_quoted_"},
        {"a\\b", "a_b"},
        {"<x>|*?", "_x____"},
        {"tab\there", "tab_here"},
        // refused characters at the end become "_" like any other; nothing gives "_"
        {"what?", "what_"},
        {"", "_"},
        // device names get "_" after the name, with or without an extension
        {"CON", "CON_"},
        {"nul", "nul_"},
        {"com1", "com1_"},
        {"LPT9.txt", "LPT9_.txt"},
        {"AUX ", "AUX _"},
        {"con .", "con _."},
    };
    for (const auto &[value, expected] : cases) {
        const QString name = engine::safeFileBaseName(QString::fromUtf8(value));
        EXPECT_EQ(name, QString::fromUtf8(expected)) << value;
        EXPECT_TRUE(engine::isValidFileBaseName(name)) << value;
        const QString path = engine::resultFilePath("/out/", name, engine::kWorkbookSuffix);
        EXPECT_EQ(QFileInfo(path).absolutePath(), QDir::toNativeSeparators("/out")) << value;
    }
}

TEST(ResultNaming, LongNamesAreCutAtWholeCharactersToFitTheFileSystem) {
    const QString chinese = QString::fromUtf8("长").repeated(200);  // 600 bytes of UTF-8
    const QString cut = engine::safeFileBaseName(chinese);
    const int bytes = (cut + engine::kWorkbookSuffix).toUtf8().size();
    EXPECT_LE(bytes, engine::kMaxFileNameBytes);
    EXPECT_GT(bytes, engine::kMaxFileNameBytes - 3);
    EXPECT_TRUE(chinese.startsWith(cut));

    const QString emoji = QString::fromUtf8("😀").repeated(100);  // surrogate pairs, 4 bytes each
    const QString cutEmoji = engine::safeFileBaseName(emoji);
    EXPECT_EQ(cutEmoji.size() % 2, 0);
    EXPECT_TRUE(emoji.startsWith(cutEmoji));
    EXPECT_LE((cutEmoji + engine::kWorkbookSuffix).toUtf8().size(), engine::kMaxFileNameBytes);
}

TEST(ResultNaming, ValuesThatShareASafeNameGetDistinctFiles) {
    const QStringList values{"a/b", "a:b", "a_b", "A*B", "x"};
    const QStringList names = engine::resultBaseNames(values);
    EXPECT_EQ(names, (QStringList{"a_b_1", "a_b_2", "a_b", "A_B_3", "x"}));
    // A trailing space makes another valid name: neither value needs a number.
    EXPECT_EQ(engine::resultBaseNames({"apple ", "apple", "apple."}), (QStringList{"apple ", "apple", "apple."}));

    const QString longValue = QString(300, QLatin1Char('z'));
    const QStringList longNames = engine::resultBaseNames({longValue + "/", longValue + ":"});
    ASSERT_EQ(longNames.size(), 2);
    EXPECT_NE(longNames[0], longNames[1]);
    for (const QString &name : longNames)
        EXPECT_LE((name + engine::kWorkbookSuffix).toUtf8().size(), engine::kMaxFileNameBytes);
}

TEST(ResultNaming, FolderTypedWithoutSeparatorTakesTheNameInside) {
    EXPECT_EQ(engine::resultFilePath("/out/", "abc", engine::kWorkbookSuffix),
              QDir::toNativeSeparators("/out/abc.xlsx"));
    EXPECT_EQ(engine::resultFilePath("/out", "abc", engine::kCsvSuffix), QDir::toNativeSeparators("/out/abc.csv"));
    EXPECT_EQ(engine::resultFilePath("C:\\Out", "abc", engine::kCsvSuffix),
              QDir::toNativeSeparators("C:\\Out/abc.csv"));
    const QStringList values{"apple", "pear"};
    EXPECT_EQ(engine::passNameValue(values, 1, true), "pear");
    EXPECT_EQ(engine::passNameValue(values, 0, false), QString());
    EXPECT_EQ(engine::passNameValue({"abc"}, 0, false), "abc");
}

TEST(JobText, SummaryReadsAsTheWindowShowsIt) {
    EXPECT_EQ(engine::text::summary(12, 30, 4, false), QString::fromUtf8("查找12个Excel文件,提取30条数据,耗时4秒。"));
    EXPECT_EQ(
        engine::text::summary(1, 1048570, 0, true),
        QString::fromUtf8("查找1个Excel文件,提取1048570条数据,耗时0秒。因行数超出excel限制,文件需保存为csv格式!"));
    EXPECT_EQ(engine::text::filesNotSearched(3), QString::fromUtf8("另有3个文件无法读取,未被查找。"));
    using automation::ReadStatus;
    const auto notRead = [](ReadStatus why) {
        return engine::SourceFileReport{QStringLiteral("/a.xlsx"), engine::FileOutcome::NotRead, why};
    };
    // Each read failure in the status line and in the report, from the one vocabulary.
    const struct {
        ReadStatus why;
        const char *prefix;
        const char *word;
    } failures[] = {
        {ReadStatus::Encrypted, "无法读取(文件已加密):", "encrypted"},
        {ReadStatus::Corrupt, "无法读取(文件已损坏):", "damaged"},
        {ReadStatus::NotAWorkbook, "无法读取(不是表格文件):", "not a workbook"},
        {ReadStatus::Unsupported, "无法读取(不支持的格式):", "unsupported"},
        {ReadStatus::Unreadable, "无法读取(无法打开):", "unreadable"},
        {ReadStatus::NotFound, "无法读取(无法打开):", "unreadable"},
        {ReadStatus::TooLarge, "无法读取(无法打开):", "unreadable"},
    };
    for (const auto &f : failures) {
        EXPECT_EQ(engine::text::notSearchedPrefix(notRead(f.why)), QString::fromUtf8(f.prefix)) << f.word;
        EXPECT_EQ(engine::fileOutcomeName(notRead(f.why)), QString::fromUtf8(f.word));
    }
    engine::SourceFileReport stopped{QStringLiteral("/b.xlsx"), engine::FileOutcome::Stopped};
    EXPECT_EQ(engine::text::notSearchedPrefix(stopped), engine::text::kNotReachedPrefix);
    EXPECT_EQ(engine::fileOutcomeName(stopped), QStringLiteral("stopped"));
}

class SourceListingTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString &relative) const { return dir.path() + "/" + relative; }
};

TEST_F(SourceListingTest, FilesComeBeforeSubfolderBlocksAndHiddenFoldersStayOut) {
    ASSERT_TRUE(dir.isValid());
    for (const char *name : {"r1.xlsx", ".hidden.xlsx", "r2.txt", "s1/a.xlsx", "s1/b.csv", "s1/deep/c.xls", "s2/d.xlsx",
                             "s2/e.xlsm", ".hiddendir/x.xlsx"})
        ASSERT_TRUE(touchFile(path(name)));

    const QStringList listed = engine::listSourceFiles(dir.path());
    QStringList relative;
    for (const QString &p : listed) relative << QDir(dir.path()).relativeFilePath(p);
    ASSERT_EQ(relative.size(), 8) << relative.join(",").toStdString();

    // The root's own three files first, in any order among themselves.
    EXPECT_EQ(QSet<QString>(relative.begin(), relative.begin() + 3),
              (QSet<QString>{"r1.xlsx", ".hidden.xlsx", "r2.txt"}));
    EXPECT_FALSE(relative.contains(".hiddendir/x.xlsx"));

    // Each subfolder is one block; a folder's files precede its own subfolders.
    const auto pos = [&relative](const char *name) { return relative.indexOf(QString::fromUtf8(name)); };
    const int s1Start = std::min(pos("s1/a.xlsx"), pos("s1/b.csv"));
    EXPECT_EQ(std::max(pos("s1/a.xlsx"), pos("s1/b.csv")), s1Start + 1);
    EXPECT_EQ(pos("s1/deep/c.xls"), s1Start + 2);
    const int s2Start = std::min(pos("s2/d.xlsx"), pos("s2/e.xlsm"));
    EXPECT_EQ(std::max(pos("s2/d.xlsx"), pos("s2/e.xlsm")), s2Start + 1);
    EXPECT_TRUE((s1Start == 3 && s2Start == 6) || (s2Start == 3 && s1Start == 5)) << relative.join(",").toStdString();
}

TEST_F(SourceListingTest, LinksToFilesAreLeftOutAndLinkLoopsEnd) {
    ASSERT_TRUE(touchFile(path("a.xlsx")));
    ASSERT_TRUE(touchFile(path("sub/b.xlsx")));
    ASSERT_TRUE(QFile::link(path("a.xlsx"), path("link.xlsx")));
    ASSERT_TRUE(QFile::link(dir.path(), path("sub/back")));

    QStringList relative;
    for (const QString &p : engine::listSourceFiles(dir.path())) relative << QDir(dir.path()).relativeFilePath(p);
    relative.sort();
    EXPECT_EQ(relative, (QStringList{"a.xlsx", "sub/b.xlsx"}));
}

TEST_F(SourceListingTest, MissingFolderGivesNothing) {
    EXPECT_TRUE(engine::listSourceFiles(path("nothing-here")).isEmpty());
    EXPECT_TRUE(engine::listSourceFiles(QString()).isEmpty());
}

}  // namespace

namespace {

// The window connects by these signatures, in this meta-object order.
TEST(MergeObjectMeta, SignalsThenSlotInOrder) {
    const QMetaObject &meta = MergeObject::staticMetaObject;
    const int first = meta.methodOffset();
    ASSERT_EQ(meta.methodCount() - first, 4);
    EXPECT_EQ(meta.method(first).methodSignature(), "Signal_SetButtonEnable()");
    EXPECT_EQ(meta.method(first + 1).methodSignature(), "ShowDisposingFile(QString)");
    EXPECT_EQ(meta.method(first + 1).parameterNames().value(0), "filePath");
    EXPECT_EQ(meta.method(first + 2).methodSignature(), "ShowProgress(int,int,int,int)");
    EXPECT_EQ(meta.method(first + 3).methodSignature(), "ExcelFilter()");
    EXPECT_EQ(meta.method(first + 3).methodType(), QMetaMethod::Slot);
}

}  // namespace
