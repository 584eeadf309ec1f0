// SPDX-License-Identifier: Apache-2.0
// The in-place scanner and expat must see the same document: every fixture,
// every written workbook, random SpreadsheetML in all its spellings and
// mutated parts give the same model (or the same failure) either way.
#include "RandomSpreadsheetMl.h"
#include "ReaderTestFiles.h"
#include "WorkbookDifference.h"

#include "automation/readers/Readers.h"
#include "automation/readers/xlsx/FastXmlScanner.h"
#include "automation/readers/xlsx/XmlStream.h"
#include "automation/readers/xlsx/ZipArchive.h"

#include <QDir>

#include <gtest/gtest.h>
#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <random>

using namespace automation;
using namespace automation::readers;
using namespace automation::readers::xlsx;

namespace {

constexpr uint32_t kRandomPackages = 300;
constexpr uint32_t kMutatedPackages = 250;
// A longer fuzz run on request; the default run stays the same every time.
const char *const kMoreRoundsVariable = "ROWSIFTER_FUZZ_PACKAGES";
constexpr uint32_t kMutationsPerPackage = 4;
constexpr uint32_t kWrittenWorkbooks = 20;

// Sets the path for one scope; the rest of the suite expects it on.
class FastPathSwitch {
public:
    explicit FastPathSwitch(bool on) : was_(fastPathEnabled()) { setFastPathEnabled(on); }
    ~FastPathSwitch() { setFastPathEnabled(was_); }

private:
    bool was_;
};

// Makes every part go through the scan in pieces for one scope.
class InPieces {
public:
    InPieces() { setWholePartLimit(0); }
    ~InPieces() { setWholePartLimit(kMaxWholePartBytes); }
};

struct TwoReads {
    ReadResult fast, expat;
};

TwoReads readBothWays(const std::string &path) {
    TwoReads r;
    {
        FastPathSwitch on(true);
        r.fast = readWorkbookFile(path);
    }
    {
        FastPathSwitch off(false);
        r.expat = readWorkbookFile(path);
    }
    return r;
}

::testing::AssertionResult sameOutcome(const TwoReads &r) {
    if (r.fast.status != r.expat.status)
        return ::testing::AssertionFailure()
               << "fast path: " << readStatusText(r.fast.status) << " (" << r.fast.message
               << "), expat: " << readStatusText(r.expat.status) << " (" << r.expat.message << ")";
    if (r.fast.status != ReadStatus::Ok) return ::testing::AssertionSuccess();
    const std::string d = readertest::firstDifference(*r.fast.workbook, *r.expat.workbook);
    if (!d.empty()) return ::testing::AssertionFailure() << "models differ: " << d;
    return ::testing::AssertionSuccess();
}

// Writes down every event a parse delivers, text joined between elements.
// Text capture is switched on at each element, or once before the parse.
class EventLog : public XmlHandler {
public:
    explicit EventLog(bool captureFromStart = false) : captureFromStart_(captureFromStart) {
        if (captureFromStart) captureText(true);
    }
    void startElement(const char *local, const char **attributes) override {
        flushText();
        log_ += "<";
        log_ += local;
        for (const char **a = attributes; *a; a += 2) log_ += std::string(" ") + a[0] + "=[" + a[1] + "]";
        log_ += ">\n";
        if (!captureFromStart_) captureText(true);
    }
    void endElement(const char *local) override {
        flushText();
        log_ += std::string("</") + local + ">\n";
    }
    void characters(const char *s, int n) override { text_.append(s, static_cast<size_t>(n)); }
    std::string finish() {
        flushText();
        return log_;
    }

private:
    void flushText() {
        if (!text_.empty()) log_ += "text[" + text_ + "]\n";
        text_.clear();
    }
    bool captureFromStart_;
    std::string log_, text_;
};

struct PartParse {
    ReadStatus status = ReadStatus::Unreadable;
    std::string events, message;
};

const char *const kPartName = "part.xml";

PartParse parseOnePart(const std::string &zipPath, bool fast, bool captureFromStart = false) {
    FastPathSwitch path(fast);
    PartParse out;
    ZipArchive zip;
    if (zip.open(zipPath, &out.message) != ReadStatus::Ok) return out;
    EventLog log(captureFromStart);
    out.status = parsePart(zip, kPartName, log, &out.message);
    out.events = log.finish();
    return out;
}

// Compares the two paths on one part. Events are compared only when both
// accept it: before an error each may have reported a different amount.
::testing::AssertionResult partParsesAlike(const readertest::TempFolder &folder, const std::string &xml,
                                           ReadStatus *expatStatus = nullptr, bool captureFromStart = false) {
    const std::string path = folder.path("one-part.zip");
    if (!readertest::writeZip(path, {{kPartName, xml}})) return ::testing::AssertionFailure() << "cannot write zip";
    const PartParse fast = parseOnePart(path, true, captureFromStart);
    const PartParse expat = parseOnePart(path, false, captureFromStart);
    if (expatStatus) *expatStatus = expat.status;
    if ((fast.status == ReadStatus::Ok) != (expat.status == ReadStatus::Ok))
        return ::testing::AssertionFailure()
               << "fast path: " << readStatusText(fast.status) << " (" << fast.message
               << "), expat: " << readStatusText(expat.status) << " (" << expat.message << ")";
    if (fast.status == ReadStatus::Ok && fast.events != expat.events)
        return ::testing::AssertionFailure() << "events differ\nfast path:\n"
                                             << fast.events << "expat:\n"
                                             << expat.events;
    return ::testing::AssertionSuccess();
}

bool scannerTakes(const std::string &xml) { return fastScanSupports(xml.data(), xml.size()); }

// Scans `xml` as a part too large to hold whole is scanned: given piece by
// piece, each piece fed at once, the unconsumed rest given again.
ScanResult scanInPieces(const std::string &xml, size_t piece, XmlHandler &handler) {
    std::string message, pending;
    ChunkedXmlScan scanner(handler, &message);
    size_t consumed = 0;
    for (size_t at = 0; at < xml.size(); at += piece) {
        pending.append(xml, at, piece);
        const ScanResult r = scanner.feed(&pending[0], pending.size(), false, &consumed);
        if (r != ScanResult::Ok || handler.failed()) return r;
        pending.erase(0, consumed);
    }
    return scanner.feed(&pending[0], pending.size(), true, &consumed);
}

// The scan in pieces must give the whole scan's verdict and, when both
// accept, its events, wherever the pieces are cut.
::testing::AssertionResult piecesScanAlike(const std::string &xml, bool captureFromStart = false) {
    std::string copy = xml;
    copy.push_back('\0');
    EventLog whole(captureFromStart);
    std::string message;
    const ScanResult expected = scanXmlInPlace(&copy[0], xml.size(), whole, &message);
    const std::string expectedEvents = whole.finish();
    // Pieces ending on and beside the edges of 16-, 32- and 64-byte vectors too.
    for (size_t piece : {size_t(1), size_t(2), size_t(3), size_t(7), size_t(16), size_t(31), size_t(33), size_t(64),
                         size_t(65), size_t(1000)}) {
        EventLog log(captureFromStart);
        const ScanResult got = scanInPieces(xml, piece, log);
        if (got != expected)
            return ::testing::AssertionFailure() << "pieces of " << piece << ": " << static_cast<int>(got) << " vs "
                                                 << static_cast<int>(expected) << " (" << message << ")";
        const std::string events = log.finish();
        if (expected == ScanResult::Ok && events != expectedEvents)
            return ::testing::AssertionFailure() << "pieces of " << piece << ": events differ\n"
                                                 << events << "whole:\n"
                                                 << expectedEvents;
    }
    return ::testing::AssertionSuccess();
}

TEST(FastPathDifferential, CommittedFixturesReadTheSameBothWays) {
    const QDir dir(QString::fromStdString(readertest::fixture("xlsx")));
    const QStringList files = dir.entryList({"*.xlsx", "*.xlsm"}, QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty());
    size_t readable = 0;
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        const TwoReads r = readBothWays(dir.filePath(name).toStdString());
        EXPECT_TRUE(sameOutcome(r));
        readable += r.expat.status == ReadStatus::Ok;
    }
    EXPECT_GT(readable, 0u);  // not only the damaged ones
}

// Workbooks as libxlsxwriter writes them: shared strings, rich text, formats,
// merges, hidden and chart sheets; inline strings in constant-memory mode.
bool writeFormattedWorkbook(const std::string &path, uint32_t seed, bool constantMemory) {
    std::mt19937 rng(seed);
    auto below = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); };
    lxw_workbook_options options = {};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook *wb = workbook_new_opt(path.c_str(), &options);
    if (!wb) return false;
    lxw_format *bold = workbook_add_format(wb);
    format_set_bold(bold);
    format_set_font_color(bold, 0xFF0000);
    format_set_font_name(bold, "宋体");
    lxw_format *filled = workbook_add_format(wb);
    format_set_pattern(filled, LXW_PATTERN_SOLID);
    format_set_bg_color(filled, 0xFFFF00);
    format_set_border(filled, LXW_BORDER_THIN);
    format_set_num_format(filled, "\"<&>\"#,##0.00;[Red]-#,##0.00");
    format_set_text_wrap(filled);
    lxw_format *date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy\"年\"m\"月\"d\"日\" hh:mm");
    lxw_format *formats[] = {nullptr, bold, filled, date};

    static const char *const kTexts[] = {"plain",     "a<b & c>d",  "\"quoted\" 'single'", "line1\nline2",
                                         "tab\there", "  padded  ", "中文 文本",           "emoji \xF0\x9F\x98\x80",
                                         "]]> end",   "x_x000D_y"};
    lxw_worksheet *data = workbook_add_worksheet(wb, "Data & <more>");
    const uint32_t rows = 5 + below(30);
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < 6; ++c) {
            lxw_format *f = formats[below(4)];
            switch (below(5)) {
                case 0:
                    worksheet_write_string(data, r, c, kTexts[below(10)], f);
                    break;
                case 1:
                    worksheet_write_number(data, r, c, (static_cast<double>(below(100000)) - 50000) / 7.0, f);
                    break;
                case 2:
                    worksheet_write_boolean(data, r, c, below(2), f);
                    break;
                case 3:
                    worksheet_write_formula_str(data, r, c, "=\"a\"&\"<b>\"", f, "a<b>");
                    break;
                default:
                    if (f) worksheet_write_blank(data, r, c, f);
            }
        }
        if (below(4) == 0) worksheet_set_row(data, r, 10 + below(30), nullptr);
    }
    worksheet_set_column(data, 0, 1, 20, nullptr);
    if (!constantMemory) {
        worksheet_merge_range(data, rows + 1, 0, rows + 2, 2, "merged & <tagged>", bold);
        lxw_rich_string_tuple part1 = {nullptr, const_cast<char *>("普通 <")};
        lxw_rich_string_tuple part2 = {bold, const_cast<char *>("红色 &")};
        lxw_rich_string_tuple *rich[] = {&part1, &part2, nullptr};
        worksheet_write_rich_string(data, rows + 3, 0, rich, nullptr);
        lxw_chart *chart = workbook_add_chart(wb, LXW_CHART_COLUMN);
        chart_add_series(chart, nullptr, "='Data & <more>'!$B$1:$B$3");
        chartsheet_set_chart(workbook_add_chartsheet(wb, "Chart1"), chart);
    }
    lxw_worksheet *hidden = workbook_add_worksheet(wb, "第二表");
    worksheet_write_number(hidden, 0, 0, 7, nullptr);
    lxw_datetime when = {2024, 3, 1, 10, 30, 0};
    worksheet_write_datetime(hidden, 1, 1, &when, date);
    worksheet_hide(hidden);
    return workbook_close(wb) == LXW_NO_ERROR;
}

TEST(FastPathDifferential, WrittenWorkbooksReadTheSameBothWays) {
    readertest::TempFolder folder;
    for (uint32_t seed = 0; seed < kWrittenWorkbooks; ++seed) {
        for (bool constantMemory : {false, true}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + (constantMemory ? " constant memory" : ""));
            const std::string path = folder.path("written.xlsx");
            ASSERT_TRUE(writeFormattedWorkbook(path, seed, constantMemory));
            const TwoReads r = readBothWays(path);
            ASSERT_EQ(r.expat.status, ReadStatus::Ok) << r.expat.message;
            EXPECT_TRUE(sameOutcome(r));
        }
    }
}

// Worksheet bodies with local damage the reader now reads leniently, and one
// it still refuses (an unclosed part): both paths must reach the same model,
// or the same refusal.
TEST(FastPathDifferential, LocalDamageReadsAlike) {
    struct Case {
        const char *body;
        ReadStatus status;
    } cases[] = {
        {"<sheetData><row r=\"1\"><c r=\"A1048577\"><v>1</v></c><c><v>2</v></c></row></sheetData>", ReadStatus::Ok},
        {"<sheetData><row r=\"1\"><c r=\"XFE1\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row></sheetData>",
         ReadStatus::Ok},
        {"<sheetData><row r=\"1048577\"><c><v>1</v></c></row><row><c><v>2</v></c></row></sheetData>", ReadStatus::Ok},
        {"<sheetData><row r=\"-3\"><c><v>1</v></c></row></sheetData>", ReadStatus::Ok},
        {"<sheetData><row r=\"0\"><c r=\"A0\"><v>1</v></c></row><row r=\"2\"><c/></row></sheetData>", ReadStatus::Ok},
        {"<sheetData><row r=\"1\"><c r=\"1A\"><v>1</v></c><c><v>2</v></c></row></sheetData>", ReadStatus::Ok},
        {"<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c t=\"s\"><v/></c></row></sheetData>",
         ReadStatus::Ok},
        {"<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData><mergeCells><mergeCell "
         "ref=\"A1:XFE2\"/></mergeCells>",
         ReadStatus::Ok},
        {"<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData></worksheet>trailing junk<x>",
         ReadStatus::Ok},
        {"<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>", ReadStatus::Corrupt},
        {"<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData><!-- a -- b -->", ReadStatus::Corrupt},
        {"<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a]]>b</t></is></c></row></sheetData>",
         ReadStatus::Corrupt},
        {"<sheetData><row r=\"1\"><c r=\"A1\"><v>&#0;</v></c></row></sheetData>", ReadStatus::Corrupt},
        // Row tags: each attribute once, whatever the shape around it.
        {"<sheetData><row r=\"1\" r=\"2\"><c><v>1</v></c></row></sheetData>", ReadStatus::Corrupt},
        {"<sheetData><row r=\"1\" spans=\"1:2\" spans=\"1:2\"><c><v>1</v></c></row></sheetData>", ReadStatus::Corrupt},
        {"<sheetData><row r=\"1\" x:y=\"1\" x:y=\"2\"/></sheetData>", ReadStatus::Corrupt},
        {"<sheetData><row r=\"1\"s=\"1\"><c><v>1</v></c></row></sheetData>", ReadStatus::Corrupt},
        {"<sheetData><row r=\"2\" spans=\"1:2\" s=\"1\" customFormat=\"1\" ht=\"30.5\" hidden=\"1\" "
         "x14ac:dyDescent=\"0.25\"><c><v>1</v></c></row><row r=\"4\" hidden=\"true\"/><row ht=\"12\" "
         "customHeight=\"1\"><c><v>2</v></c></row></sheetData>",
         ReadStatus::Ok},
        {"<sheetData><row r=\"1\" ht=\"1&#48;\" hidden=\"&#49;\"><c><v>1</v></c></row><row\tr=\"2\"/><row r = "
         "\"3\" /><row r='5'><c><v>2</v></c></row></sheetData>",
         ReadStatus::Ok},
    };
    readertest::TempFolder folder;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        readertest::HandPackage p;
        p.sheets.push_back({"S", c.body});
        const std::string path = folder.path("local-damage.xlsx");
        ASSERT_TRUE(readertest::writeHandPackage(path, p));
        const TwoReads r = readBothWays(path);
        EXPECT_EQ(r.expat.status, c.status) << r.expat.message;
        EXPECT_TRUE(sameOutcome(r));
    }
}

// A part with a document type goes to expat on both paths, which reads it
// without its entities; the model must not depend on the switch.
TEST(FastPathDifferential, DocumentTypeReadsAlike) {
    readertest::TempFolder folder;
    readertest::HandPackage p;
    p.sheets.push_back({"S", "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>"});
    p.edit = [](std::vector<readertest::ZipMember> &m) {
        std::string &sheet = readertest::findMember(m, "data/part1.xml")->second;
        sheet.insert(sheet.find("?>") + 2, "<!DOCTYPE worksheet [<!ENTITY e \"v\">]>");
        sheet.replace(sheet.find("<v>1</v>"), 8, "<v>1&e;</v>");
    };
    const std::string path = folder.path("doctype.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(path, p));
    const TwoReads r = readBothWays(path);
    EXPECT_EQ(r.expat.status, ReadStatus::Ok) << r.expat.message;
    EXPECT_TRUE(sameOutcome(r));
}

// Markup at the edges of the XML rules, each once accepted or read
// differently by one path alone.
TEST(FastPathDifferential, MarkupEdgeCasesParseAlike) {
    struct Case {
        const char *xml;
        bool wellFormed;
    } cases[] = {
        {"<a b=\"x\r\ny\"/>", true},  // CR LF in a value is one space
        {"<a b='x\r\r\ny\tz\n'/>", true},
        {"<a b=\"x&#13;&#10;y\"/>", true},  // referenced line ends stay
        {"<a>x\r\ny\rz</a>", true},
        {"<a>&#0000000000065;&#x000000000042;</a>", true},  // leading zeros
        {"<a>&#X41;</a>", false},
        {"<a>&#65</a>", false},
        {"<a>&amp</a>", false},
        {"<a>&#x110000;</a>", false},
        {"<a>&#xD800;</a>", false},
        {"<a>]]></a>", false},
        {"<a>x]]y>z]></a>", true},
        {"<a><!-- a--b --></a>", false},
        {"<a><!-- a ---></a>", false},
        {"<a><!----><!--- x --></a>", true},
        {"<a><?xml x?></a>", false},
        {"<a><?XmL x?></a>", false},
        {"<a><?xml-stylesheet x?><?p?><?p-q\r\n?></a>", true},
        {"<a><? x?></a>", false},
        {"<a><?p\"x?></a>", false},
        {" <?xml version=\"1.0\"?><a/>", false},  // the declaration only at the start
        {"<!--c--><?xml version=\"1.0\"?><a/>", false},
        {"<?xml version=\"1.0\"?><?xml version=\"1.0\"?><a/>", false},
        {"<?xml version=\"1.0\" standalone=\"maybe\"?><a/>", false},
        {"<?xml version=\"1.0\"encoding=\"UTF-8\"?><a/>", false},
        {"<?xml standalone=\"yes\" version=\"1.0\"?><a/>", false},
        {"<?xml version=\"1 0\"?><a/>", false},
        {"<?xml version=\"1.0\" foo=\"x\"?><a/>", false},
        {"<?xml\tversion = '1.0'  encoding = \"utf-8\" standalone='no' ?>\r\n<a/>", true},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?><a/>", true},
        {"<cr=\"1\"/>", false},  // no space after the name
        {"<a b=\"1\"c=\"2\"/>", false},
        {"<a&b/>", false},
        {"<a\"/>", false},
        {"<a 1b=\"1\"/>", false},
        {"<a -b=\"1\"/>", false},
        {"<a.b-c_d e.f='1' g:h='2'/>", true},
        {"<:a b:='1'/>", true},
        {"<\xC3\xA9t\xC3\xA9 \xC3\x80"
         "b\xC2\xB7"
         "c='1'/>",
         true},  // Latin-1 letters, middle dot inside
        {"<a\xC2\xA0"
         "b/>",
         false},  // no-break space
        {"<a\xC3\x97/>", false},
        {"<\xC2\xB7"
         "a/>",
         false},
        {"<a \xC3\xB7='1'/>", false},
        {"<\xE4\xB8\xAD\xE6\x96\x87 \xE5\x80\xBC='1'/>", true},
        {"<a xmlns=\"x\" xmlns=\"y\"/>", false},  // duplicate declarations
        {"<a xmlns:p=\"x\" p:b=\"1\" b=\"2\"/>", true},
        {"<a b=\"1\" b=\"2\"/>", false},
        {"<a/ >", false},
        {"<a><b></b ></a\n>", true},
        {"<a></a><![CDATA[x]]>", true},  // after the document: not read
        {"<a></a>&bogus;<<<", true},
        {"<a><b></a>", false},
        {"<a/><!-- tail --><?p tail?>\r\n", true},
        {"<a/>x", true},
        {"<a/>\x01\xFF", true},  // bad bytes after the document
        {"<a>\x01</a>", false},
        {"<a>\xC3</a>", false},
        {"<a><![CDATA[x]]]><![CDATA[\r\n<&>]]></a>", true},
        {"<a>\xF0\x9F\x98\x80&#x1F600;&#128512;</a>", true},
    };
    readertest::TempFolder folder;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xml);
        ASSERT_TRUE(scannerTakes(c.xml));  // else this would only test expat against itself
        ReadStatus expat = ReadStatus::Ok;
        EXPECT_TRUE(partParsesAlike(folder, c.xml, &expat));
        EXPECT_TRUE(piecesScanAlike(c.xml));
        EXPECT_EQ(expat == ReadStatus::Ok, c.wellFormed);
    }
}

// Bytes that are no UTF-8 stop the scan where they stand, in whatever piece
// they arrive: a piece given again must still hold them, not the terminator
// the scan put in their place.
TEST(FastPathDifferential, DamagedBytesStayDamagedAcrossPieces) {
    for (const char *xml : {"<a><!-- n\xCDte --><b/></a>", "<a>x\xCDy<b/></a>", "<a b='\xCD'><c/></a>",
                            "<a><![CDATA[\xCD]]><b/></a>", "<a><?pi \xCD?><b/></a>"}) {
        SCOPED_TRACE(xml);
        EXPECT_TRUE(piecesScanAlike(xml));
        std::string copy = xml;
        copy.push_back('\0');
        EventLog log(false);
        std::string message;
        EXPECT_EQ(scanXmlInPlace(&copy[0], std::strlen(xml), log, &message), ScanResult::Corrupt);
    }
}

// A package whose first sheet holds `rows` rows: read whole, then in pieces,
// the fast path agrees with expat both times.
void expectReadsAlikeWholeAndInPieces(const readertest::HandPackage &package, size_t rows) {
    readertest::TempFolder folder;
    const std::string path = folder.path("sheet.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(path, package));
    const TwoReads whole = readBothWays(path);
    ASSERT_EQ(whole.fast.status, ReadStatus::Ok) << whole.fast.message;
    EXPECT_TRUE(sameOutcome(whole));
    EXPECT_EQ(whole.fast.workbook->sheet(0).rows().size(), rows);
    InPieces pieces;
    EXPECT_TRUE(sameOutcome(readBothWays(path)));
    // With every piece's rows decoded ahead, where they can be.
    readertest::DecodeAheadSwitch always(DecodeAhead::Always);
    EXPECT_TRUE(sameOutcome(readBothWays(path)));
}

// The scan takes whole vectors of bytes at a time: bytes it must stop at
// (references, line ends, quotes, markup, bytes no XML may hold) are put at
// every place within and across the vectors' edges, in values and in text.
TEST(FastPathDifferential, MarkupStraddlingVectorEdgesParsesAlike) {
    constexpr size_t kWidest = 64;
    readertest::TempFolder folder;
    for (size_t width = 0; width <= 2 * kWidest + 8; ++width) {
        const std::string pad(width, 'x');
        const std::string wellFormed[] = {
            "<a b=\"" + pad + "&amp;\t\" c='" + pad + "\r\n'>" + pad + "&lt;\r\n\xE4\xB8\xAD\xC3\xA9" + pad + "]]<b/>" +
                pad + "&#x4E2D;</a>",
            "<" + pad + "a " + pad + "b=\"1\"/>",
            "<a>" + pad + "<![CDATA[" + pad + "\r]]><!--" + pad + "--></a>",
        };
        const std::string malformed[] = {
            "<a>" + pad + "\x01</a>",
            "<a>" + pad + "]]></a>",
            "<a b=\"" + pad + "<\"/>",
            "<a>" + pad + "\xC3</a>",
        };
        for (const std::string &xml : wellFormed) {
            SCOPED_TRACE(xml);
            ReadStatus expat = ReadStatus::Unreadable;
            EXPECT_TRUE(partParsesAlike(folder, xml, &expat));
            EXPECT_EQ(expat, ReadStatus::Ok);
            EXPECT_TRUE(piecesScanAlike(xml));
        }
        for (const std::string &xml : malformed) {
            SCOPED_TRACE(xml);
            ReadStatus expat = ReadStatus::Ok;
            EXPECT_TRUE(partParsesAlike(folder, xml, &expat));
            EXPECT_NE(expat, ReadStatus::Ok);
            EXPECT_TRUE(piecesScanAlike(xml));
        }
    }
}

// The same for the cells a sheet's decoder reads straight from the bytes:
// values of every length up to a few vectors, each ending in a byte that
// makes the decoder look closer, read whole, in pieces and by expat alike.
TEST(FastPathDifferential, CellValuesAcrossVectorEdgesReadAlike) {
    const char *const endings[] = {"", "&amp;", "\r\n", ">", "\"", "\t", "\xE4\xB8\xAD"};
    // Style numbers after leading zeros, some written as references, some
    // with white space or other bytes the decoder must look at closer.
    const char *const styleEndings[] = {"1", "&#49;", "&#50;", "2\t", "1\r\n", "2 ", "&amp;", "\xE4\xB8\xAD", ">"};
    std::string rows;
    int row = 0;
    for (size_t width = 0; width <= 140; ++width) {
        for (const char *ending : endings) {
            const std::string n = std::to_string(++row);
            const std::string text = std::string(width, 'v') + ending;
            rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"str\"><v>" + text + "</v></c><c r=\"B" + n +
                    "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c><c r=\"C" + n + "\" s=\"0\"><v>" +
                    std::string(width % 15 + 1, '7') + "</v></c>";
            const char *const styleEnding = styleEndings[row % std::size(styleEndings)];
            rows += "<c r=\"D" + n + "\" s=\"" + std::string(width % 19, '0') + styleEnding +
                    "\"><v>1</v></c><c r=\"E" + n + "\" t=\"&#115;\"><v>0</v></c></row>";
        }
    }
    readertest::HandPackage package;
    package.sheets.push_back({"Edges", "<sheetData>" + rows + "</sheetData>"});
    package.styles =
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><numFmts "
        "count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.000\"/></numFmts><fonts count=\"1\"><font/>"
        "</fonts><fills count=\"1\"><fill/></fills><borders count=\"1\"><border/></borders><cellXfs "
        "count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\" applyNumberFormat=\"1\"/><xf "
        "numFmtId=\"10\" applyNumberFormat=\"1\"/></cellXfs></styleSheet>";
    package.sharedStrings =
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>shared</t></si></sst>";
    expectReadsAlikeWholeAndInPieces(package, static_cast<size_t>(row));
}

// A handler that wants text from the very start gets it on both paths.
TEST(FastPathDifferential, TextCaptureSetBeforeTheParseHoldsOnBothPaths) {
    readertest::TempFolder folder;
    EXPECT_TRUE(partParsesAlike(folder, "<a>first<b/>second</a>", nullptr, true));
    EXPECT_TRUE(piecesScanAlike("<a>first<b/>second<!-- < -->third<![CDATA[<x>]]></a>", true));
}

TEST(FastPathDifferential, RandomPackagesReadTheSameBothWays) {
    readertest::TempFolder folder;
    uint32_t accepted = 0, partsScanned = 0, partsTotal = 0;
    for (uint32_t seed = 0; seed < kRandomPackages; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const readertest::GeneratedPackage p = readertest::randomSpreadsheetMl(seed);
        const std::string path = folder.path("random.xlsx");
        ASSERT_TRUE(readertest::writeZip(path, p.members));
        const TwoReads r = readBothWays(path);
        EXPECT_TRUE(sameOutcome(r));
        accepted += r.expat.status == ReadStatus::Ok;
        for (size_t i : p.scannedParts) {
            SCOPED_TRACE(p.members[i].first);
            ++partsTotal;
            partsScanned += scannerTakes(p.members[i].second);
            ReadStatus expat = ReadStatus::Ok;
            EXPECT_TRUE(partParsesAlike(folder, p.members[i].second, &expat));
            EXPECT_EQ(expat, ReadStatus::Ok);  // the generator writes only well-formed parts
            if (seed % 10 == 0) {
                EXPECT_TRUE(piecesScanAlike(p.members[i].second));
            }
        }
    }
    // The generated workbooks are meant to be valid, and the scanner must really have run.
    EXPECT_GE(accepted, kRandomPackages * 9 / 10);
    EXPECT_EQ(partsScanned, partsTotal);
}

// Parts too large to inflate whole are scanned in pieces as they inflate:
// the same models, and the same failures, as expat gives.
TEST(FastPathDifferential, PartsScannedInPiecesReadTheSameAsWithExpat) {
    InPieces pieces;
    readertest::TempFolder folder;
    for (uint32_t seed = 0; seed < kRandomPackages; seed += 3) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        // Every other package with its rows decoded ahead where they can be.
        readertest::DecodeAheadSwitch ahead(seed % 2 ? DecodeAhead::Always : DecodeAhead::WhenBehind);
        readertest::GeneratedPackage p = readertest::randomSpreadsheetMl(seed);
        const std::string path = folder.path("random.xlsx");
        ASSERT_TRUE(readertest::writeZip(path, p.members));
        EXPECT_TRUE(sameOutcome(readBothWays(path)));
        // And with one part damaged.
        const size_t target = p.scannedParts[seed % p.scannedParts.size()];
        p.members[target].second = readertest::mutateXml(p.members[target].second, seed);
        ASSERT_TRUE(readertest::writeZip(path, p.members));
        EXPECT_TRUE(sameOutcome(readBothWays(path)));
    }
}

// A sheet of several pieces' size, with a comment and a text each longer
// than a piece: scanned in pieces it reads as expat reads it.
TEST(FastPathDifferential, LongSheetsScannedInPiecesReadTheSameAsWithExpat) {
    InPieces pieces;
    std::string rows;
    for (int r = 1; r <= 40000; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"inlineStr\"><is><t>name &amp; " + n +
                "</t></is></c><c r=\"B" + n + "\"><v>" + n + ".5</v></c></row>";
        if (r == 20000) rows += "<!--" + std::string(3u << 20, '<') + "-->";
        if (r == 30000)
            rows += "<row r=\"30001\"><c r=\"A30001\" t=\"inlineStr\"><is><t>" + std::string(3u << 20, 'x') +
                    "</t></is></c></row>";
    }
    readertest::HandPackage package;
    package.sheets.push_back({"Long", "<sheetData>" + rows + "</sheetData>"});
    readertest::TempFolder folder;
    const std::string path = folder.path("long.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(path, package));
    const TwoReads r = readBothWays(path);
    EXPECT_EQ(r.fast.status, ReadStatus::Ok);
    EXPECT_TRUE(sameOutcome(r));
}

// Sheets and shared strings in the shapes the direct decoders take, mixed
// with shapes they leave to the events, long enough that the pieces cut
// through every kind of cell and item: read whole, in pieces and by expat alike.
TEST(FastPathDifferential, DecodedCellsAndItemsReadTheSameWholeInPiecesAndWithExpat) {
    std::string items, rows;
    const int kItems = 30000;
    int shared = kItems;
    for (int i = 0; i < kItems; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 7) {
            case 0:
                items += "<si><t>plain " + n + "</t></si>";
                break;
            case 1:
                items += "<si><t xml:space=\"preserve\"> a&amp;b&#x4E2D; " + n + "\r\n</t></si>\n";
                break;
            case 2:
                items += "<si><t>x&lt;" + n + "</t></si>";  // decoded after a decoded one
                break;
            case 3:
                items += "<si><r><rPr><b/></rPr><t>rich " + n + "</t></r><r><t> run</t></r></si>";
                break;
            case 4:
                items += "<si><t>phon " + n + "</t><rPh sb=\"0\" eb=\"1\"><t>x</t></rPh></si>";
                break;
            case 5:  // a run of items that starts decoded
                items += "<!-- between --><si><t>start&amp;" + n + "</t></si> <si><t>y&amp;</t></si><si><t/></si>";
                shared += 2;
                break;
            default:
                items += "<si>\n  <t>spaced " + n + "</t>\n</si><si></si>";
                ++shared;
                break;
        }
    }
    for (int r = 1; r <= 40000; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\" spans=\"1:4\"><c r=\"A" + n + "\" t=\"s\"><v>" + std::to_string(r % shared) +
                "</v></c><c r=\"B" + n + "\" s=\"0\"><v>" + n + ".25</v></c>";
        if (r % 3 == 0) rows += "<c r=\"C" + n + "\" t=\"inlineStr\"><is><t>in &amp; " + n + "</t></is></c>";
        if (r % 5 == 0) rows += "<c r=\"D" + n + "\" t=\"str\"><f>A1&amp;\"x\"</f><v>v&gt;" + n + "</v></c>";
        rows += "</row>";
    }
    readertest::HandPackage package;
    package.sharedStrings =
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + items + "</sst>";
    package.sheets.push_back({"Decoded", "<sheetData>" + rows + "</sheetData>"});
    expectReadsAlikeWholeAndInPieces(package, 40000);
}

// A long sheet of the rows decoded ahead, with now and then a row that is
// not (a formula, a text of its own, a row numbered from the one before, a
// comment), and rows outside sheetData: whether a piece is decoded ahead or
// scanned, and wherever the pieces are cut, it reads as expat reads it.
TEST(FastPathDifferential, RowsDecodedAheadReadAsScanned) {
    std::string items;
    for (int i = 0; i < 50; ++i) items += "<si><t>text " + std::to_string(i) + "</t></si>";
    std::string rows;
    const int kRows = 60000;
    for (int r = 1; r <= kRows; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\" spans=\"1:4\"" + (r % 7 == 0 ? " ht=\"21\" customHeight=\"1\"" : "") +
                (r % 11 == 0 ? " s=\"1\" customFormat=\"1\"" : "") + "><c r=\"A" + n + "\" t=\"s\"><v>" +
                std::to_string(r % 53) + "</v></c><c r=\"B" + n + "\" s=\"1\"><v>" + n + ".75</v></c>" +
                (r % 3 ? "<c r=\"C" + n + "\" s=\"1\"/>" : "") + "</row>" + (r % 13 == 0 ? "\n" : "");
        if (r % 9001 == 0) rows += "<row r=\"" + std::to_string(++r) + "\"><c r=\"A1\"><f>1+1</f><v>2</v></c></row>";
        if (r % 12007 == 0)
            rows += "<row><c r=\"B" + std::to_string(++r) + "\" t=\"inlineStr\"><is><t>own</t></is></c></row>";
    }
    // A comment sends the read of its sheet back to the events, after pieces were taken.
    const size_t middle = rows.find("</row>", rows.size() / 2) + 6;
    const std::string noted =
        rows.substr(0, middle) + "<!-- <row r=\"1\"><c r=\"A1\"><v>1</v></c></row> -->" + rows.substr(middle);
    readertest::HandPackage package;
    package.sharedStrings =
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + items + "</sst>";
    package.sheets.push_back({"Ahead", "<sheetData>" + rows + "</sheetData>"});
    package.sheets.push_back({"Noted", "<sheetData>" + noted + "</sheetData>"});
    // Rows outside sheetData are no rows of the sheet, whoever decodes them.
    package.sheets.push_back({"Loose", rows.substr(0, rows.find("</row>", 4000) + 6)});
    readertest::TempFolder folder;
    const std::string path = folder.path("ahead.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(path, package));
    InPieces pieces;
    for (DecodeAhead when : {DecodeAhead::Always, DecodeAhead::WhenBehind}) {
        readertest::DecodeAheadSwitch ahead(when);
        const uint64_t takenBefore = piecesTakenDecoded();
        const TwoReads r = readBothWays(path);
        ASSERT_EQ(r.fast.status, ReadStatus::Ok) << r.fast.message;
        EXPECT_TRUE(sameOutcome(r));
        if (when == DecodeAhead::Always) {
            EXPECT_GT(piecesTakenDecoded(), takenBefore);
        }
    }
}

// Shared strings decoded ahead: plain items with escapes, references, kept
// spaces, empty ones and one past the length a cell holds, between items the
// item reader leaves to the events (rich, phonetic, spaced out, prefixed).
TEST(FastPathDifferential, ItemsDecodedAheadReadAsScanned) {
    std::string items;
    int count = 0;
    for (int i = 0; i < 20000; ++i, ++count) {
        const std::string n = std::to_string(i);
        switch (i % 11) {
            case 0:
                items += "<si><t>a_x000D_b&amp;" + n + "</t></si>";
                break;
            case 1:
                items += "<si><t xml:space=\"preserve\">  " + n + " </t></si>";
                break;
            case 2:
                items += "<si></si><si><t/></si>";
                ++count;
                break;
            case 3:
                if (i % 2000 == 3)
                    items += "<si><t>" + std::string(40000, 'x') + "</t></si>";
                else
                    items += "<si><t>&#x4E2D;" + n + "</t></si>";
                break;
            case 4:
                if (i % 1000 == 620)
                    items += "<si><r><t>rich " + n + "</t></r></si>";
                else if (i % 1000 == 631)
                    items += "<si><t>p</t><rPh sb=\"0\" eb=\"1\"><t>x</t></rPh></si>";
                else if (i % 1000 == 642)
                    items += "<x:si><x:t>prefixed</x:t></x:si>";
                else
                    items += "<si>\n<t>spaced " + n + "</t>\n</si>";
                break;
            default:
                items += "<si><t>plain " + n + "</t></si>";
                break;
        }
    }
    std::string rows;
    for (int r = 1; r <= 2000; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"s\"><v>" + std::to_string(r * 7 % count) +
                "</v></c><c r=\"B" + n + "\" t=\"inlineStr\"><is><t>own</t></is></c></row>";
    }
    readertest::HandPackage package;
    package.sharedStrings =
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
        items + "</sst>";
    package.sheets.push_back({"Items", "<sheetData>" + rows + "</sheetData>"});
    readertest::TempFolder folder;
    const std::string path = folder.path("items.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(path, package));
    InPieces pieces;
    readertest::DecodeAheadSwitch always(DecodeAhead::Always);
    const uint64_t takenBefore = piecesTakenDecoded();  // the rows hold texts of their own: only items count
    const TwoReads r = readBothWays(path);
    ASSERT_EQ(r.fast.status, ReadStatus::Ok) << r.fast.message;
    EXPECT_EQ(r.fast.workbook->strings().size(), static_cast<size_t>(count) + 2000u);
    EXPECT_TRUE(sameOutcome(r));
    // Every text, not only those the cells show.
    ASSERT_EQ(r.fast.workbook->strings().size(), r.expat.workbook->strings().size());
    for (uint32_t i = 0; i < r.fast.workbook->strings().size(); ++i)
        ASSERT_EQ(r.fast.workbook->strings().at(i), r.expat.workbook->strings().at(i)) << "text " << i;
    EXPECT_GT(piecesTakenDecoded(), takenBefore);
}

// A stored part reaches the parse in pieces of a fixed size: one cut just
// inside an item that holds another item. The piece decoded ahead from the
// inner item on is not taken there, where the events are within the outer one.
TEST(FastPathDifferential, ItemsDecodedAheadAreTakenOnlyBetweenItems) {
    constexpr size_t kStoredPieceBytes = 256 * 1024;  // what the archive reads a stored part in
    std::string part =
        "<?xml version=\"1.0\"?><sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    for (int i = 0; part.size() < kStoredPieceBytes - 100; ++i)
        part += "<si><t>plain " + std::to_string(i) + "</t></si>";
    part +=
        "<si><r><t>" + std::string(kStoredPieceBytes + 20 - part.size(), 'a') + "</t></r><si><t>inner</t></si></si>";
    for (int i = 0; i < 100; ++i) part += "<si><t>after " + std::to_string(i) + "</t></si>";
    part += "</sst>";
    readertest::HandPackage package;
    package.sharedStrings = "<si><t>placeholder</t></si>";
    package.sheets.push_back({"S", "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row></sheetData>"});
    package.edit = [&](std::vector<readertest::ZipMember> &members) {
        readertest::findMember(members, "xl/strings.xml")->second = part;
    };
    readertest::TempFolder folder;
    const std::string path = folder.path("stored.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(path, package));
    {
        int error = 0;
        zip_t *zip = zip_open(path.c_str(), 0, &error);
        ASSERT_NE(zip, nullptr);
        const zip_int64_t index = zip_name_locate(zip, "xl/strings.xml", 0);
        ASSERT_GE(index, 0);
        ASSERT_EQ(zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0), 0);
        ASSERT_EQ(zip_close(zip), 0);
    }
    InPieces pieces;
    readertest::DecodeAheadSwitch always(DecodeAhead::Always);
    const uint64_t takenBefore = piecesTakenDecoded();
    const TwoReads r = readBothWays(path);
    ASSERT_EQ(r.fast.status, ReadStatus::Ok) << r.fast.message;
    EXPECT_TRUE(sameOutcome(r));
    ASSERT_EQ(r.fast.workbook->strings().size(), r.expat.workbook->strings().size());
    for (uint32_t i = 0; i < r.fast.workbook->strings().size(); ++i)
        ASSERT_EQ(r.fast.workbook->strings().at(i), r.expat.workbook->strings().at(i)) << "text " << i;
    EXPECT_GT(piecesTakenDecoded(), takenBefore);  // the first piece was taken
}

TEST(FastPathDifferential, MutatedPartsAreNeverAcceptedByOnePathAlone) {
    const uint32_t packages = std::max<uint32_t>(kMutatedPackages, qEnvironmentVariableIntValue(kMoreRoundsVariable));
    readertest::TempFolder folder;
    std::vector<std::string> disagreements;
    uint32_t expatRejected = 0, bothAccepted = 0;
    for (uint32_t seed = 0; seed < packages; ++seed) {
        readertest::GeneratedPackage p = readertest::randomSpreadsheetMl(1000000 + seed);
        for (uint32_t m = 0; m < kMutationsPerPackage; ++m) {
            const uint32_t mutationSeed = seed * kMutationsPerPackage + m;
            const size_t target = p.scannedParts[mutationSeed % p.scannedParts.size()];
            std::vector<readertest::ZipMember> members = p.members;
            members[target].second = readertest::mutateXml(members[target].second, mutationSeed);
            const std::string where = "seed " + std::to_string(seed) + " mutation " + std::to_string(mutationSeed) +
                                      " in " + members[target].first + ": ";

            ReadStatus expat = ReadStatus::Ok;
            const ::testing::AssertionResult part = partParsesAlike(folder, members[target].second, &expat);
            if (!part) disagreements.push_back(where + part.message());
            if (seed % 5 == 0 && scannerTakes(members[target].second)) {
                const ::testing::AssertionResult pieces = piecesScanAlike(members[target].second);
                if (!pieces) disagreements.push_back(where + "in pieces: " + pieces.message());
            }
            expatRejected += expat != ReadStatus::Ok;

            const std::string path = folder.path("mutated.xlsx");
            ASSERT_TRUE(readertest::writeZip(path, members));
            const TwoReads r = readBothWays(path);
            const ::testing::AssertionResult whole = sameOutcome(r);
            if (!whole) disagreements.push_back(where + whole.message());
            bothAccepted += r.expat.status == ReadStatus::Ok && r.fast.status == ReadStatus::Ok;
        }
    }
    for (const std::string &d : disagreements) ADD_FAILURE() << d;
    // Both kinds of outcome must occur, or the mutations test nothing.
    const uint32_t mutations = packages * kMutationsPerPackage;
    EXPECT_GT(expatRejected, mutations / 2);
    EXPECT_GT(bothAccepted, mutations / 40);
}

}  // namespace
