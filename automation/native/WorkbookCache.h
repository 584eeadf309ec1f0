// SPDX-License-Identifier: Apache-2.0
// Parsed workbooks kept across openings: per-value passes open every source
// workbook once per value, and re-reading it each time would dominate the job.
// An entry is valid while its file keeps the same size and modification time.
// Each opening gets a copy-on-write view of the model, so what one opening
// changes (a cleared range, a scratch sheet) never shows in another.
#pragma once

#include "automation/model/WorkbookModel.h"
#include "automation/readers/ReadResult.h"

#include <QDateTime>
#include <QString>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace automation::native {

struct Reduction;

// The folded texts of a workbook's string pool, made once and then only read.
struct FoldedStrings {
    std::vector<std::u16string> texts;  // by string id
};

// One parsed workbook as read from its file; never changed once cached.
class CachedWorkbook {
public:
    // `reduction`: set when the model is a reduced view (see ReducedView.h).
    explicit CachedWorkbook(model::WorkbookModel model, std::shared_ptr<const Reduction> reduction = nullptr);

    const model::WorkbookModel &model() const { return model_; }
    const std::shared_ptr<const Reduction> &reduction() const { return reduction_; }
    size_t estimatedBytes() const { return bytes_; }
    // Built on first use, safely from any thread.
    const FoldedStrings &foldedStrings() const;

private:
    model::WorkbookModel model_;
    std::shared_ptr<const Reduction> reduction_;
    size_t bytes_ = 0;
    mutable std::once_flag foldOnce_;
    mutable FoldedStrings folded_;
};

struct FileStamp {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileStamp &o) const { return size == o.size && modified == o.modified; }
};

// A cache bounded by estimated bytes that keeps what it holds when full (see
// storeLocked); setBudget() evicts the least recently used. Thread-safe.
class ParsedWorkbookCache {
public:
    static constexpr size_t kDefaultBudgetBytes = size_t(512) << 20;

    explicit ParsedWorkbookCache(size_t budgetBytes = kDefaultBudgetBytes);

    // The workbook at `path`, from the cache or freshly read; null when it
    // cannot be read (`status` then says why).
    std::shared_ptr<const CachedWorkbook> load(const QString &path, readers::ReadStatus *status = nullptr);
    // The workbook at `path` when the cache holds it unchanged; null otherwise (nothing is read).
    std::shared_ptr<const CachedWorkbook> lookup(const QString &path);
    // Offers a workbook parsed elsewhere (for example ahead of time on another thread).
    std::shared_ptr<const CachedWorkbook> insert(const QString &path, const FileStamp &stamp,
                                                 model::WorkbookModel model);
    // Keeps an entry made elsewhere, if the budget allows.
    void store(const QString &path, const FileStamp &stamp, const std::shared_ptr<const CachedWorkbook> &workbook);

    static bool stampOf(const QString &path, FileStamp *stamp);

    void clear();
    void setBudget(size_t budgetBytes);
    size_t budget() const;
    size_t usedBytes() const;
    size_t entryCount() const;
    size_t hits() const;
    size_t misses() const;

private:
    struct Entry {
        QString path;
        FileStamp stamp;
        std::shared_ptr<const CachedWorkbook> workbook;
    };
    using List = std::list<Entry>;

    void evictLocked();
    void storeLocked(const QString &path, const FileStamp &stamp,
                     const std::shared_ptr<const CachedWorkbook> &workbook);

    mutable std::mutex mutex_;
    List lru_;  // most recent first
    std::unordered_map<QString, List::iterator> index_;
    size_t budget_;
    size_t used_ = 0;
    size_t hits_ = 0, misses_ = 0;
};

}  // namespace automation::native
