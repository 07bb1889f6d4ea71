// Builds USB descriptor sets of UVC cameras as sysfs `descriptors` holds them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/guid.h"

namespace velmora::linux_test {

using Bytes = std::vector<std::uint8_t>;

// Appends descriptors in order.
class DescriptorBuilder {
public:
    DescriptorBuilder& Device(std::uint16_t vendorId, std::uint16_t productId,
                              std::uint8_t configurations = 1);
    DescriptorBuilder& Configuration(std::uint8_t value, std::uint8_t interfaces);
    DescriptorBuilder& Association(std::uint8_t firstInterface, std::uint8_t count,
                                   std::uint8_t functionClass, std::uint8_t subclass);
    DescriptorBuilder& Interface(std::uint8_t number, std::uint8_t alternate, std::uint8_t endpoints,
                                 std::uint8_t interfaceClass, std::uint8_t subclass);
    DescriptorBuilder& Endpoint(std::uint8_t address, std::uint8_t attributes, std::uint16_t maxPacket,
                                std::uint8_t interval);

    // Video control.
    DescriptorBuilder& VideoControlHeader(std::uint16_t bcdUvc, const Bytes& streamingInterfaces);
    DescriptorBuilder& CameraTerminal(std::uint8_t terminalId);
    DescriptorBuilder& ProcessingUnit(std::uint8_t unitId, std::uint8_t sourceId);
    DescriptorBuilder& ExtensionUnit(std::uint8_t unitId, const Guid& guid, std::uint8_t numControls,
                                     const Bytes& sources, const Bytes& controls);
    DescriptorBuilder& OutputTerminal(std::uint8_t terminalId, std::uint8_t sourceId);
    DescriptorBuilder& InterruptEndpointClass(std::uint16_t maxTransfer);

    // Video streaming.
    DescriptorBuilder& StreamingInputHeader(std::uint8_t formats, std::uint8_t endpoint,
                                            std::uint8_t terminalLink);
    DescriptorBuilder& MjpegFormat(std::uint8_t index, std::uint8_t frames);
    DescriptorBuilder& UncompressedFormat(std::uint8_t index, std::uint8_t frames);
    DescriptorBuilder& Frame(bool mjpeg, std::uint8_t index, std::uint16_t width, std::uint16_t height);
    DescriptorBuilder& ColorMatching();

    // A USB audio function: control interface with a feature unit (CS_INTERFACE subtype 6, like an
    // extension unit's) and a streaming interface.
    DescriptorBuilder& AudioFunction(std::uint8_t firstInterface);

    DescriptorBuilder& Raw(const Bytes& descriptor);

    // The bytes, with the total lengths of configurations and class-specific headers filled in.
    Bytes Build() const;

private:
    Bytes m_bytes;
};

// One extension unit of a camera layout.
struct LayoutUnit {
    std::uint8_t unitId;
    Guid guid;
    std::uint8_t numControls = 1;
    Bytes controls = {0x00, 0x02};  // selector 10
};

// A camera function: VC interface controlInterface with these extension units, then its VS interface.
Bytes UvcCamera(std::uint16_t vendorId, std::uint16_t productId, const std::vector<LayoutUnit>& units);

// Seed layouts for the descriptor fuzzer, by file name.
std::vector<std::pair<std::string, Bytes>> SeedLayouts();

// GUIDs of other vendors' units, for layouts with several extension units.
inline constexpr Guid OtherUnitGuidA{
    0x23E49ED0, 0x1178, 0x4F31, {0xAE, 0x52, 0xD2, 0xFB, 0x8A, 0x8D, 0x3B, 0x48}};
inline constexpr Guid OtherUnitGuidB{
    0xA29E7641, 0xDE04, 0x47E3, {0x8B, 0x2B, 0xF4, 0x34, 0x1A, 0xFF, 0x00, 0x3B}};

}  // namespace velmora::linux_test
