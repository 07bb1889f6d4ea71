// The few X keyboard facts the hotkeys need, over an xcb connection: the keycodes of a keysym, the
// modifier mask of a lock key, and detectable auto-repeat.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace velmora::x11 {

inline constexpr std::uint32_t KeysymNumLock = 0xff7f;

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

// The keycodes whose first two columns (plain, shifted) hold keysym.
std::vector<xcb_keycode_t> KeycodesFor(xcb_connection_t* connection, std::uint32_t keysym);

// The modifier mask (Mod2 and so on) a key with this keysym sets, or 0.
std::uint16_t ModifierMaskOf(xcb_connection_t* connection, std::uint32_t keysym);

// Asks the X keyboard extension to report a held key as presses and one release on this
// connection, instead of a release and a press for each repeat. True when the server does.
bool RequestDetectableAutoRepeat(xcb_connection_t* connection);

}  // namespace velmora::x11
