// SPDX-License-Identifier: Apache-2.0
// A whole workbook in memory: its worksheets in order, one string pool and
// one style table shared by all of them, and the date system.
//
// Sheets, strings and styles are held by shared pointers so that copying a
// WorkbookModel is cheap and the copies share everything until one of them
// writes: the mutable accessors detach (clone) the part they hand out when
// another copy still shares it. A parsed workbook can so be kept once and
// opened many times, each opening free to change its own view.
#pragma once

#include "automation/model/Sheet.h"
#include "automation/model/StringPool.h"
#include "automation/model/Style.h"

#include <memory>
#include <string>
#include <vector>

namespace automation::model {

class WorkbookModel {
public:
    WorkbookModel();

    bool date1904 = false;
    // Formula cells the reader could not evaluate; they hold what the file stored.
    uint32_t formulasNotEvaluated = 0;

    // ---- sheets
    size_t sheetCount() const { return sheets_.size(); }
    const Sheet &sheet(size_t index) const { return *sheets_[index]; }
    Sheet &mutableSheet(size_t index);
    // Inserts a new empty sheet at `index` (clamped to the end) and returns it.
    Sheet &insertSheet(size_t index, std::string name);
    Sheet &appendSheet(std::string name) { return insertSheet(sheets_.size(), std::move(name)); }
    void removeSheet(size_t index);
    // Sheet::clearArea on a sheet, without first copying a shared sheet whole.
    void clearSheetArea(size_t index, const CellArea &area);
    // Index of the sheet with this exact name, or -1.
    int sheetIndex(const std::string &name) const;
    // Index of the sheet with this uid, or -1.
    int sheetIndexByUid(uint32_t uid) const;

    // Puts `sheet` in place of the sheet at `index` (a view built elsewhere).
    void replaceSheet(size_t index, Sheet sheet);

    // ---- shared parts
    const StringPool &strings() const { return *strings_; }
    StringPool &mutableStrings();
    void replaceStrings(StringPool strings);
    const StyleTable &styles() const { return *styles_; }
    StyleTable &mutableStyles();

    // The text of a string cell; empty for other cells.
    std::string_view text(const Cell &cell) const;

private:
    std::vector<std::shared_ptr<Sheet>> sheets_;
    std::shared_ptr<StringPool> strings_;
    std::shared_ptr<StyleTable> styles_;
    uint32_t nextUid_ = 1;
};

}  // namespace automation::model
