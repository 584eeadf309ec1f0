#include "automation/readers/xlsx/RawMarkup.h"

#include "automation/readers/xlsx/FastXmlScanner.h"

#include <cstdint>

namespace automation::readers::xlsx::rawmarkup {

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

// Character data up to the next '<', decoded (into `scratch` when it must
// be); refused where the events would fail ("]]>").
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

inline uint64_t zeroBytes(uint64_t v) { return (v - kOnes) & ~v & kHighs; }

// The first byte at or after `q` that text must look at: '<', '&', CR or
// '>'. Eight bytes at a time, as texts run long beside the markup.
inline const char *nextSpecial(const char *q, const char *end) {
    while (end - q >= 8) {
        uint64_t w;
        std::memcpy(&w, q, 8);
        if (zeroBytes(w ^ (kOnes * '<')) | zeroBytes(w ^ (kOnes * '&')) | zeroBytes(w ^ (kOnes * '\r')) |
            zeroBytes(w ^ (kOnes * '>')))
            break;
        q += 8;
    }
    while (q < end && *q != '<' && *q != '&' && *q != '\r' && *q != '>') ++q;
    return q;
}

}  // namespace

Scan text(const char *&p, const char *end, std::string *scratch, std::string_view *out) {
    const char *q = p;
    bool decode = false;
    for (q = nextSpecial(q, end); q < end && *q != '<'; q = nextSpecial(q + 1, end)) {
        if (*q == '>') {
            if (q - p >= 2 && q[-1] == ']' && q[-2] == ']') return Scan::Refused;
        } else {
            decode = true;  // '&' or CR
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

}  // namespace automation::readers::xlsx::rawmarkup
