// SPDX-License-Identifier: Apache-2.0
// Why a workbook could not be read: one vocabulary from the readers, through
// the interface, to a job's report of every file. Its words below are the ones
// the report writes; the window puts each kind into its own words.
#pragma once

namespace automation {

enum class ReadStatus {
    Ok,
    NotFound,      // no such file
    Unreadable,    // exists but cannot be read
    NotAWorkbook,  // the content is of no known workbook kind
    Corrupt,       // damaged or truncated
    Encrypted,     // password-protected
    TooLarge,      // a part would inflate past the sane limit, or memory ran out
    Unsupported,   // a workbook kind this program does not read
};

// "read", "unreadable", "not a workbook", "damaged", "encrypted",
// "unsupported". A missing file and one too large to read are "unreadable" to
// whoever reads a report; the reader's own message tells them apart.
inline const char *readStatusText(ReadStatus status) {
    switch (status) {
        case ReadStatus::Ok:
            return "read";
        case ReadStatus::NotAWorkbook:
            return "not a workbook";
        case ReadStatus::Corrupt:
            return "damaged";
        case ReadStatus::Encrypted:
            return "encrypted";
        case ReadStatus::Unsupported:
            return "unsupported";
        case ReadStatus::NotFound:
        case ReadStatus::Unreadable:
        case ReadStatus::TooLarge:
            break;
    }
    return "unreadable";
}

}  // namespace automation
