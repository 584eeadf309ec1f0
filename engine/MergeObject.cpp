#include "engine/MergeObject.h"

#include "automation/Automation.h"
#include "engine/ComInit.h"
#include "engine/JobContext.h"
#include "engine/JobText.h"
#include "engine/OptionSet.h"
#include "engine/ResultWorkbook.h"
#include "engine/SearchValues.h"
#include "engine/SourceListing.h"
#include "engine/SourceWalk.h"

#include <QDateTime>

namespace {

const QString kApplicationClass = QStringLiteral("Excel.Application");
const QString kInvisible = QStringLiteral("false");

}  // namespace

MergeObject::MergeObject(const QString &name, QObject *parent) : QObject(parent), name_(name) {}

void MergeObject::ExcelFilter()
{
    // The window waits for the end signal to take the button back, whatever happened.
    try {
        runJob();
    } catch (...) {
    }
    emit Signal_SetButtonEnable();
}

void MergeObject::runJob()
{
    const engine::OptionSet &options = engine::optionSet();
    engine::JobContext job(options);
    job.report = [this](const QString &text) { emit ShowDisposingFile(text); };
    job.nowSeconds = [] { return static_cast<long long>(QDateTime::currentSecsSinceEpoch()); };

    job.values = engine::searchValuesFrom(options.findText);
    job.startSeconds = job.nowSeconds();
    const QStringList sourceFiles = engine::listSourceFiles(options.sourcePath);

    engine::platform::initializeComForThread();

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
        emit ShowDisposingFile(engine::text::kNoApplication);
    } else {
        job.matchMode = options.wholeCellMatch ? automation::kLookAtWhole : automation::kLookAtPart;
        const int passCount = options.oneBookPerValue ? job.values.size() : 1;
        job.rowsExtracted = 0;

        for (int passIndex = 0; passIndex < passCount; ++passIndex) {
            engine::PassState pass;
            pass.passIndex = passIndex;
            pass.passCount = passCount;
            const engine::PassStart start = engine::beginPass(job, pass);
            if (start == engine::PassStart::EndJob)
                break;
            if (start == engine::PassStart::SkipPass)
                continue;
            engine::walkSources(job, pass, sourceFiles);
            engine::endPass(job, pass);
        }
    }

    if (application)
        application->quit();
    job.workbooks = nullptr;
    job.application = nullptr;
    application.reset();
}
