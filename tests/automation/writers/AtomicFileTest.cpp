#include "WriterTestSupport.h"
#include "automation/writers/AtomicFile.h"

#include <gtest/gtest.h>

#include <algorithm>

using automation::writers::AtomicFile;
using writertest::ScratchFolder;

namespace {

bool saveText(const std::string &target, const std::string &text, std::string *error) {
    AtomicFile file(target);
    return file.open(error) && file.write(text.data(), text.size(), error) && file.commit(error);
}

TEST(AtomicFile, ReplacesAnExistingTargetAndLeavesNoTemporaryFile) {
    ScratchFolder folder;
    const std::string target = folder.file("result.csv");
    writertest::writeAll(target, "old content that is longer than the new one");
    std::string error;
    ASSERT_TRUE(saveText(target, "new", &error)) << error;
    EXPECT_EQ(writertest::readAll(target), "new");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"result.csv"});
}

TEST(AtomicFile, CreatesTheTemporaryFileBesideTheTarget) {
    ScratchFolder folder;
    AtomicFile file(folder.file("a.xlsx"));
    std::string error;
    ASSERT_TRUE(file.open(&error)) << error;
    EXPECT_EQ(file.tempPath().rfind(folder.path() + "/.~rowsifter-", 0), 0u) << file.tempPath();
    EXPECT_TRUE(writertest::exists(file.tempPath()));
    EXPECT_FALSE(writertest::exists(folder.file("a.xlsx")));
}

TEST(AtomicFile, AnUncommittedFileIsRemovedAndTheTargetKept) {
    ScratchFolder folder;
    const std::string target = folder.file("keep.csv");
    writertest::writeAll(target, "original");
    {
        AtomicFile file(target);
        std::string error;
        ASSERT_TRUE(file.open(&error));
        ASSERT_TRUE(file.write("partial", 7, &error));
    }  // abandoned, as after a failed write
    EXPECT_EQ(writertest::readAll(target), "original");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.csv"});
}

TEST(AtomicFile, TwoWritersToTheSameTargetUseDistinctTemporaryFiles) {
    ScratchFolder folder;
    AtomicFile first(folder.file("same.csv")), second(folder.file("same.csv"));
    std::string error;
    ASSERT_TRUE(first.open(&error));
    ASSERT_TRUE(second.open(&error));
    EXPECT_NE(first.tempPath(), second.tempPath());
    ASSERT_TRUE(second.write("2", 1, &error) && second.commit(&error));
    ASSERT_TRUE(first.write("1", 1, &error) && first.commit(&error));
    EXPECT_EQ(writertest::readAll(folder.file("same.csv")), "1");
}

struct BadTarget {
    const char *label;
    std::string (*target)(const ScratchFolder &);
    const char *reasonPart;
};

const BadTarget kBadTargets[] = {
    {"missing folder", [](const ScratchFolder &f) { return f.file("no-such-folder/out.csv"); }, "does not exist"},
    {"parent is a file", [](const ScratchFolder &f) { return f.file("plain.txt/out.csv"); }, "not a folder"},
    {"target is a folder", [](const ScratchFolder &f) { return f.file("sub"); }, "folder"},
    {"empty name", [](const ScratchFolder &f) { return f.path() + "/"; }, "not valid"},
};

TEST(AtomicFile, AFailedSaveSaysWhyAndTouchesNothing) {
    for (const BadTarget &bad : kBadTargets) {
        SCOPED_TRACE(bad.label);
        ScratchFolder folder;
        writertest::writeAll(folder.file("plain.txt"), "existing bytes");
        ASSERT_EQ(::mkdir(folder.file("sub").c_str(), 0755), 0);
        std::string error;
        EXPECT_FALSE(saveText(bad.target(folder), "data", &error));
        EXPECT_NE(error.find(bad.reasonPart), std::string::npos) << error;
        EXPECT_EQ(writertest::readAll(folder.file("plain.txt")), "existing bytes");
        auto entries = folder.entries();
        std::sort(entries.begin(), entries.end());
        EXPECT_EQ(entries, (std::vector<std::string>{"plain.txt", "sub"}));
    }
}

TEST(AtomicFile, ARelativeTargetIsWrittenInTheWorkingFolder) {
    ScratchFolder folder;
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(folder.path().c_str()), 0);
    std::string error;
    const bool saved = saveText("relative.csv", "x", &error);
    ASSERT_EQ(::chdir(previous), 0);
    ASSERT_TRUE(saved) << error;
    EXPECT_EQ(writertest::readAll(folder.file("relative.csv")), "x");
    EXPECT_EQ(folder.entries().size(), 1u);
}

}  // namespace
