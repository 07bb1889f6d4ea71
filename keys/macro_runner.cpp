#include "keys/macro_runner.h"

#include <utility>

#include "keys/key_table.h"

namespace velmora {

namespace {

bool HasRelease(int key)
{
    return key >= 0 && key < KeyCount && Keys[static_cast<std::size_t>(key)].releaseCode.has_value();
}

}  // namespace

MacroRunner::MacroRunner(Macro macro, Clock::time_point start) : m_macro(std::move(macro)), m_mark(start) {}

MacroRunner::Action MacroRunner::SendSlot(int slot)
{
    m_pending = slot;
    Action action;
    action.kind = Action::Kind::Send;
    action.slot = slot;
    action.step = static_cast<int>(m_step);
    return action;
}

MacroRunner::Action MacroRunner::Next(Clock::time_point now)
{
    if (m_finished) return {};
    if (m_pending) return SendSlot(*m_pending);
    while (m_step < m_macro.steps.size()) {
        const MacroStep& step = m_macro.steps[m_step];
        const int press = 2 * step.key;
        switch (step.kind) {
            case MacroStep::Kind::Press:
                return SendSlot(press);
            case MacroStep::Kind::Release:
                return SendSlot(press + 1);
            case MacroStep::Kind::Click:
                return SendSlot(m_phase == 0 ? press : press + 1);
            case MacroStep::Kind::Nudge:
            case MacroStep::Kind::Wait:
                if (step.kind == MacroStep::Kind::Nudge && m_phase == 0) return SendSlot(press);
                if (!m_due) m_due = m_mark + std::chrono::milliseconds(step.ms);
                if (now < *m_due) {
                    Action action;
                    action.kind = Action::Kind::Wait;
                    action.until = *m_due;
                    action.step = static_cast<int>(m_step);
                    return action;
                }
                if (step.kind == MacroStep::Kind::Nudge) return SendSlot(press + 1);
                m_mark = *m_due;
                m_due.reset();
                ++m_step;
                break;
        }
    }
    m_finished = true;
    return {};
}

void MacroRunner::Sent(bool ok, Clock::time_point at)
{
    if (!m_pending) return;
    const int slot = *m_pending;
    m_pending.reset();
    if (m_finished) return;
    if (!ok) {
        m_failed = m_finished = true;
        return;
    }
    m_mark = at;
    const int key = slot / 2;
    if (slot % 2 == 0) {
        if (HasRelease(key)) m_held = key;
    } else if (m_held == key) {
        m_held.reset();
    }
    const MacroStep& step = m_macro.steps[m_step];
    const bool twoWrites = step.kind == MacroStep::Kind::Click || step.kind == MacroStep::Kind::Nudge;
    if (twoWrites && m_phase == 0) {
        m_phase = 1;
        // A nudge's release is timed from its press.
        if (step.kind == MacroStep::Kind::Nudge) m_due = at + std::chrono::milliseconds(step.ms);
        return;
    }
    m_phase = 0;
    m_due.reset();
    ++m_step;
}

std::vector<int> MacroRunner::Cancel()
{
    std::vector<int> releases;
    if (m_pending && *m_pending % 2 == 0 && HasRelease(*m_pending / 2)) {
        releases.push_back(*m_pending + 1);
    } else if (m_held && !(m_pending && *m_pending == 2 * *m_held + 1)) {
        // A release out for writing is not given again.
        releases.push_back(2 * *m_held + 1);
    }
    if (!m_finished) m_cancelled = true;
    m_finished = true;
    m_pending.reset();
    m_held.reset();
    return releases;
}

}  // namespace velmora
