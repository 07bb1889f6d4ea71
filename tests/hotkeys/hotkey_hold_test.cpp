// One hold at a time: auto-repeat in both forms an X server sends it, the hold limit, another
// combination, and a hold ended from outside.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hotkeys/hotkey_hold.h"

namespace {

using velmora::HotkeyHold;

// "press 3", "release 3": what a run of steps did.
std::vector<std::string> g_log;
void Log(HotkeyHold::Step step)
{
    if (step.release >= 0) g_log.push_back("release " + std::to_string(step.release));
    if (step.press >= 0) g_log.push_back("press " + std::to_string(step.press));
}
std::vector<std::string> Take()
{
    return std::exchange(g_log, {});
}
using Lines = std::vector<std::string>;

TEST(HotkeyHoldTest, RepeatsReportedAsPressesSendOnePressAndOneRelease)
{
    HotkeyHold hold;
    Log(hold.Down(2, 100, 0));
    for (int i = 1; i < 20; ++i) Log(hold.Down(2, 100 + 30 * i, 30 * i));
    EXPECT_EQ(Take(), Lines({"press 2"}));
    Log(hold.Up(2, 800, 700));
    EXPECT_EQ(Take(), Lines({"release 2"}));
    EXPECT_EQ(hold.Held(), -1);
    EXPECT_FALSE(hold.Deadline());
}

TEST(HotkeyHoldTest, ReleaseAndPressPairsOfOneTimeAreRepeatsWhereTheServerSendsThem)
{
    HotkeyHold hold(50);
    Log(hold.Down(2, 100, 0));
    for (int i = 1; i < 5; ++i) {
        Log(hold.Up(2, 600 + 30 * i, 500 + 30 * i));
        Log(hold.Tick(510 + 30 * i));  // the press comes late, still within the settling time
        Log(hold.Down(2, 600 + 30 * i, 520 + 30 * i));
    }
    EXPECT_EQ(Take(), Lines({"press 2"}));

    Log(hold.Up(2, 1000, 900));
    EXPECT_EQ(hold.Deadline(), 950);
    Log(hold.Tick(949));
    EXPECT_EQ(Take(), Lines());
    Log(hold.Tick(950));
    EXPECT_EQ(Take(), Lines({"release 2"}));

    // Let go and pressed again within the settling time, at another instant: both go out.
    Log(hold.Down(2, 2000, 1900));
    Log(hold.Up(2, 2100, 2000));
    Log(hold.Down(2, 2120, 2020));
    EXPECT_EQ(Take(), Lines({"press 2", "release 2", "press 2"}));
}

TEST(HotkeyHoldTest, TheHoldLimitReleasesAndOnlyANewPressStartsAgain)
{
    HotkeyHold hold;
    Log(hold.Down(6, 1, 0));
    EXPECT_EQ(hold.Deadline(), HotkeyHold::kHoldLimitMs);
    Log(hold.Tick(HotkeyHold::kHoldLimitMs - 1));
    Log(hold.Tick(HotkeyHold::kHoldLimitMs));
    Log(hold.Down(6, 2, HotkeyHold::kHoldLimitMs + 30));  // still held: a repeat
    EXPECT_EQ(Take(), Lines({"press 6", "release 6"}));
    Log(hold.Up(6, 3, 12000));
    Log(hold.Down(6, 4, 13000));
    EXPECT_EQ(Take(), Lines({"press 6"}));
    EXPECT_EQ(hold.Deadline(), 13000 + HotkeyHold::kHoldLimitMs);
}

TEST(HotkeyHoldTest, AnotherCombinationReleasesFirstAndEndingTheHoldWaitsForTheKeyToComeUp)
{
    HotkeyHold hold;
    Log(hold.Down(2, 1, 0));
    Log(hold.Down(6, 2, 10));
    Log(hold.Up(2, 3, 20));  // the first one's key coming up later does nothing
    EXPECT_EQ(Take(), Lines({"press 2", "release 2", "press 6"}));

    Log(hold.EndHold());  // the camera went
    Log(hold.Down(6, 4, 40));
    EXPECT_EQ(Take(), Lines({"release 6"}));
    Log(hold.Up(6, 5, 50));
    Log(hold.Stop());
    EXPECT_EQ(Take(), Lines());
}

}  // namespace
