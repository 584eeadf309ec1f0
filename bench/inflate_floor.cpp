// SPDX-License-Identifier: Apache-2.0
// The physical floor of a search job: inflating every worksheet and
// shared-string part of a corpus with libdeflate on one core, and nothing
// else. Every other figure of the benchmark is quoted as a ratio to this one.
//
//   inflate_floor DIR     prints "<seconds> <parts> <inflated bytes>"
#include <libdeflate.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool isCellPart(const char *name) {
    return std::strcmp(name, "xl/sharedStrings.xml") == 0 ||
           (std::strncmp(name, "xl/worksheets/", 14) == 0 && std::strchr(name + 14, '/') == nullptr &&
            std::strstr(name, ".xml") != nullptr);
}

struct Totals {
    size_t parts = 0;
    size_t bytes = 0;
};

bool inflateWorkbook(const std::string &path, libdeflate_decompressor *d, std::vector<char> &raw,
                     std::vector<char> &out, Totals &totals) {
    int err = 0;
    zip_t *zip = zip_open(path.c_str(), ZIP_RDONLY, &err);
    if (!zip) return false;
    const zip_int64_t n = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        if (zip_stat_index(zip, i, 0, &st) != 0 || !isCellPart(st.name)) continue;
        if (st.comp_method != ZIP_CM_DEFLATE) continue;
        zip_file_t *f = zip_fopen_index(zip, i, ZIP_FL_COMPRESSED);
        if (!f) continue;
        raw.resize(st.comp_size);
        const zip_int64_t got = zip_fread(f, raw.data(), st.comp_size);
        zip_fclose(f);
        if (got != static_cast<zip_int64_t>(st.comp_size)) continue;
        out.resize(st.size);
        size_t actual = 0;
        if (libdeflate_deflate_decompress(d, raw.data(), raw.size(), out.data(), out.size(), &actual) ==
            LIBDEFLATE_SUCCESS) {
            totals.parts++;
            totals.bytes += actual;
        }
    }
    zip_close(zip);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: inflate_floor DIR\n");
        return 2;
    }
    std::vector<std::string> files;
    for (const auto &e : fs::recursive_directory_iterator(argv[1])) {
        const auto ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".xlsx" || ext == ".xlsm")) files.push_back(e.path().string());
    }
    libdeflate_decompressor *d = libdeflate_alloc_decompressor();
    std::vector<char> raw, out;
    Totals totals;
    const auto start = std::chrono::steady_clock::now();
    for (const auto &f : files) inflateWorkbook(f, d, raw, out, totals);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    libdeflate_free_decompressor(d);
    std::printf("%.3f %zu %zu\n", seconds, totals.parts, totals.bytes);
    return 0;
}
