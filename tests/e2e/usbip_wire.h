// USB/IP messages between vhci_hcd and a device served from user space (all fields big-endian).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora::e2e {

inline constexpr std::size_t UsbipHeaderSize = 48;

inline constexpr std::uint32_t UsbipCmdSubmit = 1;
inline constexpr std::uint32_t UsbipCmdUnlink = 2;
inline constexpr std::uint32_t UsbipRetSubmit = 3;
inline constexpr std::uint32_t UsbipRetUnlink = 4;

inline constexpr std::uint32_t UsbipDirOut = 0;
inline constexpr std::uint32_t UsbipDirIn = 1;

inline constexpr std::int32_t UsbStatusStall = -32;      // -EPIPE
inline constexpr std::int32_t UsbStatusUnlinked = -104;  // -ECONNRESET

// The eight bytes of a control transfer's SETUP stage.
struct SetupPacket {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;

    bool DeviceToHost() const { return (requestType & 0x80) != 0; }
    static SetupPacket FromBytes(const std::uint8_t* bytes8);
    std::array<std::uint8_t, 8> Bytes() const;
};

// The fields of a CMD_SUBMIT or CMD_UNLINK header.
struct UsbipCommand {
    std::uint32_t command = 0;
    std::uint32_t seqnum = 0;
    std::uint32_t devid = 0;
    std::uint32_t direction = 0;
    std::uint32_t endpoint = 0;
    // CMD_SUBMIT
    std::uint32_t transferFlags = 0;
    std::int32_t transferLength = 0;
    std::int32_t startFrame = 0;
    std::int32_t numberOfPackets = 0;
    std::int32_t interval = 0;
    SetupPacket setup;
    // CMD_UNLINK
    std::uint32_t unlinkSeqnum = 0;
};

UsbipCommand ParseUsbipCommand(const std::uint8_t* header48);
std::array<std::uint8_t, UsbipHeaderSize> EncodeUsbipCommand(const UsbipCommand& command);

// RET_SUBMIT for seqnum with status and actual_length; IN data follows it on the wire.
std::array<std::uint8_t, UsbipHeaderSize> EncodeRetSubmit(std::uint32_t seqnum, std::int32_t status,
                                                          std::int32_t actualLength);
// RET_UNLINK for the unlink command's own seqnum.
std::array<std::uint8_t, UsbipHeaderSize> EncodeRetUnlink(std::uint32_t seqnum, std::int32_t status);

// Parses a RET_SUBMIT or RET_UNLINK header: command, seqnum, status and (RET_SUBMIT) actual_length.
struct UsbipReply {
    std::uint32_t command = 0;
    std::uint32_t seqnum = 0;
    std::int32_t status = 0;
    std::int32_t actualLength = 0;
};
UsbipReply ParseUsbipReply(const std::uint8_t* header48);

}  // namespace velmora::e2e
