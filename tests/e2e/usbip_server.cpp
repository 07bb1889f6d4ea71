#include "tests/e2e/usbip_server.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace velmora::e2e {

namespace {

// Larger OUT transfers are not something this camera takes: the connection is dropped.
constexpr std::int32_t MaxTransferLength = 1 << 20;

}  // namespace

bool ReadFully(int fd, void* buffer, std::size_t length)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (length > 0) {
        const ssize_t got = ::read(fd, bytes, length);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteFully(int fd, const void* buffer, std::size_t length)
{
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    while (length > 0) {
        const ssize_t put = ::write(fd, bytes, length);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        length -= static_cast<std::size_t>(put);
    }
    return true;
}

UsbipConnection::UsbipConnection(int fd, UvcCamera& camera) : m_fd(fd), m_camera(camera) {}

UsbipConnection::~UsbipConnection()
{
    if (m_fd >= 0) ::close(m_fd);
}

bool UsbipConnection::ServeOne()
{
    std::uint8_t header[UsbipHeaderSize];
    if (!ReadFully(m_fd, header, sizeof header)) return false;
    const UsbipCommand command = ParseUsbipCommand(header);
    if (command.command == UsbipCmdSubmit) return Submit(command);
    if (command.command == UsbipCmdUnlink) return Unlink(command);
    m_camera.Log("USBIP unknown command " + std::to_string(command.command));
    return false;
}

bool UsbipConnection::Submit(const UsbipCommand& command)
{
    if (command.transferLength < 0 || command.transferLength > MaxTransferLength ||
        command.numberOfPackets > 0) {
        m_camera.Log("USBIP refused submit of " + std::to_string(command.transferLength) + " bytes");
        return false;
    }
    const auto length = static_cast<std::size_t>(command.transferLength);
    std::vector<std::uint8_t> out;
    if (command.direction == UsbipDirOut && length > 0) {
        out.resize(length);
        if (!ReadFully(m_fd, out.data(), length)) return false;
    }

    if (command.endpoint != 0) {
        if (command.direction == UsbipDirIn && command.endpoint == (StreamingEndpoint & 0x0F)) {
            // No frames are produced: the transfer waits for its unlink.
            m_pending.insert(command.seqnum);
            return true;
        }
        m_camera.Log("USBIP transfer on endpoint " + std::to_string(command.endpoint) + " STALL");
        const auto reply = EncodeRetSubmit(command.seqnum, UsbStatusStall, 0);
        return WriteFully(m_fd, reply.data(), reply.size());
    }

    // The OUT data stage is what the transfer carried beyond the setup packet.
    const ControlResult result = m_camera.Control(command.setup, out);
    if (result.stall) {
        const auto reply = EncodeRetSubmit(command.seqnum, UsbStatusStall, 0);
        return WriteFully(m_fd, reply.data(), reply.size());
    }
    if (command.direction == UsbipDirIn) {
        const std::size_t actual = result.data.size() < length ? result.data.size() : length;
        const auto reply = EncodeRetSubmit(command.seqnum, 0, static_cast<std::int32_t>(actual));
        return WriteFully(m_fd, reply.data(), reply.size()) && WriteFully(m_fd, result.data.data(), actual);
    }
    // An OUT transfer is acknowledged with its full length: every byte was taken.
    const auto reply = EncodeRetSubmit(command.seqnum, 0, command.transferLength);
    return WriteFully(m_fd, reply.data(), reply.size());
}

bool UsbipConnection::Unlink(const UsbipCommand& command)
{
    const bool held = m_pending.erase(command.unlinkSeqnum) > 0;
    const auto reply = EncodeRetUnlink(command.seqnum, held ? UsbStatusUnlinked : 0);
    return WriteFully(m_fd, reply.data(), reply.size());
}

}  // namespace velmora::e2e
