// The system device enumerator on Linux: video4linux capture nodes from sysfs.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/device_enumerator.h"
#include "platform/linux/linux_system.h"
#include "platform/linux/video_node.h"

namespace velmora::linux_backend {

// Also readable from a Linux device's property bag: the node to open, "/dev/video0".
inline constexpr std::string_view PropertyDeviceNode = "DeviceNode";

// Lists the nodes that capture video, one per camera (uvcvideo's metadata node is left out), in the
// order of their numbers. "FriendlyName" is the V4L2 card name, "DevicePath" as DevicePathOf says.
class LinuxDeviceEnumerator : public SystemDeviceEnumerator {
public:
    // listed, when set, hears of every node listed.
    explicit LinuxDeviceEnumerator(std::shared_ptr<LinuxSystem> system,
                                   std::function<void(const VideoNode&)> listed = {})
        : m_system(std::move(system)), m_listed(std::move(listed))
    {
    }

    Status CreateVideoInputEnumerator(std::unique_ptr<MonikerEnumerator>& out) override;

private:
    std::shared_ptr<LinuxSystem> m_system;
    std::function<void(const VideoNode&)> m_listed;
};

}  // namespace velmora::linux_backend
