// The macros file: what it runs, and every bad line named, with nothing run.
#include <gtest/gtest.h>

#include "keys/key_table.h"
#include "tools/macros/macro_file.h"

namespace velmoractl {
namespace {

using velmora::MacroStep;
using Step = MacroStep::Kind;

int KeyIndex(std::string_view objectName)
{
    return static_cast<int>(velmora::FindKey(objectName) - velmora::Keys.data());
}

std::string Describe(const std::vector<MacroStep>& steps)
{
    std::string text;
    for (const MacroStep& step : steps) {
        const char* kinds[] = {"press", "release", "click", "nudge", "wait"};
        text += std::string(kinds[static_cast<int>(step.kind)]) + " " + std::to_string(step.key) + " " +
                std::to_string(step.ms) + " @" + std::to_string(step.line) + "; ";
    }
    return text;
}

// A called macro stands in its place; a press while another key is down releases that key first
// (one keypad), and the release names the key pressed. A byte-order mark and CRLF are taken.
TEST(MacroFile, StepsAsTheyRun)
{
    const MacroFile file = ParseMacroFile(
        "\xEF\xBB\xBF# shots\r\n"
        "[Reset]\r\n"
        "click normal  # the normal picture mode\r\n"
        "\r\n"
        "[wide]\r\n"
        "macro reset\r\n"
        "press zoom-out\r\n"
        "wait 6000\r\n"
        "press focus-in\r\n"
        "release FOCUS-IN\r\n"
        "nudge zoom-in 1200\r\n");
    ASSERT_TRUE(file.problems.empty()) << file.problems.front().message;
    ASSERT_EQ(file.book.macros.size(), 2u);
    const velmora::Macro* wide = file.book.Find("WIDE");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->line, 5);
    const int zoomOut = KeyIndex("Zoom_outButton");
    const int focusIn = KeyIndex("Focus_inButton");
    const std::vector<MacroStep> expected = {{Step::Click, KeyIndex("FarButton"), 0, 3},
                                             {Step::Press, zoomOut, 0, 7},
                                             {Step::Wait, -1, 6000, 8},
                                             {Step::Release, zoomOut, 0, 9},
                                             {Step::Press, focusIn, 0, 9},
                                             {Step::Release, focusIn, 0, 10},
                                             {Step::Nudge, KeyIndex("Zoom_inButton"), 1200, 11}};
    EXPECT_EQ(Describe(wide->steps), Describe(expected));
    EXPECT_EQ(velmora::MacroDurationMs(*wide), 7200);
}

TEST(MacroFile, EveryBadLineIsNamedAndNothingRuns)
{
    const MacroFile file = ParseMacroFile(
        "click menu\n"           // 1: before any macro
        "[wide]\n"               // 2
        "press zoom-out\n"       // 3: held 10001 ms, through the macro it calls
        "macro pause\n"          // 4
        "wait 1\n"               // 5
        "release\n"              // 6
        "[pause]\n"              // 7
        "wait 10000\n"           // 8
        "[WIDE]\n"               // 9: the name again
        "[bad]\n"                // 10
        "click zoom\n"           // 11: no such key
        "nudge zoom-in 0\n"      // 12
        "nudge zoom-in 10001\n"  // 13: past the hold limit
        "wait -5\n"              // 14
        "wait 3600001\n"         // 15
        "hold menu\n"            // 16: no such step
        "[a]\n"                  // 17
        "macro b\n"              // 18
        "[b]\n"                  // 19
        "macro a\n"              // 20: a calls itself through b
        "[left]\n"               // 21
        "press lock1\n"          // 22: still held at the end
        "[lone]\n"               // 23
        "release\n"              // 24: nothing pressed
        "[other]\n"              // 25
        "press zoom-in\n"        // 26
        "release zoom-out\n"     // 27: not the key pressed
        "[calls]\n"              // 28
        "macro nosuch\n"         // 29
        "[empty]\n"              // 30: no steps
        "[two words]\n"          // 31
        "[ok]\n"                 // 32
        "press menu\n");         // 33: a key without a release may stay "pressed"
    std::vector<int> lines;
    for (const MacroProblem& problem : file.problems) lines.push_back(problem.line);
    EXPECT_EQ(lines, (std::vector<int>{1, 3, 9, 11, 12, 13, 14, 15, 16, 20, 22, 24, 27, 29, 30, 31}));
    EXPECT_TRUE(file.book.macros.empty());
    ASSERT_EQ(lines.size(), file.problems.size());
    EXPECT_NE(file.problems[1].message.find("10001 ms (to line 6)"), std::string::npos)
        << file.problems[1].message;
    EXPECT_NE(file.problems[9].message.find("(a -> b -> a)"), std::string::npos) << file.problems[9].message;

    for (const char* utf16 : {"\xFF\xFE[\0w\0]\0", "[\0w\0]\0"}) {
        const MacroFile refused = ParseMacroFile(std::string_view(utf16, 8));
        ASSERT_EQ(refused.problems.size(), 1u);
        EXPECT_EQ(refused.problems[0].line, 0);
        EXPECT_EQ(refused.problems[0].message, "UTF-16LE text: save it as UTF-8");
    }
}

}  // namespace
}  // namespace velmoractl
