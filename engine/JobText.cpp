#include "engine/JobText.h"

namespace engine::text {

QString summary(long long filesSearched, long long rowsExtracted, long long seconds, bool savedAsCsv)
{
    QString s = QStringLiteral("查找") + QString::number(filesSearched) + QStringLiteral("个Excel文件,提取") +
                QString::number(rowsExtracted) + QStringLiteral("条数据,") + QStringLiteral("耗时") +
                QString::number(seconds);
    s += savedAsCsv ? QStringLiteral("秒。因行数超出excel限制,文件需保存为csv格式!") : QStringLiteral("秒。");
    return s;
}

bool isErrorText(const QString &statusText)
{
    return statusText == kNoApplication || statusText == kHeaderMissing || statusText == kHeaderWrongType ||
           statusText == kHeaderUnopenable || statusText.startsWith(kSaveFailedPrefix);
}

}  // namespace engine::text
