#include "automation/writers/StyleMapping.h"

#include "automation/writers/XlsxText.h"

namespace automation::writers {

namespace {

constexpr uint32_t kRgbMask = 0xFFFFFF;
constexpr const char *kGeneralFormat = "General";
constexpr const char *kDefaultFontName = LXW_DEFAULT_FONT_NAME;
constexpr double kDefaultFontSize = 11.0;
constexpr int16_t kStoredVertical = 255;
constexpr int16_t kLxwVertical = 270;
constexpr int16_t kStoredUpMax = 90;
constexpr int16_t kStoredDownMax = 180;
constexpr uint8_t kPatternNone = LXW_PATTERN_NONE;
constexpr uint8_t kPatternSolid = LXW_PATTERN_SOLID;
constexpr uint8_t kPatternMax = LXW_PATTERN_GRAY_0625;
constexpr uint8_t kBorderMax = LXW_BORDER_SLANT_DASH_DOT;
// libxlsxwriter silently cuts longer names and codes, which can leave a
// broken format code or half a character in the file.
constexpr size_t kMaxLibraryFieldBytes = LXW_FORMAT_FIELD_LEN - 1;

bool fitsLibraryField(const std::string &text) {
    return !text.empty() && text.size() <= kMaxLibraryFieldBytes && isValidUtf8(text);
}

uint8_t borderStyle(uint8_t style) { return style <= kBorderMax ? style : static_cast<uint8_t>(LXW_BORDER_THIN); }

void applyFont(lxw_format *format, const model::Font &font) {
    if (fitsLibraryField(font.name) && font.name != kDefaultFontName) format_set_font_name(format, font.name.c_str());
    if (font.size != kDefaultFontSize && font.size >= LXW_MIN_FONT_SIZE && font.size <= LXW_MAX_FONT_SIZE)
        format_set_font_size(format, font.size);
    if (font.bold) format_set_bold(format);
    if (font.italic) format_set_italic(format);
    if (font.strike) format_set_font_strikeout(format);
    // The model's underline kinds follow the file format's order, as libxlsxwriter's do.
    if (font.underline != model::Underline::None) format_set_underline(format, static_cast<uint8_t>(font.underline));
    if (font.script == LXW_FONT_SUPERSCRIPT || font.script == LXW_FONT_SUBSCRIPT)
        format_set_font_script(format, font.script);
    if (font.color != model::kAutoColor) format_set_font_color(format, toLxwColor(font.color));
}

void applyFill(lxw_format *format, const model::Fill &fill) {
    if (fill.pattern == kPatternNone || fill.pattern > kPatternMax) return;
    format_set_pattern(format, fill.pattern);
    const bool hasForeground = fill.foreground != model::kAutoColor;
    const bool hasBackground = fill.background != model::kAutoColor;
    if (fill.pattern == kPatternSolid && hasForeground && hasBackground) {
        // libxlsxwriter swaps the two colours of a solid fill that names both.
        format_set_fg_color(format, toLxwColor(fill.background));
        format_set_bg_color(format, toLxwColor(fill.foreground));
        return;
    }
    if (hasForeground) format_set_fg_color(format, toLxwColor(fill.foreground));
    if (hasBackground) format_set_bg_color(format, toLxwColor(fill.background));
}

void applyBorder(lxw_format *format, const model::Border &border) {
    if (border.left.style) {
        format_set_left(format, borderStyle(border.left.style));
        if (border.left.color) format_set_left_color(format, toLxwColor(border.left.color));
    }
    if (border.right.style) {
        format_set_right(format, borderStyle(border.right.style));
        if (border.right.color) format_set_right_color(format, toLxwColor(border.right.color));
    }
    if (border.top.style) {
        format_set_top(format, borderStyle(border.top.style));
        if (border.top.color) format_set_top_color(format, toLxwColor(border.top.color));
    }
    if (border.bottom.style) {
        format_set_bottom(format, borderStyle(border.bottom.style));
        if (border.bottom.color) format_set_bottom_color(format, toLxwColor(border.bottom.color));
    }
    if (border.diagonal.style && (border.diagonalUp || border.diagonalDown)) {
        const uint8_t type = border.diagonalUp && border.diagonalDown ? LXW_DIAGONAL_BORDER_UP_DOWN
                             : border.diagonalUp                      ? LXW_DIAGONAL_BORDER_UP
                                                                      : LXW_DIAGONAL_BORDER_DOWN;
        format_set_diag_type(format, type);
        format_set_diag_border(format, borderStyle(border.diagonal.style));
        if (border.diagonal.color) format_set_diag_color(format, toLxwColor(border.diagonal.color));
    }
}

void applyAlignment(lxw_format *format, const model::Alignment &alignment) {
    if (alignment.horizontal != model::HorizontalAlignment::General)
        format_set_align(format, toLxwHorizontal(alignment.horizontal));
    if (alignment.vertical != model::VerticalAlignment::Bottom)
        format_set_align(format, toLxwVertical(alignment.vertical));
    if (alignment.wrap) format_set_text_wrap(format);
    if (alignment.shrinkToFit) format_set_shrink(format);
    if (alignment.indent) format_set_indent(format, alignment.indent);
    if (alignment.rotation) format_set_rotation(format, toLxwRotation(alignment.rotation));
}

}  // namespace

lxw_color_t toLxwColor(model::Color color) {
    if (color == model::kAutoColor) return LXW_COLOR_UNSET;
    const lxw_color_t rgb = color & kRgbMask;
    // libxlsxwriter reads 0 as "unset" and has its own value for black.
    return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : rgb;
}

uint8_t toLxwHorizontal(model::HorizontalAlignment alignment) {
    switch (alignment) {
        case model::HorizontalAlignment::General:
            return LXW_ALIGN_NONE;
        case model::HorizontalAlignment::Left:
            return LXW_ALIGN_LEFT;
        case model::HorizontalAlignment::Center:
            return LXW_ALIGN_CENTER;
        case model::HorizontalAlignment::Right:
            return LXW_ALIGN_RIGHT;
        case model::HorizontalAlignment::Fill:
            return LXW_ALIGN_FILL;
        case model::HorizontalAlignment::Justify:
            return LXW_ALIGN_JUSTIFY;
        case model::HorizontalAlignment::CenterContinuous:
            return LXW_ALIGN_CENTER_ACROSS;
        case model::HorizontalAlignment::Distributed:
            return LXW_ALIGN_DISTRIBUTED;
    }
    return LXW_ALIGN_NONE;
}

uint8_t toLxwVertical(model::VerticalAlignment alignment) {
    switch (alignment) {
        case model::VerticalAlignment::Bottom:
            return LXW_ALIGN_VERTICAL_BOTTOM;
        case model::VerticalAlignment::Top:
            return LXW_ALIGN_VERTICAL_TOP;
        case model::VerticalAlignment::Center:
            return LXW_ALIGN_VERTICAL_CENTER;
        case model::VerticalAlignment::Justify:
            return LXW_ALIGN_VERTICAL_JUSTIFY;
        case model::VerticalAlignment::Distributed:
            return LXW_ALIGN_VERTICAL_DISTRIBUTED;
    }
    return LXW_ALIGN_VERTICAL_BOTTOM;
}

int16_t toLxwRotation(int16_t stored) {
    if (stored == kStoredVertical) return kLxwVertical;
    if (stored > 0 && stored <= kStoredUpMax) return stored;
    if (stored > kStoredUpMax && stored <= kStoredDownMax) return static_cast<int16_t>(kStoredUpMax - stored);
    return 0;
}

void applyStyle(lxw_format *format, const model::CellStyle &style) {
    if (fitsLibraryField(style.numberFormat) && style.numberFormat != kGeneralFormat)
        format_set_num_format(format, style.numberFormat.c_str());
    applyFont(format, style.font);
    applyFill(format, style.fill);
    applyBorder(format, style.border);
    applyAlignment(format, style.alignment);
    if (!style.locked) format_set_unlocked(format);
    if (style.hidden) format_set_hidden(format);
}

FormatCache::FormatCache(lxw_workbook *workbook, const model::StyleTable &styles)
    : workbook_(workbook), styles_(styles), slotOfStyle_(styles.size(), kUnresolved) {}

lxw_format *FormatCache::formatFor(uint32_t styleIndex) {
    if (styleIndex >= slotOfStyle_.size()) styleIndex = 0;
    int32_t &slot = slotOfStyle_[styleIndex];
    if (slot == kUnresolved) {
        const model::CellStyle &style = styles_.at(styleIndex);
        static const model::CellStyle kFileDefault;
        if (style == kFileDefault) {
            slot = kPlain;
        } else {
            // libxlsxwriter hashes a format on every cell unless it is the
            // first of its kind, so equal styles must share one format.
            const size_t hash = model::hashStyle(style);
            auto range = slotsByHash_.equal_range(hash);
            for (auto it = range.first; it != range.second && slot == kUnresolved; ++it)
                if (styles_.at(styleOfSlot_[static_cast<size_t>(it->second)]) == style) slot = it->second;
            if (slot == kUnresolved) {
                lxw_format *format = workbook_add_format(workbook_);
                if (!format) return nullptr;
                applyStyle(format, style);
                slot = static_cast<int32_t>(formats_.size());
                formats_.push_back(format);
                styleOfSlot_.push_back(styleIndex);
                slotsByHash_.emplace(hash, slot);
            }
        }
    }
    return slot == kPlain ? nullptr : formats_[static_cast<size_t>(slot)];
}

lxw_format *FormatCache::plainFormat() {
    if (!plain_) plain_ = workbook_add_format(workbook_);
    return plain_;
}

}  // namespace automation::writers
