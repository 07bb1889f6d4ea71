#include "platform/sim/sim_config.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace velmora::sim {

namespace {

std::string Trim(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return {};
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

std::optional<bool> ParseBool(const std::string& value)
{
    if (value == "1" || value == "true" || value == "yes") return true;
    if (value == "0" || value == "false" || value == "no") return false;
    return std::nullopt;
}

}  // namespace

std::string SimDevicePath(std::uint16_t vendorId, std::uint16_t productId, int instance)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "\\\\?\\usb#vid_%04x&pid_%04x&mi_00#6&2c0a%04x&0&0000#"
                  "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
                  vendorId, productId, instance);
    return text;
}

SimWorldConfig DefaultSimWorld()
{
    SimWorldConfig world;
    SimCameraConfig first;
    first.friendlyName = "USB Camera";
    first.devicePath = SimDevicePath(0xABCD, 0xEF01, 1);
    SimCameraConfig second;
    second.friendlyName = "Conference Camera";
    second.devicePath = SimDevicePath(0x1B3F, 0x2247, 2);
    world.cameras = {first, second};
    return world;
}

std::optional<SimWorldConfig> ParseSimConfig(const std::string& text, std::string& error)
{
    SimWorldConfig world;
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    SimCameraConfig* camera = nullptr;
    bool inWorld = false;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return std::nullopt;
    };
    while (std::getline(in, raw)) {
        ++lineNumber;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line == "[camera]") {
            world.cameras.emplace_back();
            world.cameras.back().devicePath =
                SimDevicePath(0xABCD, static_cast<std::uint16_t>(0xEF00 + world.cameras.size()),
                              static_cast<int>(world.cameras.size()));
            camera = &world.cameras.back();
            inWorld = false;
            continue;
        }
        if (line == "[sim]") {
            camera = nullptr;
            inWorld = true;
            continue;
        }
        if (line.front() == '[') return fail("unknown section " + line);
        const auto equals = line.find('=');
        if (equals == std::string::npos) return fail("expected key = value");
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        if (inWorld) {
            if (key == "trace") {
                world.traceFile = value;
            } else if (key == "fail_enumerator" || key == "fail_class_enumerator") {
                const auto flag = ParseBool(value);
                if (!flag) return fail("expected a boolean for " + key);
                (key == "fail_enumerator" ? world.failCreateEnumerator : world.failCreateClassEnumerator) = *flag;
            } else {
                return fail("unknown key " + key + " in [sim]");
            }
            continue;
        }
        if (!camera) return fail("key " + key + " outside a section");
        if (key == "name") {
            camera->friendlyName = value;
        } else if (key == "path") {
            camera->devicePath = value;
        } else if (key == "no_name" || key == "no_path" || key == "fail_storage" || key == "fail_bind") {
            const auto flag = ParseBool(value);
            if (!flag) return fail("expected a boolean for " + key);
            if (key == "no_name" && *flag) camera->friendlyName.reset();
            if (key == "no_path" && *flag) camera->devicePath.reset();
            if (key == "fail_storage") camera->failBindToStorage = *flag;
            if (key == "fail_bind") camera->failBindToObject = *flag;
        } else {
            return fail("unknown key " + key + " in [camera]");
        }
    }
    return world;
}

std::optional<SimWorldConfig> LoadSimConfigFile(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    std::ostringstream content;
    content << file.rdbuf();
    auto world = ParseSimConfig(content.str(), error);
    if (!world) error = path + ": " + error;
    return world;
}

}  // namespace velmora::sim
