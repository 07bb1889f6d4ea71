#include "platform/windows/windows_device_change_source.h"

#include <utility>

#include "platform/windows/com_types.h"
#include "platform/windows/device_change_decoder.h"

namespace velmora::windows {

static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32, "the registration filter is 32 bytes");
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) == DeviceInterfaceNameOffset,
              "the decoder's name offset");
static_assert(offsetof(DEV_BROADCAST_HANDLE, dbch_data) == HandleRecordMinimum,
              "the decoder's handle record");
static_assert(sizeof(DEV_BROADCAST_HDR) == DeviceRecordHeaderSize, "the decoder's header size");
static_assert(WM_DEVICECHANGE == WmDeviceChange && DBT_DEVICEARRIVAL == DbtDeviceArrival &&
                  DBT_DEVICEREMOVECOMPLETE == DbtDeviceRemoveComplete,
              "the decoder's message constants");

void FillDeviceInterfaceFilter(const Guid& interfaceClass, DEV_BROADCAST_DEVICEINTERFACE_W& filter)
{
    ZeroMemory(&filter, sizeof filter);
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = ToWindowsGuid(interfaceClass);
}

DeviceNotification::DeviceNotification(DeviceNotification&& other) noexcept
    : m_api(other.m_api), m_handle(std::exchange(other.m_handle, nullptr))
{
}

DeviceNotification::~DeviceNotification()
{
    if (m_handle) m_api.unregisterNotification(m_handle);
}

Status WindowsDeviceChangeSource::Register(std::uintptr_t nativeWindow, const Guid& interfaceClass, Sink)
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    FillDeviceInterfaceFilter(interfaceClass, filter);
    SetLastError(ERROR_SUCCESS);
    const HDEVNOTIFY handle = m_api.registerNotification(reinterpret_cast<HANDLE>(nativeWindow), &filter,
                                                         DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!handle) {
        const DWORD error = GetLastError();
        return error == ERROR_SUCCESS ? StatusFail : StatusFromWin32(static_cast<std::int32_t>(error));
    }
    m_registrations.emplace_back(m_api, handle);
    return StatusOk;
}

bool WindowsDeviceChangeSource::TranslateNativeMessage(const void* message, DeviceChangeEvent& out)
{
    const auto* msg = static_cast<const MSG*>(message);
    if (!msg || msg->message != WM_DEVICECHANGE) return false;
    out = DecodeDeviceChange(msg->wParam, reinterpret_cast<const void*>(msg->lParam));
    return true;
}

}  // namespace velmora::windows
