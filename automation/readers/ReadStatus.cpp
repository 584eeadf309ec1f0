// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/ReadResult.h"

namespace automation::readers {

const char *readStatusText(ReadStatus status) {
    switch (status) {
        case ReadStatus::Ok:
            return "ok";
        case ReadStatus::NotFound:
            return "file not found";
        case ReadStatus::Unreadable:
            return "file cannot be read";
        case ReadStatus::NotAWorkbook:
            return "not a workbook";
        case ReadStatus::Corrupt:
            return "workbook is damaged";
        case ReadStatus::Encrypted:
            return "workbook is password-protected";
        case ReadStatus::TooLarge:
            return "workbook is too large";
        case ReadStatus::Unsupported:
            return "workbook kind not supported";
    }
    return "unknown read status";
}

}  // namespace automation::readers
