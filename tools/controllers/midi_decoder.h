// MIDI bytes as the messages a controller's pads, keys and knobs send: note on and off, control
// change, program change. Running status, real-time bytes between or inside messages, SysEx and
// system common messages are taken care of; the other channel messages (aftertouch, pitch bend) are
// read and left out, and bytes that fit nothing are dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora::controllers {

struct MidiMessage {
    enum class Kind { NoteOff, NoteOn, ControlChange, ProgramChange };
    Kind kind = Kind::NoteOn;
    int channel = 0;  // 0..15 (channels 1 to 16)
    int number = 0;   // the note, controller or program, 0..127
    int value = 0;    // the velocity or the controller's value, 0..127; 0 for a program change

    bool operator==(const MidiMessage& other) const
    {
        return kind == other.kind && channel == other.channel && number == other.number &&
               value == other.value;
    }
};

// "note-on 62 velocity 100 channel 1", "control-change 7 value 64 channel 10", ...
std::string MidiMessageText(const MidiMessage& message);

class MidiDecoder {
public:
    // The message that byte completes, if any. A note on with velocity 0 comes out as a note off.
    std::optional<MidiMessage> Push(std::uint8_t byte);

private:
    std::uint8_t m_status = 0;  // the running status (a channel message's status byte), 0: none
    std::uint8_t m_first = 0;   // its first data byte, once m_count is 1
    int m_count = 0;            // data bytes of the current message so far
};

}  // namespace velmora::controllers
