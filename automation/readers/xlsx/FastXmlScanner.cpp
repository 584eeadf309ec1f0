#include "automation/readers/xlsx/FastXmlScanner.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace automation::readers::xlsx {

namespace {

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

inline bool startsWith(const char *p, const char *end, const char *prefix) {
    const size_t n = std::strlen(prefix);
    return static_cast<size_t>(end - p) >= n && std::memcmp(p, prefix, n) == 0;
}

inline bool isXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Well-formed UTF-8 made only of characters XML allows. ASCII runs are
// checked eight bytes at a time.
bool isValidXmlUtf8(const unsigned char *p, const unsigned char *end) {
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    constexpr uint64_t kSpaceBytes = 0x2020202020202020ull;
    while (p < end) {
        if (end - p >= 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            // No high bit and no byte below 0x20: plain printable ASCII.
            if (((w | ((w - kSpaceBytes) & ~w)) & kHigh) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            ++p;
            continue;
        }
        int len;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p < len) return false;
        for (int i = 1; i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        static constexpr uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[len] || !isXmlChar(cp)) return false;
        p += len;
    }
    return true;
}

inline char *putUtf8(char *out, uint32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// Decodes one reference starting at `p` (just behind '&') into `out`.
// Returns the position behind ';', or null when the reference is not one
// XML defines without a document type.
const char *decodeReference(const char *p, const char *end, char **out) {
    const char *semi = static_cast<const char *>(std::memchr(p, ';', static_cast<size_t>(end - p)));
    if (!semi || semi == p || semi - p > 12) return nullptr;
    const size_t n = static_cast<size_t>(semi - p);
    if (*p == '#') {
        uint32_t cp = 0;
        const char *q = p + 1;
        const bool hex = q < semi && *q == 'x';
        if (hex) ++q;
        if (q == semi) return nullptr;
        for (; q < semi; ++q) {
            const char c = *q;
            uint32_t digit;
            if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
            else if (hex && c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
            else return nullptr;
            cp = cp * (hex ? 16 : 10) + digit;
            if (cp > 0x10FFFF) return nullptr;
        }
        if (!isXmlChar(cp)) return nullptr;
        *out = putUtf8(*out, cp);
        return semi + 1;
    }
    char c;
    if (n == 2 && p[0] == 'l' && p[1] == 't') c = '<';
    else if (n == 2 && p[0] == 'g' && p[1] == 't') c = '>';
    else if (n == 3 && std::memcmp(p, "amp", 3) == 0) c = '&';
    else if (n == 4 && std::memcmp(p, "quot", 4) == 0) c = '"';
    else if (n == 4 && std::memcmp(p, "apos", 4) == 0) c = '\'';
    else return nullptr;
    *(*out)++ = c;
    return semi + 1;
}

// Decodes references and normalises line ends in place, as an XML processor
// must: in text CR LF and lone CR become LF; in attribute values every
// white-space character becomes a space. Returns the new end, or null.
char *decodeInPlace(char *begin, char *end, bool attribute) {
    char *first = begin;
    while (first < end && *first != '&' && *first != '\r' && !(attribute && (*first == '\n' || *first == '\t')))
        ++first;
    if (first == end) return end;
    char *out = first;
    const char *p = first;
    while (p < end) {
        const char c = *p;
        if (c == '&') {
            p = decodeReference(p + 1, end, &out);
            if (!p) return nullptr;
        } else if (c == '\r') {
            *out++ = attribute ? ' ' : '\n';
            ++p;
            if (p < end && *p == '\n') {
                if (attribute) *out++ = ' ';
                ++p;
            }
        } else if (attribute && (c == '\n' || c == '\t')) {
            *out++ = ' ';
            ++p;
        } else {
            *out++ = c;
            ++p;
        }
    }
    return out;
}

inline bool isNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}


class Scanner {
public:
    Scanner(char *data, size_t size, XmlHandler &handler, std::string *message)
        : p_(data), end_(data + size), handler_(handler), message_(message) {}

    ScanResult run();

private:
    ScanResult corrupt(const char *what) {
        if (message_) *message_ = what;
        return ScanResult::Corrupt;
    }
    ScanResult text(char *begin, char *end);
    ScanResult startTag();
    ScanResult endTag();

    char *p_;
    char *end_;
    XmlHandler &handler_;
    std::string *message_;
    std::vector<char *> stack_;
    std::vector<const char *> attributes_;
    bool seenRoot_ = false;
};

ScanResult Scanner::text(char *begin, char *end) {
    if (stack_.empty()) {
        for (const char *q = begin; q < end; ++q)
            if (!isSpace(*q)) return corrupt("text outside the document element");
        return ScanResult::Ok;
    }
    char *decodedEnd = decodeInPlace(begin, end, false);
    if (!decodedEnd) return corrupt("undefined entity or bad character reference");
    if (handler_.capturingText() && decodedEnd > begin)
        handler_.characters(begin, static_cast<int>(decodedEnd - begin));
    return ScanResult::Ok;
}

ScanResult Scanner::startTag() {
    char *name = p_;
    if (!isNameStart(static_cast<unsigned char>(*name))) return corrupt("not well-formed element name");
    while (p_ < end_ && !isSpace(*p_) && *p_ != '/' && *p_ != '>') ++p_;
    char *nameEnd = p_;
    attributes_.clear();
    bool selfClosing = false;
    for (;;) {
        const char *beforeSpace = p_;
        while (p_ < end_ && isSpace(*p_)) ++p_;
        if (p_ >= end_) return corrupt("unclosed start tag");
        if (*p_ == '>') {
            ++p_;
            break;
        }
        if (*p_ == '/') {
            if (p_ + 1 >= end_ || p_[1] != '>') return corrupt("not well-formed start tag");
            p_ += 2;
            selfClosing = true;
            break;
        }
        if (p_ == beforeSpace) return corrupt("attributes must be separated by white space");
        char *attrName = p_;
        if (!isNameStart(static_cast<unsigned char>(*attrName))) return corrupt("not well-formed attribute name");
        while (p_ < end_ && !isSpace(*p_) && *p_ != '=' && *p_ != '>' && *p_ != '/') ++p_;
        char *attrNameEnd = p_;
        while (p_ < end_ && isSpace(*p_)) ++p_;
        if (p_ >= end_ || *p_ != '=') return corrupt("attribute without value");
        ++p_;
        while (p_ < end_ && isSpace(*p_)) ++p_;
        if (p_ >= end_ || (*p_ != '"' && *p_ != '\'')) return corrupt("attribute value not quoted");
        const char quote = *p_++;
        char *value = p_;
        char *valueEnd = static_cast<char *>(std::memchr(value, quote, static_cast<size_t>(end_ - value)));
        if (!valueEnd) return corrupt("unclosed attribute value");
        if (std::memchr(value, '<', static_cast<size_t>(valueEnd - value))) return corrupt("'<' in attribute value");
        p_ = valueEnd + 1;
        if (p_ < end_ && !isSpace(*p_) && *p_ != '/' && *p_ != '>') return corrupt("attributes must be separated by white space");
        char *decodedEnd = decodeInPlace(value, valueEnd, true);
        if (!decodedEnd) return corrupt("undefined entity or bad character reference");
        *decodedEnd = '\0';
        *attrNameEnd = '\0';
        // Namespace declarations are not attributes to the handlers, as with expat.
        if (std::strncmp(attrName, "xmlns", 5) == 0 && (attrName[5] == '\0' || attrName[5] == ':')) continue;
        for (size_t i = 0; i < attributes_.size(); i += 2)
            if (std::strcmp(attributes_[i], attrName) == 0) return corrupt("duplicate attribute");
        attributes_.push_back(attrName);
        attributes_.push_back(value);
    }
    *nameEnd = '\0';
    if (stack_.empty() && seenRoot_) return corrupt("junk after document element");
    seenRoot_ = true;
    attributes_.push_back(nullptr);
    const char *local = localName(name);
    handler_.startElement(local, attributes_.data());
    if (selfClosing) {
        if (!handler_.failed()) handler_.endElement(local);
    } else {
        stack_.push_back(name);
    }
    return ScanResult::Ok;
}

ScanResult Scanner::endTag() {
    char *name = p_;
    while (p_ < end_ && !isSpace(*p_) && *p_ != '>') ++p_;
    const size_t length = static_cast<size_t>(p_ - name);
    while (p_ < end_ && isSpace(*p_)) ++p_;
    if (p_ >= end_ || *p_ != '>') return corrupt("unclosed end tag");
    ++p_;
    if (stack_.empty()) return corrupt("end tag without start tag");
    const char *open = stack_.back();
    if (std::strlen(open) != length || std::memcmp(open, name, length) != 0) return corrupt("mismatched tag");
    stack_.pop_back();
    handler_.endElement(localName(open));
    return ScanResult::Ok;
}

ScanResult Scanner::run() {
    if (end_ - p_ >= 3 && static_cast<unsigned char>(p_[0]) == 0xEF &&
        static_cast<unsigned char>(p_[1]) == 0xBB && static_cast<unsigned char>(p_[2]) == 0xBF)
        p_ += 3;
    if (!isValidXmlUtf8(reinterpret_cast<const unsigned char *>(p_), reinterpret_cast<const unsigned char *>(end_)))
        return corrupt("not well-formed (invalid token)");
    *end_ = '\0';
    while (p_ < end_) {
        if (handler_.failed()) return ScanResult::Ok;
        char *lt = static_cast<char *>(std::memchr(p_, '<', static_cast<size_t>(end_ - p_)));
        char *textEnd = lt ? lt : end_;
        if (textEnd > p_) {
            const ScanResult r = text(p_, textEnd);
            if (r != ScanResult::Ok) return r;
            if (handler_.failed()) return ScanResult::Ok;
        }
        if (!lt) break;
        p_ = lt + 1;
        ScanResult r = ScanResult::Ok;
        if (p_ >= end_) return corrupt("unclosed token");
        if (*p_ == '/') {
            ++p_;
            r = endTag();
        } else if (*p_ == '?') {
            const char *close = static_cast<const char *>(memmem(p_, static_cast<size_t>(end_ - p_), "?>", 2));
            if (!close) return corrupt("unclosed processing instruction");
            p_ = const_cast<char *>(close) + 2;
        } else if (*p_ == '!') {
            if (startsWith(p_, end_, "!--")) {
                const char *close = static_cast<const char *>(memmem(p_ + 3, static_cast<size_t>(end_ - p_ - 3), "-->", 3));
                if (!close) return corrupt("unclosed comment");
                p_ = const_cast<char *>(close) + 3;
            } else if (startsWith(p_, end_, "![CDATA[")) {
                if (stack_.empty()) return corrupt("character data outside the document element");
                char *body = p_ + 8;
                char *close = static_cast<char *>(memmem(body, static_cast<size_t>(end_ - body), "]]>", 3));
                if (!close) return corrupt("unclosed CDATA section");
                // Line ends are normalised in CDATA too; there are no references to decode.
                char *out = body;
                for (char *q = body; q < close; ++q) {
                    if (*q == '\r') {
                        *out++ = '\n';
                        if (q + 1 < close && q[1] == '\n') ++q;
                    } else {
                        *out++ = *q;
                    }
                }
                if (handler_.capturingText() && out > body) handler_.characters(body, static_cast<int>(out - body));
                p_ = close + 3;
            } else {
                return corrupt("markup declaration in a package part");
            }
        } else {
            r = startTag();
        }
        if (r != ScanResult::Ok) return r;
    }
    if (handler_.failed()) return ScanResult::Ok;
    if (!stack_.empty()) return corrupt("no closing tag for an element");
    if (!seenRoot_) return corrupt("no element found");
    return ScanResult::Ok;
}

}  // namespace

bool fastScanSupports(const char *data, size_t size) {
    const char *p = data;
    const char *end = data + size;
    if (size >= 2 && ((static_cast<unsigned char>(p[0]) == 0xFF && static_cast<unsigned char>(p[1]) == 0xFE) ||
                      (static_cast<unsigned char>(p[0]) == 0xFE && static_cast<unsigned char>(p[1]) == 0xFF)))
        return false;
    if (size >= 3 && static_cast<unsigned char>(p[0]) == 0xEF) p += 3;
    // The prolog: an XML declaration, comments, processing instructions, white space.
    while (p < end) {
        while (p < end && isSpace(*p)) ++p;
        if (p >= end || *p != '<') return p < end;
        if (startsWith(p, end, "<?xml") && p + 5 < end && isSpace(p[5])) {
            const char *close = static_cast<const char *>(memmem(p, static_cast<size_t>(end - p), "?>", 2));
            if (!close) return false;
            const std::string decl(p, close);
            const size_t enc = decl.find("encoding");
            if (enc != std::string::npos) {
                size_t q = decl.find_first_of("\"'", enc);
                if (q == std::string::npos) return false;
                const size_t qe = decl.find(decl[q], q + 1);
                if (qe == std::string::npos) return false;
                std::string name = decl.substr(q + 1, qe - q - 1);
                for (char &c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
                if (name != "UTF-8" && name != "UTF8") return false;
            }
            p = close + 2;
        } else if (startsWith(p, end, "<?")) {
            const char *close = static_cast<const char *>(memmem(p, static_cast<size_t>(end - p), "?>", 2));
            if (!close) return false;
            p = close + 2;
        } else if (startsWith(p, end, "<!--")) {
            const char *close = static_cast<const char *>(memmem(p + 4, static_cast<size_t>(end - p - 4), "-->", 3));
            if (!close) return false;
            p = close + 3;
        } else if (startsWith(p, end, "<!")) {
            return false;  // a document type: leave it to expat, which refuses it
        } else {
            return true;  // the document element
        }
    }
    return true;
}

ScanResult scanXmlInPlace(char *data, size_t size, XmlHandler &handler, std::string *message) {
    return Scanner(data, size, handler, message).run();
}

}  // namespace automation::readers::xlsx
