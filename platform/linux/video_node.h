// A video4linux device as sysfs shows it, with the USB camera function behind it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/linux_system.h"
#include "platform/linux/uvc_descriptors.h"
#include "platform/status.h"

namespace velmora::linux_backend {

struct VideoNode {
    std::string name;      // "video0"
    int number = -1;       // 0
    std::string classDir;  // <sysfs>/class/video4linux/video0
    std::string devNode;   // /dev/video0
    unsigned major = 0;    // of the character device
    unsigned minor = 0;
    std::string sysfsName;  // sysfs `name`: the driver's device name
    int index = -1;         // sysfs `index`: 0 for the first node a driver registers for its device

    std::string parentSubsystem;  // "usb", "pci", "platform", ... or empty
    std::string parentName;       // "1-1:1.0"

    // USB cameras: the USB device, and the interface the driver bound (the video-control interface).
    bool usb = false;
    std::string usbDeviceDir;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string usbProduct;  // the device's product string (sysfs `product`); may be empty
    std::string usbSerial;   // its serial number string (sysfs `serial`); may be empty
    int interfaceNumber = -1;
};

// The video4linux devices under system's sysfs root, ordered by their number (video0, video1, ...).
std::vector<VideoNode> ListVideoNodes(const LinuxSystem& system);
std::optional<VideoNode> ReadVideoNode(const LinuxSystem& system, const std::string& name);

// "usb#vid_046d&pid_0825&mi_00#1-1:1.0#/dev/char/81:0" for a USB camera,
// "pci#0000:03:00.0#/dev/char/81:0" otherwise. The node is named by its device number, so that the
// only "vid" in the path is the vendor id's.
std::string DevicePathOf(const VideoNode& node);

// The extension units of the node's own video-control interface, from the USB device's `descriptors`
// in its active configuration. StatusNotSupported for a device that is not on USB.
Status ReadExtensionUnits(const VideoNode& node, std::vector<UvcExtensionUnit>& units);

// The whole file, read to its end (sysfs sizes are not to be trusted), at most maxBytes. 0 or -errno.
int ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxBytes = 1 << 20);
// The first line of a small text file, trailing white space removed.
std::optional<std::string> ReadFileLine(const std::string& path);

}  // namespace velmora::linux_backend
