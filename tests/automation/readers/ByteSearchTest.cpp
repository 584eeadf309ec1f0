// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/ByteSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using namespace automation::readers::xlsx::bytesearch;

namespace {

// Long enough to hold a few of the widest vectors and a tail behind them.
constexpr size_t kMaxLength = 300;

const char *oneByOne(const char *p, const char *end, const Stops &stops) {
    return std::find_if(p, end, [&](char byte) {
        const unsigned char c = static_cast<unsigned char>(byte);
        return c == stops.a || c == stops.b || c == stops.c || c == stops.d;
    });
}

const unsigned char *firstNotPrintableAscii(const unsigned char *p, const unsigned char *end) {
    return std::find_if(p, end, [](unsigned char c) { return c < 0x20 || c > 0x7F; });
}

}  // namespace

// Every length, every place of the byte searched for, from every start within
// a vector: a search that loses a byte at a vector's edge or reads past the
// end shows here (the buffer ends where the search must stop).
TEST(ByteSearch, FindsTheFirstStopWhereverItStands) {
    const Stops value{'"', '<', '&', '\t'};
    const Stops text{'<', '&', '\r', '>'};
    for (const Stops &stops : {value, text}) {
        for (size_t length = 0; length <= kMaxLength; ++length) {
            for (char stop : {'<', '&', '"', '\r', '\t', '>'}) {
                for (size_t at = 0; at <= length; at += (at < 70 ? 1 : 37)) {
                    std::string bytes(length, 'x');
                    if (at < length) bytes[at] = stop;
                    const char *begin = bytes.data();
                    const char *end = begin + length;
                    for (size_t start : {size_t(0), size_t(1), size_t(15), size_t(31)}) {
                        if (start > length) continue;
                        const char *expected = oneByOne(begin + start, end, stops);
                        ASSERT_EQ(findVector(begin + start, end, stops), expected)
                            << "length " << length << ", stop at " << at << ", from " << start;
                        ASSERT_EQ(find<16>(begin + start, end, stops), expected);
                    }
                }
            }
        }
    }
}

TEST(ByteSearch, SkipsPrintableAsciiUpToTheFirstOtherByte) {
    std::mt19937 random(22);
    std::uniform_int_distribution<int> printable(0x20, 0x7E);
    for (size_t length = 0; length <= kMaxLength; ++length) {
        for (unsigned char other : {0x00, 0x09, 0x0A, 0x1F, 0x7F, 0x80, 0xC3, 0xFF}) {
            for (size_t at = 0; at <= length; at += (at < 70 ? 1 : 29)) {
                std::basic_string<unsigned char> bytes(length, 0);
                for (unsigned char &c : bytes) c = static_cast<unsigned char>(printable(random));
                if (at < length) bytes[at] = other;
                const unsigned char *begin = bytes.data();
                const unsigned char *end = begin + length;
                ASSERT_EQ(skipPrintableAscii(begin, end), firstNotPrintableAscii(begin, end))
                    << "length " << length << ", byte " << int(other) << " at " << at;
            }
        }
    }
}
