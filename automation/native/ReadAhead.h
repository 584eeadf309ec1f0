// SPDX-License-Identifier: Apache-2.0
// Reads the workbooks a job is about to open on background threads, a bounded
// number ahead of the one being opened, so that parsing the next workbooks
// overlaps searching the current one. What open() returns is the same as
// without it; only when the work is done changes.
#pragma once

#include "automation/Automation.h"
#include "automation/native/ReducedView.h"
#include "automation/native/WorkbookCache.h"

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace automation::native {

class ReadAhead {
public:
    // Workbooks read ahead and not yet opened hold about this much in all;
    // the next one to be opened is read whatever it holds. With dense matches
    // a reduced view of a large workbook holds nearly all its rows.
    static constexpr size_t kDefaultBudgetBytes = size_t(96) << 20;

    // threads: background readers; depth: how many workbooks may be read
    // ahead of the one opened last (each costs its parsed size in memory);
    // budgetBytes: what those may hold in all (see kDefaultBudgetBytes).
    ReadAhead(std::shared_ptr<ParsedWorkbookCache> cache, int threads, int depth,
              size_t budgetBytes = kDefaultBudgetBytes);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // The files about to be opened, in order, and what the job will do with
    // them. A new plan replaces the previous one. When the list will be opened
    // again, workbooks are kept in the cache: reduced to what the plan's
    // searches can reach when it names them, else whole.
    void expect(const OpenPlan &plan);

    // The workbook at `path`: from a read that is done or under way, else read
    // here. Null when it cannot be read; `status` then says why.
    std::shared_ptr<const CachedWorkbook> take(const QString &path, readers::ReadStatus *status = nullptr);

    static int defaultThreads();

private:
    enum class State { Waiting, Reading, Done, Taken };
    struct Item {
        QString path;
        State state = State::Waiting;
        std::shared_ptr<const CachedWorkbook> result;
        readers::ReadStatus status = readers::ReadStatus::Ok;
    };

    std::shared_ptr<const CachedWorkbook> read(const QString &path, bool keep,
                                               const std::shared_ptr<const SearchPlan> &searches,
                                               readers::ReadStatus *status) const;
    // read() behind a barrier: whatever fails becomes a status, never an exception.
    std::shared_ptr<const CachedWorkbook> readGuarded(const QString &path, bool keep,
                                                      const std::shared_ptr<const SearchPlan> &searches,
                                                      readers::ReadStatus *status, bool fold) const;
    // readGuarded() on the job's thread, which also tells the budget its size.
    std::shared_ptr<const CachedWorkbook> readHere(const QString &path, bool keep,
                                                   const std::shared_ptr<const SearchPlan> &searches,
                                                   readers::ReadStatus *status);
    void work();
    // Whether item `i`, already within depth, may start now: it is the next
    // to be opened, or it keeps what is ahead within the budget. Called with
    // the mutex held.
    bool mayStart(size_t i) const;

    std::shared_ptr<ParsedWorkbookCache> cache_;
    const int depth_;
    const size_t budgetBytes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Item> plan_;
    uint64_t generation_ = 0;                     // counts plans, so a read finished for an old plan is dropped
    size_t next_ = 0;                             // the item the next take() expects
    bool keep_ = false;                           // whether reads go into the cache (the list is opened again)
    std::shared_ptr<const SearchPlan> searches_;  // what kept workbooks are reduced to
    bool stop_ = false;
    // The size of the last workbook read: what a read under way will likely
    // hold, for the budget.
    size_t lastReadBytes_ = 0;
    std::vector<std::thread> threads_;
};

}  // namespace automation::native
