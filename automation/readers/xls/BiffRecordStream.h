// SPDX-License-Identifier: Apache-2.0
// Walks the records of a BIFF stream held in memory. Every length is checked
// against the stream: a record that would run past its end stops the walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace automation::readers::xls {

constexpr size_t kRecordHeaderBytes = 4;
constexpr uint16_t kRecordContinue = 0x003C;

inline uint16_t readU16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t readU32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
double readF64(const uint8_t *p);

struct BiffRecord {
    uint16_t type = 0;
    uint16_t size = 0;
    const uint8_t *data = nullptr;
    size_t offset = 0;  // of the record header in the stream
};

class BiffRecordStream {
public:
    enum class Step { Record, End, Broken };

    BiffRecordStream(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    // The next record, End at the end of the stream, Broken when a header or
    // body would run past it.
    Step next(BiffRecord *record);
    // The type of the record that next() would return; 0 when there is none.
    uint16_t peekType() const;
    bool seek(size_t offset);
    size_t size() const { return size_; }
    size_t position() const { return pos_; }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

// A record and the CONTINUE records that carry on its body, read as one
// sequence. Strings broken across a boundary repeat their width flag at the
// start of the next piece, which readString() takes care of.
class ContinuedReader {
public:
    // Collects `first` and every CONTINUE that follows it from `stream`.
    void start(const BiffRecord &first, BiffRecordStream *stream);
    // Only `first`: for records whose strings never continue.
    void startSingle(const BiffRecord &first);

    bool readU8(uint8_t *v);
    bool readU16(uint16_t *v);
    bool readU32(uint32_t *v);
    bool skip(size_t n);
    bool atEnd() const;
    size_t remainingBytes() const;

    // A BIFF8 unicode string: length (16 or 8 bits), flags, optional rich-text
    // and phonetic blocks, characters. Appends UTF-8 to `out`.
    bool readUnicodeString(bool longLength, std::string *out);
    // `count` characters, 8-bit (Latin-1) or UTF-16LE as `wide` says.
    bool readCharacters(size_t count, bool wide, std::string *out);

private:
    struct Piece {
        const uint8_t *data;
        size_t size;
    };
    bool nextPiece();
    std::vector<Piece> pieces_;
    size_t piece_ = 0;
    size_t pos_ = 0;
    std::u16string units_;  // reused between strings
};

// Appends UTF-16 code units as UTF-8; lone surrogates become U+FFFD.
void appendUtf16AsUtf8(const char16_t *units, size_t count, std::string *out);
// Appends Latin-1 bytes as UTF-8.
void appendLatin1AsUtf8(const uint8_t *bytes, size_t count, std::string *out);

}  // namespace automation::readers::xls
