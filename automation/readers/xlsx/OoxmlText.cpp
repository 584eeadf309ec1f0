// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/OoxmlText.h"

#include "automation/model/Limits.h"

#include <cstdint>

namespace automation::readers::xlsx {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The escape at text[i] ("_xHHHH_"), or -1.
int escapeAt(const std::string &text, size_t i) {
    if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return -1;
    int v = 0;
    for (size_t k = i + 2; k < i + 6; ++k) {
        const int h = hexValue(text[k]);
        if (h < 0) return -1;
        v = v * 16 + h;
    }
    return v;
}

void appendUtf8(std::string &out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

void decodeEscapes(std::string &text) {
    if (text.find("_x") == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        int v = escapeAt(text, i);
        if (v < 0) {
            out += text[i++];
            continue;
        }
        i += 7;
        uint32_t cp = static_cast<uint32_t>(v);
        // A surrogate pair arrives as two escapes.
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const int low = escapeAt(text, i);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(low) - 0xDC00);
                i += 7;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    text.swap(out);
}

void cutToUtf16Units(std::string &text, size_t maxUnits) {
    if (text.size() <= maxUnits) return;  // every unit takes at least one byte
    size_t units = 0;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t len = 1, need = 1;
        if (lead >= 0xF0) {
            len = 4;
            need = 2;
        } else if (lead >= 0xE0)
            len = 3;
        else if (lead >= 0xC0)
            len = 2;
        if (units + need > maxUnits) {
            text.resize(i);
            return;
        }
        units += need;
        i += len;
    }
}

void normaliseCellText(std::string &text) {
    decodeEscapes(text);
    cutToUtf16Units(text, model::kMaxTextLength);
}

// The early answers of both steps above.
bool cellTextNeedsNormalising(std::string_view text) {
    return text.size() > model::kMaxTextLength || text.find("_x") != std::string_view::npos;
}

}  // namespace automation::readers::xlsx
