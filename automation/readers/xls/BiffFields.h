// SPDX-License-Identifier: Apache-2.0
// Field values and units that mean the same in every BIFF version the
// readers take, read alike by the BIFF8 reader and the earlier versions' one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace automation::readers::xls {

// The substream type a BOF record announces.
constexpr uint16_t kBofWorksheet = 0x0010;

// ROW record flags.
constexpr uint32_t kRowCustomHeight = 0x40;
constexpr uint32_t kRowHidden = 0x20;
constexpr uint32_t kRowFormatted = 0x80;
// COLINFO options.
constexpr uint16_t kColumnHidden = 0x0001;

// Heights are stored in twips, widths in 1/256 of a character.
constexpr double kTwipsPerPoint = 20.0;
constexpr double kColumnWidthUnits = 256.0;
// DEFCOLWIDTH counts characters without the cell's padding.
constexpr double kColumnPadding = 0.43;

// Any real cell costs at least this many stream bytes; it bounds reservations.
constexpr size_t kMinBytesPerRow = 10;

}  // namespace automation::readers::xls
