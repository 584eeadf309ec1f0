// SPDX-License-Identifier: Apache-2.0
// A real job whose results pass the .xlsx grid: with the production row limit,
// every row extracted must reach the CSV.
#include "automation/Automation.h"
#include "automation/model/Limits.h"
#include "engine/JobRunner.h"
#include "engine/RowLimit.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

namespace {

constexpr int kRowsPerSource = static_cast<int>(automation::model::kMaxRows) / 2 + 12;

bool writeRows(const QString &path, const QByteArray &line, int count) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QByteArray block;
    for (int i = 0; i < count; ++i) block += line;
    return file.write(block) == block.size();
}

TEST(RowLimitJob, PastTheGridEveryExtractedRowIsACsvRecord) {
    automation::setApplicationFactory(nullptr);
    engine::setRowLimitForTesting(0);
    QTemporaryDir source, dest;
    ASSERT_TRUE(source.isValid() && dest.isValid());
    ASSERT_TRUE(writeRows(source.path() + "/a.csv", "fig,1\r\n", kRowsPerSource));
    ASSERT_TRUE(writeRows(source.path() + "/b.csv", "fig,2\r\n", kRowsPerSource));

    engine::OptionSet options;
    options.sourcePath = QDir::toNativeSeparators(source.path());
    options.savePath = QDir::toNativeSeparators(dest.path() + "/");
    options.findText = "fig";
    options.wholeCellMatch = true;
    const JobRun run = runJob(options);

    const int total = 2 * kRowsPerSource;
    ASSERT_GT(total, static_cast<int>(automation::model::kMaxRows));
    const QString summary = QStringLiteral("查找2个Excel文件,提取%1条数据").arg(total);
    EXPECT_TRUE(std::any_of(run.texts.begin(), run.texts.end(), [&](const QString &t) {
        return t.startsWith(summary) && t.contains("csv");
    })) << run.texts.join('\n').right(300).toStdString();
    QFile csv(dest.path() + "/fig.csv");
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray text = csv.readAll();
    EXPECT_EQ(text.count('\n'), total);
    EXPECT_EQ(text.count("fig,1\r\n"), kRowsPerSource);
    EXPECT_EQ(text.count("fig,2\r\n"), kRowsPerSource);
}

}  // namespace
