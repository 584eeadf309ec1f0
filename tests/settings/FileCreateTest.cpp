// SPDX-License-Identifier: Apache-2.0
// Making the settings file in a configuration folder that may not exist yet.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "settings/FileCreate.h"
#include "settings/SettingsFile.h"

using namespace settings;
namespace fs = std::filesystem;

namespace {

class FileCreateTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "rsf_create_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
    }
    static std::string content(const fs::path &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static mode_t modeOf(const fs::path &path) {
        struct stat info;
        return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    fs::path folder;
};

TEST_F(FileCreateTest, MakesPrivateFoldersAndAnEmptyFileThatTakesOptions) {
    const fs::path file = folder / "config" / "RowSifter" / "RowSifter.rsf";
    ASSERT_EQ(createFileWithFolders(file.c_str()), 0);
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_EQ(modeOf(folder / "config"), 0700u);
    EXPECT_EQ(modeOf(folder / "config" / "RowSifter"), 0700u);
    // From here on it is an ordinary settings file.
    ASSERT_EQ(setKeyValue(file.c_str(), "xlWhole", "y"), 0);
    EXPECT_EQ(content(file), "xlWhole=y\r\n");
}

TEST_F(FileCreateTest, ExistingFileAndFoldersAreLeftAsTheyAre) {
    fs::create_directories(folder / "shared");
    fs::permissions(folder / "shared", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    const fs::path file = folder / "shared" / "RowSifter.rsf";
    std::ofstream(file, std::ios::binary) << "xlWhole=y\r\nSourcePath=/data/\r\n";
    ASSERT_EQ(createFileWithFolders(file.c_str()), 0);
    EXPECT_EQ(content(file), "xlWhole=y\r\nSourcePath=/data/\r\n");
    EXPECT_EQ(modeOf(folder / "shared"), 0750u);
    // Doubled separators name the same folders.
    const std::string doubled = (folder / "shared").string() + "//RowSifter.rsf";
    EXPECT_EQ(createFileWithFolders(doubled.c_str()), 0);
    EXPECT_EQ(content(file), "xlWhole=y\r\nSourcePath=/data/\r\n");
}

TEST_F(FileCreateTest, RefusesWhatCannotBecomeTheFile) {
    fs::create_directories(folder / "RowSifter.rsf");
    std::ofstream(folder / "plain") << "x";
    EXPECT_EQ(createFileWithFolders((folder / "RowSifter.rsf").c_str()), -1) << "a folder in its place";
    EXPECT_EQ(createFileWithFolders((folder / "plain" / "RowSifter.rsf").c_str()), -1) << "a file above it";
    EXPECT_FALSE(fs::exists(folder / "plain" / "RowSifter.rsf"));
    EXPECT_EQ(createFileWithFolders((folder / "ends" / "").c_str()), -1) << "a folder name";
    EXPECT_EQ(createFileWithFolders(""), -1);
    EXPECT_EQ(createFileWithFolders(nullptr), -1);
}

TEST_F(FileCreateTest, FolderWithoutWriteRightIsRefused) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    fs::create_directories(folder / "locked");
    fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(createFileWithFolders((folder / "locked" / "RowSifter" / "RowSifter.rsf").c_str()), -1);
    EXPECT_EQ(createFileWithFolders((folder / "locked" / "RowSifter.rsf").c_str()), -1);
}

}  // namespace
