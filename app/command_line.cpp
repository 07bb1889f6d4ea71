#include "app/command_line.h"

#include <cstring>

namespace velmora {

namespace {

constexpr const char* kHelp =
    R"(Usage: velmora [--hotkeys] [--hidden] [QT-OPTIONS]
Puts a USB camera's keypad on the screen: the window lists the video capture devices and sends each
key of the camera's control keypad (menu, zoom, focus, exposure, white balance, picture modes,
function locks) to the selected camera as a register write to its UVC extension unit.

Options:
  --hotkeys       turn the system-wide hotkeys on for this run, with the combinations the settings
                  hold (the suggested set, Ctrl+Alt+Up and so on, where none is set)
  --hidden        start in the tray (the window shows where the desktop has no tray)
  -h, --help      print this help and exit
  --version       print the version and exit
Qt's own options (-platform NAME, -style NAME, ...) are taken as every Qt program takes them.

Environment:
  VELMORA_BACKEND          native (or unset): the machine's cameras; sim: simulated cameras
  VELMORA_SIM_CONFIG       a file describing the simulated cameras
  VELMORA_SIM_TRACE        a file every request to a simulated camera is appended to
  VELMORA_SIM_HOTPLUG_DIR  a folder whose *.camera files are simulated cameras plugged in
  VELMORA_HOTKEY_BACKEND   x11, portal, windows or none: the hotkeys' backend, instead of the
                           one chosen for the desktop
  QT_QPA_PLATFORM          the Qt platform, e.g. offscreen to run without a display

Files:
  CfgFile/Cfg.ini  read at start-up from the working directory when it exists: [UvcExten] ExId
                   (the extension unit's node id, hexadecimal) and Guid (its property set), for
                   cameras whose extension unit differs
  velmora.ini      the user's settings (hotkeys, tray), in the user's configuration folder:
                   ~/.config/velmora/velmora.ini on Linux, %APPDATA%\velmora\velmora.ini on Windows
)";

}  // namespace

std::optional<std::string> EarlyExitText(int argc, const char* const* argv)
{
    if (argc != 2) return std::nullopt;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) return std::string(kHelp);
    if (std::strcmp(argv[1], "--version") == 0) return std::string("velmora ") + VELMORA_VERSION + "\n";
    return std::nullopt;
}

WindowOptions ParseWindowOptions(const std::vector<std::string>& arguments)
{
    WindowOptions options;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--hotkeys") options.hotkeys = true;
        if (arguments[i] == "--hidden") options.hidden = true;
    }
    return options;
}

}  // namespace velmora
