#include "platform/linux/uvc_ks_control.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>

#include <vector>

#include "platform/linux/errno_status.h"

namespace velmora::linux_backend {

Status UvcKsControl::ResolveUnit(const Guid& propertySet, std::uint8_t& unitId)
{
    if (m_resolved && m_resolved->first == propertySet) {
        unitId = m_resolved->second;
        return StatusOk;
    }
    std::vector<UvcExtensionUnit> units;
    if (const Status status = ReadExtensionUnits(m_info, units); Failed(status)) return status;
    const auto found = FindExtensionUnit(units, propertySet);
    if (!found) return StatusNotFound;
    m_resolved.emplace(propertySet, *found);
    unitId = *found;
    return StatusOk;
}

Status UvcKsControl::KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                                std::uint32_t& bytesReturned)
{
    bytesReturned = 0;
    if (request.id > 0xFF) return StatusInvalidArg;
    const bool get = request.flags == KsNodeGetFlags;
    const bool set = request.flags == KsNodeSetFlags;
    if (!get && !set) return StatusInvalidArg;
    std::uint8_t unitId = 0;
    if (const Status status = ResolveUnit(request.set, unitId); Failed(status)) return status;

    uvc_xu_control_query query{};
    query.unit = unitId;
    query.selector = static_cast<std::uint8_t>(request.id);
    if (get && dataLength == 0) {
        std::uint8_t length[2] = {0, 0};  // little-endian
        query.query = UVC_GET_LEN;
        query.size = sizeof length;
        query.data = length;
        if (const int result = m_node.Ioctl(UVCIOC_CTRL_QUERY, &query); result < 0)
            return StatusFromQueryErrno(result);
        bytesReturned = static_cast<std::uint32_t>(length[0] | length[1] << 8);
        return StatusMoreData;
    }
    if (!data) return StatusPointer;
    if (dataLength > 0xFFFF) return StatusInvalidArg;
    query.query = set ? UVC_SET_CUR : UVC_GET_CUR;
    query.size = static_cast<std::uint16_t>(dataLength);
    // The driver only reads the buffer of a SET_CUR.
    query.data = static_cast<std::uint8_t*>(data);
    if (const int result = m_node.Ioctl(UVCIOC_CTRL_QUERY, &query); result < 0)
        return StatusFromQueryErrno(result);
    bytesReturned = dataLength;
    return StatusOk;
}

}  // namespace velmora::linux_backend
