// Moves bytes to and from one control of the camera's vendor extension unit, and reads its zoom.
#pragma once

#include <cstdint>

#include "platform/capture_device.h"
#include "platform/status.h"

namespace velmora {

// A UVC control holds at most 65535 bytes (GET_LEN answers 16 bits). A larger size answer is
// treated like a size query that did not answer as expected, so a hostile size cannot make a
// transfer allocate gigabytes.
inline constexpr std::uint32_t MaxXuControlSize = 0xFFFF;

// Size query, full pieces of the control's size, then a zero-filled last piece. Every request names
// EffectiveXuPropertySet(g_xuIdentity) and node g_xuIdentity.exId, read afresh for each request.
Status SetXuControl(CaptureDevice* device, std::uint32_t selector, const std::uint8_t* data,
                    std::uint32_t length);
Status GetXuControl(CaptureDevice* device, std::uint32_t selector, std::uint8_t* buffer,
                    std::uint32_t length);

// One request of exactly length bytes: no size query, no pieces.
Status SetXuControlDirect(CaptureDevice* device, std::uint32_t selector, const std::uint8_t* data,
                          std::uint32_t length);
Status GetXuControlDirect(CaptureDevice* device, std::uint32_t selector, std::uint8_t* buffer,
                          std::uint32_t length);

// The size query alone.
Status GetXuControlSize(CaptureDevice* device, std::uint32_t selector, std::uint32_t& size);

// The zoom as the camera reports it, all 32 bits.
struct CameraZoom {
    std::int32_t value = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 0;
};

// IAMCameraControl zoom and roll. The device must be present (StatusPointer otherwise).
// ReadCameraZoom leaves zoom untouched on failure.
Status ReadCameraZoom(CaptureDevice* device, CameraZoom& zoom);
// What the window uses: the low 16 bits of value, minimum, maximum and stepping delta, untouched
// on failure.
Status GetCameraZoom(CaptureDevice* device, std::int16_t& value, std::int16_t& minimum, std::int16_t& maximum,
                     std::int16_t& step);
Status SetCameraZoom(CaptureDevice* device, std::int32_t value);
Status SetCameraRoll(CaptureDevice* device, std::int32_t value);

}  // namespace velmora
