// SPDX-License-Identifier: Apache-2.0
// The places start-up weighs for the settings file besides the one beside the
// executable: the user's configuration folder, and the folder the system ran
// the executable from when the command line does not say.
#pragma once

#include <string>

namespace startup {

// The settings file in the user's configuration folder, bytes:
// "<config home>/RowSifter/RowSifter.rsf". The config home is xdgConfigHome
// when it is an absolute path (a relative one is to be ignored), else
// home + "/.config". Empty when neither gives an absolute folder.
std::string userSettingsPathFrom(const char *xdgConfigHome, const char *home);

// The same from this process's environment ($XDG_CONFIG_HOME, $HOME, else the
// password database) on Linux; QStandardPaths' configuration folder elsewhere.
std::string userSettingsPath();

// The folder holding the running executable, with a trailing separator, as
// the system knows it; empty when it cannot tell.
std::string runningExecutableFolder();

}  // namespace startup
