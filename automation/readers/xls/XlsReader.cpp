#include "automation/readers/Readers.h"

namespace automation::readers {

ReadResult readXls(const std::string &) {
    return ReadResult::fail(ReadStatus::Unsupported, "legacy .xls workbooks are not read yet");
}

}  // namespace automation::readers
