#include "platform/tracing_device.h"

#include "platform/ks_trace.h"

namespace velmora {

namespace {

class TracingKsControl : public KsControl {
public:
    TracingKsControl(std::unique_ptr<KsControl> inner, const TracingCaptureDevice::Sink& sink)
        : m_inner(std::move(inner)), m_sink(sink)
    {
    }

    Status KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                      std::uint32_t& bytesReturned) override
    {
        const Status status = m_inner->KsProperty(request, data, dataLength, bytesReturned);
        if (m_sink) m_sink(KsTraceLine(request, data, dataLength, bytesReturned, status));
        return status;
    }

    PieceBuffer AllocatePieceBuffer(std::uint32_t size) override
    {
        return m_inner->AllocatePieceBuffer(size);
    }

private:
    std::unique_ptr<KsControl> m_inner;
    TracingCaptureDevice::Sink m_sink;
};

}  // namespace

TracingCaptureDevice::TracingCaptureDevice(CaptureDevice& inner, Sink sink)
    : m_inner(inner), m_sink(std::move(sink))
{
}

Status TracingCaptureDevice::QueryKsControl(std::unique_ptr<KsControl>& out)
{
    std::unique_ptr<KsControl> inner;
    const Status status = m_inner.QueryKsControl(inner);
    if (Failed(status)) return status;
    if (inner) out = std::make_unique<TracingKsControl>(std::move(inner), m_sink);
    return status;
}

Status TracingCaptureDevice::QueryCameraControl(std::unique_ptr<CameraControl>& out)
{
    return m_inner.QueryCameraControl(out);
}

Status TracingCaptureDevice::DescribeExtensionUnits(const Guid& propertySet, std::uint32_t nodeId,
                                                    std::vector<ExtensionUnitInfo>& out)
{
    return m_inner.DescribeExtensionUnits(propertySet, nodeId, out);
}

}  // namespace velmora
