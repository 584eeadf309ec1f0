// SPDX-License-Identifier: Apache-2.0
// Byte searches over a part's XML a whole vector at a time, in the widest
// vectors the machine offers (chosen when first called). Short runs are
// looked at byte by byte first: there a vector search costs more than it
// saves.
#pragma once

#include <cstddef>

namespace automation::readers::xlsx::bytesearch {

// The bytes a search stops at: any of four (repeat one to need fewer).
class Stops {
public:
    constexpr Stops(unsigned char one, unsigned char two, unsigned char three, unsigned char four)
        : a(one), b(two), c(three), d(four) {
        for (int i = 0; i < 256; ++i) stops_[i] = i == a || i == b || i == c || i == d;
    }
    bool stopsAt(char byte) const { return stops_[static_cast<unsigned char>(byte)]; }

    const unsigned char a, b, c, d;

private:
    bool stops_[256] = {};  // the same, for the bytes looked at one by one
};

// The first byte of [p, end) that `stops` names; end when there is none.
const char *findVector(const char *p, const char *end, const Stops &stops);

// The first byte of [p, end) that is not printable ASCII (below a space or
// above 0x7F); end when there is none.
const unsigned char *skipPrintableAscii(const unsigned char *p, const unsigned char *end);

// As findVector, the first `scalarBytes` bytes looked at one by one.
template <size_t scalarBytes>
inline const char *find(const char *p, const char *end, const Stops &stops) {
    const char *const head = static_cast<size_t>(end - p) > scalarBytes ? p + scalarBytes : end;
    for (; p < head; ++p)
        if (stops.stopsAt(*p)) return p;
    return p == end ? p : findVector(p, end, stops);
}

}  // namespace automation::readers::xlsx::bytesearch
