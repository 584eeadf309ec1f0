// SPDX-License-Identifier: Apache-2.0
#include "engine/JobReport.h"

#include <QSaveFile>
#include <QStringList>

namespace engine {

namespace {

QString csvField(const QString &text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

QByteArray jobReportCsv(const JobResult &result) {
    QString text = QStringLiteral("path,outcome,sheets searched,rows extracted,formulas not evaluated\r\n");
    for (const SourceFileReport &file : result.files) {
        const QStringList fields{csvField(file.path), fileOutcomeName(file), QString::number(file.sheetsSearched),
                                 QString::number(file.rowsExtracted), QString::number(file.formulasNotEvaluated)};
        text += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool writeJobReport(const QString &path, const JobResult &result, QString *error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(jobReportCsv(result)) < 0 || !file.commit()) {
        *error = QStringLiteral("cannot write the report ") + path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

}  // namespace engine
