// A system-wide key combination: modifiers and one key, as written in the settings ("Ctrl+Alt+Up")
// and as each platform names it (an X keysym, a Windows virtual-key code, a portal trigger).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/key_table.h"

namespace velmora {

enum HotkeyModifier : unsigned {
    ModifierCtrl = 1,
    ModifierAlt = 2,
    ModifierShift = 4,
    ModifierMeta = 8,  // the Windows or Super key
};

// A key a combination can end in.
struct HotkeyKeyName {
    std::string_view name;       // as written: "Up", "A", "1", "F13", "Enter"
    std::string_view alias;      // another spelling read too ("Return", "PgUp"), or empty
    std::uint32_t x11Keysym;     // the keysym in the keymap's first column
    std::uint16_t windowsKey;    // the virtual-key code
    std::string_view portalKey;  // the XKB keysym name a portal trigger uses
};

// Letters, digits, F1 to F24, the arrows, Enter and the editing keys.
const std::vector<HotkeyKeyName>& HotkeyKeyNames();

struct Combination {
    unsigned modifiers = 0;  // HotkeyModifier bits
    int key = -1;            // index into HotkeyKeyNames()

    const HotkeyKeyName& Key() const { return HotkeyKeyNames()[static_cast<std::size_t>(key)]; }
    friend bool operator==(const Combination& a, const Combination& b)
    {
        return a.modifiers == b.modifiers && a.key == b.key;
    }
    friend bool operator!=(const Combination& a, const Combination& b) { return !(a == b); }
};

// "Ctrl+Alt+Up": modifiers (Ctrl or Control, Alt, Shift, Meta or Super or Win) joined by '+', the
// key last, any letter case, spaces around the parts allowed. A combination needs Ctrl, Alt or
// Meta, or its key is one of F13 to F24, so that typing never sets one off. On failure, nullopt
// and why in error.
std::optional<Combination> ParseCombination(std::string_view text, std::string& error);

// The settings' spelling: "Ctrl+Alt+Up".
std::string CombinationText(const Combination& combination);

// The desktop portal's trigger: "CTRL+ALT+Up".
std::string PortalTrigger(const Combination& combination);

// The set that follows the window's own keyboard with Ctrl+Alt, in key-table order.
std::array<Combination, KeyCount> SuggestedCombinations();

}  // namespace velmora
