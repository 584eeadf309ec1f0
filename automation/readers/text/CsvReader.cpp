// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/text/CsvReader.h"

#include "automation/model/Limits.h"
#include "automation/numfmt/NumberFormat.h"
#include "automation/readers/Readers.h"
#include "automation/readers/text/TextDecoding.h"
#include "automation/readers/xlsx/OoxmlText.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>

namespace automation::readers::text {

namespace {

using model::Cell;

// The General display never exceeds this many characters, so longer fields
// cannot be numbers that read back unchanged.
constexpr size_t kMaxGeneralLength = 11;

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

class FileCloser {
public:
    explicit FileCloser(FILE *f) : f_(f) {}
    ~FileCloser() {
        if (f_) std::fclose(f_);
    }
    FILE *get() const { return f_; }

private:
    FILE *f_;
};

ReadStatus readWholeFile(const std::string &path, std::string *out, std::string *message) {
    FileCloser file(std::fopen(path.c_str(), "rb"));
    if (!file.get()) {
        *message = "cannot open " + path;
        return errno == ENOENT ? ReadStatus::NotFound : ReadStatus::Unreadable;
    }
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (out->size() + n > kMaxTextFileBytes) {
            *message = "text file too large";
            return ReadStatus::TooLarge;
        }
        out->append(buffer, n);
    }
    if (std::ferror(file.get())) {
        *message = "read error";
        return ReadStatus::Unreadable;
    }
    return ReadStatus::Ok;
}

}  // namespace

bool fieldAsNumber(std::string_view field, double *value) {
    if (field.empty() || field.size() > kMaxGeneralLength) return false;
    const char c = field[0];
    if (!((c >= '0' && c <= '9') || c == '-' || c == '.')) return false;
    double v = 0;
    const auto r = std::from_chars(field.data(), field.data() + field.size(), v);
    if (r.ec != std::errc() || r.ptr != field.data() + field.size() || !std::isfinite(v)) return false;
    if (numfmt::formatGeneral(v) != field) return false;
    *value = v;
    return true;
}

ReadStatus parseDelimited(std::string_view text, char separator, model::Sheet *sheet, model::StringPool *strings,
                          std::string *message) {
    const size_t n = text.size();
    size_t i = 0;
    uint32_t row = 1, column = 1;
    std::string field;
    while (i < n) {
        // One field starting at i.
        std::string_view value;
        if (text[i] == '"') {
            field.clear();
            ++i;
            bool closed = false;
            while (i < n) {
                const size_t q = text.find('"', i);
                if (q == std::string_view::npos) {
                    field.append(text.substr(i));
                    i = n;
                    break;
                }
                field.append(text.substr(i, q - i));
                if (q + 1 < n && text[q + 1] == '"') {
                    field += '"';
                    i = q + 2;
                    continue;
                }
                i = q + 1;
                closed = true;
                break;
            }
            // Text after the closing quote belongs to the field, as the applications read it.
            if (closed) {
                const size_t start = i;
                while (i < n && text[i] != separator && !isLineEnd(text[i])) ++i;
                field.append(text.substr(start, i - start));
            }
            value = field;
        } else {
            const size_t start = i;
            while (i < n && text[i] != separator && !isLineEnd(text[i])) ++i;
            value = text.substr(start, i - start);
        }

        if (!value.empty()) {
            if (row > model::kMaxRows || column > model::kMaxColumns) {
                *message = "more rows or columns than a worksheet holds";
                return ReadStatus::TooLarge;
            }
            double number;
            if (fieldAsNumber(value, &number)) {
                sheet->setCell(row, Cell::makeNumber(column, number));
            } else {
                std::string s(value);
                xlsx::cutToUtf16Units(s, model::kMaxTextLength);
                sheet->setCell(row, Cell::makeString(column, strings->append(std::move(s))));
            }
        }

        if (i >= n) break;
        if (text[i] == separator) {
            ++i;
            ++column;
            if (i == n) break;  // a trailing separator ends the last record with an empty field
        } else {                // a line end: CRLF, LF or CR
            if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
            ++i;
            ++row;
            column = 1;
        }
    }
    return ReadStatus::Ok;
}

}  // namespace automation::readers::text

namespace automation::readers {

ReadResult readDelimitedText(const std::string &path, char separator, const std::string &sheetName) {
    try {
        std::string message;
        std::string bytes;
        ReadStatus s = text::readWholeFile(path, &bytes, &message);
        if (s != ReadStatus::Ok) return ReadResult::fail(s, message);
        if (!text::decodeToUtf8(bytes)) return ReadResult::fail(ReadStatus::NotAWorkbook, "binary content");
        auto wb = std::make_unique<model::WorkbookModel>();
        model::Sheet &sheet = wb->appendSheet(sheetName);
        s = text::parseDelimited(bytes, separator, &sheet, &wb->mutableStrings(), &message);
        if (s != ReadStatus::Ok) return ReadResult::fail(s, message);
        return ReadResult::ok(std::move(wb));
    } catch (const std::bad_alloc &) {
        return ReadResult::fail(ReadStatus::TooLarge, "out of memory");
    } catch (...) {
        return ReadResult::fail(ReadStatus::Corrupt, "unexpected failure");
    }
}

}  // namespace automation::readers
