// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "app/startup/PrivateRuntimeFolder.h"

namespace fs = std::filesystem;

namespace {

// An unprivileged id, to stand for another local user.
constexpr uid_t kOtherUser = 65534;

mode_t modeOf(const std::string &path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class PrivateRuntimeFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "rsf_rt_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        root_ = pattern;
        temp_ = root_ + "/tmp";
        ASSERT_EQ(mkdir(temp_.c_str(), 01777), 0);
        ASSERT_EQ(chmod(temp_.c_str(), 01777), 0);
        ownFolder_ = temp_ + "/" + startup::kRuntimeFolderPrefix + std::to_string(getuid());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // A folder of the given mode, as a runtime folder would be.
    std::string makeFolder(const std::string &name, mode_t mode) const {
        const std::string path = root_ + "/" + name;
        EXPECT_EQ(mkdir(path.c_str(), mode), 0);
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        return path;
    }
    static bool canChangeOwners() { return geteuid() == 0; }

    std::string root_;
    std::string temp_;
    std::string ownFolder_;
};

TEST_F(PrivateRuntimeFolderTest, RuntimeFolderOfTheUserIsUsedAsItIs) {
    const std::string runtime = makeFolder("run", 0700);
    EXPECT_EQ(startup::privateRuntimeFolder(runtime.c_str(), temp_), runtime);
    EXPECT_FALSE(fs::exists(ownFolder_));
}

TEST_F(PrivateRuntimeFolderTest, WithoutRuntimeFolderOnePerUserIsMadeInTheTemporaryFolder) {
    EXPECT_EQ(startup::privateRuntimeFolder(nullptr, temp_), ownFolder_);
    EXPECT_EQ(modeOf(ownFolder_), 0700u);
    // A later start finds it again.
    EXPECT_EQ(startup::privateRuntimeFolder(nullptr, temp_ + "/"), ownFolder_);
}

TEST_F(PrivateRuntimeFolderTest, StrictUmaskStillGivesTheOwnerTheFolder) {
    const mode_t previous = umask(0277);
    const std::string folder = startup::privateRuntimeFolder(nullptr, temp_);
    umask(previous);
    EXPECT_EQ(folder, ownFolder_);
    EXPECT_EQ(modeOf(ownFolder_), 0700u);
}

TEST_F(PrivateRuntimeFolderTest, UnfitRuntimeFoldersAreLeftForTheUsersOwn) {
    const std::string open = makeFolder("open", 0755);
    const std::string groupShared = makeFolder("group", 0770);
    const std::string target = makeFolder("target", 0700);
    const std::string link = root_ + "/link";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    const std::string relative = "run";
    for (const std::string &runtime : {open, groupShared, link, relative, root_ + "/missing"}) {
        EXPECT_EQ(startup::privateRuntimeFolder(runtime.c_str(), temp_), ownFolder_) << runtime;
    }
    EXPECT_EQ(modeOf(open), 0755u);
}

TEST_F(PrivateRuntimeFolderTest, OwnFolderWithOtherAccessIsRefusedAndLeftAlone) {
    ASSERT_EQ(mkdir(ownFolder_.c_str(), 0700), 0);
    ASSERT_EQ(chmod(ownFolder_.c_str(), 0777), 0);
    EXPECT_EQ(startup::privateRuntimeFolder(nullptr, temp_), "");
    EXPECT_EQ(modeOf(ownFolder_), 0777u);
}

TEST_F(PrivateRuntimeFolderTest, LinkOrFileInPlaceOfTheOwnFolderIsRefused) {
    const std::string target = makeFolder("target", 0700);
    ASSERT_EQ(symlink(target.c_str(), ownFolder_.c_str()), 0);
    EXPECT_EQ(startup::privateRuntimeFolder(nullptr, temp_), "");
    ASSERT_EQ(unlink(ownFolder_.c_str()), 0);

    {
        std::FILE *file = std::fopen(ownFolder_.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
    EXPECT_EQ(startup::privateRuntimeFolder(nullptr, temp_), "");
    EXPECT_TRUE(fs::is_regular_file(ownFolder_));
}

TEST_F(PrivateRuntimeFolderTest, NoTemporaryFolderGivesNoFolder) {
    EXPECT_EQ(startup::privateRuntimeFolder(nullptr, ""), "");
    EXPECT_EQ(startup::privateRuntimeFolder(nullptr, root_ + "/missing"), "");
}

TEST_F(PrivateRuntimeFolderTest, FoldersOfAnotherUserAreRefused) {
    if (!canChangeOwners()) GTEST_SKIP() << "planting another user's folder needs root";
    const std::string runtime = makeFolder("run", 0700);
    ASSERT_EQ(chown(runtime.c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_EQ(startup::privateRuntimeFolder(runtime.c_str(), temp_), ownFolder_);

    // Another user made this user's folder first, with the right mode.
    ASSERT_EQ(rmdir(ownFolder_.c_str()), 0);
    ASSERT_EQ(mkdir(ownFolder_.c_str(), 0700), 0);
    ASSERT_EQ(chown(ownFolder_.c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_EQ(startup::privateRuntimeFolder(nullptr, temp_), "");
    EXPECT_TRUE(startup::isHeldByAnotherUser(ownFolder_));
}

TEST_F(PrivateRuntimeFolderTest, OwnershipOfWhatIsThere) {
    const std::string mine = makeFolder("mine", 0700);
    EXPECT_FALSE(startup::isHeldByAnotherUser(mine));
    EXPECT_FALSE(startup::isHeldByAnotherUser(root_ + "/missing"));
    if (!canChangeOwners()) GTEST_SKIP() << "planting another user's entry needs root";
    const std::string link = root_ + "/link";
    ASSERT_EQ(symlink(mine.c_str(), link.c_str()), 0);
    ASSERT_EQ(lchown(link.c_str(), kOtherUser, kOtherUser), 0);
    // The link itself counts, not what it points to.
    EXPECT_TRUE(startup::isHeldByAnotherUser(link));
}

}  // namespace
