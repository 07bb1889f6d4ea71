// A MIDI controller's messages as actions on the keypad: a note holds its key from note on to note
// off, a controller from a value of 64 and up until it falls below 38 (the axes' hysteresis on 0..127),
// a program change clicks its key or runs its macro; only changes act.
#pragma once

#include <bitset>
#include <vector>

#include "tools/controllers/controller_action.h"
#include "tools/controllers/midi_decoder.h"
#include "tools/controllers/midi_mapping.h"

namespace velmora::controllers {

inline constexpr int MidiValueFullScale = 127;

class MidiMapper {
public:
    explicit MidiMapper(const MidiMapping& mapping) : m_mapping(mapping) {}

    // The actions of one message, appended to out.
    void Take(const MidiMessage& message, std::vector<ControllerAction>& out);
    // The releases owed when the port goes or the front end stops; everything starts afresh after.
    void ReleaseAll(std::vector<ControllerAction>& out);

private:
    // Notes and controllers of every channel, each its own input.
    static constexpr int kInputs = 2 * 16 * 128;

    MidiMapping m_mapping;
    KeyHolds m_holds;
    std::bitset<kInputs> m_down;
};

}  // namespace velmora::controllers
