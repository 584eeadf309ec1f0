// SPDX-License-Identifier: Apache-2.0
#include "automation/native/ReadAhead.h"

#include "automation/native/SourceRead.h"

#include <algorithm>

namespace automation::native {

ReadAhead::ReadAhead(std::shared_ptr<ParsedWorkbookCache> cache, int threads, int depth, size_t budgetBytes)
    : cache_(std::move(cache)), depth_(std::max(1, depth)), budgetBytes_(budgetBytes) {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread &t : threads_) t.join();
}

int ReadAhead::defaultThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, 8u));
}

void ReadAhead::expect(const OpenPlan &plan) {
    std::shared_ptr<const SearchPlan> searches;
    if (!plan.searches.isEmpty())
        searches = std::make_shared<const SearchPlan>(plan.searches, plan.lookAt,
                                                      static_cast<uint32_t>(std::max(0, plan.wholeColumn)));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Reads under way finish into items nobody takes; their threads then move on.
        plan_.clear();
        plan_.reserve(static_cast<size_t>(plan.paths.size()));
        for (const QString &p : plan.paths) plan_.push_back(Item{p, State::Waiting, nullptr});
        next_ = 0;
        keep_ = plan.passes > 1;
        // A plan for the same searches keeps the reduced workbooks already made.
        if (!searches_ || !searches || searches_->values != searches->values || searches_->lookAt != searches->lookAt ||
            searches_->onlyColumn != searches->onlyColumn)
            searches_ = searches;
        ++generation_;
    }
    changed_.notify_all();
}

std::shared_ptr<const CachedWorkbook> ReadAhead::read(const QString &path, bool keep,
                                                      const std::shared_ptr<const SearchPlan> &searches,
                                                      readers::ReadStatus *status) const {
    *status = readers::ReadStatus::Ok;
    if (auto kept = cache_->lookup(path)) {
        // A reduced view serves only the searches it was made for.
        if (!kept->reduction() || (searches && kept->reduction()->plan == searches)) return kept;
    }
    FileStamp stamp;
    if (!ParsedWorkbookCache::stampOf(path, &stamp)) {
        *status = readers::ReadStatus::NotFound;
        return nullptr;
    }
    if (searches) {
        // Reduced while it is read, here on a reader thread: the job's own
        // thread then only searches what can match.
        auto view = readReduced(path, searches, status);
        // Read once only: keeping it would cost memory and buy nothing.
        if (view && keep) cache_->store(path, stamp, view);
        return view;
    }
    readers::ReadResult result = readSourceWorkbook(path);
    *status = result.status;
    if (!result.workbook) return nullptr;
    auto whole = std::make_shared<const CachedWorkbook>(std::move(*result.workbook));
    if (keep) cache_->store(path, stamp, whole);
    return whole;
}

std::shared_ptr<const CachedWorkbook> ReadAhead::readGuarded(const QString &path, bool keep,
                                                             const std::shared_ptr<const SearchPlan> &searches,
                                                             readers::ReadStatus *status, bool fold) const {
    // Reducing and folding allocate as much as the read itself; a failure
    // there costs this one file, never the thread or the job.
    try {
        std::shared_ptr<const CachedWorkbook> result = read(path, keep, searches, status);
        if (result && fold) result->foldedStrings();
        return result;
    } catch (...) {
        *status = readers::ReadStatus::Unreadable;
        return nullptr;
    }
}

bool ReadAhead::mayStart(size_t i) const {
    if (i == next_) return true;
    // Held and under way, with the last read's size standing for reads not done.
    size_t ahead = lastReadBytes_;
    for (size_t j = next_; j < i; ++j) {
        if (plan_[j].state == State::Done && plan_[j].result)
            ahead += plan_[j].result->estimatedBytes();
        else if (plan_[j].state == State::Reading)
            ahead += lastReadBytes_;
    }
    return ahead <= budgetBytes_;
}

void ReadAhead::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        size_t index = plan_.size();
        changed_.wait(lock, [&] {
            if (stop_) return true;
            const size_t end = std::min(plan_.size(), next_ + static_cast<size_t>(depth_));
            for (size_t i = next_; i < end; ++i) {
                if (plan_[i].state == State::Waiting) {
                    if (!mayStart(i)) return false;
                    index = i;
                    return true;
                }
            }
            return false;
        });
        if (stop_) return;
        Item &item = plan_[index];
        item.state = State::Reading;
        const QString path = item.path;
        const bool keep = keep_;
        const auto searches = searches_;
        const uint64_t generation = generation_;
        lock.unlock();
        readers::ReadStatus status = readers::ReadStatus::Ok;
        // Folded here, off the job's thread: the search needs the folded strings.
        std::shared_ptr<const CachedWorkbook> result = readGuarded(path, keep, searches, &status, true);
        lock.lock();
        if (result) lastReadBytes_ = result->estimatedBytes();
        // The plan may have been replaced meanwhile; then this read is not wanted.
        if (generation == generation_ && plan_[index].state == State::Reading) {
            plan_[index].result = std::move(result);
            plan_[index].status = status;
            plan_[index].state = State::Done;
            changed_.notify_all();
        }
    }
}

std::shared_ptr<const CachedWorkbook> ReadAhead::readHere(const QString &path, bool keep,
                                                          const std::shared_ptr<const SearchPlan> &searches,
                                                          readers::ReadStatus *status) {
    std::shared_ptr<const CachedWorkbook> result = readGuarded(path, keep, searches, status, false);
    if (result) {
        std::lock_guard<std::mutex> lock(mutex_);
        lastReadBytes_ = result->estimatedBytes();
    }
    return result;
}

std::shared_ptr<const CachedWorkbook> ReadAhead::take(const QString &path, readers::ReadStatus *status) {
    readers::ReadStatus ignored = readers::ReadStatus::Ok;
    if (!status) status = &ignored;
    std::unique_lock<std::mutex> lock(mutex_);
    size_t index = next_;
    while (index < plan_.size() && plan_[index].path != path) ++index;
    if (index >= plan_.size()) {
        const bool keep = keep_;
        const auto searches = searches_;
        lock.unlock();
        return readHere(path, keep, searches, status);  // not in the plan: read it now
    }
    // Workbooks of the plan that were passed over are not wanted any more.
    for (size_t i = next_; i < index; ++i) {
        plan_[i].result.reset();
        if (plan_[i].state != State::Reading) plan_[i].state = State::Taken;
    }
    next_ = index + 1;
    changed_.notify_all();  // the window moved: readers may start further ahead
    Item &item = plan_[index];
    const uint64_t generation = generation_;
    if (item.state == State::Waiting) {
        item.state = State::Taken;  // read here; no background reader starts it now
        const bool keep = keep_;
        const auto searches = searches_;
        lock.unlock();
        return readHere(path, keep, searches, status);
    }
    changed_.wait(lock, [&] { return stop_ || generation != generation_ || plan_[index].state == State::Done; });
    if (generation != generation_ || plan_[index].state != State::Done) {
        const bool keep = keep_;
        const auto searches = searches_;
        lock.unlock();
        return readHere(path, keep, searches, status);
    }
    std::shared_ptr<const CachedWorkbook> result = std::move(plan_[index].result);
    *status = plan_[index].status;
    plan_[index].state = State::Taken;
    return result;
}

}  // namespace automation::native
