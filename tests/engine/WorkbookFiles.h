// SPDX-License-Identifier: Apache-2.0
// Source workbooks written for the real-job tests, and result files read back.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace files {

// Rows of cell texts, row 1 first; "" leaves a cell empty. A text that reads
// as a plain number is written as a number, one that starts with '=' as a
// formula (stored as 0, to be calculated on load). Cells of `boldRow` (1-based, 0 for
// none) are bold.
struct SheetContent {
    QString name;
    std::vector<QStringList> rows;
    int boldRow = 0;
};

bool writeXlsx(const QString &path, const std::vector<SheetContent> &sheets);
bool writeCsv(const QString &path, const std::vector<QStringList> &rows);

struct ReadBack {
    bool ok = false;
    QStringList sheetNames;
    std::vector<QStringList> rows;  // first sheet, up to its last used row and column
    std::vector<std::vector<bool>> bold;
};

ReadBack readXlsxResult(const QString &path);
ReadBack readCsvResult(const QString &path);

}  // namespace files
