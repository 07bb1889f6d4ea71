// A game controller or a MIDI port as a front end of the bridge: the keypad actions its mapper
// decides become key requests of one owner, the same queue, one keypad and hold limit as every other
// client, each with its line on standard error; when the controller goes, what it holds is released.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/bridge/bridge_core.h"
#include "tools/controllers/controller_action.h"

namespace velmora::bridge {

class ControllerFront {
public:
    // Runs a mapping's macro target for client. serve has no macros yet: it refuses mappings with
    // macro targets at start, so without a runner a macro action only says it was not run.
    using MacroRunner = std::function<void(const std::string& macro, const std::string& client)>;

    ControllerFront(BridgeCore& core, bool quiet);

    // The name in the events and the log: "gamepad 0 (Xbox 360 Controller)", "midi 16:0".
    void SetClient(std::string client) { m_client = std::move(client); }
    const std::string& Client() const { return m_client; }
    void SetMacroRunner(MacroRunner runner) { m_macros = std::move(runner); }

    void Act(const std::vector<controllers::ControllerAction>& actions);
    // The controller went (unplugged, its port closed): the keys it holds are released at once.
    void Gone();

private:
    BridgeCore& m_core;
    const Owner m_owner;
    const bool m_quiet;
    std::string m_client;
    MacroRunner m_macros;
};

// One line on standard error about a controller, always (connected, gone, unusable):
// "velmoractl: gamepad 0 (Xbox 360 Controller) connected".
void ControllerNote(const std::string& client, const std::string& what);

}  // namespace velmora::bridge
