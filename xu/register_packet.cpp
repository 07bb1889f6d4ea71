#include "xu/register_packet.h"

namespace velmora {

namespace {

void PutBigEndian32(std::uint8_t* out, std::uint32_t value)
{
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t GetBigEndian32(const std::uint8_t* in)
{
    return static_cast<std::uint32_t>(in[0]) << 24 | static_cast<std::uint32_t>(in[1]) << 16 |
           static_cast<std::uint32_t>(in[2]) << 8 | static_cast<std::uint32_t>(in[3]);
}

}  // namespace

std::uint8_t PacketChecksum(const std::uint8_t* bytes, std::uint8_t count)
{
    std::uint8_t sum = 0;
    for (std::uint8_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return static_cast<std::uint8_t>(0xFF - sum);
}

RegisterPacket MakeRegisterPacket(std::uint8_t command, std::uint64_t address, std::uint64_t param,
                                  std::uint64_t data)
{
    RegisterPacket packet{};
    packet[packet_offset::Marker] = RegisterMarker;
    packet[packet_offset::Command] = command;
    PutBigEndian32(&packet[packet_offset::Address], static_cast<std::uint32_t>(address));
    packet[packet_offset::Param] = static_cast<std::uint8_t>(param);
    PutBigEndian32(&packet[packet_offset::Data], static_cast<std::uint32_t>(data));
    SealRegisterPacket(packet);
    return packet;
}

void SealRegisterPacket(RegisterPacket& packet)
{
    packet[packet_offset::Checksum] = PacketChecksum(packet.data(), packet_offset::Checksum);
}

bool PacketChecksumMatches(const RegisterPacket& packet)
{
    return packet[packet_offset::Checksum] == PacketChecksum(packet.data(), packet_offset::Checksum);
}

std::uint32_t PacketAddress(const RegisterPacket& packet)
{
    return GetBigEndian32(&packet[packet_offset::Address]);
}

std::uint32_t PacketData(const RegisterPacket& packet)
{
    return GetBigEndian32(&packet[packet_offset::Data]);
}

}  // namespace velmora
