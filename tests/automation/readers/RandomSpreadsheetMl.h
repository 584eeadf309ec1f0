// SPDX-License-Identifier: Apache-2.0
// Random but well-formed SpreadsheetML packages, each fixed by its seed: the
// many ways producers may spell the same markup (prefixes, quotes, white
// space, references, CDATA, comments, empty elements, missing addresses)
// over cells of every kind, shared and inline strings with rich and phonetic
// runs, formats, columns, rows and merges.
#pragma once

#include "ReaderTestFiles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace readertest {

struct GeneratedPackage {
    std::vector<ZipMember> members;
    std::vector<size_t> scannedParts;  // indices in `members` of the worksheet and shared-string parts
};

GeneratedPackage randomSpreadsheetMl(uint32_t seed);

// A copy of `xml` with a few random byte-level edits, fixed by `seed`:
// stray markup characters, cuts, deletions, invalid UTF-8, control bytes.
std::string mutateXml(const std::string &xml, uint32_t seed);

}  // namespace readertest
