// SPDX-License-Identifier: Apache-2.0
// Works out the character set of an HTML document before parsing (a byte
// order mark first, then a <meta> charset declaration near the start, else
// UTF-8) and turns the document into UTF-8. Decoding here rather than in the
// parser keeps a stray invalid byte from cutting the document short: it
// becomes U+FFFD and the rest of the table is still read.
#pragma once

#include <cstddef>
#include <string>

namespace automation::readers::html {

struct HtmlCharset {
    std::string encoding;  // a name QTextCodec knows
    size_t bomBytes = 0;   // bytes of byte order mark to skip
};

HtmlCharset detectHtmlCharset(const char *data, size_t size);

// The document as UTF-8, without its byte order mark. `*out` is left empty
// and false returned when the text is valid UTF-8 already: the caller parses
// the original bytes (after `charset.bomBytes`) then.
bool convertToUtf8(const char *data, size_t size, const HtmlCharset &charset, std::string *out);

}  // namespace automation::readers::html
