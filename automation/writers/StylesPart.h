// SPDX-License-Identifier: Apache-2.0
// The style sheet of a written workbook (xl/styles.xml). Model formats are
// registered as cells use them, so the part lists only formats in use; equal
// fonts, fills, borders, number formats and cell formats are kept once. The
// part stays within what the applications load: past their limits a further
// format takes the closest one already written.
#pragma once

#include "automation/model/Style.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace automation::writers {

class StylesPart {
public:
    explicit StylesPart(const model::StyleTable &styles);

    // The cell format index (a cell's s="...") for a model style index; 0 for
    // a style that looks like the file's default format.
    uint32_t formatIndex(uint32_t styleIndex) {
        if (styleIndex < formatOfStyle_.size() && formatOfStyle_[styleIndex] != kUnresolved)
            return formatOfStyle_[styleIndex];
        return resolve(styleIndex);
    }

    // The differential formats (<dxf> elements) of the workbook's file, which
    // its conditional formats name by position.
    void keepDifferentialFormats(std::string markup, size_t count) {
        differentialFormats_ = std::move(markup);
        differentialFormatCount_ = count;
    }

    // The whole part, with every format registered so far.
    std::string xml() const;

    // True once a format had to take another's place to stay within the limits.
    bool simplified() const { return simplified_; }

    // What the applications load of one workbook's formats.
    static constexpr size_t kMaxCellFormats = 64000;
    static constexpr size_t kMaxCustomNumberFormats = 200;

private:
    static constexpr uint32_t kUnresolved = UINT32_MAX;
    std::string differentialFormats_;
    size_t differentialFormatCount_ = 0;

    // The pieces of one written cell format, to find the closest to another.
    struct FormatKey {
        uint32_t numberFormat = 0, font = 0, fill = 0, border = 0;
        std::string rest;  // alignment and protection
    };

    uint32_t resolve(uint32_t styleIndex);
    uint32_t numberFormatId(const model::CellStyle &style);
    uint32_t closestFormat(const FormatKey &key) const;
    static uint32_t intern(std::unordered_map<std::string, uint32_t> &index, std::vector<std::string> &list,
                           std::string xml);

    const model::StyleTable &styles_;
    std::vector<uint32_t> formatOfStyle_;  // model style index -> cell format index
    std::vector<std::string> formats_;     // <xf> elements
    std::unordered_map<std::string, uint32_t> formatIndex_;
    std::vector<FormatKey> formatKeys_;  // by cell format index
    std::vector<std::string> fonts_, fills_, borders_;
    std::unordered_map<std::string, uint32_t> fontIndex_, fillIndex_, borderIndex_;
    std::vector<std::pair<uint32_t, std::string>> numberFormats_;  // custom: id, code
    std::unordered_map<std::string, uint32_t> numberFormatIndex_;
    bool simplified_ = false;
};

}  // namespace automation::writers
