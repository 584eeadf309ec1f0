#include "engine/ResultNaming.h"

#include <QDir>

namespace engine {

namespace {
const QString kForbiddenNameCharacters = QStringLiteral("\\/:*?\"<>|");
constexpr ushort kFirstPrintable = 0x20;
}  // namespace

QString passNameValue(const QStringList &values, int passIndex, bool oneBookPerValue)
{
    if (oneBookPerValue)
        return passIndex >= 0 && passIndex < values.size() ? values.at(passIndex) : QString();
    return values.size() == 1 ? values.first() : QString();
}

QString resultFilePath(const QString &savePath, const QString &baseName, const char *suffix)
{
    return QDir::toNativeSeparators(savePath + baseName + QLatin1String(suffix));
}

bool isSafeFileBaseName(const QString &name)
{
    if (name.isEmpty())
        return false;
    bool onlyDots = true;
    for (const QChar ch : name) {
        if (ch.unicode() < kFirstPrintable || kForbiddenNameCharacters.contains(ch))
            return false;
        if (ch != QLatin1Char('.'))
            onlyDots = false;
    }
    return !onlyDots;
}

}  // namespace engine
