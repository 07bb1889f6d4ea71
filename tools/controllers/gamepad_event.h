// A game controller as its adapter reports it: SDL's standard layout of buttons and axes, the same
// on every pad SDL knows (Xbox, PlayStation, Switch Pro and the others of its mapping database).
#pragma once

#include <string>
#include <string_view>

namespace velmora::controllers {

// In the order of SDL_GameControllerButton.
enum class GamepadButton {
    A,
    B,
    X,
    Y,
    Back,
    Guide,
    Start,
    LeftStick,
    RightStick,
    LeftShoulder,
    RightShoulder,
    DpadUp,
    DpadDown,
    DpadLeft,
    DpadRight,
    Misc1,
    Paddle1,
    Paddle2,
    Paddle3,
    Paddle4,
    Touchpad,
};
inline constexpr int GamepadButtonCount = 21;

// In the order of SDL_GameControllerAxis. Sticks run from -32768 (up, left) to 32767 (down, right),
// triggers from 0 to 32767.
enum class GamepadAxis { LeftX, LeftY, RightX, RightY, LeftTrigger, RightTrigger };
inline constexpr int GamepadAxisCount = 6;
inline constexpr int GamepadAxisFullScale = 32767;

struct GamepadEvent {
    enum class Kind {
        Connected,     // the pad is open: index and name
        Button,        // button, down
        Axis,          // axis, value
        Disconnected,  // the pad went (pulled, its batteries died): index and name
        Unusable,      // a pad that cannot be used: name and detail say why
    };
    Kind kind = Kind::Button;
    GamepadButton button = GamepadButton::A;
    bool down = false;
    GamepadAxis axis = GamepadAxis::LeftX;
    int value = 0;
    int index = -1;  // the pad's place among the pads when it was opened (0: the first)
    std::string name;
    std::string detail;
};

// The inputs a mapping file names: each button, each stick direction, each trigger.
inline constexpr int GamepadInputCount = GamepadButtonCount + 2 * 4 + 2;

int ButtonInput(GamepadButton button);
// The input of one half of an axis (positive: down, right, a trigger pulled), or -1 (a trigger's
// negative half).
int AxisInput(GamepadAxis axis, bool positive);

// "a", "dpad-up", "left-stick-up", "right-trigger"; the input of a name, or -1.
std::string_view GamepadInputName(int input);
int FindGamepadInput(std::string_view name);
// Every input's name, space-separated.
std::string GamepadInputNames();

}  // namespace velmora::controllers
