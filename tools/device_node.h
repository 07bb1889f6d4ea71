// Another name of a device node, as device paths carry it.
#pragma once

#include <optional>
#include <string>

namespace velmoractl {

// For a character device node ("/dev/video0"), its "/dev/char/MAJOR:MINOR" name; nullopt for
// anything else, and on platforms without such names.
std::optional<std::string> CharacterDeviceName(const std::string& path);

}  // namespace velmoractl
