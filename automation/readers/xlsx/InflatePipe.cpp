// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/InflatePipe.h"

#include "automation/model/Cores.h"
#include "automation/model/LargeMemory.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace automation::readers::xlsx {

namespace {
std::atomic<DecodeAhead> gDecodeAhead{DecodeAhead::WhenBehind};
}  // namespace

bool ChunkTarget::take(const char *data, size_t size) {
    while (size > 0) {
        size_t capacity = 0;
        char *into = room(&capacity);
        const size_t n = std::min(capacity, size);
        std::memcpy(into, data, n);
        if (!filled(n)) return false;
        data += n;
        size -= n;
    }
    return true;
}

void setDecodeAhead(DecodeAhead when) { gDecodeAhead.store(when); }
DecodeAhead decodeAhead() { return gDecodeAhead.load(std::memory_order_relaxed); }

namespace {

// Large enough that handing a block over costs nothing next to scanning it,
// small enough that the scanner starts early and the blocks stay in cache.
constexpr size_t kBlockBytes = 1u << 20;
constexpr size_t kBlocksInFlight = 3;

// Blocks in use at once: those waiting, the one being filled, the one being
// scanned, with one to spare.
constexpr size_t kBlocksMade = kBlocksInFlight + 3;

struct Block {
    char *bytes = nullptr;  // kBlockBytes of room, owned by the queue
    size_t size = 0;
    std::unique_ptr<DecodedPiece> piece;  // kept with the block to be filled again
    bool decoded = false;                 // piece holds a stretch of these bytes
    bool tried = false;                   // decoding ahead was tried (or is under way)
    bool decoding = false;                // the producer is at it: the consumer waits
};

// The memory of a pipe's blocks, in one piece with huge pages: filling fresh
// memory costs a page fault per 4 KiB, dear in a virtual machine. One is kept
// for the next large part, whose blocks then cost no fault at all.
class BlockMemory {
public:
    static constexpr size_t kBytes = kBlocksMade * kBlockBytes;

    BlockMemory() {
        {
            std::lock_guard<std::mutex> lock(keptMutex());
            bytes_ = std::move(kept());
        }
        // Without it the blocks are had one by one, where a failure is the producer's.
        if (!bytes_) bytes_.reset(static_cast<char *>(model::allocateLarge(kBytes)));
    }
    ~BlockMemory() {
        std::lock_guard<std::mutex> lock(keptMutex());
        if (!kept()) kept() = std::move(bytes_);
    }
    BlockMemory(const BlockMemory &) = delete;
    BlockMemory &operator=(const BlockMemory &) = delete;

    // Room for one more block; null once all are out.
    char *next() { return bytes_ && made_ < kBlocksMade ? bytes_.get() + kBlockBytes * made_++ : nullptr; }

private:
    using Bytes = std::unique_ptr<char, model::LargeFree>;
    static std::mutex &keptMutex() {
        static std::mutex mutex;
        return mutex;
    }
    static Bytes &kept() {
        static Bytes bytes;
        return bytes;
    }

    Bytes bytes_;
    size_t made_ = 0;
};

class BlockQueue {
public:
    // `ahead`: null when nothing is to be decoded ahead.
    BlockQueue(PieceDecoder *ahead, DecodeAhead when) : ahead_(ahead), when_(when) {}

    // Producer: false once the consumer has stopped.
    bool push(Block &&block) {
        if (ahead_ && when_ == DecodeAhead::Always) decode(block);
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (stopped_) return false;
            if (full_.size() < kBlocksInFlight) break;
            // The consumer is behind: rather than wait, decode what waits for
            // it, the newest first (the consumer takes the oldest).
            Block *waiting = nullptr;
            if (ahead_) {
                for (auto b = full_.rbegin(); b != full_.rend() && !waiting; ++b)
                    if (!b->tried) waiting = &*b;
            }
            if (!waiting) {
                changed_.wait(lock);
                continue;
            }
            waiting->tried = waiting->decoding = true;
            lock.unlock();
            decode(*waiting);  // the consumer leaves a block alone while it is decoding
            lock.lock();
            waiting->decoding = false;
            changed_.notify_all();
        }
        full_.push_back(std::move(block));
        changed_.notify_all();
        return true;
    }
    // Producer: a spent block to fill again, or a fresh one.
    Block take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spent_.empty()) {
            Block block;
            block.bytes = memory_.next();
            if (!block.bytes) {
                extra_.emplace_back(new char[kBlockBytes]);
                block.bytes = extra_.back().get();
            }
            return block;
        }
        Block block = std::move(spent_.back());
        spent_.pop_back();
        return block;
    }
    void finish(ReadStatus status, std::string message) {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        status_ = status;
        message_ = std::move(message);
        changed_.notify_all();
    }

    // Consumer: the next block, or false when the producer is done.
    bool pop(Block *block) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock,
                      [&] { return (!full_.empty() && !full_.front().decoding) || (full_.empty() && finished_); });
        if (full_.empty()) return false;
        *block = std::move(full_.front());
        full_.pop_front();
        changed_.notify_all();
        return true;
    }
    void giveBack(Block &&block) {
        std::lock_guard<std::mutex> lock(mutex_);
        block.size = 0;
        block.decoded = block.tried = block.decoding = false;
        spent_.push_back(std::move(block));
    }
    void stop() {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }
    ReadStatus status(std::string *message) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (message && status_ != ReadStatus::Ok) *message = message_;
        return status_;
    }

private:
    void decode(Block &block) {
        block.tried = true;
        block.decoded = ahead_->decode(block.bytes, block.size, block.piece);
    }

    PieceDecoder *const ahead_;
    const DecodeAhead when_;
    std::mutex mutex_;
    std::condition_variable changed_;
    BlockMemory memory_;
    std::vector<std::unique_ptr<char[]>> extra_;
    std::deque<Block> full_;
    std::vector<Block> spent_;
    bool stopped_ = false;
    bool finished_ = false;
    ReadStatus status_ = ReadStatus::Ok;
    std::string message_;
};

// The producer's side: the inflater writes straight into the block being filled.
class BlockTarget final : public ChunkTarget {
public:
    explicit BlockTarget(BlockQueue &queue) : queue_(queue) {}

    char *room(size_t *size) override {
        if (!block_.bytes) block_ = queue_.take();
        *size = kBlockBytes - block_.size;
        return block_.bytes + block_.size;
    }
    bool filled(size_t count) override {
        block_.size += count;
        return block_.size < kBlockBytes || pushBlock();
    }
    // What came before a failure reaches the sink, as it would from the stream.
    void flush() {
        if (block_.size > 0) pushBlock();
    }

private:
    bool pushBlock() {
        const bool more = queue_.push(std::move(block_));
        block_ = Block();
        return more;
    }

    BlockQueue &queue_;
    Block block_;
};

void produce(const Inflater &inflate, BlockQueue &queue) {
    ReadStatus status = ReadStatus::Ok;
    std::string message;
    try {
        BlockTarget target(queue);
        status = inflate(target, &message);
        target.flush();
    } catch (const std::bad_alloc &) {
        status = ReadStatus::TooLarge;
        message = "out of memory";
    } catch (...) {
        status = ReadStatus::Corrupt;
        message = "unexpected failure while inflating";
    }
    queue.finish(status, std::move(message));
}

}  // namespace

ReadStatus inflateOnSecondThread(const Inflater &inflate, const PieceSink &sink, PieceDecoder *ahead,
                                 std::string *message) {
    const DecodeAhead when = decodeAhead();
    const bool decoding = when == DecodeAhead::Always || (when == DecodeAhead::WhenBehind && model::severalCores());
    BlockQueue queue(decoding ? ahead : nullptr, when);
    std::thread producer;
    try {
        producer = std::thread([&] { produce(inflate, queue); });
    } catch (const std::system_error &) {
        const ChunkSink plain = [&](const char *data, size_t size) { return sink(data, size, nullptr); };
        SinkTarget target(plain, kBlockBytes);
        return inflate(target, message);
    }
    // However the sink leaves, the producer is stopped and joined first.
    struct Join {
        BlockQueue &queue;
        std::thread &thread;
        ~Join() {
            queue.stop();
            thread.join();
        }
    } join{queue, producer};

    Block block;
    while (queue.pop(&block)) {
        const bool more = sink(block.bytes, block.size, block.decoded ? block.piece.get() : nullptr);
        queue.giveBack(std::move(block));
        // The sink keeps its own verdict when it stops early, as with the stream.
        if (!more) return ReadStatus::Ok;
    }
    return queue.status(message);
}

}  // namespace automation::readers::xlsx
