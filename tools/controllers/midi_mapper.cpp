#include "tools/controllers/midi_mapper.h"

#include "tools/controllers/axis_keys.h"

namespace velmora::controllers {

void MidiMapper::Take(const MidiMessage& message, std::vector<ControllerAction>& out)
{
    if (message.channel < 0 || message.channel > 15 || message.number < 0 || message.number > 127) return;
    const MidiInput input = InputOf(message);
    const ControllerTarget* target = m_mapping.Find(input);
    if (input.kind == MidiInputKind::Program) {
        if (!target) return;
        if (target->key < 0) {
            out.push_back({ControllerAction::Kind::Macro, -1, target->macro});
        } else {
            out.push_back({ControllerAction::Kind::Click, target->key, {}});
        }
        return;
    }
    const int id = ((input.kind == MidiInputKind::Control ? 16 : 0) + input.channel) * 128 + input.number;
    bool down = message.kind == MidiMessage::Kind::NoteOn;
    if (input.kind == MidiInputKind::Control) {
        const AxisHalf held = m_down.test(static_cast<std::size_t>(id)) ? AxisHalf::Positive : AxisHalf::None;
        down = StepAxis(held, message.value, MidiValueFullScale).held == AxisHalf::Positive;
    }
    if (m_down.test(static_cast<std::size_t>(id)) == down) return;
    m_down.set(static_cast<std::size_t>(id), down);
    if (!target) return;
    if (down) {
        m_holds.Down(id, *target, out);
    } else {
        m_holds.Up(id, out);
    }
}

void MidiMapper::ReleaseAll(std::vector<ControllerAction>& out)
{
    m_holds.ReleaseAll(out);
    m_down.reset();
}

}  // namespace velmora::controllers
