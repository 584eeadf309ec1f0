// SPDX-License-Identifier: Apache-2.0
#include "engine/SearchValues.h"

#include <QSet>

namespace engine {

QStringList searchValuesFrom(const QString &findText) {
    const QStringList lines = findText.split(QLatin1Char('\n'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    QStringList values;
    QSet<QString> seen;
    for (const QString &line : lines) {
        if (line.isEmpty() || seen.contains(line)) continue;
        seen.insert(line);
        values.append(line);
    }
    return values;
}

}  // namespace engine
