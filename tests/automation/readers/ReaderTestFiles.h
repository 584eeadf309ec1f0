// SPDX-License-Identifier: Apache-2.0
// Files the reader tests write: a temporary folder, raw bytes, hand-built
// zips and OLE2 compound files.
#pragma once

#include "automation/readers/ReadResult.h"
#include "automation/readers/xlsx/PieceDecoding.h"

#include <QTemporaryDir>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace readertest {

// Sets when blocks are decoded ahead for one scope; the rest of the suite
// expects the default.
class DecodeAheadSwitch {
public:
    explicit DecodeAheadSwitch(automation::readers::xlsx::DecodeAhead when) {
        automation::readers::xlsx::setDecodeAhead(when);
    }
    ~DecodeAheadSwitch() {
        automation::readers::xlsx::setDecodeAhead(automation::readers::xlsx::DecodeAhead::WhenBehind);
    }
    DecodeAheadSwitch(const DecodeAheadSwitch &) = delete;
    DecodeAheadSwitch &operator=(const DecodeAheadSwitch &) = delete;
};

class TempFolder {
public:
    std::string path(const std::string &name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    bool ok() const { return dir_.isValid(); }

private:
    QTemporaryDir dir_;
};

bool writeBytes(const std::string &path, const std::string &bytes);
std::string readBytes(const std::string &path);

using ZipMember = std::pair<std::string, std::string>;  // name, content
bool writeZip(const std::string &path, const std::vector<ZipMember> &members);

// An OLE2 compound file with the given root streams (name, content).
bool writeCompoundFile(const std::string &path, const std::vector<ZipMember> &streams);

std::string fixture(const std::string &relative);

// One part of a zip, as the readers' own archive inflates it: whole, in order.
automation::readers::ReadStatus readPartThroughArchive(const std::string &zipPath, const std::string &part,
                                                       std::string *out);

// Copies of the zip at `path`, written to `probe`, each with one byte flipped
// at one of `places` points spread over its compressed data (past the local
// header, short of the directory), each read by `read`. The first point whose
// copy does not read as Corrupt; npos when every one does.
size_t firstFlipNotCorrupt(
    const std::string &path, const std::string &probe, size_t places,
    const std::function<automation::readers::ReadStatus(const std::string &, std::string *)> &read);

// A minimal package around hand-written parts: the workbook part lists one
// worksheet per entry of `sheets` (name, xml). `styles` and `strings` are
// added when not empty; `workbookPr` goes inside <workbookPr .../>.
struct HandPackage {
    std::vector<ZipMember> sheets;
    std::string styles;
    std::string sharedStrings;
    std::string theme;
    std::string workbookPrAttributes;
    std::string prefix;  // element prefix used throughout, e.g. "x:"
    // Last changes to the members before they are zipped (damage, extra parts).
    std::function<void(std::vector<ZipMember> &)> edit;
};
// The member of that name, or null.
ZipMember *findMember(std::vector<ZipMember> &members, const std::string &name);
bool writeHandPackage(const std::string &path, const HandPackage &package);

}  // namespace readertest
