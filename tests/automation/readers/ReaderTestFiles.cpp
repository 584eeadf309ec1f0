// SPDX-License-Identifier: Apache-2.0
#include "ReaderTestFiles.h"

#include "automation/readers/xlsx/ZipArchive.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <zip.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace readertest {

bool writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool writeZip(const std::string &path, const std::vector<ZipMember> &members) {
    int err = 0;
    zip_t *z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z) return false;
    for (const ZipMember &m : members) {
        zip_source_t *src = zip_source_buffer(z, m.second.data(), m.second.size(), 0);
        if (!src || zip_file_add(z, m.first.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
            if (src) zip_source_free(src);
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

bool writeCompoundFile(const std::string &path, const std::vector<ZipMember> &streams) {
    GError *error = nullptr;
    GsfOutput *sink = gsf_output_stdio_new(path.c_str(), &error);
    if (!sink) {
        if (error) g_error_free(error);
        return false;
    }
    GsfOutfile *ole = gsf_outfile_msole_new(sink);
    g_object_unref(sink);
    bool ok = ole != nullptr;
    for (const ZipMember &s : streams) {
        if (!ok) break;
        GsfOutput *child = gsf_outfile_new_child(ole, s.first.c_str(), FALSE);
        ok = child && gsf_output_write(child, s.second.size(), reinterpret_cast<const guint8 *>(s.second.data()));
        if (child) {
            gsf_output_close(child);
            g_object_unref(child);
        }
    }
    if (ole) {
        gsf_output_close(GSF_OUTPUT(ole));
        g_object_unref(ole);
    }
    return ok;
}

std::string fixture(const std::string &relative) { return std::string(ROWSIFTER_FIXTURES) + "/" + relative; }

namespace {

const char *kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char *kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char *kPkgRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";

std::string relationship(const std::string &id, const std::string &kind, const std::string &target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRelNs + "/" + kind + "\" Target=\"" + target + "\"/>";
}

}  // namespace

ZipMember *findMember(std::vector<ZipMember> &members, const std::string &name) {
    for (ZipMember &m : members)
        if (m.first == name) return &m;
    return nullptr;
}

bool writeHandPackage(const std::string &path, const HandPackage &p) {
    const std::string &x = p.prefix;
    const std::string nsDecl = x.empty() ? std::string(" xmlns=\"") + kMainNs + "\""
                                         : " xmlns:" + x.substr(0, x.size() - 1) + "=\"" + kMainNs + "\"";
    std::vector<ZipMember> members;
    members.push_back({"[Content_Types].xml",
                       "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                       "content-types\"><Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"});
    members.push_back({"_rels/.rels", std::string("<Relationships xmlns=\"") + kPkgRelNs + "\">" +
                                          relationship("rId1", "officeDocument", "xl/workbook.xml") +
                                          "</Relationships>"});
    std::string workbook = "<?xml version=\"1.0\"?><" + x + "workbook" + nsDecl + " xmlns:r=\"" + kRelNs + "\">";
    if (!p.workbookPrAttributes.empty()) workbook += "<" + x + "workbookPr " + p.workbookPrAttributes + "/>";
    workbook += "<" + x + "sheets>";
    std::string rels = std::string("<Relationships xmlns=\"") + kPkgRelNs + "\">";
    for (size_t i = 0; i < p.sheets.size(); ++i) {
        const std::string id = "rIdS" + std::to_string(i + 1);
        workbook += "<" + x + "sheet name=\"" + p.sheets[i].first + "\" sheetId=\"" + std::to_string(i + 1) +
                    "\" r:id=\"" + id + "\"/>";
        // Sheet parts deliberately not named sheetN.xml: the reader must follow the relationships.
        const std::string part = "data/part" + std::to_string(i + 1) + ".xml";
        rels += relationship(id, "worksheet", "../" + part);
        members.push_back({part, "<?xml version=\"1.0\"?><" + x + "worksheet" + nsDecl + ">" + p.sheets[i].second +
                                     "</" + x + "worksheet>"});
    }
    workbook += "</" + x + "sheets></" + x + "workbook>";
    if (!p.styles.empty()) {
        rels += relationship("rIdSt", "styles", "styles.xml");
        members.push_back({"xl/styles.xml", "<?xml version=\"1.0\"?><" + x + "styleSheet" + nsDecl + ">" + p.styles +
                                                "</" + x + "styleSheet>"});
    }
    if (!p.sharedStrings.empty()) {
        rels += relationship("rIdSs", "sharedStrings", "strings.xml");
        members.push_back({"xl/strings.xml", "<?xml version=\"1.0\"?><" + x + "sst" + nsDecl + ">" + p.sharedStrings +
                                                 "</" + x + "sst>"});
    }
    if (!p.theme.empty()) {
        rels += relationship("rIdTh", "theme", "theme/theme1.xml");
        members.push_back({"xl/theme/theme1.xml", p.theme});
    }
    rels += "</Relationships>";
    members.push_back({"xl/workbook.xml", workbook});
    members.push_back({"xl/_rels/workbook.xml.rels", rels});
    if (p.edit) p.edit(members);
    return writeZip(path, members);
}

automation::readers::ReadStatus readPartThroughArchive(const std::string &zipPath, const std::string &part,
                                                       std::string *out) {
    using automation::readers::ReadStatus;
    automation::readers::xlsx::ZipArchive zip;
    std::string message;
    if (zip.open(zipPath, &message) != ReadStatus::Ok) return ReadStatus::Unreadable;
    return zip.readPart(
        part, [&](const char *d, size_t n) { return out->append(d, n), true; }, &message);
}

size_t firstFlipNotCorrupt(
    const std::string &path, const std::string &probe, size_t places,
    const std::function<automation::readers::ReadStatus(const std::string &, std::string *)> &read) {
    const std::string bytes = readBytes(path);
    for (size_t pos = 200; pos + 200 < bytes.size(); pos += bytes.size() / places) {
        std::string damaged = bytes;
        damaged[pos] = static_cast<char>(damaged[pos] ^ 0x21);
        std::string out;
        if (!writeBytes(probe, damaged) || read(probe, &out) != automation::readers::ReadStatus::Corrupt) return pos;
    }
    return std::string::npos;
}

}  // namespace readertest
