#include "hotkeys/hotkey_hold.h"

namespace velmora {

HotkeyHold::Step HotkeyHold::Press(int binding, std::int64_t nowMs)
{
    Step step;
    if (Held() >= 0) step.release = m_binding;
    step.press = binding;
    m_state = State::Held;
    m_binding = binding;
    m_since = nowMs;
    return step;
}

HotkeyHold::Step HotkeyHold::Down(int binding, std::uint32_t eventTime, std::int64_t nowMs)
{
    if (binding == m_binding) {
        switch (m_state) {
            case State::Held:
            case State::Expired:
                return {};  // auto-repeat, or still down after the hold limit
            case State::Settling:
                if (eventTime != 0 && eventTime == m_upTime) {
                    m_state = State::Held;  // the release and press of one repeat
                    return {};
                }
                break;
            case State::Idle:
                break;
        }
    }
    return Press(binding, nowMs);
}

HotkeyHold::Step HotkeyHold::Up(int binding, std::uint32_t eventTime, std::int64_t nowMs)
{
    if (binding != m_binding) return {};
    if (m_state == State::Expired) {
        m_state = State::Idle;
        m_binding = -1;
        return {};
    }
    if (m_state != State::Held) return {};
    if (m_settleMs > 0) {
        m_state = State::Settling;
        m_upTime = eventTime;
        m_settleUntil = nowMs + m_settleMs;
        return {};
    }
    return Stop();
}

HotkeyHold::Step HotkeyHold::Tick(std::int64_t nowMs)
{
    if (m_state == State::Settling && nowMs >= m_settleUntil) return Stop();
    if (Held() >= 0 && nowMs >= m_since + kHoldLimitMs) return EndHold();
    return {};
}

HotkeyHold::Step HotkeyHold::EndHold()
{
    // A release still settling was the key coming up: nothing is left to wait for.
    const bool stillDown = m_state == State::Held;
    Step step = Stop();
    if (stillDown) {
        m_state = State::Expired;
        m_binding = step.release;
    }
    return step;
}

HotkeyHold::Step HotkeyHold::Stop()
{
    Step step;
    if (Held() >= 0) step.release = m_binding;
    m_state = State::Idle;
    m_binding = -1;
    return step;
}

std::optional<std::int64_t> HotkeyHold::Deadline() const
{
    if (m_state == State::Held) return m_since + kHoldLimitMs;
    if (m_state == State::Settling)
        return m_settleUntil < m_since + kHoldLimitMs ? m_settleUntil : m_since + kHoldLimitMs;
    return std::nullopt;
}

}  // namespace velmora
