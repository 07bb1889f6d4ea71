#include "platform/linux/linux_capture_device.h"

#include <cerrno>

#include "platform/linux/errno_status.h"
#include "platform/linux/uvc_ks_control.h"
#include "platform/linux/v4l2_camera_control.h"

namespace velmora::linux_backend {

Status LinuxCaptureDevice::OpenNode(DeviceNode& device)
{
    const int result = device.Open(m_system, m_node.devNode);
    // The node was there when the device was listed: now it is gone with its camera.
    if (result == -ENOENT || result == -ENXIO) return StatusDeviceNotConnected;
    return StatusFromErrno(result);
}

Status LinuxCaptureDevice::QueryKsControl(std::unique_ptr<KsControl>& out)
{
    DeviceNode device;
    if (const Status status = OpenNode(device); Failed(status)) return status;
    out = std::make_unique<UvcKsControl>(std::move(device), m_node);
    return StatusOk;
}

Status LinuxCaptureDevice::QueryCameraControl(std::unique_ptr<CameraControl>& out)
{
    DeviceNode device;
    if (const Status status = OpenNode(device); Failed(status)) return status;
    out = std::make_unique<V4l2CameraControl>(std::move(device));
    return StatusOk;
}

Status LinuxCaptureDevice::DescribeExtensionUnits(const Guid& propertySet, std::uint32_t /*nodeId*/,
                                                  std::vector<ExtensionUnitInfo>& out)
{
    out.clear();
    std::vector<UvcExtensionUnit> units;
    if (const Status status = ReadExtensionUnits(m_node, units); Failed(status)) return status;
    bool addressedOne = false;
    for (const UvcExtensionUnit& unit : units) {
        ExtensionUnitInfo info;
        info.nodeId = unit.unitId;
        info.guid = unit.guid;
        info.controls = unit.controls;
        info.answersPropertySet = unit.guid == propertySet;
        info.addressed = info.answersPropertySet && !addressedOne;
        addressedOne = addressedOne || info.addressed;
        out.push_back(std::move(info));
    }
    return StatusOk;
}

}  // namespace velmora::linux_backend
