#include "hotkeys/combination.h"

#include <cctype>

namespace velmora {

namespace {

constexpr std::string_view kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kLower = "abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kFunctionKeys[] = {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",
                                              "F9",  "F10", "F11", "F12", "F13", "F14", "F15", "F16",
                                              "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24"};
constexpr std::uint32_t kKeysymF1 = 0xffbe;
constexpr std::uint16_t kWindowsF1 = 0x70;

struct ModifierName {
    std::string_view name;
    unsigned bit;
};
constexpr ModifierName kModifiers[] = {
    {"Ctrl", ModifierCtrl}, {"Control", ModifierCtrl}, {"Alt", ModifierAlt},  {"Shift", ModifierShift},
    {"Meta", ModifierMeta}, {"Super", ModifierMeta},   {"Win", ModifierMeta},
};

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::vector<HotkeyKeyName> MakeKeyNames()
{
    std::vector<HotkeyKeyName> keys;
    for (std::size_t i = 0; i < kUpper.size(); ++i) {
        keys.push_back({kUpper.substr(i, 1),
                        {},
                        static_cast<std::uint32_t>('a' + i),
                        static_cast<std::uint16_t>('A' + i),
                        kLower.substr(i, 1)});
    }
    for (std::size_t i = 0; i < kDigits.size(); ++i) {
        keys.push_back({kDigits.substr(i, 1),
                        {},
                        static_cast<std::uint32_t>('0' + i),
                        static_cast<std::uint16_t>('0' + i),
                        kDigits.substr(i, 1)});
    }
    for (std::size_t i = 0; i < std::size(kFunctionKeys); ++i) {
        keys.push_back({kFunctionKeys[i],
                        {},
                        static_cast<std::uint32_t>(kKeysymF1 + i),
                        static_cast<std::uint16_t>(kWindowsF1 + i),
                        kFunctionKeys[i]});
    }
    const HotkeyKeyName others[] = {
        {"Up", {}, 0xff52, 0x26, "Up"},
        {"Down", {}, 0xff54, 0x28, "Down"},
        {"Left", {}, 0xff51, 0x25, "Left"},
        {"Right", {}, 0xff53, 0x27, "Right"},
        {"Enter", "Return", 0xff0d, 0x0d, "Return"},
        {"Space", {}, 0x20, 0x20, "space"},
        {"Tab", {}, 0xff09, 0x09, "Tab"},
        {"Home", {}, 0xff50, 0x24, "Home"},
        {"End", {}, 0xff57, 0x23, "End"},
        {"PageUp", "PgUp", 0xff55, 0x21, "Page_Up"},
        {"PageDown", "PgDown", 0xff56, 0x22, "Page_Down"},
        {"Insert", "Ins", 0xff63, 0x2d, "Insert"},
        {"Delete", "Del", 0xffff, 0x2e, "Delete"},
        {"Backspace", {}, 0xff08, 0x08, "BackSpace"},
        {"Escape", "Esc", 0xff1b, 0x1b, "Escape"},
        {"Pause", {}, 0xff13, 0x13, "Pause"},
    };
    keys.insert(keys.end(), std::begin(others), std::end(others));
    return keys;
}

int FindKeyName(std::string_view text)
{
    const std::vector<HotkeyKeyName>& keys = HotkeyKeyNames();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (SameText(text, keys[i].name) || (!keys[i].alias.empty() && SameText(text, keys[i].alias))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// F13 to F24: no key of a common keyboard types them.
bool IsFreeFunctionKey(const Combination& combination)
{
    const std::uint16_t code = combination.Key().windowsKey;
    return code >= kWindowsF1 + 12 && code <= kWindowsF1 + 23;
}

std::string Joined(const Combination& combination, const char* const (&modifierNames)[4],
                   std::string_view keyName)
{
    std::string text;
    const unsigned bits[] = {ModifierCtrl, ModifierAlt, ModifierShift, ModifierMeta};
    for (std::size_t i = 0; i < std::size(bits); ++i) {
        if (combination.modifiers & bits[i]) {
            text += modifierNames[i];
            text += '+';
        }
    }
    text += keyName;
    return text;
}

}  // namespace

const std::vector<HotkeyKeyName>& HotkeyKeyNames()
{
    static const std::vector<HotkeyKeyName> keys = MakeKeyNames();
    return keys;
}

std::optional<Combination> ParseCombination(std::string_view text, std::string& error)
{
    Combination combination;
    std::string_view rest = Trimmed(text);
    if (rest.empty()) {
        error = "no combination";
        return std::nullopt;
    }
    while (true) {
        const std::size_t plus = rest.find('+');
        const std::string_view part = Trimmed(rest.substr(0, plus));
        if (plus == std::string_view::npos) {
            combination.key = FindKeyName(part);
            if (combination.key < 0) {
                error =
                    part.empty() ? "no key after the last '+'" : "unknown key \"" + std::string(part) + "\"";
                return std::nullopt;
            }
            break;
        }
        unsigned bit = 0;
        for (const ModifierName& modifier : kModifiers) {
            if (SameText(part, modifier.name)) bit = modifier.bit;
        }
        if (bit == 0) {
            error = "unknown modifier \"" + std::string(part) + "\"";
            return std::nullopt;
        }
        if (combination.modifiers & bit) {
            error = "\"" + std::string(part) + "\" twice";
            return std::nullopt;
        }
        combination.modifiers |= bit;
        rest = rest.substr(plus + 1);
    }
    if (!(combination.modifiers & (ModifierCtrl | ModifierAlt | ModifierMeta)) &&
        !IsFreeFunctionKey(combination)) {
        error = "needs Ctrl, Alt or Meta (or one of F13 to F24)";
        return std::nullopt;
    }
    return combination;
}

std::string CombinationText(const Combination& combination)
{
    static const char* const names[4] = {"Ctrl", "Alt", "Shift", "Meta"};
    return Joined(combination, names, combination.Key().name);
}

std::string PortalTrigger(const Combination& combination)
{
    static const char* const names[4] = {"CTRL", "ALT", "SHIFT", "LOGO"};
    return Joined(combination, names, combination.Key().portalKey);
}

std::array<Combination, KeyCount> SuggestedCombinations()
{
    // Key-table order: live, normal, zoom-in, focus-in, menu, focus-out, zoom-out, ae, awb, lock1..3.
    constexpr std::string_view keys[KeyCount] = {"L",    "N", "Up", "Left", "Enter", "Right",
                                                 "Down", "A", "W",  "1",    "2",     "3"};
    std::array<Combination, KeyCount> combinations{};
    for (std::size_t i = 0; i < combinations.size(); ++i) {
        combinations[i] = {ModifierCtrl | ModifierAlt, FindKeyName(keys[i])};
    }
    return combinations;
}

}  // namespace velmora
