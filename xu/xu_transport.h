// Moves bytes to and from one control of the camera's vendor extension unit, and reads its zoom.
#pragma once

#include <cstdint>

#include "platform/capture_device.h"
#include "platform/status.h"

namespace velmora {

// Size query, full pieces of the control's size, then a zero-filled last piece.
Status SetXuControl(CaptureDevice* device, std::uint32_t selector, const std::uint8_t* data, std::uint32_t length);
Status GetXuControl(CaptureDevice* device, std::uint32_t selector, std::uint8_t* buffer, std::uint32_t length);

// One request of exactly length bytes: no size query, no pieces.
Status SetXuControlDirect(CaptureDevice* device, std::uint32_t selector, const std::uint8_t* data,
                          std::uint32_t length);
Status GetXuControlDirect(CaptureDevice* device, std::uint32_t selector, std::uint8_t* buffer,
                          std::uint32_t length);

// The size query alone.
Status GetXuControlSize(CaptureDevice* device, std::uint32_t selector, std::uint32_t& size);

// IAMCameraControl zoom and roll.
Status GetCameraZoom(CaptureDevice* device, std::int16_t& value, std::int16_t& minimum, std::int16_t& maximum,
                     std::int16_t& step);
Status SetCameraZoom(CaptureDevice* device, std::int32_t value);
Status SetCameraRoll(CaptureDevice* device, std::int32_t value);

}  // namespace velmora
