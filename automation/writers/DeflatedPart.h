// SPDX-License-Identifier: Apache-2.0
// One part of a zip package, deflated as its bytes come. The compressed bytes
// stay in memory while they are few and move to an unnamed temporary file
// past that, so a sheet of any size costs a fixed amount of memory. ISA-L's
// fast level keeps deflate from dominating a large save; the CRC-32 and the
// sizes the zip entry needs are kept on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace automation::writers {

class DeflatedPart {
public:
    DeflatedPart();
    ~DeflatedPart();
    DeflatedPart(const DeflatedPart &) = delete;
    DeflatedPart &operator=(const DeflatedPart &) = delete;

    // Bytes of the part, in order. Small appends are gathered first.
    void append(std::string_view bytes);
    std::string &pending() { return pending_; }  // for writers that build text in place
    void flushIfLarge() {
        if (pending_.size() >= kInputBlock) deflatePending(false);
    }

    // Ends the deflate stream and lets go of its buffers. False with error()
    // set when it failed; so does any failure before it.
    bool finish();

    uint32_t crc() const { return crc_; }
    uint64_t size() const { return size_; }
    uint64_t compressedSize() const { return compressedSize_; }
    const std::string &error() const { return error_; }

    // Reading the compressed bytes back, from the start, after finish().
    bool rewind();
    // Up to `capacity` bytes; 0 at the end; -1 on a read error.
    int64_t read(void *into, size_t capacity);

private:
    static constexpr size_t kInputBlock = 256 * 1024;

    void deflatePending(bool last);
    void store(const uint8_t *bytes, size_t count);
    void fail(std::string reason);

    struct Stream;
    std::unique_ptr<Stream> stream_;
    std::string pending_;
    std::string memory_;         // compressed bytes while no file is used
    std::FILE *file_ = nullptr;  // compressed bytes past the memory limit
    uint64_t readOffset_ = 0;
    uint32_t crc_ = 0;
    uint64_t size_ = 0;
    uint64_t compressedSize_ = 0;
    bool finished_ = false;
    std::string error_;
};

}  // namespace automation::writers
