// SPDX-License-Identifier: Apache-2.0
#include "app/startup/ProcessList.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr char kProcFolder[] = "/proc";
// The kernel marks the link of an executable replaced on disk this way.
constexpr char kDeletedSuffix[] = " (deleted)";
constexpr size_t kLinkBufferSize = 4096;

std::string baseName(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string procEntry(pid_t pid, const char *entry) {
    return std::string(kProcFolder) + "/" + std::to_string(pid) + "/" + entry;
}

// The name of the executable file; the link is unreadable for other users'
// processes, and the command line's word 0 stands in then. (The comm field
// is no use here: the kernel cuts it at 15 bytes.)
std::string executableName(pid_t pid) {
    char link[kLinkBufferSize];
    const ssize_t length = readlink(procEntry(pid, "exe").c_str(), link, sizeof link - 1);
    if (length > 0) {
        std::string target(link, static_cast<size_t>(length));
        const size_t suffixLength = std::strlen(kDeletedSuffix);
        if (target.size() > suffixLength &&
            target.compare(target.size() - suffixLength, suffixLength, kDeletedSuffix) == 0)
            target.resize(target.size() - suffixLength);
        return baseName(target);
    }
    std::FILE *cmdline = std::fopen(procEntry(pid, "cmdline").c_str(), "rb");
    if (cmdline == nullptr) return std::string();
    char word[kLinkBufferSize];
    const size_t got = std::fread(word, 1, sizeof word - 1, cmdline);
    std::fclose(cmdline);
    word[got] = '\0';
    return baseName(word);
}

// Another user's copy is no rival: it cannot be asked over this user's socket
// nor ended, and counting it would make this copy end itself.
bool ownedByThisUser(const char *procEntryName) {
    struct stat info;
    const std::string path = std::string(kProcFolder) + "/" + procEntryName;
    return stat(path.c_str(), &info) == 0 && info.st_uid == getuid();
}

// This user's process ids in ascending order, the order in which the system lists them.
bool listProcesses(std::vector<pid_t> &pids) {
    DIR *proc = opendir(kProcFolder);
    if (proc == nullptr) return false;
    while (const dirent *entry = readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && pid > 0 && ownedByThisUser(entry->d_name))
            pids.push_back(static_cast<pid_t>(pid));
    }
    closedir(proc);
    std::sort(pids.begin(), pids.end());
    return true;
}

}  // namespace

int GetProcessCountByName(const char *name) {
    if (name == nullptr || name[0] == '\0') return 0;
    try {
        std::vector<pid_t> pids;
        if (!listProcesses(pids)) return 0;
        return static_cast<int>(
            std::count_if(pids.begin(), pids.end(), [name](pid_t pid) { return executableName(pid) == name; }));
    } catch (...) {
        return 0;
    }
}

int KillFirstProcessByName(const char *name) {
    if (name == nullptr || name[0] == '\0') return 0;
    try {
        std::vector<pid_t> pids;
        if (!listProcesses(pids)) return 0;
        for (pid_t pid : pids) {
            if (executableName(pid) != name) continue;
            if (pid == getpid()) {
                // Ending oneself the way the system ends another copy: at once, exit code 0.
                std::fflush(nullptr);
                _exit(0);
            }
            kill(pid, SIGKILL);
            return 1;
        }
        return 0;
    } catch (...) {
        return 0;
    }
}
