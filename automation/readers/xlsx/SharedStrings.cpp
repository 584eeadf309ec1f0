#include "automation/readers/xlsx/SharedStrings.h"

#include "automation/model/Limits.h"
#include "automation/readers/xlsx/OoxmlText.h"
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

class SharedStringsHandler : public XmlHandler {
public:
    explicit SharedStringsHandler(model::StringPool *pool) : pool_(pool) {}

    void startElement(const char *local, const char **atts) override {
        if (local[0] == 's' && local[1] == 'i' && local[2] == 0) {
            inItem_ = true;
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
