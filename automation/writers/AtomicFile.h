// A file that appears under its name complete or not at all: the content goes
// to a uniquely named temporary file in the target's folder, which is flushed
// to disk and then renamed over the target. Until commit() succeeds the target
// stays exactly as it was; an uncommitted temporary file is removed.
#pragma once

#include "automation/SaveFailure.h"

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

    // Creates the temporary file beside the target. False with a reason when
    // the folder is missing, not a folder, not writable, or the name is unusable.
    bool open(std::string *error);

    const std::string &targetPath() const { return target_; }

    // The temporary file's path, for writers that open it themselves.
    const std::string &tempPath() const { return tempPath_; }

    // Closes this object's handle but keeps the temporary file, so another
    // library may write to tempPath().
    void releaseHandle();

    bool write(const char *data, size_t size, std::string *error);
    // Moves where the next write goes (a writer that fills in a header later).
    bool seek(uint64_t offset, std::string *error);

    // Flushes the temporary file to disk and renames it over the target.
    bool commit(std::string *error);

    // Removes the temporary file; the target is untouched.
    void discard();

    // The kind of the last failure of this file (None while nothing failed).
    SaveFailure failure() const { return failure_; }
    // For a writer that failed while this file was open: the file's own kind
    // when the file failed, Other when something else did.
    SaveFailure failureOrOther() const { return failure_ == SaveFailure::None ? SaveFailure::Other : failure_; }

private:
    bool fail(std::string *error, SaveFailure kind, const std::string &why);
    bool failOnError(std::string *error, int errorNumber);

    std::string target_;
    std::string tempPath_;
    int fd_ = -1;
    bool committed_ = false;
    SaveFailure failure_ = SaveFailure::None;
};

// The reason behind a system error number, in words a user understands.
std::string describeFileError(int errorNumber);
SaveFailure fileErrorKind(int errorNumber);

}  // namespace automation::writers
