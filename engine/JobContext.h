// SPDX-License-Identifier: Apache-2.0
// The working state of one job and of its current pass, shared by the parts
// of the job (result workbooks, source walk, sheet search).
#pragma once

#include "automation/Automation.h"
#include "engine/JobResult.h"
#include "engine/OptionSet.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace engine {

struct JobContext {
    explicit JobContext(const OptionSet &jobOptions) : options(jobOptions) {}

    const OptionSet &options;
    QStringList values;
    QStringList fileNames;  // the file name each value gives a result, by value index
    long long startSeconds = 0;
    int matchMode = automation::kLookAtPart;
    long long rowsExtracted = 0;         // whole job, never reset
    long long filesSearched = 0;         // current pass
    long long rowsInWorkbook = 0;        // current pass
    bool formatsSimplifiedSaid = false;  // the job says it once, whatever the passes
    automation::Application *application = nullptr;
    automation::Workbooks *workbooks = nullptr;
    std::function<void(const QString &)> report;  // one status text
    std::function<long long()> nowSeconds;
    // Asked between files: true once the user wants the job to end.
    std::function<bool()> stopRequested = [] { return false; };
    // Files done of the files listed in the current pass, after each file.
    std::function<void(int filesDone, int filesTotal, int passIndex, int passCount)> progress = [](int, int, int, int) {
    };

    JobResult result;
    // The report line of a source workbook, made on its first visit.
    SourceFileReport &fileReport(const QString &path) {
        auto it = fileIndex.constFind(path);
        if (it != fileIndex.constEnd()) return result.files[it.value()];
        fileIndex.insert(path, result.files.size());
        result.files.append(SourceFileReport{path});
        return result.files.last();
    }

private:
    QHash<QString, int> fileIndex;
};

struct PassState {
    int passIndex = 0;
    int passCount = 1;
    std::unique_ptr<automation::Workbook> workbook;
    std::unique_ptr<automation::Sheets> sheets;
    std::unique_ptr<automation::Worksheet> resultSheet;
    std::unique_ptr<automation::Worksheet> scratchSheet;
    std::unique_ptr<automation::Range> scratchCell;
    int headerRowFlag = 0;
    long long filesNotSearched = 0;
    long long filesNotReached = 0;  // left unopened when the job was stopped
};

}  // namespace engine
