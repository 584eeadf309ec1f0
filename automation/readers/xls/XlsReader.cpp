#include "automation/readers/Readers.h"
#include "automation/readers/xls/BiffWorkbookReader.h"
#include "automation/readers/xls/OleContainer.h"

#include <new>
#include <vector>

namespace automation::readers {

ReadResult readXls(const std::string &path) {
    try {
        std::vector<uint8_t> stream;
        std::string message;
        const ReadStatus status = xls::loadWorkbookStream(path, &stream, &message);
        if (status != ReadStatus::Ok) return ReadResult::fail(status, message);
        return xls::decodeWorkbookStream(stream.data(), stream.size());
    } catch (const std::bad_alloc &) {
        return ReadResult::fail(ReadStatus::TooLarge, "out of memory while reading the workbook");
    } catch (...) {
        return ReadResult::fail(ReadStatus::Corrupt, "the workbook could not be read");
    }
}

}  // namespace automation::readers
