// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/Readers.h"
#include "automation/readers/xls/BiffLegacyReader.h"
#include "automation/readers/xls/BiffWorkbookReader.h"
#include "automation/readers/xls/OleContainer.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace automation::readers {

ReadResult readXls(const std::string &path) {
    try {
        std::vector<uint8_t> stream;
        std::string message;
        const ReadStatus status = xls::loadWorkbookStream(path, &stream, &message);
        if (status != ReadStatus::Ok) return ReadResult::fail(status, message);
        return xls::decodeWorkbookStream(stream.data(), stream.size());
    } catch (const std::bad_alloc &) {
        return ReadResult::fail(ReadStatus::TooLarge, "out of memory while reading the workbook");
    } catch (...) {
        return ReadResult::fail(ReadStatus::Corrupt, "the workbook could not be read");
    }
}

bool isPlainBiffStream(const std::string &head) {
    const auto *d = reinterpret_cast<const uint8_t *>(head.data());
    if (xls::isLegacyBiffStream(d, head.size())) return true;
    // A BIFF5 or BIFF8 stream written without its compound file.
    constexpr size_t kBof8Min = 8;
    return head.size() >= 4 + kBof8Min && d[0] == 0x09 && d[1] == 0x08 && d[2] >= kBof8Min && d[3] == 0;
}

ReadResult readPlainBiffStream(const std::string &path, const std::string &sheetName) {
    try {
        struct FileCloser {
            void operator()(FILE *f) const { std::fclose(f); }
        };
        std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
        if (!f) return ReadResult::fail(ReadStatus::Unreadable, "cannot open " + path);
        std::vector<uint8_t> bytes;
        uint8_t chunk[1 << 16];
        for (;;) {
            const size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
            if (bytes.size() + n > xls::kMaxWorkbookStreamBytes)
                return ReadResult::fail(ReadStatus::TooLarge, "the workbook stream is too large");
            bytes.insert(bytes.end(), chunk, chunk + n);
            if (n < sizeof chunk) break;
        }
        if (std::ferror(f.get())) return ReadResult::fail(ReadStatus::Unreadable, "cannot read " + path);
        if (xls::isLegacyBiffStream(bytes.data(), bytes.size()))
            return xls::decodeLegacyBiffStream(bytes.data(), bytes.size(), sheetName);
        return xls::decodeWorkbookStream(bytes.data(), bytes.size());
    } catch (const std::bad_alloc &) {
        return ReadResult::fail(ReadStatus::TooLarge, "out of memory while reading the workbook");
    } catch (...) {
        return ReadResult::fail(ReadStatus::Corrupt, "the workbook could not be read");
    }
}

}  // namespace automation::readers
