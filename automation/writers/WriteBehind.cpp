// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/WriteBehind.h"

namespace automation::writers {

WriteResult WriteBehind::write(std::string &buffer) {
    if (WriteResult before = finish(); !before) return before;
    // Copied, not swapped: the caller goes on filling memory its own core
    // holds, while the copy is read on the other.
    inFlight_.assign(buffer);
    buffer.clear();
    try {
        pending_ = std::async(std::launch::async, [this] { return file_.write(inFlight_.data(), inFlight_.size()); });
        return WriteResult::done();
    } catch (...) {
        // No thread (or no memory for one) to be had: the write is done here,
        // as it would be without one, and a failure stops later writes alike.
        WriteResult written = file_.write(inFlight_.data(), inFlight_.size());
        failed_ = !written;
        return written;
    }
}

WriteResult WriteBehind::finish() {
    if (failed_) return WriteResult::failed("cannot save: an earlier write failed");
    if (!pending_.valid()) return WriteResult::done();
    WriteResult written;
    try {
        written = pending_.get();
    } catch (...) {
        written = WriteResult::failed("cannot save: the write failed");
    }
    failed_ = !written;
    return written;
}

}  // namespace automation::writers
