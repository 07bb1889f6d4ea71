// CameraControl over V4L2's absolute zoom control; V4L2 has no roll.
#pragma once

#include <utility>

#include "platform/camera_control.h"
#include "platform/linux/linux_system.h"

namespace velmora::linux_backend {

class V4l2CameraControl : public CameraControl {
public:
    explicit V4l2CameraControl(DeviceNode node) : m_node(std::move(node)) {}

    Status Get(CameraProperty property, std::int32_t& value, std::int32_t& flags) override;
    Status GetRange(CameraProperty property, CameraRange& range) override;
    Status Set(CameraProperty property, std::int32_t value, std::int32_t flags) override;

private:
    DeviceNode m_node;
};

}  // namespace velmora::linux_backend
