// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/DeflatedPart.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace automation::writers {

namespace {

// Compressed bytes above this go to a temporary file.
constexpr size_t kMemoryLimit = 1024 * 1024;
constexpr size_t kOutputBlock = 256 * 1024;
constexpr uint16_t kLevel = 1;  // ISA-L's fast level: about zlib's ratio at level 1, many times its speed

}  // namespace

struct DeflatedPart::Stream {
    isal_zstream z{};
    std::vector<uint8_t> levelBuffer = std::vector<uint8_t>(ISAL_DEF_LVL1_DEFAULT);
    std::vector<uint8_t> output = std::vector<uint8_t>(kOutputBlock);
};

DeflatedPart::DeflatedPart() : stream_(std::make_unique<Stream>()) {
    isal_deflate_init(&stream_->z);
    stream_->z.level = kLevel;
    stream_->z.level_buf = stream_->levelBuffer.data();
    stream_->z.level_buf_size = static_cast<uint32_t>(stream_->levelBuffer.size());
    stream_->z.gzip_flag = IGZIP_DEFLATE;
    stream_->z.flush = NO_FLUSH;
    pending_.reserve(kInputBlock + kInputBlock / 4);
}

DeflatedPart::~DeflatedPart() {
    if (file_) std::fclose(file_);
}

void DeflatedPart::fail(std::string reason) {
    if (error_.empty()) error_ = std::move(reason);
}

void DeflatedPart::append(std::string_view bytes) {
    pending_.append(bytes);
    flushIfLarge();
}

void DeflatedPart::deflatePending(bool last) {
    if (!error_.empty() || finished_) {
        pending_.clear();
        return;
    }
    isal_zstream &z = stream_->z;
    crc_ = crc32_gzip_refl(crc_, reinterpret_cast<const unsigned char *>(pending_.data()), pending_.size());
    size_ += pending_.size();
    z.next_in = reinterpret_cast<uint8_t *>(pending_.data());
    z.avail_in = static_cast<uint32_t>(pending_.size());
    z.end_of_stream = last ? 1 : 0;
    for (;;) {
        z.next_out = stream_->output.data();
        z.avail_out = static_cast<uint32_t>(stream_->output.size());
        const int status = isal_deflate(&z);
        if (status != COMP_OK) {
            fail("the data could not be compressed (ISA-L status " + std::to_string(status) + ")");
            break;
        }
        store(stream_->output.data(), stream_->output.size() - z.avail_out);
        const bool drained = z.avail_in == 0 && z.avail_out != 0;
        if (last ? z.internal_state.state == ZSTATE_END : drained) break;
        if (!error_.empty()) break;
    }
    pending_.clear();
}

void DeflatedPart::store(const uint8_t *bytes, size_t count) {
    if (count == 0 || !error_.empty()) return;
    compressedSize_ += count;
    if (!file_ && memory_.size() + count <= kMemoryLimit) {
        memory_.append(reinterpret_cast<const char *>(bytes), count);
        return;
    }
    if (!file_) {
        file_ = std::tmpfile();
        if (!file_) return fail("no temporary file for the compressed data: " + std::string(std::strerror(errno)));
        if (std::fwrite(memory_.data(), 1, memory_.size(), file_) != memory_.size())
            return fail("the temporary file of the compressed data could not be written");
        std::string().swap(memory_);
    }
    if (std::fwrite(bytes, 1, count, file_) != count)
        fail("the temporary file of the compressed data could not be written");
}

bool DeflatedPart::finish() {
    if (!finished_) {
        deflatePending(true);
        finished_ = true;
        // A package keeps its parts until it is written: only the result stays.
        stream_.reset();
        std::string().swap(pending_);
        if (file_ && std::fflush(file_) != 0) fail("the temporary file of the compressed data could not be written");
    }
    return error_.empty();
}

bool DeflatedPart::rewind() {
    readOffset_ = 0;
    if (!finished_ || !error_.empty()) return false;
    if (file_ && std::fseek(file_, 0, SEEK_SET) != 0) {
        fail("the temporary file of the compressed data could not be read");
        return false;
    }
    return true;
}

int64_t DeflatedPart::read(void *into, size_t capacity) {
    if (!error_.empty()) return -1;
    if (!file_) {
        const size_t n = std::min<size_t>(capacity, memory_.size() - static_cast<size_t>(readOffset_));
        std::memcpy(into, memory_.data() + readOffset_, n);
        readOffset_ += n;
        return static_cast<int64_t>(n);
    }
    const size_t n = std::fread(into, 1, capacity, file_);
    if (n == 0 && std::ferror(file_)) {
        fail("the temporary file of the compressed data could not be read");
        return -1;
    }
    return static_cast<int64_t>(n);
}

}  // namespace automation::writers
