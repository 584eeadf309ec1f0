// SPDX-License-Identifier: Apache-2.0
#include "SchemaValidation.h"

#include <libxml/xmlreader.h>
#include <libxml/xmlschemas.h>
#include <zip.h>

#include <map>
#include <memory>
#include <mutex>

namespace schemacheck {

namespace {

constexpr size_t kMaxProblemsPerPart = 8;

// The schema of a part by its name; "" when none covers it.
std::string schemaFileFor(const std::string &partName) {
    const auto endsWith = [&partName](const std::string &tail) {
        return partName.size() >= tail.size() &&
               partName.compare(partName.size() - tail.size(), tail.size(), tail) == 0;
    };
    if (partName == "[Content_Types].xml") return "opc-contentTypes.xsd";
    if (endsWith(".rels")) return "opc-relationships.xsd";
    if (partName.rfind("xl/", 0) == 0 && endsWith(".xml") && partName.find("/theme/") == std::string::npos)
        return "transitional/sml.xsd";
    return {};
}

struct SchemaDeleter {
    void operator()(xmlSchema *schema) const { xmlSchemaFree(schema); }
};

// Parsed schemas, kept for the life of the test program: sml.xsd takes a
// noticeable moment to load, and every test validates several parts.
class SchemaCache {
public:
    xmlSchemaPtr schema(const std::string &file, std::string *error) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = schemas_.find(file);
        if (found != schemas_.end()) return found->second.get();
        const std::string path = std::string(ROWSIFTER_OOXML_SCHEMAS) + "/" + file;
        xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(path.c_str());
        xmlSchemaPtr parsed = parser ? xmlSchemaParse(parser) : nullptr;
        if (parser) xmlSchemaFreeParserCtxt(parser);
        if (!parsed) {
            *error = "cannot load the schema " + path;
            return nullptr;
        }
        return schemas_.emplace(file, std::unique_ptr<xmlSchema, SchemaDeleter>(parsed)).first->second.get();
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<xmlSchema, SchemaDeleter>> schemas_;
};

SchemaCache &cache() {
    static SchemaCache instance;
    return instance;
}

struct Collector {
    std::string part;
    std::vector<std::string> *problems;
    size_t count = 0;
};

void collect(void *context, xmlErrorPtr error) {
    auto *collector = static_cast<Collector *>(context);
    if (!error || error->level < XML_ERR_ERROR) return;
    if (++collector->count > kMaxProblemsPerPart) return;
    std::string message = error->message ? error->message : "unknown error";
    while (!message.empty() && message.back() == '\n') message.pop_back();
    collector->problems->push_back(collector->part + " line " + std::to_string(error->line) + ": " + message);
}

// The published schema does not declare xml:space on <t>, which the
// applications themselves write and read; it is taken out before validating.
std::string withoutSpacePreserve(const std::string &xml) {
    static const std::string kPreserved = "<t xml:space=\"preserve\">";
    std::string out;
    out.reserve(xml.size());
    size_t from = 0;
    for (size_t at = xml.find(kPreserved); at != std::string::npos; at = xml.find(kPreserved, from)) {
        out.append(xml, from, at - from).append("<t>");
        from = at + kPreserved.size();
    }
    out.append(xml, from, std::string::npos);
    return out;
}

}  // namespace

std::vector<std::string> partProblems(const std::string &partName, const std::string &xml) {
    std::vector<std::string> problems;
    const std::string schemaFile = schemaFileFor(partName);
    if (schemaFile.empty()) {
        problems.push_back(partName + ": no schema covers this part");
        return problems;
    }
    std::string error;
    xmlSchemaPtr schema = cache().schema(schemaFile, &error);
    if (!schema) {
        problems.push_back(error);
        return problems;
    }
    const std::string text = withoutSpacePreserve(xml);
    Collector collector{partName, &problems};
    // A streaming reader: a large sheet is validated without building its tree.
    xmlTextReaderPtr reader =
        xmlReaderForMemory(text.data(), static_cast<int>(text.size()), partName.c_str(), nullptr, XML_PARSE_NONET);
    xmlSchemaValidCtxtPtr validation = xmlSchemaNewValidCtxt(schema);
    if (!reader || !validation) {
        problems.push_back(partName + ": cannot start the validation");
    } else {
        xmlTextReaderSetStructuredErrorHandler(reader, collect, &collector);
        xmlSchemaSetValidStructuredErrors(validation, collect, &collector);
        int status = xmlTextReaderSchemaValidateCtxt(reader, validation, 0);
        while (status == 0 && (status = xmlTextReaderRead(reader)) == 1) {}
        if (status < 0 && problems.empty()) problems.push_back(partName + ": not well-formed");
        if (xmlTextReaderIsValid(reader) != 1 && problems.empty()) problems.push_back(partName + ": does not validate");
    }
    // The reader unplugs itself from the validation context: it goes first.
    if (reader) xmlFreeTextReader(reader);
    if (validation) xmlSchemaFreeValidCtxt(validation);
    if (collector.count > kMaxProblemsPerPart)
        problems.push_back(partName + ": " + std::to_string(collector.count - kMaxProblemsPerPart) + " more");
    return problems;
}

std::vector<std::string> packageProblems(const std::string &xlsxPath) {
    std::vector<std::string> problems;
    int err = 0;
    zip_t *archive = zip_open(xlsxPath.c_str(), ZIP_RDONLY, &err);
    if (!archive) {
        problems.push_back("cannot open " + xlsxPath + " as a zip package");
        return problems;
    }
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    bool sawContentTypes = false;
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !st.name) continue;
        const std::string name = st.name;
        const bool xmlPart = name.size() > 4 && (name.compare(name.size() - 4, 4, ".xml") == 0 ||
                                                 (name.size() > 5 && name.compare(name.size() - 5, 5, ".rels") == 0));
        if (!xmlPart) continue;
        sawContentTypes = sawContentTypes || name == "[Content_Types].xml";
        std::string content(st.size, '\0');
        zip_file_t *file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        const zip_int64_t got = file && st.size ? zip_fread(file, &content[0], st.size) : 0;
        if (file) zip_fclose(file);
        if (got < 0 || static_cast<zip_uint64_t>(got) != st.size) {
            problems.push_back(name + ": cannot be read from the package");
            continue;
        }
        for (std::string &problem : partProblems(name, content)) problems.push_back(std::move(problem));
    }
    zip_close(archive);
    if (!sawContentTypes) problems.push_back("the package has no [Content_Types].xml");
    return problems;
}

std::string joined(const std::vector<std::string> &problems) {
    std::string out;
    for (const std::string &problem : problems) out.append(problem).append("\n");
    return out;
}

}  // namespace schemacheck
