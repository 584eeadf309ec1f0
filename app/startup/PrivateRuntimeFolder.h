// SPDX-License-Identifier: Apache-2.0
// The folder of this user's own that holds the single-instance socket, so
// that no other local user can take its name first or hear its requests.
// POSIX only: on Windows the socket is a named pipe outside any folder.
#pragma once

#include <string>

namespace startup {

// The temporary folder's subfolder made when no runtime folder is set: one per user.
constexpr char kRuntimeFolderPrefix[] = "RowSifter-runtime-";

// A real folder (not a link) owned by this user, mode 0700 (no group or other access).
bool isPrivateFolder(const std::string &path);

// xdgRuntimeDir when it is a private folder; otherwise tempFolder's
// RowSifter-runtime-<uid>, made with mode 0700 when missing. What is already
// there is never changed or taken over: anything else than a private folder
// leaves the result empty, and the program then runs without a socket.
std::string privateRuntimeFolder(const char *xdgRuntimeDir, const std::string &tempFolder);

// Something is at path and another user owns it.
bool isHeldByAnotherUser(const std::string &path);

}  // namespace startup
