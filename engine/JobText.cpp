// SPDX-License-Identifier: Apache-2.0
#include "engine/JobText.h"

namespace engine::text {

QString summary(long long filesSearched, long long rowsExtracted, long long seconds, bool savedAsCsv) {
    QString s = QStringLiteral("查找") + QString::number(filesSearched) + QStringLiteral("个Excel文件,提取") +
                QString::number(rowsExtracted) + QStringLiteral("条数据,") + QStringLiteral("耗时") +
                QString::number(seconds);
    s += savedAsCsv ? QStringLiteral("秒。因行数超出excel限制,文件需保存为csv格式!") : QStringLiteral("秒。");
    return s;
}

QString notSearchedPrefix(const SourceFileReport &file) {
    if (file.outcome == FileOutcome::Stopped) return kNotReachedPrefix;
    using automation::ReadStatus;
    switch (file.whyNotRead) {
        case ReadStatus::Encrypted:
            return QStringLiteral("无法读取(文件已加密):");
        case ReadStatus::Corrupt:
            return QStringLiteral("无法读取(文件已损坏):");
        case ReadStatus::NotAWorkbook:
            return QStringLiteral("无法读取(不是表格文件):");
        case ReadStatus::Unsupported:
            return QStringLiteral("无法读取(不支持的格式):");
        case ReadStatus::Ok:
        case ReadStatus::NotFound:
        case ReadStatus::Unreadable:
        case ReadStatus::TooLarge:
            break;
    }
    return QStringLiteral("无法读取(无法打开):");
}

QString filesNotSearched(long long count) {
    return QStringLiteral("另有") + QString::number(count) + QStringLiteral("个文件无法读取,未被查找。");
}

QString saveFailureReason(automation::SaveFailure kind, const QString &writerWords) {
    using automation::SaveFailure;
    switch (kind) {
        case SaveFailure::AccessDenied:
            return QStringLiteral("权限不足");
        case SaveFailure::ReadOnlyDisk:
            return QStringLiteral("磁盘只读");
        case SaveFailure::DiskFull:
            return QStringLiteral("磁盘空间不足");
        case SaveFailure::FolderMissing:
            return QStringLiteral("文件夹不存在");
        case SaveFailure::NotAFolder:
            return QStringLiteral("路径中有一项不是文件夹");
        case SaveFailure::NameNotValid:
            return QStringLiteral("文件名无效");
        case SaveFailure::NameTooLong:
            return QStringLiteral("文件名过长");
        case SaveFailure::FolderInTheWay:
            return QStringLiteral("已有同名文件夹");
        case SaveFailure::TooManyFiles:
            return QStringLiteral("打开的文件过多");
        case SaveFailure::DiskError:
            return QStringLiteral("磁盘读写错误");
        case SaveFailure::TooLarge:
            return QStringLiteral("超出工作表的行数或列数上限");
        case SaveFailure::None:
        case SaveFailure::Other:
            break;
    }
    return writerWords.isEmpty() ? QStringLiteral("未知错误") : writerWords;
}

QString saveFailed(const QString &path, const QString &reason) {
    return kSaveFailedPrefix + path + QLatin1Char('(') + reason + QLatin1Char(')');
}

QString jobStopped(long long filesNotReached, int valuesNotSearched) {
    QString s = QStringLiteral("提取已停止");
    if (filesNotReached > 0)
        s += QStringLiteral(",另有") + QString::number(filesNotReached) + QStringLiteral("个文件未被查找");
    if (valuesNotSearched > 0)
        s += QLatin1Char(',') + QString::number(valuesNotSearched) + QStringLiteral("个值未查找");
    return s + QStringLiteral("。");
}

QString filesUnreadable(long long count) { return QString::number(count) + QStringLiteral("个文件无法读取,未被查找"); }

QString savedAsCsv(const QString &path) { return QStringLiteral("结果已保存为CSV:") + path; }

QString formulasNotEvaluated(long long cells) {
    return QString::number(cells) + QStringLiteral("个公式无法计算,按文件中存储的值查找");
}

QString formulasNotEvaluatedIn(int cells, const QString &path) {
    return QString::number(cells) + QStringLiteral("个公式无法计算:") + path;
}

}  // namespace engine::text
