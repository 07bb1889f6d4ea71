// Register transactions over selector 10: checksummed 12-byte packets.
#pragma once

#include <cstdint>
#include <string>

#include "platform/capture_device.h"
#include "platform/status.h"
#include "xu/register_packet.h"

namespace velmora {

// The longest text ReadRegisterString accepts from register 228. A camera's strings (names,
// versions, serial numbers) are far shorter; a longer length is refused before anything is
// allocated, with RegisterStringTooLong.
inline constexpr std::uint64_t RegisterStringMaxLength = 4096;
inline constexpr Status RegisterStringTooLong = StatusInsufficientBuffer;

// One write request. The command byte goes out unchanged.
Status WriteRegister(CaptureDevice* device, std::uint64_t address, std::uint64_t data, std::uint64_t param,
                     std::uint8_t command);
// A read request (command OR 0x80) and its response. value is written only when the result is
// StatusOk; StatusFalse for a response with a bad checksum. The response is checked by its checksum
// alone.
Status ReadRegister(CaptureDevice* device, std::uint64_t address, std::uint64_t& value, std::uint64_t param,
                    std::uint8_t command);

// text as UTF-16 code units, sent as Latin-1 (a unit above 0xFF as '?') through registers 228 to 230.
// StatusFail without a device or for an empty text.
Status WriteRegisterString(CaptureDevice* device, const std::u16string& text);
// text is cleared, then set to the bytes read back up to the first zero byte (UTF-8 as the camera
// holds it). StatusFail without a device; RegisterStringTooLong past RegisterStringMaxLength.
Status ReadRegisterString(CaptureDevice* device, std::string& text);

// The 24 status registers 376 to 399, read whatever each read returns; nothing without a device.
void ReadStatusRegisterBlock(CaptureDevice* device);

}  // namespace velmora
