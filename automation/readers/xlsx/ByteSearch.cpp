// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/ByteSearch.h"

// Compiled once for every vector extension Highway knows on this machine's
// architecture; the best one present is chosen at run time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "automation/readers/xlsx/ByteSearch.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace automation::readers::xlsx::bytesearch {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

// Whole vectors only: a vector never reads past `end`, and the bytes left
// behind the last whole one are looked at one by one.
const char *FindVector(const char *p, const char *end, const Stops &stops) {
    const hn::ScalableTag<uint8_t> d;
    const size_t lanes = hn::Lanes(d);
    const auto a = hn::Set(d, stops.a);
    const auto b = hn::Set(d, stops.b);
    const auto c = hn::Set(d, stops.c);
    const auto e = hn::Set(d, stops.d);
    const uint8_t *q = reinterpret_cast<const uint8_t *>(p);
    const uint8_t *const last = reinterpret_cast<const uint8_t *>(end);
    while (static_cast<size_t>(last - q) >= lanes) {
        const auto v = hn::LoadU(d, q);
        const auto hit = hn::Or(hn::Or(hn::Eq(v, a), hn::Eq(v, b)), hn::Or(hn::Eq(v, c), hn::Eq(v, e)));
        const intptr_t first = hn::FindFirstTrue(d, hit);
        if (first >= 0) return reinterpret_cast<const char *>(q) + first;
        q += lanes;
    }
    for (const char *r = reinterpret_cast<const char *>(q); r < end; ++r)
        if (stops.stopsAt(*r)) return r;
    return end;
}

const unsigned char *SkipPrintableAscii(const unsigned char *p, const unsigned char *end) {
    // As signed bytes those above 0x7F are negative: one comparison finds both kinds.
    const hn::ScalableTag<int8_t> d;
    const size_t lanes = hn::Lanes(d);
    const auto space = hn::Set(d, static_cast<int8_t>(0x20));
    while (static_cast<size_t>(end - p) >= lanes) {
        const auto v = hn::LoadU(d, reinterpret_cast<const int8_t *>(p));
        const intptr_t first = hn::FindFirstTrue(d, hn::Lt(v, space));
        if (first >= 0) return p + first;
        p += lanes;
    }
    while (p < end && *p >= 0x20 && *p < 0x80) ++p;
    return p;
}

}  // namespace HWY_NAMESPACE
}  // namespace automation::readers::xlsx::bytesearch
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace automation::readers::xlsx::bytesearch {

HWY_EXPORT(FindVector);
HWY_EXPORT(SkipPrintableAscii);

const char *findVector(const char *p, const char *end, const Stops &stops) {
    return HWY_DYNAMIC_DISPATCH(FindVector)(p, end, stops);
}

const unsigned char *skipPrintableAscii(const unsigned char *p, const unsigned char *end) {
    return HWY_DYNAMIC_DISPATCH(SkipPrintableAscii)(p, end);
}

}  // namespace automation::readers::xlsx::bytesearch
#endif
