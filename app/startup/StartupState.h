// SPDX-License-Identifier: Apache-2.0
// What start-up records before any window exists: the command line, the
// executable's folder and the settings file (beside it, or in the user's
// configuration folder). Byte strings in the local 8-bit code page, in fixed
// buffers that keep their values for the run.
#pragma once

#include <cstddef>

#include <QString>

namespace startup {

constexpr size_t kFirstArgSize = 32;
constexpr size_t kPathSize = 1024;
constexpr char kSettingsFileName[] = "RowSifter.rsf";
constexpr char kAutorunArg[] = "-autorun";

#ifdef _WIN32
constexpr char kNativeSeparator[] = "\\";
constexpr char kProcessName[] = "RowSifter.exe";
#else
constexpr char kNativeSeparator[] = "/";
constexpr char kProcessName[] = "RowSifter";
#endif

constexpr int kRunningCopyAnswerMs = 1000;

}  // namespace startup

extern char firstArg[startup::kFirstArgSize];
extern char exePath[startup::kPathSize];
extern char exeFolder[startup::kPathSize];
extern char settingsFilePath[startup::kPathSize];
// Set when settingsFilePath is in the user's configuration folder, where the
// file (and its folder) is made on the first option change. A file beside the
// executable is never made.
extern bool settingsFileMayBeCreated;

namespace startup {

// Steps 1 to 3: firstArg from argument 1 (left empty when absent or when it
// does not fit), exePath from argument 0, exeFolder as exePath through its last
// native separator (empty without one). 0, or -1 when something did not fit.
// A path that does not fit leaves exePath and exeFolder empty.
int recordCommandLine(int argc, const char *const *argv);

// Step 5: exeFolder followed by the settings file name. 0, or -1 when it does
// not fit; the path is then left empty so that no file is read or written
// anywhere but beside the executable.
int fillSettingsFilePath();

enum class InstanceOutcome {
    GoOn,     // start-up continues (no other copy, one was ended, or no usable socket)
    ExitNow,  // a running copy brought its window forward; end with code 0
};

// Step 4: when another copy named kProcessName runs, ask it to show its
// window; if none answers within answerTimeoutMs, end the first copy in the
// process list and go on. Without a usable socket (no private folder, or one
// held by another user) nothing is asked or ended and start-up goes on.
InstanceOutcome settleSingleInstance(int answerTimeoutMs = kRunningCopyAnswerMs);

// The same rule for any process name and server name.
InstanceOutcome settleSingleInstanceFor(const char *processName, const QString &serverName, int answerTimeoutMs);

// Step 6: which settings file is used. The file beside the executable
// (step 5's path) when it exists; when argument 0 named no folder, the one
// beside runningFolder (the executable as the system found it, with its
// trailing separator) instead, as the current folder need not hold the
// program. Otherwise userPath, which may be made later. 0, or -1 when no path
// is left (a refused or too long path); settingsFilePath is then empty.
int chooseSettingsFile(const char *userPath, const char *runningFolder);

// Steps 1 to 6 in order. Call before the application object exists.
InstanceOutcome runStartupSteps(int argc, const char *const *argv);

}  // namespace startup
