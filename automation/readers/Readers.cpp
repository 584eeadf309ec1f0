// SPDX-License-Identifier: Apache-2.0
// Chooses a reader by what the file holds, never by its name alone: the
// applications open a zip named .xls as a workbook and refuse random bytes
// named .xlsx.
#include "automation/readers/Readers.h"

#include "automation/model/Limits.h"
#include "automation/readers/xlsx/EncryptedPackage.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/stat.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace automation::readers {

namespace {

// Enough of the head of a file to tell its kind.
constexpr size_t kSniffBytes = 64 * 1024;

const unsigned char kZipMagic[] = {'P', 'K', 0x03, 0x04};
const unsigned char kEmptyZipMagic[] = {'P', 'K', 0x05, 0x06};
const unsigned char kOleMagic[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

enum class Kind { Zip, Compound, Utf16Text, Text, Binary };

template <size_t N>
bool startsWith(const std::string &head, const unsigned char (&magic)[N]) {
    return head.size() >= N && std::memcmp(head.data(), magic, N) == 0;
}

Kind classify(const std::string &head) {
    if (startsWith(head, kZipMagic) || startsWith(head, kEmptyZipMagic)) return Kind::Zip;
    if (startsWith(head, kOleMagic)) return Kind::Compound;
    if (head.size() >= 2 && ((head[0] == '\xFF' && head[1] == '\xFE') || (head[0] == '\xFE' && head[1] == '\xFF')))
        return Kind::Utf16Text;
    return std::memchr(head.data(), 0, head.size()) ? Kind::Binary : Kind::Text;
}

std::string lowerSuffix(const std::string &path) {
    const QString suffix = QFileInfo(QFile::decodeName(path.c_str())).suffix().toLower();
    return suffix.toStdString();
}

// The text of the head as ASCII-lower-case, a UTF-8 byte-order mark and
// leading blanks left out (enough to recognise markup).
std::string markupHead(const std::string &head) {
    size_t i = head.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
    std::string out = head.substr(i, 2048);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The ASCII characters of a UTF-16 head (others as '?'), byte-order mark
// dropped, so that markup written in UTF-16 is recognised like any other.
std::string asciiOfUtf16(const std::string &head) {
    const bool bigEndian = head[0] == '\xFE';
    std::string out;
    for (size_t i = 2; i + 1 < head.size() && out.size() < 4096; i += 2) {
        const auto hi = static_cast<unsigned char>(head[bigEndian ? i : i + 1]);
        const auto lo = static_cast<unsigned char>(head[bigEndian ? i + 1 : i]);
        out += hi == 0 && lo < 0x80 ? static_cast<char>(lo) : '?';
    }
    return out;
}

bool isHtml(const std::string &lower) {
    if (lower.rfind("<!doctype html", 0) == 0 || lower.rfind("<html", 0) == 0 || lower.rfind("<table", 0) == 0)
        return true;
    // A comment or an XML declaration may come first; the html element soon after.
    return (lower.rfind("<!--", 0) == 0 || lower.rfind("<?xml", 0) == 0 || lower.rfind("<meta", 0) == 0) &&
           lower.find("<html") != std::string::npos;
}

bool isSpreadsheetXml2003(const std::string &lower) {
    return lower.rfind("<?xml", 0) == 0 &&
           lower.find("urn:schemas-microsoft-com:office:spreadsheet") != std::string::npos;
}

// Named as the applications name a text file's sheet: the file name without
// its extension, cut to the longest sheet name.
std::string sheetNameForTextFile(const std::string &path) {
    QString name = QFileInfo(QFile::decodeName(path.c_str())).completeBaseName();
    if (name.size() > static_cast<int>(model::kMaxSheetNameLength)) {
        int cut = static_cast<int>(model::kMaxSheetNameLength);
        if (name.at(cut - 1).isHighSurrogate()) --cut;
        name.truncate(cut);
    }
    return name.toStdString();
}

ReadResult sniffAndRead(const std::string &path, RowFilter *filter, std::vector<SheetOutline> *outlines) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return ReadResult::fail(errno == ENOENT || errno == ENOTDIR ? ReadStatus::NotFound : ReadStatus::Unreadable,
                                "cannot find " + path);
    if (!S_ISREG(st.st_mode)) return ReadResult::fail(ReadStatus::Unreadable, "not a regular file");

    std::string head(kSniffBytes, '\0');
    {
        FILE *f = std::fopen(path.c_str(), "rb");
        if (!f) return ReadResult::fail(ReadStatus::Unreadable, "cannot open " + path);
        head.resize(std::fread(&head[0], 1, head.size(), f));
        const bool bad = std::ferror(f) != 0;
        std::fclose(f);
        if (bad) return ReadResult::fail(ReadStatus::Unreadable, "cannot read " + path);
    }
    if (head.empty()) return ReadResult::fail(ReadStatus::NotAWorkbook, "empty file");

    const std::string suffix = lowerSuffix(path);
    const Kind kind = classify(head);
    switch (kind) {
        case Kind::Zip:
            return readXlsx(path, filter, outlines);
        case Kind::Compound:
            switch (xlsx::inspectCompoundFile(path)) {
                case xlsx::CompoundKind::Encrypted:
                    return ReadResult::fail(ReadStatus::Encrypted, "password-protected workbook");
                case xlsx::CompoundKind::Damaged:
                    return ReadResult::fail(ReadStatus::Corrupt, "damaged compound file");
                default:
                    return readXls(path);
            }
        case Kind::Binary:
            if (isPlainBiffStream(head)) return readPlainBiffStream(path, sheetNameForTextFile(path));
            return ReadResult::fail(ReadStatus::NotAWorkbook, "unknown binary content");
        case Kind::Utf16Text:
        case Kind::Text:
            break;
    }

    const bool csv = suffix == "csv";
    const bool tsv = suffix == "tsv";
    const bool xls = suffix == "xls";
    if (!csv && !tsv && !xls) return ReadResult::fail(ReadStatus::NotAWorkbook, "text content under a workbook name");
    const std::string sheetName = sheetNameForTextFile(path);
    const std::string lower = markupHead(kind == Kind::Utf16Text ? asciiOfUtf16(head) : head);
    if (isHtml(lower)) return readHtmlTable(path, sheetName);
    if (isSpreadsheetXml2003(lower))
        return ReadResult::fail(ReadStatus::Unsupported, "XML spreadsheets (2003) are not read");
    return readDelimitedText(path, csv ? ',' : '\t', sheetName);
}

}  // namespace
}  // namespace automation::readers

namespace automation::readers {

ReadResult readWorkbookFile(const std::string &path) { return readWorkbookFile(path, nullptr, nullptr); }

ReadResult readWorkbookFile(const std::string &path, RowFilter *filter, std::vector<SheetOutline> *outlines) {
    if (outlines) outlines->clear();
    try {
        return sniffAndRead(path, filter, outlines);
    } catch (const std::bad_alloc &) {
        return ReadResult::fail(ReadStatus::TooLarge, "out of memory");
    } catch (...) {
        return ReadResult::fail(ReadStatus::Corrupt, "unexpected failure");
    }
}

}  // namespace automation::readers
