#include "devices/device_id.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>

namespace velmora {

namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The four hex digits after key ("vid_", "pid_"), or 0.
unsigned IdAfter(const std::string& lowerPath, std::string_view key)
{
    const std::size_t at = lowerPath.find(key);
    if (at == std::string::npos || at + key.size() + 4 > lowerPath.size()) return 0;
    unsigned value = 0;
    for (std::size_t i = at + key.size(); i < at + key.size() + 4; ++i) {
        const int c = static_cast<unsigned char>(lowerPath[i]);
        if (!std::isxdigit(c)) return 0;
        value = value * 16 + static_cast<unsigned>(std::isdigit(c) ? c - '0' : c - 'a' + 10);
    }
    return value;
}

std::uint32_t Fnv1a(std::string_view text)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

}  // namespace

std::string StableDeviceId(std::string_view devicePath, std::string_view serialNumber)
{
    std::string path = Lower(devicePath);
    if (const std::size_t node = path.find("#/dev/"); node != std::string::npos) path.resize(node);
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find('#', start);
        parts.push_back(path.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::string key = path;
    if (parts.size() >= 3) key = parts[1] + "#" + parts[2];
    if (!serialNumber.empty() && parts.size() >= 2) key = parts[1] + "#serial#" + std::string(serialNumber);
    char id[32];
    std::snprintf(id, sizeof id, "%04x-%04x-%08x", IdAfter(path, "vid_"), IdAfter(path, "pid_"),
                  static_cast<unsigned>(Fnv1a(key)));
    return id;
}

void DisambiguateDeviceIds(std::vector<std::string>& ids)
{
    std::map<std::string, int> seen;
    for (std::string& id : ids) {
        const int count = ++seen[id];
        if (count > 1) id += "-" + std::to_string(count);
    }
}

}  // namespace velmora
