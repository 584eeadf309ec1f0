// SPDX-License-Identifier: Apache-2.0
// The order in which a worksheet part is read, in one place:
//
// 1. The fast way. parsePart picks how the bytes are scanned (the whole part
//    in place, in pieces as it inflates, or expat when the scanner does not
//    take the part), and the decoder reads sheetData straight from the bytes.
//    With a row filter, rows go through a RowKeeper as they come.
// 2. The decoder met markup it leaves to the events (comments, rich inline
//    text, ...): the part again from the start, through the events alone.
// 3. With a row filter, rows or cells out of order (hand-made or damaged
//    files): the part again, whole, which sorts them; then the filter keeps
//    what it reaches.
//
// Each retry starts from the sheet and the string pool as they were, and
// turns off one thing for good, so a sheet is parsed at most three times.
#include "automation/readers/xlsx/WorksheetReader.h"

#include "automation/readers/xlsx/FastXmlScanner.h"
#include "automation/readers/xlsx/RowKeeper.h"
#include "automation/readers/xlsx/WorksheetHandler.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <cstring>
#include <new>
#include <optional>

namespace automation::readers::xlsx {

namespace {

using model::Sheet;
using Retry = WorksheetHandler::Retry;

// `parse(handler)` reads the part once into the handler and gives its status.
template <typename Parse>
ReadStatus readInOrder(const WorksheetContext &context, Sheet *sheet, SheetOutline *outline, std::string *message,
                       Parse &&parse) {
    const Sheet blank = model::sheetWithoutRows(*sheet);
    const size_t stringMark = context.strings->size();
    const bool filtered = context.filter && outline;
    bool decode = true;
    bool filterAsRead = filtered;
    for (;;) {
        std::optional<RowKeeper> keeper;
        if (filterAsRead) keeper.emplace(context, sheet, outline, true);
        WorksheetHandler handler(context, sheet, decode, keeper ? &*keeper : nullptr);
        const ReadStatus status = parse(handler);
        switch (handler.retry()) {
            case Retry::None:
                if (status != ReadStatus::Ok) return status;
                handler.finish();
                if (filtered && !filterAsRead) keepReachedRows(context, sheet, outline);
                return ReadStatus::Ok;
            case Retry::WithoutDecoder:
                decode = false;
                break;
            case Retry::Whole:
                filterAsRead = false;
                break;
        }
        context.strings->truncate(stringMark);
        *sheet = blank;
        if (outline) *outline = SheetOutline{};
        if (message) message->clear();
    }
}

}  // namespace

ReadStatus readWorksheet(const ZipArchive &zip, const std::string &part, const WorksheetContext &context, Sheet *sheet,
                         std::string *message, SheetOutline *outline) {
    return readInOrder(context, sheet, outline, message,
                       [&](WorksheetHandler &handler) { return parsePart(zip, part, handler, message); });
}

ReadStatus scanWorksheetInPlace(char *data, size_t size, const WorksheetContext &context, Sheet *sheet,
                                std::string *message) {
    if (!fastScanSupports(data, size)) return ReadStatus::Unsupported;
    auto failed = [&](ReadStatus status, const char *what) {
        if (message) *message = what;
        return status;
    };
    try {
        // The scan overwrites the part: kept for the next read, should there be one.
        const std::string original(data, size);
        bool first = true;
        return readInOrder(context, sheet, nullptr, message, [&](WorksheetHandler &handler) {
            if (!first) std::memcpy(data, original.data(), size);
            first = false;
            std::string scanMessage;
            const ScanResult scan = scanXmlInPlace(data, size, handler, &scanMessage);
            if (handler.stopped()) {
                if (message && handler.failed()) *message = handler.message();
                return handler.status();
            }
            if (scan == ScanResult::Ok) return ReadStatus::Ok;
            if (message) *message = scanMessage;
            return ReadStatus::Corrupt;
        });
    } catch (const std::bad_alloc &) {
        return failed(ReadStatus::TooLarge, "out of memory");
    } catch (...) {
        return failed(ReadStatus::Corrupt, "unexpected failure while parsing");
    }
}

}  // namespace automation::readers::xlsx
