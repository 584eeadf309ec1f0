// SPDX-License-Identifier: Apache-2.0
#include "settings/FileCreate.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>

// Not every C library has the test macros.
#ifndef S_ISDIR
#define S_ISDIR(mode) (((mode)&S_IFMT) == S_IFDIR)
#endif
#ifndef S_ISREG
#define S_ISREG(mode) (((mode)&S_IFMT) == S_IFREG)
#endif

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace settings {

namespace {

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

bool isFolder(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Folders made here hold one user's options: nobody else needs to list them.
bool makeFolder(const std::string &path) {
#ifdef _WIN32
    const int made = _mkdir(path.c_str());
#else
    const int made = mkdir(path.c_str(), 0700);
#endif
    return made == 0 || (errno == EEXIST && isFolder(path));
}

bool makeFoldersAbove(const std::string &path) {
    for (size_t i = 1; i < path.size(); ++i) {
        if (!isSeparator(path[i]) || isSeparator(path[i - 1])) continue;
        const std::string folder = path.substr(0, i);
#ifdef _WIN32
        // "C:" names a drive, not a folder to make.
        if (folder.size() == 2 && folder[1] == ':') continue;
#endif
        if (!isFolder(folder) && !makeFolder(folder)) return false;
    }
    return true;
}

bool isPlainFile(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

int createFileWithFolders(const char *path) {
    if (path == nullptr || path[0] == '\0') return -1;
    try {
        const std::string target(path);
        if (isSeparator(target.back()) || !makeFoldersAbove(target)) return -1;
            // Exclusive: a file another copy made meanwhile is kept, not emptied.
#ifdef _WIN32
        const int fd = _open(path, _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0) _close(fd);
#else
        const int fd = open(path, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) close(fd);
#endif
        return isPlainFile(path) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

}  // namespace settings
