#include "automation/readers/xlsx/SharedStrings.h"

#include "automation/model/Limits.h"
#include "automation/readers/xlsx/OoxmlText.h"
#include "automation/readers/xlsx/RawMarkup.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <algorithm>
#include <cstring>

namespace automation::readers::xlsx {

namespace {

// A declared count is only a hint; never trust it for more than this.
constexpr size_t kMaxReserveStrings = 1u << 20;
// Raw text kept per item: enough for the longest cell text even when every
// character arrives as a 7-byte escape; the rest would be cut anyway.
constexpr size_t kMaxRawTextBytes = 8 * model::kMaxTextLength;

// The content of an item as nearly every producer writes it, one plain
// <t>, read straight from the bytes. Anything else (rich runs, phonetic
// text) it leaves, untouched, to the events.
class PlainItemReader : public RawContentReader {
public:
    explicit PlainItemReader(std::string *text) : text_(text) {}

    Result read(const char *&p, const char *end, bool last) override {
        using namespace rawmarkup;
        const char *q = p;
        skipSpace(q, end);
        if (end - q >= 2 && q[0] == '<' && q[1] != '/' && q[1] != '!' && q[1] != '?') {
            ++q;
            Scan s = startTag(q, end, &tag_, &scratch_);
            if (s == Scan::Ok && tag_.local != "t") s = Scan::Refused;
            std::string_view text;
            if (s == Scan::Ok && !tag_.selfClosing) {
                s = rawmarkup::text(q, end, &scratch_, &text);
                if (s == Scan::Ok) s = endTag(q, end, tag_.name);
            }
            if (s == Scan::Ok) {
                skipSpace(q, end);
                if (end - q < 2)
                    s = Scan::More;
                else if (q[0] != '<' || q[1] != '/')
                    s = Scan::Refused;
            }
            if (s == Scan::More && !last) return Result::More;
            if (s != Scan::Ok) return Result::Done;  // from `p`, all of it
            text_->assign(text);
            p = q;
            return Result::Done;
        }
        if (end - q < 2 && !last) return Result::More;
        return Result::Done;
    }

private:
    std::string *text_;
    rawmarkup::Tag tag_;
    std::string scratch_;
};

class SharedStringsHandler : public XmlHandler {
public:
    explicit SharedStringsHandler(model::StringPool *pool) : pool_(pool), itemReader_(&text_) {}

    RawContentReader *rawContent() override {
        if (!itemStarted_) return nullptr;
        itemStarted_ = false;
        return &itemReader_;
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
            if (count) pool_->reserve(std::min<size_t>(attributeUInt(count, 0), kMaxReserveStrings));
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
    void characters(const char *s, int len) override {
        if (text_.size() < kMaxRawTextBytes) text_.append(s, static_cast<size_t>(len));
    }

private:
    model::StringPool *pool_;
    std::string text_;
    PlainItemReader itemReader_;
    bool itemStarted_ = false;
    bool inItem_ = false;
    int phoneticDepth_ = 0;
};

}  // namespace

ReadStatus readSharedStrings(const ZipArchive &zip, const std::string &part, model::StringPool *pool,
                             std::string *message) {
    SharedStringsHandler handler(pool);
    return parsePart(zip, part, handler, message);
}

}  // namespace automation::readers::xlsx
