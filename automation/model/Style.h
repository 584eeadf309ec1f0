// SPDX-License-Identifier: Apache-2.0
// Cell formats: number format, font, fill, border, alignment and protection,
// with colours already resolved to RGB. A workbook keeps each distinct format
// once in its StyleTable; cells refer to it by index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace automation::model {

// 0xAARRGGBB; kAutoColor means "automatic" (the application's default colour).
using Color = uint32_t;
constexpr Color kAutoColor = 0;

inline Color rgb(uint32_t rrggbb) { return 0xFF000000u | (rrggbb & 0xFFFFFFu); }

enum class Underline : uint8_t { None, Single, Double, SingleAccounting, DoubleAccounting };
enum class VerticalAlignment : uint8_t { Bottom, Top, Center, Justify, Distributed };
enum class HorizontalAlignment : uint8_t { General, Left, Center, Right, Fill, Justify, CenterContinuous, Distributed };

struct Font {
    std::string name = "Calibri";
    double size = 11.0;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    Underline underline = Underline::None;
    uint8_t script = 0;  // 0 normal, 1 superscript, 2 subscript
    Color color = kAutoColor;
    bool operator==(const Font &o) const {
        return name == o.name && size == o.size && bold == o.bold && italic == o.italic && strike == o.strike &&
               underline == o.underline && script == o.script && color == o.color;
    }
};

struct GradientStop {
    double position = 0;  // 0 to 1 along the gradient
    Color color = kAutoColor;
    bool operator==(const GradientStop &o) const { return position == o.position && color == o.color; }
};

// A gradient fill of an .xlsx file: linear at `degree`, or a path from the
// rectangle the four edges (0 to 1) give. No stops: no gradient.
struct Gradient {
    bool path = false;
    double degree = 0, left = 0, right = 0, top = 0, bottom = 0;
    std::vector<GradientStop> stops;
    bool operator==(const Gradient &o) const {
        return path == o.path && degree == o.degree && left == o.left && right == o.right && top == o.top &&
               bottom == o.bottom && stops == o.stops;
    }
};

// Pattern numbers as the file formats give them: 0 none, 1 solid, 2 mediumGray, ...
// A gradient also keeps its first colour as a solid fill, which is what
// whoever does not draw gradients shows.
struct Fill {
    uint8_t pattern = 0;
    Color foreground = kAutoColor;
    Color background = kAutoColor;
    Gradient gradient;
    bool operator==(const Fill &o) const {
        return pattern == o.pattern && foreground == o.foreground && background == o.background &&
               gradient == o.gradient;
    }
};

// Border line styles as the file formats number them: 0 none, 1 thin, 2 medium,
// 3 dashed, 4 dotted, 5 thick, 6 double, 7 hair, 8 mediumDashed, 9 dashDot,
// 10 mediumDashDot, 11 dashDotDot, 12 mediumDashDotDot, 13 slantDashDot.
struct BorderLine {
    uint8_t style = 0;
    Color color = kAutoColor;
    bool operator==(const BorderLine &o) const { return style == o.style && color == o.color; }
};

struct Border {
    BorderLine left, right, top, bottom, diagonal;
    bool diagonalUp = false;
    bool diagonalDown = false;
    bool operator==(const Border &o) const {
        return left == o.left && right == o.right && top == o.top && bottom == o.bottom && diagonal == o.diagonal &&
               diagonalUp == o.diagonalUp && diagonalDown == o.diagonalDown;
    }
};

struct Alignment {
    HorizontalAlignment horizontal = HorizontalAlignment::General;
    VerticalAlignment vertical = VerticalAlignment::Bottom;
    bool wrap = false;
    bool shrinkToFit = false;
    uint8_t indent = 0;
    int16_t rotation = 0;  // degrees as stored: 0-180, or 255 for vertical text
    bool operator==(const Alignment &o) const {
        return horizontal == o.horizontal && vertical == o.vertical && wrap == o.wrap && shrinkToFit == o.shrinkToFit &&
               indent == o.indent && rotation == o.rotation;
    }
};

struct CellStyle {
    std::string numberFormat = "General";  // the format code, built-in ids already resolved
    // The built-in format id the code stands for, 0 for a code of the file's
    // own: a built-in format such as 14, the short date, follows the regional
    // settings of whoever opens the file, so a written file names it by id.
    uint8_t builtinFormatId = 0;
    Font font;
    Fill fill;
    Border border;
    Alignment alignment;
    bool locked = true;
    bool hidden = false;
    bool operator==(const CellStyle &o) const {
        return numberFormat == o.numberFormat && builtinFormatId == o.builtinFormatId && font == o.font &&
               fill == o.fill && border == o.border && alignment == o.alignment && locked == o.locked &&
               hidden == o.hidden;
    }
    bool operator!=(const CellStyle &o) const { return !(*this == o); }
};

size_t hashStyle(const CellStyle &style);

// The distinct formats of one workbook. Index 0 is always the default format.
class StyleTable {
public:
    StyleTable();

    // The index of `style`, added when it is new.
    uint32_t intern(const CellStyle &style);
    // Appends without looking for an equal entry (readers keep the file's own numbering).
    uint32_t append(const CellStyle &style);

    const CellStyle &at(uint32_t index) const { return index < styles_.size() ? styles_[index] : styles_[0]; }
    size_t size() const { return styles_.size(); }
    const CellStyle &defaultStyle() const { return styles_[0]; }
    // Replaces the default format (a file may define its own, e.g. another font).
    void setDefaultStyle(const CellStyle &style);

private:
    std::vector<CellStyle> styles_;
    std::unordered_multimap<size_t, uint32_t> index_;  // hash -> style index
};

}  // namespace automation::model
