// SPDX-License-Identifier: Apache-2.0
#include "automation/native/WorkbookCache.h"

#include "automation/native/SourceRead.h"
#include "automation/search/TextFold.h"

#include <QFile>
#include <QFileInfo>

namespace automation::native {

namespace {
// Rough heap cost of the parts of a model, to weigh entries against the budget.
constexpr size_t kRowOverhead = sizeof(model::Row);
constexpr size_t kStringOverhead = sizeof(std::string) + 16;
constexpr size_t kStyleCost = sizeof(model::CellStyle) + 32;
constexpr size_t kFoldedFactor = 2;  // folded UTF-16 copies of the strings

size_t estimateBytes(const model::WorkbookModel &wb) {
    size_t bytes = 0;
    for (size_t s = 0; s < wb.sheetCount(); ++s) {
        const model::Sheet &sheet = wb.sheet(s);
        bytes += sheet.rows().size() * kRowOverhead + sheet.cellCount() * sizeof(model::Cell);
    }
    const model::StringPool &pool = wb.strings();
    for (size_t i = 0; i < pool.size(); ++i)
        bytes += (pool.at(static_cast<uint32_t>(i)).size() + kStringOverhead) * (1 + kFoldedFactor);
    bytes += wb.styles().size() * kStyleCost;
    return bytes;
}
}  // namespace

CachedWorkbook::CachedWorkbook(model::WorkbookModel model, std::shared_ptr<const Reduction> reduction)
    : model_(std::move(model)), reduction_(std::move(reduction)) {
    bytes_ = estimateBytes(model_);
    // Settle every sheet's used area now: later questions then only read,
    // which keeps the shared sheets safe to read from several threads.
    for (size_t s = 0; s < model_.sheetCount(); ++s) model_.sheet(s).usedArea(nullptr);
}

const FoldedStrings &CachedWorkbook::foldedStrings() const {
    std::call_once(foldOnce_, [this] {
        const model::StringPool &pool = model_.strings();
        folded_.texts.reserve(pool.size());
        for (size_t i = 0; i < pool.size(); ++i)
            folded_.texts.push_back(search::foldText(pool.at(static_cast<uint32_t>(i))));
    });
    return folded_;
}

ParsedWorkbookCache::ParsedWorkbookCache(size_t budgetBytes) : budget_(budgetBytes) {}

bool ParsedWorkbookCache::stampOf(const QString &path, FileStamp *stamp) {
    QFileInfo info(path);
    if (!info.exists() || !info.isFile()) return false;
    stamp->size = info.size();
    stamp->modified = info.lastModified();
    return true;
}

std::shared_ptr<const CachedWorkbook> ParsedWorkbookCache::load(const QString &path, readers::ReadStatus *status) {
    FileStamp stamp;
    if (!stampOf(path, &stamp)) {
        if (status) *status = readers::ReadStatus::NotFound;
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = index_.find(path);
        if (it != index_.end()) {
            if (it->second->stamp == stamp) {
                lru_.splice(lru_.begin(), lru_, it->second);
                ++hits_;
                if (status) *status = readers::ReadStatus::Ok;
                return it->second->workbook;
            }
            used_ -= it->second->workbook->estimatedBytes();
            lru_.erase(it->second);
            index_.erase(it);
        }
        ++misses_;
    }
    // Parse outside the lock so that other threads may use the cache meanwhile.
    readers::ReadResult read = readSourceWorkbook(path);
    if (status) *status = read.status;
    if (!read.workbook) return nullptr;
    auto workbook = std::make_shared<const CachedWorkbook>(std::move(*read.workbook));
    std::lock_guard<std::mutex> lock(mutex_);
    storeLocked(path, stamp, workbook);
    return workbook;
}

std::shared_ptr<const CachedWorkbook> ParsedWorkbookCache::lookup(const QString &path) {
    FileStamp stamp;
    if (!stampOf(path, &stamp)) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = index_.find(path);
    if (it == index_.end() || !(it->second->stamp == stamp)) return nullptr;
    lru_.splice(lru_.begin(), lru_, it->second);
    ++hits_;
    return it->second->workbook;
}

std::shared_ptr<const CachedWorkbook> ParsedWorkbookCache::insert(const QString &path, const FileStamp &stamp,
                                                                  model::WorkbookModel model) {
    auto workbook = std::make_shared<const CachedWorkbook>(std::move(model));
    std::lock_guard<std::mutex> lock(mutex_);
    storeLocked(path, stamp, workbook);
    return workbook;
}

void ParsedWorkbookCache::store(const QString &path, const FileStamp &stamp,
                                const std::shared_ptr<const CachedWorkbook> &workbook) {
    std::lock_guard<std::mutex> lock(mutex_);
    storeLocked(path, stamp, workbook);
}

void ParsedWorkbookCache::storeLocked(const QString &path, const FileStamp &stamp,
                                      const std::shared_ptr<const CachedWorkbook> &workbook) {
    auto old = index_.find(path);
    if (old != index_.end()) {
        used_ -= old->second->workbook->estimatedBytes();
        lru_.erase(old->second);
        index_.erase(old);
    }
    // A job opens its list of workbooks over and over in the same order; when
    // they do not all fit, keeping the ones already held serves every later
    // round, whereas evicting the oldest would serve none. So a full cache
    // hands new workbooks out without keeping them.
    if (used_ + workbook->estimatedBytes() > budget_) return;
    lru_.push_front(Entry{path, stamp, workbook});
    index_[path] = lru_.begin();
    used_ += workbook->estimatedBytes();
}

void ParsedWorkbookCache::evictLocked() {
    while (used_ > budget_ && !lru_.empty()) {
        used_ -= lru_.back().workbook->estimatedBytes();
        index_.erase(lru_.back().path);
        lru_.pop_back();
    }
}

void ParsedWorkbookCache::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lru_.clear();
    index_.clear();
    used_ = 0;
}

void ParsedWorkbookCache::setBudget(size_t budgetBytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    budget_ = budgetBytes;
    evictLocked();
}

size_t ParsedWorkbookCache::budget() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return budget_;
}
size_t ParsedWorkbookCache::usedBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return used_;
}
size_t ParsedWorkbookCache::entryCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lru_.size();
}
size_t ParsedWorkbookCache::hits() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hits_;
}
size_t ParsedWorkbookCache::misses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return misses_;
}

}  // namespace automation::native
