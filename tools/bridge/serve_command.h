// velmoractl serve: the keypad bridge over HTTP and VISCA over IP, until SIGINT, SIGTERM or SIGHUP
// (Ctrl-C or Ctrl-Break on Windows).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "keys/macro.h"
#include "tools/bridge/visca_allow.h"
#include "tools/bridge/visca_mapping.h"
#include "tools/cli_failure.h"
#include "tools/cli_options.h"
#include "tools/controllers/controller_choice.h"
#include "tools/controllers/gamepad_mapping.h"
#include "tools/controllers/midi_mapping.h"

namespace velmora::bridge {

inline constexpr unsigned short DefaultHttpPort = 8719;

struct ServeSettings {
    bool http = true;  // false with --visca alone
    std::string address = "127.0.0.1";
    unsigned short port = DefaultHttpPort;
    std::optional<std::string> token;
    std::chrono::milliseconds holdLimit{10000};
    std::chrono::milliseconds idleLimit{30000};
    // VISCA over IP, with --visca.
    std::optional<std::string> viscaAddress;
    unsigned short viscaPort = 0;
    std::vector<ViscaAllowRule> viscaAllow;
    ViscaMapping viscaMapping;
    // Gamepads and MIDI, with --gamepad and --midi.
    std::optional<controllers::GamepadChoice> gamepad;
    controllers::GamepadMapping gamepadMapping;
    std::optional<std::string> midiPort;
    controllers::MidiMapping midiMapping;
    // "FILE: line N: ...", each bad line of --visca-map, --gamepad-map and --midi-map
    std::vector<std::string> mapErrors;
    // The macro targets of those files, "FILE: line N" beside each: checked against the macros file.
    std::vector<std::pair<std::string, controllers::MacroUse>> controllerMacros;
    // The macros file: --macros FILE, else the default file when there is one.
    MacroBook macros;
    std::string macrosPath;
};

// The settings the options give, or the usage failure (exit 2) naming what is wrong: a bad
// address, a token file that cannot be read or is empty, a listen address other than loopback
// without --token-file (HTTP) or --visca-allow (VISCA), a mapping file with bad lines (each one in
// mapErrors), an option that applies to none of the front ends given. The macros file is read by
// RunServe, which names its bad lines and the mappings' macro targets it has not.
std::optional<velmoractl::Failure> ReadServeSettings(const velmoractl::Options& options,
                                                     ServeSettings& settings);

int RunServe(const velmoractl::Options& options);

}  // namespace velmora::bridge
