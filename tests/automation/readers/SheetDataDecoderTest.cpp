// SPDX-License-Identifier: Apache-2.0
// The sheetData decoder: what it passes on, what it leaves to the events, and
// that a part cut anywhere reads as the part whole.
#include "ReaderTestFiles.h"

#include "automation/readers/Readers.h"
#include "automation/readers/xlsx/SheetDataDecoder.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace automation;
using namespace automation::readers;
using namespace automation::readers::xlsx;

namespace {

using Result = RawContentReader::Result;

// Writes every call down as a line.
class RecordingSink : public SheetDataSink {
public:
    std::vector<std::string> events;
    int refusals = 0;

    bool row(const RowMarkup &r) override {
        events.push_back("row r=" + text(r.r) + " ht=" + text(r.ht) + " s=" + text(r.s) +
                         " customFormat=" + text(r.customFormat) + " hidden=" + text(r.hidden));
        return refusals == 0;
    }
    // A reference or index the decoder read is written back as the text it read it from.
    bool cell(const CellMarkup &c) override {
        const std::string r = c.addressed ? "'" + columnLetters(c.column) + std::to_string(c.row) + "'" : text(c.r);
        const std::string s = c.styled ? "'" + std::to_string(c.styleValue) + "'" : text(c.s);
        std::string e = "c r=" + r + " s=" + s + " t=" + text(c.t);
        if (c.hasValue) e += " v=[" + std::string(c.value) + "]";
        if (c.hasFormula) e += " f=[" + std::string(c.formula) + "]";
        events.push_back(e);
        return refusals == 0;
    }
    void refuse() override { ++refusals; }

private:
    static std::string text(const char *v) { return v ? std::string("'") + v + "'" : "-"; }
    static std::string columnLetters(uint32_t column) {
        std::string letters;
        for (; column > 0; column = (column - 1) / 26)
            letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
        return letters;
    }
};

struct Decoded {
    Result result;
    size_t stoppedAt;  // offset of `p` when decoding ended
    std::vector<std::string> events;
    int refusals;
};

Decoded decodeWhole(const std::string &content) {
    RecordingSink sink;
    SheetDataDecoder decoder(sink);
    const char *p = content.data();
    const Result r = decoder.read(p, content.data() + content.size(), true);
    return Decoded{r, static_cast<size_t>(p - content.data()), sink.events, sink.refusals};
}

// As the scan in pieces gives it: up to `cut` first, then the rest with what was left.
Decoded decodeCut(const std::string &content, size_t cut) {
    RecordingSink sink;
    SheetDataDecoder decoder(sink);
    const char *p = content.data();
    Result r = decoder.read(p, content.data() + cut, false);
    if (r == Result::More) r = decoder.read(p, content.data() + content.size(), true);
    return Decoded{r, static_cast<size_t>(p - content.data()), sink.events, sink.refusals};
}

const char *const kEnd = "</sheetData>";

TEST(SheetDataDecoder, PassesOnRowsAndCellsAsWritten) {
    const std::string content =
        "<row r=\"1\" spans=\"1:3\" ht=\"20.5\" customHeight=\"1\" x14ac:dyDescent=\"0.25\">"
        "<c r=\"A1\" s=\"2\" t=\"s\"><v>17</v></c>"
        "<c r=\"B1\"><f>SUM(A1:A3)&amp;\"x\"</f><v>6</v></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> a&lt;b </t></is></c>"
        "<c r='D1' s='3'/>"
        "<c r=\"E1\" t=\"str\"><f/><v/></c>"
        "</row>\n  "
        "<row r=\"2\" s=\"4\" customFormat=\"1\" hidden=\"true\"/>"
        "<x:row r=\"3\"><x:c r=\"A3\"><x:v>1.5e3</x:v></x:c></x:row>"
        "<row><c r=\" A\tB\r\n\"><v>a&#x4E2D;&#20013;\r\nb</v></c ></row >";
    const Decoded d = decodeWhole(content + kEnd);
    EXPECT_EQ(d.result, Result::Done);
    EXPECT_EQ(d.stoppedAt, content.size());  // at the '<' of the end tag
    EXPECT_EQ(d.refusals, 0);
    const std::vector<std::string> expected = {
        "row r='1' ht='20.5' s=- customFormat=- hidden=-",
        "c r='A1' s='2' t='s' v=[17]",
        "c r='B1' s=- t=- v=[6] f=[SUM(A1:A3)&\"x\"]",
        "c r='C1' s=- t='inlineStr' v=[ a<b ]",
        "c r='D1' s='3' t=-",
        "c r='E1' s=- t='str' v=[] f=[]",
        "row r='2' ht=- s='4' customFormat='1' hidden='true'",
        "row r='3' ht=- s=- customFormat=- hidden=-",
        "c r='A3' s=- t=- v=[1.5e3]",
        "row r=- ht=- s=- customFormat=- hidden=-",
        // Values normalised as an XML processor must: white space in an
        // attribute becomes spaces, CR LF in text one line feed.
        "c r=' A B ' s=- t=- v=[a\xE4\xB8\xAD\xE4\xB8\xAD\nb]",
    };
    EXPECT_EQ(d.events, expected);
}

TEST(SheetDataDecoder, LeavesWhatItDoesNotTakeToTheEvents) {
    const char *const refused[] = {
        "<!-- a comment -->",
        "<row><c><v><![CDATA[1]]></v></c></row>",
        "<?pi data?>",
        "<row><c t=\"inlineStr\"><is><r><t>rich</t></r></is></c></row>",
        "<row><c t=\"inlineStr\"><is><t>a</t><rPh sb=\"0\" eb=\"1\"><t>b</t></rPh></is></c></row>",
        "<row><c t=\"inlineStr\"><is><t>a</t><t>b</t></is></c></row>",
        "<row><c><extLst/></c></row>",
        "<row><c><v>1</v></c>text</row>",
        "<mergeCell ref=\"A1:B2\"/>",
        "<row><row/></row>",
        "<row><c r=\"A1\" r=\"B1\"/></row>",
        "<row><c r=\"A1\"s=\"1\"/></row>",
        "<row><c r=\"A&bogus;1\"/></row>",
        "<row><c r=\"A<1\"/></row>",
        "<row><c><v>a]]>b</v></c></row>",
        "<row><c><v>&#0;</v></c></row>",
        "<row><c><v>1</x></c></row>",
        "<row><c><v>1</v></row>",
        "<row><c\xC3\xA9/></row>",
        "<row><c/></ro>",
    };
    for (const char *content : refused) {
        const Decoded d = decodeWhole(std::string(content) + kEnd);
        EXPECT_EQ(d.result, Result::Refused) << content;
        EXPECT_EQ(d.refusals, 1) << content;
    }
    // The end of the input inside the content: the events say what is wrong.
    for (const char *content : {"<row><c><v>1</v>", "<row>", "  "}) {
        const Decoded d = decodeWhole(content);
        EXPECT_EQ(d.result, Result::Refused) << content;
    }
}

TEST(SheetDataDecoder, StopsAtAnyEndTagOutsideARow) {
    // A stray end tag is the scan's to report, as for any mismatched tag.
    const Decoded d = decodeWhole("<row/></c>");
    EXPECT_EQ(d.result, Result::Done);
    EXPECT_EQ(d.stoppedAt, 6u);
}

TEST(SheetDataDecoder, ContentCutAnywhereReadsAsWhole) {
    const std::string content =
        "<row r=\"1\" ht=\"15\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\"><f t=\"shared\" si=\"0\"/><v>2</v></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t>x&amp;y</t></is></c></row>\r\n"
        "<x:row r=\"2\"><x:c r=\"A2\"><x:v>3</x:v></x:c></x:row>"
        "<row r=\"3\"/>" +
        std::string(kEnd);
    const Decoded whole = decodeWhole(content);
    ASSERT_EQ(whole.result, Result::Done);
    for (size_t cut = 0; cut <= content.size(); ++cut) {
        const Decoded d = decodeCut(content, cut);
        ASSERT_EQ(d.result, Result::Done) << "cut at " << cut;
        EXPECT_EQ(d.stoppedAt, whole.stoppedAt) << "cut at " << cut;
        EXPECT_EQ(d.events, whole.events) << "cut at " << cut;
    }
}

// Through the reader: sheets the decoder refuses read as the events read
// them, and the cells around the refused markup are all there.
TEST(SheetDataDecoder, RefusedSheetsAreReadWholeByTheEvents) {
    readertest::HandPackage p;
    p.sheets.push_back({"Plain",
                        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c>"
                        "<c r=\"B1\"><v>1</v></c></row><row r=\"2\"><c r=\"A2\"><v>2</v></c></row></sheetData>"});
    p.sheets.push_back({"Commented",
                        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c>"
                        "<c r=\"B1\"><v>1</v></c></row><!-- written by hand -->"
                        "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><r><t>b</t></r><r><t>c</t></r></is></c>"
                        "</row></sheetData>"});
    readertest::TempFolder folder;
    const std::string path = folder.path("refused.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(path, p));
    const ReadResult r = readWorkbookFile(path);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    ASSERT_EQ(wb.sheetCount(), 2u);
    const model::Sheet &plain = wb.sheet(0), &commented = wb.sheet(1);
    EXPECT_EQ(wb.text(*plain.findCell(1, 1)), "a");
    EXPECT_DOUBLE_EQ(plain.findCell(2, 1)->number, 2);
    EXPECT_EQ(wb.text(*commented.findCell(1, 1)), "a");
    EXPECT_DOUBLE_EQ(commented.findCell(1, 2)->number, 1);
    EXPECT_EQ(wb.text(*commented.findCell(2, 1)), "bc");
    // The first read's inline text is not left behind in the pool.
    EXPECT_EQ(wb.strings().size(), 3u);
}

}  // namespace
