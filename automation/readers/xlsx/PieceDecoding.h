// SPDX-License-Identifier: Apache-2.0
// Work on a large part done ahead, on the thread that inflates it: while the
// parsing thread is behind, the inflating one decodes a stretch of a block
// it has already inflated, and the parse takes that stretch in decoded
// instead of scanning its bytes. What a stretch holds is the business of the
// handler that asked for it; the parse only checks that it stands where the
// stretch begins, in the state the stretch was decoded from.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace automation::readers::xlsx {

// A stretch [begin, end) of one block, decoded.
struct DecodedPiece {
    virtual ~DecodedPiece() = default;
    size_t begin = 0, end = 0;
};

// Made by the parsing thread, then used by the inflating thread alone: it
// may read nothing the parse changes.
class PieceDecoder {
public:
    virtual ~PieceDecoder() = default;
    // Decodes a stretch of the block into `piece`, made or reused (its
    // memory is kept from block to block); false when nothing of the block
    // is for it. Must not throw.
    virtual bool decode(const char *data, size_t size, std::unique_ptr<DecodedPiece> &piece) noexcept = 0;
};

// A block of a part and what was decoded of it ahead, if anything.
using PieceSink = std::function<bool(const char *data, size_t size, const DecodedPiece *piece)>;

// When blocks are decoded ahead. WhenBehind: only while the parse is
// behind, so that inflating never waits on it. Always and Never are for tests
// (Always also decodes the pieces of a part inflated on the parsing thread).
enum class DecodeAhead { WhenBehind, Always, Never };
void setDecodeAhead(DecodeAhead when);
DecodeAhead decodeAhead();

}  // namespace automation::readers::xlsx
