// A capture device on Linux: a video node, opened for each operation.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/capture_device.h"
#include "platform/linux/linux_system.h"
#include "platform/linux/video_node.h"

namespace velmora::linux_backend {

class LinuxCaptureDevice : public CaptureDevice {
public:
    LinuxCaptureDevice(std::shared_ptr<LinuxSystem> system, VideoNode node)
        : m_system(std::move(system)), m_node(std::move(node))
    {
    }

    // Each opens the node; the returned control closes it when it is destroyed.
    Status QueryKsControl(std::unique_ptr<KsControl>& out) override;
    Status QueryCameraControl(std::unique_ptr<CameraControl>& out) override;

    // From the camera's descriptors. A request reaches the first unit whose GUID is the property set,
    // whatever the node id.
    Status DescribeExtensionUnits(const Guid& propertySet, std::uint32_t nodeId,
                                  std::vector<ExtensionUnitInfo>& out) override;

    const VideoNode& Node() const { return m_node; }

private:
    Status OpenNode(DeviceNode& device);

    std::shared_ptr<LinuxSystem> m_system;
    VideoNode m_node;
};

}  // namespace velmora::linux_backend
