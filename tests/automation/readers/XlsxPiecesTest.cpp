// SPDX-License-Identifier: Apache-2.0
// The small pure parts of the .xlsx reader: references, escapes, paths,
// tints, dates, and a part inflated as it streams.
#include "ReaderTestFiles.h"

#include "automation/readers/xlsx/CellAddress.h"
#include "automation/readers/xlsx/CellValue.h"
#include "automation/readers/xlsx/OoxmlText.h"
#include "automation/readers/xlsx/Relationships.h"
#include "automation/readers/xlsx/ThemeColors.h"
#include "automation/readers/xlsx/ZipArchive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace automation;
using namespace automation::readers::xlsx;
using automation::readers::ReadStatus;

namespace {

TEST(CellAddress, ParsesValidAndRejectsBadReferences) {
    struct Case {
        const char *text;
        AddressParse result;
        uint32_t row, column;
    } cases[] = {
        {"A1", AddressParse::Ok, 1, 1},
        {"$B$7", AddressParse::Ok, 7, 2},
        {"z26", AddressParse::Ok, 26, 26},
        {"AA10", AddressParse::Ok, 10, 27},
        {"XFD1048576", AddressParse::Ok, 1048576, 16384},
        {"XFE1", AddressParse::OutOfRange, 0, 0},
        {"A1048577", AddressParse::OutOfRange, 0, 0},
        {"A0", AddressParse::OutOfRange, 0, 0},
        {"A4294967297", AddressParse::OutOfRange, 0, 0},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAA1", AddressParse::OutOfRange, 0, 0},
        {"", AddressParse::Malformed, 0, 0},
        {"12", AddressParse::Malformed, 0, 0},
        {"A", AddressParse::Malformed, 0, 0},
        {"A1B", AddressParse::Malformed, 0, 0},
        {"A 1", AddressParse::Malformed, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t row = 0, column = 0;
        EXPECT_EQ(parseCellAddress(c.text, &row, &column), c.result);
        if (c.result == AddressParse::Ok) {
            EXPECT_EQ(row, c.row);
            EXPECT_EQ(column, c.column);
        }
    }
    // The one-pass reading of the common form agrees with the careful one.
    for (const char *text : {"B7", "A01", "ABCD1", "XFD1048576", "XFD1048577", "XFE1", "A12345678", "AAA0", "a1",
                             "Z9999999", "A1 ", "AB", "$A1"}) {
        SCOPED_TRACE(text);
        uint32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
        const AddressParse fast = parseCellAddress(text, &r1, &c1);
        EXPECT_EQ(fast, parseCellAddress(text, text + std::strlen(text), &r2, &c2));
        if (fast == AddressParse::Ok) {
            EXPECT_EQ(std::make_pair(r1, c1), std::make_pair(r2, c2));
        }
    }
    model::CellArea area;
    ASSERT_EQ(parseCellArea("C3:A1", &area), AddressParse::Ok);
    EXPECT_EQ(area, (model::CellArea{1, 1, 3, 3}));
    EXPECT_EQ(parseCellArea("A1:", &area), AddressParse::Malformed);
}

TEST(OoxmlText, EscapesDecodeAndCutsKeepWholeCharacters) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"no escapes", "no escapes"}, {"_x000A_", "\n"},
        {"x_x0009_y", "x\ty"},        {"_x005F_x000A_", "_x000A_"},
        {"_x00e9_", "\xC3\xA9"},      {"_xD83D__xDE00_", "\xF0\x9F\x98\x80"},  // a surrogate pair
        {"_xD83D_", "\xEF\xBF\xBD"},                                           // a lone surrogate
        {"_x12G4_", "_x12G4_"},       {"_x12", "_x12"},
    };
    for (Case &c : cases) {
        std::string s = c.in;
        decodeEscapes(s);
        EXPECT_EQ(s, c.out) << c.in;
    }
    std::string emoji = "ab\xF0\x9F\x98\x80";  // 2 + 2 UTF-16 units
    cutToUtf16Units(emoji, 3);
    EXPECT_EQ(emoji, "ab");
    std::string chinese = "中文字";
    cutToUtf16Units(chinese, 2);
    EXPECT_EQ(chinese, "中文");
}

TEST(Relationships, TargetsResolveAgainstTheSourceFolder) {
    struct Case {
        const char *source, *target, *resolved;
    } cases[] = {
        {"xl/workbook.xml", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/workbook.xml", "/xl/worksheets/s.xml", "xl/worksheets/s.xml"},
        {"xl/workbook.xml", "../data/p.xml", "data/p.xml"},
        {"xl/workbook.xml", "../../../../x.xml", "x.xml"},
        {"", "xl/workbook.xml", "xl/workbook.xml"},
        {"xl/workbook.xml", "./a/./b.xml", "xl/a/b.xml"},
    };
    for (const Case &c : cases) EXPECT_EQ(resolveTarget(c.source, c.target), c.resolved) << c.target;
    EXPECT_EQ(relationshipsPartOf("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
    EXPECT_EQ(relationshipsPartOf(""), "_rels/.rels");
    EXPECT_TRUE(isRelationshipType("http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet", "worksheet"));
    EXPECT_FALSE(isRelationshipType("http://x/chartsheet", "sheet"));
}

TEST(ThemeColors, TintLightensAndDarkensLikeTheApplication) {
    struct Case {
        uint32_t rgb;
        double tint;
        uint32_t expected;
    } cases[] = {
        {0xFFFFFF, -0.5, 0x808080},
        {0x000000, 0.5, 0x808080},
        {0x4472C4, 0.0, 0x4472C4},
        {0x4472C4, 0.7999816888943144, 0xDAE3F3},  // accent1, lighter 80%
        {0x4472C4, -0.249977111117893, 0x2F5597},  // accent1, darker 25%
        {0xFF0000, 1.0, 0xFFFFFF},
        {0xFF0000, -1.0, 0x000000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tint);
        const model::Color got = applyTint(model::rgb(c.rgb), c.tint);
        // The application rounds on a 0-255 lightness scale: allow one step.
        for (int shift : {16, 8, 0}) {
            const int g = static_cast<int>((got >> shift) & 0xFF), e = static_cast<int>((c.expected >> shift) & 0xFF);
            EXPECT_LE(std::abs(g - e), 1) << std::hex << got;
        }
    }
    EXPECT_EQ(applyTint(model::kAutoColor, 0.5), model::kAutoColor);
}

TEST(IsoDates, SerialNumbersInBothSystems) {
    struct Case {
        const char *text;
        bool date1904;
        bool ok;
        double serial;
    } cases[] = {
        {"1900-01-01", false, true, 1},
        {"1900-02-28", false, true, 59},
        {"1900-03-01", false, true, 61},
        {"2024-03-01T06:00:00Z", false, true, 45352.25},
        {"2024-03-01T06:00", false, true, 45352.25},
        {"1904-01-02", true, true, 1},
        {"2024-13-01", false, false, 0},
        {"2024-03-01T25:00:00", false, false, 0},
        {"yesterday", false, false, 0},
        {"1899-12-01", false, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        double serial = -1;
        EXPECT_EQ(isoDateToSerial(c.text, c.date1904, &serial), c.ok);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(serial, c.serial);
        }
    }
}

// The one conversion both the fast cell path and the events use: numbers in
// every spelling a producer writes, and shared-string indexes read as the
// applications read them (leading digits; nothing usable past 32 bits).
TEST(CellValue, NumbersAndSharedIndexesReadAsTheApplicationReadsThem) {
    const struct {
        const char *text;
        bool ok;
        double value;
    } numbers[] = {
        {"379", true, 379},
        {"45066", true, 45066},
        {" 4.5 ", true, 4.5},
        {"-0.25", true, -0.25},
        {"+3", true, 3},
        {"1E-3", true, 0.001},
        {"0000000000000012", true, 12},
        {"123456789012345678", true, 123456789012345678.0},
        {"", false, 0},
        {"1e400", false, 0},
        {"0x10", false, 0},
        {"12a", false, 0},
        {"inf", false, 0},
    };
    for (const auto &n : numbers) {
        SCOPED_TRACE(n.text);
        double v = -1;
        EXPECT_EQ(numberFromText(n.text, &v), n.ok);
        if (n.ok) {
            EXPECT_DOUBLE_EQ(v, n.value);
        }
    }
    EXPECT_EQ(sharedIndexFromText("0"), 0u);
    EXPECT_EQ(sharedIndexFromText("000000000007"), 7u);  // longer than any index, still an index
    EXPECT_EQ(sharedIndexFromText("12a"), 12u);
    EXPECT_EQ(sharedIndexFromText("4294967294"), 4294967294u);
    EXPECT_EQ(sharedIndexFromText("4294967296"), UINT32_MAX);
    EXPECT_EQ(sharedIndexFromText(""), UINT32_MAX);
    EXPECT_EQ(sharedIndexFromText("x1"), UINT32_MAX);
}

// The short path for plain decimals gives the very double the general
// reading gives, to the last bit, at the edges of its reach as in between.
TEST(CellValue, PlainDecimalsReadToTheSameDoubleAsTheGeneralReading) {
    std::vector<std::string> texts = {"0.1",
                                      "-0.0",
                                      "0.30000000000000004",
                                      "999999999999999",
                                      "-99999999999999.9",
                                      "1.000000000000001",
                                      "9007199254740.993",
                                      "0.000000000000001",
                                      "12.",
                                      ".5",
                                      "-.5",
                                      "1.2.3",
                                      "-",
                                      "--1",
                                      "1-",
                                      "0.1234567890123456"};
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    auto next = [&] { return state = state * 6364136223846793005ULL + 1442695040888963407ULL; };
    for (int i = 0; i < 200000; ++i) {
        const int digits = 1 + static_cast<int>(next() >> 60);  // 1..16
        std::string t = (next() >> 63) ? "-" : "";
        for (int d = 0; d < digits; ++d) t += static_cast<char>('0' + (next() >> 33) % 10);
        const size_t point = (next() >> 33) % (t.size() + 1);
        if (point > (t[0] == '-' ? 1u : 0u) && point < t.size()) t.insert(point, ".");
        texts.push_back(t);
    }
    for (const std::string &t : texts) {
        double fast = 0, general = 0;
        const bool fastOk = numberFromText(t, &fast);
        const bool generalOk = numberFromXmlText(t, &general);
        ASSERT_EQ(fastOk, generalOk) << t;
        if (!fastOk) continue;
        uint64_t a = 0, b = 0;
        std::memcpy(&a, &fast, sizeof a);
        std::memcpy(&b, &general, sizeof b);
        ASSERT_EQ(a, b) << t;
    }
}

// A deflated part read as a stream: all of it, in order; damage to its
// compressed bytes or its check value is an error, never a crash or a quiet success.
TEST(ZipArchive, StreamedPartsInflateWholeAndRefuseDamage) {
    std::string text;
    for (int i = 0; text.size() < 900000; ++i)
        text += "<row r=\"" + std::to_string(i) + "\"><c><v>" + std::to_string(i * 7919 % 104729) + "</v></c></row>";
    readertest::TempFolder folder;
    const std::string path = folder.path("parts.zip");
    ASSERT_TRUE(readertest::writeZip(path, {{"big.xml", text}}));
    auto readAll = [](const std::string &file, std::string *out) {
        return readertest::readPartThroughArchive(file, "big.xml", out);
    };
    std::string read;
    ASSERT_EQ(readAll(path, &read), ReadStatus::Ok);
    EXPECT_EQ(read, text);

    // Stopping early is the sink's own choice, and no error.
    {
        ZipArchive zip;
        std::string message;
        ASSERT_EQ(zip.open(path, &message), ReadStatus::Ok);
        size_t seen = 0;
        EXPECT_EQ(zip.readPart(
                      "big.xml", [&](const char *, size_t n) { return (seen += n) < 100000; }, &message),
                  ReadStatus::Ok);
        EXPECT_LT(seen, text.size());
    }

    // Bytes flipped inside the compressed data (past the local header, short of the directory).
    EXPECT_EQ(readertest::firstFlipNotCorrupt(path, folder.path("damaged.zip"), 23, readAll), std::string::npos);
}

TEST(PartBuffer, PartsOfAboutOneSizeReuseOneAllocation) {
    PartBuffer buffer;
    ASSERT_TRUE(buffer.reserve(9'000'000));
    const size_t first = buffer.capacity();
    // The next parts of a job are a little larger or smaller: no new room.
    for (size_t bytes : {9'100'000u, 8'500'000u, 9'900'000u}) {
        ASSERT_TRUE(buffer.reserve(bytes));
        EXPECT_EQ(buffer.capacity(), first) << bytes;
    }
    // A part past the spare room gets room enough for itself and more.
    ASSERT_TRUE(buffer.reserve(20'000'000));
    EXPECT_GE(buffer.capacity(), 20'000'000u);
    // What is kept from part to part stays within the bound.
    ASSERT_TRUE(buffer.reserve(kKeptBufferBytes - 1));
    EXPECT_EQ(buffer.capacity(), kKeptBufferBytes);
    ASSERT_TRUE(buffer.reserve(kKeptBufferBytes + 1));
    EXPECT_EQ(buffer.capacity(), kKeptBufferBytes + 1);
}

}  // namespace
