// Hotkeys on Windows: RegisterHotKey with MOD_NOREPEAT on a message-only window of its own.
// Windows reports only the combination going down (WM_HOTKEY); the release is found by watching
// the key's state (GetAsyncKeyState) until it comes up.
#pragma once

#include <QTimer>

#include <memory>
#include <vector>

#include "hotkeys/hotkey_source.h"

namespace velmora::windows {

class WindowsHotkeys : public HotkeySource {
public:
    static constexpr int kKeyPollMs = 10;

    WindowsHotkeys();
    ~WindowsHotkeys() override;
    WindowsHotkeys(const WindowsHotkeys&) = delete;
    WindowsHotkeys& operator=(const WindowsHotkeys&) = delete;

    std::string Name() const override { return "Windows"; }
    std::string Ability() const override;
    void Start(const std::vector<HotkeyBinding>& bindings, Events events) override;
    void Stop() override;

    // From the window procedure.
    void OnHotkey(int id);

private:
    struct MessageWindow;
    struct Registered {
        int id;
        unsigned virtualKey;
    };

    void Poll();

    std::unique_ptr<MessageWindow> m_window;
    std::vector<Registered> m_registered;
    std::vector<Registered> m_down;  // went down, not seen up yet
    QTimer m_poll;
    Events m_events;
};

}  // namespace velmora::windows
