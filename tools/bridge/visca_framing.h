// The two framings of VISCA in UDP datagrams: the 8-byte VISCA-over-IP header (payload type, payload
// length, sequence number) before the message, or the bare message. Replies go back in the framing
// the request came in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora::bridge {

enum class ViscaFraming { Bare, Header };

// Payload types of the header.
inline constexpr std::uint16_t ViscaCommandType = 0x0100;
inline constexpr std::uint16_t ViscaInquiryType = 0x0110;
inline constexpr std::uint16_t ViscaReplyType = 0x0111;
inline constexpr std::uint16_t ViscaDeviceSettingType = 0x0120;
inline constexpr std::uint16_t ViscaControlType = 0x0200;
inline constexpr std::uint16_t ViscaControlReplyType = 0x0201;
inline constexpr std::size_t ViscaHeaderSize = 8;
inline constexpr std::uint8_t ViscaControlReset = 0x01;  // control payload; its reply payload too

struct ViscaFrame {
    enum class Kind {
        Ignored,  // neither framing, or a reply (a controller's or another camera's): nothing to answer
        Message,  // a VISCA message, bare or after a command, inquiry or device-setting header
        Control,  // the payload of a control header
    };
    Kind kind = Kind::Ignored;
    ViscaFraming framing = ViscaFraming::Bare;
    std::uint32_t sequence = 0;  // Header only
    // The payload: the bytes after the header, or the whole bare datagram.
    const std::uint8_t* payload = nullptr;
    std::size_t payloadSize = 0;
    // Header only: the payload length field names exactly the bytes that follow the header.
    bool lengthMatches = true;
};

// Reads the framing of a datagram; payload points into data.
ViscaFrame DecodeViscaFrame(const std::uint8_t* data, std::size_t size);

using ViscaDatagram = std::vector<std::uint8_t>;

// How to frame the replies to one request.
struct ViscaReplyForm {
    ViscaFraming framing = ViscaFraming::Bare;
    std::uint32_t sequence = 0;
};

// A VISCA reply message as a datagram: bare, or after a reply header with the request's sequence number.
ViscaDatagram FrameViscaReply(const ViscaReplyForm& form, const std::vector<std::uint8_t>& message);

// The control reply to a RESET: header 02 01, the RESET's sequence number, payload 01.
ViscaDatagram ViscaResetReply(std::uint32_t sequence);

}  // namespace velmora::bridge
