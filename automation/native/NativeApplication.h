// SPDX-License-Identifier: Apache-2.0
// The in-process spreadsheet application: workbooks held as sparse models,
// read and written by the program's own readers and writers.
#pragma once

#include "automation/Automation.h"
#include "automation/native/NativeWorkbooks.h"
#include "automation/native/WorkbookState.h"

#include <memory>

namespace automation::native {

class ParsedWorkbookCache;

class NativeApplication : public Application {
public:
    // Without a cache of its own the application keeps a private one.
    explicit NativeApplication(std::shared_ptr<ParsedWorkbookCache> cache = nullptr);
    ~NativeApplication() override;

    void setVisible(const QString &visible) override;
    void setDisplayAlerts(bool on) override;
    Workbooks *workbooks() override;
    std::unique_ptr<Workbook> activeWorkbook() override;
    void quit() override;

    // Where opened workbooks are kept between openings (to parse ahead into).
    std::shared_ptr<ParsedWorkbookCache> parsedWorkbookCache() const;

private:
    std::shared_ptr<ApplicationState> state_;
    bool ownsCache_;
    NativeWorkbooks workbooks_;
};

}  // namespace automation::native
