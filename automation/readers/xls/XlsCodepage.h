// SPDX-License-Identifier: Apache-2.0
// The 8-bit text of BIFF5 workbooks, stored in the code page their CODEPAGE
// record names, turned into UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class QTextCodec;

namespace automation::readers::xls {

class XlsCodepage {
public:
    // Windows code page numbers as the CODEPAGE record gives them.
    static constexpr uint16_t kUtf16 = 1200;
    static constexpr uint16_t kWesternEuropean = 1252;

    XlsCodepage() { select(kWesternEuropean); }
    // Unknown code pages fall back to Windows-1252, which maps every byte.
    void select(uint16_t codepage);
    uint16_t codepage() const { return codepage_; }

    void appendUtf8(const uint8_t *bytes, size_t count, std::string *out) const;

private:
    uint16_t codepage_ = 0;
    QTextCodec *codec_ = nullptr;  // owned by Qt; null means Latin-1
};

}  // namespace automation::readers::xls
