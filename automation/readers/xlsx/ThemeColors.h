// SPDX-License-Identifier: Apache-2.0
// Colours as SpreadsheetML gives them (rgb, theme slot, palette index, each
// with an optional tint) resolved to plain RGB for the model.
#pragma once

#include "automation/model/LegacyPalette.h"

#include "automation/model/Style.h"
#include "automation/readers/xlsx/ZipArchive.h"

#include <array>
#include <string>
#include <vector>

namespace automation::readers::xlsx {

constexpr size_t kThemeColorCount = 12;
constexpr size_t kPaletteSize = model::kLegacyPaletteSize;

struct ColorContext {
    // In the order <color theme="n"> numbers them: lt1, dk1, lt2, dk2, accent1-6, hlink, folHlink.
    std::array<model::Color, kThemeColorCount> theme;
    std::vector<model::Color> palette;  // indexed colours; a file may replace the default set

    ColorContext();  // the default theme and palette
};

// Reads the colour scheme of the theme part into `context`; slots the part
// does not give keep their defaults.
ReadStatus readThemeColors(const ZipArchive &zip, const std::string &part, ColorContext *context, std::string *message);

// Lightens (tint > 0) or darkens (tint < 0) a colour as the application does.
model::Color applyTint(model::Color color, double tint);

// A colour as written, kept until the file's palette and theme are known.
struct ColorSpec {
    enum class Kind : uint8_t { Auto, Rgb, Theme, Indexed } kind = Kind::Auto;
    uint32_t value = 0;
    double tint = 0.0;
};

ColorSpec readColorSpec(const char **attributes);
// kAutoColor when automatic, absent or out of range.
model::Color resolveColor(const ColorSpec &colour, const ColorContext &context);
inline model::Color resolveColor(const char **attributes, const ColorContext &context) {
    return resolveColor(readColorSpec(attributes), context);
}

// "FFRRGGBB" or "RRGGBB" -> opaque colour; false when not hex.
bool parseRgb(const char *text, model::Color *out);

}  // namespace automation::readers::xlsx
