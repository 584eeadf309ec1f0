// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/ThemeColors.h"

#include "automation/model/LegacyPalette.h"

#include "automation/readers/xlsx/XmlStream.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace automation::readers::xlsx {

namespace {

using model::Color;
using model::rgb;

// The standard theme's scheme, in slot order.
constexpr uint32_t kDefaultTheme[kThemeColorCount] = {
    0xFFFFFF, 0x000000, 0xE7E6E6, 0x44546A, 0x4472C4, 0xED7D31,
    0xA5A5A5, 0xFFC000, 0x5B9BD5, 0x70AD47, 0x0563C1, 0x954F72,
};

// Scheme element names and the slot each fills (light and dark swap places).
struct SchemeSlot {
    const char *name;
    size_t slot;
};
constexpr SchemeSlot kSchemeSlots[] = {
    {"lt1", 0},     {"dk1", 1},     {"lt2", 2},     {"dk2", 3},     {"accent1", 4}, {"accent2", 5},
    {"accent3", 6}, {"accent4", 7}, {"accent5", 8}, {"accent6", 9}, {"hlink", 10},  {"folHlink", 11},
};

class ThemeHandler : public XmlHandler {
public:
    explicit ThemeHandler(ColorContext *ctx) : ctx_(ctx) {}
    void startElement(const char *local, const char **atts) override {
        if (std::strcmp(local, "clrScheme") == 0) {
            inScheme_ = true;
            return;
        }
        if (!inScheme_) return;
        for (const SchemeSlot &s : kSchemeSlots) {
            if (std::strcmp(local, s.name) == 0) {
                slot_ = static_cast<int>(s.slot);
                return;
            }
        }
        if (slot_ < 0) return;
        Color c;
        if (std::strcmp(local, "srgbClr") == 0 && parseRgb(findAttribute(atts, "val"), &c)) {
            ctx_->theme[static_cast<size_t>(slot_)] = c;
        } else if (std::strcmp(local, "sysClr") == 0 && parseRgb(findAttribute(atts, "lastClr"), &c)) {
            ctx_->theme[static_cast<size_t>(slot_)] = c;
        }
    }
    void endElement(const char *local) override {
        if (std::strcmp(local, "clrScheme") == 0) {
            inScheme_ = false;
            slot_ = -1;
            return;
        }
        for (const SchemeSlot &s : kSchemeSlots)
            if (std::strcmp(local, s.name) == 0) slot_ = -1;
    }

private:
    ColorContext *ctx_;
    bool inScheme_ = false;
    int slot_ = -1;
};

double hueToRgb(double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

uint32_t toByte(double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

}  // namespace

ColorContext::ColorContext() {
    for (size_t i = 0; i < kThemeColorCount; ++i) theme[i] = rgb(kDefaultTheme[i]);
    palette.reserve(kPaletteSize);
    for (uint32_t c : model::kLegacyPalette) palette.push_back(rgb(c));
}

ReadStatus readThemeColors(const ZipArchive &zip, const std::string &part, ColorContext *context,
                           std::string *message) {
    ThemeHandler handler(context);
    return parsePart(zip, part, handler, message, true);
}

bool parseRgb(const char *text, Color *out) {
    if (!text) return false;
    const size_t len = std::strlen(text);
    if (len != 6 && len != 8) return false;
    char *end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 16);
    if (end != text + len) return false;
    // Alpha is ignored by the applications: every given colour is opaque.
    *out = rgb(static_cast<uint32_t>(v & 0xFFFFFFu));
    return true;
}

Color applyTint(Color color, double tint) {
    if (color == model::kAutoColor || tint == 0.0 || !std::isfinite(tint)) return color;
    tint = std::clamp(tint, -1.0, 1.0);
    const double r = ((color >> 16) & 0xFF) / 255.0;
    const double g = ((color >> 8) & 0xFF) / 255.0;
    const double b = (color & 0xFF) / 255.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    double h = 0, s = 0, l = (mx + mn) / 2;
    if (mx != mn) {
        const double d = mx - mn;
        s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
        if (mx == r)
            h = (g - b) / d + (g < b ? 6 : 0);
        else if (mx == g)
            h = (b - r) / d + 2;
        else
            h = (r - g) / d + 4;
        h /= 6;
    }
    l = tint < 0 ? l * (1 + tint) : l * (1 - tint) + tint;
    double nr = l, ng = l, nb = l;
    if (s != 0) {
        const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
        const double p = 2 * l - q;
        nr = hueToRgb(p, q, h + 1.0 / 3);
        ng = hueToRgb(p, q, h);
        nb = hueToRgb(p, q, h - 1.0 / 3);
    }
    return rgb((toByte(nr) << 16) | (toByte(ng) << 8) | toByte(nb));
}

ColorSpec readColorSpec(const char **atts) {
    ColorSpec colour;
    if (attributeBool(findAttribute(atts, "auto"), false)) return colour;
    Color c;
    if (const char *rgb = findAttribute(atts, "rgb")) {
        if (!parseRgb(rgb, &c)) return colour;
        colour.kind = ColorSpec::Kind::Rgb;
        colour.value = c;
    } else if (const char *theme = findAttribute(atts, "theme")) {
        colour.kind = ColorSpec::Kind::Theme;
        colour.value = attributeUInt(theme, UINT32_MAX);
    } else if (const char *indexed = findAttribute(atts, "indexed")) {
        colour.kind = ColorSpec::Kind::Indexed;
        colour.value = attributeUInt(indexed, UINT32_MAX);
    }
    colour.tint = attributeDouble(findAttribute(atts, "tint"), 0.0);
    return colour;
}

Color resolveColor(const ColorSpec &colour, const ColorContext &context) {
    Color c = model::kAutoColor;
    switch (colour.kind) {
        case ColorSpec::Kind::Auto:
            return model::kAutoColor;
        case ColorSpec::Kind::Rgb:
            c = colour.value;
            break;
        case ColorSpec::Kind::Theme:
            if (colour.value >= kThemeColorCount) return model::kAutoColor;
            c = context.theme[colour.value];
            break;
        case ColorSpec::Kind::Indexed:
            // 64 and 65 are the system's window colours: automatic.
            if (colour.value >= context.palette.size()) return model::kAutoColor;
            c = context.palette[colour.value];
            break;
    }
    return applyTint(c, colour.tint);
}

}  // namespace automation::readers::xlsx
