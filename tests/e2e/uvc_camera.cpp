#include "tests/e2e/uvc_camera.h"

#include <cstdio>

namespace velmora::e2e {

namespace {

using Bytes = std::vector<std::uint8_t>;

// UVC request error codes.
constexpr std::uint8_t ErrorOutOfRange = 4;
constexpr std::uint8_t ErrorInvalidUnit = 5;
constexpr std::uint8_t ErrorInvalidControl = 6;
constexpr std::uint8_t ErrorInvalidRequest = 7;

constexpr std::uint8_t InfoGetSet = 0x03;
constexpr std::uint8_t InfoGetOnly = 0x01;
constexpr std::uint16_t ProbeLength = 26;  // UVC 1.00 probe and commit

Bytes Le16Bytes(std::uint16_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
}

ControlResult Answer(Bytes data)
{
    return ControlResult{false, std::move(data)};
}

Bytes DefaultProbe()
{
    Bytes probe(ProbeLength, 0);
    probe[0] = 1;  // bmHint: keep dwFrameInterval
    probe[2] = 1;  // bFormatIndex
    probe[3] = 1;  // bFrameIndex
    const std::uint32_t interval = 333333;
    const std::uint32_t frame = std::uint32_t{FrameWidth} * FrameHeight * 2;
    const std::uint32_t payload = frame + 2;
    for (int i = 0; i < 4; ++i) {
        probe[4 + i] = static_cast<std::uint8_t>(interval >> (8 * i));
        probe[18 + i] = static_cast<std::uint8_t>(frame >> (8 * i));
        probe[22 + i] = static_cast<std::uint8_t>(payload >> (8 * i));
    }
    return probe;
}

std::string Hex4(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

const char* StandardRequestName(std::uint8_t request)
{
    switch (request) {
        case 0:
            return "GET_STATUS";
        case 1:
            return "CLEAR_FEATURE";
        case 3:
            return "SET_FEATURE";
        case 5:
            return "SET_ADDRESS";
        case 6:
            return "GET_DESCRIPTOR";
        case 8:
            return "GET_CONFIGURATION";
        case 9:
            return "SET_CONFIGURATION";
        case 10:
            return "GET_INTERFACE";
        case 11:
            return "SET_INTERFACE";
        default:
            return "REQUEST";
    }
}

}  // namespace

std::string HexBytes(const std::vector<std::uint8_t>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 15]);
    }
    return text;
}

std::string UvcRequestName(std::uint8_t request)
{
    switch (request) {
        case UvcSetCur:
            return "SET_CUR";
        case UvcGetCur:
            return "GET_CUR";
        case UvcGetMin:
            return "GET_MIN";
        case UvcGetMax:
            return "GET_MAX";
        case UvcGetRes:
            return "GET_RES";
        case UvcGetLen:
            return "GET_LEN";
        case UvcGetInfo:
            return "GET_INFO";
        case UvcGetDef:
            return "GET_DEF";
        default: {
            char text[8];
            std::snprintf(text, sizeof text, "0x%02x", request);
            return text;
        }
    }
}

UvcCamera::UvcCamera(CameraModel model, const FirmwareFactory& makeFirmware, LogSink log)
    : m_model(std::move(model)),
      m_makeFirmware(makeFirmware),
      m_descriptors(BuildDescriptors(m_model)),
      m_log(std::move(log)),
      m_zoom(m_model.zoom),
      m_probe(DefaultProbe()),
      m_commit(DefaultProbe())
{
    for (const ExtensionUnitModel& unit : m_model.units) m_units.push_back(Unit{unit, makeFirmware(unit)});
}

void UvcCamera::PowerOff()
{
    for (Unit& unit : m_units) unit.firmware = m_makeFirmware(unit.model);
    m_configuration = 0;
    m_errorCode = 0;
}

void UvcCamera::Log(const std::string& line) const
{
    if (m_log) m_log(line);
}

ControlResult UvcCamera::Control(const SetupPacket& setup, const std::vector<std::uint8_t>& out)
{
    std::string what;
    const unsigned type = (setup.requestType >> 5) & 3;
    ControlResult result;
    if (type == 0) {
        result = Standard(setup, what);
    } else if (type == 1) {
        result = Class(setup, out, what);
    } else {
        what = "VENDOR " + Hex4(setup.request) + " " + Hex4(setup.value) + " " + Hex4(setup.index);
        result.stall = true;
    }
    if (!result.stall && result.data.size() > setup.length) result.data.resize(setup.length);

    std::string line = what;
    const Bytes& shown = setup.DeviceToHost() ? result.data : out;
    if (!result.stall && !shown.empty()) line += " " + HexBytes(shown);
    if (result.stall && !setup.DeviceToHost() && !out.empty()) line += " " + HexBytes(out);
    line += result.stall ? " STALL" : " ok";
    Log(line);
    return result;
}

ControlResult UvcCamera::Stall(std::uint8_t errorCode)
{
    m_errorCode = errorCode;
    return ControlResult{true, {}};
}

ControlResult UvcCamera::Standard(const SetupPacket& setup, std::string& what)
{
    what = std::string("STD ") + StandardRequestName(setup.request) + " " + Hex4(setup.value) + " " +
           Hex4(setup.index) + " " + std::to_string(setup.length);
    switch (setup.request) {
        case 0:  // GET_STATUS: self-powered off, no remote wake-up, endpoints not halted
            return Answer({0, 0});
        case 1:
        case 3:
        case 5:
            return Answer({});
        case 6: {
            const std::uint8_t type = static_cast<std::uint8_t>(setup.value >> 8);
            const std::uint8_t index = static_cast<std::uint8_t>(setup.value);
            if (type == 1) return Answer(m_descriptors.device);
            if (type == 2 && index == 0) return Answer(m_descriptors.configuration);
            if (type == 3) {
                Bytes text = StringDescriptor(m_model, index);
                if (!text.empty()) return Answer(text);
            }
            return ControlResult{true, {}};  // device qualifier, BOS, unknown strings
        }
        case 8:
            return Answer({m_configuration});
        case 9:
            if (setup.value > 1) return ControlResult{true, {}};
            m_configuration = static_cast<std::uint8_t>(setup.value);
            return Answer({});
        case 10:
            return Answer({0});
        case 11:
            // Only alternate setting 0 exists on either interface.
            if (setup.value != 0 || setup.index > VideoStreamingInterface) return ControlResult{true, {}};
            return Answer({});
        default:
            return ControlResult{true, {}};
    }
}

ControlResult UvcCamera::Class(const SetupPacket& setup, const std::vector<std::uint8_t>& out,
                               std::string& what)
{
    const std::uint8_t interface = static_cast<std::uint8_t>(setup.index);
    const std::uint8_t entity = static_cast<std::uint8_t>(setup.index >> 8);
    const std::uint8_t selector = static_cast<std::uint8_t>(setup.value >> 8);
    const std::string request = UvcRequestName(setup.request);
    const bool recipientInterface = (setup.requestType & 0x1F) == 1;

    if (!recipientInterface || interface > VideoStreamingInterface) {
        what = "CLASS " + Hex4(setup.requestType) + " " + request + " " + Hex4(setup.value) + " " +
               Hex4(setup.index);
        return Stall(ErrorInvalidRequest);
    }
    if (interface == VideoStreamingInterface) {
        what = "VS." + std::to_string(selector) + " " + request;
        return Streaming(setup, out);
    }
    if (entity == 0) {
        what = "VC." + std::to_string(selector) + " " + request;
        return InterfaceControl(setup);
    }
    if (entity == m_descriptors.cameraTerminalId) {
        what = "CT" + std::to_string(entity) + "." + std::to_string(selector) + " " + request;
        return CameraTerminal(setup, out);
    }
    for (Unit& unit : m_units) {
        if (unit.model.unitId == entity) {
            what = "XU" + std::to_string(entity) + "." + std::to_string(selector) + " " + request;
            return ExtensionUnit(unit, setup, out, what);
        }
    }
    what = "ENTITY" + std::to_string(entity) + "." + std::to_string(selector) + " " + request;
    return Stall(ErrorInvalidUnit);
}

void UvcCamera::CountTowardsUnplug(int& remaining)
{
    if (remaining < 0) return;
    if (remaining > 0) --remaining;
    if (remaining == 0) {
        remaining = -1;
        m_unplugDue = true;
    }
}

bool UvcCamera::TakeUnplugRequest()
{
    const bool due = m_unplugDue;
    m_unplugDue = false;
    return due;
}

ControlResult UvcCamera::ExtensionUnit(Unit& unit, const SetupPacket& setup,
                                       const std::vector<std::uint8_t>& out, std::string& what)
{
    const std::uint8_t selector = static_cast<std::uint8_t>(setup.value >> 8);
    if (selector != XuControlSelector) return Stall(ErrorInvalidControl);
    const std::size_t length = unit.model.controlLength;

    switch (setup.request) {
        case UvcGetInfo:
            m_errorCode = 0;
            return Answer({InfoGetSet});
        case UvcGetLen:
            m_errorCode = 0;
            return Answer(Le16Bytes(unit.model.controlLength));
        case UvcGetMin:
        case UvcGetDef:
        case UvcGetRes:
            m_errorCode = 0;
            return Answer(Bytes(length, 0));
        case UvcGetMax:
            m_errorCode = 0;
            return Answer(Bytes(length, 0xFF));
        case UvcSetCur:
            if (m_stallWrite >= 0) {
                const auto code = static_cast<std::uint8_t>(m_stallWrite);
                m_stallWrite = -1;
                what += " (fault)";
                return Stall(code);
            }
            if (out.size() != length || setup.length != length) return Stall(ErrorInvalidRequest);
            unit.firmware->Write(out);
            m_errorCode = 0;
            CountTowardsUnplug(m_unplugAfterWrites);
            return Answer({});
        case UvcGetCur: {
            if (m_stallRead >= 0) {
                const auto code = static_cast<std::uint8_t>(m_stallRead);
                m_stallRead = -1;
                what += " (fault)";
                return Stall(code);
            }
            if (setup.length != length) return Stall(ErrorInvalidRequest);
            Bytes response = unit.firmware->Read(length);
            response.resize(length, 0);
            if (m_corruptRead && length >= 12) {
                m_corruptRead = false;
                response[11] = static_cast<std::uint8_t>(response[11] ^ 0x5A);
                what += " (fault)";
            }
            m_errorCode = 0;
            CountTowardsUnplug(m_unplugAfterReads);
            return Answer(response);
        }
        default:
            return Stall(ErrorInvalidRequest);
    }
}

ControlResult UvcCamera::CameraTerminal(const SetupPacket& setup, const std::vector<std::uint8_t>& out)
{
    const std::uint8_t selector = static_cast<std::uint8_t>(setup.value >> 8);
    if (selector != ZoomAbsoluteSelector) return Stall(ErrorInvalidControl);
    auto value = [](std::int16_t v) { return Le16Bytes(static_cast<std::uint16_t>(v)); };
    switch (setup.request) {
        case UvcGetInfo:
            return Answer({InfoGetSet});
        case UvcGetLen:
            return Answer(Le16Bytes(2));
        case UvcGetCur:
            return Answer(value(m_zoom));
        case UvcGetMin:
            return Answer(value(ZoomMin));
        case UvcGetMax:
            return Answer(value(ZoomMax));
        case UvcGetRes:
            return Answer(value(1));
        case UvcGetDef:
            return Answer(value(ZoomMin));
        case UvcSetCur: {
            if (out.size() != 2) return Stall(ErrorInvalidRequest);
            const auto requested = static_cast<std::int16_t>(out[0] | (out[1] << 8));
            if (requested < ZoomMin || requested > ZoomMax) return Stall(ErrorOutOfRange);
            m_zoom = requested;
            m_errorCode = 0;
            return Answer({});
        }
        default:
            return Stall(ErrorInvalidRequest);
    }
}

ControlResult UvcCamera::InterfaceControl(const SetupPacket& setup)
{
    const std::uint8_t selector = static_cast<std::uint8_t>(setup.value >> 8);
    if (selector == RequestErrorCodeSelector) {
        // Reading the code leaves it as it is: it describes the request before this one.
        if (setup.request == UvcGetCur) return Answer({m_errorCode});
        if (setup.request == UvcGetInfo) return Answer({InfoGetOnly});
    }
    return Stall(ErrorInvalidControl);
}

ControlResult UvcCamera::Streaming(const SetupPacket& setup, const std::vector<std::uint8_t>& out)
{
    const std::uint8_t selector = static_cast<std::uint8_t>(setup.value >> 8);
    if (selector != 1 && selector != 2) return Stall(ErrorInvalidControl);
    Bytes& state = selector == 1 ? m_probe : m_commit;
    m_errorCode = 0;
    switch (setup.request) {
        case UvcSetCur:
            if (out.empty() || out.size() > 48) return Stall(ErrorInvalidRequest);
            // Only the UVC 1.00 fields are kept; the format and frame stay the one there is.
            for (std::size_t i = 0; i < ProbeLength && i < out.size(); ++i) state[i] = out[i];
            state[2] = 1;
            state[3] = 1;
            return Answer({});
        case UvcGetCur:
            return Answer(state);
        case UvcGetMin:
        case UvcGetMax:
        case UvcGetDef:
            return Answer(DefaultProbe());
        case UvcGetLen:
            return Answer(Le16Bytes(ProbeLength));
        case UvcGetInfo:
            return Answer({InfoGetSet});
        default:
            return Stall(ErrorInvalidRequest);
    }
}

}  // namespace velmora::e2e
