// The simulated camera's register firmware, driven with request packets as a camera receives them.
#include "platform/sim/register_firmware.h"

#include <gtest/gtest.h>

namespace velmora::sim {
namespace {

RegisterPacket Write(std::uint32_t address, std::uint32_t data, std::uint8_t command = 0x20)
{
    return MakeRegisterPacket(command, address, 0, data);
}

RegisterPacket Read(std::uint32_t address, std::uint8_t command = 0x20, std::uint8_t param = 0)
{
    return MakeRegisterPacket(static_cast<std::uint8_t>(command | 0x80), address, param, 0);
}

TEST(RegisterFirmware, WritesStoreAndReadsAnswerAChecksummedResponse)
{
    RegisterFirmware firmware;
    EXPECT_EQ(firmware.Handle(Write(0x1234, 0xA1B2C3D4u, 0x10)), Write(0x1234, 0xA1B2C3D4u, 0x10));
    const RegisterPacket response = firmware.Handle(Read(0x1234, 0x10, 7));
    EXPECT_EQ(response, MakeRegisterPacket(0x90, 0x1234, 7, 0xA1B2C3D4u));
    EXPECT_TRUE(PacketChecksumMatches(response));
    EXPECT_EQ(PacketData(firmware.Handle(Read(0x9999))), 0u);  // never written

    ASSERT_EQ(firmware.Transactions().size(), 3u);
    EXPECT_FALSE(firmware.Transactions()[0].read);
    EXPECT_TRUE(firmware.Transactions()[1].read);
    EXPECT_EQ(firmware.Transactions()[1].command, 0x90);
    EXPECT_EQ(firmware.Transactions()[1].param, 7);
    EXPECT_EQ(firmware.Transactions()[1].data, 0xA1B2C3D4u);
}

TEST(RegisterFirmware, RefusesABadMarkerOrChecksumAndEchoesIt)
{
    RegisterFirmware firmware;
    RegisterPacket badChecksum = Write(5, 1);
    badChecksum[11] ^= 0x01;
    RegisterPacket badMarker = Write(5, 1);
    badMarker[0] = 0x27;
    SealRegisterPacket(badMarker);
    EXPECT_EQ(firmware.Handle(badChecksum), badChecksum);
    EXPECT_EQ(firmware.Handle(badMarker), badMarker);
    EXPECT_EQ(firmware.RejectedRequests(), 2u);
    EXPECT_TRUE(firmware.Transactions().empty());
    EXPECT_EQ(firmware.Register(5), 0u);
}

TEST(RegisterFirmware, StatusRegistersAndPresetsAreConfigurable)
{
    RegisterFirmwareConfig config;
    config.statusRegisters[0] = 11;
    config.statusRegisters[23] = 0xFFFFFFFFu;
    config.registers[400] = 3;
    RegisterFirmware firmware(config);
    EXPECT_EQ(PacketData(firmware.Handle(Read(376, 0x00, 1))), 11u);
    EXPECT_EQ(PacketData(firmware.Handle(Read(399, 0x00, 1))), 0xFFFFFFFFu);
    EXPECT_EQ(PacketData(firmware.Handle(Read(400, 0x00))), 3u);
    firmware.Handle(Write(376, 12, 0x00));
    EXPECT_EQ(firmware.Register(376), 12u);
    firmware.Settings().statusRegisters[1] = 99;
    EXPECT_EQ(PacketData(firmware.Handle(Read(377, 0x00, 1))), 99u);
}

TEST(RegisterFirmware, StringRegistersTakeAndGiveAText)
{
    RegisterFirmwareConfig config;
    config.text = "old";
    RegisterFirmware firmware(config);
    for (const RegisterPacket& packet :
         {Write(228, 0), Write(229, 'h'), Write(229, 0xFFFFFFE9u), Write(230, 2)}) {
        firmware.Handle(packet);
    }
    EXPECT_EQ(firmware.Text(), "h\xE9");
    EXPECT_EQ(PacketData(firmware.Handle(Read(228))), 2u);
    EXPECT_EQ(PacketData(firmware.Handle(Read(229))), 'h');
    EXPECT_EQ(PacketData(firmware.Handle(Read(229))), 0xE9u);
    EXPECT_EQ(PacketData(firmware.Handle(Read(229))), 0u);  // past the end
    EXPECT_EQ(PacketData(firmware.Handle(Read(228))), 2u);  // rewinds
    EXPECT_EQ(PacketData(firmware.Handle(Read(229))), 'h');

    // An end whose length does not match what arrived discards the text; 229 without a start is ignored.
    for (const RegisterPacket& packet :
         {Write(228, 0), Write(229, 'x'), Write(230, 2), Write(229, 'y'), Write(230, 1)}) {
        firmware.Handle(packet);
    }
    EXPECT_EQ(firmware.Text(), "h\xE9");
    EXPECT_EQ(firmware.Register(229), 0u);
}

TEST(RegisterFirmware, RecordsTheKeyWrites)
{
    RegisterFirmware firmware;
    firmware.Handle(Write(1, 5, 0x16));
    firmware.Handle(Write(1, 7, 0x20));  // another command
    firmware.Handle(Write(2, 8, 0x16));  // another register
    firmware.Handle(Read(1, 0x16));
    firmware.Handle(Write(1, 0x16, 0x16));
    EXPECT_EQ(firmware.KeyCodes(), (std::vector<std::uint32_t>{5, 0x16}));
}

TEST(RegisterFirmware, ResponseFaults)
{
    RegisterFirmwareConfig config;
    config.registers[5] = 42;
    config.corruptChecksum = true;
    RegisterFirmware firmware(config);
    RegisterPacket response = firmware.Handle(Read(5));
    EXPECT_FALSE(PacketChecksumMatches(response));
    EXPECT_EQ(PacketData(response), 42u);

    firmware.Settings().corruptChecksum = false;
    firmware.Settings().foreignMarker = true;
    response = firmware.Handle(Read(5));
    EXPECT_TRUE(PacketChecksumMatches(response));
    EXPECT_NE(response[0], RegisterMarker);
    EXPECT_NE(PacketAddress(response), 5u);
    EXPECT_EQ(PacketData(response), 42u);
}

}  // namespace
}  // namespace velmora::sim
