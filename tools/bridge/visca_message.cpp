#include "tools/bridge/visca_message.h"

#include <algorithm>
#include <cstdint>

namespace velmora::bridge {

namespace {

constexpr std::uint8_t Terminator = 0xFF;
constexpr std::uint8_t Broadcast = 0x88;

// CAM_Zoom and CAM_Focus: 00 stop, 02 / 2p the first direction, 03 / 3p the second.
bool ReadMove(std::uint8_t code, ViscaCommand stop, ViscaCommand first, ViscaCommand second,
              ViscaCommand& out)
{
    if (code == 0x00) {
        out = stop;
    } else if (code == 0x02 || (code >> 4) == 0x2) {
        out = first;
    } else if (code == 0x03 || (code >> 4) == 0x3) {
        out = second;
    } else {
        return false;
    }
    return true;
}

// Pan-tiltDrive VV WW XX YY: XX 01 left, 02 right, 03 no pan; YY 01 up, 02 down, 03 no tilt. A
// diagonal drives the axis with the higher speed, the vertical one on a tie.
bool ReadDrive(const std::uint8_t* body, ViscaCommand& out)
{
    const std::uint8_t panSpeed = body[3];
    const std::uint8_t tiltSpeed = body[4];
    const std::uint8_t pan = body[5];
    const std::uint8_t tilt = body[6];
    if (pan < 1 || pan > 3 || tilt < 1 || tilt > 3) return false;
    const bool horizontal = pan != 3 && (tilt == 3 || panSpeed > tiltSpeed);
    if (horizontal) {
        out = pan == 1 ? ViscaCommand::PanTiltLeft : ViscaCommand::PanTiltRight;
    } else if (tilt != 3) {
        out = tilt == 1 ? ViscaCommand::PanTiltUp : ViscaCommand::PanTiltDown;
    } else {
        out = ViscaCommand::PanTiltStop;
    }
    return true;
}

bool Is(const std::uint8_t* body, std::size_t size, std::initializer_list<std::uint8_t> expected)
{
    if (size != expected.size()) return false;
    std::size_t i = 0;
    for (std::uint8_t byte : expected) {
        if (body[i++] != byte) return false;
    }
    return true;
}

// A command 8x 01 ...: the body is what lies between the header byte and the terminator.
bool ReadCommand(const std::uint8_t* body, std::size_t size, ViscaMessage& message)
{
    ViscaCommand& command = message.command;
    if (size == 4 && body[1] == 0x04 && body[2] == 0x07) {
        return ReadMove(body[3], ViscaCommand::ZoomStop, ViscaCommand::ZoomTele, ViscaCommand::ZoomWide,
                        command);
    }
    if (size == 4 && body[1] == 0x04 && body[2] == 0x08) {
        return ReadMove(body[3], ViscaCommand::FocusStop, ViscaCommand::FocusFar, ViscaCommand::FocusNear,
                        command);
    }
    if (size == 7 && body[1] == 0x06 && body[2] == 0x01) return ReadDrive(body, command);
    if (size == 5 && body[1] == 0x04 && body[2] == 0x3F && body[3] == 0x02 && body[4] < ViscaMemoryCount) {
        command = ViscaCommand::MemoryRecall;
        message.number = body[4];
        return true;
    }
    static const struct {
        std::initializer_list<std::uint8_t> body;
        ViscaCommand command;
    } fixed[] = {
        {{0x01, 0x06, 0x06, 0x02}, ViscaCommand::MenuOn},
        {{0x01, 0x06, 0x06, 0x03}, ViscaCommand::MenuOff},
        {{0x01, 0x06, 0x06, 0x10}, ViscaCommand::MenuToggle},
        {{0x01, 0x04, 0x35, 0x00}, ViscaCommand::WbAuto},
        {{0x01, 0x04, 0x10, 0x05}, ViscaCommand::WbOnePush},
        {{0x01, 0x04, 0x39, 0x00}, ViscaCommand::AeFullAuto},
    };
    for (const auto& entry : fixed) {
        if (Is(body, size, entry.body)) {
            command = entry.command;
            return true;
        }
    }
    return false;
}

ViscaMessage::Type ReadOther(const std::uint8_t* body, std::size_t size)
{
    if (Is(body, size, {0x01, 0x00, 0x01})) return ViscaMessage::Type::IfClear;
    if (Is(body, size, {0x09, 0x04, 0x00})) return ViscaMessage::Type::PowerInquiry;
    if (Is(body, size, {0x09, 0x00, 0x02})) return ViscaMessage::Type::VersionInquiry;
    if (Is(body, size, {0x09, 0x04, 0x47})) return ViscaMessage::Type::ZoomPositionInquiry;
    return ViscaMessage::Type::Unknown;
}

ViscaBytes Reply(std::uint8_t address, std::initializer_list<std::uint8_t> body)
{
    ViscaBytes bytes(body.size() + 2);
    bytes.front() = static_cast<std::uint8_t>((address + 8) << 4);
    std::copy(body.begin(), body.end(), bytes.begin() + 1);
    bytes.back() = Terminator;
    return bytes;
}

}  // namespace

ViscaMessage ClassifyViscaMessage(const std::uint8_t* data, std::size_t size)
{
    ViscaMessage message;
    if (size == 0) return message;
    const std::uint8_t header = data[0];
    const bool addressed = header >= 0x81 && header <= 0x87;
    if (addressed) message.address = static_cast<std::uint8_t>(header & 0x07);
    if ((!addressed && header != Broadcast) || size < 3 || size > 16 || data[size - 1] != Terminator) {
        return message;
    }
    const std::uint8_t* body = data + 1;
    const std::size_t bodySize = size - 2;
    for (std::size_t i = 0; i < bodySize; ++i) {
        if (body[i] == Terminator) return message;
    }

    message.type = ViscaMessage::Type::Unknown;
    if (!addressed) {
        if (bodySize == 2 && body[0] == 0x30 && body[1] >= 1 && body[1] <= 7) {
            message.type = ViscaMessage::Type::AddressSet;
            message.number = body[1];
        } else if (Is(body, bodySize, {0x01, 0x00, 0x01})) {
            message.type = ViscaMessage::Type::IfClearBroadcast;
        }
        return message;
    }
    if (bodySize >= 4 && body[0] == 0x01 && ReadCommand(body, bodySize, message)) {
        message.type = ViscaMessage::Type::Command;
        return message;
    }
    message.type = ReadOther(body, bodySize);
    return message;
}

ViscaBytes ViscaAck(std::uint8_t address)
{
    return Reply(address, {0x41});
}

ViscaBytes ViscaCompletion(std::uint8_t address)
{
    return Reply(address, {0x51});
}

ViscaBytes ViscaIfClearDone(std::uint8_t address)
{
    return Reply(address, {0x50});
}

ViscaBytes ViscaSyntaxError(std::uint8_t address)
{
    return Reply(address, {0x60, 0x02});
}

ViscaBytes ViscaBufferFull(std::uint8_t address)
{
    return Reply(address, {0x60, 0x03});
}

ViscaBytes ViscaNotExecutable(std::uint8_t address)
{
    return Reply(address, {0x61, 0x41});
}

ViscaBytes ViscaPowerOn(std::uint8_t address)
{
    return Reply(address, {0x50, 0x02});
}

std::uint16_t ViscaRomVersion()
{
    static_assert(VELMORA_VERSION_MAJOR < 0xFF && VELMORA_VERSION_MINOR < 16 && VELMORA_VERSION_PATCH < 16,
                  "the version inquiry's ROM version holds major.minor.patch as 8, 4 and 4 bits");
    return VELMORA_VERSION_MAJOR << 8 | VELMORA_VERSION_MINOR << 4 | VELMORA_VERSION_PATCH;
}

ViscaBytes ViscaVersion(std::uint8_t address)
{
    const std::uint16_t rom = ViscaRomVersion();
    const auto high = [](std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); };
    const auto low = [](std::uint16_t value) { return static_cast<std::uint8_t>(value & 0xFF); };
    return Reply(address, {0x50, high(ViscaVendorId), low(ViscaVendorId), high(ViscaModelId),
                           low(ViscaModelId), high(rom), low(rom), ViscaSocketCount});
}

ViscaBytes ViscaZoomPosition(std::uint8_t address, std::uint16_t position)
{
    const auto nibble = [position](int shift) {
        return static_cast<std::uint8_t>((position >> shift) & 0x0F);
    };
    return Reply(address, {0x50, nibble(12), nibble(8), nibble(4), nibble(0)});
}

ViscaBytes ViscaAddressSetReply(int firstAddress)
{
    return {Broadcast, 0x30, static_cast<std::uint8_t>(firstAddress + 1), Terminator};
}

ViscaBytes ViscaIfClearBroadcastReply()
{
    return {Broadcast, 0x01, 0x00, 0x01, Terminator};
}

std::uint16_t ScaleViscaZoom(std::int32_t value, std::int32_t minimum, std::int32_t maximum)
{
    constexpr std::int64_t Top = 0x4000;
    std::int64_t span = std::int64_t{maximum} - minimum;
    std::int64_t offset = std::int64_t{value} - minimum;
    if (span == 0) return 0;
    if (span < 0) {
        span = -span;
        offset = -offset;
    }
    if (offset <= 0) return 0;
    if (offset >= span) return static_cast<std::uint16_t>(Top);
    return static_cast<std::uint16_t>((offset * Top + span / 2) / span);
}

}  // namespace velmora::bridge
