// SPDX-License-Identifier: Apache-2.0
#include "settings/FileReplace.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace settings {

namespace {

constexpr char kTempSuffix[] = ".XXXXXX";

struct FileCloser {
    void operator()(std::FILE *file) const {
        if (file != nullptr) std::fclose(file);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

bool writeAll(std::FILE *file, const char *data, size_t size) {
    if (size > 0 && std::fwrite(data, 1, size, file) != size) return false;
    return std::fflush(file) == 0;
}

bool truncateTo(std::FILE *file, size_t size) {
#ifdef _WIN32
    return _chsize_s(_fileno(file), static_cast<long long>(size)) == 0;
#else
    return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
#endif
}

bool flushToDisk(std::FILE *file) {
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// The file a symbolic link points to is the one to replace, not the link.
std::string resolvedTarget(const char *path) {
#ifdef _WIN32
    return path;
#else
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path, nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string(path);
#endif
}

// Creates a new, exclusive temporary file beside target; its name goes to tempPath.
FileHandle createTempBeside(const std::string &target, std::string &tempPath) {
    tempPath = target + kTempSuffix;
#ifdef _WIN32
    if (_mktemp_s(&tempPath[0], tempPath.size() + 1) != 0) return FileHandle();
    const int fd = _open(tempPath.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return FileHandle();
    FileHandle file(_fdopen(fd, "wb"));
    if (!file) _close(fd);
    return file;
#else
    const int fd = mkstemp(&tempPath[0]);
    if (fd < 0) return FileHandle();
    struct stat targetStat;
    if (stat(target.c_str(), &targetStat) == 0) fchmod(fd, targetStat.st_mode & 07777);
    FileHandle file(fdopen(fd, "wb"));
    if (!file) close(fd);
    return file;
#endif
}

bool renameOver(const std::string &from, const std::string &to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// Used when no temporary file can be made beside the target (a folder the user
// may not write to holding a file they may): the old content is put back when
// the new one cannot be written whole.
int replaceInPlace(const std::string &target, const char *data, size_t size, const std::string &oldContent) {
    FileHandle file(std::fopen(target.c_str(), "r+b"));
    if (!file) return -1;
    if (writeAll(file.get(), data, size) && truncateTo(file.get(), size)) return 0;
    std::rewind(file.get());
    writeAll(file.get(), oldContent.data(), oldContent.size());
    truncateTo(file.get(), oldContent.size());
    return -1;
}

}  // namespace

bool readWholeFile(const char *path, std::string &content) {
    if (path == nullptr) return false;
    FileHandle file(std::fopen(path, "rb"));
    if (!file) return false;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
    content.assign(static_cast<size_t>(size), '\0');
    const size_t got = size > 0 ? std::fread(&content[0], 1, content.size(), file.get()) : 0;
    if (std::ferror(file.get())) return false;
    content.resize(got);
    return true;
}

int replaceFileContent(const char *path, const char *data, size_t size, const std::string &oldContent) {
    if (path == nullptr || data == nullptr) return -1;
    const std::string target = resolvedTarget(path);
    {
        // Opening for update neither creates nor truncates: it only proves that
        // the file exists and may be written, as a plain rewrite would need.
        FileHandle probe(std::fopen(target.c_str(), "r+b"));
        if (!probe) return -1;
    }
    std::string tempPath;
    FileHandle temp = createTempBeside(target, tempPath);
    if (!temp) return replaceInPlace(target, data, size, oldContent);
    const bool written = writeAll(temp.get(), data, size) && flushToDisk(temp.get());
    const bool closed = std::fclose(temp.release()) == 0;
    if (!written || !closed || !renameOver(tempPath, target)) {
        std::remove(tempPath.c_str());
        return -1;
    }
    return 0;
}

}  // namespace settings
