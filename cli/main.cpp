// SPDX-License-Identifier: Apache-2.0
// rowsifter-cli: one extraction job from the command line.
#include "cli/CliJob.h"
#include "cli/CliOptions.h"
#include "engine/JobReport.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rowsifter-cli"));

    const cli::ParsedCommandLine parsed = cli::parseCommandLine(QCoreApplication::arguments());
    switch (parsed.outcome) {
        case cli::ParsedCommandLine::Outcome::Help:
            std::fputs(parsed.message.toUtf8().constData(), stdout);
            return cli::kJobEnded;
        case cli::ParsedCommandLine::Outcome::Invalid:
            std::fprintf(stderr, "rowsifter-cli: %s\nTry rowsifter-cli --help.\n", parsed.message.toUtf8().constData());
            return cli::kBadArguments;
        case cli::ParsedCommandLine::Outcome::Run:
            break;
    }

    engine::JobResult result;
    cli::runJobInWorkerThread(
        parsed.options,
        [](const QString &text) {
            std::fprintf(stderr, "%s\n", text.toUtf8().constData());
            std::fflush(stderr);
        },
        &result);

    if (!parsed.reportPath.isEmpty()) {
        QString error;
        if (!engine::writeJobReport(parsed.reportPath, result, &error)) {
            std::fprintf(stderr, "rowsifter-cli: %s\n", error.toUtf8().constData());
            return cli::kJobFailed;
        }
    }
    return cli::exitStatusOf(result, parsed.strict);
}
