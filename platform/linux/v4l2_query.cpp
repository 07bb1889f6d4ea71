#include "platform/linux/v4l2_query.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>

namespace velmora::linux_backend {

namespace {

std::string Trimmed(const std::string& text)
{
    const auto end = text.find_last_not_of(" \t\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

int IdentifyNode(const std::shared_ptr<LinuxSystem>& system, const VideoNode& node, NodeIdentity& identity)
{
    identity = NodeIdentity{};
    DeviceNode device;
    const int opened = device.Open(system, node.devNode);
    if (opened == -EACCES || opened == -EPERM) {
        identity.capture = node.index <= 0;
        identity.card = node.sysfsName;
        return 0;
    }
    if (opened < 0) return opened;

    v4l2_capability capability;
    std::memset(&capability, 0, sizeof capability);
    if (const int result = device.Ioctl(VIDIOC_QUERYCAP, &capability); result < 0) return result;
    const std::uint32_t caps =
        (capability.capabilities & V4L2_CAP_DEVICE_CAPS) ? capability.device_caps : capability.capabilities;
    identity.capture = (caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
    const auto* card = reinterpret_cast<const char*>(capability.card);
    identity.card = Trimmed(std::string(card, strnlen(card, sizeof capability.card)));
    if (identity.card.empty()) identity.card = node.sysfsName;
    return 0;
}

}  // namespace velmora::linux_backend
