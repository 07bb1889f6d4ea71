// Device-interface notifications through RegisterDeviceNotificationW and WM_DEVICECHANGE.
#pragma once

#include <vector>

#include "platform/device_change.h"
#include "platform/windows/windows_headers.h"

namespace velmora::windows {

// The 32-byte DEV_BROADCAST_DEVICEINTERFACE_W filter: all bytes zeroed (padding too), then
// dbcc_size 32, DBT_DEVTYP_DEVICEINTERFACE and the interface class.
void FillDeviceInterfaceFilter(const Guid& interfaceClass, DEV_BROADCAST_DEVICEINTERFACE_W& filter);

// The user32 calls, replaceable so a test can see what is registered.
struct DeviceNotificationApi {
    HDEVNOTIFY(WINAPI* registerNotification)
    (HANDLE recipient, LPVOID filter, DWORD flags) = &RegisterDeviceNotificationW;
    BOOL(WINAPI* unregisterNotification)(HDEVNOTIFY handle) = &UnregisterDeviceNotification;
};

// One registration; withdrawn when the object goes.
class DeviceNotification {
public:
    DeviceNotification(const DeviceNotificationApi& api, HDEVNOTIFY handle) : m_api(api), m_handle(handle) {}
    DeviceNotification(DeviceNotification&& other) noexcept;
    DeviceNotification& operator=(DeviceNotification&&) = delete;
    DeviceNotification(const DeviceNotification&) = delete;
    DeviceNotification& operator=(const DeviceNotification&) = delete;
    ~DeviceNotification();

private:
    DeviceNotificationApi m_api;
    HDEVNOTIFY m_handle;
};

class WindowsDeviceChangeSource : public DeviceChangeSource {
public:
    explicit WindowsDeviceChangeSource(DeviceNotificationApi api = {}) : m_api(api) {}

    // RegisterDeviceNotificationW(window, filter, DEVICE_NOTIFY_WINDOW_HANDLE). The window's
    // WM_DEVICECHANGE messages come back through TranslateNativeMessage; sink is not called.
    Status Register(std::uintptr_t nativeWindow, const Guid& interfaceClass, Sink sink) override;

    // message is a MSG*: true for WM_DEVICECHANGE, decoded into out.
    bool TranslateNativeMessage(const void* message, DeviceChangeEvent& out) override;

private:
    DeviceNotificationApi m_api;
    std::vector<DeviceNotification> m_registrations;
};

}  // namespace velmora::windows
