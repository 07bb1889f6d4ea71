// The adapters against the system's own services (wine's, when run here): the system device
// enumerator, RegisterDeviceNotificationW on a message-only window, WM_DEVICECHANGE decoding.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/windows/com_types.h"
#include "platform/windows/windows_backend.h"
#include "platform/windows/windows_device_change_source.h"

namespace velmora::windows {
namespace {

TEST(SystemServices, SystemDeviceEnumeratorAnswersForTheVideoInputCategory)
{
    WindowsBackend backend;
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    ASSERT_EQ(backend.CreateSystemDeviceEnumerator(enumerator), StatusOk);
    ASSERT_TRUE(enumerator);
    std::unique_ptr<MonikerEnumerator> monikers;
    const Status status = enumerator->CreateVideoInputEnumerator(monikers);
    // Under wine the category lists the host's V4L2 devices; without one it has no enumerator.
    if (GetFileAttributesW(L"Z:\\dev\\video0") == INVALID_FILE_ATTRIBUTES) {
        // Success without an enumerator: the enumeration then gives -1.
        EXPECT_EQ(status, StatusFalse) << StatusName(status);
        EXPECT_FALSE(monikers);
    } else {
        ASSERT_EQ(status, StatusOk) << StatusName(status);
        ASSERT_TRUE(monikers);
        EXPECT_EQ(monikers->Reset(), StatusOk);
    }
}

// A message-only window whose WM_DEVICECHANGE messages go through the source's translation.
class NotificationWindow {
public:
    explicit NotificationWindow(WindowsDeviceChangeSource& source) : m_source(source)
    {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &NotificationWindow::Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = ClassName;
        RegisterClassExW(&windowClass);
        m_window = CreateWindowExW(0, ClassName, L"velmora test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, this);
    }
    ~NotificationWindow()
    {
        if (m_window) DestroyWindow(m_window);
        UnregisterClassW(ClassName, GetModuleHandleW(nullptr));
    }
    NotificationWindow(const NotificationWindow&) = delete;
    NotificationWindow& operator=(const NotificationWindow&) = delete;

    HWND Handle() const { return m_window; }
    std::vector<DeviceChangeEvent> events;

private:
    static constexpr const wchar_t* ClassName = L"VelmoraNotificationTest";

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<NotificationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self) {
            MSG msg{};
            msg.hwnd = window;
            msg.message = message;
            msg.wParam = wParam;
            msg.lParam = lParam;
            DeviceChangeEvent event;
            if (self->m_source.TranslateNativeMessage(&msg, event)) {
                self->events.push_back(event);
                return TRUE;
            }
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    WindowsDeviceChangeSource& m_source;
    HWND m_window = nullptr;
};

// DEV_BROADCAST_DEVICEINTERFACE_W with room for the name, as the system sends it.
std::vector<std::uint8_t> InterfaceRecord(const std::wstring& name)
{
    std::vector<std::uint8_t> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                    (name.size() + 1) * sizeof(wchar_t));
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    record->dbcc_size = static_cast<DWORD>(bytes.size());
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = ToWindowsGuid(KsCategoryCapture);
    std::memcpy(record->dbcc_name, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    return bytes;
}

TEST(SystemServices, RegistersOnAWindowAndDecodesItsMessages)
{
    WindowsDeviceChangeSource source;
    NotificationWindow window(source);
    ASSERT_NE(window.Handle(), nullptr);
    ASSERT_EQ(source.Register(reinterpret_cast<std::uintptr_t>(window.Handle()), KsCategoryCapture, {}),
              StatusOk);

    const std::wstring name =
        L"\\\\?\\USB#VID_ABCD&PID_EF01&MI_00#6&2c0a0001&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
        L"\\global";
    std::vector<std::uint8_t> arrival = InterfaceRecord(name);
    SendMessageW(window.Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(arrival.data()));
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    SendMessageW(window.Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                 reinterpret_cast<LPARAM>(&volume));
    SendMessageW(window.Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    SendMessageW(window.Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);

    ASSERT_EQ(window.events.size(), 4u);
    EXPECT_EQ(window.events[0].kind, DeviceChangeKind::Arrival);
    EXPECT_EQ(window.events[0].recordType, DeviceRecordInterface);
    EXPECT_EQ(window.events[0].interfaceName,
              "\\\\?\\USB#VID_ABCD&PID_EF01&MI_00#6&2c0a0001&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
              "\\global");
    EXPECT_EQ(window.events[1].kind, DeviceChangeKind::RemoveComplete);
    EXPECT_EQ(window.events[1].recordType, DeviceRecordVolume);
    EXPECT_EQ(window.events[2].kind, DeviceChangeKind::Other);
    EXPECT_EQ(window.events[3].kind, DeviceChangeKind::RemoveComplete);
    EXPECT_EQ(window.events[3].recordType, DeviceRecordMalformed);

    // Other messages are not device changes.
    MSG paint{};
    paint.message = WM_PAINT;
    DeviceChangeEvent unused;
    EXPECT_FALSE(source.TranslateNativeMessage(&paint, unused));
    EXPECT_FALSE(source.TranslateNativeMessage(nullptr, unused));
}

// What reaches RegisterDeviceNotificationW and UnregisterDeviceNotification.
struct Recorded {
    HANDLE recipient = nullptr;
    std::vector<std::uint8_t> filter;
    DWORD flags = 0xFFFFFFFF;
    std::vector<HDEVNOTIFY> unregistered;
    bool fail = false;
};
Recorded g_recorded;
const HDEVNOTIFY RecordedHandle = reinterpret_cast<HDEVNOTIFY>(std::uintptr_t{0x5150});

HDEVNOTIFY WINAPI RecordRegister(HANDLE recipient, LPVOID filter, DWORD flags)
{
    g_recorded.recipient = recipient;
    const auto* bytes = static_cast<const std::uint8_t*>(filter);
    const DWORD size = static_cast<const DEV_BROADCAST_HDR*>(filter)->dbch_size;
    g_recorded.filter.assign(bytes, bytes + size);
    g_recorded.flags = flags;
    if (g_recorded.fail) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return RecordedHandle;
}

BOOL WINAPI RecordUnregister(HDEVNOTIFY handle)
{
    g_recorded.unregistered.push_back(handle);
    return TRUE;
}

TEST(DeviceNotification, RegistersTheThirtyTwoByteInterfaceFilter)
{
    g_recorded = {};
    DeviceNotificationApi api;
    api.registerNotification = &RecordRegister;
    api.unregisterNotification = &RecordUnregister;
    {
        WindowsDeviceChangeSource source(api);
        EXPECT_EQ(source.Register(0x1234, KsCategoryCapture, {}), StatusOk);
        EXPECT_EQ(g_recorded.recipient, reinterpret_cast<HANDLE>(std::uintptr_t{0x1234}));
        EXPECT_EQ(g_recorded.flags, 0u);  // DEVICE_NOTIFY_WINDOW_HANDLE
        EXPECT_EQ(g_recorded.filter,
                  (std::vector<std::uint8_t>{0x20, 0,    0,    0,    0x05, 0,    0,    0,    0,    0,    0,
                                             0,    0x3D, 0x77, 0xE8, 0x65, 0x56, 0x8F, 0xD0, 0x11, 0xA3, 0xB9,
                                             0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96, 0,    0,    0,    0}));
        EXPECT_TRUE(g_recorded.unregistered.empty());
    }
    EXPECT_EQ(g_recorded.unregistered, (std::vector<HDEVNOTIFY>{RecordedHandle}));

    g_recorded = {};
    g_recorded.fail = true;
    {
        WindowsDeviceChangeSource source(api);
        EXPECT_EQ(source.Register(0x1234, KsCategoryCapture, {}), StatusFromWin32(ERROR_INVALID_PARAMETER));
    }
    EXPECT_TRUE(g_recorded.unregistered.empty());
}

}  // namespace
}  // namespace velmora::windows
