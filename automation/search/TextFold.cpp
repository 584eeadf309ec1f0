#include "automation/search/TextFold.h"

namespace automation::search {

namespace {
// Most cell texts are plain ASCII: fold those without a round trip through QString.
bool foldAscii(std::string_view utf8, std::u16string *out) {
    out->resize(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x80) return false;
        (*out)[i] = static_cast<char16_t>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    return true;
}
}  // namespace

std::u16string foldText(const QString &text) {
    QString widthFolded(text);
    for (QChar &ch : widthFolded) ch = QChar(foldWidth(ch.unicode()));
    const QString folded = widthFolded.toCaseFolded();
    return std::u16string(reinterpret_cast<const char16_t *>(folded.utf16()), static_cast<size_t>(folded.size()));
}

std::u16string foldText(std::string_view utf8) {
    std::u16string out;
    if (foldAscii(utf8, &out)) return out;
    return foldText(QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size())));
}

}  // namespace automation::search
