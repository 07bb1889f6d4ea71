// The 12-byte register packet of selector 10 and its checksum, shared by the host and the camera
// side. Depends on the C++ standard library only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora {

inline constexpr std::uint32_t RegisterSelector = 10;
inline constexpr std::size_t RegisterPacketSize = 12;
inline constexpr std::uint8_t RegisterMarker = 0x26;
// Bit 7 of the command byte marks a read.
inline constexpr std::uint8_t RegisterReadFlag = 0x80;

using RegisterPacket = std::array<std::uint8_t, RegisterPacketSize>;

// Byte offsets; multi-byte fields are big-endian.
namespace packet_offset {
inline constexpr std::size_t Marker = 0;
inline constexpr std::size_t Command = 1;
inline constexpr std::size_t Address = 2;  // 4 bytes
inline constexpr std::size_t Param = 6;
inline constexpr std::size_t Data = 7;  // 4 bytes
inline constexpr std::size_t Checksum = 11;
}  // namespace packet_offset

// Registers with a meaning of their own on the camera.
inline constexpr std::uint32_t StringStartRegister = 228;  // write: start; read: the text's length
inline constexpr std::uint32_t StringCharRegister = 229;   // write: append one byte; read: the next byte
inline constexpr std::uint32_t StringEndRegister = 230;    // write: end, with the length
inline constexpr std::uint8_t StringCommand = 0x20;
inline constexpr std::uint32_t StatusRegisterFirst = 376;
inline constexpr std::uint32_t StatusRegisterCount = 24;  // 376 to 399
inline constexpr std::uint8_t StatusCommand = 0x00;
inline constexpr std::uint8_t StatusParam = 1;

// 0xFF minus the 8-bit sum of count bytes.
std::uint8_t PacketChecksum(const std::uint8_t* bytes, std::uint8_t count);

// Marker 0x26, the command byte as given, address bits 31..0, param bits 7..0, data bits 31..0 and
// the checksum of bytes 0..10. Higher bits are dropped.
RegisterPacket MakeRegisterPacket(std::uint8_t command, std::uint64_t address, std::uint64_t param,
                                  std::uint64_t data);

// Byte 11 recomputed from bytes 0..10.
void SealRegisterPacket(RegisterPacket& packet);
bool PacketChecksumMatches(const RegisterPacket& packet);

std::uint32_t PacketAddress(const RegisterPacket& packet);
std::uint32_t PacketData(const RegisterPacket& packet);
inline bool IsReadCommand(std::uint8_t command)
{
    return (command & RegisterReadFlag) != 0;
}

}  // namespace velmora
