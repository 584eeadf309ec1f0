// SPDX-License-Identifier: Apache-2.0
// The command line of rowsifter-cli, turned into the option set a job reads.
#pragma once

#include "engine/OptionSet.h"

#include <QString>
#include <QStringList>

namespace cli {

struct ParsedCommandLine {
    enum class Outcome { Run, Help, Invalid };
    Outcome outcome = Outcome::Invalid;
    engine::OptionSet options;  // filled when outcome is Run
    QString reportPath;         // --report: where the per-file CSV report goes; empty for none
    bool strict = false;        // --strict: a distinct exit status when files were not searched
    QString message;            // the help or version text, or why the arguments are refused
};

// `arguments` includes the program name first, as QCoreApplication::arguments() gives it.
ParsedCommandLine parseCommandLine(const QStringList &arguments);

}  // namespace cli
