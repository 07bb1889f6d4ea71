// Any run of pad events (each input byte pair a button, an axis value, a pad coming or going) through
// the default mapping: a key is pressed only when not held and released only when held, every axis
// step is a release then a press at most, and a pad going leaves nothing held.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "tools/controllers/gamepad_mapper.h"

using namespace velmora::controllers;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    GamepadMapper mapper(DefaultGamepadMapping());
    std::array<bool, 12> held{};
    std::vector<ControllerAction> actions;
    for (std::size_t i = 0; i + 3 <= size; i += 3) {
        GamepadEvent event;
        const int code = data[i];
        const int value = static_cast<std::int16_t>(data[i + 1] << 8 | data[i + 2]);
        if (code < 0x80) {
            event.kind = GamepadEvent::Kind::Button;
            event.button = static_cast<GamepadButton>(code % GamepadButtonCount);
            event.down = (value & 1) != 0;
        } else if (code < 0xF0) {
            event.kind = GamepadEvent::Kind::Axis;
            event.axis = static_cast<GamepadAxis>(code % GamepadAxisCount);
            event.value = value;
            const AxisStep step = StepAxis(AxisHalf::None, value, GamepadAxisFullScale);
            FUZZ_CHECK(step.count <= 1 && (step.count == 1) == (step.held != AxisHalf::None));
        } else {
            event.kind = code & 1 ? GamepadEvent::Kind::Disconnected : GamepadEvent::Kind::Connected;
        }
        actions.clear();
        mapper.Take(event, actions);
        for (const ControllerAction& action : actions) {
            FUZZ_CHECK(action.key >= 0 && action.key < 12);
            bool& down = held[static_cast<std::size_t>(action.key)];
            FUZZ_CHECK(down != (action.kind == ControllerAction::Kind::Press));
            down = action.kind == ControllerAction::Kind::Press;
        }
        if (event.kind == GamepadEvent::Kind::Disconnected) {
            for (bool down : held) FUZZ_CHECK(!down);
        }
    }
    return 0;
}
