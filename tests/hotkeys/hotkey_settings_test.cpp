// The settings file as people leave it: hand-written, half-broken, with Windows line ends. What can
// be read is kept; each line that cannot is named.
#include <gtest/gtest.h>

#include "hotkeys/hotkey_settings.h"

namespace {

using velmora::HotkeySettingName;

std::string Text(const std::optional<velmora::Combination>& combination)
{
    return combination ? velmora::CombinationText(*combination) : "none";
}

int Key(const char* name)
{
    for (int key = 0; key < velmora::KeyCount; ++key) {
        if (HotkeySettingName(key) == name) return key;
    }
    return -1;
}

TEST(HotkeySettingsTest, AHandWrittenFileKeepsWhatCanBeReadAndNamesEachLineThatCannot)
{
    const auto read = velmora::ReadHotkeySettings(
        "; mine\r\n"
        "[General]\r\n"
        "zoom-in=Ctrl+Alt+Home\r\n"  // not in [hotkeys]: left alone
        "[Hotkeys]\r\n"
        "Enabled = TRUE\r\n"
        "ZOOM-IN = Ctrl+Shift+Up\r\n"
        "menu=\r\n"                    // 7: cleared
        "lock1=\"Ctrl+Alt+F1\"\r\n"    // quoted, as QSettings writes some values
        "lokc2=Ctrl+Alt+F2\r\n"        // 9: no such key
        "focus-in=Ctrl+Alt+Fo0\r\n"    // 10: no such combination
        "focus-out=Ctrl+Shift+Up\r\n"  // 11: zoom-in has it
        "this line is garbage\r\n"     // 12
        "[window]\r\n"
        "hide-message-shown=perhaps\r\n"  // 14
        "[macros]\r\n"
        "wide=Ctrl+Alt+F5\r\n"        // a macro of the macros file
        "tall=Ctrl+Shift+Up\r\n"      // 17: zoom-in has it
        "bad name=Ctrl+Alt+F6\r\n");  // 18: no macro's name
    const velmora::HotkeySettings& settings = read.settings;
    EXPECT_TRUE(settings.enabled);
    EXPECT_FALSE(settings.hideMessageShown);
    EXPECT_EQ(Text(settings.keys[Key("zoom-in")].combination), "Ctrl+Shift+Up");
    EXPECT_EQ(Text(settings.keys[Key("lock1")].combination), "Ctrl+Alt+F1");
    EXPECT_TRUE(settings.keys[Key("menu")].set);
    EXPECT_EQ(Text(settings.keys[Key("menu")].combination), "none");
    // A line that could not be read leaves its key without a hotkey rather than a surprise.
    EXPECT_EQ(Text(settings.keys[Key("focus-in")].combination), "none");
    EXPECT_EQ(Text(settings.keys[Key("focus-out")].combination), "none");
    EXPECT_FALSE(settings.keys[Key("lock2")].set);

    std::vector<std::string> problems;
    for (const auto& problem : read.problems) problems.push_back(velmora::ProblemText(problem));
    ASSERT_EQ(settings.macros.size(), 1u);
    EXPECT_EQ(settings.macros[0].name, "wide");
    EXPECT_EQ(Text(settings.macros[0].combination), "Ctrl+Alt+F5");
    ASSERT_EQ(problems.size(), 7u);
    EXPECT_EQ(problems[0].rfind("line 9: lokc2=Ctrl+Alt+F2: no key is named \"lokc2\"", 0), 0u)
        << problems[0];
    EXPECT_EQ(problems[1], "line 10: focus-in=Ctrl+Alt+Fo0: unknown key \"Fo0\"");
    EXPECT_EQ(problems[2], "line 11: focus-out=Ctrl+Shift+Up: Ctrl+Shift+Up is already on zoom-in");
    EXPECT_EQ(problems[3], "line 12: this line is garbage: not a setting (no '=')");
    EXPECT_EQ(problems[4], "line 14: hide-message-shown=perhaps: hide-message-shown takes true or false");
    EXPECT_EQ(problems[5], "line 17: tall=Ctrl+Shift+Up: Ctrl+Shift+Up is already on zoom-in");
    EXPECT_EQ(problems[6].rfind("line 18: bad name=Ctrl+Alt+F6: a macro's name is", 0), 0u) << problems[6];
}

TEST(HotkeySettingsTest, KeysNotSetGetTheSuggestedCombinationUnlessAnotherKeyTookIt)
{
    const auto read = velmora::ReadHotkeySettings("[hotkeys]\nlock1=Ctrl+Alt+Up\nmenu=\n");
    const auto combinations = velmora::EffectiveCombinations(read.settings);
    EXPECT_EQ(Text(combinations[Key("lock1")]), "Ctrl+Alt+Up");
    EXPECT_EQ(Text(combinations[Key("zoom-in")]), "none");  // its suggestion is lock1's now
    EXPECT_EQ(Text(combinations[Key("menu")]), "none");     // cleared
    EXPECT_EQ(Text(combinations[Key("zoom-out")]), "Ctrl+Alt+Down");
    EXPECT_TRUE(read.problems.empty());
    // A macro's combination takes a key's suggestion as a key set in the file does.
    const auto macro = velmora::ReadHotkeySettings("[macros]\nwide=Ctrl+Alt+Down\n");
    EXPECT_EQ(Text(velmora::EffectiveCombinations(macro.settings)[Key("zoom-out")]), "none");
}

}  // namespace
