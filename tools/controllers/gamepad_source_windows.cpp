// GamepadSource on Windows: SDL runs on a thread of its own, asleep in MsgWaitForMultipleObjects
// until a message comes for a window of that thread: raw input from a game controller (registered
// here, or by SDL itself), a device arriving or leaving. Then SDL is pumped and the pad's events wait
// in a queue for DispatchPending on the front end's thread. XInput, through which SDL reads Xbox pads,
// has no notification of its own and wine sends no raw input for pads: while a pad is open the
// thread also reads it every kReadMs, the rate at which a USB pad reports.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <future>
#include <mutex>
#include <thread>

#include "tools/controllers/gamepad_source.h"
#include "tools/controllers/sdl_gamepads.h"

namespace velmora::controllers {

namespace {

constexpr const wchar_t* kWindowClass = L"VelmoraGamepadWake";
constexpr DWORD kReadMs = 8;

// A message-only window that hears raw input from joysticks and gamepads, while it lives.
class RawInputWindow {
public:
    RawInputWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        m_class = RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, kWindowClass, L"velmoractl gamepad", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, windowClass.hInstance, nullptr);
        if (!m_window) return;
        RAWINPUTDEVICE devices[2] = {};
        const USHORT usages[2] = {0x04, 0x05};  // joystick, game pad (generic desktop page)
        for (int i = 0; i < 2; ++i) {
            devices[i].usUsagePage = 0x01;
            devices[i].usUsage = usages[i];
            devices[i].dwFlags = RIDEV_INPUTSINK | RIDEV_DEVNOTIFY;
            devices[i].hwndTarget = m_window;
        }
        RegisterRawInputDevices(devices, 2, sizeof devices[0]);
    }
    ~RawInputWindow()
    {
        if (m_window) DestroyWindow(m_window);
        if (m_class) UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
    }
    RawInputWindow(const RawInputWindow&) = delete;
    RawInputWindow& operator=(const RawInputWindow&) = delete;

private:
    ATOM m_class = 0;
    HWND m_window = nullptr;
};

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (m_handle) CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

class WindowsGamepadSource : public GamepadSource {
public:
    WindowsGamepadSource() = default;
    ~WindowsGamepadSource() override
    {
        SetEvent(m_stop.Get());
        if (m_thread.joinable()) m_thread.join();
    }
    WindowsGamepadSource(const WindowsGamepadSource&) = delete;
    WindowsGamepadSource& operator=(const WindowsGamepadSource&) = delete;

    bool Start(const GamepadChoice& choice, Sink sink, std::string& error) override
    {
        m_sink = std::move(sink);
        if (!m_ready.Get() || !m_stop.Get()) {
            error = "cannot make the events to wait on: error " + std::to_string(GetLastError());
            return false;
        }
        std::promise<std::string> started;
        std::future<std::string> result = started.get_future();
        m_thread = std::thread([this, choice, &started] { Run(choice, started); });
        error = result.get();
        if (!error.empty()) {
            m_thread.join();
            return false;
        }
        DispatchPending();  // the pad present at start
        return true;
    }

    WaitHandle EventHandle() const override { return m_ready.Get(); }

    void DispatchPending() override
    {
        std::vector<GamepadEvent> events;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            events.swap(m_events);
        }
        for (const GamepadEvent& event : events) m_sink(event);
    }

private:
    // SDL's thread: SDL starts, pumps and quits here, where its own helper windows live.
    void Run(const GamepadChoice& choice, std::promise<std::string>& started)
    {
        const RawInputWindow window;  // before SDL, whose own raw-input registration (if any) then wins
        SdlGamepads pads;
        std::vector<GamepadEvent> events;
        std::string error;
        if (!pads.Start(choice, events, error)) {
            started.set_value(error);
            return;
        }
        Queue(events);
        started.set_value({});
        const HANDLE stop = m_stop.Get();
        for (;;) {
            const DWORD woke = MsgWaitForMultipleObjectsEx(1, &stop, pads.HasPad() ? kReadMs : INFINITE,
                                                           QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            events.clear();
            pads.Pump(events);
            Queue(events);
        }
    }

    void Queue(const std::vector<GamepadEvent>& events)
    {
        if (events.empty()) return;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_events.insert(m_events.end(), events.begin(), events.end());
        }
        SetEvent(m_ready.Get());
    }

    Handle m_ready{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    Handle m_stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<GamepadEvent> m_events;  // from SDL's thread
    Sink m_sink;
};

}  // namespace

std::unique_ptr<GamepadSource> CreateGamepadSource(std::string&)
{
    return std::make_unique<WindowsGamepadSource>();
}

}  // namespace velmora::controllers
