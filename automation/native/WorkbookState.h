// The state shared by all handles into one open workbook, and by all handles
// into one application. Handles hold it weakly: once a workbook is closed (or
// the application gone) their calls fail softly.
#pragma once

#include "automation/model/WorkbookModel.h"
#include "automation/native/DisplayText.h"
#include "automation/native/SearchCursor.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace automation::native {

class CachedWorkbook;
class ParsedWorkbookCache;
class ReadAhead;

// Maps string and style ids of one source workbook to those of a destination.
struct RemapTable {
    uint64_t sourceSerial = 0;
    std::vector<uint32_t> strings;
    std::vector<uint32_t> styles;
};

struct WorkbookState {
    uint64_t serial = 0;  // never reused, so remap tables cannot mistake a source
    model::WorkbookModel model;
    std::shared_ptr<const CachedWorkbook> origin;  // the cached parse this view came from
    uint32_t activeSheetUid = 0;
    DisplayTextCache display;
    std::unordered_map<uint32_t, SearchCursor> cursors;  // by sheet uid
    std::vector<RemapTable> remaps;                      // copies into this workbook, most recent first

    // Index of the sheet with this uid, or -1.
    int sheetIndex(uint32_t uid) const { return model.sheetIndexByUid(uid); }
    int activeSheetIndex() const;
    // The remap table for copies from `sourceSerial`, made when missing.
    RemapTable &remapFrom(uint64_t sourceSerial);
};

struct ApplicationState {
    std::vector<std::shared_ptr<WorkbookState>> workbooks;  // open ones, in opening order
    std::weak_ptr<WorkbookState> active;
    std::shared_ptr<ParsedWorkbookCache> cache;
    std::shared_ptr<ReadAhead> readAhead;  // made when a job announces what it will open
    uint64_t nextSerial = 1;
    bool visible = false;
    bool displayAlerts = true;

    std::shared_ptr<WorkbookState> newWorkbook(model::WorkbookModel model);
    void close(const WorkbookState *workbook);
    void closeAll();
};

}  // namespace automation::native
