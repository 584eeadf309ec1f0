// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/DeflatedPart.h"

#include "automation/model/Cores.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
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

// The second thread and the blocks handed to it, deflated in order. The
// caller's block is copied rather than handed over, and the caller keeps
// filling the same memory: formatting into memory the other core has just
// read costs more than the copy, and made a save slower than deflating in
// place.
struct DeflatedPart::Behind {
    static constexpr size_t kBlocks = 2;  // waiting or being deflated

    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> full;    // to deflate, oldest first
    std::vector<std::string> spent;  // deflated, kept for their room
    bool stopping = false;
    bool failed = false;  // deflating threw (out of memory): the part fails

    void run(DeflatedPart &part) {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return !full.empty() || stopping; });
            if (full.empty()) return;
            // Taken under the lock; the caller's pushes leave it where it is.
            std::string &block = full.front();
            lock.unlock();
            try {
                part.deflate(block, false);
            } catch (...) {
                failed = true;  // read by the caller after the join
            }
            lock.lock();
            spent.push_back(std::move(full.front()));
            full.pop_front();
            changed.notify_all();
        }
    }
};

DeflatedPart::~DeflatedPart() {
    stopBehind();
    if (file_) std::fclose(file_);
}

void DeflatedPart::handOver() {
    if (!behind_ && !inline_) {
        inline_ = !model::severalCores();
        if (!inline_) {
            auto behind = std::make_unique<Behind>();
            try {
                behind->thread = std::thread([this, b = behind.get()] { b->run(*this); });
                behind_ = std::move(behind);
            } catch (const std::system_error &) {
                inline_ = true;
            }
        }
    }
    if (!behind_) return deflate(pending_, false);
    Behind &b = *behind_;
    std::string copy;
    {
        std::unique_lock<std::mutex> lock(b.mutex);
        b.changed.wait(lock, [&b] { return b.full.size() < Behind::kBlocks; });
        if (!b.spent.empty()) {
            copy = std::move(b.spent.back());
            b.spent.pop_back();
        }
    }
    copy.assign(pending_);
    pending_.clear();
    std::lock_guard<std::mutex> lock(b.mutex);
    b.full.push_back(std::move(copy));
    b.changed.notify_all();
}

void DeflatedPart::stopBehind() {
    if (!behind_) return;
    {
        std::unique_lock<std::mutex> lock(behind_->mutex);
        behind_->stopping = true;
        behind_->changed.notify_all();
    }
    behind_->thread.join();
    const bool failed = behind_->failed;
    behind_.reset();
    if (failed) fail("out of memory while compressing");
    inline_ = true;  // what is left is deflated here
}

void DeflatedPart::fail(std::string reason) {
    if (error_.empty()) error_ = std::move(reason);
}

void DeflatedPart::append(std::string_view bytes) {
    pending_.append(bytes);
    flushIfLarge();
}

void DeflatedPart::deflate(std::string &input, bool last) {
    if (!error_.empty() || finished_) {
        input.clear();
        return;
    }
    isal_zstream &z = stream_->z;
    crc_ = crc32_gzip_refl(crc_, reinterpret_cast<const unsigned char *>(input.data()), input.size());
    size_ += input.size();
    z.next_in = reinterpret_cast<uint8_t *>(input.data());
    z.avail_in = static_cast<uint32_t>(input.size());
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
    input.clear();
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
        stopBehind();
        deflate(pending_, true);
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
