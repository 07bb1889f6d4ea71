#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What `velmora --help` or `velmora --version` prints before any window or display is touched;
// nothing for every other command line (Qt's own options included), which starts the window.
std::optional<std::string> EarlyExitText(int argc, const char* const* argv);

// The window's own options, once Qt has taken its own out of the arguments (the program name first).
// Other arguments are ignored, as they always were.
struct WindowOptions {
    bool hotkeys = false;  // --hotkeys: on for this run, with the combinations the settings hold
    bool hidden = false;   // --hidden: start in the tray
};
WindowOptions ParseWindowOptions(const std::vector<std::string>& arguments);

}  // namespace velmora
