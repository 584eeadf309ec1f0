// SPDX-License-Identifier: Apache-2.0
#include "settings/SettingsFile.h"

#include <cstring>
#include <string>

#include "settings/FileReplace.h"
#include "settings/TextCut.h"

namespace settings {

namespace {

constexpr char kKeyValueSeparator[] = "=";
constexpr char kLineEnd[] = "\r\n";

std::string keyMarker(const char *key) { return std::string(key) + kKeyValueSeparator; }

// A key must name one line's key; anything else could not be found again or
// would break the line structure of the file.
bool isUsableKey(const char *key) { return key != nullptr && key[0] != '\0' && std::strpbrk(key, "=\r\n") == nullptr; }

// A value holding CR LF would end its line early and plant the rest as a line
// of its own; one that cannot be looked up again would only displace the old one.
bool isUsableValue(const char *value) {
    return value != nullptr && std::strstr(value, kLineEnd) == nullptr && std::strlen(value) < kValueBufferSize;
}

// The file's content as the lookups see it: everything up to the first NUL.
std::string asText(const std::string &bytes) { return std::string(bytes.c_str()); }

// New content with key set to value: the first "key=" line is replaced where it
// stands (up to its CR LF), else the line is appended on a line of its own.
std::string contentWithKey(const std::string &text, const char *key, const char *value) {
    const std::string newLine = keyMarker(key) + value + kLineEnd;
    const size_t match = text.find(keyMarker(key));
    if (match != std::string::npos) {
        const size_t lineEnd = text.find(kLineEnd, match);
        std::string result = text.substr(0, match) + newLine;
        if (lineEnd != std::string::npos) result += text.substr(lineEnd + std::strlen(kLineEnd));
        return result;
    }
    std::string result = text;
    if (!result.empty() && result.back() != '\n') result += kLineEnd;
    return result + newLine;
}

}  // namespace

int readFileText(char *buffer, const char *path, size_t bufferSize) {
    if (buffer == nullptr || bufferSize == 0) return -1;
    try {
        std::string content;
        if (!readWholeFile(path, content) || content.size() >= bufferSize) return -1;
        std::memcpy(buffer, content.data(), content.size());
        buffer[content.size()] = '\0';
        return 0;
    } catch (...) {
        return -1;
    }
}

void getKeyValue(char *out, const char *text, const char *key, size_t outSize) {
    if (out == nullptr || outSize == 0) return;
    out[0] = '\0';
    if (text == nullptr || !isUsableKey(key)) return;
    try {
        std::string copy(text);
        trimLeftBlanks(&copy[0]);
        trimRightBlanks(&copy[0]);
        // The value is a piece of the copy, so a buffer of the copy's size holds it.
        std::string value(copy.size() + 1, '\0');
        if (textBetweenMarkers(&value[0], copy.c_str(), keyMarker(key).c_str(), kLineEnd, false, false, false, false,
                               value.size()) != 1)
            return;
        trimLeftBlanks(&value[0]);
        trimRightBlanks(&value[0]);
        const size_t length = std::strlen(value.c_str());
        // Half a path would be worse than none: a value that does not fit reads as absent.
        if (length >= outSize) return;
        std::memcpy(out, value.c_str(), length + 1);
    } catch (...) {
        out[0] = '\0';
    }
}

int setKeyValue(const char *path, const char *key, const char *value) {
    if (path == nullptr || !isUsableKey(key) || !isUsableValue(value)) return -1;
    try {
        std::string oldBytes;
        if (!readWholeFile(path, oldBytes)) return -1;
        const std::string oldText = asText(oldBytes);
        const std::string newText = contentWithKey(oldText, key, value);
        // A file that grew past the read buffer could not be read at the next
        // start, and every option in it would be lost.
        if (newText.size() >= kSettingsTextSize || newText.size() > oldText.size() + kMaxWriteGrowth) return -1;
        return replaceFileContent(path, newText.data(), newText.size(), oldBytes);
    } catch (...) {
        return -1;
    }
}

}  // namespace settings
