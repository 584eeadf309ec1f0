// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xls/BiffStyles.h"

#include "automation/model/LegacyPalette.h"
#include "automation/numfmt/NumberFormat.h"
#include "automation/readers/xls/BiffFields.h"
#include "automation/readers/xls/BiffRecordStream.h"

#include <algorithm>

namespace automation::readers::xls {

namespace {

constexpr size_t kFontFixedBytes = 14;
constexpr size_t kXf8Bytes = 20;
constexpr size_t kXf5Bytes = 16;
constexpr uint16_t kBoldWeight = 700;
constexpr uint16_t kSkippedFontIndex = 4;  // font index 4 is never written
constexpr uint16_t kNormalCellXf = 15;

model::Underline underlineOf(uint8_t code) {
    switch (code) {
        case 0x01:
            return model::Underline::Single;
        case 0x02:
            return model::Underline::Double;
        case 0x21:
            return model::Underline::SingleAccounting;
        case 0x22:
            return model::Underline::DoubleAccounting;
        default:
            return model::Underline::None;
    }
}

model::VerticalAlignment verticalOf(unsigned code) {
    switch (code) {
        case 0:
            return model::VerticalAlignment::Top;
        case 1:
            return model::VerticalAlignment::Center;
        case 3:
            return model::VerticalAlignment::Justify;
        case 4:
            return model::VerticalAlignment::Distributed;
        default:
            return model::VerticalAlignment::Bottom;
    }
}

void decodeAlignment(uint8_t byte, model::Alignment *a) {
    a->horizontal = static_cast<model::HorizontalAlignment>(byte & 0x07);
    a->wrap = (byte & 0x08) != 0;
    a->vertical = verticalOf((byte >> 4) & 0x07);
}

void decodeProtection(uint16_t flags, model::CellStyle *s) {
    s->locked = (flags & 0x0001) != 0;
    s->hidden = (flags & 0x0002) != 0;
}

}  // namespace

model::Color BiffStyles::color(uint16_t icv) const {
    if (icv < model::kFirstRedefinableColor) return model::rgb(model::kLegacyPalette[icv]);
    const size_t slot = icv - model::kFirstRedefinableColor;
    if (slot < palette_.size()) return model::rgb(palette_[slot]);
    if (icv < model::kLegacyPaletteSize) return model::rgb(model::kLegacyPalette[icv]);
    // System colours and the font's "automatic" colour.
    return model::kAutoColor;
}

void BiffStyles::addFont(const uint8_t *d, size_t size) {
    if (size < kFontFixedBytes + 1) return;
    model::Font f;
    f.size = readU16(d) / kTwipsPerPoint;
    const uint16_t grbit = readU16(d + 2);
    f.italic = (grbit & 0x0002) != 0;
    f.strike = (grbit & 0x0008) != 0;
    f.bold = readU16(d + 6) >= kBoldWeight;
    f.script = static_cast<uint8_t>(std::min<uint16_t>(readU16(d + 8), 2));
    f.underline = underlineOf(d[10]);
    const size_t count = d[kFontFixedBytes];
    f.name.clear();
    if (biff8_) {
        if (size < kFontFixedBytes + 2) return;
        const bool wide = (d[kFontFixedBytes + 1] & 0x01) != 0;
        const size_t bytes = count * (wide ? 2 : 1);
        if (size < kFontFixedBytes + 2 + bytes) return;
        ContinuedReader r;
        BiffRecord rec;
        rec.data = d + kFontFixedBytes + 2;
        rec.size = static_cast<uint16_t>(bytes);
        r.startSingle(rec);
        if (!r.readCharacters(count, wide, &f.name)) return;
    } else {
        if (size < kFontFixedBytes + 1 + count) return;
        codepage_->appendUtf8(d + kFontFixedBytes + 1, count, &f.name);
    }
    fonts_.push_back(std::move(f));
    fontColors_.push_back(readU16(d + 4));
}

void BiffStyles::addFormat(const uint8_t *d, size_t size) {
    if (size < 3) return;
    const uint16_t id = readU16(d);
    std::string code;
    if (biff8_) {
        ContinuedReader r;
        BiffRecord rec;
        rec.data = d + 2;
        rec.size = static_cast<uint16_t>(size - 2);
        r.startSingle(rec);
        if (!r.readUnicodeString(true, &code)) return;
    } else {
        const size_t count = d[2];
        if (size < 3 + count) return;
        codepage_->appendUtf8(d + 3, count, &code);
    }
    formats_[id] = std::move(code);
}

void BiffStyles::addXf(const uint8_t *d, size_t size) {
    Xf xf;
    if (biff8_) {
        if (size < kXf8Bytes) return;
        decodeXf8(d, &xf);
    } else {
        if (size < kXf5Bytes) return;
        decodeXf5(d, &xf);
    }
    xfs_.push_back(std::move(xf));
}

void BiffStyles::decodeXf8(const uint8_t *d, Xf *xf) const {
    xf->font = readU16(d);
    xf->format = readU16(d + 2);
    model::CellStyle &s = xf->style;
    decodeProtection(readU16(d + 4), &s);
    decodeAlignment(d[6], &s.alignment);
    s.alignment.rotation = d[7];
    s.alignment.indent = d[8] & 0x0F;
    s.alignment.shrinkToFit = (d[8] & 0x10) != 0;

    const uint32_t lines = readU32(d + 10);
    s.border.left.style = lines & 0x0F;
    s.border.right.style = (lines >> 4) & 0x0F;
    s.border.top.style = (lines >> 8) & 0x0F;
    s.border.bottom.style = (lines >> 12) & 0x0F;
    xf->icv[kLeft] = (lines >> 16) & 0x7F;
    xf->icv[kRight] = (lines >> 23) & 0x7F;
    s.border.diagonalDown = (lines & 0x40000000u) != 0;
    s.border.diagonalUp = (lines & 0x80000000u) != 0;

    const uint32_t more = readU32(d + 14);
    xf->icv[kTop] = more & 0x7F;
    xf->icv[kBottom] = (more >> 7) & 0x7F;
    xf->icv[kDiagonal] = (more >> 14) & 0x7F;
    s.border.diagonal.style = (more >> 21) & 0x0F;
    s.fill.pattern = (more >> 26) & 0x3F;

    const uint16_t fill = readU16(d + 18);
    xf->icv[kFore] = fill & 0x7F;
    xf->icv[kBack] = (fill >> 7) & 0x7F;
}

void BiffStyles::decodeXf5(const uint8_t *d, Xf *xf) const {
    xf->font = readU16(d);
    xf->format = readU16(d + 2);
    model::CellStyle &s = xf->style;
    decodeProtection(readU16(d + 4), &s);
    decodeAlignment(d[6], &s.alignment);
    static constexpr int16_t kOrientation[] = {0, 255, 90, 180};
    s.alignment.rotation = kOrientation[d[7] & 0x03];

    const uint32_t area = readU32(d + 8);
    xf->icv[kFore] = area & 0x7F;
    xf->icv[kBack] = (area >> 7) & 0x7F;
    s.fill.pattern = (area >> 16) & 0x3F;
    s.border.bottom.style = (area >> 22) & 0x07;
    xf->icv[kBottom] = (area >> 25) & 0x7F;

    const uint32_t lines = readU32(d + 12);
    s.border.top.style = lines & 0x07;
    s.border.left.style = (lines >> 3) & 0x07;
    s.border.right.style = (lines >> 6) & 0x07;
    xf->icv[kTop] = (lines >> 9) & 0x7F;
    xf->icv[kLeft] = (lines >> 16) & 0x7F;
    xf->icv[kRight] = (lines >> 23) & 0x7F;
}

void BiffStyles::setPalette(const uint8_t *d, size_t size) {
    if (size < 2) return;
    const size_t count = std::min<size_t>(readU16(d), (size - 2) / 4);
    palette_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *c = d + 2 + 4 * i;
        palette_[i] = (static_cast<uint32_t>(c[0]) << 16) | (static_cast<uint32_t>(c[1]) << 8) | c[2];
    }
}

std::string BiffStyles::formatCode(uint16_t id) const {
    auto it = formats_.find(id);
    if (it != formats_.end() && !it->second.empty()) return it->second;
    // Old files number their built-in formats differently past the first few.
    constexpr uint16_t kLastSharedBuiltin = 4;
    if (legacy_ && id > kLastSharedBuiltin) return "General";
    std::string code = numfmt::builtinFormatCode(id);
    return code.empty() ? std::string("General") : code;
}

model::CellStyle BiffStyles::resolveXf(const Xf &xf) const {
    model::CellStyle s = xf.style;
    s.numberFormat = formatCode(xf.format);
    // Ids below the first custom one are the built-in formats, whatever code
    // the file's FORMAT record spells them with.
    if (!legacy_ && !numfmt::builtinFormatCode(xf.format).empty() && s.numberFormat != "General")
        s.builtinFormatId = static_cast<uint8_t>(xf.format);
    size_t font = xf.font > kSkippedFontIndex ? xf.font - 1u : xf.font;
    if (xf.font == kSkippedFontIndex) font = 0;
    if (font < fonts_.size()) {
        s.font = fonts_[font];
        s.font.color = color(fontColors_[font]);
    }
    auto lineColor = [&](model::BorderLine *line, uint16_t icv) {
        line->color = line->style ? color(icv) : model::kAutoColor;
    };
    lineColor(&s.border.left, xf.icv[kLeft]);
    lineColor(&s.border.right, xf.icv[kRight]);
    lineColor(&s.border.top, xf.icv[kTop]);
    lineColor(&s.border.bottom, xf.icv[kBottom]);
    lineColor(&s.border.diagonal, xf.icv[kDiagonal]);
    if (s.fill.pattern) {
        s.fill.foreground = color(xf.icv[kFore]);
        s.fill.background = color(xf.icv[kBack]);
    }
    return s;
}

void BiffStyles::resolve(model::StyleTable *table) {
    styleOfXf_.assign(xfs_.size(), 0);
    if (xfs_.empty()) return;
    const size_t normal = xfs_.size() > kNormalCellXf ? kNormalCellXf : 0;
    table->setDefaultStyle(resolveXf(xfs_[normal]));
    for (size_t i = 0; i < xfs_.size(); ++i) styleOfXf_[i] = table->intern(resolveXf(xfs_[i]));
}

void BiffStyles::addLegacyFont(int version, const uint8_t *d, size_t size) {
    legacy_ = true;
    const size_t fixed = version == 2 ? 4 : 6;  // height, options[, colour]
    if (size < fixed + 1) return;
    model::Font f;
    f.size = readU16(d) / kTwipsPerPoint;
    const uint16_t options = readU16(d + 2);
    f.bold = (options & 0x0001) != 0;
    f.italic = (options & 0x0002) != 0;
    f.underline = (options & 0x0004) ? model::Underline::Single : model::Underline::None;
    f.strike = (options & 0x0008) != 0;
    const size_t count = std::min<size_t>(d[fixed], size - fixed - 1);
    f.name.clear();
    codepage_->appendUtf8(d + fixed + 1, count, &f.name);
    fonts_.push_back(std::move(f));
    fontColors_.push_back(version == 2 ? model::kLegacyPaletteSize : readU16(d + 4));  // BIFF2: automatic
}

void BiffStyles::setLastFontColor(uint16_t icv) {
    if (!fontColors_.empty()) fontColors_.back() = icv;
}

void BiffStyles::addLegacyFormat(int version, const uint8_t *d, size_t size) {
    legacy_ = true;
    const size_t at = version >= 4 ? 2 : 0;  // BIFF4 puts two unused bytes first
    const uint16_t id = legacyFormats_++;
    if (size < at + 1) return;
    std::string code;
    codepage_->appendUtf8(d + at + 1, std::min<size_t>(d[at], size - at - 1), &code);
    formats_[id] = std::move(code);
}

void BiffStyles::addLegacyXf(int version, const uint8_t *d, size_t size) {
    legacy_ = true;
    Xf xf;
    model::CellStyle &s = xf.style;
    if (version == 2) {
        if (size < 4) return;
        xf.font = d[0];
        xf.format = d[2] & 0x3F;
        s.locked = (d[2] & 0x40) != 0;
        s.hidden = (d[2] & 0x80) != 0;
        s.alignment.horizontal = static_cast<model::HorizontalAlignment>(d[3] & 0x07);
        if (d[3] & 0x08) s.border.left.style = 1;
        if (d[3] & 0x10) s.border.right.style = 1;
        if (d[3] & 0x20) s.border.top.style = 1;
        if (d[3] & 0x40) s.border.bottom.style = 1;
        if (d[3] & 0x80) s.fill.pattern = 17;  // shaded: a light grey pattern
        for (uint16_t &c : xf.icv) c = 8;      // black lines and shading
        xf.icv[kBack] = 9;
    } else {
        if (size < 12) return;
        xf.font = d[0];
        xf.format = d[1];
        s.locked = (d[2] & 0x01) != 0;
        s.hidden = (d[2] & 0x02) != 0;
        const uint8_t align = d[4];
        s.alignment.horizontal = static_cast<model::HorizontalAlignment>(align & 0x07);
        s.alignment.wrap = (align & 0x08) != 0;
        if (version == 4) s.alignment.vertical = verticalOf((align >> 4) & 0x03);
        const uint16_t area = readU16(d + 6);
        s.fill.pattern = area & 0x3F;
        xf.icv[kFore] = (area >> 6) & 0x1F;
        xf.icv[kBack] = (area >> 11) & 0x1F;
        const uint32_t lines = readU32(d + 8);
        s.border.top.style = lines & 0x07;
        xf.icv[kTop] = (lines >> 3) & 0x1F;
        s.border.left.style = (lines >> 8) & 0x07;
        xf.icv[kLeft] = (lines >> 11) & 0x1F;
        s.border.bottom.style = (lines >> 16) & 0x07;
        xf.icv[kBottom] = (lines >> 19) & 0x1F;
        s.border.right.style = (lines >> 24) & 0x07;
        xf.icv[kRight] = (lines >> 27) & 0x1F;
    }
    xfs_.push_back(std::move(xf));
}

uint16_t BiffStyles::biff2CellXf(const uint8_t *a) {
    // The XF slot (bits 0-5 of the first byte) is unused in such files.
    const uint32_t key = (static_cast<uint32_t>(a[0] & 0xC0) << 16) | (static_cast<uint32_t>(a[1]) << 8) | a[2];
    if (xfs_.empty()) {  // the plain format first: it is the sheet's default
        const uint8_t plain[4] = {0, 0, 0, 0};
        addLegacyXf(2, plain, sizeof plain);
        xfOfAttributes_.emplace(0, 0);
    }
    const auto it = xfOfAttributes_.find(key);
    if (it != xfOfAttributes_.end()) return it->second;
    const uint8_t record[4] = {static_cast<uint8_t>(a[1] >> 6), 0, static_cast<uint8_t>((a[1] & 0x3F) | (a[0] & 0xC0)),
                               a[2]};
    addLegacyXf(2, record, sizeof record);
    const auto index = static_cast<uint16_t>(xfs_.size() - 1);
    xfOfAttributes_.emplace(key, index);
    return index;
}

void BiffStyles::resolveNew(model::StyleTable *table, bool makeDefault) {
    if (xfs_.empty()) return;
    if (styleOfXf_.empty() && makeDefault) table->setDefaultStyle(resolveXf(xfs_[0]));
    for (size_t i = styleOfXf_.size(); i < xfs_.size(); ++i) styleOfXf_.push_back(table->intern(resolveXf(xfs_[i])));
}

}  // namespace automation::readers::xls
