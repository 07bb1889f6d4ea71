#include "hotkeys/x11/x11_keyboard.h"

// xkb.h names a field "explicit", a C++ keyword.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

#include <cstdlib>

namespace velmora::x11 {

namespace {

struct Free {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

}  // namespace

std::vector<xcb_keycode_t> KeycodesFor(xcb_connection_t* connection, std::uint32_t keysym)
{
    std::vector<xcb_keycode_t> keycodes;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)), nullptr));
    if (!mapping || mapping->keysyms_per_keycode == 0) return keycodes;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int length = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
    const int perKeycode = mapping->keysyms_per_keycode;
    const int columns = perKeycode < 2 ? perKeycode : 2;
    for (int i = 0; i < count && (i + 1) * perKeycode <= length; ++i) {
        for (int column = 0; column < columns; ++column) {
            if (keysyms[i * perKeycode + column] == keysym) {
                keycodes.push_back(static_cast<xcb_keycode_t>(setup->min_keycode + i));
                break;
            }
        }
    }
    return keycodes;
}

std::uint16_t ModifierMaskOf(xcb_connection_t* connection, std::uint32_t keysym)
{
    const std::vector<xcb_keycode_t> keycodes = KeycodesFor(connection, keysym);
    const Reply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!mapping || keycodes.empty()) return 0;
    const xcb_keycode_t* modifierKeys = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    std::uint16_t mask = 0;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            for (xcb_keycode_t keycode : keycodes) {
                if (modifierKeys[modifier * perModifier + i] == keycode)
                    mask |= static_cast<std::uint16_t>(1u << modifier);
            }
        }
    }
    return mask;
}

bool RequestDetectableAutoRepeat(xcb_connection_t* connection)
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (!extension || !extension->present) return false;
    const Reply<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
        nullptr));
    if (!use || !use->supported) return false;
    const std::uint32_t flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    const Reply<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
        connection, xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0),
        nullptr));
    return flags && (flags->supported & flag) && (flags->value & flag);
}

}  // namespace velmora::x11
