// SPDX-License-Identifier: Apache-2.0
#include "engine/JobResult.h"

namespace engine {

QString fileOutcomeName(const SourceFileReport &file) {
    switch (file.outcome) {
        case FileOutcome::Searched:
            return QStringLiteral("searched");
        case FileOutcome::Stopped:
            return QStringLiteral("stopped");
        case FileOutcome::NotRead:
            break;
    }
    return QString::fromLatin1(automation::readStatusText(file.whyNotRead));
}

int JobResult::filesNotSearched() const {
    int count = 0;
    for (const SourceFileReport &file : files) count += file.outcome == FileOutcome::NotRead ? 1 : 0;
    return count;
}

void JobResult::fail(const QString &reason) {
    if (outcome == Outcome::Error) return;
    outcome = Outcome::Error;
    errorReason = reason;
}

}  // namespace engine
