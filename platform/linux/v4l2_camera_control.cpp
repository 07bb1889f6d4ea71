#include "platform/linux/v4l2_camera_control.h"

#include <linux/videodev2.h>

#include <cstring>

#include "platform/linux/errno_status.h"

namespace velmora::linux_backend {

Status V4l2CameraControl::Get(CameraProperty property, std::int32_t& value, std::int32_t& flags)
{
    if (property != CameraProperty::Zoom) return StatusNotImpl;
    v4l2_control control{};
    control.id = V4L2_CID_ZOOM_ABSOLUTE;
    if (const int result = m_node.Ioctl(VIDIOC_G_CTRL, &control); result < 0) return StatusFromErrno(result);
    value = control.value;
    flags = CameraControlFlagsManual;
    return StatusOk;
}

Status V4l2CameraControl::GetRange(CameraProperty property, CameraRange& range)
{
    if (property != CameraProperty::Zoom) return StatusNotImpl;
    v4l2_queryctrl query;
    std::memset(&query, 0, sizeof query);
    query.id = V4L2_CID_ZOOM_ABSOLUTE;
    if (const int result = m_node.Ioctl(VIDIOC_QUERYCTRL, &query); result < 0) return StatusFromErrno(result);
    if (query.flags & V4L2_CTRL_FLAG_DISABLED) return StatusNotFound;
    range.minimum = query.minimum;
    range.maximum = query.maximum;
    range.step = query.step;
    range.defaultValue = query.default_value;
    range.capsFlags = CameraControlFlagsManual;
    return StatusOk;
}

Status V4l2CameraControl::Set(CameraProperty property, std::int32_t value, std::int32_t /*flags*/)
{
    if (property != CameraProperty::Zoom) return StatusNotImpl;
    v4l2_control control{};
    control.id = V4L2_CID_ZOOM_ABSOLUTE;
    control.value = value;
    if (const int result = m_node.Ioctl(VIDIOC_S_CTRL, &control); result < 0) return StatusFromErrno(result);
    return StatusOk;
}

}  // namespace velmora::linux_backend
