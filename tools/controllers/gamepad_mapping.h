// What each input of a gamepad does on the camera's keypad: the default table, or a mapping file.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/controllers/controller_target.h"
#include "tools/controllers/gamepad_event.h"

namespace velmora::controllers {

class GamepadMapping {
public:
    // The target of an input (see gamepad_event.h), or null when it has none.
    const ControllerTarget* Find(int input) const;
    void Set(int input, const ControllerTarget& target);

    bool operator==(const GamepadMapping& other) const { return m_targets == other.m_targets; }

private:
    std::array<std::optional<ControllerTarget>, GamepadInputCount> m_targets;
};

struct GamepadMappingParse {
    GamepadMapping mapping;
    std::vector<MacroUse> macros;     // every macro it names, for the front end to check
    std::vector<std::string> errors;  // "line N: what is wrong", every bad line; empty when it parsed
};

// The mapping file format (see README): one input a line, "INPUT KEY" or "INPUT macro NAME", '#'
// comments and blank lines left out.
GamepadMappingParse ParseGamepadMapping(std::string_view text);
// errors: "cannot be read" for a file that cannot be read.
GamepadMappingParse LoadGamepadMappingFile(const std::string& path);

// The default table, and the mapping file that writes it (tools/controllers/gamepad_map.example).
const GamepadMapping& DefaultGamepadMapping();
std::string_view DefaultGamepadMappingText();

}  // namespace velmora::controllers
