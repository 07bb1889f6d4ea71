#include "xu/xu_transport.h"

#include <cstring>
#include <memory>

#include "config/xu_identity.h"

namespace velmora {

namespace {

enum class Direction { Set, Get };

// A freshly filled node request: the identity is read again for every request.
KsNodeRequest NodeRequest(std::uint32_t selector, std::uint32_t flags)
{
    const XuIdentity identity = g_xuIdentity;
    KsNodeRequest request;
    request.set = EffectiveXuPropertySet(identity);
    request.id = selector;
    request.flags = flags;
    request.nodeId = static_cast<std::uint32_t>(identity.exId);
    request.reserved = 0;
    return request;
}

// QueryInterface through one of the device's queries; a success without an interface counts as
// E_NOINTERFACE. out is empty unless the result is a success.
template <typename Interface>
Status Obtain(CaptureDevice& device, Status (CaptureDevice::*query)(std::unique_ptr<Interface>&),
              std::unique_ptr<Interface>& out)
{
    const Status status = (device.*query)(out);
    if (Failed(status)) {
        out.reset();
        return status;
    }
    return out ? status : StatusNoInterface;
}

Status OpenKsControl(CaptureDevice& device, std::unique_ptr<KsControl>& control)
{
    return Obtain(device, &CaptureDevice::QueryKsControl, control);
}

Status OpenCameraControl(CaptureDevice& device, std::unique_ptr<CameraControl>& control)
{
    return Obtain(device, &CaptureDevice::QueryCameraControl, control);
}

// The size query: GET flags, no data. Answers the raw status and BytesReturned.
Status QueryControlSize(KsControl& control, std::uint32_t selector, std::uint32_t& size)
{
    size = 0;
    return control.KsProperty(NodeRequest(selector, KsNodeGetFlags), nullptr, 0, size);
}

Status Transfer(CaptureDevice* device, std::uint32_t selector, std::uint8_t* bytes, std::uint32_t length,
                Direction direction)
{
    if (!device || !bytes) return StatusPointer;
    if (length == 0) return StatusOk;
    std::unique_ptr<KsControl> control;
    Status status = OpenKsControl(*device, control);
    if (Failed(status)) return status;

    std::uint32_t size = 0;
    status = QueryControlSize(*control, selector, size);
    if (status != StatusMoreData || size == 0 || size > MaxXuControlSize) return StatusInvalidArg;

    const std::uint32_t flags = direction == Direction::Set ? KsNodeSetFlags : KsNodeGetFlags;
    std::uint32_t offset = 0;
    std::uint32_t remaining = length;
    while (size < remaining) {
        std::uint32_t returned = 0;
        status = control->KsProperty(NodeRequest(selector, flags), bytes + offset, size, returned);
        if (Failed(status)) return status;
        offset += size;
        remaining -= size;
    }

    // The last piece, 1 to size bytes, always goes through a zero-filled buffer of the control's size.
    PieceBuffer piece = control->AllocatePieceBuffer(size);
    if (!piece) return StatusOutOfMemory;
    std::memset(piece.get(), 0, size);
    if (direction == Direction::Set) std::memcpy(piece.get(), bytes + offset, remaining);
    std::uint32_t returned = 0;
    status = control->KsProperty(NodeRequest(selector, flags), piece.get(), size, returned);
    if (direction == Direction::Get) std::memcpy(bytes + offset, piece.get(), remaining);
    return status;
}

Status TransferDirect(CaptureDevice* device, std::uint32_t selector, std::uint8_t* bytes,
                      std::uint32_t length, Direction direction)
{
    if (!device) return StatusFail;
    if (!bytes && length != 0) return StatusPointer;
    std::unique_ptr<KsControl> control;
    Status status = OpenKsControl(*device, control);
    if (Failed(status)) return status;
    const std::uint32_t flags = direction == Direction::Set ? KsNodeSetFlags : KsNodeGetFlags;
    std::uint32_t returned = 0;
    status = control->KsProperty(NodeRequest(selector, flags), bytes, length, returned);
    return Failed(status) ? StatusFail : status;
}

Status SetCameraProperty(CaptureDevice* device, CameraProperty property, std::int32_t value)
{
    if (!device) return StatusPointer;
    std::unique_ptr<CameraControl> camera;
    const Status status = OpenCameraControl(*device, camera);
    if (Failed(status)) return status;
    return camera->Set(property, value, CameraControlFlagsManual);
}

std::int16_t Low16(std::int32_t value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu));
}

}  // namespace

Status SetXuControl(CaptureDevice* device, std::uint32_t selector, const std::uint8_t* data,
                    std::uint32_t length)
{
    // A set request only reads its data.
    return Transfer(device, selector, const_cast<std::uint8_t*>(data), length, Direction::Set);
}

Status GetXuControl(CaptureDevice* device, std::uint32_t selector, std::uint8_t* buffer, std::uint32_t length)
{
    return Transfer(device, selector, buffer, length, Direction::Get);
}

Status SetXuControlDirect(CaptureDevice* device, std::uint32_t selector, const std::uint8_t* data,
                          std::uint32_t length)
{
    return TransferDirect(device, selector, const_cast<std::uint8_t*>(data), length, Direction::Set);
}

Status GetXuControlDirect(CaptureDevice* device, std::uint32_t selector, std::uint8_t* buffer,
                          std::uint32_t length)
{
    return TransferDirect(device, selector, buffer, length, Direction::Get);
}

Status GetXuControlSize(CaptureDevice* device, std::uint32_t selector, std::uint32_t& size)
{
    if (!device) return StatusFail;
    std::unique_ptr<KsControl> control;
    const Status status = OpenKsControl(*device, control);
    if (Failed(status)) return status;
    std::uint32_t answered = 0;
    if (QueryControlSize(*control, selector, answered) != StatusMoreData) return StatusFail;
    size = answered;
    return StatusOk;
}

Status ReadCameraZoom(CaptureDevice* device, CameraZoom& zoom)
{
    if (!device) return StatusPointer;
    std::unique_ptr<CameraControl> camera;
    Status status = OpenCameraControl(*device, camera);
    if (Failed(status)) return status;
    std::int32_t current = 0;
    std::int32_t flags = 0;
    status = camera->Get(CameraProperty::Zoom, current, flags);
    if (Failed(status)) return status;
    CameraRange range;
    status = camera->GetRange(CameraProperty::Zoom, range);
    if (Failed(status)) return status;
    zoom = CameraZoom{current, range.minimum, range.maximum, range.step};
    return status;
}

Status GetCameraZoom(CaptureDevice* device, std::int16_t& value, std::int16_t& minimum, std::int16_t& maximum,
                     std::int16_t& step)
{
    CameraZoom zoom;
    const Status status = ReadCameraZoom(device, zoom);
    if (Failed(status)) return status;
    value = Low16(zoom.value);
    minimum = Low16(zoom.minimum);
    maximum = Low16(zoom.maximum);
    step = Low16(zoom.step);
    return status;
}

Status SetCameraZoom(CaptureDevice* device, std::int32_t value)
{
    return SetCameraProperty(device, CameraProperty::Zoom, value);
}

Status SetCameraRoll(CaptureDevice* device, std::int32_t value)
{
    return SetCameraProperty(device, CameraProperty::Roll, value);
}

}  // namespace velmora
