// The packet layout and checksum against the worked examples and the key packets, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "xu/register_packet.h"

namespace {

using velmora::MakeRegisterPacket;
using velmora::PacketChecksum;
using velmora::RegisterPacket;

std::string Hex(const RegisterPacket& packet)
{
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < packet.size(); ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", packet[i]);
        text += byte;
    }
    return text;
}

TEST(PacketChecksum, IsTheComplementOfTheByteSum)
{
    const std::uint8_t zeros[11] = {};
    EXPECT_EQ(PacketChecksum(zeros, 11), 0xFF);
    const std::uint8_t key[11] = {0x26, 0x16, 0, 0, 0, 0x01, 0, 0, 0, 0, 0x01};
    EXPECT_EQ(PacketChecksum(key, 11), 0xC1);
    // The sum wraps modulo 256: 0x80 + 0x80 + 0x01 = 0x101 -> 0x01.
    const std::uint8_t wrapping[3] = {0x80, 0x80, 0x01};
    EXPECT_EQ(PacketChecksum(wrapping, 3), 0xFE);
    const std::uint8_t ones[11] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(PacketChecksum(ones, 11), 0x0A);  // 11 * 0xFF = 0xAF5 -> 0xF5
    EXPECT_EQ(PacketChecksum(key, 0), 0xFF);
}

TEST(RegisterPacket, WorkedExamples)
{
    EXPECT_EQ(Hex(MakeRegisterPacket(0x16, 1, 0, 1)), "26 16 00 00 00 01 00 00 00 00 01 C1");
    EXPECT_EQ(Hex(MakeRegisterPacket(0x16, 1, 0, 0x16)), "26 16 00 00 00 01 00 00 00 00 16 AC");
    EXPECT_EQ(Hex(MakeRegisterPacket(0x80, 376, 1, 0)), "26 80 00 00 01 78 01 00 00 00 00 DF");
    EXPECT_EQ(Hex(MakeRegisterPacket(0x20, 228, 0, 0)), "26 20 00 00 00 E4 00 00 00 00 00 D5");
    EXPECT_EQ(Hex(MakeRegisterPacket(0xA0, 228, 0, 0)), "26 A0 00 00 00 E4 00 00 00 00 00 55");
}

TEST(RegisterPacket, TheThirteenKeyPackets)
{
    const struct {
        std::uint8_t data;
        const char* bytes;
    } keys[] = {
        {0x01, "26 16 00 00 00 01 00 00 00 00 01 C1"}, {0x02, "26 16 00 00 00 01 00 00 00 00 02 C0"},
        {0x03, "26 16 00 00 00 01 00 00 00 00 03 BF"}, {0x04, "26 16 00 00 00 01 00 00 00 00 04 BE"},
        {0x05, "26 16 00 00 00 01 00 00 00 00 05 BD"}, {0x06, "26 16 00 00 00 01 00 00 00 00 06 BC"},
        {0x07, "26 16 00 00 00 01 00 00 00 00 07 BB"}, {0x08, "26 16 00 00 00 01 00 00 00 00 08 BA"},
        {0x09, "26 16 00 00 00 01 00 00 00 00 09 B9"}, {0x10, "26 16 00 00 00 01 00 00 00 00 10 B2"},
        {0x11, "26 16 00 00 00 01 00 00 00 00 11 B1"}, {0x12, "26 16 00 00 00 01 00 00 00 00 12 B0"},
        {0x16, "26 16 00 00 00 01 00 00 00 00 16 AC"},
    };
    for (const auto& key : keys) {
        EXPECT_EQ(Hex(MakeRegisterPacket(0x16, 1, 0, key.data)), key.bytes) << "data " << int(key.data);
    }
}

TEST(RegisterPacket, DropsBitsAboveTheWireFields)
{
    const RegisterPacket packet = MakeRegisterPacket(0x16, (1ull << 32) + 1, 0x101, 0x1234567890ull);
    EXPECT_EQ(Hex(packet), "26 16 00 00 00 01 01 34 56 78 90 2F");
    EXPECT_EQ(velmora::PacketAddress(packet), 1u);
    EXPECT_EQ(velmora::PacketData(packet), 0x34567890u);
    EXPECT_TRUE(velmora::PacketChecksumMatches(packet));
}

TEST(RegisterPacket, DecodesBigEndianFieldsAndChecksMatch)
{
    RegisterPacket packet = MakeRegisterPacket(0x00, 0xA1B2C3D4u, 0, 0xFFFFFFFFu);
    EXPECT_EQ(velmora::PacketAddress(packet), 0xA1B2C3D4u);
    EXPECT_EQ(velmora::PacketData(packet), 0xFFFFFFFFu);
    EXPECT_TRUE(velmora::PacketChecksumMatches(packet));
    packet[9] ^= 0x01;
    EXPECT_FALSE(velmora::PacketChecksumMatches(packet));
    velmora::SealRegisterPacket(packet);
    EXPECT_TRUE(velmora::PacketChecksumMatches(packet));
}

}  // namespace
