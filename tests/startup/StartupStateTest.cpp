// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup/StartupState.h"

using namespace startup;

namespace {

const std::string kSep = kNativeSeparator;

struct CommandLineCase {
    const char *name;
    std::vector<std::string> args;
    int expectedResult;
    std::string firstArg;
    std::string exePath;
    std::string exeFolder;
    int expectedPathResult;
    std::string settingsFilePath;
};

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, FillsTheFourBuffers) {
    const CommandLineCase &c = GetParam();
    // Leftovers of an earlier call must not survive.
    const char *stale[] = {"stale-path/RowSifter", "stale-arg"};
    recordCommandLine(2, stale);
    fillSettingsFilePath();

    std::vector<const char *> argv;
    for (const std::string &arg : c.args) argv.push_back(arg.c_str());
    EXPECT_EQ(recordCommandLine(static_cast<int>(argv.size()), argv.data()), c.expectedResult);
    EXPECT_EQ(fillSettingsFilePath(), c.expectedPathResult);
    EXPECT_EQ(std::string(firstArg), c.firstArg);
    EXPECT_EQ(std::string(exePath), c.exePath);
    EXPECT_EQ(std::string(exeFolder), c.exeFolder);
    EXPECT_EQ(std::string(settingsFilePath), c.settingsFilePath);
}

const std::string kFolder = kSep + "opt" + kSep + "row sifter" + kSep;
const std::string kExe = kFolder + kProcessName;
const std::string kLongestArg(kFirstArgSize - 1, 'a');
const std::string kLongestPath = kFolder + std::string(kPathSize - 1 - kFolder.size(), 'p');
const std::string kLongestFolder = std::string(kPathSize - 1 - std::string(kSettingsFileName).size() - 1, 'd') + kSep;
// The other platform's separator is a plain character here.
const std::string kForeignSeparatorPath = kSep == "/" ? "C:\\tools\\RowSifter.exe" : "tools/RowSifter";

INSTANTIATE_TEST_SUITE_P(
    Paths, CommandLine,
    ::testing::Values(
        CommandLineCase{"WithFolder", {kExe}, 0, "", kExe, kFolder, 0, kFolder + kSettingsFileName},
        CommandLineCase{"BareName", {kProcessName}, 0, "", kProcessName, "", 0, kSettingsFileName},
        CommandLineCase{"RelativeFolder",
                        {"." + kSep + kProcessName, kAutorunArg},
                        0,
                        kAutorunArg,
                        "." + kSep + kProcessName,
                        "." + kSep,
                        0,
                        "." + kSep + kSettingsFileName},
        CommandLineCase{
            "ForeignSeparator", {kForeignSeparatorPath}, 0, "", kForeignSeparatorPath, "", 0, kSettingsFileName},
        CommandLineCase{
            "LongestFirstArg", {kExe, kLongestArg}, 0, kLongestArg, kExe, kFolder, 0, kFolder + kSettingsFileName},
        CommandLineCase{
            "FirstArgTooLong", {kExe, kLongestArg + "a"}, -1, "", kExe, kFolder, 0, kFolder + kSettingsFileName},
        CommandLineCase{"AutorunPrefixTooLong",
                        {kExe, kAutorunArg + std::string(30, 'x')},
                        -1,
                        "",
                        kExe,
                        kFolder,
                        0,
                        kFolder + kSettingsFileName},
        CommandLineCase{"LongestPath", {kLongestPath}, 0, "", kLongestPath, kFolder, 0, kFolder + kSettingsFileName},
        // A refused path must not turn into the settings file of the current folder.
        CommandLineCase{"PathTooLong", {kLongestPath + "p", "-autorun"}, -1, kAutorunArg, "", "", -1, ""},
        CommandLineCase{"SettingsPathJustFits",
                        {kLongestFolder + kProcessName},
                        0,
                        "",
                        kLongestFolder + kProcessName,
                        kLongestFolder,
                        0,
                        kLongestFolder + kSettingsFileName},
        CommandLineCase{"SettingsPathTooLong",
                        {"d" + kLongestFolder + kProcessName},
                        0,
                        "",
                        "d" + kLongestFolder + kProcessName,
                        "d" + kLongestFolder,
                        -1,
                        ""},
        CommandLineCase{"NoArguments", {}, 0, "", "", "", 0, kSettingsFileName}),
    [](const ::testing::TestParamInfo<CommandLineCase> &caseInfo) { return std::string(caseInfo.param.name); });

TEST(CommandLineArguments, NullVectorIsRefused) {
    EXPECT_EQ(recordCommandLine(1, nullptr), -1);
    EXPECT_STREQ(exePath, "");
    const char *withNull[] = {nullptr, nullptr};
    EXPECT_EQ(recordCommandLine(2, withNull), 0);
    EXPECT_STREQ(firstArg, "");
}

}  // namespace
