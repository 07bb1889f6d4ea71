#include "platform/windows/windows_backend.h"

#include "platform/windows/windows_device_change_source.h"

namespace velmora::windows {

Status WindowsBackend::CreateSystemDeviceEnumerator(std::unique_ptr<SystemDeviceEnumerator>& out)
{
    return CreateDirectShowSystemDeviceEnumerator(m_create, out);
}

std::unique_ptr<DeviceChangeSource> WindowsBackend::CreateDeviceChangeSource()
{
    return std::make_unique<WindowsDeviceChangeSource>();
}

}  // namespace velmora::windows
