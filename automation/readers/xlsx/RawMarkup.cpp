// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/RawMarkup.h"

#include "automation/readers/xlsx/ByteSearch.h"
#include "automation/readers/xlsx/FastXmlScanner.h"

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

// What text must look at: '<', '&', CR or '>'. Texts run long beside the markup.
constexpr bytesearch::Stops kTextStops{'<', '&', '\r', '>'};

inline const char *nextSpecial(const char *q, const char *end) { return bytesearch::find<16>(q, end, kTextStops); }

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
