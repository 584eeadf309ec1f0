// Where a pass's result file goes.
#pragma once

#include <QString>
#include <QStringList>

namespace engine {

constexpr char kBasketBaseName[] = "RowBasket";
constexpr char kWorkbookSuffix[] = ".xlsx";
constexpr char kCsvSuffix[] = ".csv";

// The value that names pass `passIndex`'s file: that pass's value in per-value
// mode, the only value when there is one, else empty (the basket name is used).
QString passNameValue(const QStringList &values, int passIndex, bool oneBookPerValue);

// savePath + name + suffix, with native separators; nothing is put between
// the folder text and the name.
QString resultFilePath(const QString &savePath, const QString &baseName, const char *suffix);

// A search value is safe as a file name when it holds none of the characters
// that Windows refuses in names (separators and control characters included)
// and is not made of dots only, so it cannot lead outside the destination.
bool isSafeFileBaseName(const QString &name);

}  // namespace engine
