// The MIDI adapter on its own, for the e2e VM (built for Windows too, where WinMM's ports under wine
// are wine's view of ALSA's): without a port it lists the ports; with one it prints "ready", then each
// message and the default mapping's line for it, until the port goes or a stop signal.
#include <cstdio>

#include "tools/controllers/event_wait.h"
#include "tools/controllers/midi_mapping.h"
#include "tools/controllers/midi_source.h"

using namespace velmora::controllers;

int main(int argc, char** argv)
{
    std::string error;
    const auto source = CreateMidiSource(error);
    if (!source) {
        std::fprintf(stderr, "midi-probe: %s\n", error.c_str());
        return 1;
    }
    if (argc < 2) {
        for (const MidiPort& port : source->Ports(error))
            std::printf("port %s\n", MidiPortLabel(port).c_str());
        return error.empty() ? 0 : 1;
    }
    bool gone = false;
    const auto sink = [&](const MidiEvent& event) {
        if (event.kind == MidiEvent::Kind::Gone) {
            std::printf("gone: %s\n", event.detail.c_str());
            gone = true;
        } else {
            std::printf("%s | %s\n", MidiMessageText(event.message).c_str(),
                        MidiLearnLine(DefaultMidiMapping(), event.message).c_str());
        }
        std::fflush(stdout);
    };
    if (source->Open(argv[1], sink, error) != MidiSource::OpenResult::Opened) {
        std::fprintf(stderr, "midi-probe: %s\n", error.c_str());
        return 2;
    }
    std::printf("ready %s\n", MidiPortLabel(source->Port()).c_str());
    std::fflush(stdout);
    const int stopped = RunUntilStopped(
        source->EventHandle(),
        [&] {
            source->DispatchPending();
            return !gone;
        },
        error);
    return stopped < 0 ? 1 : 0;
}
