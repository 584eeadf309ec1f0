// SPDX-License-Identifier: Apache-2.0
// Byte-string cutting: find a marker, keep what lies before, after or between
// markers. Outputs go to caller-owned buffers of outSize bytes and are always
// NUL-terminated; a result that does not fit is refused with -1 (empty output).
#pragma once

#include <cstddef>

namespace settings {

constexpr size_t kPathBufferSize = 1024;

// From the marker (keepMarker) or just behind it, to the end of text. 1, or -1
// when the marker is absent.
int textAfterMarker(char *out, const char *text, const char *marker, bool keepMarker, bool useLast,
                    size_t outSize = kPathBufferSize);

// From the start of text up to the marker (exclusive), or through it (keepMarker).
int textBeforeMarker(char *out, const char *text, const char *marker, bool keepMarker, bool useLast,
                     size_t outSize = kPathBufferSize);

// The text after startMarker, then of that the text before endMarker.
int textBetweenMarkers(char *out, const char *text, const char *startMarker, const char *endMarker, bool keepStart,
                       bool keepEnd, bool startFromLast, bool endFromLast, size_t outSize = kPathBufferSize);

// Byte offset of the last (non-overlapping, scanned from the left) occurrence, or -1.
int lastMarkerPosition(const char *text, const char *marker);

// Remove spaces and tabs, in place.
void trimLeftBlanks(char *text);
void trimRightBlanks(char *text);

}  // namespace settings
