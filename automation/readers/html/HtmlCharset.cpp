// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/html/HtmlCharset.h"

#include <QByteArray>
#include <QString>
#include <QTextCodec>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

namespace automation::readers::html {

namespace {

// Declarations live in the head; no need to look further.
constexpr size_t kMetaScanBytes = 4096;
constexpr const char *kDefaultEncoding = "UTF-8";

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Labels browsers read as a wider set than they name.
std::string canonicalEncoding(const std::string &label) {
    if (label == "gb2312" || label == "gb_2312-80" || label == "x-gbk" || label == "csgb2312" || label == "chinese" ||
        label == "cp936" || label == "gbk")
        return "GB18030";  // decodes every GBK sequence and more
    if (label == "iso-8859-1" || label == "latin1" || label == "us-ascii" || label == "ascii" || label == "l1")
        return "windows-1252";
    if (label == "big5-hkscs" || label == "x-x-big5") return "Big5";
    // A document that could be scanned as ASCII is not UTF-16, whatever it says.
    if (label.rfind("utf-16", 0) == 0 || label == "unicode") return kDefaultEncoding;
    return label;
}

bool knownCodec(const std::string &name) { return QTextCodec::codecForName(name.c_str()) != nullptr; }

bool isValidUtf8(const unsigned char *s, size_t n) {
    size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t extra;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0)
            extra = 1, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0)
            extra = 2, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0)
            extra = 3, cp = c & 0x07;
        else
            return false;
        if (n - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

// The value after "charset" inside one <meta ...> tag, or empty.
std::string charsetInTag(std::string_view tag) {
    const size_t at = tag.find("charset");
    if (at == std::string_view::npos) return {};
    size_t i = at + 7;
    while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
    if (i >= tag.size() || tag[i] != '=') return {};
    ++i;
    while (i < tag.size() && (std::isspace(static_cast<unsigned char>(tag[i])) || tag[i] == '"' || tag[i] == '\'')) ++i;
    size_t end = i;
    while (end < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[end])) || tag[end] == '-' ||
                                tag[end] == '_' || tag[end] == '.' || tag[end] == ':'))
        ++end;
    return std::string(tag.substr(i, end - i));
}

}  // namespace

HtmlCharset detectHtmlCharset(const char *data, size_t size) {
    const auto *b = reinterpret_cast<const unsigned char *>(data);
    if (size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return {"UTF-8", 3};
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) return {"UTF-16LE", 2};
    if (size >= 2 && b[0] == 0xFE && b[1] == 0xFF) return {"UTF-16BE", 2};

    const std::string head = lowerAscii(std::string_view(data, std::min(size, kMetaScanBytes)));
    size_t pos = 0;
    while ((pos = head.find("<meta", pos)) != std::string::npos) {
        const size_t end = head.find('>', pos);
        const std::string label =
            charsetInTag(std::string_view(head).substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (!label.empty()) {
            const std::string name = canonicalEncoding(label);
            if (knownCodec(name)) return {name, 0};
            break;
        }
        if (end == std::string::npos) break;
        pos = end;
    }
    return {kDefaultEncoding, 0};
}

bool convertToUtf8(const char *data, size_t size, const HtmlCharset &charset, std::string *out) {
    out->clear();
    const char *text = data + charset.bomBytes;
    const size_t length = size - charset.bomBytes;
    if (charset.encoding == kDefaultEncoding && isValidUtf8(reinterpret_cast<const unsigned char *>(text), length))
        return false;
    QTextCodec *codec = QTextCodec::codecForName(charset.encoding.c_str());
    if (!codec) codec = QTextCodec::codecForName(kDefaultEncoding);
    // Qt's lengths are int; larger documents are refused before this.
    const QByteArray utf8 = codec->toUnicode(text, static_cast<int>(length)).toUtf8();
    out->assign(utf8.constData(), static_cast<size_t>(utf8.size()));
    return true;
}

}  // namespace automation::readers::html
