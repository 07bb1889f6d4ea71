// One macro on the clock. The runner sends nothing and sleeps nowhere: a front end's driver asks
// it what to do next, writes the slot it is given (through whatever the front end uses for a key
// slot), reports when that write returned, and sleeps or arms a timer until the time it is given.
// So one engine serves a blocking loop, an event loop and the window's timers alike.
//
//   MacroRunner runner(macro, Clock::now());
//   for (;;) {
//       const auto action = runner.Next(Clock::now());
//       if (action.kind == Action::Kind::Done) break;
//       if (action.kind == Action::Kind::Wait) { sleep until action.until; continue; }
//       runner.Sent(write slot action.slot succeeded, Clock::now());
//   }
//
// Timing: a nudge's release is due its time after its press's write returned; a wait starts when
// the write before it returned (or where the wait before it ended, or at the start). A late wake-up
// delays that one event, not the schedule after a wait.
//
// Ending early: Cancel() ends the run and hands back the releases it owes, to be sent before
// anything else goes to the camera. A failed write ends the run as well; Cancel() then gives the
// releases still owed.
#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "keys/macro.h"

namespace velmora {

class MacroRunner {
public:
    using Clock = std::chrono::steady_clock;

    struct Action {
        enum class Kind {
            Send,  // write slot now, then call Sent
            Wait,  // nothing is due before until: call Next again then
            Done,  // the macro has ended (finished, failed or cancelled)
        };
        Kind kind = Kind::Done;
        int slot = -1;  // Send: 0..23, KeySlot order (2 * key pressed, 2 * key + 1 released)
        Clock::time_point until{};
        int step = -1;  // Send, Wait: the index of the step in the macro's steps
    };

    MacroRunner(Macro macro, Clock::time_point start);

    // What is due at now. While a Send waits for its Sent, Next gives that Send again.
    Action Next(Clock::time_point now);
    // The write of the slot the last Send named returned at at; ok false when it failed, which ends
    // the run (Failed()).
    void Sent(bool ok, Clock::time_point at);

    // Ends the run; returns the release slots owed, oldest first: the key the macro holds, or whose
    // press is out for writing (send the release after that write: it ends the hold the press may
    // have started). Each release is given once: a second call returns nothing. A Sent for a
    // write out at the cancel is then ignored.
    std::vector<int> Cancel();

    bool Finished() const { return m_finished; }
    bool Failed() const { return m_failed; }
    bool Cancelled() const { return m_cancelled; }
    // The key the macro holds down now (pressed and not released, a key with a release code), if any.
    std::optional<int> HeldKey() const { return m_held; }
    const Macro& GetMacro() const { return m_macro; }

private:
    Action SendSlot(int slot);

    Macro m_macro;
    std::size_t m_step = 0;
    int m_phase = 0;                         // within a Click or a Nudge: 0 the press, 1 the release
    Clock::time_point m_mark;                // when the last write returned, or the last wait ended
    std::optional<Clock::time_point> m_due;  // the running wait's or nudge's end
    std::optional<int> m_pending;            // the slot handed out and not yet reported
    std::optional<int> m_held;
    bool m_finished = false;
    bool m_failed = false;
    bool m_cancelled = false;
};

}  // namespace velmora
