#include "platform/windows/dshow_capture_device.h"

#include "platform/windows/com_adapt.h"
#include "platform/windows/com_types.h"
#include "platform/windows/ks_topology.h"

namespace velmora::windows {

static_assert(sizeof(KSP_NODE) == sizeof(KsNodeRequest), "KSP_NODE is the 32-byte node request");

Status DirectShowKsControl::KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                                       std::uint32_t& bytesReturned)
{
    KSP_NODE node{};
    node.Property.Set = ToWindowsGuid(request.set);
    node.Property.Id = request.id;
    node.Property.Flags = request.flags;
    node.NodeId = request.nodeId;
    node.Reserved = request.reserved;
    ULONG returned = 0;
    const HRESULT result = m_control->KsProperty(&node.Property, sizeof node, data, dataLength, &returned);
    bytesReturned = returned;
    return result;
}

Status DirectShowCameraControl::Get(CameraProperty property, std::int32_t& value, std::int32_t& flags)
{
    LONG current = 0;
    LONG currentFlags = 0;
    const HRESULT result = m_control->Get(static_cast<LONG>(property), &current, &currentFlags);
    if (SUCCEEDED(result)) {
        value = current;
        flags = currentFlags;
    }
    return result;
}

Status DirectShowCameraControl::GetRange(CameraProperty property, CameraRange& range)
{
    LONG minimum = 0;
    LONG maximum = 0;
    LONG step = 0;
    LONG defaultValue = 0;
    LONG capsFlags = 0;
    const HRESULT result = m_control->GetRange(static_cast<LONG>(property), &minimum, &maximum, &step,
                                               &defaultValue, &capsFlags);
    if (SUCCEEDED(result)) {
        range.minimum = minimum;
        range.maximum = maximum;
        range.step = step;
        range.defaultValue = defaultValue;
        range.capsFlags = capsFlags;
    }
    return result;
}

Status DirectShowCameraControl::Set(CameraProperty property, std::int32_t value, std::int32_t flags)
{
    return m_control->Set(static_cast<LONG>(property), value, flags);
}

Status DirectShowCaptureDevice::QueryKsControl(std::unique_ptr<KsControl>& out)
{
    return AdaptInterface<DirectShowKsControl, IKsControl>(
        out, E_NOINTERFACE, [&](ComPtr<IKsControl>& control) {
            return m_filter->QueryInterface(IID_IKsControl, control.PutVoid());
        });
}

Status DirectShowCaptureDevice::QueryCameraControl(std::unique_ptr<CameraControl>& out)
{
    return AdaptInterface<DirectShowCameraControl, IAMCameraControl>(
        out, E_NOINTERFACE, [&](ComPtr<IAMCameraControl>& control) {
            return m_filter->QueryInterface(IID_IAMCameraControl, control.PutVoid());
        });
}

Status DirectShowCaptureDevice::DescribeExtensionUnits(const Guid& propertySet, std::uint32_t nodeId,
                                                       std::vector<ExtensionUnitInfo>& out)
{
    out.clear();
    std::unique_ptr<KsControl> control;
    const Status status = QueryKsControl(control);
    if (Failed(status)) return status;
    return DescribeKsExtensionUnits(*control, propertySet, nodeId, out);
}

}  // namespace velmora::windows
