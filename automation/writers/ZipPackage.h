// A zip package written through libzip from parts this program deflated
// itself (DeflatedPart): libzip lays out the container (headers, ZIP64 when a
// size needs it, the central directory) and copies the compressed bytes as
// they are.
#pragma once

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

    // Starts a package at `path`, replacing whatever file is there.
    bool open(const std::string &path, std::string *error);

    // A part built whole in memory.
    bool addPart(const std::string &name, std::string_view bytes, std::string *error);
    // A part deflated as it was built; the package keeps it until close().
    bool addPart(const std::string &name, std::unique_ptr<DeflatedPart> part, std::string *error);

    // Writes the package. False with a reason when it could not be written;
    // the file at `path` is then not a complete package.
    bool close(std::string *error);

private:
    struct Source;
    bool add(const std::string &name, std::unique_ptr<DeflatedPart> part, std::string *error);

    zip *archive_ = nullptr;
    std::vector<std::unique_ptr<Source>> sources_;
};

}  // namespace automation::writers
