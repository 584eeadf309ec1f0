// The job's pure rules: search values, which paths are workbooks, which values
// may name a file, the summary text and the source listing.
#include "engine/JobRunner.h"
#include "engine/JobText.h"
#include "engine/MergeObject.h"
#include "engine/ResultNaming.h"
#include "engine/SearchValues.h"
#include "engine/SourceListing.h"

#include <QDir>
#include <QFile>
#include <QMetaMethod>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ValuesCase {
    const char *text;
    QStringList expected;
};

TEST(SearchValues, SplitDropEmptyAndLaterDuplicates)
{
    const ValuesCase cases[] = {
        {"a\n\n\nb", {"a", "b"}},
        {"a\na\nA", {"a", "A"}},
        {" a\na", {" a", "a"}},
        {"abc \nabc", {"abc ", "abc"}},
        {"   \nx", {"   ", "x"}},
        {"", {}},
        {"b\na\nb\na", {"b", "a"}},
        {"甲\n乙\n甲", {"甲", "乙"}},
    };
    for (const ValuesCase &c : cases)
        EXPECT_EQ(engine::searchValuesFrom(QString::fromUtf8(c.text)), c.expected) << c.text;
}

TEST(WorkbookPath, AcceptsTheFourExtensionsWithoutOwnerLockMarker)
{
    const std::pair<const char *, bool> cases[] = {
        {"/d/BOOK.XLSX", true},   {"/d/book.xls", true},     {"/d/book.csv", true},
        {"/d/book.XlSm", true},   {"/d/book.xlsb", false},   {"/d/book.txt", false},
        {"/d/~$book.xlsx", false}, {"/d/a~$b/book.xlsx", false}, {"/d/book.xlsx.bak", false},
        {"/d/book", false},
    };
    for (const auto &[path, accepted] : cases)
        EXPECT_EQ(engine::isWorkbookPath(QString::fromUtf8(path)), accepted) << path;
}

TEST(ResultNaming, ValuesThatCouldLeaveTheDestinationAreRefused)
{
    const std::pair<const char *, bool> cases[] = {
        {"apple", true},   {"abc ", true},     {" 100 kg", true}, {"苹果", true},   {"a.b", true},
        {"a/b", false},    {"a\\b", false},    {"c:x", false},    {"a*", false},    {"what?", false},
        {"\"q\"", false},  {"<x>", false},     {"a|b", false},    {"..", false},    {".", false},
        {"...", false},    {"tab\there", false}, {"", false},
    };
    for (const auto &[name, safe] : cases)
        EXPECT_EQ(engine::isSafeFileBaseName(QString::fromUtf8(name)), safe) << name;
}

TEST(ResultNaming, FolderTextAndNameAreJoinedDirectly)
{
    EXPECT_EQ(engine::resultFilePath("/out/", "abc", engine::kWorkbookSuffix),
              QDir::toNativeSeparators("/out/abc.xlsx"));
    EXPECT_EQ(engine::resultFilePath("/out", "abc", engine::kCsvSuffix), QDir::toNativeSeparators("/outabc.csv"));
    const QStringList values{"apple", "pear"};
    EXPECT_EQ(engine::passNameValue(values, 1, true), "pear");
    EXPECT_EQ(engine::passNameValue(values, 0, false), QString());
    EXPECT_EQ(engine::passNameValue({"abc"}, 0, false), "abc");
}

TEST(JobText, SummaryReadsAsTheWindowShowsIt)
{
    EXPECT_EQ(engine::text::summary(12, 30, 4, false), QString::fromUtf8("查找12个Excel文件,提取30条数据,耗时4秒。"));
    EXPECT_EQ(engine::text::summary(1, 1048570, 0, true),
              QString::fromUtf8("查找1个Excel文件,提取1048570条数据,耗时0秒。因行数超出excel限制,文件需保存为csv格式!"));
    EXPECT_TRUE(engine::text::isErrorText(engine::text::kSaveFailedPrefix + "/x/a.xlsx"));
    EXPECT_FALSE(engine::text::isErrorText(engine::text::summary(1, 1, 1, false)));
}

class SourceListingTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString &relative) const { return dir.path() + "/" + relative; }
};

TEST_F(SourceListingTest, FilesComeBeforeSubfolderBlocksAndHiddenFoldersStayOut)
{
    ASSERT_TRUE(dir.isValid());
    for (const char *name : {"r1.xlsx", ".hidden.xlsx", "r2.txt", "s1/a.xlsx", "s1/b.csv", "s1/deep/c.xls",
                             "s2/d.xlsx", "s2/e.xlsm", ".hiddendir/x.xlsx"})
        ASSERT_TRUE(touchFile(path(name)));

    const QStringList listed = engine::listSourceFiles(dir.path());
    QStringList relative;
    for (const QString &p : listed)
        relative << QDir(dir.path()).relativeFilePath(p);
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

TEST_F(SourceListingTest, LinksToFilesAreLeftOutAndLinkLoopsEnd)
{
    ASSERT_TRUE(touchFile(path("a.xlsx")));
    ASSERT_TRUE(touchFile(path("sub/b.xlsx")));
    ASSERT_TRUE(QFile::link(path("a.xlsx"), path("link.xlsx")));
    ASSERT_TRUE(QFile::link(dir.path(), path("sub/back")));

    QStringList relative;
    for (const QString &p : engine::listSourceFiles(dir.path()))
        relative << QDir(dir.path()).relativeFilePath(p);
    relative.sort();
    EXPECT_EQ(relative, (QStringList{"a.xlsx", "sub/b.xlsx"}));
}

TEST_F(SourceListingTest, MissingFolderGivesNothing)
{
    EXPECT_TRUE(engine::listSourceFiles(path("nothing-here")).isEmpty());
    EXPECT_TRUE(engine::listSourceFiles(QString()).isEmpty());
}

}  // namespace

namespace {

// The window connects by these signatures, in this meta-object order.
TEST(MergeObjectMeta, SignalsThenSlotInOrder)
{
    const QMetaObject &meta = MergeObject::staticMetaObject;
    const int first = meta.methodOffset();
    ASSERT_EQ(meta.methodCount() - first, 3);
    EXPECT_EQ(meta.method(first).methodSignature(), "Signal_SetButtonEnable()");
    EXPECT_EQ(meta.method(first + 1).methodSignature(), "ShowDisposingFile(QString)");
    EXPECT_EQ(meta.method(first + 1).parameterNames().value(0), "filePath");
    EXPECT_EQ(meta.method(first + 2).methodSignature(), "ExcelFilter()");
    EXPECT_EQ(meta.method(first + 2).methodType(), QMetaMethod::Slot);
}

}  // namespace
