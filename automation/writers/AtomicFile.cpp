// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/AtomicFile.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace automation::writers {

namespace {

constexpr const char *kTempPrefix = ".~rowsifter-";
constexpr const char *kTempSuffix = ".tmp";
constexpr int kTempNameAttempts = 64;
constexpr int kRandomNameLength = 10;

#ifdef _WIN32
constexpr int kOpenFlags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY;
constexpr int kOpenMode = _S_IREAD | _S_IWRITE;
int openExclusive(const char *path) { return _open(path, kOpenFlags, kOpenMode); }
int closeFile(int fd) { return _close(fd); }
long writeSome(int fd, const char *data, size_t size) {
    const unsigned int chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned int>(size);
    return _write(fd, data, chunk);
}
int syncFile(int fd) { return _commit(fd); }
bool seekFile(int fd, uint64_t offset) { return _lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) >= 0; }
int reopenForSync(const char *path) { return _open(path, _O_RDWR | _O_BINARY); }
bool isSeparator(char c) { return c == '/' || c == '\\'; }
#else
constexpr int kOpenFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
constexpr mode_t kOpenMode = 0666;  // narrowed by the umask like any new file
int openExclusive(const char *path) { return ::open(path, kOpenFlags, kOpenMode); }
int closeFile(int fd) { return ::close(fd); }
long writeSome(int fd, const char *data, size_t size) { return static_cast<long>(::write(fd, data, size)); }
int syncFile(int fd) { return ::fsync(fd); }
bool seekFile(int fd, uint64_t offset) { return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0; }
int reopenForSync(const char *path) { return ::open(path, O_RDONLY | O_CLOEXEC); }
bool isSeparator(char c) { return c == '/'; }
#endif

std::string folderOf(const std::string &path) {
    size_t cut = path.size();
    while (cut > 0 && !isSeparator(path[cut - 1])) --cut;
    if (cut == 0) return ".";
    if (cut == 1) return path.substr(0, 1);  // the root folder
    return path.substr(0, cut - 1);
}

std::string nameOf(const std::string &path) {
    size_t cut = path.size();
    while (cut > 0 && !isSeparator(path[cut - 1])) --cut;
    return path.substr(cut);
}

std::string randomName(std::mt19937_64 &random) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    s.reserve(kRandomNameLength);
    for (int i = 0; i < kRandomNameLength; ++i) s.push_back(kAlphabet[random() % (sizeof(kAlphabet) - 1)]);
    return s;
}

bool isFolder(const struct stat &info) { return (info.st_mode & S_IFMT) == S_IFDIR; }

bool replaceFile(const std::string &from, const std::string &to) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD code = GetLastError();
    errno = (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) ? EACCES
            : (code == ERROR_PATH_NOT_FOUND)                                 ? ENOENT
            : (code == ERROR_DISK_FULL)                                      ? ENOSPC
                                                                             : EIO;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// The rename itself must survive a power cut too.
void syncFolder(const std::string &folder) {
#ifndef _WIN32
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
#else
    (void)folder;
#endif
}

}  // namespace

std::string describeFileError(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return "the folder does not exist";
        case ENOTDIR:
            return "a part of the folder path is not a folder";
        case EACCES:
        case EPERM:
            return "the folder is not writable (access denied)";
        case EROFS:
            return "the folder is on a read-only disk";
        case ENOSPC:
            return "the disk is full";
#ifdef EDQUOT
        case EDQUOT:
            return "the disk quota is exhausted";
#endif
        case ENAMETOOLONG:
            return "the file name is too long";
        case EINVAL:
        case EILSEQ:
            return "the file name is not valid";
        case EISDIR:
            return "a folder of that name is in the way";
        case EMFILE:
        case ENFILE:
            return "too many files are open";
        case EIO:
            return "the disk reported an input/output error";
        default:
            return std::strerror(errorNumber);
    }
}

SaveFailure fileErrorKind(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return SaveFailure::FolderMissing;
        case ENOTDIR:
            return SaveFailure::NotAFolder;
        case EACCES:
        case EPERM:
            return SaveFailure::AccessDenied;
        case EROFS:
            return SaveFailure::ReadOnlyDisk;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return SaveFailure::DiskFull;
        case ENAMETOOLONG:
            return SaveFailure::NameTooLong;
        case EINVAL:
        case EILSEQ:
            return SaveFailure::NameNotValid;
        case EISDIR:
            return SaveFailure::FolderInTheWay;
        case EMFILE:
        case ENFILE:
            return SaveFailure::TooManyFiles;
        case EIO:
            return SaveFailure::DiskError;
        default:
            return SaveFailure::Other;
    }
}

AtomicFile::AtomicFile(std::string targetPath) : target_(std::move(targetPath)) {}

AtomicFile::~AtomicFile() {
    if (!committed_) discard();
}

WriteResult AtomicFile::failed(const std::string &why, SaveFailure kind) const {
    return WriteResult::failed("cannot save \"" + target_ + "\": " + why, kind);
}

WriteResult AtomicFile::failedOnError(int errorNumber) const {
    return failed(describeFileError(errorNumber), fileErrorKind(errorNumber));
}

WriteResult AtomicFile::open() {
    discard();
    committed_ = false;
    const std::string name = nameOf(target_);
    if (name.empty() || name == "." || name == "..")
        return failed("the file name is not valid", SaveFailure::NameNotValid);

    const std::string folder = folderOf(target_);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return failedOnError(errno);
    if (!isFolder(info)) return failed("\"" + folder + "\" is not a folder", SaveFailure::NotAFolder);
    if (::stat(target_.c_str(), &info) == 0 && isFolder(info))
        return failed("a folder of that name is in the way", SaveFailure::FolderInTheWay);

    const std::string base = target_.substr(0, target_.size() - name.size());
    std::mt19937_64 random(std::random_device{}() ^
                           static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        std::string candidate = base + kTempPrefix + randomName(random) + kTempSuffix;
        const int fd = openExclusive(candidate.c_str());
        if (fd >= 0) {
            fd_ = fd;
            tempPath_ = std::move(candidate);
            return WriteResult::done();
        }
        if (errno != EEXIST && errno != EINTR) return failedOnError(errno);
    }
    return failed("no free temporary file name in the folder");
}

void AtomicFile::releaseHandle() {
    if (fd_ >= 0) closeFile(fd_);
    fd_ = -1;
}

WriteResult AtomicFile::write(const char *data, size_t size) {
    if (fd_ < 0) return failed("the file is not open");
    while (size > 0) {
        const long written = writeSome(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return failedOnError(errno);
        }
        if (written == 0) return failedOnError(ENOSPC);
        data += written;
        size -= static_cast<size_t>(written);
    }
    return WriteResult::done();
}

WriteResult AtomicFile::seek(uint64_t offset) {
    if (fd_ < 0) return failed("the file is not open");
    if (!seekFile(fd_, offset)) return failedOnError(errno);
    return WriteResult::done();
}

WriteResult AtomicFile::commit() {
    if (tempPath_.empty()) return failed("the file is not open");
    int fd = fd_;
    fd_ = -1;
    if (fd < 0) fd = reopenForSync(tempPath_.c_str());
    if (fd < 0) {
        const int code = errno;
        discard();
        return failedOnError(code);
    }
    // Delayed allocation may report a full disk only here.
    const bool synced = syncFile(fd) == 0;
    const int syncCode = errno;
    const bool closed = closeFile(fd) == 0;
    const int closeCode = errno;
    if (!synced || !closed) {
        discard();
        return failedOnError(!synced ? syncCode : closeCode);
    }
    if (!replaceFile(tempPath_, target_)) {
        const int code = errno;
        discard();
        return failedOnError(code);
    }
    tempPath_.clear();
    committed_ = true;
    syncFolder(folderOf(target_));
    return WriteResult::done();
}

void AtomicFile::discard() {
    releaseHandle();
    if (!tempPath_.empty()) std::remove(tempPath_.c_str());
    tempPath_.clear();
}

}  // namespace automation::writers
