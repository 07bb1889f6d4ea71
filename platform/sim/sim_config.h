// Configuration of the simulated cameras: plain data and its text format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/guid.h"
#include "platform/sim/register_firmware.h"
#include "platform/status.h"

namespace velmora::sim {

// How the size query is answered.
enum class SizeQueryAnswer {
    MoreData,  // HRESULT_FROM_WIN32(ERROR_MORE_DATA) with the control size, as a camera does
    Ok,        // S_OK with the control size
    Zero,      // HRESULT_FROM_WIN32(ERROR_MORE_DATA) with size 0
};

// A camera-control property: current value and range.
struct SimCameraAxis {
    std::int32_t value = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 1;
};

struct SimCameraConfig {
    std::optional<std::string> friendlyName = "USB Camera";  // nullopt: the property cannot be read
    std::optional<std::string> devicePath;
    // Enumeration faults.
    bool failBindToStorage = false;
    bool failStorageAtFill = false;  // the property store opens for the enumeration only, then fails
    bool failBindToObject = false;

    // The extension unit: requests naming another property set, node or selector are not found.
    Guid xuPropertySet = DefaultXuPropertySet;
    std::uint32_t xuNode = 1;
    std::uint32_t controlSize = 12;  // bytes of selector 10; every data request carries exactly this many
    RegisterFirmwareConfig firmware;
    SimCameraAxis zoom{100, 100, 500, 1};
    SimCameraAxis roll{0, -180, 180, 1};

    // Extension-unit and camera-control faults.
    bool failKsQuery = false;                   // QueryKsControl fails
    Status ksQueryFailure = StatusNoInterface;  // what it then answers
    bool vanished = false;  // listed, but every request answers ERROR_DEVICE_NOT_CONNECTED
    SizeQueryAnswer sizeQuery = SizeQueryAnswer::MoreData;
    std::uint32_t failPiece = 0;  // the n-th data request (1-based, size queries not counted) fails; 0: none
    std::uint32_t vanishAfter = 0;   // pulled out, unannounced, right after the n-th data request; 0: never
    bool failAlloc = false;          // AllocatePieceBuffer answers null
    bool failCameraControl = false;  // QueryCameraControl fails
};

struct SimWorldConfig {
    std::vector<SimCameraConfig> cameras;
    bool failCreateEnumerator = false;       // CoCreateInstance fails
    bool failCreateClassEnumerator = false;  // CreateClassEnumerator fails
    std::string traceFile;                   // empty: no trace; VELMORA_SIM_TRACE overrides it
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
