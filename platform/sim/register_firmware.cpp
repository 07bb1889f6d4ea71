#include "platform/sim/register_firmware.h"

namespace velmora::sim {

namespace {

constexpr std::uint8_t ForeignMarker = 0x62;
constexpr std::uint32_t ForeignAddressOffset = 0x1000;

}  // namespace

RegisterFirmware::RegisterFirmware(RegisterFirmwareConfig config)
    : m_config(std::move(config)), m_text(m_config.text)
{
}

RegisterPacket RegisterFirmware::Handle(const RegisterPacket& request)
{
    if (request[packet_offset::Marker] != RegisterMarker || !PacketChecksumMatches(request)) {
        ++m_rejected;
        return request;
    }
    RegisterTransaction transaction;
    transaction.command = request[packet_offset::Command];
    transaction.read = IsReadCommand(transaction.command);
    transaction.address = PacketAddress(request);
    transaction.param = request[packet_offset::Param];

    RegisterPacket response = request;
    if (transaction.read) {
        transaction.data = Read(transaction.address);
        response =
            MakeRegisterPacket(transaction.command, transaction.address, transaction.param, transaction.data);
    } else {
        transaction.data = PacketData(request);
        Write(transaction.address, transaction.data);
    }
    Log(transaction);

    if (m_config.foreignMarker) {
        response = MakeRegisterPacket(transaction.command, transaction.address + ForeignAddressOffset,
                                      transaction.param, PacketData(response));
        response[packet_offset::Marker] = ForeignMarker;
        SealRegisterPacket(response);
    }
    if (m_config.corruptChecksum) response[packet_offset::Checksum] ^= 0xFF;
    return response;
}

std::uint32_t RegisterFirmware::Register(std::uint32_t address) const
{
    if (const auto written = m_written.find(address); written != m_written.end()) return written->second;
    if (const auto preset = m_config.registers.find(address); preset != m_config.registers.end()) {
        return preset->second;
    }
    if (address >= StatusRegisterFirst && address < StatusRegisterFirst + StatusRegisterCount) {
        return m_config.statusRegisters[address - StatusRegisterFirst];
    }
    return 0;
}

std::uint32_t RegisterFirmware::Read(std::uint32_t address)
{
    if (address == StringStartRegister) {
        m_textReadPosition = 0;
        return m_config.reportedTextLength.value_or(static_cast<std::uint32_t>(m_text.size()));
    }
    if (address == StringCharRegister) {
        if (m_textReadPosition >= m_text.size()) return 0;
        return static_cast<std::uint8_t>(m_text[m_textReadPosition++]);
    }
    return Register(address);
}

void RegisterFirmware::Write(std::uint32_t address, std::uint32_t data)
{
    if (address == StringStartRegister) {
        m_incoming.clear();
        m_receivingText = true;
    } else if (address == StringCharRegister) {
        if (m_receivingText) m_incoming += static_cast<char>(data & 0xFF);
    } else if (address == StringEndRegister) {
        if (m_receivingText && data == m_incoming.size()) m_text = m_incoming;
        m_incoming.clear();
        m_receivingText = false;
    } else {
        m_written[address] = data;
    }
}

void RegisterFirmware::Log(const RegisterTransaction& transaction)
{
    if (m_log.size() == LogLimit) m_log.pop_front();
    m_log.push_back(transaction);
}

std::vector<std::uint32_t> RegisterFirmware::KeyCodes() const
{
    std::vector<std::uint32_t> codes;
    for (const RegisterTransaction& transaction : m_log) {
        if (!transaction.read && transaction.address == KeyRegister && transaction.command == KeyCommand) {
            codes.push_back(transaction.data);
        }
    }
    return codes;
}

}  // namespace velmora::sim
