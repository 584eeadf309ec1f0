// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/KeptMarkupReader.h"

#include "automation/readers/xlsx/Relationships.h"
#include "automation/readers/xlsx/WorkbookPart.h"
#include "automation/readers/xlsx/ZipArchive.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

namespace automation::readers::xlsx {

namespace {

constexpr const char *kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char *kRelationshipNamespace = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
// A template's parts are small; a larger one is not searched for markup to keep.
constexpr size_t kMaxPartBytes = 32u * 1024 * 1024;

struct DocFree {
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

// The part parsed, or null; no network, no external entities, no DTD.
Doc parsePart(const ZipArchive &zip, const std::string &name) {
    if (!zip.hasPart(name)) return nullptr;
    std::string bytes;
    std::string message;
    bool tooLarge = false;
    const ReadStatus read = zip.readPart(
        name,
        [&](const char *data, size_t size) {
            if (bytes.size() + size > kMaxPartBytes) return !(tooLarge = true);
            bytes.append(data, size);
            return true;
        },
        &message);
    if (read != ReadStatus::Ok || tooLarge || bytes.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
    return Doc(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), name.c_str(), nullptr,
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

bool inMainNamespace(const xmlNode *node) {
    return node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
           std::strcmp(reinterpret_cast<const char *>(node->ns->href), kMainNamespace) == 0;
}

std::string_view nameOf(const xmlNode *node) { return reinterpret_cast<const char *>(node->name); }

// Attributes that point at other parts of the source package mean nothing in another one.
void dropRelationshipAttributes(xmlNode *node) {
    for (xmlNode *n = node; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        for (xmlAttr *a = n->properties; a;) {
            xmlAttr *next = a->next;
            if (a->ns && a->ns->href &&
                std::strcmp(reinterpret_cast<const char *>(a->ns->href), kRelationshipNamespace) == 0)
                xmlRemoveProp(a);
            a = next;
        }
        dropRelationshipAttributes(n->children);
    }
}

bool hasRelationshipAttribute(const xmlNode *node) {
    for (const xmlAttr *a = node->properties; a; a = a->next)
        if (a->ns && a->ns->href &&
            std::strcmp(reinterpret_cast<const char *>(a->ns->href), kRelationshipNamespace) == 0)
            return true;
    return false;
}

// The element as markup of its own, its namespaces declared on it.
std::string markupOf(const xmlNode *node) {
    Doc doc(xmlNewDoc(reinterpret_cast<const xmlChar *>("1.0")));
    if (!doc) return {};
    xmlNode *copy = xmlDocCopyNode(const_cast<xmlNode *>(node), doc.get(), 1);
    if (!copy) return {};
    xmlDocSetRootElement(doc.get(), copy);
    if (nameOf(copy) == "hyperlinks") {
        // A link to a file or a web address lives in the relationships; one within the workbook does not.
        for (xmlNode *link = copy->children; link;) {
            xmlNode *next = link->next;
            if (link->type == XML_ELEMENT_NODE && hasRelationshipAttribute(link)) {
                xmlUnlinkNode(link);
                xmlFreeNode(link);
            }
            link = next;
        }
        if (!xmlFirstElementChild(copy)) return {};
    }
    dropRelationshipAttributes(copy);
    xmlReconciliateNs(doc.get(), copy);
    // The relationships' namespace is used by nothing left.
    for (xmlNs **ns = &copy->nsDef; *ns;) {
        if ((*ns)->href && std::strcmp(reinterpret_cast<const char *>((*ns)->href), kRelationshipNamespace) == 0) {
            xmlNs *unused = *ns;
            *ns = unused->next;
            unused->next = nullptr;
            xmlFreeNs(unused);
        } else {
            ns = &(*ns)->next;
        }
    }
    xmlBuffer *buffer = xmlBufferCreate();
    if (!buffer) return {};
    std::string out;
    if (xmlNodeDump(buffer, doc.get(), copy, 0, 0) >= 0)
        out.assign(reinterpret_cast<const char *>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    // The part it goes into declares the same default namespace already.
    const std::string declaration = std::string(" xmlns=\"") + kMainNamespace + "\"";
    const size_t tagEnd = out.find('>');
    const size_t at = out.find(declaration);
    if (at != std::string::npos && at < tagEnd) out.erase(at, declaration.size());
    return out;
}

// Which group of KeptSheetMarkup a child of <worksheet> belongs to; null for
// what the writer makes itself or what needs parts of its own.
std::string *groupOf(model::KeptSheetMarkup &sheet, std::string_view element) {
    if (element == "sheetPr") return &sheet.properties;
    if (element == "sheetViews") return &sheet.views;
    for (std::string_view name : {"sheetCalcPr", "sheetProtection", "protectedRanges", "scenarios", "autoFilter",
                                  "sortState", "dataConsolidate", "customSheetViews"})
        if (element == name) return &sheet.beforeMerges;
    for (std::string_view name :
         {"phoneticPr", "conditionalFormatting", "dataValidations", "hyperlinks", "printOptions"})
        if (element == name) return &sheet.beforeMargins;
    if (element == "pageMargins") return &sheet.margins;
    for (std::string_view name : {"pageSetup", "headerFooter", "rowBreaks", "colBreaks", "ignoredErrors"})
        if (element == name) return &sheet.afterMargins;
    return nullptr;
}

model::KeptSheetMarkup sheetMarkup(const xmlDoc &doc) {
    model::KeptSheetMarkup sheet;
    const xmlNode *root = xmlDocGetRootElement(&doc);
    if (!root || !inMainNamespace(root) || nameOf(root) != "worksheet") return sheet;
    for (const xmlNode *child = root->children; child; child = child->next) {
        if (!inMainNamespace(child)) continue;
        if (std::string *group = groupOf(sheet, nameOf(child))) group->append(markupOf(child));
    }
    return sheet;
}

std::string attributeOf(const xmlNode *node, const char *name) {
    xmlChar *value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar *>(name));
    if (!value) return {};
    std::string out(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return out;
}

std::vector<model::KeptName> definedNames(const xmlDoc &doc, const std::vector<SheetEntry> &sheets) {
    std::vector<model::KeptName> names;
    const xmlNode *root = xmlDocGetRootElement(&doc);
    if (!root || !inMainNamespace(root)) return names;
    for (const xmlNode *child = root->children; child; child = child->next) {
        if (!inMainNamespace(child) || nameOf(child) != "definedNames") continue;
        for (const xmlNode *n = child->children; n; n = n->next) {
            if (!inMainNamespace(n) || nameOf(n) != "definedName") continue;
            model::KeptName name;
            bool belongs = true;
            for (const xmlAttr *a = n->properties; a; a = a->next) {
                if (a->ns) continue;
                const std::string key(reinterpret_cast<const char *>(a->name));
                const std::string value = attributeOf(n, key.c_str());
                if (key == "localSheetId") {
                    char *end = nullptr;
                    const unsigned long index = std::strtoul(value.c_str(), &end, 10);
                    belongs = end && *end == '\0' && !value.empty() && index < sheets.size();
                    if (belongs) name.localSheet = sheets[index].name;
                } else {
                    name.attributes.emplace_back(key, value);
                }
            }
            xmlChar *text = xmlNodeGetContent(n);
            if (text) {
                name.formula = reinterpret_cast<const char *>(text);
                xmlFree(text);
            }
            if (belongs && !name.formula.empty()) names.push_back(std::move(name));
        }
    }
    return names;
}

void differentialFormats(const xmlDoc &doc, model::KeptMarkup *kept) {
    const xmlNode *root = xmlDocGetRootElement(&doc);
    if (!root || !inMainNamespace(root)) return;
    for (const xmlNode *child = root->children; child; child = child->next) {
        if (!inMainNamespace(child) || nameOf(child) != "dxfs") continue;
        for (const xmlNode *dxf = child->children; dxf; dxf = dxf->next) {
            if (!inMainNamespace(dxf) || nameOf(dxf) != "dxf") continue;
            kept->differentialFormats.append(markupOf(dxf));
            ++kept->differentialFormatCount;
        }
    }
}

std::shared_ptr<const model::KeptMarkup> read(const std::string &path) {
    ZipArchive zip;
    std::string message;
    if (zip.open(path, &message) != ReadStatus::Ok) return nullptr;
    std::vector<Relationship> packageRels;
    readRelationships(zip, "", &packageRels, &message);
    std::string workbookPart = "xl/workbook.xml";
    if (const Relationship *r = findRelationshipByType(packageRels, "officeDocument"))
        if (zip.hasPart(r->target)) workbookPart = r->target;
    WorkbookInfo info;
    if (readWorkbookPart(zip, workbookPart, &info, &message) != ReadStatus::Ok) return nullptr;
    std::vector<Relationship> rels;
    readRelationships(zip, workbookPart, &rels, &message);

    auto kept = std::make_shared<model::KeptMarkup>();
    for (const SheetEntry &entry : info.sheets) {
        const Relationship *r = findRelationshipById(rels, entry.relationshipId);
        if (!r || !isRelationshipType(r->type, "worksheet")) continue;
        if (Doc doc = parsePart(zip, r->target)) kept->sheets[entry.name] = sheetMarkup(*doc);
    }
    if (Doc doc = parsePart(zip, workbookPart)) kept->names = definedNames(*doc, info.sheets);
    if (const Relationship *r = findRelationshipByType(rels, "styles"))
        if (Doc doc = parsePart(zip, r->target)) differentialFormats(*doc, kept.get());
    return kept;
}

}  // namespace

std::shared_ptr<const model::KeptMarkup> readKeptMarkup(const std::string &path) {
    // libxml2 sets up its globals once, before two threads parse at the same time.
    static std::once_flag parserReady;
    std::call_once(parserReady, [] { xmlInitParser(); });
    try {
        return read(path);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace automation::readers::xlsx
