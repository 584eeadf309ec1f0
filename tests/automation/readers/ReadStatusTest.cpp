// SPDX-License-Identifier: Apache-2.0
// Every reason a file is not searched, as the readers report it: the engine
// tells the user which (encrypted, damaged, not a workbook, unsupported,
// unreadable), so each must be the true one.
#include "ReaderTestFiles.h"

#include "automation/readers/Readers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <string>

using namespace automation::readers;

namespace {

std::string u16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string u32(uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); }
std::string record(uint16_t type, const std::string &body) {
    return u16(type) + u16(static_cast<uint16_t>(body.size())) + body;
}
std::string bof8(uint16_t version, uint16_t kind) { return record(0x0809, u16(version) + u16(kind) + u32(0) + u32(0)); }
const std::string kEof = record(0x000A, "");

struct Case {
    std::string name;
    ReadStatus expected;
};

void expectStatus(const std::string &path, ReadStatus expected) {
    SCOPED_TRACE(path);
    const ReadResult r = readWorkbookFile(path);
    EXPECT_EQ(r.status, expected) << readStatusText(r.status) << ": " << r.message;
    EXPECT_EQ(r.workbook, nullptr);
}

TEST(ReadStatuses, EncryptedFilesSaySo) {
    readertest::TempFolder folder;
    // An .xlsx under a password is a compound file with the package encrypted inside.
    const std::string xlsx = folder.path("locked.xlsx");
    ASSERT_TRUE(readertest::writeCompoundFile(
        xlsx, {{"EncryptionInfo", std::string(64, '\x04')}, {"EncryptedPackage", std::string(4096, 'z')}}));
    expectStatus(xlsx, ReadStatus::Encrypted);
    // BIFF8 and BIFF5 workbooks with a FILEPASS record in their globals.
    const std::string xls8 = folder.path("locked8.xls");
    ASSERT_TRUE(readertest::writeCompoundFile(
        xls8, {{"Workbook", bof8(0x0600, 0x0005) + record(0x002F, u16(1) + std::string(52, '\0')) + kEof}}));
    expectStatus(xls8, ReadStatus::Encrypted);
    const std::string xls5 = folder.path("locked5.xls");
    ASSERT_TRUE(readertest::writeCompoundFile(
        xls5, {{"Book", bof8(0x0500, 0x0005) + record(0x002F, u16(0x1234) + u16(0x5678)) + kEof}}));
    expectStatus(xls5, ReadStatus::Encrypted);
    // A BIFF3 worksheet file, protected the same way.
    const std::string xls3 = folder.path("locked3.xls");
    ASSERT_TRUE(readertest::writeBytes(
        xls3, record(0x0209, u16(0) + u16(0x0010) + u16(0)) + record(0x002F, u16(0x1234) + u16(0x5678)) + kEof));
    expectStatus(xls3, ReadStatus::Encrypted);
}

TEST(ReadStatuses, ForeignContentIsNotAWorkbook) {
    readertest::TempFolder folder;
    expectStatus(readertest::fixture("xlsx/random_bytes.xlsx"), ReadStatus::NotAWorkbook);
    const std::string xls = folder.path("noise.xls");
    ASSERT_TRUE(readertest::writeBytes(xls, std::string("\x7f\x45\x4c\x46\x02\x01\x01\x00\x00\x00", 10)));
    expectStatus(xls, ReadStatus::NotAWorkbook);
}

TEST(ReadStatuses, DamageWithNothingReadableIsCorrupt) {
    readertest::TempFolder folder;
    expectStatus(readertest::fixture("xlsx/truncated.xlsx"), ReadStatus::Corrupt);
    // A BIFF8 stream cut inside its globals.
    const std::string cut = folder.path("cut.xls");
    ASSERT_TRUE(readertest::writeCompoundFile(cut, {{"Workbook", bof8(0x0600, 0x0005) + u16(0x0031) + u16(200)}}));
    expectStatus(cut, ReadStatus::Corrupt);
    // A package whose only worksheet cannot be parsed.
    readertest::HandPackage p;
    p.sheets = {{"S", "<sheetData><row><c><v>1</v></c>"}};
    const std::string xlsx = folder.path("broken.xlsx");
    ASSERT_TRUE(readertest::writeHandPackage(xlsx, p));
    expectStatus(xlsx, ReadStatus::Corrupt);
}

TEST(ReadStatuses, KindsNotReadAreUnsupported) {
    readertest::TempFolder folder;
    // A binary workbook (.xlsb): its parts are no SpreadsheetML.
    const std::string xlsb = folder.path("binary.xlsb");
    ASSERT_TRUE(readertest::writeZip(
        xlsb, {{"_rels/.rels",
                "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
                "Id=\"r\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                "Target=\"xl/workbook.bin\"/></Relationships>"},
               {"xl/workbook.bin", std::string(64, '\x83')}}));
    expectStatus(xlsb, ReadStatus::Unsupported);
    // A compound file without any workbook stream (a text document named .xls).
    const std::string doc = folder.path("letter.xls");
    ASSERT_TRUE(readertest::writeCompoundFile(doc, {{"WordDocument", std::string(512, '\0')}}));
    expectStatus(doc, ReadStatus::Unsupported);
    // A BIFF8 workbook holding only a chart sheet.
    std::string globals = bof8(0x0600, 0x0005);
    const size_t positionAt = globals.size() + 4;
    globals += record(0x0085, u32(0) + std::string("\x00\x02", 2) + std::string("\x06\x00", 2) + "Chart1");
    globals += kEof;
    const uint32_t chartAt = static_cast<uint32_t>(globals.size());
    globals.replace(positionAt, 4, u32(chartAt));
    const std::string chartOnly = folder.path("chart.xls");
    ASSERT_TRUE(readertest::writeCompoundFile(chartOnly, {{"Workbook", globals + bof8(0x0600, 0x0020) + kEof}}));
    expectStatus(chartOnly, ReadStatus::Unsupported);
    // An Excel 4.0 macro sheet file.
    const std::string macro = folder.path("macro.xls");
    ASSERT_TRUE(readertest::writeBytes(macro, record(0x0409, u16(0) + u16(0x0040) + u16(0)) + kEof));
    expectStatus(macro, ReadStatus::Unsupported);
}

TEST(ReadStatuses, FilesThatCannotBeReadAreUnreadable) {
    readertest::TempFolder folder;
    const std::string directory = folder.path("folder.xlsx");
    ASSERT_TRUE(std::filesystem::create_directory(directory));
    expectStatus(directory, ReadStatus::Unreadable);
    const std::string pipe = folder.path("pipe.xls");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    expectStatus(pipe, ReadStatus::Unreadable);  // and no wait for a writer
    expectStatus(folder.path("gone.xlsx"), ReadStatus::NotFound);
}

}  // namespace
