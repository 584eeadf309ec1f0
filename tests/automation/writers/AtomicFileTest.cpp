// SPDX-License-Identifier: Apache-2.0
#include "WriterTestSupport.h"
#include "automation/writers/AtomicFile.h"

#include <gtest/gtest.h>

#include <algorithm>

using automation::WriteResult;
using automation::writers::AtomicFile;
using writertest::ScratchFolder;

namespace {

WriteResult saveText(const std::string &target, const std::string &text) {
    AtomicFile file(target);
    if (WriteResult opened = file.open(); !opened) return opened;
    if (WriteResult written = file.write(text.data(), text.size()); !written) return written;
    return file.commit();
}

TEST(AtomicFile, ReplacesAnExistingTargetAndLeavesNoTemporaryFile) {
    ScratchFolder folder;
    const std::string target = folder.file("result.csv");
    writertest::writeAll(target, "old content that is longer than the new one");
    const WriteResult saved = saveText(target, "new");
    ASSERT_TRUE(saved) << saved.error;
    EXPECT_EQ(writertest::readAll(target), "new");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"result.csv"});
}

TEST(AtomicFile, CreatesTheTemporaryFileBesideTheTarget) {
    ScratchFolder folder;
    AtomicFile file(folder.file("a.xlsx"));
    const WriteResult opened = file.open();
    ASSERT_TRUE(opened) << opened.error;
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
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("partial", 7));
    }  // abandoned, as after a failed write
    EXPECT_EQ(writertest::readAll(target), "original");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.csv"});
}

TEST(AtomicFile, TwoWritersToTheSameTargetUseDistinctTemporaryFiles) {
    ScratchFolder folder;
    AtomicFile first(folder.file("same.csv")), second(folder.file("same.csv"));
    ASSERT_TRUE(first.open());
    ASSERT_TRUE(second.open());
    EXPECT_NE(first.tempPath(), second.tempPath());
    ASSERT_TRUE(second.write("2", 1) && second.commit());
    ASSERT_TRUE(first.write("1", 1) && first.commit());
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
        const WriteResult saved = saveText(bad.target(folder), "data");
        EXPECT_FALSE(saved);
        EXPECT_NE(saved.error.find(bad.reasonPart), std::string::npos) << saved.error;
        EXPECT_NE(saved.failure, automation::SaveFailure::None);
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
    const WriteResult saved = saveText("relative.csv", "x");
    ASSERT_EQ(::chdir(previous), 0);
    ASSERT_TRUE(saved) << saved.error;
    EXPECT_EQ(writertest::readAll(folder.file("relative.csv")), "x");
    EXPECT_EQ(folder.entries().size(), 1u);
}

}  // namespace
