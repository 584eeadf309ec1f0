// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

#include <signal.h>
#include <unistd.h>

#include "app/startup/ProcessList.h"
#include "tests/startup/HelperProcesses.h"

namespace fs = std::filesystem;

namespace {

TEST(ProcessList, CountsThisTestProcessByItsOwnFileName) {
    const std::string ownName = fs::read_symlink("/proc/self/exe").filename().string();
    EXPECT_GE(GetProcessCountByName(ownName.c_str()), 1);
    std::string otherCase = ownName;
    otherCase[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(otherCase[0])));
    ASSERT_NE(otherCase, ownName);
    EXPECT_EQ(GetProcessCountByName(otherCase.c_str()), 0) << "names are compared with case";
    EXPECT_EQ(GetProcessCountByName(("/proc/self/" + ownName).c_str()), 0) << "file name only, no folder";
}

TEST(ProcessList, NullOrUnknownNameFindsNothing) {
    EXPECT_EQ(GetProcessCountByName(nullptr), 0);
    EXPECT_EQ(KillFirstProcessByName(nullptr), 0);
    EXPECT_EQ(GetProcessCountByName(""), 0);
    const std::string unknown = "no-such-process-" + std::to_string(getpid());
    EXPECT_EQ(GetProcessCountByName(unknown.c_str()), 0);
    EXPECT_EQ(KillFirstProcessByName(unknown.c_str()), 0);
}

TEST(ProcessList, SpawnedChildrenAreCountedAndTheFirstIsKilled) {
    // A copy of sleep under a name of our own, longer than the kernel's
    // 15-byte command name, so no process of anyone else can match.
    HelperProcesses helpers("rowsifter-sleep-helper-");
    ASSERT_TRUE(helpers.ready());
    const char *name = helpers.name().c_str();
    ASSERT_EQ(GetProcessCountByName(name), 0);

    const pid_t first = helpers.start();
    ASSERT_GT(first, 0);
    ASSERT_TRUE(helpers.waitForCount(1));
    const pid_t second = helpers.start();
    ASSERT_GT(second, 0);
    ASSERT_TRUE(helpers.waitForCount(2));

    // The process list is in id order, so the older child goes first.
    const pid_t older = std::min(first, second);
    const pid_t younger = std::max(first, second);
    EXPECT_EQ(KillFirstProcessByName(name), 1);
    EXPECT_EQ(helpers.reap(older), SIGKILL);
    EXPECT_TRUE(helpers.isRunning(younger));
    EXPECT_EQ(GetProcessCountByName(name), 1);

    EXPECT_EQ(KillFirstProcessByName(name), 1);
    EXPECT_EQ(helpers.reap(younger), SIGKILL);
    EXPECT_EQ(GetProcessCountByName(name), 0);
    EXPECT_EQ(KillFirstProcessByName(name), 0);
}

TEST(ProcessList, ExecutableRemovedFromDiskStillCounts) {
    HelperProcesses helpers("rowsifter-removed-helper-");
    ASSERT_TRUE(helpers.ready());
    const pid_t child = helpers.start();
    ASSERT_GT(child, 0);
    ASSERT_TRUE(helpers.waitForCount(1));
    helpers.removeExecutable();
    EXPECT_EQ(GetProcessCountByName(helpers.name().c_str()), 1);
    EXPECT_EQ(KillFirstProcessByName(helpers.name().c_str()), 1);
    EXPECT_EQ(helpers.reap(child), SIGKILL);
}

}  // namespace
