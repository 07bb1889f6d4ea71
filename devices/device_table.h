// The window's enumerated capture devices: ten moniker and ten capture-device slots.
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
};

}  // namespace velmora
