// Any text as a gamepad mapping file and as a MIDI mapping file: every error and every macro names a
// line of the text, and entries written back as a line ("a menu", MidiLearnLine's "channel 10 note
// 36 macro x") parse to the same target.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "tools/controllers/gamepad_mapping.h"
#include "tools/controllers/midi_mapping.h"

using namespace velmora::controllers;

namespace {

void CheckLines(const std::vector<std::string>& errors, const std::vector<MacroUse>& macros,
                std::size_t lines)
{
    for (const std::string& error : errors) {
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
        const std::size_t line = std::stoul(error.substr(5));
        FUZZ_CHECK(line >= 1 && line <= lines);
    }
    for (const MacroUse& use : macros) {
        FUZZ_CHECK(use.line >= 1 && static_cast<std::size_t>(use.line) <= lines && !use.name.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;

    const GamepadMappingParse pad = ParseGamepadMapping(text);
    CheckLines(pad.errors, pad.macros, lines);
    for (int input = 0; input < GamepadInputCount; ++input) {
        const ControllerTarget* target = pad.mapping.Find(input);
        if (!target) continue;
        const GamepadMappingParse again =
            ParseGamepadMapping(std::string(GamepadInputName(input)) + " " + TargetText(*target));
        FUZZ_CHECK(again.errors.empty() && again.mapping.Find(input) &&
                   *again.mapping.Find(input) == *target);
    }

    const MidiMappingParse midi = ParseMidiMapping(text);
    CheckLines(midi.errors, midi.macros, lines);
    // Messages made of the text's first bytes: where the mapping binds one, its learn line binds it to
    // the same target.
    for (std::size_t at = 0; at + 1 < size && at < 64; at += 2) {
        const MidiMessage message{static_cast<MidiMessage::Kind>(data[at] % 4), (data[at] >> 2) & 15,
                                  data[at + 1] & 0x7F, 1};
        const ControllerTarget* target = midi.mapping.Find(InputOf(message));
        if (!target) continue;
        const MidiMappingParse again = ParseMidiMapping(MidiLearnLine(midi.mapping, message));
        const ControllerTarget* back = again.mapping.Find(InputOf(message));
        FUZZ_CHECK(again.errors.empty() && back && *back == *target);
    }
    return 0;
}
