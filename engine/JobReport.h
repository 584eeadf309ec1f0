// SPDX-License-Identifier: Apache-2.0
// The job report: one CSV line per source workbook, saying whether it was
// searched and, when not, why. The command line writes it for --report, the
// window from its closing report, in the same form.
#pragma once

#include "engine/JobResult.h"

#include <QByteArray>
#include <QString>

namespace engine {

// UTF-8 with a byte-order mark, CRLF line ends, a header line, then
// path,outcome,sheets searched,rows extracted,formulas not evaluated for each
// source workbook.
QByteArray jobReportCsv(const JobResult &result);

// Writes the report to `path` (replacing it whole); false with `error` set when it cannot.
bool writeJobReport(const QString &path, const JobResult &result, QString *error);

}  // namespace engine
