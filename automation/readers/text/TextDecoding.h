// SPDX-License-Identifier: Apache-2.0
// The bytes of a text file as UTF-8: a byte-order mark decides when there is
// one; otherwise valid UTF-8 stays as it is and anything else is read as
// GB18030, the code page Chinese systems save their text files in.
#pragma once

#include <cstddef>
#include <string>

namespace automation::readers::text {

enum class TextEncoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Gb18030 };

TextEncoding detectEncoding(const std::string &bytes);

bool isValidUtf8(const char *data, size_t size);

// The head in which a NUL byte means binary content, as the sniffing entry
// point looks at it.
constexpr size_t kBinaryHeadBytes = 64 * 1024;

// Converts `bytes` in place to UTF-8 without a byte-order mark. False when
// the content cannot be text (a NUL byte in the head, outside UTF-16); NULs
// further on are dropped.
bool decodeToUtf8(std::string &bytes, TextEncoding *used = nullptr);

}  // namespace automation::readers::text
