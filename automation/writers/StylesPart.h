// The style sheet of a written workbook (xl/styles.xml). Model formats are
// registered as cells use them, so the part lists only formats in use; equal
// fonts, fills, borders and number formats are kept once.
#pragma once

#include "automation/model/Style.h"

#include <cstdint>
#include <string>
#include <unordered_map>
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

    // The whole part, with every format registered so far.
    std::string xml() const;

private:
    static constexpr uint32_t kUnresolved = UINT32_MAX;

    uint32_t resolve(uint32_t styleIndex);
    uint32_t numberFormatId(const model::CellStyle &style);
    static uint32_t intern(std::unordered_map<std::string, uint32_t> &index, std::vector<std::string> &list,
                           std::string xml);

    const model::StyleTable &styles_;
    std::vector<uint32_t> formatOfStyle_;  // model style index -> cell format index
    std::unordered_multimap<size_t, uint32_t> formatsByHash_;
    std::vector<uint32_t> styleOfFormat_;  // cell format index -> a model style index holding it
    std::vector<std::string> formats_;     // <xf> elements
    std::vector<std::string> fonts_, fills_, borders_;
    std::unordered_map<std::string, uint32_t> fontIndex_, fillIndex_, borderIndex_;
    std::vector<std::pair<uint32_t, std::string>> numberFormats_;  // custom: id, code
    std::unordered_map<std::string, uint32_t> numberFormatIndex_;
};

}  // namespace automation::writers
