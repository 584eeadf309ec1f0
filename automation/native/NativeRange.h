// SPDX-License-Identifier: Apache-2.0
// A block of cells on one worksheet of the native backend.
#pragma once

#include "automation/Automation.h"
#include "automation/model/Sheet.h"
#include "automation/native/WorkbookState.h"

#include <memory>

namespace automation::native {

class NativeRange : public Range {
public:
    NativeRange(std::weak_ptr<WorkbookState> workbook, uint32_t sheetUid, const model::CellArea &area);

    int row() const override;
    int column() const override;
    long long count() const override;
    long long rowCount() const override;
    long long columnCount() const override;
    std::unique_ptr<Range> find(const QString &what, const Range *after, int lookIn, int lookAt) override;
    bool copy(const Range &destination) override;
    QString value() const override;
    bool clear() override;

    const model::CellArea &area() const { return area_; }
    uint32_t sheetUid() const { return sheetUid_; }
    std::shared_ptr<WorkbookState> workbook() const { return workbook_.lock(); }

private:
    // The workbook and the sheet's index while both still exist.
    std::shared_ptr<WorkbookState> resolve(int *sheetIndex) const;

    std::weak_ptr<WorkbookState> workbook_;
    uint32_t sheetUid_;
    model::CellArea area_;
};

}  // namespace automation::native
