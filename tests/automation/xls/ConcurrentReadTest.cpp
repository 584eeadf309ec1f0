// SPDX-License-Identifier: Apache-2.0
// Workbooks are read on several threads at once (the read-ahead of a job). The
// libraries behind the readers set themselves up on first use, so this test
// runs in a process of its own: the very first reads happen concurrently.
#include "automation/readers/Readers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {
const std::string kFixtures = ROWSIFTER_FIXTURES;
}

TEST(ConcurrentReads, TheFirstReadsOnManyThreadsAtOnceAllSucceed) {
    const std::vector<std::string> files = {
        kFixtures + "/xls/formats.xls",
        kFixtures + "/xls/date1904.xls",
        kFixtures + "/html/report-gbk.xls",
        kFixtures + "/html/utf8-bom.xls",
        kFixtures + "/xls/formats-same-data.xlsx",
        kFixtures + "/xls/long-strings.xls",
    };
    constexpr int kThreads = 12;
    std::atomic<int> ready{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < kThreads) std::this_thread::yield();  // start together
            for (size_t i = 0; i < files.size(); ++i) {
                const std::string &file = files[(i + static_cast<size_t>(t)) % files.size()];
                if (!automation::readers::readWorkbookFile(file).workbook) ++failures;
            }
        });
    }
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}
