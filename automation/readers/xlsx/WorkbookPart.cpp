#include "automation/readers/xlsx/WorkbookPart.h"

#include "automation/readers/xlsx/XmlStream.h"

#include <cstring>
#include <string>

namespace automation::readers::xlsx {

namespace {

class WorkbookHandler : public XmlHandler {
public:
    explicit WorkbookHandler(WorkbookInfo *out) : out_(out) {}
    void startElement(const char *local, const char **atts) override {
        if (std::strcmp(local, "workbookPr") == 0) {
            out_->date1904 = attributeBool(findAttribute(atts, "date1904"), false);
        } else if (std::strcmp(local, "sheet") == 0) {
            SheetEntry e;
            const char *name = findAttribute(atts, "name");
            const char *rid = findQualifiedAttribute(atts, "id");
            if (!rid) return;  // nothing leads to its part: the others are still read
            e.name = name && *name ? name : "Sheet" + std::to_string(out_->sheets.size() + 1);
            e.relationshipId = rid;
            const char *state = findAttribute(atts, "state");
            e.hidden = state && std::strcmp(state, "visible") != 0;
            out_->sheets.push_back(std::move(e));
        }
    }
    void endElement(const char *) override {}

private:
    WorkbookInfo *out_;
};

}  // namespace

ReadStatus readWorkbookPart(const ZipArchive &zip, const std::string &part, WorkbookInfo *out, std::string *message) {
    WorkbookHandler handler(out);
    return parsePart(zip, part, handler, message);
}

}  // namespace automation::readers::xlsx
