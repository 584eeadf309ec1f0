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

void setSourceReaderForTesting(SourceReader reader) { readerOverride.store(reader); }

}  // namespace automation::native
