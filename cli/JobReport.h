// The --report file: one CSV line per source workbook, saying whether it was
// searched and, when not, why, so that a script can tell which files a job
// could not read.
#pragma once

#include "engine/JobResult.h"

#include <QByteArray>
#include <QString>

namespace cli {

// UTF-8 with a byte-order mark, CRLF line ends, a header line, then
// path,outcome,sheets searched,rows extracted,formulas not evaluated for each
// source workbook.
QByteArray jobReportCsv(const engine::JobResult &result);

// Writes the report to `path` (replacing it whole); false with `error` set when it cannot.
bool writeJobReport(const QString &path, const engine::JobResult &result, QString *error);

}  // namespace cli
