// SPDX-License-Identifier: Apache-2.0
// Builds BIFF record streams byte by byte and wraps them in an OLE2 compound
// file, so tests can state exactly which records a workbook holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xlstest {

using Bytes = std::vector<uint8_t>;

class Payload {
public:
    Payload &u8(uint8_t v);
    Payload &u16(uint16_t v);
    Payload &u32(uint32_t v);
    Payload &f64(double v);
    Payload &raw(const Bytes &b);
    // Short (8-bit length) or long (16-bit length) BIFF8 string, 8-bit or UTF-16.
    Payload &str8(const std::string &latin1, bool longLength = true);
    Payload &str16(const std::u16string &text, bool longLength = true);
    const Bytes &bytes() const { return b_; }

private:
    Bytes b_;
};

class BiffStream {
public:
    BiffStream &record(uint16_t type, const Bytes &body);
    BiffStream &record(uint16_t type, const Payload &p) { return record(type, p.bytes()); }
    // A record whose length field lies: it claims `claimed` bytes.
    BiffStream &lyingRecord(uint16_t type, uint16_t claimed, const Bytes &body);
    size_t size() const { return b_.size(); }
    // Overwrites four bytes at `offset` (a BOUNDSHEET's stream position).
    void patchU32(size_t offset, uint32_t v);
    const Bytes &bytes() const { return b_; }

private:
    Bytes b_;
};

// A workbook skeleton: globals BOF, the given global records, fonts and XFs, a BOUNDSHEET per sheet body, EOF, then the
// sheets. `version` is 0x0600 (BIFF8) or 0x0500 (BIFF5).
constexpr uint16_t kNormalXf = 15;
constexpr uint16_t kFilledXf = 16;

struct SheetPlan {
    std::string name;
    uint8_t type = 0;  // 0 worksheet, 2 chart
    Bytes records;     // the sheet's records between its BOF and EOF
    uint16_t bofType = 0x0010;
};
Bytes buildWorkbook(const std::vector<Bytes> &globalRecords, const std::vector<SheetPlan> &sheets,
                    uint16_t version = 0x0600);

// Record bodies used by several tests.
Bytes cellHeader(uint16_t row, uint16_t col, uint16_t xf);
Bytes recordBytes(uint16_t type, const Bytes &body);

// Excel 2.x to 4.0: a worksheet stream of BIFF `version` 2, 3 or 4 (its BOF,
// the records, EOF), written as a plain file as those versions did.
Bytes buildLegacyStream(int version, const std::vector<Bytes> &records, uint16_t substream = 0x0010);
// A BIFF4 workbook: the globals, then per sheet a sheet header with its name
// and the sheet's own worksheet stream.
struct LegacySheet {
    std::string name;
    std::vector<Bytes> records;
    uint16_t substream = 0x0010;  // 0x0020 chart, 0x0040 macro sheet
};
Bytes buildBiff4Workbook(const std::vector<Bytes> &globals, const std::vector<LegacySheet> &sheets);
// The records legacy files carry: fonts, formats (in file order) and XFs.
Bytes legacyFont(int version, uint16_t twips, bool bold, const std::string &name);
Bytes legacyFormat(int version, const std::string &code);
// BIFF2: font index, format index; BIFF3/4: the same, 12 bytes.
Bytes legacyXf(int version, uint8_t font, uint8_t format);
// A BIFF2 cell header: row, column, attributes (XF index in the first byte;
// with `format`/`font` for files without XF records).
Bytes biff2CellHeader(uint16_t row, uint16_t col, uint8_t xf, uint8_t format = 0, uint8_t font = 0);
bool writeFile(const std::string &path, const Bytes &bytes);

// Writes `stream` as the named stream of a compound file at `path`.
bool writeCompoundFile(const std::string &path, const Bytes &stream, const char *streamName = "Workbook");

std::string tempPath(const std::string &name);

// Steps over the records of a stream built here: header position, type, body length.
class BiffStreamWalker {
public:
    explicit BiffStreamWalker(const Bytes &b) : b_(b) {}
    bool next(size_t *at, size_t *type, size_t *length);

private:
    const Bytes &b_;
    size_t pos_ = 0;
};

}  // namespace xlstest
