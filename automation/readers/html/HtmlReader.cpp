#include "automation/readers/Readers.h"

namespace automation::readers {

ReadResult readHtmlTable(const std::string &, const std::string &) {
    return ReadResult::fail(ReadStatus::Unsupported, "HTML tables are not read yet");
}

}  // namespace automation::readers
