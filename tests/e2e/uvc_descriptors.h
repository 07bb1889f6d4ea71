// The descriptor set of the emulated UVC 1.00 camera.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/guid.h"

namespace velmora::e2e {

inline constexpr std::uint8_t VideoControlInterface = 0;
inline constexpr std::uint8_t VideoStreamingInterface = 1;
inline constexpr std::uint8_t StreamingEndpoint = 0x81;
inline constexpr std::uint8_t XuControlSelector = 10;
inline constexpr std::uint8_t ZoomAbsoluteSelector = 0x0B;  // CT_ZOOM_ABSOLUTE_CONTROL
inline constexpr std::uint16_t FrameWidth = 160;
inline constexpr std::uint16_t FrameHeight = 120;

struct ExtensionUnitModel {
    Guid guid;
    std::uint8_t unitId = 0;
    std::uint16_t controlLength = 12;  // what GET_LEN answers for selector 10
};

// The camera terminal's zoom (absolute) range.
inline constexpr std::int16_t ZoomMin = 100;
inline constexpr std::int16_t ZoomMax = 500;

struct CameraModel {
    std::int16_t zoom = ZoomMin;  // the zoom at start
    std::uint16_t vendorId = 0xABCD;
    std::uint16_t productId = 0xEF01;
    std::string manufacturer = "Velmora";
    std::string product = "USB Camera";
    std::string serial = "E2E0001";
    std::vector<ExtensionUnitModel> units;  // chained camera terminal -> units... -> output terminal
};

struct DescriptorSet {
    std::vector<std::uint8_t> device;
    std::vector<std::uint8_t> configuration;
    std::uint8_t cameraTerminalId = 0;
    std::uint8_t outputTerminalId = 0;
};

// Empty when the model cannot be described: no unit, unit id 0 or repeated, control length 0.
std::string ValidateCameraModel(const CameraModel& model);

DescriptorSet BuildDescriptors(const CameraModel& model);

// String descriptor index: 0 the language list, 1 manufacturer, 2 product, 3 serial. Empty for others.
std::vector<std::uint8_t> StringDescriptor(const CameraModel& model, std::uint8_t index);

}  // namespace velmora::e2e
