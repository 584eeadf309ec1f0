// SPDX-License-Identifier: Apache-2.0
// Two cores on one large part: a producer inflates on a thread of its own
// into a few blocks while the calling thread hands the blocks, in order, to
// the sink. Memory stays at a few blocks whatever the part's size. While the
// sink is behind, the producer decodes blocks waiting for it ahead (see
// PieceDecoding.h) rather than wait idle.
#pragma once

#include "automation/readers/ReadResult.h"
#include "automation/readers/xlsx/PieceDecoding.h"

#include <functional>
#include <string>

namespace automation::readers::xlsx {

using ChunkSink = std::function<bool(const char *data, size_t size)>;
// Inflates a part into `sink`, as ZipArchive's stream does; the sink returns
// false to stop early.
using Inflater = std::function<ReadStatus(const ChunkSink &sink, std::string *message)>;

// Runs `inflate` on a second thread and `sink` on this one. The sink sees
// exactly the bytes it would see from `inflate` run here, in the same pieces
// or larger ones. Falls back to running it here when no thread can be had.
// Nothing thrown by either side escapes past the other thread: the sink's
// exceptions reach the caller once the producer has stopped.
// `ahead` (may be null) is used on the producer's thread only.
ReadStatus inflateOnSecondThread(const Inflater &inflate, const PieceSink &sink, PieceDecoder *ahead,
                                 std::string *message);

}  // namespace automation::readers::xlsx
