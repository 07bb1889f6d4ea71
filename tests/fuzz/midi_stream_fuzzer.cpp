// Any bytes as a MIDI port's stream, through the decoder and the mapper: the messages it makes are
// well formed, a key is pressed only when not held and released only when held, and a port going
// away leaves nothing held.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "tools/controllers/midi_mapper.h"

using namespace velmora::controllers;

namespace {

const MidiMapping& Mapping()
{
    static const MidiMapping mapping = ParseMidiMapping(std::string(DefaultMidiMappingText()) +
                                                        "channel 10 note 60 zoom-in\n"
                                                        "note 36 zoom-in\n"
                                                        "cc 1 zoom-out\ncc 2 zoom-out\n"
                                                        "channel 1 cc 3 macro a\n"
                                                        "program 0 menu\nprogram 1 macro b\n")
                                           .mapping;
    return mapping;
}

void Check(const std::vector<ControllerAction>& actions, std::array<bool, 12>& held)
{
    for (const ControllerAction& action : actions) {
        if (action.kind == ControllerAction::Kind::Macro) {
            FUZZ_CHECK(action.key == -1 && (action.macro == "a" || action.macro == "b"));
            continue;
        }
        FUZZ_CHECK(action.key >= 0 && action.key < 12);
        bool& down = held[static_cast<std::size_t>(action.key)];
        if (action.kind == ControllerAction::Kind::Press) {
            FUZZ_CHECK(!down);
            down = true;
        } else if (action.kind == ControllerAction::Kind::Release) {
            FUZZ_CHECK(down);
            down = false;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MidiDecoder decoder;
    MidiMapper mapper(Mapping());
    std::array<bool, 12> held{};
    std::vector<ControllerAction> actions;
    for (std::size_t i = 0; i < size; ++i) {
        const auto message = decoder.Push(data[i]);
        if (!message) continue;
        FUZZ_CHECK(message->channel >= 0 && message->channel < 16 && message->number >= 0 &&
                   message->number < 128 && message->value >= 0 && message->value < 128);
        FUZZ_CHECK(message->kind != MidiMessage::Kind::NoteOn || message->value > 0);
        FUZZ_CHECK(data[i] < 0x80);  // only a data byte completes a message
        actions.clear();
        mapper.Take(*message, actions);
        Check(actions, held);
    }
    actions.clear();
    mapper.ReleaseAll(actions);
    Check(actions, held);
    for (bool down : held) FUZZ_CHECK(!down);
    return 0;
}
