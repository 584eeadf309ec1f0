// SPDX-License-Identifier: Apache-2.0
#include "settings/TextCut.h"

#include <climits>
#include <cstring>

namespace settings {

namespace {

// Offset of the first or last (non-overlapping) occurrence, or -1. An empty
// marker matches nowhere: it would otherwise match everywhere and never advance.
long findMarker(const char *text, const char *marker, bool useLast) {
    if (text == nullptr || marker == nullptr || marker[0] == '\0') return -1;
    const char *hit = std::strstr(text, marker);
    if (hit == nullptr) return -1;
    if (useLast) {
        const size_t markerLength = std::strlen(marker);
        for (const char *next = std::strstr(hit + markerLength, marker); next != nullptr;
             next = std::strstr(hit + markerLength, marker))
            hit = next;
    }
    return static_cast<long>(hit - text);
}

// Copies length bytes from source into out and terminates it; refuses (empty
// output, -1) when they do not fit. memmove because out may be the source text.
int copyPiece(char *out, size_t outSize, const char *source, size_t length) {
    if (length >= outSize) {
        out[0] = '\0';
        return -1;
    }
    std::memmove(out, source, length);
    out[length] = '\0';
    return 1;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

int textAfterMarker(char *out, const char *text, const char *marker, bool keepMarker, bool useLast, size_t outSize) {
    if (out == nullptr || outSize == 0) return -1;
    const long position = findMarker(text, marker, useLast);
    if (position < 0) {
        out[0] = '\0';
        return -1;
    }
    const char *start = text + position + (keepMarker ? 0 : std::strlen(marker));
    return copyPiece(out, outSize, start, std::strlen(start));
}

int textBeforeMarker(char *out, const char *text, const char *marker, bool keepMarker, bool useLast, size_t outSize) {
    if (out == nullptr || outSize == 0) return -1;
    const long position = findMarker(text, marker, useLast);
    if (position < 0) {
        out[0] = '\0';
        return -1;
    }
    const size_t length = static_cast<size_t>(position) + (keepMarker ? std::strlen(marker) : 0);
    return copyPiece(out, outSize, text, length);
}

int textBetweenMarkers(char *out, const char *text, const char *startMarker, const char *endMarker, bool keepStart,
                       bool keepEnd, bool startFromLast, bool endFromLast, size_t outSize) {
    if (out == nullptr || outSize == 0) return -1;
    const long startPosition = findMarker(text, startMarker, startFromLast);
    if (startPosition < 0) {
        out[0] = '\0';
        return -1;
    }
    // The text after the start marker is a tail of text, so it needs no copy of
    // its own and may be longer than out.
    const char *tail = text + startPosition + (keepStart ? 0 : std::strlen(startMarker));
    return textBeforeMarker(out, tail, endMarker, keepEnd, endFromLast, outSize);
}

int lastMarkerPosition(const char *text, const char *marker) {
    const long position = findMarker(text, marker, true);
    if (position > INT_MAX) return -1;
    return static_cast<int>(position);
}

void trimLeftBlanks(char *text) {
    if (text == nullptr) return;
    size_t skip = 0;
    while (isBlank(text[skip])) ++skip;
    if (skip > 0) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

void trimRightBlanks(char *text) {
    if (text == nullptr) return;
    size_t length = std::strlen(text);
    while (length > 0 && isBlank(text[length - 1])) --length;
    text[length] = '\0';
}

}  // namespace settings
