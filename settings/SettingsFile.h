// SPDX-License-Identifier: Apache-2.0
// The key=value settings file beside the executable: one "key=value\r\n" line
// per option, bytes in the local 8-bit code page, read whole once at start and
// rewritten whole on every change. The file is never created here.
#pragma once

#include <cstddef>

namespace settings {

constexpr size_t kSettingsTextSize = 10240;  // the whole file, NUL included
constexpr size_t kValueBufferSize = 1024;    // one looked-up value, NUL included
constexpr size_t kMaxWriteGrowth = 2047;     // a write may add at most this many bytes

// Reads the whole file into buffer (NUL-terminated). 0, or -1 when the file cannot
// be opened or does not fit in bufferSize (the buffer is then left untouched).
int readFileText(char *buffer, const char *path, size_t bufferSize = kSettingsTextSize);

// The value of key in text, or the empty string. The first "key=" anywhere in
// the text wins; the value runs to the next "\r\n" and is trimmed of blanks.
void getKeyValue(char *out, const char *text, const char *key, size_t outSize = kValueBufferSize);

// Sets key to value in the file at path. 0, or -1 when the file cannot be opened
// or the write fails; a failed write leaves the old file as it was.
int setKeyValue(const char *path, const char *key, const char *value);

}  // namespace settings
