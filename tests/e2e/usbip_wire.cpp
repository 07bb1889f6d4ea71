#include "tests/e2e/usbip_wire.h"

namespace velmora::e2e {

namespace {

std::uint32_t Be32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void PutBe32(std::uint8_t* p, std::uint32_t value)
{
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

SetupPacket SetupPacket::FromBytes(const std::uint8_t* bytes8)
{
    SetupPacket setup;
    setup.requestType = bytes8[0];
    setup.request = bytes8[1];
    setup.value = Le16(bytes8 + 2);
    setup.index = Le16(bytes8 + 4);
    setup.length = Le16(bytes8 + 6);
    return setup;
}

std::array<std::uint8_t, 8> SetupPacket::Bytes() const
{
    return {requestType,
            request,
            static_cast<std::uint8_t>(value),
            static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(index),
            static_cast<std::uint8_t>(index >> 8),
            static_cast<std::uint8_t>(length),
            static_cast<std::uint8_t>(length >> 8)};
}

UsbipCommand ParseUsbipCommand(const std::uint8_t* header48)
{
    UsbipCommand command;
    command.command = Be32(header48);
    command.seqnum = Be32(header48 + 4);
    command.devid = Be32(header48 + 8);
    command.direction = Be32(header48 + 12);
    command.endpoint = Be32(header48 + 16);
    if (command.command == UsbipCmdUnlink) {
        command.unlinkSeqnum = Be32(header48 + 20);
        return command;
    }
    command.transferFlags = Be32(header48 + 20);
    command.transferLength = static_cast<std::int32_t>(Be32(header48 + 24));
    command.startFrame = static_cast<std::int32_t>(Be32(header48 + 28));
    command.numberOfPackets = static_cast<std::int32_t>(Be32(header48 + 32));
    command.interval = static_cast<std::int32_t>(Be32(header48 + 36));
    command.setup = SetupPacket::FromBytes(header48 + 40);
    return command;
}

std::array<std::uint8_t, UsbipHeaderSize> EncodeUsbipCommand(const UsbipCommand& command)
{
    std::array<std::uint8_t, UsbipHeaderSize> out{};
    PutBe32(out.data(), command.command);
    PutBe32(out.data() + 4, command.seqnum);
    PutBe32(out.data() + 8, command.devid);
    PutBe32(out.data() + 12, command.direction);
    PutBe32(out.data() + 16, command.endpoint);
    if (command.command == UsbipCmdUnlink) {
        PutBe32(out.data() + 20, command.unlinkSeqnum);
        return out;
    }
    PutBe32(out.data() + 20, command.transferFlags);
    PutBe32(out.data() + 24, static_cast<std::uint32_t>(command.transferLength));
    PutBe32(out.data() + 28, static_cast<std::uint32_t>(command.startFrame));
    PutBe32(out.data() + 32, static_cast<std::uint32_t>(command.numberOfPackets));
    PutBe32(out.data() + 36, static_cast<std::uint32_t>(command.interval));
    const auto setup = command.setup.Bytes();
    for (std::size_t i = 0; i < setup.size(); ++i) out[40 + i] = setup[i];
    return out;
}

std::array<std::uint8_t, UsbipHeaderSize> EncodeRetSubmit(std::uint32_t seqnum, std::int32_t status,
                                                          std::int32_t actualLength)
{
    // devid, direction and endpoint stay 0, as the kernel's own USB/IP server sends them.
    std::array<std::uint8_t, UsbipHeaderSize> out{};
    PutBe32(out.data(), UsbipRetSubmit);
    PutBe32(out.data() + 4, seqnum);
    PutBe32(out.data() + 20, static_cast<std::uint32_t>(status));
    PutBe32(out.data() + 24, static_cast<std::uint32_t>(actualLength));
    return out;
}

std::array<std::uint8_t, UsbipHeaderSize> EncodeRetUnlink(std::uint32_t seqnum, std::int32_t status)
{
    std::array<std::uint8_t, UsbipHeaderSize> out{};
    PutBe32(out.data(), UsbipRetUnlink);
    PutBe32(out.data() + 4, seqnum);
    PutBe32(out.data() + 20, static_cast<std::uint32_t>(status));
    return out;
}

UsbipReply ParseUsbipReply(const std::uint8_t* header48)
{
    UsbipReply reply;
    reply.command = Be32(header48);
    reply.seqnum = Be32(header48 + 4);
    reply.status = static_cast<std::int32_t>(Be32(header48 + 20));
    if (reply.command == UsbipRetSubmit) reply.actualLength = static_cast<std::int32_t>(Be32(header48 + 24));
    return reply;
}

}  // namespace velmora::e2e
