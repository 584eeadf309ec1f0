// SPDX-License-Identifier: Apache-2.0
// Two cores on one large part: a producer inflates on a thread of its own
// straight into a few blocks while the calling thread hands the blocks, in
// order, to the sink. Memory stays at a few blocks whatever the part's size.
// While the sink is behind, the producer decodes blocks waiting for it ahead
// (see PieceDecoding.h) rather than wait idle.
#pragma once

#include "automation/readers/ReadResult.h"
#include "automation/readers/xlsx/PieceDecoding.h"

#include <functional>
#include <string>
#include <vector>

namespace automation::readers::xlsx {

using ChunkSink = std::function<bool(const char *data, size_t size)>;

// Where an inflater puts what it inflates: straight into the room the target
// offers (room, then filled), which spares a copy of every byte, or handed
// over from memory of its own (take).
class ChunkTarget {
public:
    virtual ~ChunkTarget() = default;
    // Room for the next bytes: `*size` bytes (at least one) from the pointer.
    virtual char *room(size_t *size) = 0;
    // The first `count` bytes of the last room hold the next bytes. False to stop.
    virtual bool filled(size_t count) = 0;
    // Bytes from elsewhere. False to stop.
    virtual bool take(const char *data, size_t size);
};

// A target with a buffer of its own, every filling handed to `sink`.
class SinkTarget final : public ChunkTarget {
public:
    SinkTarget(const ChunkSink &sink, size_t bufferBytes) : sink_(sink), buffer_(bufferBytes) {}
    char *room(size_t *size) override {
        *size = buffer_.size();
        return buffer_.data();
    }
    bool filled(size_t count) override { return sink_(buffer_.data(), count); }
    bool take(const char *data, size_t size) override { return sink_(data, size); }

private:
    const ChunkSink &sink_;
    std::vector<char> buffer_;
};

// Inflates a part into `target`, as ZipArchive's stream does.
using Inflater = std::function<ReadStatus(ChunkTarget &target, std::string *message)>;

// Runs `inflate` on a second thread and `sink` on this one. The sink sees
// exactly the bytes it would see from `inflate` run here, in order, in blocks
// of its own size. Falls back to running it here when no thread can be had.
// Nothing thrown by either side escapes past the other thread: the sink's
// exceptions reach the caller once the producer has stopped.
// `ahead` (may be null) is used on the producer's thread only.
ReadStatus inflateOnSecondThread(const Inflater &inflate, const PieceSink &sink, PieceDecoder *ahead,
                                 std::string *message);

}  // namespace automation::readers::xlsx
