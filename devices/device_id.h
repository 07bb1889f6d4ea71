// A camera's id that stays the same across unplug and replug, so that a script or a remote client
// names one camera of two of the same model: "046d-0825-9c3e51a0".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The USB vendor and product ids of the device path (0000 without them) and eight hex digits of a
// hash of what tells two such cameras apart: the path's function part (ids and interface number)
// with the serial number where the platform gives one, else the path's instance part (the USB port
// path on Linux, the device instance on Windows), else the whole path. A Linux path's device node
// part ("#/dev/char/81:0"), which a replug may change, plays no part.
std::string StableDeviceId(std::string_view devicePath, std::string_view serialNumber);

// Makes ids unique in list order: a repeated id gets "-2", "-3", ... appended.
void DisambiguateDeviceIds(std::vector<std::string>& ids);

}  // namespace velmora
