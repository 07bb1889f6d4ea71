#include "hotkeys/windows/windows_hotkeys.h"

#include <windows.h>

#include <algorithm>

namespace velmora::windows {

namespace {

constexpr wchar_t kClassName[] = L"VelmoraHotkeys";

LRESULT CALLBACK HotkeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HOTKEY) {
        auto* owner = reinterpret_cast<WindowsHotkeys*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (owner) owner->OnHotkey(static_cast<int>(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

UINT Modifiers(unsigned modifiers)
{
    UINT flags = MOD_NOREPEAT;
    if (modifiers & ModifierCtrl) flags |= MOD_CONTROL;
    if (modifiers & ModifierAlt) flags |= MOD_ALT;
    if (modifiers & ModifierShift) flags |= MOD_SHIFT;
    if (modifiers & ModifierMeta) flags |= MOD_WIN;
    return flags;
}

}  // namespace

// A message-only window that receives WM_HOTKEY; Qt's event loop dispatches its messages.
struct WindowsHotkeys::MessageWindow {
    explicit MessageWindow(WindowsHotkeys* owner)
    {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = HotkeyWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassExW(&windowClass);  // fails harmlessly when already registered
        handle = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        if (handle) SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    }
    ~MessageWindow()
    {
        if (handle) DestroyWindow(handle);
    }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND handle = nullptr;
};

WindowsHotkeys::WindowsHotkeys() : m_window(std::make_unique<MessageWindow>(this))
{
    m_poll.setInterval(kKeyPollMs);
    QObject::connect(&m_poll, &QTimer::timeout, [this] { Poll(); });
}

WindowsHotkeys::~WindowsHotkeys()
{
    Stop();
}

std::string WindowsHotkeys::Ability() const
{
    return "each combination holds its key as long as it is held down (RegisterHotKey; the release is seen "
           "within 10 ms by watching the key)";
}

void WindowsHotkeys::Start(const std::vector<HotkeyBinding>& bindings, Events events)
{
    Stop();
    m_events = std::move(events);
    if (!m_window->handle) {
        const auto unavailable = m_events.unavailable;
        if (unavailable) unavailable("could not create the window that receives hotkeys");
        return;
    }
    std::vector<BindingStatus> statuses;
    for (const HotkeyBinding& binding : bindings) {
        const Combination& combination = binding.combination;
        if (RegisterHotKey(m_window->handle, binding.id, Modifiers(combination.modifiers),
                           combination.Key().windowsKey)) {
            m_registered.push_back({binding.id, combination.Key().windowsKey});
            statuses.push_back({binding.id, BindingState::Bound, {}});
        } else if (GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED) {
            statuses.push_back({binding.id, BindingState::Taken, "another program has it"});
        } else {
            statuses.push_back({binding.id, BindingState::Failed,
                                "RegisterHotKey failed (error " + std::to_string(GetLastError()) + ")"});
        }
    }
    const auto report = m_events.statuses;
    if (report) report(statuses);
}

void WindowsHotkeys::Stop()
{
    m_events = {};
    m_poll.stop();
    m_down.clear();
    for (const Registered& hotkey : m_registered) UnregisterHotKey(m_window->handle, hotkey.id);
    m_registered.clear();
}

void WindowsHotkeys::OnHotkey(int id)
{
    const auto found = std::find_if(m_registered.begin(), m_registered.end(),
                                    [id](const Registered& hotkey) { return hotkey.id == id; });
    if (found == m_registered.end()) return;
    if (std::none_of(m_down.begin(), m_down.end(), [id](const Registered& down) { return down.id == id; })) {
        m_down.push_back(*found);
    }
    m_poll.start();
    const auto down = m_events.down;
    if (down) down(id, 0);
}

void WindowsHotkeys::Poll()
{
    // Copies: a callback may Stop(), which clears both.
    const std::vector<Registered> down = m_down;
    const auto up = m_events.up;
    for (const Registered& hotkey : down) {
        if (GetAsyncKeyState(static_cast<int>(hotkey.virtualKey)) & 0x8000) continue;
        m_down.erase(std::remove_if(m_down.begin(), m_down.end(),
                                    [&hotkey](const Registered& other) { return other.id == hotkey.id; }),
                     m_down.end());
        if (up) up(hotkey.id, 0);
    }
    if (m_down.empty()) m_poll.stop();
}

}  // namespace velmora::windows
