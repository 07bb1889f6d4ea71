// The register side of a camera's vendor extension unit: executes 12-byte request packets and
// produces their responses. Depends on the C++ standard library and the packet library only, so a
// USB camera emulator runs the same code as the simulated camera.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "xu/register_packet.h"

namespace velmora::sim {

struct RegisterFirmwareConfig {
    std::array<std::uint32_t, StatusRegisterCount> statusRegisters{};  // registers 376 to 399
    std::map<std::uint32_t, std::uint32_t> registers;                  // initial values of any register
    std::string text;                                                  // content of the string registers
    std::optional<std::uint32_t> reportedTextLength;  // what reading 228 answers instead of the length
    bool corruptChecksum = false;                     // every response carries a wrong checksum
    bool foreignMarker = false;  // every response carries another marker and address, rightly checksummed
};

// One executed request, decoded.
struct RegisterTransaction {
    bool read = false;
    std::uint8_t command = 0;  // as received, bit 7 included
    std::uint32_t address = 0;
    std::uint8_t param = 0;
    std::uint32_t data = 0;  // the value written, or the value answered
};

class RegisterFirmware {
public:
    // The control keys' register and command byte.
    static constexpr std::uint32_t KeyRegister = 1;
    static constexpr std::uint8_t KeyCommand = 0x16;
    // The log keeps the most recent transactions only.
    static constexpr std::size_t LogLimit = 65536;

    explicit RegisterFirmware(RegisterFirmwareConfig config = {});

    // Executes one request and returns the response the control holds afterwards: for a read, the
    // register's value in a checksummed packet; for a write, the request echoed. A request with a wrong
    // marker or checksum is not executed and is echoed unchanged.
    //
    // Registers: a write stores its data, a read answers it (a register never written answers its
    // configured value, else 0). The string registers: writing 228 starts a text, each write of 229
    // appends its low byte, writing 230 with the number of bytes appended ends it and makes it the
    // content (another number discards it); reading 228 answers the content's length and rewinds,
    // each read of 229 answers the next byte (0 past the end).
    RegisterPacket Handle(const RegisterPacket& request);

    // The value a read of address answers (not for 228 and 229, which answer the string).
    std::uint32_t Register(std::uint32_t address) const;
    const std::string& Text() const { return m_text; }
    // Faults and configured values take effect from the next request.
    RegisterFirmwareConfig& Settings() { return m_config; }

    const std::deque<RegisterTransaction>& Transactions() const { return m_log; }
    // The data of every write to KeyRegister with KeyCommand, in order.
    std::vector<std::uint32_t> KeyCodes() const;
    std::size_t RejectedRequests() const { return m_rejected; }
    void ClearLog() { m_log.clear(); }

private:
    std::uint32_t Read(std::uint32_t address);
    void Write(std::uint32_t address, std::uint32_t data);
    void Log(const RegisterTransaction& transaction);

    RegisterFirmwareConfig m_config;
    std::map<std::uint32_t, std::uint32_t> m_written;
    std::string m_text;
    std::string m_incoming;  // a text being written
    bool m_receivingText = false;
    std::size_t m_textReadPosition = 0;
    std::deque<RegisterTransaction> m_log;
    std::size_t m_rejected = 0;
};

}  // namespace velmora::sim
