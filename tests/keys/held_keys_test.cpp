#include <gtest/gtest.h>

#include "keys/held_keys.h"
#include "keys/key_table.h"

namespace velmora {
namespace {

int KeyIndex(std::string_view objectName)
{
    return static_cast<int>(FindKey(objectName) - Keys.data());
}

// Each owed release is given once, oldest press first; keys without a release never hold, and a
// repeated press or a release of a key not held changes nothing.
TEST(HeldKeys, OwesOneReleasePerHeldKeyInPressOrder)
{
    const int zoomIn = KeyIndex("Zoom_inButton");
    const int lock2 = KeyIndex("lock2Button");
    const int menu = KeyIndex("MENUButton");
    const int focusIn = KeyIndex("Focus_inButton");
    HeldKeys held;
    held.Sent(2 * lock2);
    held.Sent(2 * menu);
    held.Sent(2 * zoomIn);
    held.Sent(2 * lock2);
    held.Sent(2 * focusIn + 1);
    held.Sent(2 * focusIn);
    held.Sent(2 * focusIn + 1);
    held.Sent(KeySlotCount);
    EXPECT_FALSE(held.Holds(menu));
    EXPECT_FALSE(held.Holds(focusIn));
    EXPECT_EQ(held.TakeReleases(), (std::vector<int>{2 * lock2 + 1, 2 * zoomIn + 1}));
    EXPECT_TRUE(held.Empty());
    EXPECT_TRUE(held.TakeReleases().empty());
}

// A bridge's clients each own what they pressed: a client going away releases its own keys only;
// a press by another client takes the hold over, and a release by anyone ends it.
TEST(HeldKeys, EachOwnerTakesOnlyItsOwnReleases)
{
    const int zoomIn = KeyIndex("Zoom_inButton");
    const int focusOut = KeyIndex("Focus_outButton");
    const int lock1 = KeyIndex("lock1Button");
    HeldKeys held;
    held.Sent(2 * zoomIn, 1);
    held.Sent(2 * focusOut, 2);
    held.Sent(2 * lock1, 1);
    held.Sent(2 * lock1, 2);
    EXPECT_EQ(held.HolderOf(lock1), HeldKeys::Owner{2});
    EXPECT_EQ(held.TakeReleases(1), (std::vector<int>{2 * zoomIn + 1}));
    held.Sent(2 * focusOut + 1, 3);
    EXPECT_FALSE(held.HolderOf(focusOut).has_value());
    EXPECT_EQ(held.TakeReleases(2), (std::vector<int>{2 * lock1 + 1}));
    EXPECT_TRUE(held.Empty());
}

}  // namespace
}  // namespace velmora
