// SPDX-License-Identifier: Apache-2.0
// The running processes by executable file name (no folder, case significant),
// on Linux those of the current user only,
// for the single-instance rule.
#pragma once

// Number of running processes whose executable file name equals name; 0 when
// name is null or empty (unnamed kernel tasks match no name) or the process
// list cannot be taken.
int GetProcessCountByName(const char *name);

// Ends the first process in the system's list whose executable file name
// equals name. 1 when one was found (even if it could not be ended), 0 when
// none was, name is null or empty or the process list cannot be taken.
int KillFirstProcessByName(const char *name);
