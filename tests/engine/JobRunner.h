// SPDX-License-Identifier: Apache-2.0
// Runs one job of the engine in the calling thread and keeps what it reported.
#pragma once

#include "engine/OptionSet.h"

#include <QString>
#include <QStringList>
#include <ostream>

struct JobRun {
    QStringList texts;
    int endSignals = 0;
    bool endedLast = false;  // the end signal came after every status text
};

// Copies `options` into the process-wide option set and runs ExcelFilter().
JobRun runJob(const engine::OptionSet &options);

// Creates an empty file (and its folders); false when that failed.
bool touchFile(const QString &path);

// The summary texts of a run, in order.
QStringList summariesOf(const JobRun &run);

// Readable failure messages for texts.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }
