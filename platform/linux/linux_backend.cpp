#include "platform/linux/linux_backend.h"

#include <utility>

#include "platform/linux/linux_device_enumerator.h"
#include "platform/linux/udev_device_change.h"

namespace velmora::linux_backend {

LinuxBackend::LinuxBackend(std::shared_ptr<LinuxSystem> system) : m_system(std::move(system)) {}

LinuxBackend::~LinuxBackend() = default;

Status LinuxBackend::CreateSystemDeviceEnumerator(std::unique_ptr<SystemDeviceEnumerator>& out)
{
    if (!m_primed) {
        m_primed = true;
        int error = 0;
        // Without it, Register opens its own.
        m_primedMonitor = UdevMonitor::Open(error, !m_system->UdevDaemonRunning());
    }
    out = std::make_unique<LinuxDeviceEnumerator>(m_system);
    return StatusOk;
}

std::unique_ptr<DeviceChangeSource> LinuxBackend::CreateDeviceChangeSource()
{
    return std::make_unique<UdevDeviceChangeSource>(m_system, std::move(m_primedMonitor));
}

}  // namespace velmora::linux_backend
