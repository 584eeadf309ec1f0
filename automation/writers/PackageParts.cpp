// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/PackageParts.h"

#include "automation/writers/XmlOut.h"

namespace automation::writers {

namespace {

constexpr const char *kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

std::string number(size_t n) {
    std::string out;
    xmlout::appendUnsigned(out, n);
    return out;
}

}  // namespace

std::string worksheetPartName(size_t index) { return "xl/worksheets/sheet" + number(index + 1) + ".xml"; }

std::string contentTypesXml(size_t sheetCount) {
    std::string out = kXmlDeclaration;
    out.append(
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>");
    for (size_t i = 0; i < sheetCount; ++i)
        out.append("<Override PartName=\"/" + worksheetPartName(i) +
                   "\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>");
    out.append("</Types>");
    return out;
}

std::string packageRelationshipsXml() {
    return std::string(kXmlDeclaration) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
           "Target=\"xl/workbook.xml\"/></Relationships>";
}

std::string workbookRelationshipsXml(size_t sheetCount) {
    std::string out = kXmlDeclaration;
    out.append("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
    for (size_t i = 0; i < sheetCount; ++i)
        out.append("<Relationship Id=\"rId" + number(i + 1) +
                   "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                   "Target=\"worksheets/sheet" +
                   number(i + 1) + ".xml\"/>");
    out.append("<Relationship Id=\"rId" + number(sheetCount + 1) +
               "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
               "Target=\"styles.xml\"/></Relationships>");
    return out;
}

// The names a workbook came with; one defined on a sheet the workbook no
// longer has is left out.
static void appendDefinedNames(std::string &out, const std::vector<PackageSheet> &sheets,
                               const std::vector<model::KeptName> &names) {
    std::string list;
    for (const model::KeptName &name : names) {
        size_t local = sheets.size();
        if (!name.localSheet.empty()) {
            local = 0;
            while (local < sheets.size() && sheets[local].modelName != name.localSheet) ++local;
            if (local == sheets.size()) continue;
        }
        list.append("<definedName");
        for (const auto &[key, value] : name.attributes) {
            list.append(" " + key + "=\"");
            xmlout::appendAttribute(list, value);
            list.push_back('"');
        }
        if (local < sheets.size()) list.append(" localSheetId=\"" + number(local) + "\"");
        list.push_back('>');
        xmlout::appendText(list, name.formula);
        list.append("</definedName>");
    }
    if (!list.empty()) out.append("<definedNames>" + list + "</definedNames>");
}

std::string workbookXml(const std::vector<PackageSheet> &sheets, size_t activeSheet, bool date1904,
                        const std::vector<model::KeptName> *names) {
    std::string out = kXmlDeclaration;
    out.append(
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">");
    if (date1904) out.append("<workbookPr date1904=\"1\"/>");
    out.append("<bookViews><workbookView");
    if (activeSheet) out.append(" activeTab=\"" + number(activeSheet) + "\"");
    out.append("/></bookViews><sheets>");
    for (size_t i = 0; i < sheets.size(); ++i) {
        out.append("<sheet name=\"");
        xmlout::appendAttribute(out, sheets[i].name);
        out.append("\" sheetId=\"" + number(i + 1) + "\"");
        if (sheets[i].hidden) out.append(" state=\"hidden\"");
        out.append(" r:id=\"rId" + number(i + 1) + "\"/>");
    }
    out.append("</sheets>");
    if (names) appendDefinedNames(out, sheets, *names);
    out.append("</workbook>");
    return out;
}

}  // namespace automation::writers
