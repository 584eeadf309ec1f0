// SPDX-License-Identifier: Apache-2.0
// A large part inflated on a second thread reaches its sink whole and in
// order; a stop, a failure or an exception on either side ends both threads;
// what the producer decodes ahead arrives with its own block.
#include "ReaderTestFiles.h"

#include "automation/model/Cores.h"
#include "automation/readers/xlsx/InflatePipe.h"
#include "automation/readers/xlsx/ZipArchive.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <random>
#include <stdexcept>
#include <thread>

using namespace automation::readers::xlsx;
using automation::readers::ReadStatus;

namespace {

// Bytes that deflate poorly, so a few MiB stay a few MiB compressed.
std::string noisyText(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text(size, ' ');
    for (char &c : text) c = static_cast<char>('!' + random() % 90);
    return text;
}

// An inflater that hands `text` over in pieces of varying size, then ends with `status`.
Inflater pieces(const std::string &text, ReadStatus status = ReadStatus::Ok, size_t *handed = nullptr) {
    return [&text, status, handed](ChunkTarget &target, std::string *message) {
        size_t at = 0, step = 1;
        while (at < text.size()) {
            const size_t n = std::min(text.size() - at, step);
            if (handed) *handed = at + n;
            if (!target.take(text.data() + at, n)) return ReadStatus::Ok;
            at += n;
            step = step * 3 % 300007 + 1;
        }
        if (status != ReadStatus::Ok && message) *message = "damaged at the end";
        return status;
    };
}

// The pipe without anything decoded ahead: every block to a plain sink.
ReadStatus inflateOnSecondThread(const Inflater &inflate, const ChunkSink &sink, std::string *message) {
    return automation::readers::xlsx::inflateOnSecondThread(
        inflate, [&](const char *data, size_t size, const DecodedPiece *) { return sink(data, size); }, nullptr,
        message);
}

TEST(InflatePipe, TheSinkSeesEveryByteInOrder) {
    const std::string text = noisyText(5u << 20, 1);
    std::string seen;
    std::string message;
    EXPECT_EQ(inflateOnSecondThread(
                  pieces(text), [&](const char *d, size_t n) { return seen.append(d, n), true; }, &message),
              ReadStatus::Ok);
    EXPECT_EQ(seen, text);
}

TEST(InflatePipe, AStopFailureOrExceptionEndsBothSides) {
    const std::string text = noisyText(8u << 20, 2);
    std::string message;

    // The sink stops: no error, and the producer stops too, a few blocks on at most.
    size_t handed = 0, seen = 0;
    EXPECT_EQ(inflateOnSecondThread(
                  pieces(text, ReadStatus::Ok, &handed),
                  [&](const char *, size_t n) { return (seen += n) < (1u << 20); }, &message),
              ReadStatus::Ok);
    EXPECT_LT(handed, text.size());

    // The producer fails: what came before the failure arrives, then the failure.
    std::string before;
    EXPECT_EQ(inflateOnSecondThread(
                  pieces(text, ReadStatus::Corrupt), [&](const char *d, size_t n) { return before.append(d, n), true; },
                  &message),
              ReadStatus::Corrupt);
    EXPECT_EQ(before, text);
    EXPECT_EQ(message, "damaged at the end");

    // The producer throws: a status, never a crash.
    const Inflater throwing = [](ChunkTarget &target, std::string *) -> ReadStatus {
        target.take("abc", 3);
        throw std::bad_alloc();
    };
    message.clear();
    EXPECT_EQ(inflateOnSecondThread(
                  throwing, [](const char *, size_t) { return true; }, &message),
              ReadStatus::TooLarge);
    EXPECT_EQ(message, "out of memory");

    // The sink throws: it reaches the caller once the producer has ended.
    EXPECT_THROW(inflateOnSecondThread(
                     pieces(text), [](const char *, size_t) -> bool { throw std::runtime_error("sink"); }, &message),
                 std::runtime_error);
}

// A part large enough to inflate on the second thread, read through the archive:
// whole and in order, and damage to it is still an error.
TEST(InflatePipe, ALargePartReadThroughTheArchive) {
    const std::string text = noisyText(3u << 20, 3);
    readertest::TempFolder folder;
    const std::string path = folder.path("large.zip");
    ASSERT_TRUE(readertest::writeZip(path, {{"large.xml", text}}));
    auto readAll = [](const std::string &file, std::string *out) {
        return readertest::readPartThroughArchive(file, "large.xml", out);
    };
    std::string read;
    ASSERT_EQ(readAll(path, &read), ReadStatus::Ok);
    EXPECT_EQ(read, text);

    ASSERT_GT(readertest::readBytes(path).size(), 2u << 20) << "the part must be past the second-thread size";
    EXPECT_EQ(readertest::firstFlipNotCorrupt(path, folder.path("damaged.zip"), 7, readAll), std::string::npos);
}

// Decodes a block by copying it, and declines every third.
class CopyingDecoder : public PieceDecoder {
public:
    struct Copy : DecodedPiece {
        std::string bytes;
    };
    bool decode(const char *data, size_t size, std::unique_ptr<DecodedPiece> &piece) noexcept override {
        if (++calls % 3 == 0) return false;
        if (!piece) piece = std::make_unique<Copy>();
        static_cast<Copy *>(piece.get())->bytes.assign(data, size);
        piece->end = size;
        return true;
    }
    std::atomic<int> calls{0};
};

// On one core nothing is decoded ahead unless asked for always: it would only add work.
TEST(InflatePipe, BlocksDecodedAheadArriveWithTheirOwnBlock) {
    const std::string text = noisyText(6u << 20, 4);
    const bool cores = automation::model::severalCores();
    for (DecodeAhead when : {DecodeAhead::WhenBehind, DecodeAhead::Always, DecodeAhead::Never}) {
        SCOPED_TRACE(static_cast<int>(when));
        readertest::DecodeAheadSwitch mode(when);
        CopyingDecoder decoder;
        std::string seen, message;
        int blocks = 0, withPiece = 0;
        const PieceSink sink = [&](const char *d, size_t n, const DecodedPiece *piece) {
            ++blocks;
            if (piece) {
                ++withPiece;
                EXPECT_EQ(static_cast<const CopyingDecoder::Copy *>(piece)->bytes, std::string(d, n));
            }
            seen.append(d, n);
            // The sink falls behind at its first block, until the producer,
            // with every block in flight filled, turns to decoding them.
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (cores && when == DecodeAhead::WhenBehind && blocks == 1 && decoder.calls == 0 &&
                   std::chrono::steady_clock::now() < giveUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return true;
        };
        EXPECT_EQ(inflateOnSecondThread(pieces(text), sink, &decoder, &message), ReadStatus::Ok);
        EXPECT_EQ(seen, text);
        if (when == DecodeAhead::Never || (when == DecodeAhead::WhenBehind && !cores)) {
            EXPECT_EQ(decoder.calls, 0);
        } else if (when == DecodeAhead::Always) {
            EXPECT_EQ(decoder.calls, blocks);
            EXPECT_EQ(withPiece, blocks - blocks / 3);
        } else {
            EXPECT_GT(withPiece, 0);
            EXPECT_LT(decoder.calls, blocks);  // the first blocks went straight to the sink
        }
    }
}

}  // namespace
