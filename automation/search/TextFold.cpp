// SPDX-License-Identifier: Apache-2.0
#include "automation/search/TextFold.h"

namespace automation::search {

namespace {

inline char16_t lowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

// Characters that case folding leaves alone and width folding at most maps
// to ASCII: CJK punctuation, kana, ideographs, Hangul, full-width ASCII.
inline bool foldsSimply(char16_t c) {
    return (c >= 0x3000 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= kFullWidthFirst && c <= kFullWidthLast);
}

// Most cell texts are ASCII, Chinese or both: fold those without a round
// trip through QString, into `out` (room for utf8.size() units). False
// (anything else, malformed UTF-8 included): Qt folds the text.
bool foldSimple(std::string_view utf8, char16_t *out, size_t *length) {
    size_t n = 0;
    const size_t size = utf8.size();
    for (size_t i = 0; i < size;) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out[n++] = lowerAscii(c);
            ++i;
            continue;
        }
        // Every simple character lies in U+3000..U+FFFF: three bytes.
        if ((c & 0xF0) != 0xE0 || size - i < 3) return false;
        const auto c1 = static_cast<unsigned char>(utf8[i + 1]), c2 = static_cast<unsigned char>(utf8[i + 2]);
        if ((c1 & 0xC0) != 0x80 || (c2 & 0xC0) != 0x80) return false;
        const auto cp = static_cast<char16_t>(((c & 0x0F) << 12) | ((c1 & 0x3F) << 6) | (c2 & 0x3F));
        if (!foldsSimply(cp)) return false;
        out[n++] = lowerAscii(foldWidth(cp));
        i += 3;
    }
    *length = n;
    return true;
}

// Texts up to this many bytes are folded on the stack, then copied once.
constexpr size_t kShortText = 256;

}  // namespace

std::u16string foldText(const QString &text) {
    QString widthFolded(text);
    for (QChar &ch : widthFolded) ch = QChar(foldWidth(ch.unicode()));
    const QString folded = widthFolded.toCaseFolded();
    return std::u16string(reinterpret_cast<const char16_t *>(folded.utf16()), static_cast<size_t>(folded.size()));
}

std::u16string foldText(std::string_view utf8) {
    size_t n = 0;
    if (utf8.size() <= kShortText) {
        char16_t folded[kShortText];
        if (foldSimple(utf8, folded, &n)) return std::u16string(folded, n);
    } else {
        std::u16string out(utf8.size(), u'\0');  // never more units than bytes
        if (foldSimple(utf8, &out[0], &n)) {
            out.resize(n);
            return out;
        }
    }
    return foldText(QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size())));
}

}  // namespace automation::search
