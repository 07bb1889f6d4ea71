#include "platform/linux/uvc_descriptors.h"

namespace velmora::linux_backend {

namespace {

constexpr std::uint8_t DescriptorConfiguration = 0x02;
constexpr std::uint8_t DescriptorInterface = 0x04;
constexpr std::uint8_t DescriptorInterfaceAssociation = 0x0B;
constexpr std::uint8_t DescriptorClassInterface = 0x24;  // CS_INTERFACE
constexpr std::uint8_t SubtypeExtensionUnit = 0x06;      // VC_EXTENSION_UNIT
constexpr std::uint8_t ClassVideo = 0x0E;
constexpr std::uint8_t SubclassVideoControl = 0x01;

// bLength, bDescriptorType, bDescriptorSubtype, bUnitID, guidExtensionCode[16], bNumControls, bNrInPins.
constexpr std::size_t ExtensionUnitFixedHead = 22;

std::optional<UvcExtensionUnit> ParseExtensionUnit(const std::uint8_t* d, std::size_t length)
{
    if (length < ExtensionUnitFixedHead + 2) return std::nullopt;
    const std::size_t inPins = d[21];
    const std::size_t controlSizeAt = ExtensionUnitFixedHead + inPins;
    if (controlSizeAt >= length) return std::nullopt;
    const std::size_t controlSize = d[controlSizeAt];
    // bmControls, then iExtension.
    if (controlSizeAt + 1 + controlSize + 1 > length) return std::nullopt;
    UvcExtensionUnit unit;
    unit.unitId = d[3];
    unit.guid = GuidFromBytes(d + 4);
    unit.numControls = d[20];
    unit.controls.assign(d + controlSizeAt + 1, d + controlSizeAt + 1 + controlSize);
    return unit;
}

}  // namespace

std::vector<UvcExtensionUnit> ParseExtensionUnits(const std::uint8_t* bytes, std::size_t size,
                                                  const UvcFunction& function)
{
    std::vector<UvcExtensionUnit> units;
    if (!bytes) return units;
    int configurationsSeen = 0;
    bool inConfiguration = false;
    bool inVideoControl = false;
    std::size_t offset = 0;
    while (size - offset >= 2) {
        const std::uint8_t* d = bytes + offset;
        const std::size_t length = d[0];
        if (length < 2 || length > size - offset) break;
        switch (d[1]) {
            case DescriptorConfiguration:
                ++configurationsSeen;
                if (length >= 6) {
                    inConfiguration = function.configurationValue == 0 ? configurationsSeen == 1
                                                                       : d[5] == function.configurationValue;
                } else {
                    inConfiguration = false;
                }
                inVideoControl = false;
                break;
            case DescriptorInterface:
                // bInterfaceNumber, bAlternateSetting, bNumEndpoints, class, subclass.
                inVideoControl = inConfiguration && length >= 7 && d[2] == function.interfaceNumber &&
                                 d[3] == 0 && d[5] == ClassVideo && d[6] == SubclassVideoControl;
                break;
            case DescriptorInterfaceAssociation:
                inVideoControl = false;
                break;
            case DescriptorClassInterface:
                if (inVideoControl && length >= 3 && d[2] == SubtypeExtensionUnit) {
                    if (auto unit = ParseExtensionUnit(d, length)) units.push_back(std::move(*unit));
                }
                break;
            default:
                break;
        }
        offset += length;
    }
    return units;
}

std::optional<std::uint8_t> FindExtensionUnit(const std::vector<UvcExtensionUnit>& units, const Guid& guid)
{
    for (const UvcExtensionUnit& unit : units) {
        if (unit.guid == guid) return unit.unitId;
    }
    return std::nullopt;
}

}  // namespace velmora::linux_backend
