#include "xu/register_protocol.h"

#include <memory>
#include <new>

#include "xu/xu_transport.h"

namespace velmora {

Status WriteRegister(CaptureDevice* device, std::uint64_t address, std::uint64_t data, std::uint64_t param,
                     std::uint8_t command)
{
    const RegisterPacket packet = MakeRegisterPacket(command, address, param, data);
    return SetXuControl(device, RegisterSelector, packet.data(), RegisterPacketSize);
}

Status ReadRegister(CaptureDevice* device, std::uint64_t address, std::uint64_t& value, std::uint64_t param,
                    std::uint8_t command)
{
    RegisterPacket packet =
        MakeRegisterPacket(static_cast<std::uint8_t>(command | RegisterReadFlag), address, param, 0);
    Status status = SetXuControl(device, RegisterSelector, packet.data(), RegisterPacketSize);
    if (status != StatusOk) return status;
    // The response replaces the request.
    status = GetXuControl(device, RegisterSelector, packet.data(), RegisterPacketSize);
    if (status != StatusOk) return status;
    if (!PacketChecksumMatches(packet)) return StatusFalse;
    value = PacketData(packet);
    return StatusOk;
}

Status WriteRegisterString(CaptureDevice* device, const std::u16string& text)
{
    if (!device || text.empty()) return StatusFail;
    Status status = WriteRegister(device, StringStartRegister, 0, 0, StringCommand);
    if (status != StatusOk) return status;
    for (const char16_t unit : text) {
        const auto latin1 = static_cast<std::uint8_t>(unit > 0xFF ? u'?' : unit);
        // The byte travels sign-extended: 0x80..0xFF as 0xFFFFFF80..0xFFFFFFFF.
        const auto widened =
            static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int8_t>(latin1)));
        status = WriteRegister(device, StringCharRegister, widened, 0, StringCommand);
        if (status != StatusOk) return status;
    }
    return WriteRegister(device, StringEndRegister, text.size(), 0, StringCommand);
}

Status ReadRegisterString(CaptureDevice* device, std::string& text)
{
    if (!device) return StatusFail;
    text.clear();
    std::uint64_t length = 0;
    Status status = ReadRegister(device, StringStartRegister, length, 0, StringCommand);
    if (status != StatusOk) return status;
    if (length == 0) return StatusOk;
    if (length > RegisterStringMaxLength) return RegisterStringTooLong;
    // Two zero bytes beyond the text end it even when the camera sends no zero byte.
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[length + 2]());
    if (!buffer) return StatusOutOfMemory;
    for (std::uint64_t i = 0; i < length; ++i) {
        std::uint64_t character = 0;
        status = ReadRegister(device, StringCharRegister, character, 0, StringCommand);
        if (status != StatusOk) return status;
        buffer[i] = static_cast<char>(character & 0xFF);
    }
    text.assign(buffer.get());
    return StatusOk;
}

void ReadStatusRegisterBlock(CaptureDevice* device)
{
    if (!device) return;
    for (std::uint32_t i = 0; i < StatusRegisterCount; ++i) {
        std::uint64_t value = 0;
        ReadRegister(device, StatusRegisterFirst + i, value, StatusParam, StatusCommand);
    }
}

}  // namespace velmora
