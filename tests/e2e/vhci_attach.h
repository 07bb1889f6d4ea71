// Plugs a user-space device into vhci_hcd: hands the kernel one end of a socket pair.
#pragma once

#include <string>

namespace velmora::e2e {

struct VhciPlug {
    int deviceFd = -1;  // the end the emulator serves; -1 on failure
    std::string error;
};

// Writes "PORT FD DEVID 3" (high speed) to ATTACH under sysfsDir, retrying while the port is still
// being released. The kernel's end is closed here once the kernel holds it.
VhciPlug AttachToVhci(const std::string& sysfsDir, int port, unsigned devid);

}  // namespace velmora::e2e
