// The command line: global options, the command and its operands.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmoractl {

struct Options {
    std::optional<std::string> backend;    // --backend; unset: VELMORA_BACKEND, else the default
    std::optional<std::string> simConfig;  // --sim-config
    std::optional<std::string> device;     // --device; unset: index 0
    bool trace = false;
    bool json = false;
    bool help = false;
    bool rawCommand = false;  // --raw-command: a write's command byte goes out even with the read bit
    bool keepGoing = false;   // --keep-going (batch)
    std::optional<std::string> macros;  // --macros FILE; unset: the default macros file
    std::string command;                // empty when none was given
    std::vector<std::string> operands;
    std::optional<std::string> param;        // --param, raw text
    std::optional<std::string> commandByte;  // --command, raw text
    // serve
    std::optional<std::string> http;       // --http ADDR:PORT
    std::optional<std::string> tokenFile;  // --token-file
    std::optional<std::string> holdLimit;  // --hold-limit SECONDS
    std::optional<std::string> idleLimit;  // --idle-limit SECONDS
    bool quiet = false;                    // --quiet
    std::optional<std::string> visca;      // --visca ADDR:PORT
    std::optional<std::string> viscaMap;   // --visca-map FILE
    std::vector<std::string> viscaAllow;   // --visca-allow ADDR[/BITS], each one given
    bool noReleaseAtStart = false;         // --no-release-at-start
    // controllers
    std::optional<std::string> midiMap;     // --midi-map FILE
    std::optional<std::string> gamepad;     // --gamepad [INDEX|any]; "any" when given without one
    std::optional<std::string> gamepadMap;  // --gamepad-map FILE
    std::optional<std::string> midi;        // --midi PORT
};

// Options may stand before or after the command; "--" ends them. On error returns nullopt and
// sets error to what is wrong.
std::optional<Options> ParseCommandLine(const std::vector<std::string>& arguments, std::string& error);

}  // namespace velmoractl
