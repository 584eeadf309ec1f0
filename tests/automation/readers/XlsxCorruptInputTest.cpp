// SPDX-License-Identifier: Apache-2.0
// Damaged, hostile and foreign files: each opens as null with its reason, never a crash.
#include "ReaderTestFiles.h"

#include "automation/readers/Readers.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

using namespace automation::readers;

namespace {

TEST(XlsxCorruptInput, CommittedFixturesGiveTheirStatus) {
    struct Case {
        const char *file;
        ReadStatus status;
    } cases[] = {
        {"xlsx/truncated.xlsx", ReadStatus::Corrupt},         {"xlsx/garbage_members.xlsx", ReadStatus::Corrupt},
        {"xlsx/random_bytes.xlsx", ReadStatus::NotAWorkbook}, {"xlsx/empty.xlsx", ReadStatus::NotAWorkbook},
        {"xlsx/declared_huge.xlsx", ReadStatus::TooLarge},    {"xlsx/inflation_bomb.xlsx", ReadStatus::TooLarge},
        {"xlsx/understated_bomb.xlsx", ReadStatus::TooLarge}, {"xlsx/plain_zip.xlsx", ReadStatus::NotAWorkbook},
        {"xlsx/no_such_file.xlsx", ReadStatus::NotFound},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        ReadResult r = readWorkbookFile(readertest::fixture(c.file));
        EXPECT_EQ(r.status, c.status) << r.message;
        EXPECT_EQ(r.workbook, nullptr);
    }
}

TEST(XlsxCorruptInput, PasswordProtectedPackageIsReportedAsEncrypted) {
    readertest::TempFolder folder;
    for (const char *name : {"locked.xlsx", "locked.xls", "locked.csv"}) {
        SCOPED_TRACE(name);
        const std::string path = folder.path(name);
        ASSERT_TRUE(readertest::writeCompoundFile(
            path, {{"EncryptionInfo", std::string("\x04\x00\x04\x00\x40\x00\x00\x00", 8) + std::string(200, 'i')},
                   {"EncryptedPackage", std::string(5000, '\x5a')}}));
        ReadResult r = readWorkbookFile(path);
        EXPECT_EQ(r.status, ReadStatus::Encrypted) << r.message;
        EXPECT_EQ(r.workbook, nullptr);
        EXPECT_EQ(readXlsx(path).status, ReadStatus::Encrypted);
    }
    // A compound file without those streams is a legacy workbook for the .xls reader.
    const std::string plain = folder.path("legacy.xls");
    ASSERT_TRUE(readertest::writeCompoundFile(plain, {{"Workbook", std::string(600, '\0')}}));
    EXPECT_NE(readWorkbookFile(plain).status, ReadStatus::Encrypted);
}

TEST(XlsxCorruptInput, DirectoryAndTextUnderWorkbookNamesAreRefused) {
    readertest::TempFolder folder;
    EXPECT_EQ(readWorkbookFile(folder.path("")).status, ReadStatus::Unreadable);
    const std::string text = folder.path("notes.xlsx");
    ASSERT_TRUE(readertest::writeBytes(text, "just,some\ntext\n"));
    EXPECT_EQ(readWorkbookFile(text).status, ReadStatus::NotAWorkbook);
    const std::string xml2003 = folder.path("old.xls");
    ASSERT_TRUE(readertest::writeBytes(xml2003,
                                       "<?xml version=\"1.0\"?><Workbook "
                                       "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"/>"));
    EXPECT_EQ(readWorkbookFile(xml2003).status, ReadStatus::Unsupported);
}

// Every prefix and a spread of single-byte corruptions of a real workbook:
// each either reads or fails with a reason; none crashes or hangs.
TEST(XlsxCorruptInput, TruncationsAndFlippedBytesNeverCrash) {
    readertest::TempFolder folder;
    const std::string good = folder.path("good.xlsx");
    lxw_workbook *wb = workbook_new(good.c_str());
    lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
    lxw_format *f = workbook_add_format(wb);
    format_set_bold(f);
    for (int r = 0; r < 30; ++r) {
        worksheet_write_string(ws, r, 0, "text", f);
        worksheet_write_number(ws, r, 1, r, nullptr);
    }
    worksheet_merge_range(ws, 40, 0, 41, 2, "m", nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
    const std::string bytes = readertest::readBytes(good);
    ASSERT_GT(bytes.size(), 1000u);

    const std::string probe = folder.path("probe.xlsx");
    int failures = 0;
    for (size_t len = 0; len < bytes.size(); len += 61) {
        ASSERT_TRUE(readertest::writeBytes(probe, bytes.substr(0, len)));
        ReadResult r = readWorkbookFile(probe);
        EXPECT_NE(r.status, ReadStatus::Ok) << "prefix of " << len << " bytes";
        EXPECT_EQ(r.workbook == nullptr, r.status != ReadStatus::Ok);
        failures += r.status != ReadStatus::Ok;
    }
    EXPECT_GT(failures, 0);
    for (size_t pos = 0; pos < bytes.size(); pos += 37) {
        std::string flipped = bytes;
        flipped[pos] = static_cast<char>(flipped[pos] ^ 0x5A);
        ASSERT_TRUE(readertest::writeBytes(probe, flipped));
        ReadResult r = readWorkbookFile(probe);
        EXPECT_EQ(r.workbook == nullptr, r.status != ReadStatus::Ok) << "byte " << pos;
    }
}

}  // namespace
