// SPDX-License-Identifier: Apache-2.0
#include "automation/native/SourceRead.h"

#include "automation/readers/Readers.h"

#include <QFile>
#include <atomic>
#include <exception>
#include <new>

namespace automation::native {

namespace {
std::atomic<SourceReader> readerOverride{nullptr};
}  // namespace

readers::ReadResult readSourceWorkbook(const QString &path, readers::RowFilter *filter,
                                       std::vector<readers::SheetOutline> *outlines) {
    const std::string encoded = QFile::encodeName(path).toStdString();
    try {
        if (const SourceReader reader = readerOverride.load()) return reader(encoded);
        if (filter) return readers::readWorkbookFile(encoded, filter, outlines);
        return readers::readWorkbookFile(encoded);
    } catch (const std::bad_alloc &) {
        return readers::ReadResult::fail(readers::ReadStatus::Unreadable, "out of memory");
    } catch (const std::exception &e) {
        return readers::ReadResult::fail(readers::ReadStatus::Unreadable, e.what());
    } catch (...) {
        return readers::ReadResult::fail(readers::ReadStatus::Unreadable, "the read failed");
    }
}

OpenFailure openFailureOf(readers::ReadStatus status) {
    switch (status) {
        case readers::ReadStatus::Ok:
            return OpenFailure::None;
        case readers::ReadStatus::Encrypted:
            return OpenFailure::Encrypted;
        case readers::ReadStatus::Corrupt:
            return OpenFailure::Damaged;
        case readers::ReadStatus::NotAWorkbook:
            return OpenFailure::NotAWorkbook;
        case readers::ReadStatus::Unsupported:
            return OpenFailure::Unsupported;
        case readers::ReadStatus::NotFound:
        case readers::ReadStatus::Unreadable:
        case readers::ReadStatus::TooLarge:
            return OpenFailure::Unreadable;
    }
    return OpenFailure::Unreadable;
}

void setSourceReaderForTesting(SourceReader reader) { readerOverride.store(reader); }

}  // namespace automation::native
