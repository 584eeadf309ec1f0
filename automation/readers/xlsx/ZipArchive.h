// Read-only access to the parts of a zip container, each part inflated as a
// bounded stream so a hostile member cannot exhaust memory or time.
#pragma once

#include "automation/readers/ReadResult.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

struct zip;

namespace automation::readers::xlsx {

// No part may inflate beyond this, whatever its compressed size.
constexpr uint64_t kMaxPartBytes = 4ull * 1024 * 1024 * 1024;
// Nor beyond this many times its compressed size (deflate itself tops out near 1032).
constexpr uint64_t kMaxInflateRatio = 1000;
// Small parts may always inflate this far, so the ratio never bites tiny members.
constexpr uint64_t kMinPartBound = 1024 * 1024;

class ZipArchive {
public:
    ZipArchive() = default;
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    ReadStatus open(const std::string &path, std::string *message);

    // Part names are compared without regard to case, as the package rules say.
    bool hasPart(const std::string &name) const;

    // Feeds the inflated part to `sink` chunk by chunk; the sink returns false
    // to stop early (the result is then Ok: the sink keeps its own verdict).
    ReadStatus readPart(const std::string &name,
                        const std::function<bool(const char *data, size_t size)> &sink,
                        std::string *message) const;

private:
    bool findIndex(const std::string &name, uint64_t *index) const;

    zip *archive_ = nullptr;
    std::unordered_map<std::string, uint64_t> index_;  // lower-cased name -> entry
};

}  // namespace automation::readers::xlsx
