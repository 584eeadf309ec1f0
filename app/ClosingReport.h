// SPDX-License-Identifier: Apache-2.0
// What the window tells the user once a job has ended, when something needs
// their attention: files not searched, a failed save, a result saved as CSV,
// formulas that could not be calculated, a stop or an interruption. A job without any of these has no report.
#pragma once

#include "engine/JobResult.h"

#include <QString>
#include <QStringList>

namespace app {

struct ClosingReport {
    QString summary;        // the job's summary line, when it got that far
    QStringList attention;  // one plain sentence for each thing to look at
    QStringList details;    // every file not searched or with formulas left uncalculated, and every failed save
    bool needed() const { return !attention.isEmpty(); }
};

ClosingReport closingReportOf(const engine::JobResult &result);

}  // namespace app
