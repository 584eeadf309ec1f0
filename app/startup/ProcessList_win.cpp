// SPDX-License-Identifier: Apache-2.0
#include "app/startup/ProcessList.h"

#include <cstring>

#include <tlhelp32.h>
#include <windows.h>

// Names are bytes in the local code page, as everywhere else at start-up.
#undef PROCESSENTRY32
#undef Process32First
#undef Process32Next

namespace {

// Calls visit for each process entry in the snapshot's order until it returns
// true. false when no snapshot could be taken.
template <typename Visit>
bool walkProcesses(Visit visit) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    if (!Process32First(snapshot, &entry)) {
        CloseHandle(snapshot);
        return false;
    }
    do {
        if (visit(entry)) break;
    } while (Process32Next(snapshot, &entry));
    CloseHandle(snapshot);
    return true;
}

bool hasName(const PROCESSENTRY32 &entry, const char *name) { return std::strcmp(entry.szExeFile, name) == 0; }

}  // namespace

int GetProcessCountByName(const char *name) {
    if (name == nullptr || name[0] == '\0') return 0;
    int count = 0;
    walkProcesses([&](const PROCESSENTRY32 &entry) {
        if (hasName(entry, name)) ++count;
        return false;
    });
    return count;
}

int KillFirstProcessByName(const char *name) {
    if (name == nullptr || name[0] == '\0') return 0;
    int found = 0;
    walkProcesses([&](const PROCESSENTRY32 &entry) {
        if (!hasName(entry, name)) return false;
        found = 1;
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process != nullptr) {
            TerminateProcess(process, 0);
            CloseHandle(process);
        }
        return true;
    });
    return found;
}
