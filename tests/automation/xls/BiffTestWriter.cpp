// SPDX-License-Identifier: Apache-2.0
#include "BiffTestWriter.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace xlstest {

Payload &Payload::u8(uint8_t v) {
    b_.push_back(v);
    return *this;
}
Payload &Payload::u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
Payload &Payload::u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
Payload &Payload::f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) u8(static_cast<uint8_t>(bits >> (8 * i)));
    return *this;
}
Payload &Payload::raw(const Bytes &b) {
    b_.insert(b_.end(), b.begin(), b.end());
    return *this;
}
Payload &Payload::str8(const std::string &latin1, bool longLength) {
    if (longLength)
        u16(static_cast<uint16_t>(latin1.size()));
    else
        u8(static_cast<uint8_t>(latin1.size()));
    u8(0);
    for (char c : latin1) u8(static_cast<uint8_t>(c));
    return *this;
}
Payload &Payload::str16(const std::u16string &text, bool longLength) {
    if (longLength)
        u16(static_cast<uint16_t>(text.size()));
    else
        u8(static_cast<uint8_t>(text.size()));
    u8(1);
    for (char16_t c : text) u16(c);
    return *this;
}

Bytes recordBytes(uint16_t type, const Bytes &body) {
    Payload p;
    p.u16(type).u16(static_cast<uint16_t>(body.size())).raw(body);
    return p.bytes();
}

BiffStream &BiffStream::record(uint16_t type, const Bytes &body) {
    const Bytes r = recordBytes(type, body);
    b_.insert(b_.end(), r.begin(), r.end());
    return *this;
}

BiffStream &BiffStream::lyingRecord(uint16_t type, uint16_t claimed, const Bytes &body) {
    Payload p;
    p.u16(type).u16(claimed).raw(body);
    b_.insert(b_.end(), p.bytes().begin(), p.bytes().end());
    return *this;
}

void BiffStream::patchU32(size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) b_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes cellHeader(uint16_t row, uint16_t col, uint16_t xf) {
    Payload p;
    p.u16(row).u16(col).u16(xf);
    return p.bytes();
}

Bytes buildWorkbook(const std::vector<Bytes> &globalRecords, const std::vector<SheetPlan> &sheets, uint16_t version) {
    const bool biff8 = version >= 0x0600;
    BiffStream s;
    s.record(0x0809, Payload().u16(version).u16(0x0005).u32(0).u32(0));
    Bytes globals = s.bytes();
    for (const Bytes &r : globalRecords) globals.insert(globals.end(), r.begin(), r.end());
    // A plain font and 17 XFs: the sixteenth is the normal cell format, the last a filled one.
    Payload font;
    font.u16(200).u16(0).u16(0x7FFF).u16(400).u16(0).u8(0).u8(0).u8(0).u8(0);
    if (biff8)
        font.str8("Arial", false);
    else
        font.u8(5).raw({'A', 'r', 'i', 'a', 'l'});
    for (int i = 0; i < 4; ++i) {
        const Bytes r = recordBytes(0x0031, font.bytes());
        globals.insert(globals.end(), r.begin(), r.end());
    }
    for (int i = 0; i < 17; ++i) {
        Payload xf;
        xf.u16(0).u16(0).u16(i < 15 ? 0xFFF5 : 0x0001);
        Bytes rest(biff8 ? 14 : 10, 0);
        if (i == kFilledXf) rest[biff8 ? 11 : 4] = biff8 ? 0x04 : 0x01;  // solid fill pattern
        xf.raw(rest);
        const Bytes r = recordBytes(0x00E0, xf.bytes());
        globals.insert(globals.end(), r.begin(), r.end());
    }
    std::vector<size_t> positionFields;
    for (const SheetPlan &sheet : sheets) {
        Payload b;
        b.u32(0).u8(0).u8(sheet.type);
        if (biff8)
            b.str8(sheet.name, false);
        else {
            b.u8(static_cast<uint8_t>(sheet.name.size()));
            for (char c : sheet.name) b.u8(static_cast<uint8_t>(c));
        }
        positionFields.push_back(globals.size() + 4);
        const Bytes r = recordBytes(0x0085, b.bytes());
        globals.insert(globals.end(), r.begin(), r.end());
    }
    const Bytes eof = recordBytes(0x000A, {});
    globals.insert(globals.end(), eof.begin(), eof.end());
    for (size_t i = 0; i < sheets.size(); ++i) {
        const uint32_t at = static_cast<uint32_t>(globals.size());
        for (int k = 0; k < 4; ++k) globals[positionFields[i] + k] = static_cast<uint8_t>(at >> (8 * k));
        const Bytes bof = recordBytes(0x0809, Payload().u16(version).u16(sheets[i].bofType).u32(0).u32(0).bytes());
        globals.insert(globals.end(), bof.begin(), bof.end());
        globals.insert(globals.end(), sheets[i].records.begin(), sheets[i].records.end());
        globals.insert(globals.end(), eof.begin(), eof.end());
    }
    return globals;
}

namespace {
uint16_t bofOf(int version) { return version == 2 ? 0x0009 : version == 3 ? 0x0209 : 0x0409; }
}  // namespace

Bytes buildLegacyStream(int version, const std::vector<Bytes> &records, uint16_t substream) {
    Payload bof;
    bof.u16(version == 2 ? 0x0002 : 0x0000).u16(substream);
    if (version > 2) bof.u16(0x0DBB);
    Bytes out = recordBytes(bofOf(version), bof.bytes());
    for (const Bytes &r : records) out.insert(out.end(), r.begin(), r.end());
    const Bytes eof = recordBytes(0x000A, {});
    out.insert(out.end(), eof.begin(), eof.end());
    return out;
}

Bytes buildBiff4Workbook(const std::vector<Bytes> &globals, const std::vector<LegacySheet> &sheets) {
    Bytes out = buildLegacyStream(4, globals, 0x0100);
    for (const LegacySheet &sheet : sheets) {
        const Bytes body = buildLegacyStream(4, sheet.records, sheet.substream);
        Payload header;
        header.u32(static_cast<uint32_t>(body.size())).u8(static_cast<uint8_t>(sheet.name.size()));
        for (char c : sheet.name) header.u8(static_cast<uint8_t>(c));
        const Bytes h = recordBytes(0x008F, header.bytes());
        out.insert(out.end(), h.begin(), h.end());
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

Bytes legacyFont(int version, uint16_t twips, bool bold, const std::string &name) {
    Payload p;
    p.u16(twips).u16(bold ? 0x0001 : 0x0000);
    if (version > 2) p.u16(0x7FFF);
    p.u8(static_cast<uint8_t>(name.size()));
    for (char c : name) p.u8(static_cast<uint8_t>(c));
    return recordBytes(version == 2 ? 0x0031 : 0x0231, p.bytes());
}

Bytes legacyFormat(int version, const std::string &code) {
    Payload p;
    if (version == 4) p.u16(0);
    p.u8(static_cast<uint8_t>(code.size()));
    for (char c : code) p.u8(static_cast<uint8_t>(c));
    return recordBytes(version == 4 ? 0x041E : 0x001E, p.bytes());
}

Bytes legacyXf(int version, uint8_t font, uint8_t format) {
    Payload p;
    if (version == 2) {
        p.u8(font).u8(0).u8(format).u8(0);
        return recordBytes(0x0043, p.bytes());
    }
    p.u8(font).u8(format);
    if (version == 3)
        p.u8(0x01).u8(0).u16(0).u16(0).u32(0);
    else
        p.u16(0x0001).u8(0).u8(0).u16(0).u32(0);
    return recordBytes(version == 3 ? 0x0243 : 0x0443, p.bytes());
}

Bytes biff2CellHeader(uint16_t row, uint16_t col, uint8_t xf, uint8_t format, uint8_t font) {
    Payload p;
    p.u16(row).u16(col).u8(xf).u8(static_cast<uint8_t>((format & 0x3F) | (font << 6))).u8(0);
    return p.bytes();
}

bool writeFile(const std::string &path, const Bytes &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool writeCompoundFile(const std::string &path, const Bytes &stream, const char *streamName) {
    gsf_init();
    GError *err = nullptr;
    GsfOutput *sink = gsf_output_stdio_new(path.c_str(), &err);
    if (!sink) return false;
    GsfOutfile *ole = gsf_outfile_msole_new(sink);
    GsfOutput *child = gsf_outfile_new_child(ole, streamName, FALSE);
    const bool ok = gsf_output_write(child, stream.size(), stream.data());
    gsf_output_close(child);
    g_object_unref(child);
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    g_object_unref(sink);  // closed with the compound file
    return ok;
}

bool BiffStreamWalker::next(size_t *at, size_t *type, size_t *length) {
    if (pos_ + 4 > b_.size()) return false;
    *at = pos_;
    *type = b_[pos_] | (b_[pos_ + 1] << 8);
    *length = b_[pos_ + 2] | (b_[pos_ + 3] << 8);
    pos_ += 4 + *length;
    return true;
}

std::string tempPath(const std::string &name) {
    const auto dir = std::filesystem::temp_directory_path() / ("rowsifter-xls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

}  // namespace xlstest
