// velmoractl serve --midi: a MIDI input port as a front end of the bridge, read through its adapter
// on the event loop. A port that goes away (closed, its client ended, disconnected) releases what
// its notes and controllers held at once, and is read no more.
#pragma once

#include <boost/asio/io_context.hpp>
#include <memory>
#include <string>

#include "tools/bridge/controller_front.h"
#include "tools/bridge/handle_wait.h"
#include "tools/controllers/midi_mapper.h"
#include "tools/controllers/midi_source.h"

namespace velmora::bridge {

class MidiFront {
public:
    MidiFront(boost::asio::io_context& loop, BridgeCore& core, const controllers::MidiMapping& mapping,
              bool quiet);
    MidiFront(const MidiFront&) = delete;
    MidiFront& operator=(const MidiFront&) = delete;

    // Opens the port text names (see FindMidiPort); Unavailable too when it cannot be waited on.
    controllers::MidiSource::OpenResult Start(std::unique_ptr<controllers::MidiSource> source,
                                              const std::string& text, std::string& error);
    // Reads the port no more; the keys it holds are the core's to release as it stops.
    void Stop();

    ControllerFront& Front() { return m_front; }
    // "16:0 (Virtual Raw MIDI 0-0: VirMIDI 0-0)"
    std::string PortLabel() const;

private:
    void Take(const controllers::MidiEvent& event);

    ControllerFront m_front;
    controllers::MidiMapper m_mapper;
    std::unique_ptr<controllers::MidiSource> m_source;
    HandleWait m_wait;
    bool m_stopped = false;
};

}  // namespace velmora::bridge
