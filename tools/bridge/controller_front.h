// A game controller or a MIDI port as a front end of the bridge: the keypad actions its mapper
// decides become key requests of one owner, the same queue, one keypad and hold limit as every other
// client, each with its line on standard error; when the controller goes, what it holds is released.
#pragma once

#include <string>
#include <vector>

#include "tools/bridge/bridge_core.h"
#include "tools/controllers/controller_action.h"

namespace velmora::bridge {

class ControllerFront {
public:
    ControllerFront(BridgeCore& core, bool quiet);

    // The name in the events and the log: "gamepad 0 (Xbox 360 Controller)", "midi 16:0".
    void SetClient(std::string client) { m_client = std::move(client); }
    const std::string& Client() const { return m_client; }
    // serve's macros: a mapping's macro target runs the one of its name (checked at start), one run
    // at a time like every other client's, cancelled when the controller goes.
    void SetMacros(MacroBook macros) { m_macros = std::move(macros); }

    void Act(const std::vector<controllers::ControllerAction>& actions);
    // The controller went (unplugged, its port closed): the keys it holds are released at once.
    void Gone();

private:
    void RunMacro(const std::string& name);

    BridgeCore& m_core;
    const Owner m_owner;
    const bool m_quiet;
    std::string m_client;
    MacroBook m_macros;
};

// One line on standard error about a controller, always (connected, gone, unusable):
// "velmoractl: gamepad 0 (Xbox 360 Controller) connected".
void ControllerNote(const std::string& client, const std::string& what);

}  // namespace velmora::bridge
