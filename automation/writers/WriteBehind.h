// SPDX-License-Identifier: Apache-2.0
// Writes the filled buffers of a file on a second thread while the caller
// fills the next one, so that a large result costs its formatting or its
// writing, whichever is slower, not both. One write is in flight at a time,
// and the writes reach the file in the order given.
#pragma once

#include "automation/WriteResult.h"
#include "automation/writers/AtomicFile.h"

#include <future>
#include <string>

namespace automation::writers {

class WriteBehind {
public:
    explicit WriteBehind(AtomicFile &file) : file_(file) {}
    ~WriteBehind() { finish(); }
    WriteBehind(const WriteBehind &) = delete;
    WriteBehind &operator=(const WriteBehind &) = delete;

    // Takes the bytes of `buffer` to be written and gives it back empty, with
    // room to fill. Waits for the write before; its failure is the answer,
    // and then nothing more is written.
    WriteResult write(std::string &buffer);
    // Waits for the last write and gives its result.
    WriteResult finish();

private:
    AtomicFile &file_;
    std::string inFlight_;
    std::future<WriteResult> pending_;
    bool failed_ = false;
};

}  // namespace automation::writers
