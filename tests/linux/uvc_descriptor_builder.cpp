#include "tests/linux/uvc_descriptor_builder.h"

#include <algorithm>
#include <array>

namespace velmora::linux_test {

namespace {

void Put16(Bytes& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Prepends bLength to the rest of a descriptor.
Bytes Descriptor(std::uint8_t type, const Bytes& body)
{
    Bytes bytes(body.size() + 2);
    bytes[0] = static_cast<std::uint8_t>(bytes.size());
    bytes[1] = type;
    std::copy(body.begin(), body.end(), bytes.begin() + 2);
    return bytes;
}

constexpr std::uint8_t ClassInterface = 0x24;
constexpr std::uint8_t ClassEndpoint = 0x25;

}  // namespace

DescriptorBuilder& DescriptorBuilder::Raw(const Bytes& descriptor)
{
    m_bytes.insert(m_bytes.end(), descriptor.begin(), descriptor.end());
    return *this;
}

DescriptorBuilder& DescriptorBuilder::Device(std::uint16_t vendorId, std::uint16_t productId,
                                             std::uint8_t configurations)
{
    Bytes body{0x00, 0x02, 0xEF, 0x02, 0x01, 0x40};  // USB 2.0, interface association class, 64-byte EP0
    Put16(body, vendorId);
    Put16(body, productId);
    Put16(body, 0x0100);
    body.insert(body.end(), {0x01, 0x02, 0x03, configurations});
    return Raw(Descriptor(0x01, body));
}

DescriptorBuilder& DescriptorBuilder::Configuration(std::uint8_t value, std::uint8_t interfaces)
{
    Bytes body;
    Put16(body, 0);  // wTotalLength, filled in by Build
    body.insert(body.end(), {interfaces, value, 0x00, 0x80, 0xFA});
    return Raw(Descriptor(0x02, body));
}

DescriptorBuilder& DescriptorBuilder::Association(std::uint8_t firstInterface, std::uint8_t count,
                                                  std::uint8_t functionClass, std::uint8_t subclass)
{
    return Raw(Descriptor(0x0B, {firstInterface, count, functionClass, subclass, 0x00, 0x02}));
}

DescriptorBuilder& DescriptorBuilder::Interface(std::uint8_t number, std::uint8_t alternate,
                                                std::uint8_t endpoints, std::uint8_t interfaceClass,
                                                std::uint8_t subclass)
{
    return Raw(Descriptor(0x04, {number, alternate, endpoints, interfaceClass, subclass, 0x00, 0x02}));
}

DescriptorBuilder& DescriptorBuilder::Endpoint(std::uint8_t address, std::uint8_t attributes,
                                               std::uint16_t maxPacket, std::uint8_t interval)
{
    Bytes body{address, attributes};
    Put16(body, maxPacket);
    body.push_back(interval);
    return Raw(Descriptor(0x05, body));
}

DescriptorBuilder& DescriptorBuilder::VideoControlHeader(std::uint16_t bcdUvc,
                                                         const Bytes& streamingInterfaces)
{
    Bytes body{0x01};
    Put16(body, bcdUvc);
    Put16(body, 0);  // wTotalLength
    Put32(body, 48000000);
    body.push_back(static_cast<std::uint8_t>(streamingInterfaces.size()));
    body.insert(body.end(), streamingInterfaces.begin(), streamingInterfaces.end());
    return Raw(Descriptor(ClassInterface, body));
}

DescriptorBuilder& DescriptorBuilder::CameraTerminal(std::uint8_t terminalId)
{
    Bytes body{0x02, terminalId};
    Put16(body, 0x0201);
    body.insert(body.end(), {0x00, 0x00});
    Put16(body, 0);
    Put16(body, 0);
    Put16(body, 0);
    body.insert(body.end(), {0x03, 0x0A, 0x02, 0x00});  // auto exposure, focus, zoom
    return Raw(Descriptor(ClassInterface, body));
}

DescriptorBuilder& DescriptorBuilder::ProcessingUnit(std::uint8_t unitId, std::uint8_t sourceId)
{
    Bytes body{0x05, unitId, sourceId};
    Put16(body, 0x4000);
    body.insert(body.end(), {0x02, 0x5F, 0x17, 0x00});
    return Raw(Descriptor(ClassInterface, body));
}

DescriptorBuilder& DescriptorBuilder::ExtensionUnit(std::uint8_t unitId, const Guid& guid,
                                                    std::uint8_t numControls, const Bytes& sources,
                                                    const Bytes& controls)
{
    Bytes body{0x06, unitId};
    const auto guidBytes = GuidBytes(guid);
    body.insert(body.end(), guidBytes.begin(), guidBytes.end());
    body.push_back(numControls);
    body.push_back(static_cast<std::uint8_t>(sources.size()));
    body.insert(body.end(), sources.begin(), sources.end());
    body.push_back(static_cast<std::uint8_t>(controls.size()));
    body.insert(body.end(), controls.begin(), controls.end());
    body.push_back(0x00);  // iExtension
    return Raw(Descriptor(ClassInterface, body));
}

DescriptorBuilder& DescriptorBuilder::OutputTerminal(std::uint8_t terminalId, std::uint8_t sourceId)
{
    Bytes body{0x03, terminalId};
    Put16(body, 0x0101);
    body.insert(body.end(), {0x00, sourceId, 0x00});
    return Raw(Descriptor(ClassInterface, body));
}

DescriptorBuilder& DescriptorBuilder::InterruptEndpointClass(std::uint16_t maxTransfer)
{
    Bytes body{0x03};
    Put16(body, maxTransfer);
    return Raw(Descriptor(ClassEndpoint, body));
}

DescriptorBuilder& DescriptorBuilder::StreamingInputHeader(std::uint8_t formats, std::uint8_t endpoint,
                                                           std::uint8_t terminalLink)
{
    Bytes body{0x01, formats};
    Put16(body, 0);  // wTotalLength
    body.insert(body.end(), {endpoint, 0x00, terminalLink, 0x00, 0x00, 0x00, 0x01});
    for (std::uint8_t i = 0; i < formats; ++i) body.push_back(0x00);
    return Raw(Descriptor(ClassInterface, body));
}

DescriptorBuilder& DescriptorBuilder::MjpegFormat(std::uint8_t index, std::uint8_t frames)
{
    return Raw(Descriptor(ClassInterface, {0x06, index, frames, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}));
}

DescriptorBuilder& DescriptorBuilder::UncompressedFormat(std::uint8_t index, std::uint8_t frames)
{
    Bytes body{0x04, index, frames};
    // YUY2
    body.insert(body.end(), {0x59, 0x55, 0x59, 0x32, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00,
                             0x38, 0x9B, 0x71});
    body.insert(body.end(), {0x10, 0x01, 0x00, 0x00, 0x00, 0x00});
    return Raw(Descriptor(ClassInterface, body));
}

DescriptorBuilder& DescriptorBuilder::Frame(bool mjpeg, std::uint8_t index, std::uint16_t width,
                                            std::uint16_t height)
{
    const std::uint32_t frameBytes = static_cast<std::uint32_t>(width) * height * 2;
    Bytes body{static_cast<std::uint8_t>(mjpeg ? 0x07 : 0x05), index, 0x00};
    Put16(body, width);
    Put16(body, height);
    Put32(body, frameBytes * 8 * 5);
    Put32(body, frameBytes * 8 * 30);
    Put32(body, frameBytes);
    Put32(body, 333333);
    body.push_back(0x02);
    Put32(body, 333333);
    Put32(body, 2000000);
    return Raw(Descriptor(ClassInterface, body));
}

DescriptorBuilder& DescriptorBuilder::ColorMatching()
{
    return Raw(Descriptor(ClassInterface, {0x0D, 0x01, 0x01, 0x04}));
}

DescriptorBuilder& DescriptorBuilder::AudioFunction(std::uint8_t first)
{
    Association(first, 2, 0x01, 0x02);
    Interface(first, 0, 0, 0x01, 0x01);
    Bytes header{0x01, 0x00, 0x01, 0x00, 0x00, 0x01, static_cast<std::uint8_t>(first + 1)};
    Raw(Descriptor(ClassInterface, header));
    Raw(Descriptor(ClassInterface,
                   {0x02, 0x01, 0x01, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));  // microphone
    Raw(Descriptor(ClassInterface, {0x06, 0x02, 0x01, 0x01, 0x03, 0x00, 0x00}));    // feature unit
    Raw(Descriptor(ClassInterface, {0x03, 0x03, 0x01, 0x01, 0x00, 0x02, 0x00}));
    Interface(static_cast<std::uint8_t>(first + 1), 0, 0, 0x01, 0x02);
    Interface(static_cast<std::uint8_t>(first + 1), 1, 1, 0x01, 0x02);
    Raw(Descriptor(ClassInterface, {0x01, 0x03, 0x01, 0x01, 0x00}));  // AS_GENERAL, PCM
    Raw(Descriptor(ClassInterface, {0x02, 0x01, 0x01, 0x02, 0x10, 0x01, 0x80, 0x3E, 0x00}));
    Endpoint(0x84, 0x05, 0x0020, 0x04);
    return Raw(Descriptor(ClassEndpoint, {0x01, 0x00, 0x00, 0x00, 0x00}));
}

Bytes DescriptorBuilder::Build() const
{
    Bytes bytes = m_bytes;
    auto put16At = [&](std::size_t at, std::size_t value) {
        bytes[at] = static_cast<std::uint8_t>(value);
        bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
    };
    // Where a span of descriptors ends: the next descriptor whose type is in stops, or the end.
    auto spanEnd = [&](std::size_t from, std::array<std::uint8_t, 4> stops) {
        std::size_t at = from + bytes[from];
        while (at + 1 < bytes.size() && bytes[at] != 0) {
            for (std::uint8_t stop : stops) {
                if (bytes[at + 1] == stop) return at;
            }
            at += bytes[at];
        }
        return bytes.size();
    };
    std::uint8_t interfaceClass = 0;
    std::uint8_t interfaceSubclass = 0;
    for (std::size_t at = 0; at + 1 < bytes.size() && bytes[at] != 0; at += bytes[at]) {
        const std::uint8_t type = bytes[at + 1];
        if (type == 0x02) put16At(at + 2, spanEnd(at, {0x02, 0x02, 0x02, 0x02}) - at);
        if (type == 0x04) {
            interfaceClass = bytes[at + 5];
            interfaceSubclass = bytes[at + 6];
        }
        if (type == ClassInterface && bytes[at + 2] == 0x01) {
            const std::size_t total = spanEnd(at, {0x02, 0x04, 0x05, 0x0B}) - at;
            if (interfaceClass == 0x0E && interfaceSubclass == 0x02) put16At(at + 4, total);
            if (interfaceSubclass == 0x01) put16At(at + 5, total);
        }
    }
    return bytes;
}

namespace {

// A video function: interface first (control) and first + 1 (streaming), with these units.
void AddCameraFunction(DescriptorBuilder& builder, std::uint8_t first, const std::vector<LayoutUnit>& units,
                       std::uint16_t bcdUvc = 0x0100)
{
    const std::uint8_t streaming = static_cast<std::uint8_t>(first + 1);
    const std::uint8_t endpoint = static_cast<std::uint8_t>(0x81 + first);
    builder.Association(first, 2, 0x0E, 0x03);
    builder.Interface(first, 0, 1, 0x0E, 0x01).VideoControlHeader(bcdUvc, {streaming});
    builder.CameraTerminal(1).ProcessingUnit(2, 1);
    std::uint8_t source = 2;
    for (const LayoutUnit& unit : units) {
        builder.ExtensionUnit(unit.unitId, unit.guid, unit.numControls, {source}, unit.controls);
        source = unit.unitId;
    }
    builder.OutputTerminal(15, source).Endpoint(static_cast<std::uint8_t>(endpoint + 2), 0x03, 0x0010, 0x06);
    builder.InterruptEndpointClass(0x0010);
    builder.Interface(streaming, 0, 0, 0x0E, 0x02).StreamingInputHeader(2, endpoint, 15);
    builder.MjpegFormat(1, 2).Frame(true, 1, 1280, 720).Frame(true, 2, 640, 480);
    builder.UncompressedFormat(2, 1).Frame(false, 1, 640, 480).ColorMatching();
    builder.Interface(streaming, 1, 1, 0x0E, 0x02).Endpoint(endpoint, 0x05, 0x1400, 0x01);
}

}  // namespace

Bytes UvcCamera(std::uint16_t vendorId, std::uint16_t productId, const std::vector<LayoutUnit>& units)
{
    DescriptorBuilder builder;
    builder.Device(vendorId, productId).Configuration(1, 2);
    AddCameraFunction(builder, 0, units);
    return builder.Build();
}

std::vector<std::pair<std::string, Bytes>> SeedLayouts()
{
    std::vector<std::pair<std::string, Bytes>> layouts;
    const Bytes single = UvcCamera(0x1B3F, 0x2247, {{4, DefaultXuPropertySet}});
    layouts.emplace_back("single_camera", single);

    DescriptorBuilder microphone;
    microphone.Device(0x0C45, 0x6366).Configuration(1, 4);
    AddCameraFunction(microphone, 0, {{3, DefaultXuPropertySet}});
    microphone.AudioFunction(2);
    layouts.emplace_back("camera_with_microphone", microphone.Build());

    layouts.emplace_back("several_units", UvcCamera(0x046D, 0x0825,
                                                    {{3, OtherUnitGuidA, 2, {0x03}},
                                                     {4, DefaultXuPropertySet, 1, {0x00, 0x02}},
                                                     {6, OtherUnitGuidB, 8, {0xFF, 0x00, 0x00, 0x00}}}));

    DescriptorBuilder twoFunctions;
    twoFunctions.Device(0x2BDF, 0x0280).Configuration(1, 4);
    AddCameraFunction(twoFunctions, 0, {{4, DefaultXuPropertySet}});
    AddCameraFunction(twoFunctions, 2, {{9, DefaultXuPropertySet}});
    layouts.emplace_back("two_camera_functions", twoFunctions.Build());

    DescriptorBuilder twoConfigurations;
    twoConfigurations.Device(0x05A3, 0x9230, 2).Configuration(1, 2);
    AddCameraFunction(twoConfigurations, 0, {});
    twoConfigurations.Configuration(2, 2);
    AddCameraFunction(twoConfigurations, 0, {{5, DefaultXuPropertySet}});
    layouts.emplace_back("two_configurations", twoConfigurations.Build());

    DescriptorBuilder uvc15;
    uvc15.Device(0x1BCF, 0x2C99).Configuration(1, 2);
    AddCameraFunction(uvc15, 0, {}, 0x0150);
    layouts.emplace_back("uvc15_without_units", uvc15.Build());

    // Damaged sets: cut inside the extension unit, and a zero bLength before it.
    const std::size_t unitAt = 18 + 9 + 8 + 9 + 13 + 18 + 11;
    layouts.emplace_back("cut_inside_unit", Bytes(single.begin(), single.begin() + unitAt + 10));
    Bytes zeroLength = single;
    zeroLength[unitAt - 11] = 0;
    layouts.emplace_back("zero_length_before_unit", zeroLength);
    return layouts;
}

}  // namespace velmora::linux_test
