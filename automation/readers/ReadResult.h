// SPDX-License-Identifier: Apache-2.0
// What every workbook reader returns: a workbook, or the reason there is none.
// Readers never throw and never crash on bad input: a missing, unreadable,
// corrupt, truncated, encrypted or hostile file gives a null workbook.
#pragma once

#include "automation/ReadStatus.h"
#include "automation/model/WorkbookModel.h"

#include <memory>
#include <string>

namespace automation::readers {

using automation::ReadStatus;
using automation::readStatusText;

struct ReadResult {
    std::unique_ptr<model::WorkbookModel> workbook;  // null unless status is Ok
    ReadStatus status = ReadStatus::NotAWorkbook;
    std::string message;  // detail for diagnostics

    static ReadResult fail(ReadStatus s, std::string msg = {}) {
        ReadResult r;
        r.status = s;
        r.message = std::move(msg);
        return r;
    }
    static ReadResult ok(std::unique_ptr<model::WorkbookModel> wb) {
        ReadResult r;
        r.workbook = std::move(wb);
        r.status = ReadStatus::Ok;
        return r;
    }
};

// Paths are byte strings in the file system's encoding (QFile::encodeName).
}  // namespace automation::readers
