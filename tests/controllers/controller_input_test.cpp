// Inputs to actions: axis hysteresis, the MIDI byte stream, and the mappers' rule that only changes act.
#include <gtest/gtest.h>

#include "tools/controllers/axis_keys.h"
#include "tools/controllers/gamepad_mapper.h"
#include "tools/controllers/midi_mapper.h"

namespace velmora::controllers {
namespace {

using Kind = ControllerAction::Kind;
constexpr int kZoomIn = 2, kFocusIn = 3, kMenu = 4, kZoomOut = 6;

ControllerAction Act(Kind kind, int key)
{
    return {kind, key, {}};
}

TEST(AxisKeys, PressesPastHalfReleasesBelowThreeTenthsAndCrossesThroughRelease)
{
    const long long full = GamepadAxisFullScale;
    AxisHalf held = AxisHalf::None;
    std::string edges;
    const auto move = [&](long long value) {
        const AxisStep step = StepAxis(held, value, full);
        held = step.held;
        for (int i = 0; i < step.count; ++i) {
            edges += step.edges[i].press ? '+' : '-';
            edges += step.edges[i].half == AxisHalf::Negative ? 'N' : 'P';
        }
        edges += ' ';
    };
    // 16383 is not past half of 32767, 16384 is; 9831 is not below 0.3 of it, 9830 is.
    for (long long value : {-16383, -16384, -20000, -9831, -16384, -9830, 0}) move(value);
    EXPECT_EQ(edges, " +N    -N  ");
    edges.clear();
    // Up to down in one report goes through the release; back at rest releases.
    for (long long value : {-32768, 32767, 32767, 5000}) move(value);
    EXPECT_EQ(edges, "+N -N+P  -P ");
    // A MIDI controller on 0..127: 64 presses, 39 holds, 38 releases.
    held = AxisHalf::None;
    edges.clear();
    for (long long value : {63, 64, 39, 38}) {
        const AxisStep step = StepAxis(held, value, 127);
        held = step.held;
        edges += std::to_string(step.count);
    }
    EXPECT_EQ(edges, "0101");
}

TEST(GamepadMapper, TwoInputsOnOneKeyHoldItUntilTheLastLetsGoAndAPadGoingReleases)
{
    GamepadMapper mapper(DefaultGamepadMapping());
    std::vector<ControllerAction> out;
    const auto button = [&](GamepadButton which, bool down) {
        GamepadEvent event;
        event.kind = GamepadEvent::Kind::Button;
        event.button = which;
        event.down = down;
        mapper.Take(event, out);
    };
    const auto axis = [&](GamepadAxis which, int value) {
        GamepadEvent event;
        event.kind = GamepadEvent::Kind::Axis;
        event.axis = which;
        event.value = value;
        mapper.Take(event, out);
    };
    button(GamepadButton::DpadUp, true);
    axis(GamepadAxis::LeftY, -30000);  // the stick up: zoom-in too
    button(GamepadButton::DpadUp, false);
    button(GamepadButton::DpadUp, false);  // a repeated report acts once
    axis(GamepadAxis::LeftY, -1000);
    EXPECT_EQ(out, (std::vector<ControllerAction>{Act(Kind::Press, kZoomIn), Act(Kind::Release, kZoomIn)}));

    out.clear();
    button(GamepadButton::A, true);
    axis(GamepadAxis::RightTrigger, 20000);
    axis(GamepadAxis::LeftX, -20000);
    GamepadEvent gone;
    gone.kind = GamepadEvent::Kind::Disconnected;
    mapper.Take(gone, out);
    EXPECT_EQ(out,
              (std::vector<ControllerAction>{Act(Kind::Press, kMenu), Act(Kind::Press, kZoomIn),
                                             Act(Kind::Press, kFocusIn), Act(Kind::Release, kMenu),
                                             Act(Kind::Release, kZoomIn), Act(Kind::Release, kFocusIn)}));
    // After the pad went, its inputs start from rest: the trigger still pulled presses again.
    out.clear();
    axis(GamepadAxis::RightTrigger, 20000);
    EXPECT_EQ(out, (std::vector<ControllerAction>{Act(Kind::Press, kZoomIn)}));
}

TEST(MidiDecoder, RunningStatusRealTimeSysExAndStrayBytes)
{
    const std::vector<std::uint8_t> bytes{
        0x3C, 0x40,                    // data with no status yet: dropped
        0x91, 0x3C, 0x7F,              // note on, channel 2
        0x3E, 0xF8, 0x64,              // running status, a clock byte inside
        0x3C, 0x00,                    // velocity 0: note off
        0xF0, 0x7E, 0x91, 0x01, 0xF7,  // SysEx (a status byte inside it too), then its end
        0x3C, 0x7F,                    // no running status after SysEx: dropped
        0xE0, 0x00, 0x40,              // pitch bend: read and left out
        0xB9, 0x07, 0x64,              // control change, channel 10
        0xC0, 0x05, 0x06,              // program change twice by running status (one data byte)
        0xF2, 0x10, 0x20, 0x30,        // song position ends the running status
        0x80, 0x3C,                    // a note off cut short by ...
        0xFE, 0x90, 0x3D, 0x10,        // ... active sensing (no effect) and a new status
    };
    MidiDecoder decoder;
    std::vector<std::string> messages;
    for (std::uint8_t byte : bytes) {
        if (const auto message = decoder.Push(byte)) messages.push_back(MidiMessageText(*message));
    }
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "note-on 60 velocity 127 channel 2", "note-on 62 velocity 100 channel 2",
                            "note-off 60 velocity 0 channel 2", "control-change 7 value 100 channel 10",
                            "program-change 5 channel 1", "program-change 6 channel 1",
                            "note-on 61 velocity 16 channel 1"}));
}

TEST(MidiMapper, NotesHoldControllersHaveHysteresisProgramsClick)
{
    const MidiMappingParse parse = ParseMidiMapping(
        "note 62 zoom-in\n"
        "channel 2 note 62 menu\n"
        "cc 7 zoom-out\n"
        "program 3 focus-in\n"
        "program 4 macro wide\n");
    ASSERT_TRUE(parse.errors.empty()) << parse.errors.front();
    MidiMapper mapper(parse.mapping);
    std::vector<ControllerAction> out;
    const auto send = [&](MidiMessage::Kind kind, int channel, int number, int value) {
        mapper.Take({kind, channel, number, value}, out);
    };
    using M = MidiMessage::Kind;
    send(M::NoteOn, 0, 62, 100);
    send(M::NoteOn, 0, 62, 90);  // twice on: one press
    send(M::NoteOff, 0, 62, 0);
    send(M::NoteOff, 0, 62, 0);   // twice off: one release
    send(M::NoteOn, 1, 62, 100);  // channel 2 has a line of its own
    send(M::NoteOff, 1, 62, 0);
    for (int value : {10, 64, 100, 50, 38, 37}) send(M::ControlChange, 5, 7, value);
    send(M::ProgramChange, 0, 3, 0);
    send(M::ProgramChange, 0, 4, 0);
    send(M::ProgramChange, 0, 5, 0);  // not mapped
    EXPECT_EQ(out, (std::vector<ControllerAction>{Act(Kind::Press, kZoomIn),
                                                  Act(Kind::Release, kZoomIn),
                                                  Act(Kind::Press, kMenu),
                                                  Act(Kind::Release, kMenu),
                                                  Act(Kind::Press, kZoomOut),
                                                  Act(Kind::Release, kZoomOut),
                                                  Act(Kind::Click, kFocusIn),
                                                  {Kind::Macro, -1, "wide"}}));

    // A port that goes mid-note lets go; the note's later off does nothing.
    out.clear();
    send(M::NoteOn, 0, 62, 100);
    mapper.ReleaseAll(out);
    send(M::NoteOff, 0, 62, 0);
    EXPECT_EQ(out, (std::vector<ControllerAction>{Act(Kind::Press, kZoomIn), Act(Kind::Release, kZoomIn)}));
}

}  // namespace
}  // namespace velmora::controllers
