#include "tests/e2e/firmware_adapter.h"

#include <algorithm>

#include "platform/sim/register_firmware.h"

namespace velmora::e2e {

namespace {

sim::RegisterFirmwareConfig PresetConfig()
{
    sim::RegisterFirmwareConfig config;
    for (std::uint32_t i = 0; i < StatusRegisterCount; ++i) {
        config.statusRegisters[i] = StatusRegisterBase + StatusRegisterFirst + i;
    }
    config.registers[PresetRegister] = PresetRegisterValue;
    config.text = PresetText;
    return config;
}

class RegisterControl : public XuFirmware {
public:
    RegisterControl() : m_firmware(PresetConfig()) {}

    void Write(const std::vector<std::uint8_t>& bytes) override
    {
        m_incoming.insert(m_incoming.end(), bytes.begin(), bytes.end());
        if (m_incoming.size() < RegisterPacketSize) return;
        RegisterPacket request;
        std::copy_n(m_incoming.begin(), RegisterPacketSize, request.begin());
        m_incoming.clear();
        m_response = m_firmware.Handle(request);
        m_readOffset = 0;
    }

    std::vector<std::uint8_t> Read(std::size_t length) override
    {
        std::vector<std::uint8_t> out(length, 0);
        for (std::size_t i = 0; i < length && m_readOffset + i < RegisterPacketSize; ++i) {
            out[i] = m_response[m_readOffset + i];
        }
        m_readOffset += length;
        if (m_readOffset >= RegisterPacketSize) m_readOffset = 0;
        return out;
    }

private:
    sim::RegisterFirmware m_firmware;
    std::vector<std::uint8_t> m_incoming;
    RegisterPacket m_response{};  // the control holds zeros until the first request
    std::size_t m_readOffset = 0;
};

}  // namespace

std::unique_ptr<XuFirmware> MakeRegisterFirmware(const ExtensionUnitModel&)
{
    return std::make_unique<RegisterControl>();
}

}  // namespace velmora::e2e
