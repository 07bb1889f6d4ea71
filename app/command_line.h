#pragma once

#include <optional>
#include <string>

namespace velmora {

// What `velmora --help` or `velmora --version` prints before any window or display is touched;
// nothing for every other command line (Qt's own options included), which starts the window.
std::optional<std::string> EarlyExitText(int argc, const char* const* argv);

}  // namespace velmora
