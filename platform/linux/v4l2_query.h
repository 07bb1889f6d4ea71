// What a video node says of itself through VIDIOC_QUERYCAP.
#pragma once

#include <memory>
#include <string>

#include "platform/linux/linux_system.h"
#include "platform/linux/video_node.h"

namespace velmora::linux_backend {

struct NodeIdentity {
    bool capture = false;  // the node captures video (not a metadata or output node)
    std::string card;      // the V4L2 card name
};

// Opens the node for VIDIOC_QUERYCAP and closes it again. Capture is told by device_caps.
// A node that cannot be opened for lack of permission is taken as the capture node when it is the
// first its driver registered (sysfs index 0), with the sysfs name as card, so that it is still
// listed and its first use reports the permission problem. 0, or -errno.
int IdentifyNode(const std::shared_ptr<LinuxSystem>& system, const VideoNode& node, NodeIdentity& identity);

}  // namespace velmora::linux_backend
