// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/InflatePipe.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace automation::readers::xlsx {

namespace {

// Large enough that handing a block over costs nothing next to scanning it,
// small enough that the scanner starts early and the blocks stay in cache.
constexpr size_t kBlockBytes = 1u << 20;
constexpr size_t kBlocksInFlight = 3;

class BlockQueue {
public:
    // Producer: false once the consumer has stopped.
    bool push(std::vector<char> &&block) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || full_.size() < kBlocksInFlight; });
        if (stopped_) return false;
        full_.push_back(std::move(block));
        changed_.notify_all();
        return true;
    }
    // Producer: a spent block to fill again, or a fresh one.
    std::vector<char> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spent_.empty()) return {};
        std::vector<char> block = std::move(spent_.back());
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
    bool pop(std::vector<char> *block) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !full_.empty() || finished_; });
        if (full_.empty()) return false;
        *block = std::move(full_.front());
        full_.pop_front();
        changed_.notify_all();
        return true;
    }
    void giveBack(std::vector<char> &&block) {
        std::lock_guard<std::mutex> lock(mutex_);
        block.clear();
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
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<char>> full_;
    std::vector<std::vector<char>> spent_;
    bool stopped_ = false;
    bool finished_ = false;
    ReadStatus status_ = ReadStatus::Ok;
    std::string message_;
};

void produce(const Inflater &inflate, BlockQueue &queue) {
    ReadStatus status = ReadStatus::Ok;
    std::string message;
    try {
        std::vector<char> block;
        const ChunkSink collect = [&](const char *data, size_t size) {
            if (block.capacity() == 0) {
                block = queue.take();
                block.reserve(kBlockBytes);
            }
            block.insert(block.end(), data, data + size);
            if (block.size() < kBlockBytes) return true;
            return queue.push(std::move(block));
        };
        status = inflate(collect, &message);
        // What came before a failure reaches the sink, as it would from the stream.
        if (!block.empty()) queue.push(std::move(block));
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

ReadStatus inflateOnSecondThread(const Inflater &inflate, const ChunkSink &sink, std::string *message) {
    BlockQueue queue;
    std::thread producer;
    try {
        producer = std::thread([&] { produce(inflate, queue); });
    } catch (const std::system_error &) {
        return inflate(sink, message);
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

    std::vector<char> block;
    while (queue.pop(&block)) {
        const bool more = sink(block.data(), block.size());
        queue.giveBack(std::move(block));
        // The sink keeps its own verdict when it stops early, as with the stream.
        if (!more) return ReadStatus::Ok;
    }
    return queue.status(message);
}

}  // namespace automation::readers::xlsx
