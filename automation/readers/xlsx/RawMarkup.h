// SPDX-License-Identifier: Apache-2.0
// Pieces of markup read straight from a part's bytes, for the decoders that
// take the common shapes of a large part without the general events. Each
// piece refuses what the general scan would refuse or might read otherwise,
// so a decoder can leave such markup to the events untouched; More: the
// bytes end inside the piece.
#pragma once

#include "automation/readers/xlsx/XmlBytes.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace automation::readers::xlsx::rawmarkup {

using xmlbytes::isSpace;
using xmlbytes::nameInner;
using xmlbytes::nameStart;

// As the events name an element: behind the first prefix separator.
// Names are a few bytes ("c", "row", "x:c"): a plain loop, not a library
// search whose call costs more than the name, once per cell.
inline std::string_view localOf(std::string_view qualified) {
    for (size_t i = 0; i < qualified.size(); ++i)
        if (qualified[i] == kPrefixSeparator) return qualified.substr(i + 1);
    return qualified;
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

inline void skipSpace(const char *&p, const char *end) {
    while (p < end && isSpace(*p)) ++p;
}

// A start tag, from just behind its '<' to just behind its '>': names in
// ASCII, no duplicate attribute, no '<' or undefined reference in a value.
Scan startTag(const char *&p, const char *end, Tag *tag, std::string *scratch);
// An end tag naming `name`, from its '<'.
Scan endTag(const char *&p, const char *end, std::string_view name);
// Character data up to the next '<', decoded (into `scratch` when it must
// be); refused where the events would fail ("]]>").
Scan text(const char *&p, const char *end, std::string *scratch, std::string_view *out);

}  // namespace automation::readers::xlsx::rawmarkup
