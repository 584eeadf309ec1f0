// SPDX-License-Identifier: Apache-2.0
// Reading ahead: how far the readers go before the job opens what they read.
#include "automation/native/ReadAhead.h"
#include "automation/native/WorkbookCache.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <thread>

using namespace automation;
using namespace automation::native;

namespace {

QStringList writeWorkbooks(const QTemporaryDir &folder, int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = folder.filePath(QString("book%1.csv").arg(i));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        for (int row = 0; row < 2000; ++row)
            file.write(QString("name %1,%2,row %3\n").arg(i).arg(row).arg(row).toUtf8());
        paths << path;
    }
    return paths;
}

// Kept workbooks land in the cache as they are read: that shows how far the
// readers went without taking anything.
bool readAheadWithin(ParsedWorkbookCache &cache, const QString &path, std::chrono::milliseconds wait) {
    const auto until = std::chrono::steady_clock::now() + wait;
    while (!cache.lookup(path)) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(ReadAhead, ReadersStopAtTheBudgetButAlwaysReadTheNextWorkbook) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QStringList paths = writeWorkbooks(folder, 4);
    OpenPlan plan;
    plan.paths = paths;
    plan.passes = 2;  // kept, so the cache shows each read

    // Within depth and budget, the readers go ahead on their own.
    {
        auto cache = std::make_shared<ParsedWorkbookCache>();
        ReadAhead ahead(cache, 2, 3);
        ahead.expect(plan);
        ASSERT_NE(ahead.take(paths[0]), nullptr);
        EXPECT_TRUE(readAheadWithin(*cache, paths[2], std::chrono::seconds(20)));
    }

    // A budget smaller than one workbook: only the one opened next is read.
    auto cache = std::make_shared<ParsedWorkbookCache>();
    ReadAhead ahead(cache, 2, 3, 1);
    ahead.expect(plan);
    // The two readers start on the first two at once, before any size is
    // known; from the first read on, the budget holds.
    ASSERT_TRUE(readAheadWithin(*cache, paths[0], std::chrono::seconds(20)));
    ASSERT_NE(ahead.take(paths[0]), nullptr);
    ASSERT_TRUE(readAheadWithin(*cache, paths[1], std::chrono::seconds(20)));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(cache->lookup(paths[2]), nullptr);
    EXPECT_EQ(cache->lookup(paths[3]), nullptr);
    // Each is still read, one at a time, and what it holds is what was written.
    for (int i = 1; i < 4; ++i) {
        readers::ReadStatus status = readers::ReadStatus::Corrupt;
        auto workbook = ahead.take(paths[i], &status);
        ASSERT_NE(workbook, nullptr) << i;
        EXPECT_EQ(status, readers::ReadStatus::Ok);
        EXPECT_EQ(workbook->model().sheet(0).rows().size(), 2000u) << i;
    }
}

}  // namespace
