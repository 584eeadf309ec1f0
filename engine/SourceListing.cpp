// SPDX-License-Identifier: Apache-2.0
#include "engine/SourceListing.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace engine {

namespace {

const QString kOwnerLockMarker = QStringLiteral("~$");
const char *const kWorkbookExtensions[] = {".xls", ".xlsx", ".csv", ".xlsm"};

void listInto(const QString &folder, QSet<QString> &visited, QStringList &out) {
    // A link back into a folder already listed would otherwise never end.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || visited.contains(canonical)) return;
    visited.insert(canonical);

    const QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::NoSort);
    for (const QFileInfo &file : files) out.append(file.filePath());

    const QFileInfoList subfolders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &sub : subfolders) listInto(sub.absoluteFilePath(), visited, out);
}

}  // namespace

QStringList listSourceFiles(const QString &folder) {
    QStringList out;
    if (folder.isEmpty()) return out;
    QSet<QString> visited;
    listInto(folder, visited, out);
    return out;
}

bool isWorkbookPath(const QString &path) {
    if (path.contains(kOwnerLockMarker)) return false;
    const QString lower = path.toLower();
    for (const char *extension : kWorkbookExtensions) {
        if (lower.endsWith(QLatin1String(extension))) return true;
    }
    return false;
}

}  // namespace engine
