// SPDX-License-Identifier: Apache-2.0
// Helpers for the writer tests: a scratch folder, file contents, zip entries.
#pragma once

#include <zip.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace writertest {

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/rowsifter-writers-XXXXXX";
        const char *made = ::mkdtemp(pattern);
        path_ = made ? made : "";
    }
    ~ScratchFolder() { removeTree(path_); }
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

    // Names of the folder's entries, "." and ".." left out.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        if (DIR *dir = ::opendir(path_.c_str())) {
            while (dirent *e = ::readdir(dir)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            ::closedir(dir);
        }
        return names;
    }

private:
    static void removeTree(const std::string &path) {
        if (path.empty()) return;
        if (DIR *dir = ::opendir(path.c_str())) {
            while (dirent *e = ::readdir(dir)) {
                const std::string name = e->d_name;
                if (name == "." || name == "..") continue;
                const std::string child = path + "/" + name;
                struct stat info {};
                if (::lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                    removeTree(child);
                else
                    ::unlink(child.c_str());
            }
            ::closedir(dir);
        }
        ::rmdir(path.c_str());
    }
    std::string path_;
};

inline std::string readAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline bool exists(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// One entry of a zip file, or "" when the zip or the entry is missing.
inline std::string zipEntry(const std::string &zipPath, const std::string &name) {
    int err = 0;
    zip_t *archive = zip_open(zipPath.c_str(), ZIP_RDONLY, &err);
    if (!archive) return {};
    std::string content;
    zip_stat_t st;
    if (zip_stat(archive, name.c_str(), 0, &st) == 0) {
        if (zip_file_t *f = zip_fopen(archive, name.c_str(), 0)) {
            content.resize(st.size);
            const zip_int64_t got = zip_fread(f, &content[0], st.size);
            content.resize(got > 0 ? static_cast<size_t>(got) : 0);
            zip_fclose(f);
        }
    }
    zip_close(archive);
    return content;
}

}  // namespace writertest
