// Macros: named sequences of key events and pauses, as a macros file gives them and as every front
// end runs them (MacroRunner). Plain data.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The longest a key may stay pressed through a macro unless the front end says otherwise: serve's
// hold limit by default.
inline constexpr int DefaultMacroHoldLimitMs = 10000;
// The longest single wait.
inline constexpr int MaxMacroWaitMs = 3600000;
// The most steps a macro may have, with the macros it calls in their place.
inline constexpr int MaxMacroSteps = 1000;

struct MacroStep {
    enum class Kind { Press, Release, Click, Nudge, Wait };
    Kind kind = Kind::Wait;
    int key = -1;  // the key's index in Keys: pressed (Press, Click, Nudge) or let go of (Release)
    int ms = 0;    // Nudge: how long the key stays pressed; Wait: the pause
    int line = 0;  // where the macros file gives it
};

// The steps as they run: a macro called from it stands expanded in its place, and a press while
// another key is down is preceded by that key's release (the camera has one keypad). Every press
// of a key with a release code is followed by its release.
struct Macro {
    std::string name;
    int line = 0;  // of its [NAME]
    std::vector<MacroStep> steps;
};

// The time the waits and nudges of a macro take, writes not counted.
long long MacroDurationMs(const Macro& macro);

// The macros of one file, in the file's order.
struct MacroBook {
    std::vector<Macro> macros;

    // The macro of that name, ASCII letters in any case; null when there is none.
    const Macro* Find(std::string_view name) const;
};

}  // namespace velmora
