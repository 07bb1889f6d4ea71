// Register transactions over selector 10: checksummed 12-byte packets.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/capture_device.h"
#include "platform/status.h"

namespace velmora {

inline constexpr std::uint32_t RegisterSelector = 10;
inline constexpr std::size_t RegisterPacketSize = 12;
inline constexpr std::uint8_t RegisterMarker = 0x26;

using RegisterPacket = std::array<std::uint8_t, RegisterPacketSize>;

// 0xFF minus the 8-bit sum of count bytes.
std::uint8_t PacketChecksum(const std::uint8_t* bytes, std::uint8_t count);

Status WriteRegister(CaptureDevice* device, std::uint64_t address, std::uint64_t data, std::uint64_t param,
                     std::uint8_t command);
// value is written only when the result is StatusOk; StatusFalse for a response with a bad checksum.
Status ReadRegister(CaptureDevice* device, std::uint64_t address, std::uint64_t& value, std::uint64_t param,
                    std::uint8_t command);

// text as UTF-16 code units, sent as Latin-1 through registers 228 to 230.
Status WriteRegisterString(CaptureDevice* device, const std::u16string& text);
// text is the UTF-8 bytes read back, up to the first zero byte.
Status ReadRegisterString(CaptureDevice* device, std::string& text);

// The 24 status registers 376 to 399, read whatever each read returns.
void ReadStatusRegisterBlock(CaptureDevice* device);

}  // namespace velmora
