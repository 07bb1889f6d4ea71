// Configuration of the simulated cameras: plain data and its text format.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::sim {

struct SimCameraConfig {
    std::optional<std::string> friendlyName = "USB Camera";  // nullopt: the property cannot be read
    std::optional<std::string> devicePath;
    // Enumeration faults.
    bool failBindToStorage = false;
    bool failBindToObject = false;
};

struct SimWorldConfig {
    std::vector<SimCameraConfig> cameras;
    bool failCreateEnumerator = false;       // CoCreateInstance fails
    bool failCreateClassEnumerator = false;  // CreateClassEnumerator fails
    std::string traceFile;                   // empty: no trace
};

// The two cameras that exist without a configuration file.
SimWorldConfig DefaultSimWorld();

// A Windows-style capture interface path for the given vendor and product id.
std::string SimDevicePath(std::uint16_t vendorId, std::uint16_t productId, int instance);

// Parses the text format (see README). On error returns nullopt and sets error to
// "line N: what is wrong".
std::optional<SimWorldConfig> ParseSimConfig(const std::string& text, std::string& error);
std::optional<SimWorldConfig> LoadSimConfigFile(const std::string& path, std::string& error);

}  // namespace velmora::sim
