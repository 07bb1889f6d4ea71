#include "platform/sim/sim_camera.h"

#include <algorithm>

#include "platform/ks_trace.h"

namespace velmora::sim {

LiveToken::LiveToken(std::shared_ptr<SimLiveCounts> counts, int SimLiveCounts::*kind)
    : m_counts(std::move(counts)), m_kind(kind)
{
    ++((*m_counts).*m_kind);
}

LiveToken::~LiveToken()
{
    --((*m_counts).*m_kind);
}

SimCamera::SimCamera(SimCameraConfig config, std::shared_ptr<SimTraceFile> trace)
    : m_config(std::move(config)),
      m_trace(std::move(trace)),
      m_firmware(m_config.firmware),
      m_zoom(m_config.zoom),
      m_roll(m_config.roll)
{
}

Status SimCamera::QueryKsControl()
{
    ++m_ksControlQueries;
    return m_config.failKsQuery ? m_config.ksQueryFailure : StatusOk;
}

Status SimCamera::QueryCameraControl()
{
    ++m_cameraControlQueries;
    return m_config.failCameraControl ? StatusNoInterface : StatusOk;
}

bool SimCamera::PieceBufferFails()
{
    if (!m_config.failAlloc) return false;
    m_incoming.clear();
    return true;
}

Status SimCamera::KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                             std::uint32_t& bytesReturned)
{
    bytesReturned = 0;
    const Status status = Answer(request, data, dataLength, bytesReturned);
    Record(request, data, dataLength, bytesReturned, status);
    return status;
}

Status SimCamera::Answer(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                         std::uint32_t& bytesReturned)
{
    if (!m_plugged || m_config.vanished) return StatusDeviceNotConnected;
    if (request.set != m_config.xuPropertySet || request.nodeId != m_config.xuNode ||
        request.id != RegisterSelector) {
        return StatusNotFound;
    }
    const bool set = request.flags == KsNodeSetFlags;
    if (!set && request.flags != KsNodeGetFlags) return StatusInvalidArg;
    if (!set && dataLength == 0) return AnswerSizeQuery(bytesReturned);
    if (!data || dataLength != m_config.controlSize) return StatusInvalidArg;
    if (++m_dataRequests == m_config.failPiece) {
        m_incoming.clear();
        return StatusGenFailure;
    }
    if (set) {
        ReceivePiece(static_cast<const std::uint8_t*>(data), dataLength);
    } else {
        SendPiece(static_cast<std::uint8_t*>(data), dataLength);
        bytesReturned = dataLength;
    }
    if (m_dataRequests == m_config.vanishAfter) m_plugged = false;
    return StatusOk;
}

Status SimCamera::AnswerSizeQuery(std::uint32_t& bytesReturned)
{
    m_incoming.clear();
    m_responseOffset = 0;
    switch (m_config.sizeQuery) {
        case SizeQueryAnswer::Ok:
            bytesReturned = m_config.controlSize;
            return StatusOk;
        case SizeQueryAnswer::Zero:
            bytesReturned = 0;
            return StatusMoreData;
        case SizeQueryAnswer::MoreData:
            break;
    }
    bytesReturned = m_config.controlSize;
    return StatusMoreData;
}

void SimCamera::ReceivePiece(const std::uint8_t* bytes, std::uint32_t length)
{
    m_incoming.insert(m_incoming.end(), bytes, bytes + length);
    if (m_incoming.size() < RegisterPacketSize) return;
    RegisterPacket packet;
    std::copy_n(m_incoming.begin(), RegisterPacketSize, packet.begin());
    m_response = m_firmware.Handle(packet);
    m_incoming.clear();
    m_responseOffset = 0;
}

void SimCamera::SendPiece(std::uint8_t* bytes, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::size_t position = std::size_t{m_responseOffset} + i;
        bytes[i] = position < RegisterPacketSize ? m_response[position] : 0;
    }
    m_responseOffset += length;
    if (m_responseOffset >= RegisterPacketSize) m_responseOffset = 0;
}

void SimCamera::Record(const KsNodeRequest& request, const void* data, std::uint32_t dataLength,
                       std::uint32_t bytesReturned, Status status)
{
    SimRequest record;
    record.request = request;
    record.dataLength = dataLength;
    record.bytesReturned = bytesReturned;
    record.status = status;
    if (data && dataLength && (record.IsSet() || Succeeded(status))) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        record.bytes.assign(bytes, bytes + dataLength);
    }
    ++m_requestsReceived;
    if (m_requests.size() == RequestLogLimit) m_requests.pop_front();
    m_requests.push_back(std::move(record));
    if (m_trace) m_trace->Write(KsTraceLine(request, data, dataLength, bytesReturned, status));
}

std::vector<std::vector<std::uint8_t>> SimCamera::Writes() const
{
    std::vector<std::vector<std::uint8_t>> writes;
    for (const SimRequest& request : m_requests) {
        if (request.IsSet()) writes.push_back(request.bytes);
    }
    return writes;
}

SimCameraAxis* SimCamera::Axis(CameraProperty property)
{
    if (property == CameraProperty::Zoom) return &m_zoom;
    if (property == CameraProperty::Roll) return &m_roll;
    return nullptr;
}

Status SimCamera::CameraGet(CameraProperty property, std::int32_t& value, std::int32_t& flags)
{
    m_cameraControlCalls.push_back(m_requestsReceived);
    if (!m_plugged || m_config.vanished) return StatusDeviceNotConnected;
    const SimCameraAxis* axis = Axis(property);
    if (!axis) return StatusNotFound;
    value = axis->value;
    flags = CameraControlFlagsManual;
    return StatusOk;
}

Status SimCamera::CameraGetRange(CameraProperty property, CameraRange& range)
{
    m_cameraControlCalls.push_back(m_requestsReceived);
    if (!m_plugged || m_config.vanished) return StatusDeviceNotConnected;
    const SimCameraAxis* axis = Axis(property);
    if (!axis) return StatusNotFound;
    const SimCameraAxis& initial = property == CameraProperty::Zoom ? m_config.zoom : m_config.roll;
    range = CameraRange{axis->minimum, axis->maximum, axis->step, initial.value, CameraControlFlagsManual};
    return StatusOk;
}

Status SimCamera::CameraSet(CameraProperty property, std::int32_t value, std::int32_t /*flags*/)
{
    m_cameraControlCalls.push_back(m_requestsReceived);
    if (!m_plugged || m_config.vanished) return StatusDeviceNotConnected;
    SimCameraAxis* axis = Axis(property);
    if (!axis) return StatusNotFound;
    if (value < axis->minimum || value > axis->maximum) return StatusInvalidArg;
    axis->value = value;
    return StatusOk;
}

Status SimCamera::DescribeExtensionUnits(const Guid& propertySet, std::uint32_t nodeId,
                                         std::vector<ExtensionUnitInfo>& out) const
{
    ExtensionUnitInfo unit;
    unit.nodeId = m_config.xuNode;
    unit.guid = m_config.xuPropertySet;
    // bmControls: bit n-1 for selector n.
    unit.controls.assign(2, 0);
    unit.controls[(RegisterSelector - 1) / 8] = static_cast<std::uint8_t>(1u << ((RegisterSelector - 1) % 8));
    unit.answersPropertySet = propertySet == m_config.xuPropertySet;
    unit.addressed = unit.answersPropertySet && nodeId == m_config.xuNode;
    out.assign(1, unit);
    return StatusOk;
}

}  // namespace velmora::sim
