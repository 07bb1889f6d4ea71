// MidiSource where no MIDI input is built.
#include "tools/controllers/midi_source.h"

namespace velmora::controllers {

std::unique_ptr<MidiSource> CreateMidiSource(std::string& error)
{
    error = "MIDI input is not built for this system";
    return nullptr;
}

}  // namespace velmora::controllers
