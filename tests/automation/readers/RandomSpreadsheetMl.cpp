// SPDX-License-Identifier: Apache-2.0
#include "RandomSpreadsheetMl.h"

#include <random>

namespace readertest {

namespace {

const char *const kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char *const kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char *const kPkgRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";
const char *const kBom = "\xEF\xBB\xBF";

constexpr int kMaxSheets = 3;
constexpr int kMaxRows = 12;
constexpr int kMaxCellsPerRow = 8;
constexpr int kMaxSharedStrings = 10;
constexpr int kCellFormats = 4;  // entries of cellXfs the generated styles part declares

// Pieces random texts are made of: markup characters, line ends, CJK,
// characters beyond the BMP, the escape producers use for control characters.
const char *const kTextPieces[] = {
    "a",
    "Zq",
    "0",
    "42",
    " ",
    "  ",
    "<",
    ">",
    "&",
    "\"",
    "'",
    "\r\n",
    "\n",
    "\r",
    "\t",
    "中",
    "文字",
    "é",
    "\xF0\x9F\x98\x80",
    "\xF0\xA0\x80\x80",
    "]",
    "]]",
    "-",
    "--",
    "_x000D_",
    "?>",
    "=",
    "/",
};

// Decodes one UTF-8 sequence at `s[i]`, advancing `i`. Inputs here are valid.
uint32_t nextCodePoint(const std::string &s, size_t &i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += static_cast<size_t>(len);
    return cp;
}

std::string hexNumber(uint32_t v, bool upper) {
    static const char *kLower = "0123456789abcdef", *kUpper = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), (upper ? kUpper : kLower)[v & 0xF]);
        v >>= 4;
    } while (v);
    return out;
}

std::string columnName(uint32_t column) {
    std::string out;
    while (column) {
        out.insert(out.begin(), static_cast<char>('A' + (column - 1) % 26));
        column = (column - 1) / 26;
    }
    return out;
}

class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {
        static const char *const kPrefixes[] = {"", "x:", "ns1:"};
        prefix_ = kPrefixes[below(3)];
    }

    GeneratedPackage package();

private:
    uint32_t below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
    bool chance(uint32_t percent) { return below(100) < percent; }

    std::string space() {
        static const char *const kSpaces[] = {" ", "  ", "\n", "\r\n", "\t", " \r\n\t "};
        return chance(70) ? " " : kSpaces[below(6)];
    }
    std::string optionalSpace() { return chance(75) ? "" : space(); }

    std::string randomText(uint32_t maxPieces) {
        std::string out;
        const uint32_t n = 1 + below(maxPieces);
        for (uint32_t i = 0; i < n; ++i) out += kTextPieces[below(sizeof kTextPieces / sizeof *kTextPieces)];
        return out;
    }

    std::string reference(uint32_t cp) {
        switch (below(3)) {
            case 0:
                return "&#" + std::string(below(3), '0') + std::to_string(cp) + ";";
            case 1:
                return "&#x" + std::string(below(2), '0') + hexNumber(cp, chance(50)) + ";";
            default:
                return "&#x" + hexNumber(cp, false) + ";";
        }
    }

    // Character data spelled one of many equivalent ways.
    std::string textContent(const std::string &text) {
        std::string out;
        size_t i = 0;
        while (i < text.size()) {
            if (chance(8)) out += chance(50) ? "<!-- note -->" : "<?rs-hint keep?>";
            const size_t start = i;
            const uint32_t cp = nextCodePoint(text, i);
            const std::string raw = text.substr(start, i - start);
            if (chance(10) && cp != ']' && cp != '>') {
                out += "<![CDATA[" + raw + "]]>";
                continue;
            }
            if (chance(12)) {
                out += reference(cp);
                continue;
            }
            switch (cp) {
                case '<':
                    out += "&lt;";
                    break;
                case '&':
                    out += "&amp;";
                    break;
                case '>':
                    // A literal '>' right after "]]" would end a CDATA section that is not there.
                    out += (out.size() >= 2 && out.compare(out.size() - 2, 2, "]]") == 0) || chance(50) ? "&gt;" : ">";
                    break;
                case '"':
                    out += chance(50) ? "&quot;" : "\"";
                    break;
                case '\'':
                    out += chance(50) ? "&apos;" : "'";
                    break;
                default:
                    out += raw;
            }
        }
        return out;
    }

    // An attribute value in the given quote; line ends and tabs kept raw
    // sometimes, so that value normalisation is exercised too.
    std::string attributeValue(const std::string &value, char quote) {
        std::string out;
        size_t i = 0;
        while (i < value.size()) {
            const size_t start = i;
            const uint32_t cp = nextCodePoint(value, i);
            if (chance(10) || cp == '<' || cp == '&' || static_cast<char>(cp) == quote ||
                ((cp == '\r' || cp == '\n' || cp == '\t') && chance(50))) {
                out += cp == '<' && chance(50) ? "&lt;" : cp == '&' && chance(50) ? "&amp;" : reference(cp);
            } else {
                out += value.substr(start, i - start);
            }
        }
        return out;
    }

    std::string attribute(const std::string &name, const std::string &value) {
        const char quote = chance(50) ? '"' : '\'';
        return space() + name + optionalSpace() + "=" + optionalSpace() + quote + attributeValue(value, quote) + quote;
    }

    std::string open(const std::string &name, const std::string &attributes = {}) {
        return "<" + prefix_ + name + attributes + optionalSpace() + ">";
    }
    std::string close(const std::string &name) { return "</" + prefix_ + name + optionalSpace() + ">"; }
    std::string empty(const std::string &name, const std::string &attributes = {}) {
        return chance(50) ? "<" + prefix_ + name + attributes + optionalSpace() + "/>"
                          : open(name, attributes) + close(name);
    }
    std::string element(const std::string &name, const std::string &attributes, const std::string &content) {
        return content.empty() ? empty(name, attributes) : open(name, attributes) + content + close(name);
    }
    std::string misc() {
        if (chance(85)) return chance(50) ? "" : space();
        return chance(50) ? "<!-- generated - for tests -->" : "<?rs-hint" + space() + "a=\"1\"?>";
    }

    std::string nsDeclaration() {
        const std::string main = prefix_.empty() ? attribute("xmlns", kMainNs)
                                                 : attribute("xmlns:" + prefix_.substr(0, prefix_.size() - 1), kMainNs);
        return main + attribute("xmlns:r", kRelNs);
    }
    std::string prolog() {
        std::string out = chance(30) ? kBom : "";
        if (chance(80)) {
            const char q = chance(50) ? '"' : '\'';
            out += std::string("<?xml version=") + q + "1.0" + q;
            if (chance(70)) out += std::string(" encoding=") + q + (chance(50) ? "UTF-8" : "utf-8") + q;
            if (chance(40)) out += std::string(" standalone=") + q + "yes" + q;
            out += optionalSpace() + "?>" + (chance(50) ? "\r\n" : "");
        }
        return out + misc();
    }

    std::string textElement(const std::string &text) {
        const bool preserve = chance(50);
        return element("t", preserve ? attribute("xml:space", "preserve") : "", textContent(text));
    }
    std::string runProperties() {
        if (chance(40)) return {};
        std::string props;
        if (chance(50)) props += empty("b");
        if (chance(50)) props += empty("sz", attribute("val", std::to_string(8 + below(10))));
        if (chance(50)) props += empty("rFont", attribute("val", chance(50) ? "Arial" : "宋体"));
        return element("rPr", "", props);
    }
    // The body of a string item: plain, rich runs, phonetic runs.
    std::string stringItemBody() {
        std::string out;
        if (chance(40)) {
            const uint32_t runs = 1 + below(3);
            for (uint32_t r = 0; r < runs; ++r)
                out += open("r") + runProperties() + textElement(randomText(3)) + close("r");
        } else {
            out += textElement(randomText(4));
        }
        if (chance(20)) {
            out += open("rPh", attribute("sb", "0") + attribute("eb", "1")) + textElement(randomText(2)) + close("rPh");
            out += empty("phoneticPr", attribute("fontId", "0"));
        }
        return out;
    }

    std::string sharedStrings(uint32_t count) {
        std::string body;
        for (uint32_t i = 0; i < count; ++i) body += open("si") + stringItemBody() + close("si") + misc();
        const std::string counts =
            attribute("count", std::to_string(count)) + attribute("uniqueCount", std::to_string(count));
        return prolog() + open("sst", nsDeclaration() + counts) + body + close("sst");
    }

    std::string numberText() {
        static const char *const kNumbers[] = {"42",  "-1.5", "1E3", "3.14159", " 12 ",
                                               "0.1", "1e-7", "+5",  "007",     "45352.5"};
        return kNumbers[below(sizeof kNumbers / sizeof *kNumbers)];
    }

    std::string cell(uint32_t row, uint32_t column, bool withAddress, uint32_t sharedCount) {
        std::string attrs;
        if (withAddress) attrs += attribute("r", columnName(column) + std::to_string(row));
        if (chance(30)) attrs += attribute("s", std::to_string(below(kCellFormats)));
        switch (below(8)) {
            case 0:
                if (sharedCount)
                    return element("c", attrs + attribute("t", "s"),
                                   element("v", "", std::to_string(below(sharedCount))));
                [[fallthrough]];
            case 1:
                return element("c", attrs + attribute("t", "inlineStr"), open("is") + stringItemBody() + close("is"));
            case 2:
                return element("c", attrs + attribute("t", "b"), element("v", "", chance(50) ? "1" : "0"));
            case 3:
                return element("c", attrs + attribute("t", "e"), element("v", "", chance(50) ? "#N/A" : "#DIV/0!"));
            case 4:
                return element(
                    "c", attrs + attribute("t", "str"),
                    element("f", "", textContent("A1&\"x\"")) + element("v", "", textContent(randomText(3))));
            case 5:
                return element("c", attrs, chance(50) ? empty("v") : "");  // format only, or an empty value
            default:
                return element("c", attrs, misc() + element("v", "", textContent(numberText())) + misc());
        }
    }

    std::string worksheet(uint32_t sharedCount) {
        std::string out = prolog() + open("worksheet", nsDeclaration()) + misc();
        if (chance(50)) out += empty("dimension", attribute("ref", "A1:H20"));
        if (chance(40)) out += empty("sheetFormatPr", attribute("defaultRowHeight", chance(50) ? "15" : "18.75"));
        if (chance(50)) {
            std::string cols;
            uint32_t next = 1;
            for (uint32_t i = 0, n = 1 + below(3); i < n; ++i) {
                const uint32_t first = next, last = next + below(3);
                next = last + 1 + below(2);
                std::string attrs = attribute("min", std::to_string(first)) + attribute("max", std::to_string(last)) +
                                    attribute("width", std::to_string(5 + below(20)) + ".5") +
                                    attribute("customWidth", "1");
                if (chance(30)) attrs += attribute("hidden", "1");
                if (chance(30)) attrs += attribute("style", std::to_string(below(kCellFormats)));
                cols += empty("col", attrs) + misc();
            }
            out += open("cols") + cols + close("cols");
        }
        std::string rows;
        uint32_t row = 0;
        for (uint32_t i = 0, n = below(kMaxRows); i < n; ++i) {
            const uint32_t step = chance(70) ? 1 : 2 + below(3);
            row += step;
            std::string attrs;
            if (step > 1 || chance(70)) attrs += attribute("r", std::to_string(row));
            if (chance(20))
                attrs += attribute("ht", std::to_string(10 + below(30)) + ".25") + attribute("customHeight", "1");
            if (chance(10)) attrs += attribute("hidden", "1");
            if (chance(10))
                attrs += attribute("s", std::to_string(below(kCellFormats))) + attribute("customFormat", "1");
            std::string cells;
            uint32_t column = 0;
            for (uint32_t j = 0, m = below(kMaxCellsPerRow); j < m; ++j) {
                const uint32_t cstep = chance(70) ? 1 : 2 + below(4);
                column += cstep;
                cells += cell(row, column, cstep > 1 || chance(70), sharedCount) + misc();
            }
            rows += element("row", attrs, cells) + misc();
        }
        out += element("sheetData", "", rows);
        if (chance(30)) {
            out += open("mergeCells", attribute("count", "1")) +
                   empty("mergeCell",
                         attribute("ref", "B" + std::to_string(1 + below(5)) + ":C" + std::to_string(6 + below(5)))) +
                   close("mergeCells");
        }
        return out + misc() + close("worksheet") + misc();
    }

    std::string styles() {
        std::string out = prolog() + open("styleSheet", nsDeclaration());
        out += open("numFmts", attribute("count", "2")) +
               empty("numFmt",
                     attribute("numFmtId", "164") + attribute("formatCode", "\"$\"#,##0.00;[Red]-\"$\"#,##0.00")) +
               empty("numFmt", attribute("numFmtId", "165") + attribute("formatCode", "yyyy\"年\"m\"月\"d\"日\"")) +
               close("numFmts");
        out += open("fonts", attribute("count", "2")) +
               element("font", "", empty("sz", attribute("val", "11")) + empty("name", attribute("val", "Calibri"))) +
               element("font", "",
                       empty("b") + empty("color", attribute("rgb", "FFFF0000")) +
                           empty("name", attribute("val", chance(50) ? "Arial" : "宋体 & Co"))) +
               close("fonts");
        out += open("fills", attribute("count", "3")) +
               element("fill", "", empty("patternFill", attribute("patternType", "none"))) +
               element("fill", "", empty("patternFill", attribute("patternType", "gray125"))) +
               element("fill", "",
                       element("patternFill", attribute("patternType", "solid"),
                               empty("fgColor", attribute("rgb", "FFFFFF00")))) +
               close("fills");
        out +=
            open("borders", attribute("count", "1")) +
            element("border", "", empty("left") + empty("right") + empty("top") + empty("bottom") + empty("diagonal")) +
            close("borders");
        static const char *const kXfs[kCellFormats][3] = {
            {"0", "0", "0"}, {"164", "1", "0"}, {"165", "0", "2"}, {"10", "1", "2"}};
        out += open("cellXfs", attribute("count", std::to_string(kCellFormats)));
        for (const auto &xf : kXfs) {
            const std::string attrs = attribute("numFmtId", xf[0]) + attribute("fontId", xf[1]) +
                                      attribute("fillId", xf[2]) + attribute("borderId", "0");
            out += chance(50)
                       ? empty("xf", attrs)
                       : element("xf", attrs + attribute("applyAlignment", "1"),
                                 empty("alignment", attribute("horizontal", "center") + attribute("wrapText", "1")));
        }
        return out + close("cellXfs") + close("styleSheet");
    }

    std::mt19937 rng_;
    std::string prefix_;
};

std::string relationship(const std::string &id, const std::string &kind, const std::string &target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRelNs + "/" + kind + "\" Target=\"" + target + "\"/>";
}

GeneratedPackage Generator::package() {
    GeneratedPackage out;
    out.members.push_back({"[Content_Types].xml",
                           "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                           "content-types\"><Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"});
    out.members.push_back({"_rels/.rels", std::string("<Relationships xmlns=\"") + kPkgRelNs + "\">" +
                                              relationship("rId1", "officeDocument", "xl/workbook.xml") +
                                              "</Relationships>"});
    std::string rels = std::string("<Relationships xmlns=\"") + kPkgRelNs + "\">";
    const uint32_t sharedCount = chance(70) ? 1 + below(kMaxSharedStrings) : 0;
    if (sharedCount) {
        rels += relationship("rIdSs", "sharedStrings", "sharedStrings.xml");
        out.scannedParts.push_back(out.members.size());
        out.members.push_back({"xl/sharedStrings.xml", sharedStrings(sharedCount)});
    }
    rels += relationship("rIdSt", "styles", "styles.xml");
    out.members.push_back({"xl/styles.xml", styles()});

    std::string sheets;
    for (uint32_t i = 0, n = 1 + below(kMaxSheets); i < n; ++i) {
        const std::string id = "rIdS" + std::to_string(i + 1);
        // Names with line ends and tabs in the attribute: normalised to spaces.
        const std::string name = (chance(30) ? "Sheet\r\n" : chance(30) ? "表\t" : "S&<") + std::to_string(i + 1);
        sheets += empty("sheet",
                        attribute("name", name) + attribute("sheetId", std::to_string(i + 1)) + attribute("r:id", id));
        rels += relationship(id, "worksheet", "worksheets/sheet" + std::to_string(i + 1) + ".xml");
        out.scannedParts.push_back(out.members.size());
        out.members.push_back({"xl/worksheets/sheet" + std::to_string(i + 1) + ".xml", worksheet(sharedCount)});
    }
    std::string workbook = prolog() + open("workbook", nsDeclaration());
    if (chance(30)) workbook += empty("workbookPr", attribute("date1904", chance(50) ? "1" : "true"));
    workbook += open("sheets") + sheets + close("sheets") + close("workbook");
    out.members.push_back({"xl/workbook.xml", workbook});
    out.members.push_back({"xl/_rels/workbook.xml.rels", rels + "</Relationships>"});
    return out;
}

}  // namespace

GeneratedPackage randomSpreadsheetMl(uint32_t seed) { return Generator(seed).package(); }

std::string mutateXml(const std::string &xml, uint32_t seed) {
    static const std::string kInserts[] = {"<",
                                           "&",
                                           "\"",
                                           "'",
                                           ">",
                                           "]]>",
                                           "--",
                                           "&#",
                                           "&#x110000;",
                                           "&bogus;",
                                           "<!--",
                                           "<?",
                                           "<![CDATA[",
                                           "/>",
                                           "</",
                                           "=",
                                           "\xFF",
                                           "\xC0\xAF",
                                           "\x80",
                                           "\xED\xA0\x80",
                                           "\x01",
                                           "\x0B",
                                           std::string(1, '\0'),
                                           "\xEF\xBF\xBE",
                                           "\xC2\xA0",
                                           "\xC3\x97",
                                           "\xC2\xB7",
                                           "\xC3\xA9",
                                           "&#x",
                                           "&lt",
                                           "\r",
                                           "\t",
                                           "<?xml ",
                                           "<!DOCTYPE a>",
                                           " a=\"1\"",
                                           ":"};
    std::mt19937 rng(seed);
    auto below = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    std::string out = xml;
    for (size_t edits = 1 + below(3); edits > 0 && !out.empty(); --edits) {
        const size_t at = below(out.size());
        switch (below(6)) {
            case 0:
                out.resize(at);
                break;
            case 1:
                out.erase(at, 1 + below(8));
                break;
            case 2:
                out[at] = static_cast<char>(below(256));
                break;
            case 3:
                out.insert(at, out.substr(below(out.size()), 1 + below(12)));
                break;
            default:
                out.insert(at, kInserts[below(sizeof kInserts / sizeof *kInserts)]);
        }
    }
    return out;
}

}  // namespace readertest
