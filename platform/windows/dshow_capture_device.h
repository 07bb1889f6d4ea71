// The capture filter (IBaseFilter) behind a device handle, with its IKsControl and
// IAMCameraControl, as the ports CaptureDevice, KsControl and CameraControl.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/capture_device.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/windows_headers.h"

namespace velmora::windows {

// IKsControl::KsProperty with the request as a 32-byte KSP_NODE.
class DirectShowKsControl : public KsControl {
public:
    explicit DirectShowKsControl(ComPtr<IKsControl> control) : m_control(std::move(control)) {}
    Status KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                      std::uint32_t& bytesReturned) override;

private:
    ComPtr<IKsControl> m_control;
};

class DirectShowCameraControl : public CameraControl {
public:
    explicit DirectShowCameraControl(ComPtr<IAMCameraControl> control) : m_control(std::move(control)) {}
    Status Get(CameraProperty property, std::int32_t& value, std::int32_t& flags) override;
    Status GetRange(CameraProperty property, CameraRange& range) override;
    Status Set(CameraProperty property, std::int32_t value, std::int32_t flags) override;

private:
    ComPtr<IAMCameraControl> m_control;
};

class DirectShowCaptureDevice : public CaptureDevice {
public:
    explicit DirectShowCaptureDevice(ComPtr<IBaseFilter> filter) : m_filter(std::move(filter)) {}
    Status QueryKsControl(std::unique_ptr<KsControl>& out) override;
    Status QueryCameraControl(std::unique_ptr<CameraControl>& out) override;
    // The topology's KSNODETYPE_DEV_SPECIFIC nodes, probed for propertySet.
    Status DescribeExtensionUnits(const Guid& propertySet, std::uint32_t nodeId,
                                  std::vector<ExtensionUnitInfo>& out) override;

private:
    ComPtr<IBaseFilter> m_filter;
};

}  // namespace velmora::windows
