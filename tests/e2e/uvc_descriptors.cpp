#include "tests/e2e/uvc_descriptors.h"

#include <set>

namespace velmora::e2e {

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void Set16(Bytes& out, std::size_t offset, std::size_t value)
{
    out[offset] = static_cast<std::uint8_t>(value);
    out[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint8_t FirstFreeId(const std::set<std::uint8_t>& used)
{
    std::uint8_t id = 1;
    while (used.count(id)) ++id;
    return id;
}

constexpr std::uint32_t FrameInterval = 333333;  // 30 frames per second, in 100 ns units
constexpr std::uint32_t FrameBytes = std::uint32_t{FrameWidth} * FrameHeight * 2;

}  // namespace

std::string ValidateCameraModel(const CameraModel& model)
{
    if (model.units.empty()) return "the camera needs at least one extension unit";
    std::set<std::uint8_t> ids;
    for (const ExtensionUnitModel& unit : model.units) {
        if (unit.unitId == 0) return "unit id 0 is reserved for the interface";
        if (!ids.insert(unit.unitId).second) return "unit id " + std::to_string(unit.unitId) + " repeated";
        if (unit.controlLength == 0) return "control length 0";
    }
    if (model.units.size() > 200) return "too many extension units";
    return {};
}

DescriptorSet BuildDescriptors(const CameraModel& model)
{
    DescriptorSet set;
    std::set<std::uint8_t> used;
    for (const ExtensionUnitModel& unit : model.units) used.insert(unit.unitId);
    set.cameraTerminalId = FirstFreeId(used);
    used.insert(set.cameraTerminalId);
    set.outputTerminalId = FirstFreeId(used);

    // Device: class EF/02/01 (interface association), 64-byte control endpoint, one configuration.
    Bytes& d = set.device;
    d = {18, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 64};
    Put16(d, model.vendorId);
    Put16(d, model.productId);
    Put16(d, 0x0100);
    d.insert(d.end(), {1, 2, 3, 1});

    Bytes& c = set.configuration;
    c = {9, 0x02, 0, 0, 2, 1, 0, 0x80, 250};
    // Interface association: video interface collection of the two interfaces.
    c.insert(c.end(), {8, 0x0B, VideoControlInterface, 2, 0x0E, 0x03, 0x00, 2});
    // Video control interface, no endpoint.
    c.insert(c.end(), {9, 0x04, VideoControlInterface, 0, 0, 0x0E, 0x01, 0x00, 2});

    const std::size_t header = c.size();
    c.insert(c.end(), {13, 0x24, 0x01, 0x00, 0x01, 0, 0});
    Put32(c, 48000000);
    c.insert(c.end(), {1, VideoStreamingInterface});

    // Camera terminal with zoom (absolute) as its one control.
    c.insert(c.end(), {18, 0x24, 0x02, set.cameraTerminalId, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 3});
    c.insert(c.end(), {0x00, 0x02, 0x00});

    std::uint8_t source = set.cameraTerminalId;
    for (const ExtensionUnitModel& unit : model.units) {
        c.insert(c.end(), {static_cast<std::uint8_t>(24 + 1 + 2), 0x24, 0x06, unit.unitId});
        const auto guid = GuidBytes(unit.guid);
        c.insert(c.end(), guid.begin(), guid.end());
        // One control; one source pin; bmControls of two bytes with bit (selector - 1) set.
        c.insert(c.end(), {1, 1, source, 2});
        const unsigned bit = XuControlSelector - 1u;
        Bytes controls(2, 0);
        controls[bit / 8] = static_cast<std::uint8_t>(1u << (bit % 8));
        c.insert(c.end(), controls.begin(), controls.end());
        c.push_back(0);
        source = unit.unitId;
    }
    // Output terminal: USB streaming.
    c.insert(c.end(), {9, 0x24, 0x03, set.outputTerminalId, 0x01, 0x01, 0, source, 0});
    Set16(c, header + 5, c.size() - header);

    // Video streaming interface with one bulk IN endpoint.
    c.insert(c.end(), {9, 0x04, VideoStreamingInterface, 0, 1, 0x0E, 0x02, 0x00, 0});
    const std::size_t inputHeader = c.size();
    c.insert(c.end(), {14, 0x24, 0x01, 1, 0, 0, StreamingEndpoint, 0, set.outputTerminalId, 0, 0, 0, 1, 0});
    // Uncompressed YUY2, one frame size.
    c.insert(c.end(), {27,   0x24, 0x04, 1,    1,    0x59, 0x55, 0x59, 0x32, 0x00, 0x00, 0x10, 0x00, 0x80,
                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71, 16,   1,    0,    0,    0,    0});
    c.insert(c.end(), {30, 0x24, 0x05, 1, 0});
    Put16(c, FrameWidth);
    Put16(c, FrameHeight);
    Put32(c, FrameBytes * 8 * 30);
    Put32(c, FrameBytes * 8 * 30);
    Put32(c, FrameBytes);
    Put32(c, FrameInterval);
    c.push_back(1);
    Put32(c, FrameInterval);
    // Colour matching: BT.709 primaries, BT.709 transfer, SMPTE 170M matrix.
    c.insert(c.end(), {6, 0x24, 0x0D, 1, 1, 4});
    Set16(c, inputHeader + 4, c.size() - inputHeader);
    c.insert(c.end(), {7, 0x05, StreamingEndpoint, 0x02, 0x00, 0x02, 0});

    Set16(c, 2, c.size());
    return set;
}

std::vector<std::uint8_t> StringDescriptor(const CameraModel& model, std::uint8_t index)
{
    if (index == 0) return {4, 0x03, 0x09, 0x04};
    const std::string* text = nullptr;
    if (index == 1) text = &model.manufacturer;
    if (index == 2) text = &model.product;
    if (index == 3) text = &model.serial;
    if (!text) return {};
    // ASCII only: each byte becomes one UTF-16LE code unit; at most 126 of them fit.
    const std::size_t count = text->size() < 126 ? text->size() : 126;
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(2 + 2 * count), 0x03};
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(static_cast<std::uint8_t>((*text)[i]) & 0x7F);
        out.push_back(0);
    }
    return out;
}

}  // namespace velmora::e2e
