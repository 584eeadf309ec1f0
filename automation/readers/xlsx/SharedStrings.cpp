// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/SharedStrings.h"

#include "automation/model/Limits.h"
#include "automation/readers/xlsx/FastXmlScanner.h"
#include "automation/readers/xlsx/OoxmlText.h"
#include "automation/readers/xlsx/RawMarkup.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <string_view>
#include <vector>

namespace automation::readers::xlsx {

namespace {

// A declared count is only a hint. Room for it is reserved up front, as
// growing the index of two million texts step by step costs more than
// reading them; room never filled costs address space only. It is never
// trusted beyond what the part can hold, one "<si/>" an item, nor beyond this.
constexpr size_t kMaxReserveStrings = 1u << 24;
constexpr uint64_t kMinItemBytes = 5;

// Items as nearly every producer writes them, one plain <t> each, read
// straight from the bytes: the content of the item the events opened, and
// on from there item after item while the next is as plain. Anything else
// (rich runs, phonetic text, comments) it leaves, untouched, to the events.
class PlainItemReader : public RawContentReader {
public:
    // `text`: the last item read, which the events close; `append`: the
    // items before it, which this reader closed itself.
    PlainItemReader(std::string *text, std::function<void(std::string_view)> append)
        : text_(text), append_(std::move(append)) {}

    void setName(std::string_view qualified) { name_.assign(qualified); }

    Result read(const char *&p, const char *end, bool last) override {
        using namespace rawmarkup;
        const char *q = p;
        std::string_view text;
        const Scan first = content(q, end, &text, &scratch_);
        if (first == Scan::More && !last) return Result::More;
        if (first != Scan::Ok) return Result::Done;  // from `p`, all of it
        current_ = &scratch_;
        // `q` is at the item's end tag: read on while the next item is plain.
        std::string_view name = name_;
        for (;;) {
            const char *r = q;
            std::string_view nextText;
            if (endTag(r, end, name) != Scan::Ok) break;
            skipSpace(r, end);
            if (end - r < 2 || r[0] != '<' || r[1] == '/' || r[1] == '!' || r[1] == '?') break;
            ++r;
            if (startTag(r, end, &item_, &ignored_) != Scan::Ok || item_.local != "si" || item_.selfClosing) break;
            std::string &spare = &scratch_ == current_ ? otherScratch_ : scratch_;
            if (content(r, end, &nextText, &spare) != Scan::Ok) break;
            append_(text);
            text = nextText;
            current_ = &spare;
            name = item_.name;
            q = r;
        }
        text_->assign(text);
        current_ = nullptr;
        p = q;
        return Result::Done;
    }

private:
    // One plain <t> and white space, up to the item's end tag (not read).
    rawmarkup::Scan content(const char *&p, const char *end, std::string_view *text, std::string *scratch) {
        using namespace rawmarkup;
        const char *q = p;
        skipSpace(q, end);
        if (end - q < 2) return Scan::More;
        if (q[0] != '<' || q[1] == '/' || q[1] == '!' || q[1] == '?') return Scan::Refused;
        ++q;
        Scan s = startTag(q, end, &tag_, &ignored_);
        if (s == Scan::Ok && tag_.local != "t") s = Scan::Refused;
        *text = std::string_view();
        if (s == Scan::Ok && !tag_.selfClosing) {
            s = rawmarkup::text(q, end, scratch, text);
            if (s == Scan::Ok) s = endTag(q, end, tag_.name);
        }
        if (s != Scan::Ok) return s;
        skipSpace(q, end);
        if (end - q < 2) return Scan::More;
        if (q[0] != '<' || q[1] != '/') return Scan::Refused;
        p = q;
        return Scan::Ok;
    }

    std::string *text_;
    std::function<void(std::string_view)> append_;
    std::string name_;
    rawmarkup::Tag tag_, item_;
    // A decoded text lives in one of these until the next item's is in the other.
    std::string scratch_, otherScratch_, ignored_;
    const std::string *current_ = nullptr;
};

// Items decoded ahead on the inflating thread (PieceDecoding.h): from the
// first "<si>" of a block through the plain items that follow it, as the
// item reader reads them, each text already as the pool takes it.
struct ItemsDecodedAhead : DecodedPiece {
    std::string texts;              // end to end
    std::vector<uint32_t> lengths;  // one an item
};

class ItemsAheadDecoder : public PieceDecoder {
public:
    bool decode(const char *data, size_t size, std::unique_ptr<DecodedPiece> &piece) noexcept override {
        static constexpr std::string_view kStart = "<si>", kEnd = "</si>";
        try {
            const std::string_view bytes(data, size);
            const size_t begin = bytes.find(kStart);
            const size_t lastEnd = bytes.rfind(kEnd);
            if (begin == std::string_view::npos || lastEnd == std::string_view::npos || lastEnd < begin) return false;
            // What the scan makes sure of before any reader sees the bytes.
            if (!validXmlUtf8(data + begin, lastEnd + kEnd.size() - begin)) return false;
            if (!dynamic_cast<ItemsDecodedAhead *>(piece.get())) piece = std::make_unique<ItemsDecodedAhead>();
            auto *items = static_cast<ItemsDecodedAhead *>(piece.get());
            items->texts.clear();
            items->lengths.clear();
            auto add = [&](std::string_view text) {
                if (cellTextNeedsNormalising(text)) {
                    normalised_.assign(text);
                    normaliseCellText(normalised_);
                    text = normalised_;
                }
                items->texts.append(text);
                items->lengths.push_back(static_cast<uint32_t>(text.size()));
            };
            std::string last;
            PlainItemReader reader(&last, add);
            reader.setName("si");
            const char *p = data + begin + kStart.size();
            const char *end = data + lastEnd + kEnd.size();
            // The reader stops at the end tag of the last item it took, which
            // the events would close (with an empty text when it took none:
            // "<si></si>").
            if (reader.read(p, end, false) != RawContentReader::Result::Done ||
                static_cast<size_t>(end - p) < kEnd.size() || std::string_view(p, kEnd.size()) != kEnd)
                return false;
            add(last);
            items->begin = begin;
            items->end = static_cast<size_t>(p - data) + kEnd.size();
            return true;
        } catch (...) {
            return false;
        }
    }

private:
    std::string normalised_;
};

class SharedStringsHandler : public XmlHandler {
public:
    // `partBytes`: the most the part can inflate to.
    SharedStringsHandler(model::StringPool *pool, uint64_t partBytes)
        : pool_(pool),
          maxItems_(static_cast<size_t>(std::min<uint64_t>(partBytes / kMinItemBytes, kMaxReserveStrings))),
          itemReader_(&text_, [this](std::string_view text) { appendItem(text); }) {}

    RawContentReader *rawContent(std::string_view qualified) override {
        if (!itemStarted_) return nullptr;
        itemStarted_ = false;
        itemReader_.setName(qualified);
        return &itemReader_;
    }

    std::unique_ptr<PieceDecoder> pieceDecoder() override { return std::make_unique<ItemsAheadDecoder>(); }
    // Between items, outside any: where the scan would start the next item.
    bool takeDecoded(const DecodedPiece &piece) override {
        const auto *items = dynamic_cast<const ItemsDecodedAhead *>(&piece);
        if (!items || inItem_ || itemStarted_ || phoneticDepth_ != 0 || capturingText() || stopped()) return false;
        size_t at = 0;
        for (uint32_t length : items->lengths) {
            pool_->append(std::string_view(items->texts).substr(at, length));
            at += length;
        }
        return true;
    }

    void startElement(const char *local, const char **atts) override {
        itemStarted_ = false;  // the reader takes the content of an item only
        if (local[0] == 's' && local[1] == 'i' && local[2] == 0) {
            inItem_ = true;
            itemStarted_ = phoneticDepth_ == 0;
            text_.clear();
        } else if (local[0] == 't' && local[1] == 0) {
            if (inItem_ && phoneticDepth_ == 0) captureText(true);
        } else if (std::strcmp(local, "rPh") == 0) {
            ++phoneticDepth_;
        } else if (std::strcmp(local, "sst") == 0) {
            const char *count = findAttribute(atts, "uniqueCount");
            if (count) reserve(std::min<size_t>(attributeUInt(count, 0), maxItems_));
        }
    }
    void endElement(const char *local) override {
        if (local[0] == 't' && local[1] == 0) {
            captureText(false);
        } else if (std::strcmp(local, "rPh") == 0) {
            if (phoneticDepth_ > 0) --phoneticDepth_;
        } else if (local[0] == 's' && local[1] == 'i' && local[2] == 0) {
            normaliseCellText(text_);
            pool_->append(text_);
            inItem_ = false;
        }
    }

    void reserve(size_t items) {
        try {
            pool_->reserve(items);
        } catch (const std::bad_alloc &) {
            // A hint only: the texts still fit as they come, if they fit at all.
        }
    }
    // An item the reader closed itself, as the end of an item does.
    void appendItem(std::string_view text) {
        if (!cellTextNeedsNormalising(text)) {
            pool_->append(text);
            return;
        }
        item_.assign(text);
        normaliseCellText(item_);
        pool_->append(item_);
    }
    void characters(const char *s, int len) override {
        if (text_.size() < kMaxRawTextBytes) text_.append(s, static_cast<size_t>(len));
    }

private:
    model::StringPool *pool_;
    const size_t maxItems_;
    std::string text_, item_;
    PlainItemReader itemReader_;
    bool itemStarted_ = false;
    bool inItem_ = false;
    int phoneticDepth_ = 0;
};

}  // namespace

ReadStatus readSharedStrings(const ZipArchive &zip, const std::string &part, model::StringPool *pool,
                             std::string *message) {
    SharedStringsHandler handler(pool, zip.inflatedSizeBound(part));
    return parsePart(zip, part, handler, message);
}

}  // namespace automation::readers::xlsx
