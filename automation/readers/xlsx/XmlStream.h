// SPDX-License-Identifier: Apache-2.0
// SAX parsing of one package part with expat, straight from the inflating
// stream. Handlers see local names, so `x:c` and `c` are the same element:
// producers choose prefixes freely and no part mixes two meanings of a name
// the reader looks at, so dropping the prefix is as safe as resolving it and
// spares expat's namespace bookkeeping on every element.
#pragma once

#include "automation/readers/ReadResult.h"
#include "automation/readers/xlsx/ZipArchive.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace automation::readers::xlsx {

// Separates a prefix from the local name.
constexpr char kPrefixSeparator = ':';

inline const char *localName(const char *qualified) {
    // Names are short: a forward scan beats finding the end first.
    for (const char *p = qualified; *p; ++p)
        if (*p == kPrefixSeparator) return p + 1;
    return qualified;
}

// Whether a name or attribute value the events gave is exactly `b`.
inline bool is(const char *a, const char *b) { return std::strcmp(a, b) == 0; }

// The value of the attribute with this local name (any prefix), or null.
const char *findAttribute(const char **attributes, const char *local);
// The value of a prefixed attribute with this local name (e.g. r:id), or null.
const char *findQualifiedAttribute(const char **attributes, const char *local);

// A decimal number in XML's own notation, whatever the C locale says.
bool parseXmlDouble(const char *begin, const char *end, double *out);
double attributeDouble(const char *value, double fallback);
// A non-negative integer attribute; `fallback` when absent or not a number.
uint32_t attributeUInt(const char *value, uint32_t fallback);

// "1", "true" (and "on") are true; anything else false; absent gives `fallback`.
bool attributeBool(const char *value, bool fallback);

// Content of one element that a handler reads straight from the bytes, on the
// fast path, instead of through an event per element inside it.
class RawContentReader {
public:
    enum class Result {
        Done,     // the events go on from `p`: at the '<' of the element's end tag
                  // (or of a stray one), or of markup left to them
        More,     // `p` is where to go on once more bytes are at hand
        Refused,  // the content holds what this reader does not take; the handler has stopped
        Stopped,  // the handler stopped (failed or halted)
    };
    virtual ~RawContentReader() = default;
    // Reads on from `p` within [p, end): valid UTF-8 of XML characters.
    // `last`: nothing follows `end`.
    virtual Result read(const char *&p, const char *end, bool last) = 0;
};

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void startElement(const char *local, const char **attributes) = 0;
    virtual void endElement(const char *local) = 0;
    virtual void characters(const char *, int) {}
    // Asked by the fast path just after an element with content has started
    // (`qualified`: its name as written): who reads that content instead of
    // the events. Null: the events.
    virtual RawContentReader *rawContent(std::string_view qualified) {
        (void)qualified;
        return nullptr;
    }
    // For a part scanned in pieces on the fast path: what decodes its blocks
    // ahead on the inflating thread (PieceDecoding.h). Null: nothing.
    virtual std::unique_ptr<PieceDecoder> pieceDecoder() { return nullptr; }
    // Asked when the scan has read everything up to where `piece` begins:
    // takes the piece in, as if its bytes had been scanned, when the scan
    // stands where the piece may begin. False: the bytes are scanned as usual.
    virtual bool takeDecoded(const DecodedPiece &piece) {
        (void)piece;
        return false;
    }

    // A handler that meets something it cannot accept stops the parse.
    void fail(ReadStatus status, std::string message) {
        if (status_ != ReadStatus::Ok) return;
        status_ = status;
        message_ = std::move(message);
    }
    ReadStatus status() const { return status_; }
    const std::string &message() const { return message_; }
    bool failed() const { return status_ != ReadStatus::Ok; }
    // A handler that needs its part read another way ends the parse early
    // without failing it: the parse reports Ok, and the handler's owner knows
    // why it halted and what comes next.
    void halt() { halted_ = true; }
    // The parse goes on while the handler has neither failed nor halted.
    bool stopped() const { return halted_ || failed(); }

    // Character data reaches characters() only while capture is on.
    void captureText(bool on);
    bool capturingText() const { return capturing_; }

private:
    friend class XmlStream;
    friend ReadStatus parsePart(const ZipArchive &, const std::string &, XmlHandler &, std::string *, bool);
    void *parser_ = nullptr;
    int depth_ = 0;            // open elements, on the expat path
    bool rootClosed_ = false;  // what follows the document element is not read
    bool capturing_ = false;
    bool halted_ = false;
    ReadStatus status_ = ReadStatus::Ok;
    std::string message_;
};

// Large parts go through the fast scanner when it can take them; tests and
// the differential check turn it off to compare both paths. Set it before
// any reading starts.
void setFastPathEnabled(bool on);
bool fastPathEnabled();
// Parts larger than this the fast path scans in pieces as they inflate
// (ZipArchive.h: kMaxWholePartBytes); tests lower it to exercise that path.
void setWholePartLimit(uint64_t bytes);
// How many pieces decoded ahead parses have taken in so far, in this process.
uint64_t piecesTakenDecoded();

// Parses `part` of `zip` into `handler`. A missing part is reported as
// Corrupt unless `optional`, when it yields Ok without calling the handler.
ReadStatus parsePart(const ZipArchive &zip, const std::string &part, XmlHandler &handler, std::string *message,
                     bool optional = false);

}  // namespace automation::readers::xlsx
