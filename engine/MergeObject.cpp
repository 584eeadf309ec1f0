// SPDX-License-Identifier: Apache-2.0
#include "engine/MergeObject.h"

#include "automation/Automation.h"
#include "engine/ComInit.h"
#include "engine/JobContext.h"
#include "engine/JobText.h"
#include "engine/ResultNaming.h"
#include "engine/ResultWorkbook.h"
#include "engine/SearchValues.h"
#include "engine/SourceListing.h"
#include "engine/SourceWalk.h"

#include <QDateTime>
#include <exception>
#include <new>

namespace {

const QString kApplicationClass = QStringLiteral("Excel.Application");
const QString kInvisible = QStringLiteral("false");

}  // namespace

MergeObject::MergeObject(const QString &name, QObject *parent)
    : QObject(parent), name_(name), options_(engine::optionSet()) {}

void MergeObject::ExcelFilter() {
    result_ = engine::JobResult{};
    stopRequested_.store(false, std::memory_order_relaxed);
    // Whatever goes wrong, the user is told, and the window gets its button back.
    try {
        runJob();
    } catch (const std::bad_alloc &) {
        interrupt(QStringLiteral("内存不足"));
    } catch (const std::exception &e) {
        interrupt(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        interrupt(QStringLiteral("未知错误"));
    }
    emit Signal_SetButtonEnable();
}

void MergeObject::interrupt(const QString &reason) {
    const QString text = engine::text::kInterruptedPrefix + reason;
    // The interruption is what the user must hear of, whatever came before it.
    result_.outcome = engine::JobResult::Outcome::Error;
    result_.errorReason = text;
    emit ShowDisposingFile(text);
}

void MergeObject::runJob() {
    const engine::OptionSet &options = options_;
    engine::JobContext job(options);
    job.report = [this](const QString &text) { emit ShowDisposingFile(text); };
    job.nowSeconds = [] { return static_cast<long long>(QDateTime::currentSecsSinceEpoch()); };
    job.stopRequested = [this] { return stopRequested_.load(std::memory_order_relaxed); };
    job.progress = [this](int filesDone, int filesTotal, int passIndex, int passCount) {
        emit ShowProgress(filesDone, filesTotal, passIndex + 1, passCount);
    };

    job.values = engine::searchValuesFrom(options.findText);
    job.fileNames = engine::resultBaseNames(job.values);
    job.startSeconds = job.nowSeconds();
    const QStringList sourceFiles = engine::listSourceFiles(options.sourcePath);

    engine::platform::initializeComForThread();

    // The result goes back to the worker however the job ends, also by an exception.
    struct ResultHandOver {
        engine::JobContext &job;
        engine::JobResult &out;
        ~ResultHandOver() {
            job.result.rowsExtracted = job.rowsExtracted;
            job.result.filesSearched = job.filesSearched;
            out = std::move(job.result);
        }
    } handOver{job, result_};

    std::unique_ptr<automation::Application> application;
    if (const automation::ApplicationFactory factory = automation::applicationFactory())
        application = factory(kApplicationClass);
    emit ShowDisposingFile(engine::text::kApplicationCreated);

    if (application) {
        application->setVisible(kInvisible);
        application->setDisplayAlerts(false);
        job.application = application.get();
        job.workbooks = application->workbooks();
    }
    emit ShowDisposingFile(engine::text::kWorkbooksAsked);

    if (!job.workbooks) {
        job.result.fail(engine::text::kNoApplication);
        emit ShowDisposingFile(engine::text::kNoApplication);
    } else {
        job.matchMode = options.wholeCellMatch ? automation::kLookAtWhole : automation::kLookAtPart;
        const int passCount = options.oneBookPerValue ? job.values.size() : 1;
        job.rowsExtracted = 0;

        for (int passIndex = 0; passIndex < passCount; ++passIndex) {
            if (job.result.stopped) break;
            if (passIndex > 0 && job.stopRequested()) {
                // Stopped while the last pass was saving: the values left are not searched.
                engine::stopBeforePass(job, passCount - passIndex);
                break;
            }
            engine::PassState pass;
            pass.passIndex = passIndex;
            pass.passCount = passCount;
            const engine::PassStart start = engine::beginPass(job, pass);
            if (start == engine::PassStart::EndJob) break;
            if (start == engine::PassStart::SkipPass) continue;
            engine::walkSources(job, pass, sourceFiles);
            engine::endPass(job, pass);
        }
    }

    if (application) application->quit();
    job.workbooks = nullptr;
    job.application = nullptr;
    application.reset();
}
