// SPDX-License-Identifier: Apache-2.0
// Creates the settings file where none may exist yet: in the user's
// configuration folder, on the first option change.
#pragma once

namespace settings {

// Makes sure a file exists at path: missing folders above it are made
// (private to the user), then an empty file; a file already there is left
// as it is. 0 when a file is there afterwards, -1 otherwise (a folder in its
// place, no right to create, a path that runs through a file).
int createFileWithFolders(const char *path);

}  // namespace settings
