// SPDX-License-Identifier: Apache-2.0
// Which files a job searches: the recursive listing of the source folder and
// the test a listed path must pass to be opened as a workbook.
#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// Every plain file under `folder`, depth first: a folder's own files (hidden
// ones included, links to files excluded) before the block of each subfolder
// (hidden subfolders excluded). Siblings come in the file system's order. A
// folder reached a second time through a link is not listed again.
QStringList listSourceFiles(const QString &folder);

// True for a path ending (in any case) in .xls, .xlsx, .csv or .xlsm that
// holds no owner-lock marker "~$" anywhere.
bool isWorkbookPath(const QString &path);

}  // namespace engine
