// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/XmlStream.h"

#include "automation/readers/xlsx/FastXmlScanner.h"

#include <expat.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace automation::readers::xlsx {

namespace {

struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

XmlHandler *handlerOf(void *userData) { return static_cast<XmlHandler *>(userData); }

}  // namespace

namespace {
bool isNamespaceDeclaration(const char *name) {
    return std::strncmp(name, "xmlns", 5) == 0 && (name[5] == 0 || name[5] == kPrefixSeparator);
}
}  // namespace

const char *findAttribute(const char **attributes, const char *local) {
    for (const char **a = attributes; a && *a; a += 2)
        if (!isNamespaceDeclaration(*a) && std::strcmp(localName(*a), local) == 0) return a[1];
    return nullptr;
}

const char *findQualifiedAttribute(const char **attributes, const char *local) {
    for (const char **a = attributes; a && *a; a += 2) {
        const char *l = localName(*a);
        if (l != *a && !isNamespaceDeclaration(*a) && std::strcmp(l, local) == 0) return a[1];
    }
    return nullptr;
}

bool parseXmlDouble(const char *begin, const char *end, double *out) {
    while (begin < end && (*begin == ' ' || *begin == '\t' || *begin == '\n' || *begin == '\r')) ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\n' || end[-1] == '\r')) --end;
    if (begin < end && *begin == '+') ++begin;
    if (begin == end) return false;
    double v = 0;
    const auto r = std::from_chars(begin, end, v);
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

double attributeDouble(const char *value, double fallback) {
    double v;
    return value && parseXmlDouble(value, value + std::strlen(value), &v) ? v : fallback;
}

uint32_t attributeUInt(const char *value, uint32_t fallback) {
    if (!value || *value < '0' || *value > '9') return fallback;
    uint64_t v = 0;
    for (const char *p = value; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + static_cast<uint64_t>(*p - '0');
        if (v > UINT32_MAX) return fallback;
    }
    return static_cast<uint32_t>(v);
}

bool attributeBool(const char *value, bool fallback) {
    if (!value) return fallback;
    return std::strcmp(value, "1") == 0 || std::strcmp(value, "true") == 0 || std::strcmp(value, "on") == 0;
}

class XmlStream {
public:
    // No exception may unwind through expat's C frames.
    template <typename F>
    static void guarded(XmlHandler *h, F &&f) {
        try {
            f();
        } catch (const std::bad_alloc &) {
            h->fail(ReadStatus::TooLarge, "out of memory");
        } catch (...) {
            h->fail(ReadStatus::Corrupt, "unexpected failure while parsing");
        }
        if (h->stopped()) XML_StopParser(static_cast<XML_Parser>(h->parser_), XML_FALSE);
    }

    static void XMLCALL onStart(void *user, const XML_Char *name, const XML_Char **atts) {
        XmlHandler *h = handlerOf(user);
        if (h->stopped()) return;
        ++h->depth_;
        guarded(h, [&] { h->startElement(localName(name), atts); });
    }
    static void XMLCALL onEnd(void *user, const XML_Char *name) {
        XmlHandler *h = handlerOf(user);
        if (h->stopped()) return;
        guarded(h, [&] { h->endElement(localName(name)); });
        // The document is complete: stray bytes after it cost nothing.
        if (--h->depth_ == 0 && !h->stopped()) {
            h->rootClosed_ = true;
            XML_StopParser(static_cast<XML_Parser>(h->parser_), XML_FALSE);
        }
    }
    static void XMLCALL onText(void *user, const XML_Char *s, int len) {
        XmlHandler *h = handlerOf(user);
        if (h->stopped()) return;
        guarded(h, [&] { h->characters(s, len); });
    }
    // The doctype filter below replaces every declaration it can see; one
    // with declarations that still reaches expat (e.g. in UTF-16) is refused.
    static void XMLCALL onDoctype(void *user, const XML_Char *, const XML_Char *, const XML_Char *,
                                  int hasInternalSubset) {
        if (!hasInternalSubset) return;  // declares nothing; its external subset is never loaded
        XmlHandler *h = handlerOf(user);
        h->fail(ReadStatus::Corrupt, "document type declaration in a package part");
        XML_StopParser(static_cast<XML_Parser>(h->parser_), XML_FALSE);
    }
};

namespace {
std::atomic<bool> gFastPath{true};
std::atomic<uint64_t> gWholePartLimit{kMaxWholePartBytes};
std::atomic<uint64_t> gPiecesTaken{0};

// Package parts have no use for a document type; some producers write one all
// the same. The declaration is cut out of the prolog as the bytes stream past
// and one is put in its place that names an external subset and declares
// nothing: so no entity is declared or expanded beyond the predefined ones, a
// reference to an undeclared one is skipped rather than fatal, and nothing is
// ever fetched (no handler loads external entities).
class DoctypeFilter {
public:
    // Appends to `out` what the parser is to see of the next bytes.
    void feed(const char *data, size_t size, std::string *out) {
        out->clear();
        for (size_t i = 0; i < size; ++i) {
            const char c = data[i];
            if (state_ == State::Done) {
                out->append(data + i, size - i);
                return;
            }
            step(c, out);
        }
    }
    bool passing() const { return state_ == State::Done; }
    // Bytes held back at the end of the part (an unfinished "<!DOC").
    void finish(std::string *out) {
        out->clear();
        if (state_ == State::Open) out->append(pending_);
        pending_.clear();
    }

private:
    enum class State { Prolog, Open, Skip, Doctype, Done };
    static constexpr const char *kDoctype = "<!DOCTYPE";
    static constexpr size_t kDoctypeLength = 9;

    void step(char c, std::string *out) {
        switch (state_) {
            case State::Prolog:
                if (c == '<') {
                    pending_.assign(1, c);
                    state_ = State::Open;
                } else {
                    out->push_back(c);
                }
                break;
            case State::Open:
                pending_.push_back(c);
                if (kDoctype[pending_.size() - 1] == c) {
                    if (pending_.size() < kDoctypeLength) break;  // not yet told apart
                    state_ = State::Doctype;
                    sawDoctype_ = true;
                    quote_ = 0;
                    subset_ = inComment_ = false;
                } else {
                    out->append(pending_);
                    if (pending_.size() == 2 && c == '?') {
                        closing_ = "?>";
                        state_ = State::Skip;
                    } else if (pending_ == "<!-") {
                        closing_ = "-->";
                        state_ = State::Skip;
                    } else {
                        state_ = State::Done;  // the document element, or markup expat will judge
                    }
                }
                pending_.clear();
                tail_.clear();
                break;
            case State::Skip:  // a comment or processing instruction in the prolog
                out->push_back(c);
                tail_.push_back(c);
                if (tail_.size() > 3) tail_.erase(0, tail_.size() - 3);
                if (tail_.size() >= closing_.size() &&
                    tail_.compare(tail_.size() - closing_.size(), closing_.size(), closing_) == 0) {
                    state_ = State::Prolog;
                    tail_.clear();
                }
                break;
            case State::Doctype:
                if (quote_) {
                    if (c == quote_) quote_ = 0;
                } else if (inComment_) {
                    tail_.push_back(c);
                    if (tail_.size() > 3) tail_.erase(0, 1);
                    if (tail_ == "-->") inComment_ = false;
                } else if (c == '"' || c == '\'') {
                    quote_ = c;
                } else if (c == '[') {
                    subset_ = true;
                } else if (c == ']') {
                    subset_ = false;
                } else if (c == '>' && !subset_) {
                    out->append("<!DOCTYPE d SYSTEM \"\">");
                    state_ = State::Prolog;
                } else if (subset_) {
                    tail_.push_back(c);
                    if (tail_.size() > 4) tail_.erase(0, 1);
                    if (tail_ == "<!--") {
                        inComment_ = true;
                        tail_.clear();
                    }
                }
                break;
            case State::Done:
                break;
        }
    }

    State state_ = State::Prolog;
    std::string pending_, tail_, closing_;
    char quote_ = 0;
    bool subset_ = false, inComment_ = false, sawDoctype_ = false;
};
}  // namespace

void setFastPathEnabled(bool on) { gFastPath.store(on); }
void setWholePartLimit(uint64_t bytes) { gWholePartLimit.store(bytes); }
bool fastPathEnabled() { return gFastPath.load(std::memory_order_relaxed); }
uint64_t piecesTakenDecoded() { return gPiecesTaken.load(std::memory_order_relaxed); }

void XmlHandler::captureText(bool on) {
    capturing_ = on;
    if (!parser_) return;
    XML_SetCharacterDataHandler(static_cast<XML_Parser>(parser_), on ? &XmlStream::onText : nullptr);
}

namespace {

// The fast path: the whole part inflated at once and scanned in place. Answers
// nothing (false) when the part is not for it, before the handler saw anything.
bool parseWholePart(const ZipArchive &zip, const std::string &part, XmlHandler &handler, std::string *message,
                    ReadStatus *result) {
    thread_local PartBuffer data;
    size_t size = 0;
    if (zip.readWholePart(part, &data, &size, gWholePartLimit.load(std::memory_order_relaxed)) != WholePart::Read ||
        !fastScanSupports(data.data(), size))
        return false;
    struct GiveBackLarge {
        PartBuffer &buffer;
        ~GiveBackLarge() {
            if (buffer.capacity() > kKeptBufferBytes) buffer.release();
        }
    } giveBack{data};
    ScanResult scan = ScanResult::Corrupt;
    std::string scanMessage;
    try {
        scan = scanXmlInPlace(data.data(), size, handler, &scanMessage);
    } catch (const std::bad_alloc &) {
        handler.fail(ReadStatus::TooLarge, "out of memory");
    } catch (...) {
        handler.fail(ReadStatus::Corrupt, "unexpected failure while parsing");
    }
    if (handler.stopped()) {
        if (message && handler.failed()) *message = handler.message();
        *result = handler.status();
    } else if (scan != ScanResult::Ok) {
        if (message) *message = part + ": " + scanMessage;
        *result = ReadStatus::Corrupt;
    } else {
        *result = ReadStatus::Ok;
    }
    return true;
}

// How much of a part too large to hold whole is scanned at a time, and how
// much of its head the prolog check may need before it gives up.
constexpr size_t kPieceBytes = 1u << 20;
constexpr size_t kMaxPrologBytes = 1u << 20;
// The most left over from the blocks before for a piece decoded ahead to be taken in.
constexpr size_t kMaxCarriedToPiece = 64u << 10;

// The fast path for a part too large to inflate whole: scanned piece by piece
// as it inflates. Answers nothing (false) when the part is not for it, before
// the handler saw anything.
bool parsePartInPieces(const ZipArchive &zip, const std::string &part, XmlHandler &handler, std::string *message,
                       ReadStatus *result) {
    std::string pending;  // inflated, not yet scanned; its terminating NUL is the spare byte feed() needs
    pending.reserve(2 * kPieceBytes);
    bool decided = false, refused = false;
    size_t nextScan = kPieceBytes;
    ScanResult scan = ScanResult::Ok;
    std::string scanMessage;
    ChunkedXmlScan scanner(handler, &scanMessage);
    auto scanPending = [&](bool last) {
        size_t consumed = 0;
        try {
            scan = scanner.feed(&pending[0], pending.size(), last, &consumed);
        } catch (const std::bad_alloc &) {
            handler.fail(ReadStatus::TooLarge, "out of memory");
        } catch (...) {
            handler.fail(ReadStatus::Corrupt, "unexpected failure while parsing");
        }
        pending.erase(0, consumed);
        return scan == ScanResult::Ok && !handler.stopped();
    };
    // A piece decoded ahead is taken in where the scan stands just before
    // it. Getting there means scanning what is pending at once, which stays
    // cheap only while little is: not during a long text or comment.
    const std::unique_ptr<PieceDecoder> ahead = handler.pieceDecoder();
    auto takePiece = [&](const char *data, size_t size, const DecodedPiece &piece) {
        pending.append(data, piece.begin + 1);  // up to and with the '<' it begins at
        const bool go = scanPending(false);
        if (go && pending.size() == 1 && handler.takeDecoded(piece)) {
            gPiecesTaken.fetch_add(1, std::memory_order_relaxed);
            pending.assign(data + piece.end, size - piece.end);
            return true;
        }
        pending.append(data + piece.begin + 1, size - piece.begin - 1);
        return go;
    };
    std::string zipMessage;
    const ReadStatus zipStatus = zip.readPart(
        part,
        [&](const char *data, size_t size, const DecodedPiece *piece) {
            const size_t carried = pending.size();
            const bool usable = piece && carried <= kMaxCarriedToPiece && piece->begin < piece->end &&
                                piece->end <= size && data[piece->begin] == '<';
            if (!decided) {
                pending.append(data, size);
                const Prolog p = fastScanProlog(pending.data(), pending.size());
                if (p == Prolog::Refused || (p != Prolog::Supported && pending.size() > kMaxPrologBytes)) {
                    refused = true;
                    return false;
                }
                if (p != Prolog::Supported) return true;
                decided = true;
                if (usable) pending.resize(carried);
            } else if (!usable) {
                pending.append(data, size);
            }
            if (usable && (!takePiece(data, size, *piece) || handler.stopped())) return false;
            if (pending.size() < nextScan) return true;
            const bool go = scanPending(false);
            // What could not be scanned yet (a huge text or comment) waits
            // until it has doubled: rescanning it at every piece would cost
            // its size squared.
            nextScan = std::max(kPieceBytes, 2 * pending.size());
            return go;
        },
        ahead.get(), &zipMessage);
    if (refused) return false;
    if (!decided) {
        // The whole part is at hand: the same check as for a part inflated whole.
        if (zipStatus != ReadStatus::Ok || !fastScanSupports(pending.data(), pending.size())) return false;
        decided = true;
    }
    if (zipStatus == ReadStatus::Ok && scan == ScanResult::Ok && !handler.stopped()) scanPending(true);
    if (handler.stopped()) {
        if (message && handler.failed()) *message = handler.message();
        *result = handler.status();
    } else if (zipStatus != ReadStatus::Ok) {
        if (message) *message = zipMessage;
        *result = zipStatus;
    } else if (scan != ScanResult::Ok) {
        if (message) *message = part + ": " + scanMessage;
        *result = ReadStatus::Corrupt;
    } else {
        *result = ReadStatus::Ok;
    }
    return true;
}

}  // namespace

ReadStatus parsePart(const ZipArchive &zip, const std::string &part, XmlHandler &handler, std::string *message,
                     bool optional) {
    if (!zip.hasPart(part)) {
        if (optional) return ReadStatus::Ok;
        if (message) *message = "missing part " + part;
        return ReadStatus::Corrupt;
    }
    ReadStatus fast = ReadStatus::Ok;
    if (fastPathEnabled() &&
        (parseWholePart(zip, part, handler, message, &fast) || parsePartInPieces(zip, part, handler, message, &fast)))
        return fast;
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) {
        if (message) *message = "out of memory";
        return ReadStatus::TooLarge;
    }
    XML_Parser p = parser.get();
    handler.parser_ = p;
    XML_SetUserData(p, &handler);
    XML_SetElementHandler(p, &XmlStream::onStart, &XmlStream::onEnd);
    XML_SetStartDoctypeDeclHandler(p, &XmlStream::onDoctype);
    // Capture switched on before the parse must hold here as on the fast path.
    if (handler.capturingText()) XML_SetCharacterDataHandler(p, &XmlStream::onText);

    bool xmlError = false;
    std::string xmlMessage;
    handler.depth_ = 0;
    handler.rootClosed_ = false;
    DoctypeFilter doctype;
    std::string filtered;
    auto parse = [&](const char *data, size_t size, bool last) {
        if (XML_Parse(p, data, static_cast<int>(size), last ? XML_TRUE : XML_FALSE) == XML_STATUS_OK) return true;
        if (!handler.stopped() && !handler.rootClosed_) {
            xmlError = true;
            xmlMessage = part + ": " + XML_ErrorString(XML_GetErrorCode(p)) + " at line " +
                         std::to_string(XML_GetCurrentLineNumber(p));
        }
        return false;
    };
    const ReadStatus zipStatus = zip.readPart(
        part,
        [&](const char *data, size_t size) {
            if (doctype.passing()) return parse(data, size, false);
            doctype.feed(data, size, &filtered);
            return parse(filtered.data(), filtered.size(), false);
        },
        message);
    if (!handler.stopped() && !handler.rootClosed_ && !xmlError && zipStatus == ReadStatus::Ok) {
        doctype.finish(&filtered);
        parse(filtered.data(), filtered.size(), true);
    }
    handler.parser_ = nullptr;
    if (handler.stopped()) {
        if (message && handler.failed()) *message = handler.message();
        return handler.status();
    }
    if (handler.rootClosed_) return ReadStatus::Ok;
    if (zipStatus != ReadStatus::Ok) return zipStatus;
    if (xmlError) {
        if (message) *message = xmlMessage;
        return ReadStatus::Corrupt;
    }
    return ReadStatus::Ok;
}

}  // namespace automation::readers::xlsx
