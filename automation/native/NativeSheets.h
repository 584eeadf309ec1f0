// SPDX-License-Identifier: Apache-2.0
// The sheets collection of one workbook of the native backend.
#pragma once

#include "automation/Automation.h"
#include "automation/native/WorkbookState.h"

#include <memory>

namespace automation::native {

class NativeSheets : public Sheets {
public:
    explicit NativeSheets(std::weak_ptr<WorkbookState> workbook);

    int count() const override;
    std::unique_ptr<Worksheet> item(int index) override;
    std::unique_ptr<Worksheet> add(const Worksheet &before) override;

    // The first "SheetN" name not yet taken (names compare case-insensitively).
    static QString unusedSheetName(const model::WorkbookModel &workbook);

private:
    std::weak_ptr<WorkbookState> workbook_;
};

}  // namespace automation::native
