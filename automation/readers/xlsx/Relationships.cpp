// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/Relationships.h"

#include "automation/readers/xlsx/XmlStream.h"

#include <cstring>

namespace automation::readers::xlsx {

namespace {

class RelsHandler : public XmlHandler {
public:
    RelsHandler(const std::string &source, std::vector<Relationship> *out) : source_(source), out_(out) {}
    void startElement(const char *local, const char **atts) override {
        if (std::strcmp(local, "Relationship") != 0) return;
        const char *mode = findAttribute(atts, "TargetMode");
        if (mode && std::strcmp(mode, "External") == 0) return;
        const char *id = findAttribute(atts, "Id");
        const char *type = findAttribute(atts, "Type");
        const char *target = findAttribute(atts, "Target");
        if (!id || !type || !target) return;
        out_->push_back(Relationship{id, type, resolveTarget(source_, target)});
    }
    void endElement(const char *) override {}

private:
    const std::string &source_;
    std::vector<Relationship> *out_;
};

}  // namespace

std::string relationshipsPartOf(const std::string &sourcePart) {
    const size_t slash = sourcePart.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : sourcePart.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? sourcePart : sourcePart.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

std::string resolveTarget(const std::string &sourcePart, const std::string &target) {
    std::string path;
    if (!target.empty() && target[0] == '/') {
        path = target.substr(1);
    } else {
        const size_t slash = sourcePart.rfind('/');
        path = (slash == std::string::npos ? std::string() : sourcePart.substr(0, slash + 1)) + target;
    }
    // Normalise "." and ".." segments; ".." never climbs above the root.
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string seg = path.substr(start, end - start);
        if (seg == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!seg.empty() && seg != ".") {
            segments.push_back(std::move(seg));
        }
        start = end + 1;
    }
    std::string out;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i) out += '/';
        out += segments[i];
    }
    return out;
}

ReadStatus readRelationships(const ZipArchive &zip, const std::string &sourcePart, std::vector<Relationship> *out,
                             std::string *message) {
    RelsHandler handler(sourcePart, out);
    const ReadStatus s = parsePart(zip, relationshipsPartOf(sourcePart), handler, message, true);
    // Damage costs the list, not the workbook: the caller falls back.
    if (s == ReadStatus::Corrupt) out->clear();
    return s == ReadStatus::Corrupt ? ReadStatus::Ok : s;
}

bool isRelationshipType(const std::string &type, const char *kind) {
    const size_t n = std::strlen(kind);
    return type.size() > n && type[type.size() - n - 1] == '/' && type.compare(type.size() - n, n, kind) == 0;
}

const Relationship *findRelationshipById(const std::vector<Relationship> &rels, const std::string &id) {
    for (const Relationship &r : rels)
        if (r.id == id) return &r;
    return nullptr;
}

const Relationship *findRelationshipByType(const std::vector<Relationship> &rels, const char *kind) {
    for (const Relationship &r : rels)
        if (isRelationshipType(r.type, kind)) return &r;
    return nullptr;
}

}  // namespace automation::readers::xlsx
