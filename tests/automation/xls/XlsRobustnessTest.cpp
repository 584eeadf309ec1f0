// SPDX-License-Identifier: Apache-2.0
// Damaged and hostile .xls input: every outcome must be a null workbook with
// a failure status or a workbook that can be walked, never a crash or hang.
#include "BiffTestWriter.h"

#include "automation/readers/Readers.h"
#include "automation/readers/xls/BiffWorkbookReader.h"
#include "automation/readers/xls/OleContainer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

using namespace automation;
using namespace xlstest;

namespace {

const char *const kFixtures[] = {"formats.xls", "date1904.xls", "long-strings.xls", "encrypted.xls"};
// Cuts inside the compound file land in its 64- and 512-byte blocks; cuts
// inside the record stream are tried at every length further below.
constexpr size_t kPrefixStepBytes = 61;
constexpr size_t kEveryStreamPrefixUpTo = 8192;
constexpr int kFileFlips = 200;
constexpr int kStreamFlips = 1500;

std::string fixture(const char *name) { return std::string(ROWSIFTER_FIXTURES) + "/xls/" + name; }

Bytes readAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string &path, const Bytes &b, size_t length) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(length));
}

// Touches every cell and text, so a bad index shows under the sanitizers.
void expectNullOrValid(const readers::ReadResult &r, const std::string &what) {
    if (!r.workbook) {
        EXPECT_NE(r.status, readers::ReadStatus::Ok) << what;
        return;
    }
    EXPECT_EQ(r.status, readers::ReadStatus::Ok) << what;
    size_t characters = 0;
    for (size_t i = 0; i < r.workbook->sheetCount(); ++i) {
        const model::Sheet &s = r.workbook->sheet(i);
        uint32_t lastRow = 0;
        for (const model::Row &row : s.rows()) {
            EXPECT_GT(row.index, lastRow) << what;
            lastRow = row.index;
            for (const model::Cell &c : row.cells) {
                characters += r.workbook->text(c).size();
                (void)r.workbook->styles().at(c.style).numberFormat.size();
            }
        }
        for (const model::CellArea &m : s.merges) EXPECT_LE(m.firstRow, m.lastRow) << what;
    }
    (void)characters;
}

// The stream positions in the BOUNDSHEET records, in order.
std::vector<size_t> sheetPositionFields(const Bytes &stream) {
    std::vector<size_t> fields;
    BiffStreamWalker walk(stream);
    size_t at = 0, type = 0, length = 0;
    while (walk.next(&at, &type, &length))
        if (type == 0x0085) fields.push_back(at + 4);
    return fields;
}

uint32_t u32At(const Bytes &b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void putU32(Bytes *b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

// Sheets may not share records: a second sheet at the same place is left out,
// and a sheet reads no further than where the next begins, so no record is
// decoded twice. (Such files were once refused whole.)
TEST(XlsRobustness, SheetsMayNotShareRecords) {
    const Bytes cells = recordBytes(0x0203, Payload().raw(cellHeader(0, 0, kNormalXf)).f64(1).bytes());
    Bytes same = buildWorkbook({}, {SheetPlan{"A", 0, cells}, SheetPlan{"B", 0, cells}});
    auto fields = sheetPositionFields(same);
    ASSERT_EQ(fields.size(), 2u);
    putU32(&same, fields[1], u32At(same, fields[0]));

    // The second sheet's BOF lies inside the first sheet's records.
    Bytes inner = recordBytes(0x0809, Payload().u16(0x0600).u16(0x0010).u32(0).u32(0).bytes());
    inner.insert(inner.end(), cells.begin(), cells.end());
    const Bytes eof = recordBytes(0x000A, {});
    inner.insert(inner.end(), eof.begin(), eof.end());
    Bytes nested = buildWorkbook({}, {SheetPlan{"A", 0, inner}, SheetPlan{"B", 0, cells}});
    fields = sheetPositionFields(nested);
    ASSERT_EQ(fields.size(), 2u);
    constexpr uint32_t kBofRecordBytes = 16;
    putU32(&nested, fields[1], u32At(nested, fields[0]) + kBofRecordBytes);

    const std::string samePath = tempPath("same.xls");
    ASSERT_TRUE(writeCompoundFile(samePath, same));
    auto r = readers::readXls(samePath);
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    ASSERT_EQ(r.workbook->sheetCount(), 1u);
    EXPECT_EQ(r.workbook->sheet(0).name, "A");
    EXPECT_DOUBLE_EQ(r.workbook->sheet(0).findCell(1, 1)->number, 1);

    const std::string nestedPath = tempPath("nested.xls");
    ASSERT_TRUE(writeCompoundFile(nestedPath, nested));
    r = readers::readXls(nestedPath);
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    size_t cellsRead = 0;
    for (size_t i = 0; i < r.workbook->sheetCount(); ++i) cellsRead += r.workbook->sheet(i).cellCount();
    EXPECT_EQ(cellsRead, 1u);  // the one cell record inside, decoded once
}

TEST(XlsRobustness, TruncatedFixturesNeverCrash) {
    for (const char *name : kFixtures) {
        const Bytes whole = readAll(fixture(name));
        ASSERT_FALSE(whole.empty()) << name;
        const std::string path = tempPath(std::string("cut-") + name);
        for (size_t length = 0; length < whole.size(); length += kPrefixStepBytes) {
            writeAll(path, whole, length);
            expectNullOrValid(readers::readXls(path), std::string(name) + " cut at " + std::to_string(length));
        }
    }
}

TEST(XlsRobustness, FlippedBytesInFilesNeverCrash) {
    std::mt19937 random(20240611);
    for (const char *name : kFixtures) {
        const Bytes whole = readAll(fixture(name));
        const std::string path = tempPath(std::string("flip-") + name);
        for (int i = 0; i < kFileFlips; ++i) {
            Bytes damaged = whole;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int k = 0; k < flips; ++k)
                damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1 + random() % 255);
            writeAll(path, damaged, damaged.size());
            expectNullOrValid(readers::readXls(path), std::string(name) + " flip " + std::to_string(i));
        }
    }
}

// The record decoder alone, on the workbook streams with damage that the
// compound-file layer would not see: lengths, counts, offsets.
TEST(XlsRobustness, FlippedBytesInWorkbookStreamsNeverCrash) {
    std::mt19937 random(77);
    for (const char *name : {"formats.xls", "long-strings.xls"}) {
        std::vector<uint8_t> stream;
        std::string message;
        ASSERT_EQ(readers::xls::loadWorkbookStream(fixture(name), &stream, &message), readers::ReadStatus::Ok)
            << message;
        const size_t step = stream.size() <= kEveryStreamPrefixUpTo ? 1 : stream.size() / 4000;
        for (size_t length = 0; length < stream.size(); length += step)
            expectNullOrValid(readers::xls::decodeWorkbookStream(stream.data(), length), std::string(name) + " prefix");
        for (int i = 0; i < kStreamFlips; ++i) {
            std::vector<uint8_t> damaged = stream;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int k = 0; k < flips; ++k) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
            expectNullOrValid(readers::xls::decodeWorkbookStream(damaged.data(), damaged.size()),
                              std::string(name) + " stream flip " + std::to_string(i));
        }
    }
}

TEST(XlsRobustness, HostileRecordsGiveNullWithoutHugeAllocations) {
    const Bytes hugeSst = recordBytes(0x00FC, Payload().u32(0xFFFFFFFF).u32(0xFFFFFFFF).u16(0xFFFF).u8(1).bytes());
    BiffStream runsPastEnd;
    runsPastEnd.record(0x0809, Payload().u16(0x0600).u16(0x0005).u32(0).u32(0))
        .lyingRecord(0x0031, 0xFFFF, Bytes(8, 0));
    Bytes badOffset = buildWorkbook({}, {SheetPlan{"S", 0, {}}});
    putU32(&badOffset, sheetPositionFields(badOffset).at(0), 0x7F7F7F7F);  // past the end of the stream
    const Bytes hugeCounts = buildWorkbook(
        {}, {SheetPlan{"S", 0, [] {
                           Bytes b =
                               recordBytes(0x00E5, Payload().u16(0xFFFF).u16(0).u16(0xFFFF).u16(0).u16(0xFFFF).bytes());
                           Bytes d =
                               recordBytes(0x0200, Payload().u32(0).u32(0xFFFFFFFF).u16(0).u16(0xFFFF).u16(0).bytes());
                           Bytes m = recordBytes(
                               0x00BD, Payload().u16(0).u16(0xFFF0).u16(15).u32(6).u16(15).u32(6).u16(0xFFF1).bytes());
                           b.insert(b.end(), d.begin(), d.end());
                           b.insert(b.end(), m.begin(), m.end());
                           return b;
                       }()}});
    struct Case {
        const char *name;
        Bytes stream;
        bool mustFail;
    } cases[] = {
        {"hugesst.xls", buildWorkbook({hugeSst}, {}), true},
        {"pastend.xls", runsPastEnd.bytes(), true},
        {"badoffset.xls", badOffset, true},
        {"hugecounts.xls", hugeCounts, false},
        {"empty.xls", {}, true},
    };
    for (const Case &c : cases) {
        const std::string path = tempPath(c.name);
        ASSERT_TRUE(writeCompoundFile(path, c.stream));
        const readers::ReadResult r = readers::readXls(path);
        expectNullOrValid(r, c.name);
        if (c.mustFail) {
            EXPECT_EQ(r.workbook, nullptr) << c.name;
            EXPECT_EQ(r.status, readers::ReadStatus::Corrupt) << c.name;
        }
    }
}

TEST(XlsRobustness, NonCompoundFilesAreNotWorkbooks) {
    const std::string path = tempPath("plain.xls");
    std::ofstream(path) << "just some text\tand a tab\n";
    const auto r = readers::readXls(path);
    EXPECT_EQ(r.workbook, nullptr);
    EXPECT_EQ(r.status, readers::ReadStatus::NotAWorkbook);
}
