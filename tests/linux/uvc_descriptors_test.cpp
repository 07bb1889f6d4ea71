// The descriptor walk that finds a camera's extension units.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/linux/uvc_descriptors.h"
#include "tests/linux/uvc_descriptor_builder.h"

namespace velmora::linux_backend {
namespace {

using linux_test::Bytes;
using linux_test::DescriptorBuilder;
using linux_test::OtherUnitGuidA;
using linux_test::OtherUnitGuidB;
using linux_test::UvcCamera;

std::vector<UvcExtensionUnit> Parse(const Bytes& bytes, int interfaceNumber = 0, int configuration = 1)
{
    return ParseExtensionUnits(bytes.data(), bytes.size(), UvcFunction{interfaceNumber, configuration});
}

TEST(UvcDescriptors, ReadsTheExtensionUnitOfACamera)
{
    const auto units = Parse(UvcCamera(0x1B3F, 0x2247, {{4, DefaultXuPropertySet, 1, {0x00, 0x02}}}));
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].unitId, 4);
    EXPECT_EQ(units[0].guid, DefaultXuPropertySet);
    EXPECT_EQ(units[0].numControls, 1);
    EXPECT_EQ(units[0].controls, (Bytes{0x00, 0x02}));
    EXPECT_EQ(FindExtensionUnit(units, DefaultXuPropertySet), std::optional<std::uint8_t>(4));
}

TEST(UvcDescriptors, OnlyTheGuidDecidesAmongSeveralUnits)
{
    const Bytes bytes = UvcCamera(0x046D, 0x0825,
                                  {{3, OtherUnitGuidA, 2, {0x03}},
                                   {9, DefaultXuPropertySet, 1, {0x00, 0x02}},
                                   {6, OtherUnitGuidB, 8, {0xFF, 0x00, 0x00, 0x00}}});
    const auto units = Parse(bytes);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[2].controls.size(), 4u);
    EXPECT_EQ(FindExtensionUnit(units, DefaultXuPropertySet), std::optional<std::uint8_t>(9));
    EXPECT_EQ(FindExtensionUnit(units, OtherUnitGuidB), std::optional<std::uint8_t>(6));
    // One byte off in Data4 is another GUID.
    Guid near = DefaultXuPropertySet;
    near.data4[7] ^= 1;
    EXPECT_FALSE(FindExtensionUnit(units, near));
}

TEST(UvcDescriptors, LooksOnlyInsideTheNodesOwnVideoControlInterface)
{
    Bytes twoFunctions;
    for (const auto& [name, bytes] : linux_test::SeedLayouts()) {
        if (name == "two_camera_functions") twoFunctions = bytes;
    }
    ASSERT_FALSE(twoFunctions.empty());
    EXPECT_EQ(FindExtensionUnit(Parse(twoFunctions, 0), DefaultXuPropertySet),
              std::optional<std::uint8_t>(4));
    EXPECT_EQ(FindExtensionUnit(Parse(twoFunctions, 2), DefaultXuPropertySet),
              std::optional<std::uint8_t>(9));
    // Interface 1 is a streaming interface: no units there.
    EXPECT_TRUE(Parse(twoFunctions, 1).empty());
}

TEST(UvcDescriptors, TakesTheActiveConfigurationAndIgnoresAudioUnits)
{
    std::map<std::string, Bytes> layouts;
    for (const auto& [name, bytes] : linux_test::SeedLayouts()) layouts[name] = bytes;

    EXPECT_TRUE(Parse(layouts["two_configurations"], 0, 1).empty());
    EXPECT_EQ(FindExtensionUnit(Parse(layouts["two_configurations"], 0, 2), DefaultXuPropertySet),
              std::optional<std::uint8_t>(5));
    // Configuration value unknown: the first configuration.
    EXPECT_TRUE(Parse(layouts["two_configurations"], 0, 0).empty());

    // The microphone's feature unit has the extension unit's subtype, but in an audio interface.
    EXPECT_EQ(Parse(layouts["camera_with_microphone"], 0).size(), 1u);
    EXPECT_TRUE(Parse(layouts["camera_with_microphone"], 2).empty());
}

TEST(UvcDescriptors, DamagedDescriptorsEndTheWalkWithoutReadingPastTheBytes)
{
    const Bytes camera = UvcCamera(0x1B3F, 0x2247, {{4, DefaultXuPropertySet}, {5, OtherUnitGuidA}});
    ASSERT_EQ(Parse(camera).size(), 2u);

    // Every cut keeps the bytes in a buffer of their own size, so ASan sees any overread.
    for (std::size_t size = 0; size < camera.size(); ++size) {
        const Bytes cut(camera.begin(), camera.begin() + static_cast<long>(size));
        EXPECT_LE(Parse(cut).size(), 2u);
    }

    // A zero bLength ends the walk: nothing after it is seen.
    Bytes zero = camera;
    const std::size_t processingUnit = 18 + 9 + 8 + 9 + 13 + 18;
    ASSERT_EQ(zero[processingUnit + 1], 0x24);
    zero[processingUnit] = 0;
    EXPECT_TRUE(Parse(zero).empty());

    // A bLength running past the end ends it too.
    Bytes overlong = camera;
    overlong[processingUnit] = 0xFF;
    EXPECT_TRUE(Parse(overlong).empty());

    // An extension unit whose pin and control counts do not fit its bLength is left out; the walk
    // goes on to the next one.
    Bytes badCounts = camera;
    const std::size_t firstUnit = processingUnit + 11;
    ASSERT_EQ(badCounts[firstUnit + 2], 0x06);
    badCounts[firstUnit + 21] = 200;  // bNrInPins
    const auto units = Parse(badCounts);
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].unitId, 5);

    EXPECT_TRUE(ParseExtensionUnits(nullptr, 100, UvcFunction{}).empty());
}

TEST(UvcDescriptors, SeedCorpusHoldsTheLayoutsAndTheyParseAsExpected)
{
    const std::map<std::string, std::vector<std::uint8_t>> expectedUnits = {
        {"single_camera", {4}},        {"camera_with_microphone", {3}}, {"several_units", {3, 4, 6}},
        {"two_camera_functions", {4}}, {"two_configurations", {}},      {"uvc15_without_units", {}},
        {"cut_inside_unit", {}},       {"zero_length_before_unit", {}},
    };
    const auto layouts = linux_test::SeedLayouts();
    ASSERT_EQ(layouts.size(), expectedUnits.size());
    for (const auto& [name, bytes] : layouts) {
        SCOPED_TRACE(name);
        std::ifstream file(std::string(VELMORA_UVC_SEED_CORPUS) + "/" + name + ".bin", std::ios::binary);
        ASSERT_TRUE(file) << "seed file missing; write it with velmora_write_uvc_seeds";
        const Bytes stored{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        EXPECT_EQ(stored, bytes);
        std::vector<std::uint8_t> ids;
        for (const auto& unit : Parse(stored, 0, 0)) ids.push_back(unit.unitId);
        EXPECT_EQ(ids, expectedUnits.at(name));
    }
}

}  // namespace
}  // namespace velmora::linux_backend
