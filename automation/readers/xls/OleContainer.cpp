// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xls/OleContainer.h"

#include "automation/readers/GsfSupport.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace automation::readers::xls {

namespace {

constexpr size_t kReadChunkBytes = 1u << 20;

void setMessage(std::string *message, std::string text) {
    if (message) *message = std::move(text);
}

// Stream names in a compound file compare without regard to case.
GsfInput *findChild(GsfInfile *infile, const char *name) {
    const int n = gsf_infile_num_children(infile);
    for (int i = 0; i < n; ++i) {
        const char *childName = gsf_infile_name_by_index(infile, i);
        if (childName && g_ascii_strcasecmp(childName, name) == 0) return gsf_infile_child_by_index(infile, i);
    }
    return nullptr;
}

}  // namespace

ReadStatus loadWorkbookStream(const std::string &path, std::vector<uint8_t> *bytes, std::string *message) {
    bytes->clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        setMessage(message, missing ? "no such file" : "cannot read the file");
        return missing ? ReadStatus::NotFound : ReadStatus::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        setMessage(message, "not a regular file");
        return ReadStatus::Unreadable;
    }

    ensureGsfInitialised();
    GError *error = nullptr;
    GObjectRef<GsfInput> input(gsf_input_stdio_new(path.c_str(), &error));
    if (!input.ptr) {
        if (error) g_error_free(error);
        setMessage(message, "cannot open the file");
        return ReadStatus::Unreadable;
    }
    GObjectRef<GsfInfile> ole(gsf_infile_msole_new(input.ptr, &error));
    if (!ole.ptr) {
        if (error) g_error_free(error);
        setMessage(message, "not an OLE2 compound file");
        return ReadStatus::NotAWorkbook;
    }

    GObjectRef<GsfInput> stream(findChild(ole.ptr, "Workbook"));
    if (!stream.ptr) stream.ptr = findChild(ole.ptr, "Book");
    if (!stream.ptr) {
        // Office encryption wraps even an .xlsx in a compound file.
        GObjectRef<GsfInput> package(findChild(ole.ptr, "EncryptedPackage"));
        if (package.ptr) {
            setMessage(message, "the workbook is encrypted");
            return ReadStatus::Encrypted;
        }
        setMessage(message, "the compound file holds no workbook stream");
        return ReadStatus::Unsupported;
    }

    const gsf_off_t size = gsf_input_size(stream.ptr);
    // A stream cannot be larger than the file that holds it.
    if (size < 0 || static_cast<uint64_t>(size) > static_cast<uint64_t>(st.st_size)) {
        setMessage(message, "the workbook stream size is impossible");
        return ReadStatus::Corrupt;
    }
    if (static_cast<uint64_t>(size) > kMaxWorkbookStreamBytes) {
        setMessage(message, "the workbook stream is too large");
        return ReadStatus::TooLarge;
    }

    bytes->resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes->size()) {
        const size_t chunk = std::min(kReadChunkBytes, bytes->size() - done);
        if (!gsf_input_read(stream.ptr, chunk, bytes->data() + done)) {
            bytes->clear();
            setMessage(message, "the workbook stream is truncated");
            return ReadStatus::Corrupt;
        }
        done += chunk;
    }
    return ReadStatus::Ok;
}

}  // namespace automation::readers::xls
