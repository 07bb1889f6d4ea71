// The system device enumerator on Linux: video4linux capture nodes from sysfs.
#pragma once

#include <memory>
#include <string_view>

#include "platform/device_enumerator.h"
#include "platform/linux/linux_system.h"

namespace velmora::linux_backend {

// Also readable from a Linux device's property bag: the node to open, "/dev/video0".
inline constexpr std::string_view PropertyDeviceNode = "DeviceNode";

// Lists the nodes that capture video, one per camera (uvcvideo's metadata node is left out), in the
// order of their numbers. "FriendlyName" is the V4L2 card name, "DevicePath" as DevicePathOf says.
class LinuxDeviceEnumerator : public SystemDeviceEnumerator {
public:
    explicit LinuxDeviceEnumerator(std::shared_ptr<LinuxSystem> system) : m_system(std::move(system)) {}

    Status CreateVideoInputEnumerator(std::unique_ptr<MonikerEnumerator>& out) override;

private:
    std::shared_ptr<LinuxSystem> m_system;
};

}  // namespace velmora::linux_backend
