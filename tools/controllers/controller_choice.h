// Which pad or MIDI port a front end takes, from the words a user gives: decided without a device.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::controllers {

// --gamepad [INDEX|any]: the pad at INDEX among those present at start (0 the first), or any pad,
// waited for when none is there. After the pad goes, either way the next one that comes is taken.
struct GamepadChoice {
    bool any = true;
    int index = 0;
};
std::optional<GamepadChoice> ParseGamepadChoice(std::string_view text, std::string& error);

// A MIDI input port as the platform lists it.
struct MidiPort {
    std::string id;      // ALSA "client:port" as aconnect -l shows it ("16:0"); WinMM the device number
    std::string client;  // ALSA the client's name; WinMM empty
    std::string name;    // the port's name
};

// "16:0 (Virtual Raw MIDI 0-0: VirMIDI 0-0)".
std::string MidiPortLabel(const MidiPort& port);

// The port text names: its id, its client's number or name alone or with ":PORT", or its own name
// (names in any letter case, trailing blanks left out). nullopt with error when none or several match.
std::optional<std::size_t> FindMidiPort(const std::vector<MidiPort>& ports, std::string_view text,
                                        std::string& error);

}  // namespace velmora::controllers
