#include "tools/controllers/gamepad_event.h"

#include <array>

#include "tools/commands/key_names.h"

namespace velmora::controllers {

namespace {

// Buttons in GamepadButton's order, then the stick halves in AxisInput's order, then the triggers.
constexpr std::array<std::string_view, GamepadInputCount> kInputNames{{
    "a",
    "b",
    "x",
    "y",
    "back",
    "guide",
    "start",
    "left-stick",
    "right-stick",
    "left-shoulder",
    "right-shoulder",
    "dpad-up",
    "dpad-down",
    "dpad-left",
    "dpad-right",
    "misc1",
    "paddle1",
    "paddle2",
    "paddle3",
    "paddle4",
    "touchpad",
    "left-stick-left",
    "left-stick-right",
    "left-stick-up",
    "left-stick-down",
    "right-stick-left",
    "right-stick-right",
    "right-stick-up",
    "right-stick-down",
    "left-trigger",
    "right-trigger",
}};

}  // namespace

int ButtonInput(GamepadButton button)
{
    return static_cast<int>(button);
}

int AxisInput(GamepadAxis axis, bool positive)
{
    const int index = static_cast<int>(axis);
    if (index < 0 || index >= GamepadAxisCount) return -1;
    if (axis == GamepadAxis::LeftTrigger || axis == GamepadAxis::RightTrigger) {
        return positive ? GamepadButtonCount + 8 + (index - static_cast<int>(GamepadAxis::LeftTrigger)) : -1;
    }
    return GamepadButtonCount + 2 * index + (positive ? 1 : 0);
}

std::string_view GamepadInputName(int input)
{
    if (input < 0 || input >= GamepadInputCount) return {};
    return kInputNames[static_cast<std::size_t>(input)];
}

int FindGamepadInput(std::string_view name)
{
    for (std::size_t i = 0; i < kInputNames.size(); ++i) {
        if (velmoractl::SameIgnoringCase(name, kInputNames[i])) return static_cast<int>(i);
    }
    return -1;
}

std::string GamepadInputNames()
{
    std::string list;
    for (const std::string_view name : kInputNames) {
        if (!list.empty()) list += ' ';
        list += name;
    }
    return list;
}

}  // namespace velmora::controllers
