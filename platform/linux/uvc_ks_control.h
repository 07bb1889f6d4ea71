// KsControl over uvcvideo's UVCIOC_CTRL_QUERY on an open capture node.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "platform/ks_control.h"
#include "platform/linux/linux_system.h"
#include "platform/linux/video_node.h"

namespace velmora::linux_backend {

// The size query (GET flags, no data) becomes UVC_GET_LEN, answered with StatusMoreData and the size;
// a set becomes UVC_SET_CUR, a get UVC_GET_CUR, each of exactly dataLength bytes. The request's property
// set chooses the extension unit by its guidExtensionCode; its node id is not used: on Linux the unit
// id comes from the camera's descriptors.
class UvcKsControl : public KsControl {
public:
    UvcKsControl(DeviceNode node, VideoNode info) : m_node(std::move(node)), m_info(std::move(info)) {}

    Status KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                      std::uint32_t& bytesReturned) override;

private:
    Status ResolveUnit(const Guid& propertySet, std::uint8_t& unitId);

    DeviceNode m_node;
    VideoNode m_info;
    std::optional<std::pair<Guid, std::uint8_t>> m_resolved;
};

}  // namespace velmora::linux_backend
