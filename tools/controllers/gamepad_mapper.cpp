#include "tools/controllers/gamepad_mapper.h"

namespace velmora::controllers {

void GamepadMapper::Input(int input, bool down, std::vector<ControllerAction>& out)
{
    if (input < 0 || input >= GamepadInputCount) return;
    bool& isDown = m_down[static_cast<std::size_t>(input)];
    if (isDown == down) return;
    isDown = down;
    const ControllerTarget* target = m_mapping.Find(input);
    if (!target) return;
    if (down) {
        m_holds.Down(input, *target, out);
    } else {
        m_holds.Up(input, out);
    }
}

void GamepadMapper::Take(const GamepadEvent& event, std::vector<ControllerAction>& out)
{
    switch (event.kind) {
        case GamepadEvent::Kind::Button: {
            const int button = static_cast<int>(event.button);
            if (button >= 0 && button < GamepadButtonCount) Input(ButtonInput(event.button), event.down, out);
            break;
        }
        case GamepadEvent::Kind::Axis: {
            const int axis = static_cast<int>(event.axis);
            if (axis < 0 || axis >= GamepadAxisCount) break;
            AxisHalf& held = m_axes[static_cast<std::size_t>(axis)];
            const AxisStep step = StepAxis(held, event.value, GamepadAxisFullScale);
            held = step.held;
            for (int i = 0; i < step.count; ++i) {
                const AxisEdge& edge = step.edges[static_cast<std::size_t>(i)];
                Input(AxisInput(event.axis, edge.half == AxisHalf::Positive), edge.press, out);
            }
            break;
        }
        case GamepadEvent::Kind::Connected:
        case GamepadEvent::Kind::Disconnected:
            ReleaseAll(out);
            break;
        case GamepadEvent::Kind::Unusable:
            break;
    }
}

void GamepadMapper::ReleaseAll(std::vector<ControllerAction>& out)
{
    m_holds.ReleaseAll(out);
    m_down.fill(false);
    m_axes.fill(AxisHalf::None);
}

}  // namespace velmora::controllers
