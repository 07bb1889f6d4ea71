#include "platform/sim/sim_camera.h"

#include <algorithm>
#include <cstring>

namespace velmora::sim {

LiveToken::LiveToken(std::shared_ptr<SimLiveCounts> counts, int SimLiveCounts::*kind)
    : m_counts(std::move(counts)), m_kind(kind)
{
    ++((*m_counts).*m_kind);
}

LiveToken::~LiveToken() { --((*m_counts).*m_kind); }

SimCamera::SimCamera(SimCameraConfig config) : m_config(std::move(config)), m_control(m_controlSize) {}

Status SimCamera::KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                             std::uint32_t& bytesReturned)
{
    bytesReturned = 0;
    if (!m_plugged) return StatusDeviceNotConnected;
    if (request.flags == KsNodeGetFlags && dataLength == 0) {
        bytesReturned = m_controlSize;
        return StatusMoreData;
    }
    if (!data || dataLength != m_controlSize) return StatusInvalidArg;
    auto* bytes = static_cast<std::uint8_t*>(data);
    if (request.flags == KsNodeSetFlags) {
        m_control.assign(bytes, bytes + dataLength);
        m_writes.push_back(m_control);
        bytesReturned = dataLength;
        return StatusOk;
    }
    if (request.flags == KsNodeGetFlags) {
        std::copy(m_control.begin(), m_control.end(), bytes);
        bytesReturned = dataLength;
        return StatusOk;
    }
    return StatusInvalidArg;
}

Status SimCamera::CameraGet(CameraProperty property, std::int32_t& value, std::int32_t& flags)
{
    if (!m_plugged) return StatusDeviceNotConnected;
    if (property != CameraProperty::Zoom) return StatusNotFound;
    value = m_zoom;
    flags = CameraControlFlagsManual;
    return StatusOk;
}

Status SimCamera::CameraGetRange(CameraProperty property, CameraRange& range)
{
    if (!m_plugged) return StatusDeviceNotConnected;
    if (property != CameraProperty::Zoom) return StatusNotFound;
    range = CameraRange{100, 500, 1, 100, CameraControlFlagsManual};
    return StatusOk;
}

Status SimCamera::CameraSet(CameraProperty property, std::int32_t value, std::int32_t /*flags*/)
{
    if (!m_plugged) return StatusDeviceNotConnected;
    if (property != CameraProperty::Zoom) return StatusNotFound;
    m_zoom = value;
    return StatusOk;
}

}  // namespace velmora::sim
