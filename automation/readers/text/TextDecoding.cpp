// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/text/TextDecoding.h"

#include <QString>
#include <QTextCodec>

#include <algorithm>
#include <cstring>

namespace automation::readers::text {

namespace {

bool startsWith(const std::string &s, const char *prefix, size_t n) {
    return s.size() >= n && std::memcmp(s.data(), prefix, n) == 0;
}

std::string utf16ToUtf8(const std::string &bytes, bool bigEndian) {
    const size_t units = (bytes.size() - 2) / 2;  // an odd last byte is dropped
    QString text;
    text.resize(static_cast<int>(units));
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data()) + 2;
    for (size_t i = 0; i < units; ++i, p += 2)
        text[static_cast<int>(i)] = QChar(static_cast<ushort>(bigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]));
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

}  // namespace

TextEncoding detectEncoding(const std::string &bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF", 3)) return TextEncoding::Utf8Bom;
    if (startsWith(bytes, "\xFF\xFE", 2)) return TextEncoding::Utf16LE;
    if (startsWith(bytes, "\xFE\xFF", 2)) return TextEncoding::Utf16BE;
    return isValidUtf8(bytes.data(), bytes.size()) ? TextEncoding::Utf8 : TextEncoding::Gb18030;
}

bool isValidUtf8(const char *data, size_t size) {
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const auto *end = p + size;
    while (p < end) {
        // Skip ASCII quickly, eight bytes at a time.
        while (end - p >= 8) {
            uint64_t block;
            std::memcpy(&block, p, 8);
            if (block & 0x8080808080808080ull) break;
            p += 8;
        }
        if (p >= end) break;
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        size_t len;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else
            return false;
        if (static_cast<size_t>(end - p) < len) return false;
        for (size_t i = 1; i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode are not UTF-8.
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += len;
    }
    return true;
}

bool decodeToUtf8(std::string &bytes, TextEncoding *used) {
    // A NUL in the head marks binary content; one further on (a damaged or
    // badly exported line) costs only itself.
    const size_t head = std::min(bytes.size(), kBinaryHeadBytes);
    const TextEncoding enc = detectEncoding(bytes);
    if (used) *used = enc;
    if (enc == TextEncoding::Utf16LE || enc == TextEncoding::Utf16BE) {
        std::string out = utf16ToUtf8(bytes, enc == TextEncoding::Utf16BE);
        bytes.swap(out);
        return true;
    }
    if (std::memchr(bytes.data(), 0, head)) return false;
    if (std::memchr(bytes.data(), 0, bytes.size()))
        bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
    switch (enc) {
        case TextEncoding::Utf8Bom:
            bytes.erase(0, 3);
            break;
        case TextEncoding::Gb18030: {
            QTextCodec *codec = QTextCodec::codecForName("GB18030");
            if (!codec) return false;
            const QByteArray utf8 =
                codec->toUnicode(bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), INT32_MAX))).toUtf8();
            bytes.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
            break;
        }
        default:
            break;
    }
    return true;
}

}  // namespace automation::readers::text
