#include "tools/bridge/visca_framing.h"

namespace velmora::bridge {

namespace {

std::uint16_t ReadU16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

ViscaDatagram Header(std::uint16_t type, std::size_t length, std::uint32_t sequence)
{
    return {static_cast<std::uint8_t>(type >> 8),
            static_cast<std::uint8_t>(type & 0xFF),
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length & 0xFF),
            static_cast<std::uint8_t>(sequence >> 24),
            static_cast<std::uint8_t>(sequence >> 16 & 0xFF),
            static_cast<std::uint8_t>(sequence >> 8 & 0xFF),
            static_cast<std::uint8_t>(sequence & 0xFF)};
}

}  // namespace

ViscaFrame DecodeViscaFrame(const std::uint8_t* data, std::size_t size)
{
    ViscaFrame frame;
    if (size == 0) return frame;
    const std::uint16_t type = size >= ViscaHeaderSize ? ReadU16(data) : 0;
    const bool message =
        type == ViscaCommandType || type == ViscaInquiryType || type == ViscaDeviceSettingType;
    if (message || type == ViscaControlType) {
        frame.kind = message ? ViscaFrame::Kind::Message : ViscaFrame::Kind::Control;
        frame.framing = ViscaFraming::Header;
        frame.sequence = static_cast<std::uint32_t>(ReadU16(data + 4)) << 16 | ReadU16(data + 6);
        frame.payload = data + ViscaHeaderSize;
        frame.payloadSize = size - ViscaHeaderSize;
        frame.lengthMatches = ReadU16(data + 2) == frame.payloadSize;
        return frame;
    }
    // A bare message starts with its header byte: 81 to 87 for a camera, 88 for all of them.
    if (data[0] >= 0x81 && data[0] <= 0x88) {
        frame.kind = ViscaFrame::Kind::Message;
        frame.payload = data;
        frame.payloadSize = size;
    }
    return frame;
}

ViscaDatagram FrameViscaReply(const ViscaReplyForm& form, const std::vector<std::uint8_t>& message)
{
    if (form.framing == ViscaFraming::Bare) return message;
    ViscaDatagram datagram = Header(ViscaReplyType, message.size(), form.sequence);
    datagram.insert(datagram.end(), message.begin(), message.end());
    return datagram;
}

ViscaDatagram ViscaResetReply(std::uint32_t sequence)
{
    ViscaDatagram datagram = Header(ViscaControlReplyType, 1, sequence);
    datagram.push_back(ViscaControlReset);
    return datagram;
}

}  // namespace velmora::bridge
