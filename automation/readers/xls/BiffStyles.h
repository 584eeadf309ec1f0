// SPDX-License-Identifier: Apache-2.0
// The formats of a legacy workbook: FONT, FORMAT, XF and PALETTE records
// collected from the globals, then resolved into the model's style table.
#pragma once

#include "automation/model/Style.h"
#include "automation/readers/xls/XlsCodepage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace automation::readers::xls {

class BiffStyles {
public:
    BiffStyles(bool biff8, const XlsCodepage *codepage) : biff8_(biff8), codepage_(codepage) {}

    // Short or malformed records are skipped: the cells keep a sane format.
    void addFont(const uint8_t *data, size_t size);
    void addFormat(const uint8_t *data, size_t size);
    void addXf(const uint8_t *data, size_t size);
    void setPalette(const uint8_t *data, size_t size);

    // BIFF2-4 (the files of Excel 2.x to 4.0) lay these records out their own
    // way; `version` is 2, 3 or 4. Their formats are numbered in file order.
    void addLegacyFont(int version, const uint8_t *data, size_t size);
    void setLastFontColor(uint16_t icv);  // BIFF2 FONTCOLOR
    void addLegacyFormat(int version, const uint8_t *data, size_t size);
    void addLegacyXf(int version, const uint8_t *data, size_t size);
    // An XF made from a BIFF2 cell's own three attribute bytes, for files
    // that carry no XF records; equal attributes share one XF.
    uint16_t biff2CellXf(const uint8_t *attributes);
    bool hasXfs() const { return !xfs_.empty(); }
    // Interns the XFs added since the last call; XF 0 becomes the table's
    // default when `makeDefault`.
    void resolveNew(model::StyleTable *table, bool makeDefault);

    // Interns every XF into `table`, making the workbook's normal cell format
    // the table's default, so cells in it count as unformatted.
    void resolve(model::StyleTable *table);
    // The style index of an XF; 0 for an XF the file never defined.
    uint32_t styleOf(uint16_t xf) const { return xf < styleOfXf_.size() ? styleOfXf_[xf] : 0; }

    model::Color color(uint16_t icv) const;

private:
    // Colours stay indexes until resolve(): the palette may come after the XFs.
    enum ColorSlot { kFore, kBack, kLeft, kRight, kTop, kBottom, kDiagonal, kColorSlots };
    struct Xf {
        uint16_t font = 0;
        uint16_t format = 0;
        uint16_t icv[kColorSlots] = {};
        model::CellStyle style;  // everything but font, number format and colours
    };
    void decodeXf8(const uint8_t *d, Xf *xf) const;
    void decodeXf5(const uint8_t *d, Xf *xf) const;
    model::CellStyle resolveXf(const Xf &xf) const;
    std::string formatCode(uint16_t id) const;

    bool biff8_;
    bool legacy_ = false;
    uint16_t legacyFormats_ = 0;
    std::unordered_map<uint32_t, uint16_t> xfOfAttributes_;
    const XlsCodepage *codepage_;
    std::vector<model::Font> fonts_;
    std::vector<uint16_t> fontColors_;  // palette indexes, parallel to fonts_
    std::unordered_map<uint16_t, std::string> formats_;
    std::vector<Xf> xfs_;
    std::vector<uint32_t> palette_;
    std::vector<uint32_t> styleOfXf_;
};

}  // namespace automation::readers::xls
