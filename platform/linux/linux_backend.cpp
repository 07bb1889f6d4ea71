#include "platform/linux/linux_backend.h"

#include <functional>
#include <string>
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
        m_primedNodes = std::make_shared<CaptureNodeEvents>(m_system);
    }
    std::function<void(const VideoNode&)> listed;
    // Listed after the monitor opened: a removal from here on finds the node known.
    if (m_primedNodes) listed = [nodes = m_primedNodes](const VideoNode& node) { nodes->Note(node); };
    out = std::make_unique<LinuxDeviceEnumerator>(m_system, std::move(listed));
    return StatusOk;
}

std::unique_ptr<DeviceChangeSource> LinuxBackend::CreateDeviceChangeSource()
{
    return std::make_unique<UdevDeviceChangeSource>(m_system, std::move(m_primedMonitor),
                                                    std::move(m_primedNodes));
}

}  // namespace velmora::linux_backend
