// The window's enumerated capture devices: ten moniker and ten capture-device slots, and the
// small int handle under which DeviceList names each filled slot.
#pragma once

#include <array>
#include <memory>

#include "platform/capture_device.h"
#include "platform/device_enumerator.h"

namespace velmora {

struct DeviceTable {
    static constexpr int Capacity = 10;
    std::array<std::unique_ptr<Moniker>, Capacity> monikers;
    std::array<std::unique_ptr<CaptureDevice>, Capacity> filters;
    // Non-zero for a filled slot, 0 for an empty one.
    std::array<int, Capacity> handles{};
};

// A fresh device handle: never 0, and not handed out again until the counter has gone round
// all positive ints, long after a list could still hold it.
int NextDeviceHandle();

// Stores one device in slot index and gives it a fresh handle.
void FillSlot(DeviceTable& table, int index, std::unique_ptr<Moniker> moniker,
              std::unique_ptr<CaptureDevice> filter);

// Gives back both references of every slot and forgets the handles.
void ClearDeviceTable(DeviceTable& table);

// The capture device of the filled slot with this handle; null for 0 or a handle no slot holds.
CaptureDevice* DeviceForHandle(const DeviceTable& table, int handle);

}  // namespace velmora
