// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xls/BiffValues.h"

#include "automation/readers/xls/BiffRecordStream.h"

#include <cstring>

namespace automation::readers::xls {

double decodeRk(uint32_t rk) {
    double v;
    if (rk & 0x02) {
        v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 0x01) ? v / 100.0 : v;
}

model::CellError errorOf(uint8_t code) {
    switch (code) {
        case 0x00:
            return model::CellError::Null;
        case 0x07:
            return model::CellError::Div0;
        case 0x0F:
            return model::CellError::Value;
        case 0x17:
            return model::CellError::Ref;
        case 0x1D:
            return model::CellError::Name;
        case 0x24:
            return model::CellError::Num;
        case 0x2A:
            return model::CellError::NA;
        case 0x2B:
            return model::CellError::GettingData;
        default:
            return model::CellError::Value;
    }
}

model::Cell formulaResult(const uint8_t *value, uint32_t style, uint32_t emptyString, bool *textFollows) {
    constexpr uint16_t kResultIsSpecial = 0xFFFF;  // the last two bytes of a result that is no number
    *textFollows = false;
    if (readU16(value + 6) != kResultIsSpecial) return model::Cell::makeNumber(0, readF64(value), style);
    switch (value[0]) {
        case 0:
            *textFollows = true;
            return model::Cell::makeString(0, emptyString, style);
        case 1:
            return model::Cell::makeBoolean(0, value[2] != 0, style);
        case 2:
            return model::Cell::makeError(0, errorOf(value[2]), style);
        case 3:
            return model::Cell::makeString(0, emptyString, style);
        default:
            return model::Cell::makeEmpty(0, style);
    }
}

}  // namespace automation::readers::xls
