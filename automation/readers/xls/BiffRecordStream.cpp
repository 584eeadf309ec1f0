// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xls/BiffRecordStream.h"

#include <algorithm>
#include <cstring>

namespace automation::readers::xls {

namespace {
constexpr uint8_t kStringWide = 0x01;
constexpr uint8_t kStringPhonetic = 0x04;
constexpr uint8_t kStringRich = 0x08;
constexpr size_t kRichRunBytes = 4;
}  // namespace

double readF64(const uint8_t *p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

BiffRecordStream::Step BiffRecordStream::next(BiffRecord *record) {
    if (pos_ == size_) return Step::End;
    if (size_ - pos_ < kRecordHeaderBytes) return Step::Broken;
    const uint8_t *h = data_ + pos_;
    const uint16_t length = readU16(h + 2);
    if (size_ - pos_ - kRecordHeaderBytes < length) return Step::Broken;
    record->type = readU16(h);
    record->size = length;
    record->data = h + kRecordHeaderBytes;
    record->offset = pos_;
    pos_ += kRecordHeaderBytes + length;
    return Step::Record;
}

uint16_t BiffRecordStream::peekType() const {
    if (size_ - pos_ < kRecordHeaderBytes) return 0;
    return readU16(data_ + pos_);
}

bool BiffRecordStream::seek(size_t offset) {
    if (offset > size_) return false;
    pos_ = offset;
    return true;
}

void ContinuedReader::start(const BiffRecord &first, BiffRecordStream *stream) {
    startSingle(first);
    BiffRecord more;
    while (stream->peekType() == kRecordContinue && stream->next(&more) == BiffRecordStream::Step::Record)
        pieces_.push_back({more.data, more.size});
}

void ContinuedReader::startSingle(const BiffRecord &first) {
    pieces_.clear();
    pieces_.push_back({first.data, first.size});
    piece_ = 0;
    pos_ = 0;
}

bool ContinuedReader::nextPiece() {
    while (piece_ + 1 < pieces_.size()) {
        ++piece_;
        pos_ = 0;
        if (pieces_[piece_].size > 0) return true;
    }
    return false;
}

bool ContinuedReader::atEnd() const {
    if (pos_ < pieces_[piece_].size) return false;
    for (size_t i = piece_ + 1; i < pieces_.size(); ++i)
        if (pieces_[i].size > 0) return false;
    return true;
}

size_t ContinuedReader::remainingBytes() const {
    size_t n = pieces_[piece_].size - pos_;
    for (size_t i = piece_ + 1; i < pieces_.size(); ++i) n += pieces_[i].size;
    return n;
}

bool ContinuedReader::readU8(uint8_t *v) {
    if (pos_ >= pieces_[piece_].size && !nextPiece()) return false;
    *v = pieces_[piece_].data[pos_++];
    return true;
}

bool ContinuedReader::readU16(uint16_t *v) {
    uint8_t lo, hi;
    if (!readU8(&lo) || !readU8(&hi)) return false;
    *v = static_cast<uint16_t>(lo | (hi << 8));
    return true;
}

bool ContinuedReader::readU32(uint32_t *v) {
    uint16_t lo, hi;
    if (!readU16(&lo) || !readU16(&hi)) return false;
    *v = static_cast<uint32_t>(lo) | (static_cast<uint32_t>(hi) << 16);
    return true;
}

bool ContinuedReader::skip(size_t n) {
    while (n > 0) {
        if (pos_ >= pieces_[piece_].size && !nextPiece()) return false;
        const size_t take = std::min(n, pieces_[piece_].size - pos_);
        pos_ += take;
        n -= take;
    }
    return true;
}

bool ContinuedReader::readCharacters(size_t count, bool wide, std::string *out) {
    units_.clear();
    bool allNarrow = !wide;
    size_t left = count;
    while (left > 0) {
        if (pos_ >= pieces_[piece_].size) {
            // A string broken across records restates its width.
            if (!nextPiece()) return false;
            uint8_t flags;
            if (!readU8(&flags)) return false;
            wide = (flags & kStringWide) != 0;
            if (wide) allNarrow = false;
            continue;
        }
        const Piece &p = pieces_[piece_];
        const size_t unitBytes = wide ? 2 : 1;
        const size_t fit = std::min(left, (p.size - pos_) / unitBytes);
        if (fit == 0) return false;  // half a character before the boundary
        const uint8_t *src = p.data + pos_;
        if (!wide && allNarrow && units_.empty() && fit == count) {
            appendLatin1AsUtf8(src, fit, out);  // the common case: one piece, 8-bit
            pos_ += fit;
            return true;
        }
        for (size_t i = 0; i < fit; ++i)
            units_.push_back(wide ? static_cast<char16_t>(xls::readU16(src + 2 * i)) : static_cast<char16_t>(src[i]));
        pos_ += fit * unitBytes;
        left -= fit;
    }
    appendUtf16AsUtf8(units_.data(), units_.size(), out);
    return true;
}

bool ContinuedReader::readUnicodeString(bool longLength, std::string *out) {
    uint16_t count = 0;
    if (longLength) {
        if (!readU16(&count)) return false;
    } else {
        uint8_t c8;
        if (!readU8(&c8)) return false;
        count = c8;
    }
    uint8_t flags;
    if (!readU8(&flags)) return false;
    uint16_t runs = 0;
    uint32_t phoneticBytes = 0;
    if ((flags & kStringRich) && !readU16(&runs)) return false;
    if ((flags & kStringPhonetic) && !readU32(&phoneticBytes)) return false;
    if (!readCharacters(count, (flags & kStringWide) != 0, out)) return false;
    return skip(static_cast<size_t>(runs) * kRichRunBytes) && skip(phoneticBytes);
}

void appendLatin1AsUtf8(const uint8_t *bytes, size_t count, std::string *out) {
    out->reserve(out->size() + count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            out->push_back(static_cast<char>(b));
        } else {
            out->push_back(static_cast<char>(0xC0 | (b >> 6)));
            out->push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
}

void appendUtf16AsUtf8(const char16_t *units, size_t count, std::string *out) {
    out->reserve(out->size() + count);
    for (size_t i = 0; i < count; ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out->push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

}  // namespace automation::readers::xls
