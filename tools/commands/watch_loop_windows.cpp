#include <windows.h>

#include <atomic>

#include "tools/commands/watch_loop.h"

namespace velmoractl {

namespace {

constexpr UINT kStopMessage = WM_APP + 1;
std::atomic<HWND> g_window{nullptr};

struct WatchState {
    velmora::DeviceChangeSource* source;
    const velmora::DeviceChangeSource::Sink* sink;
};

// WM_DEVICECHANGE is sent, not posted: it arrives here, never through GetMessageW.
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<WatchState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == kStopMessage) {
        PostQuitMessage(0);
        return 0;
    }
    if (state) {
        MSG native{};
        native.hwnd = window;
        native.message = message;
        native.wParam = wParam;
        native.lParam = lParam;
        velmora::DeviceChangeEvent event;
        if (state->source->TranslateNativeMessage(&native, event)) (*state->sink)(event);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

BOOL WINAPI OnConsoleStop(DWORD)
{
    if (const HWND window = g_window) PostMessageW(window, kStopMessage, 0, 0);
    return TRUE;
}

// A message-only window and the console stop handler, for as long as the watch lasts.
class MessageWindow {
public:
    MessageWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = WindowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VelmoractlWatch";
        m_class = RegisterClassW(&windowClass);
        if (!m_class) return;
        g_window = CreateWindowExW(0, L"VelmoractlWatch", L"velmoractl", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
        if (g_window) SetConsoleCtrlHandler(OnConsoleStop, TRUE);
    }
    ~MessageWindow()
    {
        if (const HWND window = g_window.exchange(nullptr)) {
            SetConsoleCtrlHandler(OnConsoleStop, FALSE);
            DestroyWindow(window);
        }
        if (m_class) UnregisterClassW(L"VelmoractlWatch", GetModuleHandleW(nullptr));
    }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    HWND Handle() const { return g_window.load(); }

private:
    ATOM m_class = 0;
};

}  // namespace

void StopWatchingDeviceChanges()
{
    if (const HWND window = g_window) PostMessageW(window, kStopMessage, 0, 0);
}

bool WatchDeviceChanges(velmora::DeviceChangeSource& source, const velmora::Guid& interfaceClass,
                        const velmora::DeviceChangeSource::Sink& sink, const std::function<void()>& ready,
                        velmora::Status& status, std::string& error)
{
    MessageWindow window;
    if (!window.Handle()) {
        error = "cannot create a message window";
        return false;
    }
    WatchState state{&source, &sink};
    SetWindowLongPtrW(window.Handle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    status = source.Register(reinterpret_cast<std::uintptr_t>(window.Handle()), interfaceClass, sink);
    if (velmora::Failed(status)) {
        error = "registering for device changes failed";
        return false;
    }
    ready();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    SetWindowLongPtrW(window.Handle(), GWLP_USERDATA, 0);
    return true;
}

}  // namespace velmoractl
