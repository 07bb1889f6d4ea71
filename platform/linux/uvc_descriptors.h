// The extension units of a UVC camera function, read from its raw USB descriptors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/guid.h"

namespace velmora::linux_backend {

// One VC_EXTENSION_UNIT descriptor.
struct UvcExtensionUnit {
    std::uint8_t unitId = 0;             // bUnitID: the unit UVCIOC_CTRL_QUERY addresses
    Guid guid;                           // guidExtensionCode, in the Windows memory layout
    std::uint8_t numControls = 0;        // bNumControls
    std::vector<std::uint8_t> controls;  // bmControls: bit n-1 set for selector n
};

// Which video-control interface to look in.
struct UvcFunction {
    int interfaceNumber = 0;     // bInterfaceNumber of the video-control interface
    int configurationValue = 0;  // bConfigurationValue of the active configuration; 0 = the first one
};

// Walks descriptors as sysfs `descriptors` holds them (the device descriptor, then every configuration)
// and lists the extension units of one video-control interface, in descriptor order. Each descriptor
// is taken by its bLength: a bLength below 2 or past the end of the bytes ends the walk; an extension
// unit too short for its own counts is left out.
std::vector<UvcExtensionUnit> ParseExtensionUnits(const std::uint8_t* bytes, std::size_t size,
                                                  const UvcFunction& function);

// The bUnitID of the first unit whose guidExtensionCode is guid.
std::optional<std::uint8_t> FindExtensionUnit(const std::vector<UvcExtensionUnit>& units, const Guid& guid);

}  // namespace velmora::linux_backend
