// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/StylesPart.h"

#include "automation/numfmt/NumberFormat.h"
#include "automation/writers/TextLimits.h"
#include "automation/writers/XlsxText.h"
#include "automation/writers/XmlOut.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace automation::writers {

namespace {

using xmlout::appendAttribute;
using xmlout::appendNumber;
using xmlout::appendUnsigned;

constexpr const char *kGeneral = "General";
constexpr const char *kDefaultFontName = "Calibri";
constexpr double kDefaultFontSize = 11.0;
constexpr double kMinFontSize = 1.0;
constexpr double kMaxFontSize = 409.0;
constexpr size_t kMaxFontNameBytes = 127;
constexpr size_t kMaxFormatCodeUnits = 255;  // UTF-16 units, as the applications count
constexpr uint32_t kFirstCustomFormatId = 164;
constexpr int16_t kStoredVertical = 255;
constexpr int16_t kStoredDownMax = 180;

// Built-in number formats that every installation shows alike: a code of
// the source's own that equals one of them is written as its id. A format the
// source itself named by a built-in id keeps that id, whatever it shows.
struct Builtin {
    const char *code;
    uint32_t id;
};
constexpr Builtin kFixedBuiltins[] = {{"0", 1},
                                      {"0.00", 2},
                                      {"#,##0", 3},
                                      {"#,##0.00", 4},
                                      {"0%", 9},
                                      {"0.00%", 10},
                                      {"0.00E+00", 11},
                                      {"# ?/?", 12},
                                      {"# ?"
                                       "?/??",
                                       13},
                                      {"@", 49}};

constexpr const char *kPatternNames[] = {"none",           "solid",           "mediumGray",    "darkGray",  "lightGray",
                                         "darkHorizontal", "darkVertical",    "darkDown",      "darkUp",    "darkGrid",
                                         "darkTrellis",    "lightHorizontal", "lightVertical", "lightDown", "lightUp",
                                         "lightGrid",      "lightTrellis",    "gray125",       "gray0625"};

constexpr const char *kBorderNames[] = {"",
                                        "thin",
                                        "medium",
                                        "dashed",
                                        "dotted",
                                        "thick",
                                        "double",
                                        "hair",
                                        "mediumDashed",
                                        "dashDot",
                                        "mediumDashDot",
                                        "dashDotDot",
                                        "mediumDashDotDot",
                                        "slantDashDot"};

constexpr const char *kUnderlineNames[] = {"", "single", "double", "singleAccounting", "doubleAccounting"};

const char *horizontalName(model::HorizontalAlignment alignment) {
    switch (alignment) {
        case model::HorizontalAlignment::General:
            return nullptr;
        case model::HorizontalAlignment::Left:
            return "left";
        case model::HorizontalAlignment::Center:
            return "center";
        case model::HorizontalAlignment::Right:
            return "right";
        case model::HorizontalAlignment::Fill:
            return "fill";
        case model::HorizontalAlignment::Justify:
            return "justify";
        case model::HorizontalAlignment::CenterContinuous:
            return "centerContinuous";
        case model::HorizontalAlignment::Distributed:
            return "distributed";
    }
    return nullptr;
}

const char *verticalName(model::VerticalAlignment alignment) {
    switch (alignment) {
        case model::VerticalAlignment::Bottom:
            return nullptr;
        case model::VerticalAlignment::Top:
            return "top";
        case model::VerticalAlignment::Center:
            return "center";
        case model::VerticalAlignment::Justify:
            return "justify";
        case model::VerticalAlignment::Distributed:
            return "distributed";
    }
    return nullptr;
}

void appendColor(std::string &out, const char *element, model::Color color) {
    char rgb[16];
    std::snprintf(rgb, sizeof rgb, "FF%06X", static_cast<unsigned>(color & 0xFFFFFFu));
    out.append("<").append(element).append(" rgb=\"").append(rgb).append("\"/>");
}

std::string fontXml(const model::Font &font) {
    std::string out = "<font>";
    if (font.bold) out.append("<b/>");
    if (font.italic) out.append("<i/>");
    if (font.strike) out.append("<strike/>");
    const auto underline = static_cast<size_t>(font.underline);
    if (underline == 1)
        out.append("<u/>");
    else if (underline > 1 && underline < std::size(kUnderlineNames))
        out.append("<u val=\"").append(kUnderlineNames[underline]).append("\"/>");
    if (font.script == 1) out.append("<vertAlign val=\"superscript\"/>");
    if (font.script == 2) out.append("<vertAlign val=\"subscript\"/>");
    out.append("<sz val=\"");
    appendNumber(out, font.size >= kMinFontSize && font.size <= kMaxFontSize ? font.size : kDefaultFontSize);
    out.append("\"/>");
    if (font.color != model::kAutoColor) appendColor(out, "color", font.color);
    const bool usableName = !font.name.empty() && font.name.size() <= kMaxFontNameBytes && isValidUtf8(font.name);
    const std::string &name = usableName ? font.name : std::string(kDefaultFontName);
    out.append("<name val=\"");
    appendAttribute(out, name);
    out.append("\"/>");
    if (name == kDefaultFontName) out.append("<family val=\"2\"/>");
    out.append("</font>");
    return out;
}

// Numbers the schema bounds (a stop's position, an edge of a path): out of
// range they would make the part invalid.
double unitInterval(double value) { return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0; }

void appendDoubleAttribute(std::string &out, const char *name, double value) {
    out.append(" ").append(name).append("=\"");
    appendNumber(out, value);
    out.append("\"");
}

std::string gradientXml(const model::Gradient &gradient) {
    std::string out = "<fill><gradientFill";
    if (gradient.path) {
        out.append(" type=\"path\"");
        for (const auto &[name, edge] : {std::pair{"left", gradient.left}, std::pair{"right", gradient.right},
                                         std::pair{"top", gradient.top}, std::pair{"bottom", gradient.bottom}})
            if (edge != 0) appendDoubleAttribute(out, name, unitInterval(edge));
    } else if (gradient.degree != 0 && std::isfinite(gradient.degree)) {
        appendDoubleAttribute(out, "degree", gradient.degree);
    }
    out.append(">");
    for (const model::GradientStop &stop : gradient.stops) {
        out.append("<stop");
        appendDoubleAttribute(out, "position", unitInterval(stop.position));
        out.append(">");
        if (stop.color == model::kAutoColor)
            out.append("<color auto=\"1\"/>");
        else
            appendColor(out, "color", stop.color);
        out.append("</stop>");
    }
    out.append("</gradientFill></fill>");
    return out;
}

std::string fillXml(const model::Fill &fill) {
    if (!fill.gradient.stops.empty()) return gradientXml(fill.gradient);
    if (fill.pattern == 0 || fill.pattern >= std::size(kPatternNames)) return {};
    std::string out = "<fill><patternFill patternType=\"";
    out.append(kPatternNames[fill.pattern]).append("\">");
    if (fill.foreground != model::kAutoColor) appendColor(out, "fgColor", fill.foreground);
    if (fill.background != model::kAutoColor) appendColor(out, "bgColor", fill.background);
    out.append("</patternFill></fill>");
    return out;
}

void appendBorderLine(std::string &out, const char *side, const model::BorderLine &line) {
    if (line.style == 0) {
        out.append("<").append(side).append("/>");
        return;
    }
    // A style the format does not know is drawn as a thin line.
    const char *style = line.style < std::size(kBorderNames) ? kBorderNames[line.style] : kBorderNames[1];
    out.append("<").append(side).append(" style=\"").append(style).append("\">");
    if (line.color != model::kAutoColor) appendColor(out, "color", line.color);
    out.append("</").append(side).append(">");
}

std::string borderXml(const model::Border &border) {
    const bool diagonal = border.diagonal.style && (border.diagonalUp || border.diagonalDown);
    std::string out = "<border";
    if (diagonal && border.diagonalUp) out.append(" diagonalUp=\"1\"");
    if (diagonal && border.diagonalDown) out.append(" diagonalDown=\"1\"");
    out.append(">");
    appendBorderLine(out, "left", border.left);
    appendBorderLine(out, "right", border.right);
    appendBorderLine(out, "top", border.top);
    appendBorderLine(out, "bottom", border.bottom);
    appendBorderLine(out, "diagonal", diagonal ? border.diagonal : model::BorderLine{});
    out.append("</border>");
    return out;
}

std::string alignmentXml(const model::Alignment &a) {
    std::string out;
    if (const char *h = horizontalName(a.horizontal)) out.append(" horizontal=\"").append(h).append("\"");
    if (const char *v = verticalName(a.vertical)) out.append(" vertical=\"").append(v).append("\"");
    if ((a.rotation > 0 && a.rotation <= kStoredDownMax) || a.rotation == kStoredVertical) {
        out.append(" textRotation=\"");
        appendUnsigned(out, static_cast<uint64_t>(a.rotation));
        out.append("\"");
    }
    if (a.wrap) out.append(" wrapText=\"1\"");
    if (a.indent) {
        out.append(" indent=\"");
        appendUnsigned(out, a.indent);
        out.append("\"");
    }
    if (a.shrinkToFit) out.append(" shrinkToFit=\"1\"");
    return out.empty() ? out : "<alignment" + out + "/>";
}

}  // namespace

StylesPart::StylesPart(const model::StyleTable &styles) : styles_(styles), formatOfStyle_(styles.size(), kUnresolved) {
    fonts_.push_back(fontXml(model::Font{}));
    fontIndex_.emplace(fonts_.back(), 0);
    fills_ = {"<fill><patternFill patternType=\"none\"/></fill>",
              "<fill><patternFill patternType=\"gray125\"/></fill>"};
    fillIndex_.emplace(fills_[1], 1);
    borders_.push_back(borderXml(model::Border{}));
    borderIndex_.emplace(borders_.back(), 0);
    formats_.push_back("<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>");
    formatIndex_.emplace(formats_.back(), 0);
    formatKeys_.emplace_back();
}

uint32_t StylesPart::intern(std::unordered_map<std::string, uint32_t> &index, std::vector<std::string> &list,
                            std::string xml) {
    const auto found = index.find(xml);
    if (found != index.end()) return found->second;
    const auto id = static_cast<uint32_t>(list.size());
    index.emplace(xml, id);
    list.push_back(std::move(xml));
    return id;
}

uint32_t StylesPart::numberFormatId(const model::CellStyle &style) {
    if (style.builtinFormatId) return style.builtinFormatId;
    const std::string &code = style.numberFormat;
    if (code.empty() || code == kGeneral || !isValidUtf8(code) ||
        utf8PrefixWithinUtf16Units(code, kMaxFormatCodeUnits) != code.size())
        return 0;
    for (const Builtin &builtin : kFixedBuiltins)
        if (code == builtin.code) return builtin.id;
    const auto found = numberFormatIndex_.find(code);
    if (found != numberFormatIndex_.end()) return found->second;
    if (numberFormats_.size() >= kMaxCustomNumberFormats) {
        // No room for another code: the built-in format of the same kind.
        simplified_ = true;
        constexpr uint32_t kPercent = 10, kShortDate = 14, kDateTime = 22, kText = 49;
        if (numfmt::isDateFormat(code)) return code.find_first_of("hs") == std::string::npos ? kShortDate : kDateTime;
        if (code.find('%') != std::string::npos) return kPercent;
        return code.find('@') != std::string::npos ? kText : 0;
    }
    const auto id = static_cast<uint32_t>(kFirstCustomFormatId + numberFormats_.size());
    numberFormats_.emplace_back(id, code);
    numberFormatIndex_.emplace(code, id);
    return id;
}

uint32_t StylesPart::resolve(uint32_t styleIndex) {
    if (styleIndex >= formatOfStyle_.size()) return 0;  // not in the table: the default look
    const model::CellStyle &style = styles_.at(styleIndex);
    static const model::CellStyle kFileDefault;
    if (style == kFileDefault) return formatOfStyle_[styleIndex] = 0;

    const uint32_t numFmt = numberFormatId(style);
    const uint32_t font = intern(fontIndex_, fonts_, fontXml(style.font));
    std::string fill = fillXml(style.fill);
    const uint32_t fillId = fill.empty() ? 0 : intern(fillIndex_, fills_, std::move(fill));
    const uint32_t border = intern(borderIndex_, borders_, borderXml(style.border));
    const std::string alignment = alignmentXml(style.alignment);
    std::string protection;
    if (!style.locked || style.hidden) {
        protection = "<protection";
        if (!style.locked) protection.append(" locked=\"0\"");
        if (style.hidden) protection.append(" hidden=\"1\"");
        protection.append("/>");
    }

    std::string xf = "<xf numFmtId=\"";
    appendUnsigned(xf, numFmt);
    xf.append("\" fontId=\"");
    appendUnsigned(xf, font);
    xf.append("\" fillId=\"");
    appendUnsigned(xf, fillId);
    xf.append("\" borderId=\"");
    appendUnsigned(xf, border);
    xf.append("\" xfId=\"0\"");
    if (numFmt) xf.append(" applyNumberFormat=\"1\"");
    if (font) xf.append(" applyFont=\"1\"");
    if (fillId) xf.append(" applyFill=\"1\"");
    if (border) xf.append(" applyBorder=\"1\"");
    if (!alignment.empty()) xf.append(" applyAlignment=\"1\"");
    if (!protection.empty()) xf.append(" applyProtection=\"1\"");
    if (alignment.empty() && protection.empty()) {
        xf.append("/>");
    } else {
        xf.append(">").append(alignment).append(protection).append("</xf>");
    }

    const auto found = formatIndex_.find(xf);
    if (found != formatIndex_.end()) return formatOfStyle_[styleIndex] = found->second;
    FormatKey key{numFmt, font, fillId, border, alignment + protection};
    if (formats_.size() >= kMaxCellFormats) {
        simplified_ = true;
        return formatOfStyle_[styleIndex] = closestFormat(key);
    }
    const auto index = static_cast<uint32_t>(formats_.size());
    formatIndex_.emplace(xf, index);
    formats_.push_back(std::move(xf));
    formatKeys_.push_back(std::move(key));
    return formatOfStyle_[styleIndex] = index;
}

uint32_t StylesPart::closestFormat(const FormatKey &key) const {
    // The number format matters most (it decides what the cell shows), then
    // the font; the rest only colours and frames the cell.
    const auto score = [&key](const FormatKey &other) {
        return (other.numberFormat == key.numberFormat) * 16 + (other.font == key.font) * 8 +
               (other.fill == key.fill) * 4 + (other.border == key.border) * 2 + (other.rest == key.rest);
    };
    uint32_t best = 0;
    int bestScore = score(formatKeys_[0]);
    for (size_t i = 1; i < formatKeys_.size(); ++i) {
        const int s = score(formatKeys_[i]);
        if (s > bestScore) {
            bestScore = s;
            best = static_cast<uint32_t>(i);
        }
    }
    return best;
}

std::string StylesPart::xml() const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    const auto list = [&out](const char *element, const std::vector<std::string> &items) {
        out.append("<").append(element).append(" count=\"");
        appendUnsigned(out, items.size());
        out.append("\">");
        for (const std::string &item : items) out.append(item);
        out.append("</").append(element).append(">");
    };
    if (!numberFormats_.empty()) {
        out.append("<numFmts count=\"");
        appendUnsigned(out, numberFormats_.size());
        out.append("\">");
        for (const auto &[id, code] : numberFormats_) {
            out.append("<numFmt numFmtId=\"");
            appendUnsigned(out, id);
            out.append("\" formatCode=\"");
            appendAttribute(out, code);
            out.append("\"/>");
        }
        out.append("</numFmts>");
    }
    list("fonts", fonts_);
    list("fills", fills_);
    list("borders", borders_);
    out.append(
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>");
    list("cellXfs", formats_);
    out.append("<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>");
    out.append("<dxfs count=\"" + std::to_string(differentialFormatCount_) + "\"");
    out.append(differentialFormats_.empty() ? "/>" : ">" + differentialFormats_ + "</dxfs>");
    out.append(
        "<tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium9\" "
        "defaultPivotStyle=\"PivotStyleLight16\"/></styleSheet>");
    return out;
}

}  // namespace automation::writers
