// Port: a capture device (IBaseFilter on Windows), the target of a device handle.
#pragma once

#include <memory>

#include "platform/camera_control.h"
#include "platform/ks_control.h"
#include "platform/status.h"

namespace velmora {

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;
    // QueryInterface for IKsControl / IAMCameraControl. A failure status leaves out empty.
    virtual Status QueryKsControl(std::unique_ptr<KsControl>& out) = 0;
    virtual Status QueryCameraControl(std::unique_ptr<CameraControl>& out) = 0;
};

}  // namespace velmora
