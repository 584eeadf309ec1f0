// SPDX-License-Identifier: Apache-2.0
// One part of a zip package, deflated as its bytes come. The compressed bytes
// stay in memory while they are few and move to an unnamed temporary file
// past that, so a sheet of any size costs a fixed amount of memory. ISA-L's
// fast level keeps deflate from dominating a large save; the CRC-32 and the
// sizes the zip entry needs are kept on the way. Where the process has more
// than one core, a large part is deflated on a second thread while the
// caller formats the next block, so a large save costs its formatting or
// its deflating, whichever is slower, not both.
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
    // For writers that build text in place. The same string all along: a
    // block handed to the second thread leaves it empty, not moved.
    std::string &pending() { return pending_; }
    void flushIfLarge() {
        if (pending_.size() >= kInputBlock) handOver();
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

    // Deflates a full block, on the second thread where there is one.
    void handOver();
    // Waits for the block on the second thread, if any, and stops it.
    void stopBehind();
    void deflate(std::string &input, bool last);
    void store(const uint8_t *bytes, size_t count);
    void fail(std::string reason);

    struct Stream;
    struct Behind;
    std::unique_ptr<Stream> stream_;
    // While a block is on the second thread, it alone touches the stream,
    // the compressed bytes, the sums and the error.
    std::unique_ptr<Behind> behind_;
    bool inline_ = false;  // no second thread: one core, or none could be had
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
