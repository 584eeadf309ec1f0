// SPDX-License-Identifier: Apache-2.0
// One worksheet of the native backend, found by its stable uid.
#pragma once

#include "automation/Automation.h"
#include "automation/native/WorkbookState.h"

#include <memory>

namespace automation::native {

class NativeWorksheet : public Worksheet {
public:
    NativeWorksheet(std::weak_ptr<WorkbookState> workbook, uint32_t uid);

    QString name() const override;
    std::unique_ptr<Range> usedRange() override;
    std::unique_ptr<Range> cells(int row, int column) override;
    std::unique_ptr<Range> rows(int row) override;
    std::unique_ptr<Range> columns(int column) override;
    bool remove() override;

    uint32_t uid() const { return uid_; }
    std::shared_ptr<WorkbookState> workbook() const { return workbook_.lock(); }

private:
    std::shared_ptr<WorkbookState> resolve(int *sheetIndex) const;
    std::unique_ptr<Range> block(uint32_t firstRow, uint32_t firstColumn, uint32_t lastRow, uint32_t lastColumn);

    std::weak_ptr<WorkbookState> workbook_;
    uint32_t uid_;
};

}  // namespace automation::native
