// SPDX-License-Identifier: Apache-2.0
// Read-only access to the parts of a zip container, each part inflated as a
// bounded stream so a hostile member cannot exhaust memory or time.
#pragma once

#include "automation/model/LargeMemory.h"
#include "automation/readers/ReadResult.h"
#include "automation/readers/xlsx/PieceDecoding.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct zip;

namespace automation::readers::xlsx {

// No part may inflate beyond this, whatever its compressed size.
constexpr uint64_t kMaxPartBytes = 4ull * 1024 * 1024 * 1024;
// Nor beyond this many times its compressed size (deflate itself tops out near 1032).
constexpr uint64_t kMaxInflateRatio = 1000;
// Small parts may always inflate this far, so the ratio never bites tiny members.
constexpr uint64_t kMinPartBound = 1024 * 1024;

// Parts up to this size are inflated whole, in one call, for the fast scanner;
// larger ones it scans piece by piece as they inflate, so memory stays bounded.
constexpr uint64_t kMaxWholePartBytes = 64ull * 1024 * 1024;
// A reused buffer larger than this is given back after the part.
constexpr size_t kKeptBufferBytes = 64u * 1024 * 1024;

enum class WholePart { Read, UseStream };

// A byte buffer that grows without zero-filling, for reuse from part to part:
// the large parts of one workbook after another would otherwise cost a fresh
// allocation, and a page fault per page, every time.
class PartBuffer {
public:
    char *data() { return data_.get(); }
    size_t capacity() const { return capacity_; }
    // False when the memory cannot be had.
    bool reserve(size_t bytes);
    void release() {
        data_.reset();
        capacity_ = 0;
    }

private:
    std::unique_ptr<char, model::LargeFree> data_;
    size_t capacity_ = 0;
};

class ZipArchive {
public:
    ZipArchive() = default;
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    ReadStatus open(const std::string &path, std::string *message);

    // Part names are compared without regard to case, as the package rules say.
    bool hasPart(const std::string &name) const;
    // The most a part can inflate to: its declared size (a part that inflates
    // to another size fails its read), else its bound; 0 when missing.
    uint64_t inflatedSizeBound(const std::string &name) const;

    // Feeds the inflated part to `sink` chunk by chunk; the sink returns false
    // to stop early (the result is then Ok: the sink keeps its own verdict).
    ReadStatus readPart(const std::string &name, const std::function<bool(const char *data, size_t size)> &sink,
                        std::string *message) const;
    // The same, and a large part's blocks may come with a stretch `ahead`
    // decoded on the inflating thread (PieceDecoding.h).
    ReadStatus readPart(const std::string &name, const PieceSink &sink, PieceDecoder *ahead,
                        std::string *message) const;

    // Inflates the whole part into `out`, leaving one spare byte behind its
    // `size` bytes, when it is deflated or stored, small enough, and its sizes
    // and checksum agree with the directory. UseStream: read it with readPart,
    // which also gives the verdict on a damaged part.
    // Parts larger than `limit` are left to the stream too.
    WholePart readWholePart(const std::string &name, PartBuffer *out, size_t *size,
                            uint64_t limit = kMaxWholePartBytes) const;

private:
    bool findIndex(const std::string &name, uint64_t *index) const;

    zip *archive_ = nullptr;
    std::unordered_map<std::string, uint64_t> index_;  // lower-cased name -> entry
};

}  // namespace automation::readers::xlsx
