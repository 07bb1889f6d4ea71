#include "tools/device_node.h"

namespace velmoractl {

std::optional<std::string> CharacterDeviceName(const std::string&)
{
    return std::nullopt;
}

}  // namespace velmoractl
