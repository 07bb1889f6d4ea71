// The native backend on Linux: V4L2 capture nodes, uvcvideo's extension-unit ioctl, udev.
#pragma once

#include <memory>
#include <string>

#include "platform/backend.h"
#include "platform/linux/linux_system.h"
#include "platform/linux/udev_device_change.h"

namespace velmora::linux_backend {

class LinuxBackend : public Backend {
public:
    explicit LinuxBackend(std::shared_ptr<LinuxSystem> system);
    ~LinuxBackend() override;

    std::string Name() const override { return "linux"; }
    // The first call also opens the udev monitor that the first device-change source takes over, and
    // its enumerator notes the capture nodes it lists for that source, so that no arrival or removal
    // falls between the first enumeration and the registration.
    Status CreateSystemDeviceEnumerator(std::unique_ptr<SystemDeviceEnumerator>& out) override;
    std::unique_ptr<DeviceChangeSource> CreateDeviceChangeSource() override;
    // The first enumeration then opens no udev monitor (nor loads libudev).
    void WithoutDeviceChanges() override { m_primed = true; }

    const std::shared_ptr<LinuxSystem>& System() const { return m_system; }

private:
    std::shared_ptr<LinuxSystem> m_system;
    bool m_primed = false;
    std::unique_ptr<UdevMonitor> m_primedMonitor;
    std::shared_ptr<CaptureNodeEvents> m_primedNodes;
};

}  // namespace velmora::linux_backend
