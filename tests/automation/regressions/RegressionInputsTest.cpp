// SPDX-License-Identifier: Apache-2.0
#include "fuzz/FuzzBodies.h"

#include "automation/readers/Readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using automation::readers::ReadResult;
using automation::readers::ReadStatus;

namespace {

const fs::path kFixtures = ROWSIFTER_FIXTURES;
const fs::path kRegressions = kFixtures / "regressions";

std::vector<uint8_t> bytesOf(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> filesUnder(const fs::path &dir) {
    std::vector<fs::path> files;
    if (!fs::is_directory(dir)) return files;
    for (const auto &entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

bool isWorkbookFixture(const fs::path &path) {
    const std::string ext = path.extension().string();
    return ext == ".xlsx" || ext == ".xlsm" || ext == ".xls" || ext == ".csv" || ext == ".html";
}

}  // namespace

// Every saved input goes through the target it was found by: no crash, no
// sanitizer report, and an answer that keeps the reader's promises.
TEST(RegressionInputs, EverySavedInputIsReadSafely) {
    ASSERT_TRUE(fs::is_directory(kRegressions)) << kRegressions;
    size_t replayed = 0;
    for (size_t i = 0; i < rowsifter::fuzz::kBodyCount; ++i) {
        const rowsifter::fuzz::Body &body = rowsifter::fuzz::kBodies[i];
        for (const fs::path &file : filesUnder(kRegressions / body.name)) {
            const std::vector<uint8_t> bytes = bytesOf(file);
            EXPECT_TRUE(body.run(bytes.data(), bytes.size())) << file;
            ++replayed;
        }
    }
    // Each folder holds what its target found; none is allowed to empty out silently.
    EXPECT_GE(replayed, 2u);
}

// The saved whole files also go through the sniffing entry point, the one the
// engine uses, under each name a user's folder could give them.
TEST(RegressionInputs, SavedFilesThroughTheSniffingReader) {
    size_t read = 0;
    for (const char *kind : {"xlsx", "xls", "csv", "html"}) {
        for (const fs::path &file : filesUnder(kRegressions / kind)) {
            const std::vector<uint8_t> bytes = bytesOf(file);
            const fs::path copy = fs::temp_directory_path() / ("rowsifter-regression-" + std::to_string(read));
            for (const char *suffix : {".xlsx", ".xls", ".csv"}) {
                const fs::path named = copy.string() + suffix;
                std::ofstream(named, std::ios::binary)
                    .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
                EXPECT_TRUE(rowsifter::fuzz::readResultSound(automation::readers::readWorkbookFile(named.string())))
                    << file << " as " << suffix;
                fs::remove(named);
            }
            ++read;
        }
    }
    EXPECT_GE(read, 1u);
}

// The fixtures made by other producers, hostile ones included, all give a
// workbook or a reason, never both and never neither.
TEST(RegressionInputs, EveryFixtureGivesAWorkbookOrAReason) {
    size_t ok = 0, refused = 0;
    for (const fs::path &file : filesUnder(kFixtures)) {
        if (!isWorkbookFixture(file)) continue;
        const ReadResult result = automation::readers::readWorkbookFile(file.string());
        EXPECT_TRUE(rowsifter::fuzz::readResultSound(result)) << file;
        (result.status == ReadStatus::Ok ? ok : refused) += 1;
    }
    // Both kinds are there: readable workbooks and damaged or hostile files.
    EXPECT_GT(ok, 3u);
    EXPECT_GT(refused, 3u);
}

// The check the fuzz targets rely on must itself catch a broken answer.
TEST(RegressionInputs, TheSoundnessCheckCatchesBrokenAnswers) {
    ReadResult okWithoutWorkbook;
    okWithoutWorkbook.status = ReadStatus::Ok;
    EXPECT_FALSE(rowsifter::fuzz::readResultSound(okWithoutWorkbook));

    ReadResult failureWithWorkbook = ReadResult::ok(std::make_unique<automation::model::WorkbookModel>());
    failureWithWorkbook.status = ReadStatus::Corrupt;
    EXPECT_FALSE(rowsifter::fuzz::readResultSound(failureWithWorkbook));

    auto book = std::make_unique<automation::model::WorkbookModel>();
    automation::model::Sheet &sheet = book->appendSheet("S");
    automation::model::Row &row = sheet.rowForWrite(2);
    row.cells.push_back(automation::model::Cell::makeNumber(3, 1.0));
    row.cells.push_back(automation::model::Cell::makeNumber(1, 2.0));  // out of column order
    EXPECT_FALSE(rowsifter::fuzz::readResultSound(ReadResult::ok(std::move(book))));

    EXPECT_TRUE(rowsifter::fuzz::readResultSound(ReadResult::fail(ReadStatus::Corrupt, "damaged")));
    auto good = std::make_unique<automation::model::WorkbookModel>();
    good->appendSheet("S").setCell(1, automation::model::Cell::makeNumber(1, 1.0));
    EXPECT_TRUE(rowsifter::fuzz::readResultSound(ReadResult::ok(std::move(good))));
}
