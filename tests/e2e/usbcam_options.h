// Command line of the camera emulator.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/uvc_descriptors.h"

namespace velmora::e2e {

struct EmulatorOptions {
    CameraModel camera;
    std::string logFile;      // every request, one a line; empty: standard error
    std::string controlFifo;  // fault and plug commands, one a line; empty: none
    std::string vhciDir = "/sys/devices/platform/vhci_hcd.0";
    int port = 0;
    unsigned devid = 65538;
    bool plugged = true;   // attach at start
    bool logTime = false;  // each log line ends in " t=SECONDS", the monotonic clock
};

// --xu GUID[,UNIT[,LENGTH]] (repeatable; default one unit: the default property set, unit 3,
// 12 bytes), --vid HEX, --pid HEX, --product TEXT, --zoom N (100 to 500), --log FILE,
// --control FIFO, --vhci DIR, --port N, --unplugged, --log-time. Returns nullopt and sets error for a bad
// command line.
std::optional<EmulatorOptions> ParseEmulatorOptions(const std::vector<std::string>& args, std::string& error);

inline constexpr const char* EmulatorUsage =
    "usage: velmora-usbcam [--xu GUID[,UNIT[,LENGTH]]]... [--vid HEX] [--pid HEX] [--product TEXT] [--zoom "
    "N]\n"
    "                      [--log FILE] [--log-time] [--control FIFO] [--vhci DIR] [--port N] [--unplugged]\n"
    "control commands: plug | unplug | stall-write CODE | stall-read CODE | bad-checksum |\n"
    "                  unplug-after-write N | unplug-after-read N | quit\n";

}  // namespace velmora::e2e
