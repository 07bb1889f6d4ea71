// Hotkeys on X11: a passive grab of each combination on the root window, on a connection of its
// own (Qt's reads only its windows' events), also with CapsLock and NumLock on. With detectable
// auto-repeat a held combination gives one press and one release; a server that refuses it sends
// a release and a press of one time for each repeat, paired by HotkeyHold after a short wait.
#pragma once

#include <QSocketNotifier>

#include <memory>
#include <vector>

#include "hotkeys/hotkey_source.h"
#include "hotkeys/x11/x11_keyboard.h"

namespace velmora::x11 {

class X11Hotkeys : public HotkeySource {
public:
    // A release waits this long for the press of an auto-repeat pair, where the server refuses
    // detectable auto-repeat.
    static constexpr std::int64_t kRefusedRepeatSettleMs = 50;

    X11Hotkeys() = default;
    ~X11Hotkeys() override;
    X11Hotkeys(const X11Hotkeys&) = delete;
    X11Hotkeys& operator=(const X11Hotkeys&) = delete;

    std::string Name() const override { return "X11"; }
    std::string Ability() const override;
    std::int64_t ReleaseSettleMs() const override { return m_detectable ? 0 : kRefusedRepeatSettleMs; }
    void Start(const std::vector<HotkeyBinding>& bindings, Events events) override;
    void Stop() override;

private:
    struct Grab {
        int id;
        xcb_keycode_t keycode;
        std::uint16_t modifiers;
    };

    bool Connect();
    BindingStatus GrabBinding(const HotkeyBinding& binding);
    std::vector<std::uint16_t> LockVariants(std::uint16_t modifiers) const;
    void Dispatch();

    Connection m_connection;
    xcb_window_t m_root = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_detectable = false;
    std::uint16_t m_numLock = 0;
    std::vector<Grab> m_grabs;
    Events m_events;
};

}  // namespace velmora::x11
