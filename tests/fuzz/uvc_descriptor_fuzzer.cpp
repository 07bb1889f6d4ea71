// Feeds arbitrary bytes to the UVC descriptor walk as if they were a camera's sysfs `descriptors`.
#include <cstddef>
#include <cstdint>

#include "platform/guid.h"
#include "platform/linux/uvc_descriptors.h"

using velmora::linux_backend::FindExtensionUnit;
using velmora::linux_backend::ParseExtensionUnits;
using velmora::linux_backend::UvcFunction;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The usual places of a camera's video-control interface, in the first or a chosen configuration.
    const UvcFunction functions[] = {{0, 0}, {0, 1}, {1, 0}, {2, 2}};
    for (const UvcFunction& function : functions) {
        const auto units = ParseExtensionUnits(data, size, function);
        std::size_t used = 0;
        for (const auto& unit : units) used += 24 + unit.controls.size();
        // Every unit is a descriptor of its own inside the input.
        if (used > size) __builtin_trap();
        (void)FindExtensionUnit(units, velmora::DefaultXuPropertySet);
    }
    return 0;
}
