#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "tools/device_node.h"

namespace velmoractl {

std::optional<std::string> CharacterDeviceName(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) return std::nullopt;
    return "/dev/char/" + std::to_string(major(status.st_rdev)) + ":" + std::to_string(minor(status.st_rdev));
}

}  // namespace velmoractl
