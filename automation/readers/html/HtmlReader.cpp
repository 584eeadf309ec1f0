// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/Readers.h"
#include "automation/readers/html/HtmlCharset.h"
#include "automation/readers/html/HtmlTableExtractor.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace automation::readers {

namespace {

// Web exports are rarely past a few megabytes; beyond this the file is refused.
constexpr uint64_t kMaxHtmlBytes = 256ull * 1024 * 1024;  // also keeps lengths within int
constexpr int kParseOptions = HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_RECOVER;

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
struct DocFreer {
    void operator()(xmlDoc *d) const { xmlFreeDoc(d); }
};

ReadStatus loadFile(const std::string &path, std::vector<char> *bytes, std::string *message) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        *message = missing ? "no such file" : "cannot read the file";
        return missing ? ReadStatus::NotFound : ReadStatus::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        *message = "not a regular file";
        return ReadStatus::Unreadable;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxHtmlBytes) {
        *message = "the document is too large";
        return ReadStatus::TooLarge;
    }
    std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        *message = "cannot open the file";
        return ReadStatus::Unreadable;
    }
    bytes->resize(static_cast<size_t>(st.st_size));
    const size_t got = bytes->empty() ? 0 : std::fread(bytes->data(), 1, bytes->size(), f.get());
    if (got != bytes->size()) {
        *message = "the file could not be read completely";
        return ReadStatus::Unreadable;
    }
    return ReadStatus::Ok;
}

}  // namespace

ReadResult readHtmlTable(const std::string &path, const std::string &sheetName) {
    try {
        std::vector<char> bytes;
        std::string message;
        const ReadStatus status = loadFile(path, &bytes, &message);
        if (status != ReadStatus::Ok) return ReadResult::fail(status, message);

        const html::HtmlCharset charset = html::detectHtmlCharset(bytes.data(), bytes.size());
        std::string converted;
        const char *text = bytes.data() + charset.bomBytes;
        size_t length = bytes.size() - charset.bomBytes;
        if (html::convertToUtf8(bytes.data(), bytes.size(), charset, &converted)) {
            std::vector<char>().swap(bytes);
            text = converted.data();
            length = converted.size();
        }
        if (length > static_cast<size_t>(INT32_MAX))
            return ReadResult::fail(ReadStatus::TooLarge, "the document is too large");
        // libxml2 sets up its globals once, before two threads parse at the same time.
        static std::once_flag parserReady;
        std::call_once(parserReady, [] { xmlInitParser(); });
        // Given an encoding, the parser ignores the document's own declaration,
        // which no longer describes the bytes it sees.
        std::unique_ptr<xmlDoc, DocFreer> doc(
            htmlReadMemory(length ? text : "", static_cast<int>(length), nullptr, "UTF-8", kParseOptions));
        if (!doc) return ReadResult::fail(ReadStatus::Corrupt, "the HTML document could not be parsed");

        auto book = std::make_unique<model::WorkbookModel>();
        model::Sheet &sheet = book->appendSheet(sheetName);
        if (xmlNodePtr root = xmlDocGetRootElement(doc.get())) html::extractFirstTable(root, book.get(), &sheet);
        return ReadResult::ok(std::move(book));
    } catch (const std::bad_alloc &) {
        return ReadResult::fail(ReadStatus::TooLarge, "out of memory while reading the document");
    } catch (...) {
        return ReadResult::fail(ReadStatus::Corrupt, "the HTML document could not be read");
    }
}

}  // namespace automation::readers
