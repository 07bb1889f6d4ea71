// A pad's events as actions on the keypad: buttons go down and up, stick directions and triggers
// with hysteresis, and a pad that goes lets go of everything it held.
#pragma once

#include <array>
#include <vector>

#include "tools/controllers/axis_keys.h"
#include "tools/controllers/controller_action.h"
#include "tools/controllers/gamepad_event.h"
#include "tools/controllers/gamepad_mapping.h"

namespace velmora::controllers {

class GamepadMapper {
public:
    explicit GamepadMapper(const GamepadMapping& mapping) : m_mapping(mapping) {}

    // The actions of one event, appended to out: only changes (a button reported down twice, an axis
    // moving within its half, do nothing). Connected starts afresh; Disconnected releases every key
    // the pad held.
    void Take(const GamepadEvent& event, std::vector<ControllerAction>& out);
    // The releases owed when the front end stops.
    void ReleaseAll(std::vector<ControllerAction>& out);

private:
    void Input(int input, bool down, std::vector<ControllerAction>& out);

    GamepadMapping m_mapping;
    KeyHolds m_holds;
    std::array<bool, GamepadInputCount> m_down{};
    std::array<AxisHalf, GamepadAxisCount> m_axes{};
};

}  // namespace velmora::controllers
