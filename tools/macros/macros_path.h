// Where the macros file is when --macros names none: the same file for velmoractl, serve and the
// window.
#pragma once

#include <string>

namespace velmoractl {

// "velmora/macros.txt" in the user's configuration folder (QStandardPaths::GenericConfigLocation:
// $XDG_CONFIG_HOME or ~/.config on Linux, %LOCALAPPDATA% on Windows).
std::string DefaultMacrosPath();

}  // namespace velmoractl
