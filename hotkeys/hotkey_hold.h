// What the combinations going down and up do to the one key a hotkey holds: key down presses,
// key up releases, auto-repeat does nothing, and a hold ends at the hold limit, when the hotkeys
// stop, or when another combination goes down (which then presses its own key). Times are the
// caller's monotonic milliseconds; event times are the platform's own stamps (X server time), used
// only to pair the release and press that an X server without detectable auto-repeat sends for a
// repeat.
#pragma once

#include <cstdint>
#include <optional>

namespace velmora {

class HotkeyHold {
public:
    static constexpr std::int64_t kHoldLimitMs = 10000;

    // What to do now: release first, then press (binding ids; -1 for none).
    struct Step {
        int release = -1;
        int press = -1;
    };

    // settleMs: how long a release waits for the press of an auto-repeat pair; 0 where the source
    // reports repeats as presses only (detectable auto-repeat, Windows, the portal).
    explicit HotkeyHold(std::int64_t settleMs = 0) : m_settleMs(settleMs) {}

    void SetSettleMs(std::int64_t settleMs) { m_settleMs = settleMs; }

    Step Down(int binding, std::uint32_t eventTime, std::int64_t nowMs);
    Step Up(int binding, std::uint32_t eventTime, std::int64_t nowMs);
    // At or after Deadline(): a release that settled, or the hold limit.
    Step Tick(std::int64_t nowMs);
    // Everything let go: the hotkeys stop, the program ends.
    Step Stop();
    // The hold ends now (the camera went, the hold limit); the combination still down presses
    // nothing more until it comes up and goes down again.
    Step EndHold();

    std::optional<std::int64_t> Deadline() const;
    // The binding whose key is pressed, or -1.
    int Held() const { return m_state == State::Held || m_state == State::Settling ? m_binding : -1; }

private:
    enum class State { Idle, Held, Settling, Expired };

    Step Press(int binding, std::int64_t nowMs);

    std::int64_t m_settleMs;
    State m_state = State::Idle;
    int m_binding = -1;
    std::int64_t m_since = 0;        // when the press went out
    std::int64_t m_settleUntil = 0;  // Settling: when the release goes out
    std::uint32_t m_upTime = 0;      // Settling: the release's event time
};

}  // namespace velmora
