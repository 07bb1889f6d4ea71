#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tools/bridge/visca_allow.h"
#include "tools/bridge/visca_mapping.h"

namespace velmora::bridge {
namespace {

TEST(ViscaMapping, NamesTheLineOfEveryMistake)
{
    const ViscaMappingParse parse = ParseViscaMapping(
        "\xEF\xBB\xBF"
        "focus-stop release\n"  // a UTF-8 byte-order mark, as editors on Windows write it
        "# comment\n"
        "zoom-tele press zoom-in   # trailing comment\r\n"
        "zoom-in press zoom-in\n"
        "\n"
        "zoom-tele click menu\n"
        "memory-recall 128 click live\n"
        "memory-recall click live\n"
        "memory-recall 7 click\n"
        "pan-tilt-stop hold\n"
        "zoom-stop release zoom-in zoom\n"
        "memory-recall 7 release\n"
        "menu-on\n"
        "memory-recall 5 macro wide\n"
        "memory-recall 6 macro wide shot\n"
        "focus-far nudge focus-in 0\n"
        "focus-near nudge focus-out\n");
    const std::vector<std::string> expected{
        "line 4: unknown VISCA command 'zoom-in' (zoom-tele zoom-wide zoom-stop focus-far focus-near "
        "focus-stop "
        "pan-tilt-up pan-tilt-down pan-tilt-left pan-tilt-right pan-tilt-stop menu-on menu-off menu-toggle "
        "wb-auto wb-one-push ae-full-auto memory-recall)",
        "line 6: zoom-tele is already mapped on line 3",
        "line 7: memory-recall takes a memory number from 0 to 127",
        "line 8: memory-recall takes a memory number from 0 to 127",
        "line 9: click takes one key",
        "line 10: unknown action 'hold' (press, click, release, nudge or macro)",
        "line 11: unknown key 'zoom' (live normal zoom-in focus-in menu focus-out zoom-out ae awb lock1 "
        "lock2 "
        "lock3)",
        "line 13: an action is missing: press KEY, click KEY, release [KEY...], nudge KEY MS or macro NAME",
        "line 15: macro takes the name of a macro of the macros file",
        "line 16: nudge takes a key and a time: nudge KEY MS (a time is 1 ms or more)",
        "line 17: nudge takes a key and a time: nudge KEY MS",
    };
    EXPECT_EQ(parse.errors, expected);
    // Serve looks the macros up in its macros file, and names the line of one it lacks.
    ASSERT_EQ(parse.mapping.Macros().size(), 1u);
    EXPECT_EQ(parse.mapping.Macros()[0].line, 14);
    EXPECT_EQ(parse.mapping.Find(ViscaCommand::MemoryRecall, 5)->macro, "wide");
}

// The example file is the default table, and the README shows it whole.
TEST(ViscaMapping, TheDefaultIsTheExampleFileAndTheReadmeShowsIt)
{
    const ViscaMappingParse parse =
        LoadViscaMappingFile(VELMORA_SOURCE_DIR "/tools/bridge/visca_map.example");
    EXPECT_TRUE(parse.errors.empty()) << parse.errors.front();
    EXPECT_EQ(parse.mapping, DefaultViscaMapping());
    EXPECT_FALSE(ParseViscaMapping("").mapping == DefaultViscaMapping());

    std::ifstream readmeFile(VELMORA_SOURCE_DIR "/README.md", std::ios::binary);
    const std::string readme((std::istreambuf_iterator<char>(readmeFile)), std::istreambuf_iterator<char>());
    std::string indented;
    for (std::string_view text = DefaultViscaMappingText(); !text.empty();) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        indented += (line.empty() ? "" : "    ") + std::string(line) + "\n";
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    EXPECT_NE(readme.find(indented), std::string::npos) << "README.md should show, indented:\n" << indented;
}

TEST(ViscaAllow, ParsesAndMatchesIpv4AndIpv6Networks)
{
    std::string error;
    const auto rule = [&](std::string_view text) { return *ParseViscaAllowRule(text, error); };
    const auto address = [](std::string_view text) { return *ParseNetAddress(text); };
    const struct {
        const char* rule;
        const char* sender;
        bool matches;
    } cases[] = {{"192.168.1.0/24", "192.168.1.77", true},
                 {"192.168.1.0/24", "::ffff:192.168.1.77", true},
                 {"10.1.2.3/12", "10.15.255.255", true},
                 {"10.1.2.3/12", "10.16.0.0", false},
                 {"fd00::/8", "fe80::1", false},
                 {"::/0", "10.0.0.1", false},
                 {"2001:db8:0:0:1::/80", "2001:db8::1:0:5:6", true},
                 {"::ffff:10.0.0.0/104", "10.9.9.9", true},
                 {"::1.2.3.4", "::102:304", true},
                 {"1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0", true}};
    for (const auto& c : cases) {
        EXPECT_EQ(ViscaAllowMatches(rule(c.rule), address(c.sender)), c.matches) << c.rule << " " << c.sender;
    }
    for (const char* bad : {"300.1.1.1", "1.2.3", "1.2.3.4.5", "01.2.3.4", "1::2::3", "1:2:3:4:5:6:7:8:9",
                            "1:2:3:4:5:6:7:8::", ":1::", "1:", "fe80::1%eth0", "[::1]", "", "12345::"}) {
        EXPECT_FALSE(ParseNetAddress(bad)) << bad;
    }
    EXPECT_FALSE(ParseViscaAllowRule("10.0.0.0/33", error));
    EXPECT_EQ(error, "the prefix length after '/' must be a number from 0 to 32");
    EXPECT_FALSE(ParseViscaAllowRule("10.0.0.0/", error));
    EXPECT_FALSE(ParseViscaAllowRule("::ffff:10.0.0.0/14", error));  // neither IPv4 nor IPv6 senders
    EXPECT_FALSE(ParseViscaAllowRule("camera.local", error));
    EXPECT_EQ(error, "'camera.local' is not an IPv4 or IPv6 address");

    // Loopback needs no rule; any other listen address at least one.
    EXPECT_EQ(CheckViscaListen(address("::1"), {}) + CheckViscaListen(address("127.0.0.2"), {}), "");
    EXPECT_NE(CheckViscaListen(address("::"), {}), "");
    EXPECT_EQ(CheckViscaListen(address("0.0.0.0"), {rule("10.0.0.0/8")}), "");
    EXPECT_TRUE(ViscaAllows({}, address("192.0.2.1")));
    EXPECT_FALSE(ViscaAllows({rule("10.0.0.0/8")}, address("192.0.2.1")));
}

}  // namespace
}  // namespace velmora::bridge
