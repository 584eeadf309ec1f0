// SPDX-License-Identifier: Apache-2.0
#include "engine/JobResult.h"

namespace engine {

QString fileOutcomeName(FileOutcome outcome) {
    switch (outcome) {
        case FileOutcome::Searched:
            return QStringLiteral("searched");
        case FileOutcome::Encrypted:
            return QStringLiteral("encrypted");
        case FileOutcome::Damaged:
            return QStringLiteral("damaged");
        case FileOutcome::NotAWorkbook:
            return QStringLiteral("not a workbook");
        case FileOutcome::Unsupported:
            return QStringLiteral("unsupported");
        case FileOutcome::Unreadable:
            return QStringLiteral("unreadable");
        case FileOutcome::Stopped:
            return QStringLiteral("stopped");
    }
    return QStringLiteral("unreadable");
}

FileOutcome fileOutcomeOf(automation::OpenFailure failure) {
    switch (failure) {
        case automation::OpenFailure::None:
            return FileOutcome::Searched;
        case automation::OpenFailure::Encrypted:
            return FileOutcome::Encrypted;
        case automation::OpenFailure::Damaged:
            return FileOutcome::Damaged;
        case automation::OpenFailure::NotAWorkbook:
            return FileOutcome::NotAWorkbook;
        case automation::OpenFailure::Unsupported:
            return FileOutcome::Unsupported;
        case automation::OpenFailure::Unreadable:
            return FileOutcome::Unreadable;
    }
    return FileOutcome::Unreadable;
}

int JobResult::filesNotSearched() const {
    int count = 0;
    for (const SourceFileReport &file : files)
        count += file.outcome != FileOutcome::Searched && file.outcome != FileOutcome::Stopped ? 1 : 0;
    return count;
}

void JobResult::fail(const QString &reason) {
    if (outcome == Outcome::Error) return;
    outcome = Outcome::Error;
    errorReason = reason;
}

}  // namespace engine
