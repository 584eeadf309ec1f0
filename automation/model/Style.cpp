// SPDX-License-Identifier: Apache-2.0
#include "automation/model/Style.h"

#include <functional>

namespace automation::model {

namespace {
inline void mix(size_t &seed, size_t v) { seed ^= v + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); }

void mixLine(size_t &h, const BorderLine &l) {
    mix(h, l.style);
    mix(h, l.color);
}
}  // namespace

size_t hashStyle(const CellStyle &s) {
    size_t h = std::hash<std::string>()(s.numberFormat);
    mix(h, s.builtinFormatId);
    mix(h, std::hash<std::string>()(s.font.name));
    mix(h, std::hash<double>()(s.font.size));
    mix(h, (s.font.bold << 0) | (s.font.italic << 1) | (s.font.strike << 2) |
               (static_cast<unsigned>(s.font.underline) << 3) | (s.font.script << 6));
    mix(h, s.font.color);
    mix(h, s.fill.pattern);
    mix(h, s.fill.foreground);
    mix(h, s.fill.background);
    for (const GradientStop &stop : s.fill.gradient.stops) {
        mix(h, std::hash<double>()(stop.position));
        mix(h, stop.color);
    }
    mixLine(h, s.border.left);
    mixLine(h, s.border.right);
    mixLine(h, s.border.top);
    mixLine(h, s.border.bottom);
    mixLine(h, s.border.diagonal);
    mix(h, (s.border.diagonalUp << 0) | (s.border.diagonalDown << 1) | (s.locked << 2) | (s.hidden << 3) |
               (s.alignment.wrap << 4) | (s.alignment.shrinkToFit << 5));
    mix(h, static_cast<unsigned>(s.alignment.horizontal));
    mix(h, static_cast<unsigned>(s.alignment.vertical));
    mix(h, s.alignment.indent);
    mix(h, static_cast<size_t>(s.alignment.rotation));
    return h;
}

StyleTable::StyleTable() {
    styles_.emplace_back();
    index_.emplace(hashStyle(styles_[0]), 0);
}

uint32_t StyleTable::intern(const CellStyle &style) {
    const size_t h = hashStyle(style);
    auto range = index_.equal_range(h);
    for (auto it = range.first; it != range.second; ++it)
        if (styles_[it->second] == style) return it->second;
    return append(style);
}

uint32_t StyleTable::append(const CellStyle &style) {
    const auto id = static_cast<uint32_t>(styles_.size());
    styles_.push_back(style);
    index_.emplace(hashStyle(style), id);
    return id;
}

void StyleTable::setDefaultStyle(const CellStyle &style) {
    const size_t oldHash = hashStyle(styles_[0]);
    auto range = index_.equal_range(oldHash);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == 0) {
            index_.erase(it);
            break;
        }
    }
    styles_[0] = style;
    index_.emplace(hashStyle(style), 0);
}

}  // namespace automation::model
