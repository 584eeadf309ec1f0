// SPDX-License-Identifier: Apache-2.0
// Which settings file start-up picks: the portable one beside the executable
// when it is there, else the one in the user's configuration folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/startup/SettingsLocation.h"
#include "app/startup/StartupState.h"

using namespace startup;
namespace fs = std::filesystem;

namespace {

TEST(UserSettingsPath, FollowsTheConfigHomeRules) {
    struct Case {
        const char *xdg;
        const char *home;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"/cfg", "/home/u", "/cfg/RowSifter/RowSifter.rsf"},
        {"/cfg/", "/home/u", "/cfg/RowSifter/RowSifter.rsf"},
        {nullptr, "/home/u", "/home/u/.config/RowSifter/RowSifter.rsf"},
        {"", "/home/u/", "/home/u/.config/RowSifter/RowSifter.rsf"},
        // A relative config home is to be ignored, not taken from the current folder.
        {"cfg", "/home/u", "/home/u/.config/RowSifter/RowSifter.rsf"},
        {"/", "/home/u", "/RowSifter/RowSifter.rsf"},
        {nullptr, "/", "/.config/RowSifter/RowSifter.rsf"},
        {"cfg", "home", ""},
        {nullptr, nullptr, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " | " + (c.home ? c.home : "(unset)"));
        EXPECT_EQ(userSettingsPathFrom(c.xdg, c.home), c.expected);
    }
}

TEST(UserSettingsPath, ComesFromTheEnvironment) {
    const char *savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = savedXdg ? savedXdg : "";
    setenv("XDG_CONFIG_HOME", "/from/env", 1);
    EXPECT_EQ(userSettingsPath(), "/from/env/RowSifter/RowSifter.rsf");
    unsetenv("XDG_CONFIG_HOME");
    // Without either variable the account's home folder stands in.
    EXPECT_NE(userSettingsPath().find("/.config/RowSifter/RowSifter.rsf"), std::string::npos);
    if (savedXdg) setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
}

TEST(RunningExecutableFolder, HoldsThisTestProgram) {
    const std::string folder = runningExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::is_regular_file(folder + "test_startup")) << folder;
}

class ChooseSettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "rsf_place_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        root = pattern;
        fs::create_directories(root / "bin");
        fs::create_directories(root / "cwd");
        exe = (root / "bin" / kProcessName).string();
        userPath = (root / "config" / "RowSifter" / kSettingsFileName).string();
        portablePath = (root / "bin" / kSettingsFileName).string();
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        savedCwd = here;
    }
    void TearDown() override {
        EXPECT_EQ(chdir(savedCwd.c_str()), 0);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    // Steps 1, 5 and 6 as start-up runs them.
    int start(const std::string &arg0, const char *user, const char *runningFolder = "") {
        const char *argv[] = {arg0.c_str()};
        recordCommandLine(1, argv);
        if (fillSettingsFilePath() != 0) return -2;
        return chooseSettingsFile(user, runningFolder);
    }
    static void touch(const std::string &path) { std::ofstream(path) << "xlWhole=y\r\n"; }

    fs::path root;
    std::string exe, userPath, portablePath, savedCwd;
};

TEST_F(ChooseSettingsFile, PortableFileBesideTheExecutableWins) {
    touch(portablePath);
    fs::create_directories(fs::path(userPath).parent_path());
    touch(userPath);
    EXPECT_EQ(start(exe, userPath.c_str()), 0);
    EXPECT_EQ(std::string(settingsFilePath), portablePath);
    EXPECT_FALSE(settingsFileMayBeCreated);
}

TEST_F(ChooseSettingsFile, WithoutAPortableFileTheConfigFolderIsUsedButNotYetMade) {
    EXPECT_EQ(start(exe, userPath.c_str()), 0);
    EXPECT_EQ(std::string(settingsFilePath), userPath);
    EXPECT_TRUE(settingsFileMayBeCreated);
    EXPECT_FALSE(fs::exists(root / "config"));
    EXPECT_FALSE(fs::exists(portablePath));

    // A folder named like the file is no portable file.
    fs::create_directories(portablePath);
    EXPECT_EQ(start(exe, userPath.c_str()), 0);
    EXPECT_EQ(std::string(settingsFilePath), userPath);
}

TEST_F(ChooseSettingsFile, BareNameLooksBesideTheRunningExecutableNotInTheCurrentFolder) {
    // Started through PATH: argument 0 is the bare name.
    ASSERT_EQ(chdir((root / "cwd").c_str()), 0);
    touch((root / "cwd" / kSettingsFileName).string());
    const std::string runningFolder = (root / "bin").string() + "/";
    EXPECT_EQ(start(kProcessName, userPath.c_str(), runningFolder.c_str()), 0);
    EXPECT_EQ(std::string(settingsFilePath), userPath);
    EXPECT_TRUE(settingsFileMayBeCreated);

    touch(portablePath);
    EXPECT_EQ(start(kProcessName, userPath.c_str(), runningFolder.c_str()), 0);
    EXPECT_EQ(std::string(settingsFilePath), portablePath);
    EXPECT_FALSE(settingsFileMayBeCreated);

    // When the system cannot tell, the current folder is what argument 0 means.
    EXPECT_EQ(start(kProcessName, userPath.c_str(), ""), 0);
    EXPECT_EQ(std::string(settingsFilePath), kSettingsFileName);
}

TEST_F(ChooseSettingsFile, NoUsablePathLeavesNoneAndNothingToCreate) {
    EXPECT_EQ(start(exe, ""), -1);
    EXPECT_STREQ(settingsFilePath, "");
    EXPECT_FALSE(settingsFileMayBeCreated);

    EXPECT_EQ(start(exe, nullptr), -1);
    EXPECT_STREQ(settingsFilePath, "");

    const std::string tooLong = "/" + std::string(kPathSize, 'c') + "/RowSifter.rsf";
    EXPECT_EQ(start(exe, tooLong.c_str()), -1);
    EXPECT_STREQ(settingsFilePath, "");
    EXPECT_FALSE(settingsFileMayBeCreated);

    // A refused program path: a file beside it could not be ruled out.
    const std::string longExe = "/" + std::string(kPathSize, 'p');
    const char *argv[] = {longExe.c_str()};
    recordCommandLine(1, argv);
    fillSettingsFilePath();
    EXPECT_EQ(chooseSettingsFile(userPath.c_str(), ""), -1);
    EXPECT_STREQ(settingsFilePath, "");
    EXPECT_FALSE(settingsFileMayBeCreated);
}

}  // namespace
