// SPDX-License-Identifier: Apache-2.0
// One open workbook of the native backend.
#pragma once

#include "automation/Automation.h"
#include "automation/native/WorkbookState.h"

#include <memory>

namespace automation::native {

class NativeWorkbook : public Workbook {
public:
    NativeWorkbook(std::weak_ptr<ApplicationState> application, std::weak_ptr<WorkbookState> workbook);

    std::unique_ptr<Sheets> sheets() override;
    WriteResult saveAs(const QString &path) override;
    WriteResult saveAs(const QString &path, int fileFormat) override;
    // Discards the workbook: nothing is ever written back to the file it came from.
    void close(bool saveChanges) override;
    int formulasNotEvaluated() const override;

private:
    std::weak_ptr<ApplicationState> application_;
    std::weak_ptr<WorkbookState> workbook_;
};

}  // namespace automation::native
