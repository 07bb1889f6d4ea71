// A GUID in the Windows memory layout: 32-bit, 16-bit, 16-bit, eight bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    bool IsNull() const { return *this == Guid{}; }
    friend bool operator==(const Guid& a, const Guid& b)
    {
        return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 && a.data4 == b.data4;
    }
    friend bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }
};
static_assert(sizeof(Guid) == 16, "Guid must have the Windows layout");

// The 16 bytes as they lie in memory on Windows (data1..3 little-endian).
std::array<std::uint8_t, 16> GuidBytes(const Guid& guid);
Guid GuidFromBytes(const std::uint8_t* bytes16);

// "65E8773D-8F56-11D0-A3B9-00A0C9223196": upper case, no braces.
std::string GuidText(const Guid& guid);

// Accepts the 36-character form with or without braces, any letter case.
std::optional<Guid> ParseGuid(std::string_view text);

// Vendor extension unit of the camera's control keypad.
inline constexpr Guid DefaultXuPropertySet{
    0x46394292, 0x0CD0, 0x4AE3, {0x87, 0x83, 0x31, 0x33, 0xF9, 0xEA, 0xAA, 0x3B}};

// KSCATEGORY_CAPTURE: the device-interface class of video capture devices.
inline constexpr Guid KsCategoryCapture{
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

}  // namespace velmora
