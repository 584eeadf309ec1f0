// SPDX-License-Identifier: Apache-2.0
// The state shared by all handles into one open workbook, and by all handles
// into one application. Handles hold it weakly: once a workbook is closed (or
// the application gone) their calls fail softly.
#pragma once

#include "automation/model/RowSpill.h"
#include "automation/model/WorkbookModel.h"
#include "automation/native/DisplayText.h"

#include <QString>
#include <memory>
#include <unordered_map>
#include <vector>

namespace automation::native {

class CachedWorkbook;
struct FindMemo;
class ParsedWorkbookCache;
class ReadAhead;
struct Reduction;

// Maps string and style ids of one source workbook to those of a destination.
struct RemapTable {
    static constexpr uint32_t kUnmapped = UINT32_MAX;
    uint64_t sourceSerial = 0;
    std::vector<uint32_t> strings;
    std::vector<uint32_t> styles;
    // Per source style: 1 when its number format shows a calendar date, 0
    // when not, -1 not yet asked (only between different date systems).
    std::vector<int8_t> showsDate;
};

struct WorkbookState {
    uint64_t serial = 0;  // never reused (nextWorkbookSerial), so remap tables cannot mistake a source
    model::WorkbookModel model;
    std::shared_ptr<const CachedWorkbook> origin;  // the cached parse this view came from
    // Set while the model is a reduced view: operations on what it left out
    // call ensureFull() first, which reads the whole file and replays `clears`.
    std::shared_ptr<const Reduction> reduction;
    QString path;
    struct Clear {
        uint32_t sheetUid;
        model::CellArea area;
    };
    std::vector<Clear> clears;
    uint32_t activeSheetUid = 0;
    DisplayTextCache display;
    // The last Find's compiled text and what it learnt of the number formats:
    // a search extracting many rows asks the same question once per row.
    std::shared_ptr<FindMemo> findMemo;
    std::vector<RemapTable> remaps;  // copies into this workbook, most recent first
    // Rows copied below the end of one sheet (results), held on disk until the
    // save streams them out; see model::RowSpill. Null when none.
    std::unique_ptr<model::RowSpill> spill;
    uint32_t spillSheetUid = 0;
    // The texts a copy of whole columns into an empty sheet added to the
    // string pool (ids from..to): a scratch column filled and emptied once
    // per source sheet would otherwise keep every text it ever held.
    struct LentStrings {
        uint32_t sheetUid = 0;
        size_t from = 0, to = 0;
    };
    LentStrings lent;

    // Before an operation on `area` of a sheet: makes the model whole when a
    // reduced view left out part of it. False when that read failed.
    bool ensureHolds(uint32_t sheetUid, const model::CellArea &area);
    // Before an operation a reduced view cannot answer at all.
    bool ensureFull();
    // Before anything but an append or a save reads or changes a sheet: puts
    // the sheet's spilled rows back into the model. False when they could not
    // be read back (the spill is then kept, so a save still fails).
    bool settle(uint32_t sheetUid);
    // The last row holding anything (model and spill); 0 when none.
    uint32_t lastRow(uint32_t sheetUid) const;
    // After a clear on the sheet: drops the lent texts from the pool when
    // nothing refers to them any more.
    void giveBackStrings(uint32_t sheetUid);
    // Records a clear (contents and formats) that a later ensureFull must replay.
    void noteClear(uint32_t sheetUid, const model::CellArea &area);
    // True when a Find for this text can be answered by the current model.
    bool answersFind(const QString &what, int lookAt) const;

    // Index of the sheet with this uid, or -1.
    int sheetIndex(uint32_t uid) const { return model.sheetIndexByUid(uid); }
    int activeSheetIndex() const;
    // The remap table for copies from `sourceSerial`, made when missing.
    RemapTable &remapFrom(uint64_t sourceSerial);
};

uint64_t nextWorkbookSerial();

struct ApplicationState {
    std::vector<std::shared_ptr<WorkbookState>> workbooks;  // open ones, in opening order
    std::weak_ptr<WorkbookState> active;
    std::shared_ptr<ParsedWorkbookCache> cache;
    std::shared_ptr<ReadAhead> readAhead;  // made when a job announces what it will open
    bool visible = false;
    bool displayAlerts = true;

    std::shared_ptr<WorkbookState> newWorkbook(model::WorkbookModel model);
    void close(const WorkbookState *workbook);
    void closeAll();
};

}  // namespace automation::native
