#include "engine/JobText.h"

namespace engine::text {

QString summary(long long filesSearched, long long rowsExtracted, long long seconds, bool savedAsCsv) {
    QString s = QStringLiteral("查找") + QString::number(filesSearched) + QStringLiteral("个Excel文件,提取") +
                QString::number(rowsExtracted) + QStringLiteral("条数据,") + QStringLiteral("耗时") +
                QString::number(seconds);
    s += savedAsCsv ? QStringLiteral("秒。因行数超出excel限制,文件需保存为csv格式!") : QStringLiteral("秒。");
    return s;
}

QString notSearchedPrefix(FileOutcome why) {
    switch (why) {
        case FileOutcome::Encrypted:
            return QStringLiteral("无法读取(文件已加密):");
        case FileOutcome::Damaged:
            return QStringLiteral("无法读取(文件已损坏):");
        case FileOutcome::NotAWorkbook:
            return QStringLiteral("无法读取(不是表格文件):");
        case FileOutcome::Unsupported:
            return QStringLiteral("无法读取(不支持的格式):");
        case FileOutcome::Searched:
        case FileOutcome::Unreadable:
            break;
    }
    return QStringLiteral("无法读取(无法打开):");
}

QString filesNotSearched(long long count) {
    return QStringLiteral("另有") + QString::number(count) + QStringLiteral("个文件无法读取,未被查找。");
}

}  // namespace engine::text
