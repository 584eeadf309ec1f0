#include "automation/readers/xlsx/SheetDataDecoder.h"

#include "automation/readers/xlsx/FastXmlScanner.h"

#include <cstring>

namespace automation::readers::xlsx {

namespace {

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// ASCII names only: anything else goes to the general scan, which judges it.
struct NameBytes {
    bool start[256] = {};
    bool inner[256] = {};
    constexpr NameBytes() {
        for (int c = 0; c < 128; ++c) {
            const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            start[c] = letter || c == '_' || c == ':';
            inner[c] = start[c] || (c >= '0' && c <= '9') || c == '-' || c == '.';
        }
    }
};
constexpr NameBytes kName;

inline bool nameStart(char c) { return kName.start[static_cast<unsigned char>(c)]; }
inline bool nameInner(char c) { return kName.inner[static_cast<unsigned char>(c)]; }

// As the events name an element: behind the first prefix separator.
std::string_view localOf(std::string_view qualified) {
    const size_t colon = qualified.find(kPrefixSeparator);
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

constexpr size_t kMaxAttributes = 24;

// Left uninitialised until read: a tag is parsed for every cell.
struct Attribute {
    const char *name;
    size_t nameLength;
    const char *value;  // as written, between its quotes
    size_t valueLength;
    bool plain;  // nothing to decode or normalise

    bool named(const char *n, size_t length) const {
        return nameLength == length && name[0] == n[0] && std::memcmp(name, n, length) == 0;
    }
};

struct Tag {
    std::string_view name, local;
    Attribute attributes[kMaxAttributes];
    size_t count = 0;
    bool selfClosing = false;

    const Attribute *find(const char *n, size_t length) const {
        for (size_t i = 0; i < count; ++i)
            if (attributes[i].named(n, length)) return &attributes[i];
        return nullptr;
    }
};

enum class Scan { Ok, More, Refused };

// A start tag, from just behind its '<' to just behind its '>'. Refuses
// what the general scan would refuse or might read otherwise: names beyond
// ASCII, duplicate attributes, '<' or an undefined reference in a value.
Scan startTag(const char *&p, const char *end, Tag *tag, std::string *scratch) {
    const char *q = p;
    if (q >= end) return Scan::More;
    if (!nameStart(*q)) return Scan::Refused;
    while (q < end && nameInner(*q)) ++q;
    if (q >= end) return Scan::More;
    tag->name = std::string_view(p, static_cast<size_t>(q - p));
    tag->local = localOf(tag->name);
    tag->count = 0;
    for (;;) {
        const char *beforeSpace = q;
        while (q < end && isSpace(*q)) ++q;
        if (q >= end) return Scan::More;
        if (*q == '>') {
            tag->selfClosing = false;
            ++q;
            break;
        }
        if (*q == '/') {
            if (q + 1 >= end) return Scan::More;
            if (q[1] != '>') return Scan::Refused;
            tag->selfClosing = true;
            q += 2;
            break;
        }
        if (q == beforeSpace || !nameStart(*q)) return Scan::Refused;
        const char *name = q;
        while (q < end && nameInner(*q)) ++q;
        const std::string_view attributeName(name, static_cast<size_t>(q - name));
        while (q < end && isSpace(*q)) ++q;
        if (q >= end) return Scan::More;
        if (*q != '=') return Scan::Refused;
        ++q;
        while (q < end && isSpace(*q)) ++q;
        if (q >= end) return Scan::More;
        if (*q != '"' && *q != '\'') return Scan::Refused;
        const char quote = *q++;
        const char *value = q;
        bool reference = false, plain = true;
        for (; q < end && *q != quote; ++q) {
            const char c = *q;
            if (c == '<') return Scan::Refused;
            if (c == '&') reference = true;
            if (c == '&' || c == '\n' || c == '\r' || c == '\t') plain = false;
        }
        if (q >= end) return Scan::More;
        const size_t valueLength = static_cast<size_t>(q - value);
        ++q;
        if (q < end && !isSpace(*q) && *q != '/' && *q != '>') return Scan::Refused;
        if (reference && !decodeXmlText(value, value + valueLength, true, scratch)) return Scan::Refused;
        if (tag->count == kMaxAttributes || tag->find(name, attributeName.size())) return Scan::Refused;
        tag->attributes[tag->count++] = Attribute{name, attributeName.size(), value, valueLength, plain};
    }
    p = q;
    return Scan::Ok;
}

// An end tag naming `name`, from its '<'.
Scan endTag(const char *&p, const char *end, std::string_view name) {
    const char *q = p;
    if (static_cast<size_t>(end - q) < name.size() + 3) return Scan::More;
    if (q[0] != '<' || q[1] != '/' || std::memcmp(q + 2, name.data(), name.size()) != 0) return Scan::Refused;
    q += 2 + name.size();
    while (q < end && isSpace(*q)) ++q;
    if (q >= end) return Scan::More;
    if (*q != '>') return Scan::Refused;
    p = q + 1;
    return Scan::Ok;
}

// The attribute's value as the events give it, or null when absent.
const char *valueOf(const Tag &tag, const char *name, AttributeText *out) {
    const Attribute *a = tag.find(name, std::strlen(name));
    return a ? out->set(a->value, a->valueLength, a->plain) : nullptr;
}

// Character data up to the next '<', decoded (into `scratch` when it must
// be); refused where the events would fail ("]]>").
Scan text(const char *&p, const char *end, std::string *scratch, std::string_view *out) {
    const char *q = p;
    bool decode = false;
    for (; q < end && *q != '<'; ++q) {
        const char c = *q;
        if (c == '&' || c == '\r') {
            decode = true;
        } else if (c == '>' && q - p >= 2 && q[-1] == ']' && q[-2] == ']') {
            return Scan::Refused;
        }
    }
    if (q >= end) return Scan::More;
    if (decode) {
        if (!decodeXmlText(p, q, false, scratch)) return Scan::Refused;
        *out = *scratch;
    } else {
        *out = std::string_view(p, static_cast<size_t>(q - p));
    }
    p = q;
    return Scan::Ok;
}

inline void skipSpace(const char *&p, const char *end) {
    while (p < end && isSpace(*p)) ++p;
}

}  // namespace

const char *AttributeText::set(const char *value, size_t length, bool plain) {
    if (plain && length < kShort) {
        std::memcpy(short_, value, length);
        short_[length] = '\0';
        return short_;
    }
    decodeXmlText(value, value + length, true, &long_);  // checked by startTag
    return long_.c_str();
}

RawContentReader::Result SheetDataDecoder::refused() {
    sink_.refuse();
    return Result::Refused;
}

SheetDataDecoder::Step SheetDataDecoder::textThenEnd(const char *&p, const char *end, std::string_view name,
                                                     std::string *scratch, std::string_view *out) {
    const char *q = p;
    Scan s = text(q, end, scratch, out);
    if (s == Scan::Ok) s = endTag(q, end, name);
    if (s != Scan::Ok) return s == Scan::More ? Step::More : Step::Refused;
    p = q;
    return Step::Ok;
}

// <is> holding one plain <t>: rich runs and phonetic text go to the events.
SheetDataDecoder::Step SheetDataDecoder::inlineText(const char *&p, const char *end, std::string_view name) {
    const char *q = p;
    cell_.value = std::string_view();
    bool seenText = false;
    Tag tag;
    for (;;) {
        skipSpace(q, end);
        if (end - q < 2) return Step::More;
        if (*q != '<') return Step::Refused;
        if (q[1] == '/') {
            const Scan s = endTag(q, end, name);
            if (s != Scan::Ok) return s == Scan::More ? Step::More : Step::Refused;
            p = q;
            return Step::Ok;
        }
        ++q;
        const Scan s = startTag(q, end, &tag, &ignored_);
        if (s != Scan::Ok) return s == Scan::More ? Step::More : Step::Refused;
        if (tag.local != "t" || seenText) return Step::Refused;
        seenText = true;
        if (!tag.selfClosing) {
            const Step t = textThenEnd(q, end, tag.name, &value_, &cell_.value);
            if (t != Step::Ok) return t;
        }
    }
}

// A cell from just behind its start tag's '<'.
SheetDataDecoder::Step SheetDataDecoder::cell(const char *&p, const char *end) {
    const char *q = p;
    Tag tag;
    Scan s = startTag(q, end, &tag, &ignored_);
    if (s != Scan::Ok) return s == Scan::More ? Step::More : Step::Refused;
    cell_ = CellMarkup{};
    for (size_t i = 0; i < tag.count; ++i) {
        const Attribute &a = tag.attributes[i];
        if (a.nameLength != 1) continue;
        switch (a.name[0]) {
            case 'r':
                cell_.r = r_.set(a.value, a.valueLength, a.plain);
                break;
            case 's':
                cell_.s = s_.set(a.value, a.valueLength, a.plain);
                break;
            case 't':
                cell_.t = t_.set(a.value, a.valueLength, a.plain);
                break;
            default:
                break;
        }
    }
    const std::string_view cellName = tag.name;
    if (!tag.selfClosing) {
        Tag child;
        for (;;) {
            skipSpace(q, end);
            if (end - q < 2) return Step::More;
            if (*q != '<') return Step::Refused;
            if (q[1] == '/') {
                s = endTag(q, end, cellName);
                if (s != Scan::Ok) return s == Scan::More ? Step::More : Step::Refused;
                break;
            }
            ++q;
            s = startTag(q, end, &child, &ignored_);
            if (s != Scan::Ok) return s == Scan::More ? Step::More : Step::Refused;
            Step t = Step::Ok;
            if (child.local == "v") {
                cell_.hasValue = true;
                cell_.value = std::string_view();
                if (!child.selfClosing) t = textThenEnd(q, end, child.name, &value_, &cell_.value);
            } else if (child.local == "f") {
                cell_.hasFormula = true;
                cell_.formula = std::string_view();
                if (!child.selfClosing) t = textThenEnd(q, end, child.name, &formula_, &cell_.formula);
            } else if (child.local == "is") {
                cell_.hasValue = true;
                cell_.value = std::string_view();
                if (!child.selfClosing) t = inlineText(q, end, child.name);
            } else {
                return Step::Refused;
            }
            if (t != Step::Ok) return t;
        }
    }
    p = q;
    return Step::Ok;
}

RawContentReader::Result SheetDataDecoder::read(const char *&p, const char *end, bool last) {
    auto more = [&]() { return last ? refused() : Result::More; };
    Tag tag;
    for (;;) {
        skipSpace(p, end);
        if (end - p < 2) return more();
        if (*p != '<') return refused();
        if (p[1] == '/') {
            if (!rowOpen_) return Result::Done;  // the end of sheetData, or a stray tag the scan reports
            const Scan s = endTag(p, end, rowName_);
            if (s == Scan::More) return more();
            if (s == Scan::Refused) return refused();
            rowOpen_ = false;
            continue;
        }
        if (p[1] == '!' || p[1] == '?') return refused();
        // Peek at the name: a cell is read whole before anything of it is passed on.
        const char *q = p + 1;
        while (q < end && nameInner(*q)) ++q;
        if (q >= end) return more();
        const std::string_view local = localOf(std::string_view(p + 1, static_cast<size_t>(q - p - 1)));
        if (local == "c") {
            q = p + 1;
            const Step s = cell(q, end);
            if (s == Step::More) return more();
            if (s == Step::Refused) return refused();
            p = q;
            sink_.cell(cell_);
        } else if (local == "row") {
            if (rowOpen_) return refused();
            q = p + 1;
            const Scan s = startTag(q, end, &tag, &ignored_);
            if (s == Scan::More) return more();
            if (s == Scan::Refused) return refused();
            RowMarkup row;
            row.r = valueOf(tag, "r", &r_);  // rows are few beside their cells
            row.ht = valueOf(tag, "ht", &ht_);
            row.s = valueOf(tag, "s", &s_);
            row.customFormat = valueOf(tag, "customFormat", &customFormat_);
            row.hidden = valueOf(tag, "hidden", &hidden_);
            if (!tag.selfClosing) {
                rowOpen_ = true;
                rowName_.assign(tag.name);
            }
            p = q;
            sink_.row(row);
        } else {
            return refused();
        }
        if (sink_.stopped()) return Result::Stopped;
    }
}

}  // namespace automation::readers::xlsx
