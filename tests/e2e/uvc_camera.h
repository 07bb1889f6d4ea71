// The emulated camera's answers to control transfers: standard requests, UVC class requests, and
// the extension-unit control handed to the register firmware. Every request is logged, one a line.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/usbip_wire.h"
#include "tests/e2e/uvc_descriptors.h"

namespace velmora::e2e {

// The register firmware behind one extension-unit control (selector 10).
class XuFirmware {
public:
    virtual ~XuFirmware() = default;
    // SET_CUR with the control's bytes.
    virtual void Write(const std::vector<std::uint8_t>& bytes) = 0;
    // GET_CUR: the control's bytes, length of them.
    virtual std::vector<std::uint8_t> Read(std::size_t length) = 0;
};

using FirmwareFactory = std::function<std::unique_ptr<XuFirmware>(const ExtensionUnitModel&)>;
using LogSink = std::function<void(const std::string& line)>;

// The outcome of one control transfer.
struct ControlResult {
    bool stall = false;
    std::vector<std::uint8_t> data;  // IN data, at most wLength bytes
};

// UVC request codes.
inline constexpr std::uint8_t UvcSetCur = 0x01;
inline constexpr std::uint8_t UvcGetCur = 0x81;
inline constexpr std::uint8_t UvcGetMin = 0x82;
inline constexpr std::uint8_t UvcGetMax = 0x83;
inline constexpr std::uint8_t UvcGetRes = 0x84;
inline constexpr std::uint8_t UvcGetLen = 0x85;
inline constexpr std::uint8_t UvcGetInfo = 0x86;
inline constexpr std::uint8_t UvcGetDef = 0x87;

inline constexpr std::uint8_t RequestErrorCodeSelector = 0x02;  // VC_REQUEST_ERROR_CODE_CONTROL

// "SET_CUR", "GET_LEN", ...; "0xNN" for others.
std::string UvcRequestName(std::uint8_t request);

class UvcCamera {
public:
    UvcCamera(CameraModel model, const FirmwareFactory& makeFirmware, LogSink log);

    const CameraModel& Model() const { return m_model; }
    const DescriptorSet& Descriptors() const { return m_descriptors; }

    // One control transfer on endpoint 0; out holds the OUT data stage.
    ControlResult Control(const SetupPacket& setup, const std::vector<std::uint8_t>& out);

    // Fault knobs, each for the next extension-unit request of its kind.
    void StallNextWrite(std::uint8_t errorCode) { m_stallWrite = errorCode; }
    void StallNextRead(std::uint8_t errorCode) { m_stallRead = errorCode; }
    void CorruptNextReadChecksum() { m_corruptRead = true; }
    // Asks to be unplugged once count more extension-unit SET_CUR (or GET_CUR) requests have been
    // answered: between two pieces of a transfer, or in the middle of a series of reads.
    void UnplugAfterWrites(int count) { m_unplugAfterWrites = count; }
    void UnplugAfterReads(int count) { m_unplugAfterReads = count; }
    // True once when such a count ran out; the server then drops the connection.
    bool TakeUnplugRequest();

    void Log(const std::string& line) const;

    // Unplugged, the camera loses power: its firmware starts afresh (a write cut between two pieces
    // is forgotten) and the configuration is undone. Fault knobs stay.
    void PowerOff();

private:
    struct Unit {
        ExtensionUnitModel model;
        std::unique_ptr<XuFirmware> firmware;
    };

    ControlResult Standard(const SetupPacket& setup, std::string& what);
    ControlResult Class(const SetupPacket& setup, const std::vector<std::uint8_t>& out, std::string& what);
    ControlResult ExtensionUnit(Unit& unit, const SetupPacket& setup, const std::vector<std::uint8_t>& out,
                                std::string& what);
    ControlResult CameraTerminal(const SetupPacket& setup, const std::vector<std::uint8_t>& out);
    ControlResult InterfaceControl(const SetupPacket& setup);
    ControlResult Streaming(const SetupPacket& setup, const std::vector<std::uint8_t>& out);
    ControlResult Stall(std::uint8_t errorCode);
    void CountTowardsUnplug(int& remaining);

    CameraModel m_model;
    FirmwareFactory m_makeFirmware;
    DescriptorSet m_descriptors;
    std::vector<Unit> m_units;
    LogSink m_log;
    std::uint8_t m_configuration = 0;
    std::uint8_t m_errorCode = 0;
    std::int16_t m_zoom;
    std::vector<std::uint8_t> m_probe;
    std::vector<std::uint8_t> m_commit;
    int m_stallWrite = -1;
    int m_stallRead = -1;
    bool m_corruptRead = false;
    int m_unplugAfterWrites = -1;
    int m_unplugAfterReads = -1;
    bool m_unplugDue = false;
};

// Lower-case hexadecimal of bytes, no separators.
std::string HexBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace velmora::e2e
