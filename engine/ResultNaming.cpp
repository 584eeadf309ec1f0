// SPDX-License-Identifier: Apache-2.0
#include "engine/ResultNaming.h"

#include <QDir>
#include <QSet>

namespace engine {

namespace {

const QString kRefusedCharacters = QStringLiteral("\\/:*?\"<>|");
constexpr ushort kFirstPrintable = 0x20;
constexpr ushort kDelete = 0x7f;
const QChar kReplacement = QLatin1Char('_');
// Room for the longer of the two result suffixes.
constexpr int kSuffixBytes = sizeof(kWorkbookSuffix) - 1;

bool isRefused(QChar ch) {
    return ch.unicode() < kFirstPrintable || ch.unicode() == kDelete || kRefusedCharacters.contains(ch);
}

// Windows reserves these names whatever extension follows them.
bool isDeviceName(const QString &name) {
    static const QSet<QString> devices = [] {
        QSet<QString> names{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL")};
        for (int i = 1; i <= 9; ++i) {
            names.insert(QStringLiteral("COM") + QString::number(i));
            names.insert(QStringLiteral("LPT") + QString::number(i));
        }
        return names;
    }();
    const QString stem = name.section(QLatin1Char('.'), 0, 0);
    return devices.contains(stem.trimmed().toUpper());
}

int utf8Bytes(const QString &text) { return text.toUtf8().size(); }

// The longest start of `name` that fits in `maxBytes` of UTF-8, cut between
// whole characters (surrogate pairs kept together).
QString cutToBytes(const QString &name, int maxBytes) {
    int bytes = 0;
    int end = 0;
    while (end < name.size()) {
        const bool pair = name.at(end).isHighSurrogate() && end + 1 < name.size() && name.at(end + 1).isLowSurrogate();
        const int units = pair ? 2 : 1;
        const int size = utf8Bytes(name.mid(end, units));
        if (bytes + size > maxBytes) break;
        bytes += size;
        end += units;
    }
    return name.left(end);
}

}  // namespace

QString passNameValue(const QStringList &values, int passIndex, bool oneBookPerValue) {
    if (oneBookPerValue) return passIndex >= 0 && passIndex < values.size() ? values.at(passIndex) : QString();
    return values.size() == 1 ? values.first() : QString();
}

QString folderWithSeparator(const QString &folder) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))) return folder;
    return folder + QDir::separator();
}

QString resultFilePath(const QString &savePath, const QString &baseName, const char *suffix) {
    return QDir::toNativeSeparators(folderWithSeparator(savePath) + baseName + QLatin1String(suffix));
}

bool isValidFileBaseName(const QString &name) {
    // A dot or space may end the base name: the suffix ends the file's name.
    if (name.isEmpty() || isDeviceName(name)) return false;
    for (const QChar ch : name) {
        if (isRefused(ch)) return false;
    }
    return utf8Bytes(name) + kSuffixBytes <= kMaxFileNameBytes;
}

QString safeFileBaseName(const QString &value) {
    if (isValidFileBaseName(value)) return value;
    QString name = value;
    for (QChar &ch : name) {
        if (isRefused(ch)) ch = kReplacement;
    }
    name = cutToBytes(name, kMaxFileNameBytes - kSuffixBytes);
    if (name.isEmpty()) return QString(kReplacement);
    if (isDeviceName(name)) {
        const int stemEnd = name.indexOf(QLatin1Char('.'));
        name.insert(stemEnd < 0 ? name.size() : stemEnd, kReplacement);
    }
    return name;
}

QStringList resultBaseNames(const QStringList &values) {
    QStringList names;
    QSet<QString> taken;  // folded: on Windows names differing in case are one file
    for (const QString &value : values) {
        if (isValidFileBaseName(value)) taken.insert(value.toCaseFolded());
    }
    for (const QString &value : values) {
        if (isValidFileBaseName(value)) {
            names << value;
            continue;
        }
        const QString base = safeFileBaseName(value);
        QString name = base;
        for (int n = 1; taken.contains(name.toCaseFolded()); ++n) {
            const QString tail = QLatin1Char('_') + QString::number(n);
            name = cutToBytes(base, kMaxFileNameBytes - kSuffixBytes - utf8Bytes(tail)) + tail;
        }
        taken.insert(name.toCaseFolded());
        names << name;
    }
    return names;
}

}  // namespace engine
