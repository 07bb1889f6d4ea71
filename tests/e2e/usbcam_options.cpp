#include "tests/e2e/usbcam_options.h"

#include <cstdlib>

namespace velmora::e2e {

namespace {

constexpr std::uint8_t DefaultUnitId = 3;

std::optional<unsigned long> ParseNumber(const std::string& text, int base, unsigned long maximum)
{
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, base);
    if (*end != '\0' || text[0] == '-' || value > maximum) return std::nullopt;
    return value;
}

std::optional<ExtensionUnitModel> ParseUnit(const std::string& text, std::string& error)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (fields.size() > 3) {
        error = "--xu takes GUID[,UNIT[,LENGTH]]: " + text;
        return std::nullopt;
    }
    ExtensionUnitModel unit;
    unit.unitId = DefaultUnitId;
    const std::optional<Guid> guid = ParseGuid(fields[0]);
    if (!guid) {
        error = "not a GUID: " + fields[0];
        return std::nullopt;
    }
    unit.guid = *guid;
    if (fields.size() > 1) {
        const auto id = ParseNumber(fields[1], 10, 255);
        if (!id || *id == 0) {
            error = "unit id must be 1 to 255: " + fields[1];
            return std::nullopt;
        }
        unit.unitId = static_cast<std::uint8_t>(*id);
    }
    if (fields.size() > 2) {
        const auto length = ParseNumber(fields[2], 10, 4096);
        if (!length || *length == 0) {
            error = "control length must be 1 to 4096: " + fields[2];
            return std::nullopt;
        }
        unit.controlLength = static_cast<std::uint16_t>(*length);
    }
    return unit;
}

}  // namespace

std::optional<EmulatorOptions> ParseEmulatorOptions(const std::vector<std::string>& args, std::string& error)
{
    EmulatorOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        if (flag == "--unplugged") {
            options.plugged = false;
            continue;
        }
        if (flag == "--log-time") {
            options.logTime = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = flag + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (flag == "--xu") {
            auto unit = ParseUnit(value, error);
            if (!unit) return std::nullopt;
            options.camera.units.push_back(*unit);
        } else if (flag == "--vid" || flag == "--pid") {
            const auto id = ParseNumber(value, 16, 0xFFFF);
            if (!id) {
                error = flag + " takes four hexadecimal digits: " + value;
                return std::nullopt;
            }
            (flag == "--vid" ? options.camera.vendorId : options.camera.productId) =
                static_cast<std::uint16_t>(*id);
        } else if (flag == "--zoom") {
            const auto zoom = ParseNumber(value, 10, ZoomMax);
            if (!zoom || *zoom < static_cast<unsigned long>(ZoomMin)) {
                error = "--zoom takes a number from " + std::to_string(ZoomMin) + " to " +
                        std::to_string(ZoomMax);
                return std::nullopt;
            }
            options.camera.zoom = static_cast<std::int16_t>(*zoom);
        } else if (flag == "--product") {
            options.camera.product = value;
        } else if (flag == "--log") {
            options.logFile = value;
        } else if (flag == "--control") {
            options.controlFifo = value;
        } else if (flag == "--vhci") {
            options.vhciDir = value;
        } else if (flag == "--port") {
            const auto port = ParseNumber(value, 10, 255);
            if (!port) {
                error = "--port takes a number: " + value;
                return std::nullopt;
            }
            options.port = static_cast<int>(*port);
        } else {
            error = "unknown option " + flag;
            return std::nullopt;
        }
    }
    if (options.camera.units.empty()) {
        ExtensionUnitModel unit;
        unit.guid = DefaultXuPropertySet;
        unit.unitId = DefaultUnitId;
        options.camera.units.push_back(unit);
    }
    error = ValidateCameraModel(options.camera);
    if (!error.empty()) return std::nullopt;
    return options;
}

}  // namespace velmora::e2e
