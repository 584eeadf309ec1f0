// SPDX-License-Identifier: Apache-2.0
// Rewrites an existing file so that it ends up holding either the complete new
// content or, on any failure, exactly the old one.
#pragma once

#include <cstddef>
#include <string>

namespace settings {

// Reads the whole file in binary mode. false when it cannot be opened or read.
bool readWholeFile(const char *path, std::string &content);

// Replaces the content of the existing file at path with size bytes of data.
// The file is never created: 0, or -1 when it is missing, not writable, or the
// write fails (the old content then stays). oldContent is what the caller read
// from the file; it is used to restore the file when the write has to go in place.
int replaceFileContent(const char *path, const char *data, size_t size, const std::string &oldContent);

}  // namespace settings
