// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/StylesReader.h"

#include "automation/numfmt/NumberFormat.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace automation::readers::xlsx {

namespace {

using namespace model;

// Far beyond what the applications allow (64000 cell formats); keeps a hostile
// part from growing the table without end.
constexpr size_t kMaxStyleRecords = 1u << 20;
constexpr uint8_t kMaxIndent = 250;
constexpr int kMaxRotation = 255;
constexpr size_t kMaxGradientStops = 64;  // the applications draw a handful; more only costs memory

struct NamedValue {
    const char *name;
    uint8_t value;
};

uint8_t lookup(const char *text, const NamedValue *table, size_t n, uint8_t fallback) {
    if (!text) return fallback;
    for (size_t i = 0; i < n; ++i)
        if (is(text, table[i].name)) return table[i].value;
    return fallback;
}

constexpr NamedValue kPatterns[] = {
    {"none", 0},           {"solid", 1},          {"mediumGray", 2},   {"darkGray", 3},
    {"lightGray", 4},      {"darkHorizontal", 5}, {"darkVertical", 6}, {"darkDown", 7},
    {"darkUp", 8},         {"darkGrid", 9},       {"darkTrellis", 10}, {"lightHorizontal", 11},
    {"lightVertical", 12}, {"lightDown", 13},     {"lightUp", 14},     {"lightGrid", 15},
    {"lightTrellis", 16},  {"gray125", 17},       {"gray0625", 18},
};
constexpr NamedValue kBorderStyles[] = {
    {"none", 0},
    {"thin", 1},
    {"medium", 2},
    {"dashed", 3},
    {"dotted", 4},
    {"thick", 5},
    {"double", 6},
    {"hair", 7},
    {"mediumDashed", 8},
    {"dashDot", 9},
    {"mediumDashDot", 10},
    {"dashDotDot", 11},
    {"mediumDashDotDot", 12},
    {"slantDashDot", 13},
};
constexpr NamedValue kUnderlines[] = {
    {"none", uint8_t(Underline::None)},
    {"single", uint8_t(Underline::Single)},
    {"double", uint8_t(Underline::Double)},
    {"singleAccounting", uint8_t(Underline::SingleAccounting)},
    {"doubleAccounting", uint8_t(Underline::DoubleAccounting)},
};
constexpr NamedValue kHorizontal[] = {
    {"general", uint8_t(HorizontalAlignment::General)},
    {"left", uint8_t(HorizontalAlignment::Left)},
    {"center", uint8_t(HorizontalAlignment::Center)},
    {"right", uint8_t(HorizontalAlignment::Right)},
    {"fill", uint8_t(HorizontalAlignment::Fill)},
    {"justify", uint8_t(HorizontalAlignment::Justify)},
    {"centerContinuous", uint8_t(HorizontalAlignment::CenterContinuous)},
    {"distributed", uint8_t(HorizontalAlignment::Distributed)},
};
constexpr NamedValue kVertical[] = {
    {"bottom", uint8_t(VerticalAlignment::Bottom)},           {"top", uint8_t(VerticalAlignment::Top)},
    {"center", uint8_t(VerticalAlignment::Center)},           {"justify", uint8_t(VerticalAlignment::Justify)},
    {"distributed", uint8_t(VerticalAlignment::Distributed)},
};

template <size_t N>
uint8_t lookup(const char *text, const NamedValue (&table)[N], uint8_t fallback) {
    return lookup(text, table, N, fallback);
}

struct RawFont {
    Font font;
    ColorSpec color;
};
struct RawFill {
    uint8_t pattern = 0;
    ColorSpec foreground, background;
    Gradient gradient;                  // stops' colours come from `stopColors`
    std::vector<ColorSpec> stopColors;  // by stop
};
struct RawLine {
    uint8_t style = 0;
    ColorSpec color;
};
struct RawBorder {
    RawLine left, right, top, bottom, diagonal;
    bool diagonalUp = false, diagonalDown = false;
};
struct RawXf {
    uint32_t numFmt = 0, font = 0, fill = 0, border = 0;
    Alignment alignment;
    bool locked = true, hidden = false;
};

enum class Section { None, NumFmts, Fonts, Fills, Borders, CellXfs, Palette, Other };

class StylesHandler : public XmlHandler {
public:
    std::unordered_map<uint32_t, std::string> numFmts;
    std::vector<RawFont> fonts;
    std::vector<RawFill> fills;
    std::vector<RawBorder> borders;
    std::vector<RawXf> xfs;
    std::vector<Color> palette;

    void startElement(const char *local, const char **atts) override {
        if (is(local, "numFmts"))
            section_ = Section::NumFmts;
        else if (is(local, "fonts"))
            section_ = Section::Fonts;
        else if (is(local, "fills"))
            section_ = Section::Fills;
        else if (is(local, "borders"))
            section_ = Section::Borders;
        else if (is(local, "cellXfs"))
            section_ = Section::CellXfs;
        else if (is(local, "indexedColors"))
            section_ = Section::Palette;
        else if (is(local, "cellStyleXfs") || is(local, "dxfs") || is(local, "cellStyles") ||
                 is(local, "tableStyles") || is(local, "mruColors") || is(local, "extLst"))
            section_ = Section::Other;
        else
            inSection(local, atts);
    }

    void endElement(const char *local) override {
        if (is(local, "numFmts") || is(local, "fonts") || is(local, "fills") || is(local, "borders") ||
            is(local, "cellXfs") || is(local, "indexedColors") || is(local, "cellStyleXfs") || is(local, "dxfs") ||
            is(local, "cellStyles") || is(local, "tableStyles") || is(local, "mruColors") || is(local, "extLst"))
            section_ = Section::None;
        else if (is(local, "stop"))
            inStop_ = false;
        else if (line_ && (is(local, "left") || is(local, "start") || is(local, "right") || is(local, "end") ||
                           is(local, "top") || is(local, "bottom") || is(local, "diagonal")))
            line_ = nullptr;
    }

private:
    bool roomFor(size_t n) {
        if (n < kMaxStyleRecords) return true;
        fail(ReadStatus::Corrupt, "styles part holds implausibly many records");
        return false;
    }

    void inSection(const char *local, const char **atts) {
        switch (section_) {
            case Section::NumFmts:
                if (is(local, "numFmt")) {
                    const char *code = findAttribute(atts, "formatCode");
                    const uint32_t id = attributeUInt(findAttribute(atts, "numFmtId"), UINT32_MAX);
                    if (code && id != UINT32_MAX && roomFor(numFmts.size())) numFmts[id] = code;
                }
                break;
            case Section::Fonts:
                fontElement(local, atts);
                break;
            case Section::Fills:
                fillElement(local, atts);
                break;
            case Section::Borders:
                borderElement(local, atts);
                break;
            case Section::CellXfs:
                xfElement(local, atts);
                break;
            case Section::Palette:
                if (is(local, "rgbColor")) {
                    Color c;
                    if (!parseRgb(findAttribute(atts, "rgb"), &c)) c = kAutoColor;
                    if (roomFor(palette.size())) palette.push_back(c);
                }
                break;
            default:
                break;
        }
    }

    void fontElement(const char *local, const char **atts) {
        if (is(local, "font")) {
            if (roomFor(fonts.size())) fonts.emplace_back();
            return;
        }
        if (fonts.empty()) return;
        RawFont &f = fonts.back();
        const char *val = findAttribute(atts, "val");
        if (is(local, "name")) {
            if (val) f.font.name = val;
        } else if (is(local, "sz"))
            f.font.size = attributeDouble(val, f.font.size);
        else if (is(local, "b"))
            f.font.bold = attributeBool(val, true);
        else if (is(local, "i"))
            f.font.italic = attributeBool(val, true);
        else if (is(local, "strike"))
            f.font.strike = attributeBool(val, true);
        else if (is(local, "u"))
            f.font.underline = static_cast<Underline>(lookup(val ? val : "single", kUnderlines, 0));
        else if (is(local, "vertAlign"))
            f.font.script = val && is(val, "superscript") ? 1 : val && is(val, "subscript") ? 2 : 0;
        else if (is(local, "color"))
            f.color = readColorSpec(atts);
    }

    void fillElement(const char *local, const char **atts) {
        if (is(local, "fill")) {
            if (roomFor(fills.size())) fills.emplace_back();
            return;
        }
        if (fills.empty()) return;
        RawFill &f = fills.back();
        if (is(local, "patternFill")) {
            f.pattern = lookup(findAttribute(atts, "patternType"), kPatterns, 0);
        } else if (is(local, "fgColor")) {
            f.foreground = readColorSpec(atts);
        } else if (is(local, "bgColor")) {
            f.background = readColorSpec(atts);
        } else if (is(local, "gradientFill")) {
            // The first stop's colour, solid, stands for the gradient where it cannot be drawn.
            f.pattern = 1;
            gradientStops_ = 0;
            const char *type = findAttribute(atts, "type");
            f.gradient.path = type && is(type, "path");
            f.gradient.degree = attributeDouble(findAttribute(atts, "degree"), 0);
            f.gradient.left = attributeDouble(findAttribute(atts, "left"), 0);
            f.gradient.right = attributeDouble(findAttribute(atts, "right"), 0);
            f.gradient.top = attributeDouble(findAttribute(atts, "top"), 0);
            f.gradient.bottom = attributeDouble(findAttribute(atts, "bottom"), 0);
        } else if (is(local, "stop")) {
            inStop_ = true;
            ++gradientStops_;
            if (f.gradient.stops.size() < kMaxGradientStops) {
                f.gradient.stops.push_back({attributeDouble(findAttribute(atts, "position"), 0), kAutoColor});
                f.stopColors.emplace_back();
            }
        } else if (is(local, "color") && inStop_) {
            const ColorSpec color = readColorSpec(atts);
            if (gradientStops_ == 1) f.foreground = color;
            if (static_cast<size_t>(gradientStops_) == f.stopColors.size()) f.stopColors.back() = color;
        }
    }

    void borderElement(const char *local, const char **atts) {
        if (is(local, "border")) {
            if (!roomFor(borders.size())) return;
            borders.emplace_back();
            borders.back().diagonalUp = attributeBool(findAttribute(atts, "diagonalUp"), false);
            borders.back().diagonalDown = attributeBool(findAttribute(atts, "diagonalDown"), false);
            return;
        }
        if (borders.empty()) return;
        RawBorder &b = borders.back();
        RawLine *line = nullptr;
        if (is(local, "left") || is(local, "start"))
            line = &b.left;
        else if (is(local, "right") || is(local, "end"))
            line = &b.right;
        else if (is(local, "top"))
            line = &b.top;
        else if (is(local, "bottom"))
            line = &b.bottom;
        else if (is(local, "diagonal"))
            line = &b.diagonal;
        if (line) {
            line->style = lookup(findAttribute(atts, "style"), kBorderStyles, 0);
            line_ = line;
        } else if (is(local, "color") && line_) {
            line_->color = readColorSpec(atts);
        }
    }

    void xfElement(const char *local, const char **atts) {
        if (is(local, "xf")) {
            if (!roomFor(xfs.size())) return;
            RawXf x;
            x.numFmt = attributeUInt(findAttribute(atts, "numFmtId"), 0);
            x.font = attributeUInt(findAttribute(atts, "fontId"), 0);
            x.fill = attributeUInt(findAttribute(atts, "fillId"), 0);
            x.border = attributeUInt(findAttribute(atts, "borderId"), 0);
            xfs.push_back(x);
            return;
        }
        if (xfs.empty()) return;
        RawXf &x = xfs.back();
        if (is(local, "alignment")) {
            Alignment &a = x.alignment;
            a.horizontal = static_cast<HorizontalAlignment>(lookup(findAttribute(atts, "horizontal"), kHorizontal, 0));
            a.vertical = static_cast<VerticalAlignment>(lookup(findAttribute(atts, "vertical"), kVertical, 0));
            a.wrap = attributeBool(findAttribute(atts, "wrapText"), false);
            a.shrinkToFit = attributeBool(findAttribute(atts, "shrinkToFit"), false);
            a.indent =
                static_cast<uint8_t>(std::min<uint32_t>(attributeUInt(findAttribute(atts, "indent"), 0), kMaxIndent));
            const uint32_t rot = attributeUInt(findAttribute(atts, "textRotation"), 0);
            a.rotation = static_cast<int16_t>(rot <= 180 || rot == static_cast<uint32_t>(kMaxRotation) ? rot : 0);
        } else if (is(local, "protection")) {
            x.locked = attributeBool(findAttribute(atts, "locked"), true);
            x.hidden = attributeBool(findAttribute(atts, "hidden"), false);
        }
    }

    Section section_ = Section::None;
    RawLine *line_ = nullptr;
    bool inStop_ = false;
    int gradientStops_ = 0;
};

BorderLine resolveLine(const RawLine &l, const ColorContext &colors) {
    BorderLine out;
    out.style = l.style;
    out.color = l.style ? resolveColor(l.color, colors) : kAutoColor;
    return out;
}

// The code of format `id`, and its built-in id when the file does not define
// it itself and it is one of the built-in formats.
void resolveNumberFormat(uint32_t id, const std::unordered_map<uint32_t, std::string> &custom, CellStyle *style) {
    auto it = custom.find(id);
    if (it != custom.end()) {
        style->numberFormat = it->second;
        return;
    }
    std::string code = id <= INT32_MAX ? numfmt::builtinFormatCode(static_cast<int>(id)) : std::string();
    if (code.empty()) return;  // General
    style->numberFormat = std::move(code);
    style->builtinFormatId = static_cast<uint8_t>(id);
}

}  // namespace

ReadStatus readStyles(const ZipArchive &zip, const std::string &part, ColorContext colors, StyleTable *table,
                      uint32_t *xfCount, std::string *message) {
    *xfCount = 0;
    StylesHandler h;
    const ReadStatus status = parsePart(zip, part, h, message, true);
    if (status != ReadStatus::Ok) return status;
    if (!h.palette.empty()) {
        for (size_t i = 0; i < h.palette.size() && i < colors.palette.size(); ++i) colors.palette[i] = h.palette[i];
        for (size_t i = colors.palette.size(); i < h.palette.size() && i < kPaletteSize; ++i)
            colors.palette.push_back(h.palette[i]);
    }
    // Pieces referred to by a missing index fall back to the first one, as the applications do.
    auto pick = [](const auto &v, uint32_t i) -> const auto * {
        return v.empty() ? nullptr : i < v.size() ? &v[i] : &v[0];
    };
    for (size_t i = 0; i < h.xfs.size(); ++i) {
        const RawXf &x = h.xfs[i];
        CellStyle s;
        resolveNumberFormat(x.numFmt, h.numFmts, &s);
        if (const RawFont *f = pick(h.fonts, x.font)) {
            s.font = f->font;
            s.font.color = resolveColor(f->color, colors);
        }
        if (const RawFill *f = pick(h.fills, x.fill)) {
            s.fill.pattern = f->pattern;
            if (f->pattern) {
                s.fill.foreground = resolveColor(f->foreground, colors);
                s.fill.background = resolveColor(f->background, colors);
            }
            s.fill.gradient = f->gradient;
            for (size_t stop = 0; stop < f->stopColors.size(); ++stop)
                s.fill.gradient.stops[stop].color = resolveColor(f->stopColors[stop], colors);
        }
        if (const RawBorder *b = pick(h.borders, x.border)) {
            s.border.left = resolveLine(b->left, colors);
            s.border.right = resolveLine(b->right, colors);
            s.border.top = resolveLine(b->top, colors);
            s.border.bottom = resolveLine(b->bottom, colors);
            s.border.diagonal = resolveLine(b->diagonal, colors);
            s.border.diagonalUp = b->diagonalUp;
            s.border.diagonalDown = b->diagonalDown;
        }
        s.alignment = x.alignment;
        s.locked = x.locked;
        s.hidden = x.hidden;
        if (i == 0)
            table->setDefaultStyle(s);
        else
            table->append(s);
    }
    if (h.xfs.empty() && !h.fonts.empty()) {
        CellStyle s;
        s.font = h.fonts[0].font;
        s.font.color = resolveColor(h.fonts[0].color, colors);
        table->setDefaultStyle(s);
    }
    *xfCount = static_cast<uint32_t>(h.xfs.size());
    return ReadStatus::Ok;
}

}  // namespace automation::readers::xlsx
