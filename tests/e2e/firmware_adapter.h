// The simulated camera's register firmware behind the emulator's extension-unit control.
#pragma once

#include <cstdint>
#include <memory>

#include "tests/e2e/uvc_camera.h"

namespace velmora::e2e {

// Values the firmware starts with, which vm-checks.sh expects to read back.
inline constexpr std::uint32_t PresetRegister = 0x100;
inline constexpr std::uint32_t PresetRegisterValue = 0x0000BEEF;
inline constexpr std::uint32_t StatusRegisterBase = 0xC0DE0000;  // register 376 + i holds base + 376 + i
inline constexpr const char* PresetText = "Velmora";

// The control holds 12-byte packets at its start: a write of the control's length (or, for a
// control shorter than a packet, the pieces adding up to one) is one request; reads hand out
// the response the same way.
std::unique_ptr<XuFirmware> MakeRegisterFirmware(const ExtensionUnitModel& unit);

}  // namespace velmora::e2e
