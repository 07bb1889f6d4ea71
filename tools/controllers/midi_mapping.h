// What each note, controller and program of a MIDI controller does on the camera's keypad: the
// default table, or a mapping file.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tools/controllers/controller_target.h"
#include "tools/controllers/midi_decoder.h"

namespace velmora::controllers {

enum class MidiInputKind { Note, Control, Program };

struct MidiInput {
    MidiInputKind kind = MidiInputKind::Note;
    int number = 0;    // 0..127
    int channel = -1;  // 0..15, or -1: every channel
};

// The input a message belongs to on its channel: its note, controller or program.
MidiInput InputOf(const MidiMessage& message);

class MidiMapping {
public:
    // The entry for input on its channel: one for that channel first, else one for every channel;
    // null when it has none. matched (when given) is the entry's own input.
    const ControllerTarget* Find(const MidiInput& input, MidiInput* matched = nullptr) const;
    void Set(const MidiInput& input, const ControllerTarget& target);

    bool operator==(const MidiMapping& other) const { return m_targets == other.m_targets; }

private:
    std::map<int, ControllerTarget> m_targets;
};

// "note 62", "channel 10 cc 7", "program 5": the input as a mapping line writes it.
std::string MidiInputText(const MidiInput& input);

// The mapping line that binds message's input: its entry in mapping, or, when it has none, the line
// to write with KEY in place of a key ("note 62 KEY"; "program 5 macro NAME").
std::string MidiLearnLine(const MidiMapping& mapping, const MidiMessage& message);

struct MidiMappingParse {
    MidiMapping mapping;
    std::vector<MacroUse> macros;     // every macro it names, for the front end to check
    std::vector<std::string> errors;  // "line N: what is wrong", every bad line; empty when it parsed
};

// The mapping file format (see README): one input a line, "[channel C] note|cc|program N TARGET",
// TARGET a key or "macro NAME"; '#' comments and blank lines left out.
MidiMappingParse ParseMidiMapping(std::string_view text);
// errors: "cannot be read" for a file that cannot be read.
MidiMappingParse LoadMidiMappingFile(const std::string& path);

// The default table, and the mapping file that writes it (tools/controllers/midi_map.example).
const MidiMapping& DefaultMidiMapping();
std::string_view DefaultMidiMappingText();

}  // namespace velmora::controllers
