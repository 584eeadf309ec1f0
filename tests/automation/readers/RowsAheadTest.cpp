// SPDX-License-Identifier: Apache-2.0
// Rows decoded ahead on the inflating thread: the stretch of a block they
// cover, the cells they make, and every block they leave to the scan.
#include "automation/model/Cell.h"
#include "automation/readers/xlsx/RowsAhead.h"

#include <gtest/gtest.h>

#include <string>

using namespace automation;
using namespace automation::readers::xlsx;

namespace {

constexpr uint32_t kStyles = 4, kSharedStrings = 10;

::testing::AssertionResult sameCell(const model::Cell &a, const model::Cell &b) {
    const bool same = a.column == b.column && a.style == b.style && a.type == b.type &&
                      (a.type != model::CellType::Number || a.number == b.number) &&
                      (a.type != model::CellType::String || a.stringId == b.stringId);
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "column " << a.column << " style " << a.style << " type "
                                         << static_cast<int>(a.type) << " vs column " << b.column << " style "
                                         << b.style << " type " << static_cast<int>(b.type);
}

const RowsDecodedAhead *decodeBlock(RowsAheadDecoder &decoder, const std::string &block,
                                    std::unique_ptr<DecodedPiece> &piece) {
    if (!decoder.decode(block.data(), block.size(), piece)) return nullptr;
    return static_cast<const RowsDecodedAhead *>(piece.get());
}

TEST(RowsAhead, DecodesTheWholeRowsOfABlock) {
    // A block cut through a row at each end, as the inflater cuts them.
    const std::string head = "9\" t=\"s\"><v>3</v></c></row>";
    const std::string rows =
        "<row r=\"10\" spans=\"1:3\" ht=\"20.5\" customHeight=\"1\" s=\"2\" customFormat=\"1\" hidden=\"1\">"
        "<c r=\"A10\" t=\"s\"><v>7</v></c><c r=\"B10\" s=\"3\"><v>-12.25</v></c><c r=\"C10\" s=\"2\"/>"
        "<c r=\"D10\" s=\"9\"><v>1E3</v></c></row>\n"
        "<row r=\"11\" s=\"3\"><c r=\"A11\" t=\"s\"><v>10</v></c><c r=\"B11\"></c></row><row r=\"12\"/>";
    const std::string tail = "<row r=\"13\"><c r=\"A13\"><v>4";
    const std::string block = head + rows + tail;
    RowsAheadDecoder decoder(kStyles, kSharedStrings);
    std::unique_ptr<DecodedPiece> piece;
    const RowsDecodedAhead *d = decodeBlock(decoder, block, piece);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->begin, head.size());
    EXPECT_EQ(d->end, head.size() + rows.size() - std::string("<row r=\"12\"/>").size());
    ASSERT_EQ(d->rows.size(), 2u);  // the self-closed row 12 lies after the last end tag: the scan's
    EXPECT_EQ(d->rows[0].index, 10u);
    EXPECT_EQ(d->rows[0].height, 20.5);
    EXPECT_EQ(d->rows[0].style, 2u);
    EXPECT_TRUE(d->rows[0].hidden);
    EXPECT_EQ(d->rows[0].cellCount, 4u);
    EXPECT_EQ(d->rows[1].index, 11u);
    EXPECT_EQ(d->rows[1].height, -1.0);
    EXPECT_EQ(d->rows[1].style, 0u);  // s without customFormat formats nothing
    EXPECT_EQ(d->rows[1].cellCount, 2u);
    ASSERT_EQ(d->cells.size(), 6u);
    EXPECT_TRUE(sameCell(d->cells[0], model::Cell::makeString(1, 7, 0)));
    EXPECT_TRUE(sameCell(d->cells[1], model::Cell::makeNumber(2, -12.25, 3)));
    EXPECT_TRUE(sameCell(d->cells[2], model::Cell::makeEmpty(3, 2)));
    EXPECT_TRUE(sameCell(d->cells[3], model::Cell::makeNumber(4, 1000, 0)));  // a style past the file's falls back to 0
    EXPECT_TRUE(sameCell(d->cells[4], model::Cell::makeEmpty(1, 0)));         // shared string 10 of 10: shows nothing
    EXPECT_TRUE(sameCell(d->cells[5], model::Cell::makeEmpty(2, 0)));

    // The piece is filled again, not added to, by the next block.
    const std::string next = "<row r=\"20\"><c r=\"A20\"><v>1</v></c></row>";
    d = decodeBlock(decoder, next, piece);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->rows.size(), 1u);
    EXPECT_EQ(d->cells.size(), 1u);
    EXPECT_EQ(d->begin, 0u);
    EXPECT_EQ(d->end, next.size());
}

TEST(RowsAhead, LeavesToTheScanWhatNeedsMoreThanTheBytes) {
    const std::string plain = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
    const char *const blocks[] = {
        "<row r=\"2\"><c r=\"A2\"><f>1+1</f><v>2</v></c></row>",                 // a formula
        "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>x</t></is></c></row>",  // a text of its own
        "<row r=\"2\"><c r=\"A2\" t=\"str\"><v>x</v></c></row>",
        "<row r=\"2\"><c r=\"A2\" t=\"b\"><v>1</v></c></row>",
        "<row r=\"2\"><c r=\"A2\"><v>12abc</v></c></row>",  // not a number: kept as text
        "<row r=\"2\"><c r=\"A2\"><v> 1</v></c></row>",
        "<row><c r=\"A2\"><v>1</v></c></row>",  // a row numbered from the one before
        "<row r=\"0\"><c r=\"A2\"><v>1</v></c></row>",
        "<row r=\"1048577\"><c r=\"A1\"><v>1</v></c></row>",
        "<row r=\"2\"><c r=\"A3\"><v>1</v></c></row>",  // a cell placed in another row
        "<row r=\"2\"><c><v>1</v></c></row>",           // a cell placed after the one before
        "<row r=\"2\"><c r=\"$A$2\"><v>1</v></c></row>",
        "<row r=\"2\"><!-- a note --><c r=\"A2\"><v>1</v></c></row>",
        "<row r=\"2\"><c r=\"A2\"><v>1\x01</v></c></row>",  // no XML character
        "<row r=\"2\"><c r=\"A2\"><v>1\xC3</v></c></row>",  // no UTF-8
        "<c r=\"A2\"><v>1</v></c></row>",
        "<rows r=\"2\"></row>",
    };
    RowsAheadDecoder decoder(kStyles, kSharedStrings);
    std::unique_ptr<DecodedPiece> piece;
    for (const char *b : blocks) {
        SCOPED_TRACE(b);
        EXPECT_EQ(decodeBlock(decoder, b, piece), nullptr);
        // Beside a row it takes, the block is still left whole.
        EXPECT_EQ(decodeBlock(decoder, plain + b, piece), nullptr);
        // And it takes the next block again.
        EXPECT_NE(decodeBlock(decoder, plain, piece), nullptr);
    }
    // Prefixed rows are the scan's.
    EXPECT_EQ(decodeBlock(decoder, "<x:row r=\"2\"><x:c r=\"A2\"><x:v>1</x:v></x:c></x:row>", piece), nullptr);
    // A row that does not end in the block is the scan's, whatever it holds.
    const std::string open = "<row r=\"2\"><c r=\"A2\"><v>1</v></c>";
    EXPECT_EQ(decodeBlock(decoder, open, piece), nullptr);
    const RowsDecodedAhead *d = decodeBlock(decoder, plain + open + "<f>", piece);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->end, plain.size());
    EXPECT_EQ(d->rows.size(), 1u);
}

}  // namespace
