// Combinations as the settings and the dialog write them, and the ones refused so that typing
// elsewhere never presses a camera key.
#include <gtest/gtest.h>

#include "hotkeys/combination.h"

namespace {

using velmora::ParseCombination;

TEST(CombinationTest, ReadsWhatPeopleWriteAndSpellsItForEachPlatform)
{
    std::string error;
    const auto up = ParseCombination(" control + ALT+up ", error);
    ASSERT_TRUE(up) << error;
    EXPECT_EQ(velmora::CombinationText(*up), "Ctrl+Alt+Up");
    EXPECT_EQ(velmora::PortalTrigger(*up), "CTRL+ALT+Up");
    EXPECT_EQ(up->Key().x11Keysym, 0xff52u);
    EXPECT_EQ(up->Key().windowsKey, 0x26);

    const auto letter = ParseCombination("Win+Shift+l", error);
    ASSERT_TRUE(letter) << error;
    EXPECT_EQ(velmora::CombinationText(*letter), "Shift+Meta+L");
    EXPECT_EQ(velmora::PortalTrigger(*letter), "SHIFT+LOGO+l");
    EXPECT_EQ(letter->Key().x11Keysym, static_cast<std::uint32_t>('l'));
    EXPECT_EQ(letter->Key().windowsKey, 'L');

    // What Qt names the keys when the dialog records them.
    for (const char* text : {"Ctrl+Return", "Alt+PgDown", "Ctrl+Del", "F13", "F24"}) {
        EXPECT_TRUE(ParseCombination(text, error)) << text << ": " << error;
    }
    const auto f24 = ParseCombination("F24", error);
    EXPECT_EQ(f24->Key().windowsKey, 0x87);
    EXPECT_EQ(f24->Key().x11Keysym, 0xffd5u);
}

TEST(CombinationTest, RefusesWhatTypingWouldPressOrWhatIsNotOne)
{
    const std::pair<const char*, const char*> refused[] = {
        {"", "no combination"},
        {"Up", "needs Ctrl, Alt or Meta (or one of F13 to F24)"},
        {"Shift+A", "needs Ctrl, Alt or Meta (or one of F13 to F24)"},
        {"F12", "needs Ctrl, Alt or Meta (or one of F13 to F24)"},
        {"Ctrl+ctrl+A", "\"ctrl\" twice"},
        {"Hyper+A", "unknown modifier \"Hyper\""},
        {"Ctrl+Alt+", "no key after the last '+'"},
        {"Ctrl+Alt+Fo0", "unknown key \"Fo0\""},
        {"Ctrl+Alt", "unknown key \"Alt\""},
    };
    for (const auto& [text, why] : refused) {
        std::string error;
        EXPECT_FALSE(ParseCombination(text, error)) << text;
        EXPECT_EQ(error, why) << text;
    }
}

TEST(CombinationTest, TheSuggestedSetFollowsTheWindowsKeysInKeyTableOrder)
{
    const auto suggested = velmora::SuggestedCombinations();
    // Key-table order: live, normal, zoom-in, focus-in, menu, focus-out, zoom-out, ae, awb, locks.
    const char* expected[] = {"Ctrl+Alt+L",     "Ctrl+Alt+N",     "Ctrl+Alt+Up",   "Ctrl+Alt+Left",
                              "Ctrl+Alt+Enter", "Ctrl+Alt+Right", "Ctrl+Alt+Down", "Ctrl+Alt+A",
                              "Ctrl+Alt+W",     "Ctrl+Alt+1",     "Ctrl+Alt+2",    "Ctrl+Alt+3"};
    for (std::size_t i = 0; i < suggested.size(); ++i)
        EXPECT_EQ(velmora::CombinationText(suggested[i]), expected[i]);
}

}  // namespace
