// Adapter: a MIDI input port (ALSA sequencer on Linux, WinMM on Windows) as a stream of decoded
// messages. Event-driven like GamepadSource: wait on EventHandle, then call DispatchPending.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/controllers/controller_choice.h"
#include "tools/controllers/gamepad_source.h"
#include "tools/controllers/midi_decoder.h"

namespace velmora::controllers {

struct MidiEvent {
    enum class Kind {
        Message,  // message
        Gone,     // the port went away or was disconnected: detail says how; nothing more comes
    };
    Kind kind = Kind::Message;
    MidiMessage message;
    std::string detail;
};

class MidiSource {
public:
    using Sink = std::function<void(const MidiEvent&)>;

    enum class OpenResult {
        Opened,
        NoSuchPort,   // error names the port and lists those there are (none without a sequencer)
        Unavailable,  // the port exists but cannot be opened (another program holds it)
    };

    virtual ~MidiSource() = default;

    // The input ports there are now.
    virtual std::vector<MidiPort> Ports(std::string& error) = 0;
    // Connects to the port text names (see FindMidiPort).
    virtual OpenResult Open(std::string_view text, Sink sink, std::string& error) = 0;
    // The port opened.
    virtual const MidiPort& Port() const = 0;

    virtual WaitHandle EventHandle() const = 0;
    // Reads what waits and hands each message to the sink, on the caller's thread.
    virtual void DispatchPending() = 0;
};

// The platform's adapter; null where none is built, with why in error.
std::unique_ptr<MidiSource> CreateMidiSource(std::string& error);

}  // namespace velmora::controllers
