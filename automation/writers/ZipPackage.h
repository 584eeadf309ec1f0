// SPDX-License-Identifier: Apache-2.0
// A zip package written through libzip from parts this program deflated
// itself (DeflatedPart): libzip lays out the container (headers, ZIP64 when a
// size needs it, the central directory) and copies the compressed bytes as
// they are, straight into the caller's AtomicFile.
#pragma once

#include "automation/writers/AtomicFile.h"
#include "automation/writers/DeflatedPart.h"

#include <memory>
#include <string>
#include <vector>

struct zip;

namespace automation::writers {

class ZipPackage {
public:
    ZipPackage();
    ~ZipPackage();
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    // Starts a package that close() writes into `file` (open, and kept open
    // until then); committing the file stays with the caller.
    WriteResult open(AtomicFile &file);

    // A part built whole in memory. Failures here give the reason alone,
    // without the file's name.
    WriteResult addPart(const std::string &name, std::string_view bytes);
    // A part deflated as it was built; the package keeps it until close().
    WriteResult addPart(const std::string &name, std::unique_ptr<DeflatedPart> part);

    // Writes the package. A failure gives the whole reason ("cannot save
    // ..."), with the file's own kind when writing the file failed.
    WriteResult close();

private:
    struct PartSource;
    struct FileTarget;

    zip *archive_ = nullptr;
    std::unique_ptr<FileTarget> target_;
    std::vector<std::unique_ptr<PartSource>> parts_;
};

}  // namespace automation::writers
