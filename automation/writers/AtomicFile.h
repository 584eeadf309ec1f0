// SPDX-License-Identifier: Apache-2.0
// A file that appears under its name complete or not at all: the content goes
// to a uniquely named temporary file in the target's folder, which is flushed
// to disk and then renamed over the target. Until commit() succeeds the target
// stays exactly as it was; an uncommitted temporary file is removed.
#pragma once

#include "automation/WriteResult.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace automation::writers {

class AtomicFile {
public:
    explicit AtomicFile(std::string targetPath);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the temporary file beside the target. A failure says why: the
    // folder is missing, not a folder, not writable, or the name is unusable.
    WriteResult open();

    const std::string &targetPath() const { return target_; }

    // The temporary file's path, for writers that open it themselves.
    const std::string &tempPath() const { return tempPath_; }

    // Closes this object's handle but keeps the temporary file, so another
    // library may write to tempPath().
    void releaseHandle();

    WriteResult write(const char *data, size_t size);
    // Moves where the next write goes (a writer that fills in a header later).
    WriteResult seek(uint64_t offset);

    // Flushes the temporary file to disk and renames it over the target.
    WriteResult commit();

    // Removes the temporary file; the target is untouched.
    void discard();

    // A failure of something written into this file: "cannot save "path": why".
    WriteResult failed(const std::string &why, SaveFailure kind = SaveFailure::Other) const;

private:
    WriteResult failedOnError(int errorNumber) const;

    std::string target_;
    std::string tempPath_;
    int fd_ = -1;
    bool committed_ = false;
};

// The reason behind a system error number, in words a user understands.
std::string describeFileError(int errorNumber);
SaveFailure fileErrorKind(int errorNumber);

}  // namespace automation::writers
