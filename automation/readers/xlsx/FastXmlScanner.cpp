// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/FastXmlScanner.h"

#include "automation/readers/xlsx/ByteSearch.h"
#include "automation/readers/xlsx/XmlBytes.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace automation::readers::xlsx {

namespace {

using xmlbytes::isSpace;

inline bool startsWith(const char *p, const char *end, const char *prefix) {
    const size_t n = std::strlen(prefix);
    return static_cast<size_t>(end - p) >= n && std::memcmp(p, prefix, n) == 0;
}

constexpr uint32_t kMaxCodePoint = 0x10FFFF;

inline bool isXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= kMaxCodePoint);
}

// Well-formed UTF-8 made only of characters XML allows.
// The end of the longest prefix that is well-formed UTF-8 of XML characters.
const unsigned char *validXmlUtf8End(const unsigned char *p, const unsigned char *end) {
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    constexpr uint64_t kSpaceBytes = 0x2020202020202020ull;
    // Runs this long go to the vector search; shorter ones (between the
    // characters of a text in Chinese, say) cost less eight bytes at a time.
    constexpr ptrdiff_t kLongRun = 32;
    while (p < end) {
        const unsigned char *const run = p;
        while (end - p >= 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            // No high bit and no byte below 0x20: plain printable ASCII.
            if (((w | ((w - kSpaceBytes) & ~w)) & kHigh) != 0) break;
            p += 8;
            if (p - run >= kLongRun) {
                p = bytesearch::skipPrintableAscii(p, end);
                break;
            }
        }
        if (p >= end) break;
        const unsigned char c = *p;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return p;
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
            return p;
        }
        if (end - p < len) return p;
        for (int i = 1; i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80) return p;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        static constexpr uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[len] || !isXmlChar(cp)) return p;
        p += len;
    }
    return p;
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
// XML defines without a document type. Numeric references may carry any
// number of leading zeros, so their length is not capped.
const char *decodeReference(const char *p, const char *end, char **out) {
    if (p < end && *p == '#') {
        const char *q = p + 1;
        const bool hex = q < end && *q == 'x';
        if (hex) ++q;
        const char *digits = q;
        uint32_t cp = 0;
        for (; q < end && *q != ';'; ++q) {
            const char c = *q;
            uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<uint32_t>(c - '0');
            else if (hex && c >= 'a' && c <= 'f')
                digit = static_cast<uint32_t>(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F')
                digit = static_cast<uint32_t>(c - 'A' + 10);
            else
                return nullptr;
            cp = cp * (hex ? 16 : 10) + digit;
            if (cp > kMaxCodePoint) return nullptr;
        }
        if (q == end || q == digits || !isXmlChar(cp)) return nullptr;
        *out = putUtf8(*out, cp);
        return q + 1;
    }
    struct Predefined {
        const char *name;  // with its ';'
        size_t length;
        char value;
    };
    static constexpr Predefined kPredefined[] = {
        {"lt;", 3, '<'}, {"gt;", 3, '>'}, {"amp;", 4, '&'}, {"quot;", 5, '"'}, {"apos;", 5, '\''}};
    for (const Predefined &e : kPredefined) {
        if (static_cast<size_t>(end - p) >= e.length && std::memcmp(p, e.name, e.length) == 0) {
            *(*out)++ = e.value;
            return p + e.length;
        }
    }
    return nullptr;
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
            // CR LF is one line end: one LF in text, one space in a value.
            *out++ = attribute ? ' ' : '\n';
            ++p;
            if (p < end && *p == '\n') ++p;
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

// Of the name characters beyond ASCII only Latin-1 is judged (as expat
// does: letters, and the middle dot inside a name); the rest are taken as
// name characters, since the input is valid UTF-8 by then and these parts
// use ASCII names.
constexpr unsigned char kLatin1Lead = 0xC2;        // U+0080..U+00BF: no letters
constexpr unsigned char kLatin1LetterLead = 0xC3;  // U+00C0..U+00FF: letters but two signs
constexpr unsigned char kMiddleDot = 0xB7;         // U+00B7, second byte
constexpr unsigned char kMultiplication = 0x97;    // U+00D7, second byte
constexpr unsigned char kDivision = 0xB7;          // U+00F7, second byte

// Bytes of the name character at `p` (not ASCII), 0 when it is none.
inline size_t nonAsciiNameChar(const char *p, const char *end, bool first) {
    const unsigned char lead = static_cast<unsigned char>(*p);
    if ((lead == kLatin1Lead || lead == kLatin1LetterLead) && end - p >= 2) {
        const unsigned char second = static_cast<unsigned char>(p[1]);
        if (lead == kLatin1Lead) return !first && second == kMiddleDot ? 2 : 0;
        return second == kMultiplication || second == kDivision ? 0 : 2;
    }
    return 1;  // the other bytes of the sequence follow as name bytes
}

// The end of the name starting at `p`; `p` itself when no name starts there.
inline char *scanName(char *p, const char *end) {
    char *start = p;
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            if (!xmlbytes::is(static_cast<char>(c), p == start ? xmlbytes::kNameStart : xmlbytes::kNameInner)) break;
            ++p;
            continue;
        }
        // Only a lead byte is judged; continuation bytes pass as name bytes.
        const size_t n = (c & 0xC0) == 0x80 ? 1 : nonAsciiNameChar(p, end, p == start);
        if (!n) break;
        p += n;
    }
    return p;
}

// "xml" in any letter case: a processing-instruction target reserved for the declaration.
inline bool isReservedTarget(const char *name, size_t length) {
    return length == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l';
}

// Letters, digits, '.', '_' and '-': what a value in the XML declaration may hold.
inline bool isDeclarationValueChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

// The XML declaration that opens `p` ("<?xml" and white space already seen):
// version, then optional encoding and standalone, in that order. Returns the
// position behind "?>", or null when it is malformed.
const char *skipXmlDeclaration(const char *p, const char *end) {
    static constexpr const char *kPseudoAttributes[] = {"version", "encoding", "standalone"};
    constexpr int kVersion = 0, kEncoding = 1, kStandalone = 2;
    const char *q = p + 5;
    int next = kVersion;
    for (;;) {
        const char *beforeSpace = q;
        while (q < end && isSpace(*q)) ++q;
        if (end - q >= 2 && q[0] == '?' && q[1] == '>') return next > kVersion ? q + 2 : nullptr;
        if (q == beforeSpace || q >= end) return nullptr;
        const char *name = q;
        while (q < end && ((*q >= 'a' && *q <= 'z') || (*q >= 'A' && *q <= 'Z'))) ++q;
        const size_t length = static_cast<size_t>(q - name);
        int which = -1;
        for (int i = next; i <= kStandalone && which < 0; ++i)
            if (std::strlen(kPseudoAttributes[i]) == length && std::memcmp(kPseudoAttributes[i], name, length) == 0)
                which = i;
        if (which < 0 || (which != kVersion && next == kVersion)) return nullptr;
        next = which + 1;
        while (q < end && isSpace(*q)) ++q;
        if (q >= end || *q != '=') return nullptr;
        ++q;
        while (q < end && isSpace(*q)) ++q;
        if (q >= end || (*q != '"' && *q != '\'')) return nullptr;
        const char quote = *q++;
        const char *value = q;
        while (q < end && isDeclarationValueChar(*q)) ++q;
        if (q >= end || *q != quote) return nullptr;
        const size_t valueLength = static_cast<size_t>(q - value);
        ++q;
        if (which == kEncoding) {
            const char first = valueLength ? value[0] : '\0';
            if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z'))) return nullptr;
        } else if (which == kStandalone) {
            if (!((valueLength == 3 && std::memcmp(value, "yes", 3) == 0) ||
                  (valueLength == 2 && std::memcmp(value, "no", 2) == 0)))
                return nullptr;
        }
    }
}

class Scanner {
public:
    Scanner(XmlHandler &handler, std::string *message) : handler_(handler), message_(message) {}

    // Scans [data, end): `first` when it starts the document, `last` when it
    // ends it. Otherwise a comment, processing instruction or CDATA section
    // that runs past `end` stops the scan before it; *stoppedAt then says
    // where, and the caller gives it again with what follows. *end is used as
    // a terminator meanwhile and given back.
    ScanResult scan(char *data, char *end, bool first, bool last, char **stoppedAt);

private:
    ScanResult corrupt(const char *what) {
        if (message_) *message_ = what;
        return ScanResult::Corrupt;
    }
    // A construct runs past the end of a piece that is not the last.
    ScanResult more() {
        needMore_ = true;
        return ScanResult::Ok;
    }
    ScanResult run(bool first);
    ScanResult text(char *begin, char *end);
    ScanResult startTag();
    ScanResult rawContent();
    ScanResult endTag();
    ScanResult processingInstruction();
    ScanResult comment();
    ScanResult cdataSection();

    bool open() const { return !openStarts_.empty(); }

    char *p_ = nullptr;
    char *end_ = nullptr;
    bool last_ = true;
    bool needMore_ = false;
    XmlHandler &handler_;
    std::string *message_;
    // The names of the open elements, copied: a piece's buffer does not outlive it.
    std::string openNames_;
    std::vector<uint32_t> openStarts_;
    std::vector<const char *> attributes_;
    bool seenRoot_ = false;
    bool documentEnded_ = false;       // the root element has closed
    bool damaged_ = false;             // the piece ends early, at bytes that are no XML
    char damagedByte_ = 0;             // the first of those bytes, while a terminator stands in its place
    RawContentReader *raw_ = nullptr;  // reads the content of the element opened last
};

ScanResult Scanner::text(char *begin, char *end) {
    if (!open()) {
        for (const char *q = begin; q < end; ++q)
            if (!isSpace(*q)) return corrupt("text outside the document element");
        return ScanResult::Ok;
    }
    // "]]>" may end a CDATA section only; in plain text it is an error.
    for (const char *gt = static_cast<const char *>(std::memchr(begin, '>', static_cast<size_t>(end - begin))); gt;
         gt = static_cast<const char *>(std::memchr(gt + 1, '>', static_cast<size_t>(end - gt - 1)))) {
        if (gt - begin >= 2 && gt[-1] == ']' && gt[-2] == ']') return corrupt("']]>' in character data");
    }
    char *decodedEnd = decodeInPlace(begin, end, false);
    if (!decodedEnd) return corrupt("undefined entity or bad character reference");
    if (handler_.capturingText() && decodedEnd > begin)
        handler_.characters(begin, static_cast<int>(decodedEnd - begin));
    return ScanResult::Ok;
}

ScanResult Scanner::startTag() {
    char *name = p_;
    char *nameEnd = scanName(p_, end_);
    if (nameEnd == name) return corrupt("not well-formed element name");
    p_ = nameEnd;
    if (p_ < end_ && !isSpace(*p_) && *p_ != '/' && *p_ != '>') return corrupt("not well-formed element name");
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
        char *attrNameEnd = scanName(p_, end_);
        if (attrNameEnd == attrName) return corrupt("not well-formed attribute name");
        p_ = attrNameEnd;
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
        if (p_ < end_ && !isSpace(*p_) && *p_ != '/' && *p_ != '>')
            return corrupt("attributes must be separated by white space");
        char *decodedEnd = decodeInPlace(value, valueEnd, true);
        if (!decodedEnd) return corrupt("undefined entity or bad character reference");
        *decodedEnd = '\0';
        *attrNameEnd = '\0';
        // Namespace declarations go to the handlers too, as expat (without
        // namespace processing) passes them; findAttribute skips them.
        for (size_t i = 0; i < attributes_.size(); i += 2)
            if (attributes_[i][0] == attrName[0] && std::strcmp(attributes_[i], attrName) == 0)
                return corrupt("duplicate attribute");
        attributes_.push_back(attrName);
        attributes_.push_back(value);
    }
    *nameEnd = '\0';
    if (!open() && seenRoot_) return corrupt("junk after document element");
    seenRoot_ = true;
    attributes_.push_back(nullptr);
    const char *local = localName(name);
    handler_.startElement(local, attributes_.data());
    if (selfClosing) {
        if (!handler_.stopped()) handler_.endElement(local);
    } else {
        openStarts_.push_back(static_cast<uint32_t>(openNames_.size()));
        openNames_.append(name, static_cast<size_t>(nameEnd - name) + 1);  // with its NUL
        if (!handler_.stopped())
            raw_ = handler_.rawContent(std::string_view(name, static_cast<size_t>(nameEnd - name)));
    }
    return ScanResult::Ok;
}

// The content of the element opened last, read by the handler's own reader.
// Up to its end tag, which the scan then reads as any other.
ScanResult Scanner::rawContent() {
    const char *q = p_;
    const RawContentReader::Result r = raw_->read(q, end_, last_ || damaged_);
    p_ = const_cast<char *>(q);
    switch (r) {
        case RawContentReader::Result::Done:
            raw_ = nullptr;
            return ScanResult::Ok;
        case RawContentReader::Result::More:
            needMore_ = true;
            return ScanResult::Ok;
        case RawContentReader::Result::Refused:
        case RawContentReader::Result::Stopped:
            raw_ = nullptr;
            if (!handler_.stopped()) handler_.fail(ReadStatus::Corrupt, "content not read");
            return ScanResult::Ok;
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
    if (!open()) return corrupt("end tag without start tag");
    const uint32_t start = openStarts_.back();
    const char *openName = openNames_.data() + start;
    if (openNames_.size() - start - 1 != length || std::memcmp(openName, name, length) != 0)
        return corrupt("mismatched tag");
    handler_.endElement(localName(openName));
    openStarts_.pop_back();
    openNames_.resize(start);
    return ScanResult::Ok;
}

// At the '?' of "<?": a target name, then white space or the end at once.
ScanResult Scanner::processingInstruction() {
    char *target = p_ + 1;
    char *targetEnd = scanName(target, end_);
    if (targetEnd == target) return corrupt("processing instruction without target");
    if (isReservedTarget(target, static_cast<size_t>(targetEnd - target)))
        return corrupt("XML or text declaration not at start of entity");
    const bool endsAtOnce = end_ - targetEnd >= 2 && targetEnd[0] == '?' && targetEnd[1] == '>';
    if (!endsAtOnce && (targetEnd >= end_ || !isSpace(*targetEnd)))
        return corrupt("not well-formed processing instruction");
    const char *close = static_cast<const char *>(memmem(targetEnd, static_cast<size_t>(end_ - targetEnd), "?>", 2));
    if (!close) return last_ ? corrupt("unclosed processing instruction") : more();
    p_ = const_cast<char *>(close) + 2;
    return ScanResult::Ok;
}

// At the '!' of "<!--".
ScanResult Scanner::comment() {
    char *body = p_ + 3;
    char *close = static_cast<char *>(memmem(body, static_cast<size_t>(end_ - body), "-->", 3));
    if (!close) return last_ ? corrupt("unclosed comment") : more();
    // No "--" inside, and no '-' just before the end: the search runs one
    // byte into "-->" to catch the latter.
    if (memmem(body, static_cast<size_t>(close + 1 - body), "--", 2)) return corrupt("'--' in a comment");
    p_ = close + 3;
    return ScanResult::Ok;
}

// At the '!' of "<![CDATA[".
ScanResult Scanner::cdataSection() {
    if (!open()) return corrupt("character data outside the document element");
    char *body = p_ + 8;
    char *close = static_cast<char *>(memmem(body, static_cast<size_t>(end_ - body), "]]>", 3));
    if (!close) return last_ ? corrupt("unclosed CDATA section") : more();
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
    return ScanResult::Ok;
}

ScanResult Scanner::scan(char *data, char *end, bool first, bool last, char **stoppedAt) {
    p_ = data;
    end_ = end;
    last_ = last;
    needMore_ = false;
    const char saved = *end;
    const ScanResult result = run(first);
    // The terminator put at damaged bytes is given back too: a piece is
    // given again with what follows, and must still hold the damage.
    if (end_ != end) *end_ = damagedByte_;
    *end = saved;
    *stoppedAt = p_;
    return result;
}

ScanResult Scanner::run(bool first) {
    if (documentEnded_) {
        p_ = end_;
        return ScanResult::Ok;
    }
    if (first && end_ - p_ >= 3 && static_cast<unsigned char>(p_[0]) == 0xEF &&
        static_cast<unsigned char>(p_[1]) == 0xBB && static_cast<unsigned char>(p_[2]) == 0xBF)
        p_ += 3;
    // Only the well-formed prefix is scanned: the document may end before the damage.
    char *const validEnd = reinterpret_cast<char *>(const_cast<unsigned char *>(
        validXmlUtf8End(reinterpret_cast<const unsigned char *>(p_), reinterpret_cast<const unsigned char *>(end_))));
    const bool damaged = validEnd != end_;
    damaged_ = damaged;
    end_ = validEnd;
    damagedByte_ = *end_;
    *end_ = '\0';
    // The declaration is only one at the very start; anywhere else it is an error.
    if (first && end_ - p_ > 5 && startsWith(p_, end_, "<?xml") && isSpace(p_[5])) {
        const char *after = skipXmlDeclaration(p_, end_);
        if (!after) return corrupt("XML declaration not well-formed");
        p_ = const_cast<char *>(after);
    }
    while (p_ < end_) {
        if (handler_.stopped()) return ScanResult::Ok;
        if (raw_) {
            const ScanResult r = rawContent();
            if (r != ScanResult::Ok || needMore_ || handler_.stopped()) return r;
            continue;
        }
        char *lt = static_cast<char *>(std::memchr(p_, '<', static_cast<size_t>(end_ - p_)));
        char *textEnd = lt ? lt : end_;
        if (textEnd > p_) {
            const ScanResult r = text(p_, textEnd);
            if (r != ScanResult::Ok) return r;
            if (handler_.stopped()) return ScanResult::Ok;
        }
        if (!lt) {
            p_ = end_;
            break;
        }
        p_ = lt + 1;
        ScanResult r = ScanResult::Ok;
        if (p_ >= end_) return corrupt("unclosed token");
        if (*p_ == '/') {
            ++p_;
            r = endTag();
        } else if (*p_ == '?') {
            r = processingInstruction();
        } else if (*p_ == '!') {
            if (startsWith(p_, end_, "!--"))
                r = comment();
            else if (startsWith(p_, end_, "![CDATA["))
                r = cdataSection();
            else
                return corrupt("markup declaration in a package part");
        } else {
            r = startTag();
        }
        if (r != ScanResult::Ok) return r;
        // The document is complete: stray bytes after it, in this piece or
        // any later one, cost nothing.
        if (seenRoot_ && !open()) {
            documentEnded_ = true;
            p_ = end_;
            return ScanResult::Ok;
        }
        if (needMore_) {
            p_ = lt;  // given again, with what follows
            return ScanResult::Ok;
        }
    }
    if (handler_.stopped()) return ScanResult::Ok;
    if (damaged) return corrupt("not well-formed (invalid token)");
    if (!last_) return ScanResult::Ok;
    if (open()) return corrupt("no closing tag for an element");
    if (!seenRoot_) return corrupt("no element found");
    return ScanResult::Ok;
}

}  // namespace

bool decodeXmlText(const char *begin, const char *end, bool attribute, std::string *out) {
    out->assign(begin, end);
    if (out->empty()) return true;
    char *first = &(*out)[0];
    char *decodedEnd = decodeInPlace(first, first + out->size(), attribute);
    if (!decodedEnd) return false;
    out->resize(static_cast<size_t>(decodedEnd - first));
    return true;
}

bool fastScanSupports(const char *data, size_t size) {
    const Prolog p = fastScanProlog(data, size);
    return p == Prolog::Supported || p == Prolog::Ended;
}

Prolog fastScanProlog(const char *data, size_t size) {
    const char *p = data;
    const char *end = data + size;
    if (size >= 2 && ((static_cast<unsigned char>(p[0]) == 0xFF && static_cast<unsigned char>(p[1]) == 0xFE) ||
                      (static_cast<unsigned char>(p[0]) == 0xFE && static_cast<unsigned char>(p[1]) == 0xFF)))
        return Prolog::Refused;
    if (size >= 3 && static_cast<unsigned char>(p[0]) == 0xEF && static_cast<unsigned char>(p[1]) == 0xBB &&
        static_cast<unsigned char>(p[2]) == 0xBF)
        p += 3;
    // The prolog: an XML declaration, comments, processing instructions, white space.
    while (p < end) {
        while (p < end && isSpace(*p)) ++p;
        if (p >= end) return Prolog::Undecided;
        if (*p != '<') return Prolog::Supported;  // junk: the scanner says so
        if (startsWith(p, end, "<?xml") && p + 5 < end && isSpace(p[5])) {
            const char *close = static_cast<const char *>(memmem(p, static_cast<size_t>(end - p), "?>", 2));
            if (!close) return Prolog::Undecided;
            const std::string decl(p, close);
            const size_t enc = decl.find("encoding");
            if (enc != std::string::npos) {
                size_t q = decl.find_first_of("\"'", enc);
                if (q == std::string::npos) return Prolog::Refused;
                const size_t qe = decl.find(decl[q], q + 1);
                if (qe == std::string::npos) return Prolog::Refused;
                std::string name = decl.substr(q + 1, qe - q - 1);
                for (char &c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
                if (name != "UTF-8" && name != "UTF8") return Prolog::Refused;
            }
            p = close + 2;
        } else if (startsWith(p, end, "<?")) {
            const char *close = static_cast<const char *>(memmem(p, static_cast<size_t>(end - p), "?>", 2));
            if (!close) return Prolog::Undecided;
            p = close + 2;
        } else if (end - p < 4) {
            return Prolog::Undecided;  // too little to tell a comment from a document type
        } else if (startsWith(p, end, "<!--")) {
            const char *close = static_cast<const char *>(memmem(p + 4, static_cast<size_t>(end - p - 4), "-->", 3));
            if (!close) return Prolog::Undecided;
            p = close + 3;
        } else if (startsWith(p, end, "<!")) {
            return Prolog::Refused;  // a document type: leave it to expat, which refuses it
        } else {
            return Prolog::Supported;  // the document element
        }
    }
    return Prolog::Ended;
}

ScanResult scanXmlInPlace(char *data, size_t size, XmlHandler &handler, std::string *message) {
    char *stopped = nullptr;
    return Scanner(handler, message).scan(data, data + size, true, true, &stopped);
}

struct ChunkedXmlScan::State {
    State(XmlHandler &handler, std::string *message) : scanner(handler, message) {}
    Scanner scanner;
    bool first = true;
};

bool validXmlUtf8(const char *data, size_t size) {
    const auto *begin = reinterpret_cast<const unsigned char *>(data);
    return validXmlUtf8End(begin, begin + size) == begin + size;
}

ChunkedXmlScan::ChunkedXmlScan(XmlHandler &handler, std::string *message)
    : state_(std::make_unique<State>(handler, message)) {}

ChunkedXmlScan::~ChunkedXmlScan() = default;

ScanResult ChunkedXmlScan::feed(char *data, size_t size, bool last, size_t *consumed) {
    *consumed = 0;
    char *end = data + size;
    if (!last) {
        // Up to the last '<': then no tag, text or character is cut in two.
        char *lt = static_cast<char *>(memrchr(data, '<', size));
        // The first piece must reach past a byte-order mark: the declaration behind it is scanned with it.
        const bool mark = state_->first && size >= 3 && static_cast<unsigned char>(data[0]) == 0xEF &&
                          static_cast<unsigned char>(data[1]) == 0xBB && static_cast<unsigned char>(data[2]) == 0xBF;
        if (!lt || lt <= data + (mark ? 3 : 0)) return ScanResult::Ok;
        end = lt;
    }
    char *stopped = data;
    const ScanResult r = state_->scanner.scan(data, end, state_->first, last, &stopped);
    if (stopped != data) state_->first = false;
    *consumed = static_cast<size_t>(stopped - data);
    return r;
}

}  // namespace automation::readers::xlsx
