// The user's hotkey settings file (velmora.ini in the configuration folder), read without QSettings
// so that a damaged or hand-written file keeps every line it can and names those it cannot:
//
//   [hotkeys]
//   enabled=true
//   zoom-in=Ctrl+Alt+Up      a key's short name (velmoractl's); empty: no hotkey for that key
//   [macros]
//   wide=Ctrl+Alt+F1         a macro of the macros file, by its name, run by the combination
//   [window]
//   hide-message-shown=true
//
// Section and key names in any letter case; ';' and '#' start comments; other sections are left
// alone. A key not in the file has the suggested combination.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hotkeys/combination.h"
#include "keys/key_table.h"

namespace velmora {

struct KeyHotkey {
    bool set = false;                        // false: the suggested combination
    std::optional<Combination> combination;  // when set: the combination, or none
};

// A combination that runs a macro of the macros file.
struct MacroHotkey {
    std::string name;  // as the file gives it; the macros file finds it in any letter case
    Combination combination;
};

// The most macros that may have a combination.
inline constexpr std::size_t MaxMacroHotkeys = 64;

struct HotkeySettings {
    bool enabled = false;
    std::array<KeyHotkey, KeyCount> keys{};  // key-table order
    std::vector<MacroHotkey> macros;         // in the file's order, each name and combination once
    bool hideMessageShown = false;           // the tray's "still running" message was shown once
};

struct SettingsProblem {
    int line = 0;  // 1-based
    std::string text;
    std::string reason;
};

struct SettingsFileRead {
    HotkeySettings settings;
    std::vector<SettingsProblem> problems;
};

SettingsFileRead ReadHotkeySettings(std::string_view text);

// "line 7: zoom-in=Ctrl+Alt+Fo0: unknown key "Fo0"" (the line's text shortened, control bytes as '?').
std::string ProblemText(const SettingsProblem& problem);

// Each key's combination: the one set, else the suggested one unless a key set explicitly, or a
// macro, has it.
std::array<std::optional<Combination>, KeyCount> EffectiveCombinations(const HotkeySettings& settings);

// The settings file's name for a key: its short name ("zoom-in").
std::string_view HotkeySettingName(int keyIndex);

}  // namespace velmora
