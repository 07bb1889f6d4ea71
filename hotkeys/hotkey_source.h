// Port: a platform's system-wide hotkeys. An adapter binds combinations and reports each one going
// down and coming up, with the platform's event time where it has one. Adapters run on the GUI
// thread and call back there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hotkeys/combination.h"

namespace velmora {

// What a combination does. Today: press one of the twelve keys; other kinds (a named macro) come
// later beside it.
struct HotkeyTarget {
    enum class Kind { Key, Macro };
    Kind kind = Kind::Key;
    int keyIndex = -1;  // Key
};

struct HotkeyBinding {
    int id = 0;  // the adapter reports this back
    Combination combination;
    HotkeyTarget target;
    std::string name;         // stable, for the portal's shortcut id: "zoom-in"
    std::string description;  // for a desktop that shows it: "Zoom in (放大)"
};

enum class BindingState {
    Pending,  // asked for; the desktop has not answered yet
    Bound,    // works
    Taken,    // another program has this combination
    NoKey,    // this keyboard has no such key
    Failed,   // refused for another reason (in detail)
};

struct BindingStatus {
    int id = 0;
    BindingState state = BindingState::Pending;
    std::string detail;
};

class HotkeySource {
public:
    struct Events {
        std::function<void(int id, std::uint32_t eventTime)> down;
        std::function<void(int id, std::uint32_t eventTime)> up;
        // Every binding's state, when it is known or changes.
        std::function<void(const std::vector<BindingStatus>&)> statuses;
        // The adapter cannot work here (no display, no portal interface): why, for the user.
        std::function<void(const std::string& message)> unavailable;
    };

    virtual ~HotkeySource() = default;

    // "X11", "Windows", "desktop portal".
    virtual std::string Name() const = 0;
    // How it holds: a sentence for the settings.
    virtual std::string Ability() const = 0;
    // How long a key-up waits for the press of an auto-repeat pair (see HotkeyHold).
    virtual std::int64_t ReleaseSettleMs() const { return 0; }

    // Binds these combinations, replacing what was bound. Events go to events until Stop().
    virtual void Start(const std::vector<HotkeyBinding>& bindings, Events events) = 0;
    // Unbinds everything; no event follows.
    virtual void Stop() = 0;
};

}  // namespace velmora
