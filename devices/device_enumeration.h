// Enumerates the video input devices into the device table.
#pragma once

#include "devices/device_table.h"
#include "platform/backend.h"

namespace velmora {

// Starts from an empty table (any occupant is given back first). Keeps each device that has a
// readable "DevicePath" and binds to a capture device, in enumeration order, and stops once
// the ten slots are filled. Returns the number stored, or -1 when the enumeration cannot start
// (no system enumerator, no class enumerator, or no device in the category).
int EnumerateCaptureDevices(DeviceTable& table, Backend& backend);

}  // namespace velmora
