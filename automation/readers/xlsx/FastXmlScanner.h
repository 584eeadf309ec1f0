// SPDX-License-Identifier: Apache-2.0
// A specialised in-place XML scanner for the large, plain parts of a package
// (worksheets and shared strings). It feeds the same XmlHandler events as the
// expat path, several times faster, because it can assume what these parts
// are: UTF-8, no document type, no entities beyond the predefined ones.
//
// It works destructively on a buffer it owns (names and values are
// NUL-terminated and entities decoded in place). Whether a part is within its
// assumptions is decided from the prolog before any scan (fastScanSupports,
// fastScanProlog), so the caller can hand it to expat instead before the
// handler has seen anything; malformed markup is Corrupt, as expat would say.
#pragma once

#include "automation/readers/xlsx/XmlStream.h"

#include <cstddef>
#include <memory>
#include <string>

namespace automation::readers::xlsx {

enum class ScanResult { Ok, Corrupt };

// Checks the prolog only: UTF-8 (or no declaration), no document type, no
// UTF-16 byte-order mark. True when scanXmlInPlace may be used on `data`.
bool fastScanSupports(const char *data, size_t size);

// What the prolog at the head of a part says. Undecided: the head ends
// inside it; Ended: the head ends just behind a whole construct of it.
enum class Prolog { Supported, Refused, Undecided, Ended };
Prolog fastScanProlog(const char *data, size_t size);

// Text or an attribute value as the scanner hands it on: references decoded,
// line ends normalised (in a value every white-space character becomes a
// space). Replaces `out`; false when a reference is not one XML defines.
bool decodeXmlText(const char *begin, const char *end, bool attribute, std::string *out);

// Whether data[0, size) is well-formed UTF-8 made only of characters XML
// allows: what the scan checks before it hands bytes to a RawContentReader.
bool validXmlUtf8(const char *data, size_t size);

// Scans `data[0, size)`; data[size] must exist and is overwritten (a NUL is put there).
ScanResult scanXmlInPlace(char *data, size_t size, XmlHandler &handler, std::string *message);

// The same scan over a part that arrives piece by piece, for parts too large
// to hold inflated at once. feed() scans what it can of data[0, size) (which
// it may change) and says how much it consumed; the caller keeps the rest
// and gives it again followed by what comes next. data[size] must exist.
// `last`: nothing follows.
class ChunkedXmlScan {
public:
    ChunkedXmlScan(XmlHandler &handler, std::string *message);
    ~ChunkedXmlScan();
    ChunkedXmlScan(const ChunkedXmlScan &) = delete;
    ChunkedXmlScan &operator=(const ChunkedXmlScan &) = delete;

    ScanResult feed(char *data, size_t size, bool last, size_t *consumed);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace automation::readers::xlsx
