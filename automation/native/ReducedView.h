// SPDX-License-Identifier: Apache-2.0
// A job that opens the same workbooks once per search value would read each of
// them again and again, or keep all of them whole in memory. Told up front what
// it will search for, the backend keeps instead, per workbook, only what those
// searches can reach: the rows in which some cell matches one of the values,
// the row of the used area's first cell, and a column copied whole. The view
// answers every operation on what it kept exactly as the whole workbook would;
// anything beyond that makes the workbook state read the whole file after all
// (WorkbookState::ensureFull).
#pragma once

#include "automation/Automation.h"
#include "automation/model/WorkbookModel.h"
#include "automation/readers/ReadResult.h"
#include "automation/readers/RowFilter.h"
#include "automation/search/FindPattern.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace automation::native {

class CachedWorkbook;

struct SearchPlan {
    QStringList values;
    int lookAt = kLookAtPart;
    uint32_t onlyColumn = 0;  // copied whole by the job; 0 for none
    std::vector<search::FindPattern> patterns;

    SearchPlan(const QStringList &searchValues, int lookAtCode, uint32_t column);
    bool covers(const QString &what, int lookAtCode) const;
};

// What each sheet of the whole workbook looked like, by the sheet's uid.
struct ReducedSheet {
    uint32_t uid = 0;
    readers::SheetOutline outline;
};

struct Reduction {
    std::shared_ptr<const SearchPlan> plan;
    std::vector<ReducedSheet> sheets;

    const ReducedSheet *sheet(uint32_t uid) const;
    // True when the view holds every cell of `area` on that sheet as the whole workbook does.
    bool holds(uint32_t uid, const model::CellArea &area) const;
};

// The reduced copy of `full` for `plan`, its strings pooled anew, its styles shared.
model::WorkbookModel reduceWorkbook(const std::shared_ptr<const CachedWorkbook> &full,
                                    const std::shared_ptr<const SearchPlan> &plan, Reduction *reduction);

// The reduced view of the workbook at `path` for `plan`, made while the file
// is read (readers::RowFilter) where the reader can, else by reading it whole
// and reducing that. Null when it cannot be read (`status` says why).
std::shared_ptr<const CachedWorkbook> readReduced(const QString &path, const std::shared_ptr<const SearchPlan> &plan,
                                                  readers::ReadStatus *status = nullptr);

}  // namespace automation::native
