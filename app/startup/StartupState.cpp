// SPDX-License-Identifier: Apache-2.0
#include "app/startup/StartupState.h"

#include <cstring>
#include <string>

#include <sys/stat.h>

// Not every C library has the test macros.
#ifndef S_ISDIR
#define S_ISDIR(mode) (((mode)&S_IFMT) == S_IFDIR)
#endif

#include "app/startup/ProcessList.h"
#include "app/startup/SettingsLocation.h"
#include "app/startup/SingleInstance.h"
#include "settings/TextCut.h"

char firstArg[startup::kFirstArgSize];
char exePath[startup::kPathSize];
char exeFolder[startup::kPathSize];
char settingsFilePath[startup::kPathSize];
bool settingsFileMayBeCreated = false;

namespace startup {

namespace {

// Set when the program path did not fit: an empty folder would then send the
// settings file to the current folder, which is not where it belongs.
bool exePathRefused = false;

// Copies text into a buffer of size bytes, or leaves it empty when it does not fit.
bool copyWhole(char *buffer, size_t size, const char *text) {
    const size_t length = std::strlen(text);
    if (length >= size) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, text, length + 1);
    return true;
}

// A folder in the file's place is no settings file, and would not become one.
bool existsAsFile(const char *path) {
    struct stat info;
    return path[0] != '\0' && stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace

int recordCommandLine(int argc, const char *const *argv) {
    int result = 0;
    firstArg[0] = '\0';
    exePath[0] = '\0';
    exeFolder[0] = '\0';
    exePathRefused = false;
    if (argv == nullptr) return argc > 0 ? -1 : 0;
    if (argc > 1 && argv[1] != nullptr && !copyWhole(firstArg, sizeof firstArg, argv[1])) result = -1;
    if (argc > 0 && argv[0] != nullptr && !copyWhole(exePath, sizeof exePath, argv[0])) {
        exePathRefused = true;
        result = -1;
    }
    // No separator is no error: the folder stays empty and the current folder is meant.
    settings::textBeforeMarker(exeFolder, exePath, kNativeSeparator, true, true, sizeof exeFolder);
    return result;
}

int fillSettingsFilePath() {
    settingsFilePath[0] = '\0';
    if (exePathRefused) return -1;
    const size_t folderLength = std::strlen(exeFolder);
    if (folderLength + std::strlen(kSettingsFileName) >= sizeof settingsFilePath) return -1;
    std::memcpy(settingsFilePath, exeFolder, folderLength);
    std::memcpy(settingsFilePath + folderLength, kSettingsFileName, std::strlen(kSettingsFileName) + 1);
    return 0;
}

int chooseSettingsFile(const char *userPath, const char *runningFolder) {
    settingsFileMayBeCreated = false;
    if (exePathRefused || settingsFilePath[0] == '\0') {
        // Without the executable's place a file there could not be ruled out.
        settingsFilePath[0] = '\0';
        return -1;
    }
    std::string portable = settingsFilePath;
    if (exeFolder[0] == '\0' && runningFolder != nullptr && runningFolder[0] != '\0')
        portable = std::string(runningFolder) + kSettingsFileName;
    if (existsAsFile(portable.c_str()))
        return copyWhole(settingsFilePath, sizeof settingsFilePath, portable.c_str()) ? 0 : -1;
    if (userPath == nullptr || userPath[0] == '\0' || !copyWhole(settingsFilePath, sizeof settingsFilePath, userPath)) {
        settingsFilePath[0] = '\0';
        return -1;
    }
    settingsFileMayBeCreated = true;
    return 0;
}

InstanceOutcome settleSingleInstanceFor(const char *processName, const QString &serverName, int answerTimeoutMs) {
    // The count includes the copy that is starting.
    if (GetProcessCountByName(processName) <= 1) return InstanceOutcome::GoOn;
    // Without a socket of its own no copy can be asked, nor can the others
    // listen: they run side by side rather than one ending another.
    if (!SingleInstance::isUsable(serverName)) return InstanceOutcome::GoOn;
    if (SingleInstance::askRunningCopyToShow(answerTimeoutMs, serverName)) return InstanceOutcome::ExitNow;
    // Nobody answered: the other copy is hung or too old to listen, so the
    // first copy in the process list is ended, which may be this one.
    KillFirstProcessByName(processName);
    return InstanceOutcome::GoOn;
}

InstanceOutcome settleSingleInstance(int answerTimeoutMs) {
    return settleSingleInstanceFor(kProcessName, SingleInstance::defaultServerName(), answerTimeoutMs);
}

InstanceOutcome runStartupSteps(int argc, const char *const *argv) {
    recordCommandLine(argc, argv);
    if (settleSingleInstance() == InstanceOutcome::ExitNow) return InstanceOutcome::ExitNow;
    if (fillSettingsFilePath() == 0) chooseSettingsFile(userSettingsPath().c_str(), runningExecutableFolder().c_str());
    return InstanceOutcome::GoOn;
}

}  // namespace startup
