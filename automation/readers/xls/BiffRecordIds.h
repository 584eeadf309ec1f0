// SPDX-License-Identifier: Apache-2.0
// The record types the .xls readers know, BIFF2 to BIFF8, in one table: an
// id means the same record in every version that has it.
#pragma once

#include <cstdint>

namespace automation::readers::xls::rec {

// BIFF2 only.
constexpr uint16_t Dimensions2 = 0x0000;
constexpr uint16_t Blank2 = 0x0001;
constexpr uint16_t Integer2 = 0x0002;
constexpr uint16_t Number2 = 0x0003;
constexpr uint16_t Label2 = 0x0004;
constexpr uint16_t BoolErr2 = 0x0005;
constexpr uint16_t String2 = 0x0007;
constexpr uint16_t Row2 = 0x0008;
constexpr uint16_t Bof2 = 0x0009;
constexpr uint16_t ColWidth2 = 0x0024;
constexpr uint16_t Xf2 = 0x0043;
constexpr uint16_t Ixfe2 = 0x0044;
constexpr uint16_t FontColor2 = 0x0045;
// BIFF2 and BIFF3.
constexpr uint16_t Format2 = 0x001E;
// BIFF3 and BIFF4.
constexpr uint16_t Formula3 = 0x0206;
constexpr uint16_t Bof3 = 0x0209;
constexpr uint16_t Font3 = 0x0231;
constexpr uint16_t Xf3 = 0x0243;
constexpr uint16_t Formula4 = 0x0406;
constexpr uint16_t Bof4 = 0x0409;
constexpr uint16_t Xf4 = 0x0443;
constexpr uint16_t SheetHeader = 0x008F;  // BIFF4 workbooks: a sheet's name

// Every version.
constexpr uint16_t Formula = 0x0006;  // BIFF2, and BIFF5 on
constexpr uint16_t Eof = 0x000A;
constexpr uint16_t DateMode = 0x0022;
constexpr uint16_t FilePass = 0x002F;
constexpr uint16_t Font = 0x0031;  // all but BIFF3 and BIFF4
constexpr uint16_t CodePage = 0x0042;
constexpr uint16_t DefColWidth = 0x0055;
constexpr uint16_t ColInfo = 0x007D;
// BIFF3 on.
constexpr uint16_t Dimensions = 0x0200;
constexpr uint16_t Blank = 0x0201;
constexpr uint16_t Number = 0x0203;
constexpr uint16_t Label = 0x0204;
constexpr uint16_t BoolErr = 0x0205;
constexpr uint16_t String = 0x0207;
constexpr uint16_t Row = 0x0208;
constexpr uint16_t DefaultRowHeight = 0x0225;
constexpr uint16_t Rk = 0x027E;
constexpr uint16_t Format = 0x041E;  // BIFF4 on
// BIFF5 on.
constexpr uint16_t BoundSheet = 0x0085;
constexpr uint16_t Palette = 0x0092;
constexpr uint16_t StandardWidth = 0x0099;
constexpr uint16_t MulRk = 0x00BD;
constexpr uint16_t MulBlank = 0x00BE;
constexpr uint16_t RString = 0x00D6;
constexpr uint16_t Xf = 0x00E0;
constexpr uint16_t MergedCells = 0x00E5;
constexpr uint16_t Sst = 0x00FC;
constexpr uint16_t LabelSst = 0x00FD;
constexpr uint16_t Bof = 0x0809;

}  // namespace automation::readers::xls::rec
