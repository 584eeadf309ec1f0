// SPDX-License-Identifier: Apache-2.0
// Where a pass's result file goes.
#pragma once

#include <QString>
#include <QStringList>

namespace engine {

constexpr char kBasketBaseName[] = "RowBasket";
constexpr char kWorkbookSuffix[] = ".xlsx";
constexpr char kCsvSuffix[] = ".csv";

// The longest file name, in UTF-8 bytes, that the common file systems take.
constexpr int kMaxFileNameBytes = 255;

// The value that names pass `passIndex`'s file: that pass's value in per-value
// mode, the only value when there is one, else empty (the basket name is used).
QString passNameValue(const QStringList &values, int passIndex, bool oneBookPerValue);

// The folder text with a separator at its end, so that a folder typed by hand
// ("/tmp/out") takes names inside it, like a chosen one ("/tmp/out/").
QString folderWithSeparator(const QString &folder);

// The folder, then the name and suffix, with native separators.
QString resultFilePath(const QString &savePath, const QString &baseName, const char *suffix);

// True when `name` can stand unchanged as a file name (with a result suffix)
// on both Windows and Linux: no separator, no character Windows refuses, no
// control character, no device name, not too long. A dot or space may end
// it, since the suffix ends the file's name.
bool isValidFileBaseName(const QString &name);

// A valid base name made from any value: refused characters become "_", a
// device name gets "_" after it, an empty value becomes "_", and a long name
// is cut at a whole character. A valid name is returned as it is.
QString safeFileBaseName(const QString &value);

// The base name of every value's result file, by value index: valid values
// keep their own names; the others get safe ones, with "_1", "_2"... where a
// safe name is already taken, so that no two values share a file.
QStringList resultBaseNames(const QStringList &values);

}  // namespace engine
