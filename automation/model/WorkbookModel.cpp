// SPDX-License-Identifier: Apache-2.0
#include "automation/model/WorkbookModel.h"

#include <algorithm>

namespace automation::model {

WorkbookModel::WorkbookModel() : strings_(std::make_shared<StringPool>()), styles_(std::make_shared<StyleTable>()) {}

Sheet &WorkbookModel::mutableSheet(size_t index) {
    auto &p = sheets_[index];
    if (p.use_count() > 1) p = std::make_shared<Sheet>(*p);
    return *p;
}

Sheet &WorkbookModel::insertSheet(size_t index, std::string name) {
    index = std::min(index, sheets_.size());
    auto sheet = std::make_shared<Sheet>();
    sheet->name = std::move(name);
    sheet->uid = nextUid_++;
    sheets_.insert(sheets_.begin() + static_cast<std::ptrdiff_t>(index), sheet);
    return *sheet;
}

void WorkbookModel::removeSheet(size_t index) {
    if (index < sheets_.size()) sheets_.erase(sheets_.begin() + static_cast<std::ptrdiff_t>(index));
}

void WorkbookModel::clearSheetArea(size_t index, const CellArea &area) {
    if (index >= sheets_.size()) return;
    auto &p = sheets_[index];
    if (p.use_count() > 1)
        p = std::make_shared<Sheet>(p->clearedCopy(area));
    else
        p->clearArea(area);
}

int WorkbookModel::sheetIndex(const std::string &name) const {
    for (size_t i = 0; i < sheets_.size(); ++i)
        if (sheets_[i]->name == name) return static_cast<int>(i);
    return -1;
}

int WorkbookModel::sheetIndexByUid(uint32_t uid) const {
    for (size_t i = 0; i < sheets_.size(); ++i)
        if (sheets_[i]->uid == uid) return static_cast<int>(i);
    return -1;
}

void WorkbookModel::replaceSheet(size_t index, Sheet sheet) {
    if (index < sheets_.size()) sheets_[index] = std::make_shared<Sheet>(std::move(sheet));
}

void WorkbookModel::replaceStrings(StringPool strings) { strings_ = std::make_shared<StringPool>(std::move(strings)); }

StringPool &WorkbookModel::mutableStrings() {
    if (strings_.use_count() > 1) strings_ = std::make_shared<StringPool>(*strings_);
    return *strings_;
}

StyleTable &WorkbookModel::mutableStyles() {
    if (styles_.use_count() > 1) styles_ = std::make_shared<StyleTable>(*styles_);
    return *styles_;
}

std::string_view WorkbookModel::text(const Cell &cell) const {
    return cell.type == CellType::String ? strings_->at(cell.stringId) : std::string_view();
}

}  // namespace automation::model
