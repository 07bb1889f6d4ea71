// Port: a capture device (IBaseFilter on Windows), the target of a device handle.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/camera_control.h"
#include "platform/guid.h"
#include "platform/ks_control.h"
#include "platform/status.h"

namespace velmora {

// One extension unit of the camera, as the platform reports it.
struct ExtensionUnitInfo {
    std::uint32_t nodeId = 0;            // KS topology node index (Windows), bUnitID (Linux)
    std::optional<Guid> guid;            // guidExtensionCode, where the platform reveals it
    std::vector<std::uint8_t> controls;  // bmControls, bit n-1 for selector n, where known
    bool answersPropertySet = false;     // requests naming the probed property set are answered
    bool addressed = false;              // requests with the probed property set and node id reach it
};

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;
    // QueryInterface for IKsControl / IAMCameraControl. A failure status leaves out empty.
    virtual Status QueryKsControl(std::unique_ptr<KsControl>& out) = 0;
    virtual Status QueryCameraControl(std::unique_ptr<CameraControl>& out) = 0;

    // The camera's extension units, probed for propertySet; addressed marks the unit a request
    // naming propertySet and nodeId would reach. StatusNotImpl where the platform cannot list them.
    virtual Status DescribeExtensionUnits(const Guid& /*propertySet*/, std::uint32_t /*nodeId*/,
                                          std::vector<ExtensionUnitInfo>& /*out*/)
    {
        return StatusNotImpl;
    }
};

}  // namespace velmora
