// VISCA messages without their framing: what a controller's message asks, and the camera's replies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora::bridge {

// The commands a mapping can give a key action.
enum class ViscaCommand : std::uint8_t {
    ZoomTele,  // CAM_Zoom Tele, standard or variable
    ZoomWide,
    ZoomStop,
    FocusFar,  // CAM_Focus Far, standard or variable
    FocusNear,
    FocusStop,
    PanTiltUp,  // Pan-tiltDrive; a diagonal arrives as the direction of its faster axis
    PanTiltDown,
    PanTiltLeft,
    PanTiltRight,
    PanTiltStop,
    MenuOn,  // menu display on, off, on/off
    MenuOff,
    MenuToggle,
    WbAuto,     // CAM_WB auto
    WbOnePush,  // CAM_WB one-push trigger
    AeFullAuto,
    MemoryRecall,  // CAM_Memory recall of memory 0..ViscaMemoryCount - 1
};
inline constexpr int ViscaCommandCount = static_cast<int>(ViscaCommand::MemoryRecall) + 1;
inline constexpr int ViscaMemoryCount = 128;

struct ViscaMessage {
    enum class Type {
        Malformed,  // not 3 to 16 bytes, no terminator, or a first byte that addresses no camera
        Unknown,    // well formed, but nothing answered here
        Command,
        PowerInquiry,
        VersionInquiry,
        ZoomPositionInquiry,
        AddressSet,        // broadcast
        IfClear,           // to this camera
        IfClearBroadcast,  // broadcast
    };
    Type type = Type::Malformed;
    std::uint8_t address = 1;  // the camera it names, 1..7 (1 for broadcasts and malformed messages)
    ViscaCommand command = ViscaCommand::ZoomStop;
    int number = 0;  // MemoryRecall: the memory; AddressSet: the address given to the first camera
};

// Reads one message: header byte 8x (x = 1..7, or 8 for a broadcast), 1 to 14 bytes, terminator FF.
ViscaMessage ClassifyViscaMessage(const std::uint8_t* data, std::size_t size);

using ViscaBytes = std::vector<std::uint8_t>;

// The camera's replies, from the camera at address (1..7): z0 ... FF with z = address + 8.
ViscaBytes ViscaAck(std::uint8_t address);            // z0 41 FF
ViscaBytes ViscaCompletion(std::uint8_t address);     // z0 51 FF
ViscaBytes ViscaIfClearDone(std::uint8_t address);    // z0 50 FF
ViscaBytes ViscaSyntaxError(std::uint8_t address);    // z0 60 02 FF
ViscaBytes ViscaBufferFull(std::uint8_t address);     // z0 60 03 FF
ViscaBytes ViscaNotExecutable(std::uint8_t address);  // z0 61 41 FF
ViscaBytes ViscaPowerOn(std::uint8_t address);        // z0 50 02 FF
ViscaBytes ViscaVersion(std::uint8_t address);        // z0 50 vendor model ROM sockets FF
ViscaBytes ViscaZoomPosition(std::uint8_t address, std::uint16_t position);  // z0 50 0p 0q 0r 0s FF
ViscaBytes ViscaAddressSetReply(int firstAddress);  // 88 30 0n FF, n = the next free address
ViscaBytes ViscaIfClearBroadcastReply();            // 88 01 00 01 FF

// What the version inquiry answers.
inline constexpr std::uint16_t ViscaVendorId = 0x5645;  // "VE"
inline constexpr std::uint16_t ViscaModelId = 0x0001;   // velmoractl serve
inline constexpr std::uint8_t ViscaSocketCount = 1;
// Velmora's version as (major << 8) | (minor << 4) | patch: 1.0.1 is 0x0101.
std::uint16_t ViscaRomVersion();

// The camera's zoom value in its range [minimum, maximum], linearly as 0x0000 (minimum) to
// 0x4000 (maximum), rounded, values beyond the range clamped. A range the wrong way round still maps
// minimum to 0; an empty one (minimum == maximum) is 0.
std::uint16_t ScaleViscaZoom(std::int32_t value, std::int32_t minimum, std::int32_t maximum);

}  // namespace velmora::bridge
