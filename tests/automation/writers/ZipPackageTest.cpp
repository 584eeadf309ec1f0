// SPDX-License-Identifier: Apache-2.0
#include "WriterTestSupport.h"
#include "automation/model/Cores.h"
#include "automation/writers/DeflatedPart.h"
#include "automation/writers/ZipPackage.h"

#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <sched.h>

#include <filesystem>
#include <random>
#include <string>
#include <utility>

namespace {

using automation::WriteResult;
using automation::writers::AtomicFile;
using automation::writers::DeflatedPart;
using automation::writers::ZipPackage;
using writertest::ScratchFolder;

std::string readBack(DeflatedPart &part) {
    std::string compressed;
    EXPECT_TRUE(part.rewind());
    char block[10000];  // not a power of two: reads end mid-block
    for (int64_t n; (n = part.read(block, sizeof block)) > 0;) compressed.append(block, static_cast<size_t>(n));
    return compressed;
}

// The raw deflate stream inflated by zlib, an independent decoder.
std::string inflateRaw(const std::string &compressed, size_t expectedSize) {
    std::string out(expectedSize + 1, '\0');
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    z.next_out = reinterpret_cast<Bytef *>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

std::string mixedBytes(size_t size, unsigned seed, bool compressible) {
    std::mt19937 random(seed);
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = compressible ? "<row r=\"1\"><c><v>12</v></c></row>"[random() % 33] : static_cast<char>(random());
    return s;
}

TEST(DeflatedPart, InflatesBackToTheSameBytesWithTheirCrcAndSizes) {
    struct Case {
        const char *label;
        std::string bytes;
        size_t piece;  // appended in pieces of this size
    };
    const Case cases[] = {
        {"empty", "", 1},
        {"one byte", "x", 1},
        {"markup in odd pieces", mixedBytes(700001, 1, true), 4093},
        {"exactly one input block", mixedBytes(256 * 1024, 2, true), 256 * 1024},
        {"incompressible, past the memory limit", mixedBytes(6 * 1024 * 1024 + 7, 3, false), 1 << 20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        DeflatedPart part;
        for (size_t at = 0; at < c.bytes.size(); at += c.piece)
            part.append(std::string_view(c.bytes).substr(at, c.piece));
        ASSERT_TRUE(part.finish()) << part.error();
        EXPECT_EQ(part.size(), c.bytes.size());
        EXPECT_EQ(part.crc(),
                  crc32(0, reinterpret_cast<const Bytef *>(c.bytes.data()), static_cast<uInt>(c.bytes.size())));
        const std::string compressed = readBack(part);
        EXPECT_EQ(compressed.size(), part.compressedSize());
        EXPECT_TRUE(inflateRaw(compressed, c.bytes.size()) == c.bytes);
        EXPECT_EQ(readBack(part), compressed) << "a second read gives the same bytes";
    }
}

TEST(DeflatedPart, TextBuiltInPlaceIsTakenInOrder) {
    DeflatedPart part;
    std::string expected;
    for (int i = 0; i < 200000; ++i) {
        const std::string row = "<row r=\"" + std::to_string(i) + "\"/>";
        part.pending().append(row);
        part.flushIfLarge();
        expected += row;
    }
    ASSERT_TRUE(part.finish());
    EXPECT_TRUE(inflateRaw(readBack(part), expected.size()) == expected);
}

// Runs `work` with the calling thread held to the first of its cores.
template <typename Work>
void onOneCore(Work work) {
    cpu_set_t before;
    ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &before)) {
            CPU_SET(c, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    work();
    ASSERT_EQ(sched_setaffinity(0, sizeof before, &before), 0);
}

// With a second core a large part is deflated there while the next block is
// formatted; on one core it is deflated in place. The stream is the same.
TEST(DeflatedPart, DeflatedOnASecondThreadAsOnOne) {
    if (!automation::model::severalCores()) GTEST_SKIP() << "one core: every part is deflated in place";
    const std::string bytes = mixedBytes(3 * 1024 * 1024 + 123, 4, true);
    const auto deflate = [&bytes] {
        DeflatedPart part;
        for (size_t at = 0; at < bytes.size(); at += 10007) {
            part.pending().append(bytes, at, 10007);
            part.flushIfLarge();
        }
        EXPECT_TRUE(part.finish()) << part.error();
        EXPECT_EQ(part.size(), bytes.size());
        return std::make_pair(readBack(part), part.crc());
    };
    const auto twoThreads = deflate();
    std::pair<std::string, uint32_t> oneThread;
    onOneCore([&] { oneThread = deflate(); });
    EXPECT_EQ(twoThreads.second, oneThread.second);
    EXPECT_TRUE(twoThreads.first == oneThread.first);
    EXPECT_TRUE(inflateRaw(twoThreads.first, bytes.size()) == bytes);
}

size_t threadsOfThisProcess() {
    size_t n = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/task")) n += entry.exists() ? 1 : 0;
    return n;
}

// A part let go of unfinished (a save that failed half way) stops its second thread.
TEST(DeflatedPart, APartDroppedUnfinishedLeavesNoThread) {
    const size_t before = threadsOfThisProcess();
    for (unsigned i = 0; i < 5; ++i) {
        DeflatedPart part;
        part.append(mixedBytes(700000, i, true));
    }
    EXPECT_EQ(threadsOfThisProcess(), before);
}

std::string entry(zip_t *archive, const char *name, zip_stat_t *stat) {
    zip_stat_init(stat);
    if (zip_stat(archive, name, 0, stat) != 0) return "<missing>";
    zip_file_t *file = zip_fopen(archive, name, 0);
    if (!file) return "<unreadable>";
    std::string bytes(stat->size, '\0');
    const zip_int64_t n = zip_fread(file, &bytes[0], bytes.size());
    char extra;
    const zip_int64_t after = zip_fread(file, &extra, 1);  // at the end libzip checks the CRC
    zip_fclose(file);
    if (n != static_cast<zip_int64_t>(bytes.size()) || after != 0) return "<read error>";
    return bytes;
}

TEST(ZipPackage, PartsComeBackThroughLibzipAsWritten) {
    ScratchFolder folder;
    const std::string path = folder.file("p.zip");
    const std::string small = "<?xml version=\"1.0\"?><a>small</a>";
    const std::string large = mixedBytes(5 * 1024 * 1024, 4, false);
    {
        AtomicFile file(path);
        ZipPackage package;
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(package.open(file));
        auto part = std::make_unique<DeflatedPart>();
        part->append(large);
        ASSERT_TRUE(package.addPart("xl/worksheets/sheet1.xml", std::move(part)));
        ASSERT_TRUE(package.addPart("[Content_Types].xml", small));
        const WriteResult closed = package.close();
        ASSERT_TRUE(closed) << closed.error;
        const WriteResult committed = file.commit();
        ASSERT_TRUE(committed) << committed.error;
    }
    int code = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    ASSERT_NE(archive, nullptr) << code;
    EXPECT_EQ(zip_get_num_entries(archive, 0), 2);
    zip_stat_t stat;
    EXPECT_EQ(entry(archive, "[Content_Types].xml", &stat), small);
    EXPECT_EQ(stat.comp_method, ZIP_CM_DEFLATE);
    EXPECT_TRUE(entry(archive, "xl/worksheets/sheet1.xml", &stat) == large);
    EXPECT_EQ(stat.comp_method, ZIP_CM_DEFLATE);
    zip_close(archive);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"p.zip"}) << "nothing temporary left behind";
}

TEST(ZipPackage, AFileThatCannotBeWrittenIsAFailureInTheFilesOwnWords) {
    ScratchFolder folder;
    AtomicFile file(folder.file("p.xlsx"));
    ASSERT_TRUE(file.open());
    ZipPackage package;
    ASSERT_TRUE(package.open(file));
    ASSERT_TRUE(package.addPart("a.xml", "<a/>"));
    file.releaseHandle();  // as if the disk went away under the writer
    const WriteResult closed = package.close();
    EXPECT_FALSE(closed);
    EXPECT_NE(closed.error.find("cannot save \""), std::string::npos) << closed.error;
    EXPECT_NE(closed.error.find("p.xlsx"), std::string::npos) << closed.error;
    EXPECT_NE(closed.failure, automation::SaveFailure::None);
}

}  // namespace
