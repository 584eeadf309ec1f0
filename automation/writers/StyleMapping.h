// Model cell formats as libxlsxwriter formats. Each style index in use gets
// one lxw_format, made the first time a cell asks for it; libxlsxwriter then
// shares equal formats in the file's style sheet.
#pragma once

#include "automation/model/Style.h"

#include <xlsxwriter.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace automation::writers {

// libxlsxwriter's colour for a model colour; LXW_COLOR_UNSET for automatic.
lxw_color_t toLxwColor(model::Color color);
uint8_t toLxwHorizontal(model::HorizontalAlignment alignment);
uint8_t toLxwVertical(model::VerticalAlignment alignment);
// The stored rotation (0-90 up, 91-180 down, 255 vertical) as the angle
// libxlsxwriter takes (-90..90, 270 vertical).
int16_t toLxwRotation(int16_t stored);

// Sets every property of `style` that differs from the format default.
void applyStyle(lxw_format *format, const model::CellStyle &style);

class FormatCache {
public:
    FormatCache(lxw_workbook *workbook, const model::StyleTable &styles);

    // The format for a style index; null for a style equal to the file's
    // default format (libxlsxwriter is fastest without one). Equal styles
    // under different indexes share one format.
    lxw_format *formatFor(uint32_t styleIndex);

    // An explicit default format, for a plain cell in a formatted row or
    // column, which would otherwise take on that row's or column's format.
    lxw_format *plainFormat();

private:
    static constexpr int32_t kUnresolved = -1;
    static constexpr int32_t kPlain = -2;

    lxw_workbook *workbook_;
    const model::StyleTable &styles_;
    std::vector<int32_t> slotOfStyle_;   // style index -> slot in formats_
    std::vector<lxw_format *> formats_;  // one per distinct style
    std::vector<uint32_t> styleOfSlot_;  // a style index holding the slot's style
    std::unordered_multimap<size_t, int32_t> slotsByHash_;
    lxw_format *plain_ = nullptr;
};

}  // namespace automation::writers
