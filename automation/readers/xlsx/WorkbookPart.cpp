// SPDX-License-Identifier: Apache-2.0
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
        } else if (std::strcmp(local, "calcPr") == 0) {
            out_->fullCalcOnLoad = attributeBool(findAttribute(atts, "fullCalcOnLoad"), false);
        } else if (std::strcmp(local, "definedName") == 0) {
            startName(atts);
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
    void endElement(const char *local) override {
        if (std::strcmp(local, "definedName") != 0 || !inName_) return;
        inName_ = false;
        captureText(false);
        if (name_.formula.size() <= kMaxNameFormulaBytes) out_->names.push_back(std::move(name_));
    }
    void characters(const char *s, int len) override {
        if (inName_ && name_.formula.size() <= kMaxNameFormulaBytes) name_.formula.append(s, static_cast<size_t>(len));
    }

private:
    // Names the application defines for itself (print areas, filters) are of no use to formulas.
    void startName(const char **atts) {
        const char *name = findAttribute(atts, "name");
        if (!name || !*name || std::strncmp(name, "_xlnm.", 6) == 0) return;
        name_ = DefinedName{};
        name_.name = name;
        const char *local = findAttribute(atts, "localSheetId");
        name_.localSheet = local ? static_cast<int>(attributeUInt(local, UINT32_MAX) & 0x7fffffff) : -1;
        inName_ = true;
        captureText(true);
    }

    static constexpr size_t kMaxNameFormulaBytes = 65536;
    WorkbookInfo *out_;
    DefinedName name_;
    bool inName_ = false;
};

}  // namespace

ReadStatus readWorkbookPart(const ZipArchive &zip, const std::string &part, WorkbookInfo *out, std::string *message) {
    WorkbookHandler handler(out);
    return parsePart(zip, part, handler, message);
}

}  // namespace automation::readers::xlsx
