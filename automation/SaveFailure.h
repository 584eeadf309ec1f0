// SPDX-License-Identifier: Apache-2.0
// Why a save failed, as a kind that each front end puts into its own words;
// the writer's own sentence travels beside it for logs and reports.
#pragma once

namespace automation {

enum class SaveFailure {
    None,            // saved, or no reason known
    AccessDenied,    // the folder or file may not be written
    ReadOnlyDisk,    // the folder is on a read-only disk
    DiskFull,        // no space left, or the quota is used up
    FolderMissing,   // the folder does not exist
    NotAFolder,      // a part of the folder path is a file
    NameNotValid,    // the file system refuses the name
    NameTooLong,     // the name or path is longer than the file system takes
    FolderInTheWay,  // a folder has the result's name
    TooManyFiles,    // the process or system has too many files open
    DiskError,       // the disk reported an input/output error
    TooLarge,        // a sheet is past the rows or columns the format holds
    Other,           // anything else: see the writer's own words
};

}  // namespace automation
