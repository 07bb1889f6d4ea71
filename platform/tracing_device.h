// A capture device that reports every KsProperty call made through it, as a KsTraceLine.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/capture_device.h"

namespace velmora {

class TracingCaptureDevice : public CaptureDevice {
public:
    using Sink = std::function<void(const std::string& line)>;

    // inner must outlive this device and every interface obtained through it.
    TracingCaptureDevice(CaptureDevice& inner, Sink sink);

    Status QueryKsControl(std::unique_ptr<KsControl>& out) override;
    Status QueryCameraControl(std::unique_ptr<CameraControl>& out) override;
    Status DescribeExtensionUnits(const Guid& propertySet, std::uint32_t nodeId,
                                  std::vector<ExtensionUnitInfo>& out) override;

private:
    CaptureDevice& m_inner;
    Sink m_sink;
};

}  // namespace velmora
