// The macro engine on a clock the test moves: when each slot is due, and what a cancel owes.
#include <gtest/gtest.h>

#include "keys/key_table.h"
#include "keys/macro_runner.h"

namespace velmora {
namespace {

using Clock = MacroRunner::Clock;
using Kind = MacroRunner::Action::Kind;
using Step = MacroStep::Kind;
using std::chrono::milliseconds;

int KeyIndex(std::string_view objectName)
{
    return static_cast<int>(FindKey(objectName) - Keys.data());
}

const int kZoomIn = KeyIndex("Zoom_inButton");
const int kMenu = KeyIndex("MENUButton");

Macro Steps(std::vector<MacroStep> steps)
{
    Macro macro;
    macro.name = "m";
    macro.steps = std::move(steps);
    return macro;
}

// A nudge's release is due its time after its press's write returned, however long that write
// took; a wait counts from the write before it, and a late wake-up does not shift the next wait.
TEST(MacroRunner, TimesFromTheWritesThatWentOut)
{
    const Clock::time_point start{};
    MacroRunner runner(Steps({{Step::Nudge, kZoomIn, 300, 1},
                              {Step::Wait, -1, 100, 2},
                              {Step::Wait, -1, 50, 3},
                              {Step::Click, kMenu, 0, 4}}),
                       start);
    MacroRunner::Action action = runner.Next(start);
    ASSERT_EQ(action.kind, Kind::Send);
    EXPECT_EQ(action.slot, 2 * kZoomIn);
    EXPECT_EQ(runner.Next(start).slot, 2 * kZoomIn);  // asked again before Sent: the same write
    runner.Sent(true, start + milliseconds(7));
    EXPECT_EQ(runner.HeldKey(), kZoomIn);
    action = runner.Next(start + milliseconds(10));
    ASSERT_EQ(action.kind, Kind::Wait);
    EXPECT_EQ(action.until, start + milliseconds(307));
    action = runner.Next(start + milliseconds(307));
    ASSERT_EQ(action.kind, Kind::Send);
    EXPECT_EQ(action.slot, 2 * kZoomIn + 1);
    runner.Sent(true, start + milliseconds(310));
    EXPECT_FALSE(runner.HeldKey());
    EXPECT_EQ(runner.Next(start + milliseconds(311)).until, start + milliseconds(410));
    // Woken 5 ms late: the second wait still ends 50 ms after the first was due to.
    EXPECT_EQ(runner.Next(start + milliseconds(415)).until, start + milliseconds(460));
    EXPECT_EQ(runner.Next(start + milliseconds(460)).slot, 2 * kMenu);
    runner.Sent(true, start + milliseconds(461));
    EXPECT_EQ(runner.Next(start + milliseconds(461)).slot, 2 * kMenu + 1);
    runner.Sent(true, start + milliseconds(462));
    EXPECT_EQ(runner.Next(start + milliseconds(462)).kind, Kind::Done);
    EXPECT_TRUE(runner.Finished());
    EXPECT_FALSE(runner.Cancelled());
}

// A cancel owes the release of the key held, or of a press out for writing, once; a failed write
// ends the run and leaves the earlier hold owed.
TEST(MacroRunner, CancelOwesEachReleaseOnce)
{
    const Clock::time_point start{};
    const Macro macro = Steps({{Step::Press, kZoomIn, 0, 1},
                               {Step::Wait, -1, 1000, 2},
                               {Step::Release, kZoomIn, 0, 3},
                               {Step::Nudge, kZoomIn, 200, 4}});
    {
        MacroRunner runner(macro, start);
        runner.Next(start);
        runner.Sent(true, start);
        ASSERT_EQ(runner.Next(start).kind, Kind::Wait);
        EXPECT_EQ(runner.Cancel(), std::vector<int>{2 * kZoomIn + 1});
        EXPECT_TRUE(runner.Cancel().empty());
        EXPECT_EQ(runner.Next(start + milliseconds(2000)).kind, Kind::Done);
        EXPECT_TRUE(runner.Cancelled());
    }
    {
        MacroRunner runner(macro, start);
        runner.Next(start);  // the press is out
        EXPECT_EQ(runner.Cancel(), std::vector<int>{2 * kZoomIn + 1});
        runner.Sent(true, start);  // ignored: it came after the cancel
        EXPECT_FALSE(runner.HeldKey());
    }
    {
        MacroRunner runner(macro, start);
        runner.Next(start);
        runner.Sent(true, start);
        runner.Next(start + milliseconds(1000));  // the release is out
        runner.Sent(false, start + milliseconds(1001));
        EXPECT_TRUE(runner.Failed());
        EXPECT_EQ(runner.Next(start + milliseconds(1001)).kind, Kind::Done);
        EXPECT_EQ(runner.Cancel(), std::vector<int>{2 * kZoomIn + 1});
    }
}

}  // namespace
}  // namespace velmora
