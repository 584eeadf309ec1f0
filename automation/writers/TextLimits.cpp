// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/TextLimits.h"

namespace automation::writers {

namespace {
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationBits = 0x80;
constexpr unsigned char kFourByteLead = 0xF0;  // characters past the BMP take two UTF-16 units
}  // namespace

size_t utf8PrefixWithinUtf16Units(std::string_view text, size_t maxUnits) {
    // Every UTF-16 unit needs at least one UTF-8 byte, so short texts fit as they are.
    if (text.size() <= maxUnits) return text.size();
    size_t units = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[pos]);
        size_t next = pos + 1;
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & kContinuationMask) == kContinuationBits)
            ++next;
        const size_t width = (lead >= kFourByteLead) ? 2 : 1;
        if (units + width > maxUnits) break;
        units += width;
        pos = next;
    }
    return pos;
}

}  // namespace automation::writers
