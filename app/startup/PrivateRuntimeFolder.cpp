// SPDX-License-Identifier: Apache-2.0
#include "app/startup/PrivateRuntimeFolder.h"

#include <cerrno>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace startup {

bool isPrivateFolder(const std::string &path) {
    struct stat info;
    // lstat: a link, even to a folder of ours, may be swapped for another target.
    return !path.empty() && path[0] == '/' && lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == geteuid() && (info.st_mode & 0777) == S_IRWXU;
}

std::string privateRuntimeFolder(const char *xdgRuntimeDir, const std::string &tempFolder) {
    if (xdgRuntimeDir != nullptr && isPrivateFolder(xdgRuntimeDir)) return xdgRuntimeDir;
    if (tempFolder.empty()) return std::string();
    std::string folder = tempFolder;
    if (folder.back() != '/') folder += '/';
    folder += kRuntimeFolderPrefix + std::to_string(getuid());
    if (mkdir(folder.c_str(), S_IRWXU) == 0) {
        // A strict umask may have taken the owner's own bits; the folder is new and ours.
        chmod(folder.c_str(), S_IRWXU);
    } else if (errno != EEXIST) {
        return std::string();
    }
    return isPrivateFolder(folder) ? folder : std::string();
}

bool isHeldByAnotherUser(const std::string &path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && info.st_uid != geteuid();
}

}  // namespace startup
