// The mapping files (every bad line named), the defaults (the example files, shown in the README),
// the learn lines, and the choice of a pad or a port from what the user typed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tools/controllers/controller_choice.h"
#include "tools/controllers/gamepad_mapping.h"
#include "tools/controllers/midi_mapping.h"

namespace velmora::controllers {
namespace {

TEST(ControllerMapping, NamesTheLineOfEveryMistake)
{
    const GamepadMappingParse pad = ParseGamepadMapping(
        "\xEF\xBB\xBF# comment\n"
        "a menu   # trailing comment\r\n"
        "z menu\n"
        "a zoom-in\n"
        "b zoom\n"
        "x macro\n"
        "y zoom-in zoom-out\n"
        "left-stick-up\n"
        "RIGHT-TRIGGER macro wide\n");
    EXPECT_EQ(pad.errors,
              (std::vector<std::string>{
                  "line 3: unknown button or axis 'z' (" + GamepadInputNames() + ")",
                  "line 4: a is already mapped on line 2",
                  "line 5: unknown key 'zoom' (live normal zoom-in focus-in menu focus-out zoom-out "
                  "ae awb lock1 lock2 lock3, or macro NAME)",
                  "line 6: macro takes one name",
                  "line 7: one key only: 'zoom-out' is one too many",
                  "line 8: a key or 'macro NAME' is missing",
              }));
    EXPECT_EQ(pad.macros, (std::vector<MacroUse>{{9, "wide"}}));

    const MidiMappingParse midi = ParseMidiMapping(
        "note 60 live\n"
        "note 128 live\n"
        "channel 0 note 1 live\n"
        "channel 16 note 60 menu\n"
        "channel 16 note 60 ae\n"
        "note 60 normal\n"
        "pitch 3 live\n"
        "cc 7\n"
        "program 2 macro reset\n");
    EXPECT_EQ(midi.errors, (std::vector<std::string>{
                               "line 2: note takes a number from 0 to 127",
                               "line 3: channel takes a number from 1 to 16",
                               "line 5: channel 16 note 60 is already mapped on line 4",
                               "line 6: note 60 is already mapped on line 1",
                               "line 7: unknown MIDI input 'pitch' (note N, cc N or program N, after an "
                               "optional channel C)",
                               "line 8: a key or 'macro NAME' is missing",
                           }));
    EXPECT_EQ(midi.macros, (std::vector<MacroUse>{{9, "reset"}}));
    // PowerShell 5 writes UTF-16: refused whole rather than read as garbage line by line.
    EXPECT_EQ(
        ParseMidiMapping(std::string("\xFF\xFEn\0o\0", 6)).errors,
        (std::vector<std::string>{"line 1: this is UTF-16 text (or holds a NUL byte): save it as UTF-8"}));
}

// The example files are the defaults, and the README shows them whole.
TEST(ControllerMapping, TheDefaultsAreTheExampleFilesAndTheReadmeShowsThem)
{
    const GamepadMappingParse pad =
        LoadGamepadMappingFile(VELMORA_SOURCE_DIR "/tools/controllers/gamepad_map.example");
    EXPECT_TRUE(pad.errors.empty()) << pad.errors.front();
    EXPECT_EQ(pad.mapping, DefaultGamepadMapping());
    EXPECT_EQ(DefaultGamepadMapping().Find(ButtonInput(GamepadButton::A))->key, 4);  // menu
    const MidiMappingParse midi =
        LoadMidiMappingFile(VELMORA_SOURCE_DIR "/tools/controllers/midi_map.example");
    EXPECT_TRUE(midi.errors.empty()) << midi.errors.front();
    EXPECT_EQ(midi.mapping, DefaultMidiMapping());
    for (int key = 0; key < 12; ++key) {
        const MidiInput note{MidiInputKind::Note, 60 + key, 9};
        ASSERT_NE(DefaultMidiMapping().Find(note), nullptr);
        EXPECT_EQ(DefaultMidiMapping().Find(note)->key, key);
    }

    std::ifstream readmeFile(VELMORA_SOURCE_DIR "/README.md", std::ios::binary);
    const std::string readme((std::istreambuf_iterator<char>(readmeFile)), std::istreambuf_iterator<char>());
    for (std::string_view text : {DefaultGamepadMappingText(), DefaultMidiMappingText()}) {
        std::string indented;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            const std::string_view line = text.substr(0, end);
            indented += (line.empty() ? "" : "    ") + std::string(line) + "\n";
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        }
        EXPECT_NE(readme.find(indented), std::string::npos) << "README.md should show, indented:\n"
                                                            << indented;
    }
}

TEST(ControllerMapping, LearnLinesNameTheEntryThatBindsOrTheLineToWrite)
{
    const MidiMappingParse parse = ParseMidiMapping("channel 10 note 36 menu\ncc 7 zoom-in\n");
    const auto line = [&](MidiMessage::Kind kind, int channel, int number) {
        return MidiLearnLine(parse.mapping, {kind, channel, number, 100});
    };
    EXPECT_EQ(line(MidiMessage::Kind::NoteOn, 9, 36), "channel 10 note 36 menu");
    EXPECT_EQ(line(MidiMessage::Kind::NoteOff, 0, 36), "note 36 KEY");
    EXPECT_EQ(line(MidiMessage::Kind::ControlChange, 3, 7), "cc 7 zoom-in");
    EXPECT_EQ(line(MidiMessage::Kind::ProgramChange, 0, 5), "program 5 macro NAME");
}

TEST(ControllerChoice, PadsAndPortsFromWhatTheUserTyped)
{
    std::string error;
    EXPECT_TRUE(ParseGamepadChoice("any", error)->any);
    EXPECT_EQ(ParseGamepadChoice("1", error)->index, 1);
    for (const char* bad : {"", "-1", "1x", "first"}) EXPECT_FALSE(ParseGamepadChoice(bad, error)) << bad;

    const std::vector<MidiPort> ports{{"14:0", "Midi Through", "Midi Through Port-0"},
                                      {"20:0", "nanoPAD2", "nanoPAD2 PAD     "},
                                      {"24:0", "Launchpad", "Launchpad MIDI 1"},
                                      {"24:1", "Launchpad", "Launchpad MIDI 2"}};
    const struct {
        const char* text;
        int port;  // -1: none
    } cases[] = {{"20:0", 1}, {"20", 1},         {"nanopad2", 1}, {"nanoPAD2 PAD", 1},     {"Launchpad:1", 3},
                 {"24:1", 3}, {"Launchpad", -1}, {"24", -1},      {"Launchpad MIDI 1", 2}, {"30:0", -1},
                 {"", -1}};
    for (const auto& entry : cases) {
        error.clear();
        const auto found = FindMidiPort(ports, entry.text, error);
        EXPECT_EQ(found ? static_cast<int>(*found) : -1, entry.port) << entry.text << ": " << error;
        EXPECT_EQ(error.empty(), entry.port >= 0) << entry.text;
    }
    FindMidiPort(ports, "Launchpad", error);
    EXPECT_EQ(error,
              "'Launchpad' names several MIDI ports (24:0 (Launchpad: Launchpad MIDI 1), 24:1 (Launchpad: "
              "Launchpad MIDI 2)): give its id");
    FindMidiPort({}, "x", error);
    EXPECT_EQ(error, "no MIDI port 'x' (there is none)");
}

}  // namespace
}  // namespace velmora::controllers
