#include "platform/sim/sim_config.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>
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

// Decimal, or hexadecimal after 0x, with an optional minus sign; the whole text must convert.
std::optional<std::int64_t> ParseInteger(const std::string& text)
{
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && digits.front() == '-') {
        negative = true;
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    const auto value = static_cast<std::int64_t>(magnitude);
    return negative ? -value : value;
}

std::optional<std::int64_t> ParseInRange(const std::string& text, std::int64_t minimum, std::int64_t maximum)
{
    const auto value = ParseInteger(text);
    if (!value || *value < minimum || *value > maximum) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> ParseUnsigned32(const std::string& text)
{
    const auto value = ParseInRange(text, 0, std::numeric_limits<std::uint32_t>::max());
    if (!value) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

// "value minimum maximum step".
std::optional<SimCameraAxis> ParseAxis(const std::string& text)
{
    const auto words = Words(text);
    if (words.size() != 4) return std::nullopt;
    std::int32_t fields[4];
    for (int i = 0; i < 4; ++i) {
        const auto value = ParseInRange(words[i], std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::int32_t>::max());
        if (!value) return std::nullopt;
        fields[i] = static_cast<std::int32_t>(*value);
    }
    return SimCameraAxis{fields[0], fields[1], fields[2], fields[3]};
}

// Applies one key of a [camera] section; returns what is wrong, or an empty text.
std::string ApplyCameraKey(SimCameraConfig& camera, const std::string& key, const std::string& value)
{
    const struct {
        const char* key;
        bool SimCameraConfig::*field;
    } toggles[] = {
        {"fail_storage", &SimCameraConfig::failBindToStorage},
        {"fail_storage_at_fill", &SimCameraConfig::failStorageAtFill},
        {"fail_bind", &SimCameraConfig::failBindToObject},
        {"fail_ks_query", &SimCameraConfig::failKsQuery},
        {"fail_alloc", &SimCameraConfig::failAlloc},
        {"fail_camera_control", &SimCameraConfig::failCameraControl},
        {"vanished", &SimCameraConfig::vanished},
    };
    for (const auto& toggle : toggles) {
        if (key != toggle.key) continue;
        const auto flag = ParseBool(value);
        if (!flag) return "expected a boolean for " + key;
        camera.*toggle.field = *flag;
        return {};
    }
    if (key == "name") {
        camera.friendlyName = value;
    } else if (key == "path") {
        camera.devicePath = value;
    } else if (key == "no_name" || key == "no_path") {
        const auto flag = ParseBool(value);
        if (!flag) return "expected a boolean for " + key;
        if (*flag) (key == "no_name" ? camera.friendlyName : camera.devicePath).reset();
    } else if (key == "corrupt_checksum" || key == "foreign_marker") {
        const auto flag = ParseBool(value);
        if (!flag) return "expected a boolean for " + key;
        (key == "corrupt_checksum" ? camera.firmware.corruptChecksum : camera.firmware.foreignMarker) = *flag;
    } else if (key == "control_size") {
        const auto size = ParseInRange(value, 1, 0xFFFF);
        if (!size) return "expected a control size from 1 to 65535";
        camera.controlSize = static_cast<std::uint32_t>(*size);
    } else if (key == "xu_guid") {
        const auto guid = ParseGuid(value);
        if (!guid) return "expected a GUID for xu_guid";
        camera.xuPropertySet = *guid;
    } else if (key == "xu_node") {
        const auto node = ParseUnsigned32(value);
        if (!node) return "expected a node id for xu_node";
        camera.xuNode = *node;
    } else if (key == "zoom" || key == "roll") {
        const auto axis = ParseAxis(value);
        if (!axis) return "expected value minimum maximum step for " + key;
        (key == "zoom" ? camera.zoom : camera.roll) = *axis;
    } else if (key == "status") {
        const auto words = Words(value);
        if (words.empty() || words.size() > StatusRegisterCount)
            return "expected 1 to 24 status register values";
        for (std::size_t i = 0; i < words.size(); ++i) {
            const auto registerValue = ParseUnsigned32(words[i]);
            if (!registerValue) return "expected a 32-bit value, not " + words[i];
            camera.firmware.statusRegisters[i] = *registerValue;
        }
    } else if (key == "register") {
        const auto words = Words(value);
        const auto address = words.size() == 2 ? ParseUnsigned32(words[0]) : std::nullopt;
        const auto registerValue = words.size() == 2 ? ParseUnsigned32(words[1]) : std::nullopt;
        if (!address || !registerValue) return "expected an address and a 32-bit value";
        camera.firmware.registers[*address] = *registerValue;
    } else if (key == "string") {
        camera.firmware.text = value;
    } else if (key == "string_length") {
        const auto length = ParseUnsigned32(value);
        if (!length) return "expected a 32-bit length for string_length";
        camera.firmware.reportedTextLength = *length;
    } else if (key == "size_query") {
        if (value == "more_data") {
            camera.sizeQuery = SizeQueryAnswer::MoreData;
        } else if (value == "ok") {
            camera.sizeQuery = SizeQueryAnswer::Ok;
        } else if (value == "zero") {
            camera.sizeQuery = SizeQueryAnswer::Zero;
        } else {
            return "expected more_data, ok or zero for size_query";
        }
    } else if (key == "ks_query_status") {
        const auto status = ParseUnsigned32(value);
        if (!status || !Failed(StatusFromBits(*status)))
            return "expected a failure status for ks_query_status";
        camera.failKsQuery = true;
        camera.ksQueryFailure = StatusFromBits(*status);
    } else if (key == "fail_piece") {
        const auto piece = ParseUnsigned32(value);
        if (!piece) return "expected a request number for fail_piece";
        camera.failPiece = *piece;
    } else if (key == "vanish_after") {
        const auto count = ParseUnsigned32(value);
        if (!count) return "expected a request number for vanish_after";
        camera.vanishAfter = *count;
    } else {
        return "unknown key " + key + " in [camera]";
    }
    return {};
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
                (key == "fail_enumerator" ? world.failCreateEnumerator : world.failCreateClassEnumerator) =
                    *flag;
            } else {
                return fail("unknown key " + key + " in [sim]");
            }
            continue;
        }
        if (!camera) return fail("key " + key + " outside a section");
        const std::string problem = ApplyCameraKey(*camera, key, value);
        if (!problem.empty()) return fail(problem);
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
