// velmoractl serve --gamepad and --midi refuse at start what they cannot use, each named, exit 2.
#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

// Bad mapping lines (every one named), a macro target the macros file has not, a pad index or MIDI
// port that is not there, a mapping without its controller: nothing is served.
TEST_F(VelmoractlTest, ServeRefusesBadControllerInputAtStart)
{
    WriteFile("pad.map", "a menu\nz zoom-in\nb zoom\nx macro wide\n");
    WriteFile("midi.map", "note 60 live\nnote 200 menu\nprogram 1 macro wide\n");
    WriteFile("shots.txt", "[reset]\nclick normal\n");
    WriteFile("shot.map", "program 1 macro reset\nprogram 2 macro wide\n");
    const struct {
        QStringList options;
        std::vector<std::string> said;
    } refused[] = {
        {{"--gamepad", "--gamepad-map", "pad.map"},
         {"pad.map: line 2: unknown button or axis 'z'", "pad.map: line 3: unknown key 'zoom'",
          "2 bad line(s); serve did not start"}},
        {{"--midi", "16:0", "--midi-map", "midi.map"}, {"midi.map: line 2:"}},
        {{"--midi", "16:0", "--midi-map", "shot.map", "--macros", "shots.txt"},
         {"shot.map: line 2: no macro wide in shots.txt"}},
        {{"--gamepad", "-1"}, {"--gamepad takes a pad's index (0 the first) or 'any', not '-1'"}},
        {{"--gamepad", "7"}, {"--gamepad 7: no gamepad 7"}},
        {{"--midi", "no-such-port"}, {"--midi no-such-port: no MIDI port 'no-such-port'"}},
        {{"--gamepad-map", "pad.map"}, {"--gamepad-map applies with --gamepad only"}},
        {{"--midi-map", "midi.map"}, {"--midi-map applies with --midi only"}},
    };
    for (const auto& attempt : refused) {
        const CtlResult result =
            Run(Camera(), QStringList{"serve", "--http", "127.0.0.1:0"} + attempt.options);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        for (const std::string& said : attempt.said)
            EXPECT_NE(result.err.find(said), std::string::npos) << said << " in " << result.err;
        EXPECT_EQ(result.err.find("serving"), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace velmoractl_test
