// Port: IAMCameraControl.
#pragma once

#include <cstdint>

#include "platform/status.h"

namespace velmora {

enum class CameraProperty : std::int32_t { Roll = 2, Zoom = 3 };

inline constexpr std::int32_t CameraControlFlagsAuto = 1;
inline constexpr std::int32_t CameraControlFlagsManual = 2;

struct CameraRange {
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 0;
    std::int32_t defaultValue = 0;
    std::int32_t capsFlags = 0;
};

class CameraControl {
public:
    virtual ~CameraControl() = default;
    virtual Status Get(CameraProperty property, std::int32_t& value, std::int32_t& flags) = 0;
    virtual Status GetRange(CameraProperty property, CameraRange& range) = 0;
    virtual Status Set(CameraProperty property, std::int32_t value, std::int32_t flags) = 0;
};

}  // namespace velmora
