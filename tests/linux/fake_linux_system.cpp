#include "tests/linux/fake_linux_system.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace velmora::linux_test {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t CaptureCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
constexpr std::uint32_t MetadataCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;

std::string Hex(unsigned value, int width)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*x\n", width, value);
    return text;
}

void Link(const fs::path& link, const fs::path& target)
{
    fs::create_directories(link.parent_path());
    fs::create_directory_symlink(fs::relative(target, link.parent_path()), link);
}

}  // namespace

FakeLinuxSystem::FakeLinuxSystem()
{
    std::string pattern = (fs::temp_directory_path() / "velmora-sysfs-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
    fs::create_directories(SysfsRoot() + "/bus/usb");
    fs::create_directories(SysfsRoot() + "/bus/pci");
    fs::create_directories(SysfsRoot() + "/class/video4linux");
    fs::create_directories(SysfsRoot() + "/devices/pci0000:00");
    fs::create_directories(DevRoot());
}

FakeLinuxSystem::~FakeLinuxSystem()
{
    std::error_code error;
    fs::remove_all(m_root, error);
}

void FakeLinuxSystem::WriteFile(const std::string& path, const std::string& content)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string FakeLinuxSystem::AddPciDevice(const std::string& name)
{
    const std::string dir = SysfsRoot() + "/devices/pci0000:00/" + name;
    fs::create_directories(dir);
    Link(dir + "/subsystem", SysfsRoot() + "/bus/pci");
    WriteFile(dir + "/uevent", "PCI_SLOT_NAME=" + name + "\n");
    return dir;
}

std::string FakeLinuxSystem::AddUsbDevice(const std::string& usbName, std::uint16_t vendorId,
                                          std::uint16_t productId, const Bytes& descriptors,
                                          int configurationValue)
{
    const std::string host = SysfsRoot() + "/devices/pci0000:00/0000:00:14.0";
    if (!fs::exists(host)) AddPciDevice("0000:00:14.0");
    const std::string dir = host + "/usb1/" + usbName;
    fs::create_directories(dir);
    Link(dir + "/subsystem", SysfsRoot() + "/bus/usb");
    WriteFile(dir + "/uevent", "DEVTYPE=usb_device\nDRIVER=usb\n");
    WriteFile(dir + "/idVendor", Hex(vendorId, 4));
    WriteFile(dir + "/idProduct", Hex(productId, 4));
    WriteFile(dir + "/bConfigurationValue", std::to_string(configurationValue) + "\n");
    WriteFile(dir + "/descriptors", std::string(descriptors.begin(), descriptors.end()));
    return dir;
}

std::string FakeLinuxSystem::AddUsbInterface(const std::string& usbDir, int interfaceNumber)
{
    const std::string dir =
        usbDir + "/" + fs::path(usbDir).filename().string() + ":1." + std::to_string(interfaceNumber);
    fs::create_directories(dir);
    Link(dir + "/subsystem", SysfsRoot() + "/bus/usb");
    WriteFile(dir + "/uevent", "DEVTYPE=usb_interface\nDRIVER=uvcvideo\n");
    WriteFile(dir + "/bInterfaceNumber", Hex(static_cast<unsigned>(interfaceNumber), 2));
    WriteFile(dir + "/bInterfaceClass", "0e\n");
    return dir;
}

FakeNode& FakeLinuxSystem::AddVideoNode(int number, const std::string& parentDir, int index, bool capture,
                                        const std::string& card)
{
    const std::string name = "video" + std::to_string(number);
    const std::string dir = parentDir + "/video4linux/" + name;
    fs::create_directories(dir);
    WriteFile(dir + "/name", card + "\n");
    WriteFile(dir + "/index", std::to_string(index) + "\n");
    WriteFile(dir + "/dev", "81:" + std::to_string(number) + "\n");
    WriteFile(dir + "/uevent", "MAJOR=81\nMINOR=" + std::to_string(number) + "\nDEVNAME=" + name + "\n");
    Link(dir + "/device", parentDir);
    Link(dir + "/subsystem", SysfsRoot() + "/class/video4linux");
    Link(SysfsRoot() + "/class/video4linux/" + name, dir);

    FakeNode& node = m_nodes[number];
    node.devNode = DevRoot() + "/" + name;
    node.deviceCaps = capture ? CaptureCaps : MetadataCaps;
    node.allCaps = node.deviceCaps;
    node.card = card;
    node.uvcControls = capture;
    m_cameras.push_back(std::make_unique<std::map<std::uint8_t, std::map<std::uint8_t, FakeControl>>>());
    node.units = m_cameras.back().get();
    return node;
}

FakeNode& FakeLinuxSystem::AddUvcCamera(int captureNumber, const std::string& usbName, std::uint16_t vendorId,
                                        std::uint16_t productId, const Bytes& descriptors,
                                        const std::string& card)
{
    const std::string usb = AddUsbDevice(usbName, vendorId, productId, descriptors);
    const std::string control = AddUsbInterface(usb, 0);
    FakeNode& capture = AddVideoNode(captureNumber, control, 0, true, card);
    FakeNode& metadata = AddVideoNode(captureNumber + 1, control, 1, false, card);
    // uvcvideo reports the capabilities of both nodes in each; only device_caps tells them apart.
    capture.allCaps = metadata.allCaps = CaptureCaps | MetadataCaps;
    metadata.units = capture.units;
    return capture;
}

int FakeLinuxSystem::Open(const std::string& path)
{
    for (auto& [number, node] : m_nodes) {
        if (node.devNode != path) continue;
        if (!node.present) return -ENOENT;
        if (node.openError) return -node.openError;
        ++m_opens;
        m_open[m_nextFd] = number;
        return m_nextFd++;
    }
    return -ENOENT;
}

void FakeLinuxSystem::Close(int fd)
{
    if (m_open.erase(fd)) ++m_closes;
}

int FakeLinuxSystem::Ioctl(int fd, unsigned long request, void* argument)
{
    const auto open = m_open.find(fd);
    if (open == m_open.end()) return -EBADF;
    FakeNode& node = m_nodes.at(open->second);
    if (!node.present) return -ENODEV;

    if (request == VIDIOC_QUERYCAP) {
        auto* capability = static_cast<v4l2_capability*>(argument);
        std::memset(capability, 0, sizeof *capability);
        std::memcpy(capability->driver, "uvcvideo", 8);
        // Like the driver's strscpy: cut to the field, NUL-terminated.
        std::memcpy(capability->card, node.card.data(),
                    std::min(node.card.size(), sizeof capability->card - 1));
        capability->capabilities = node.allCaps | V4L2_CAP_DEVICE_CAPS;
        capability->device_caps = node.deviceCaps;
        return 0;
    }
    if (request == VIDIOC_G_CTRL || request == VIDIOC_S_CTRL) {
        auto* control = static_cast<v4l2_control*>(argument);
        if (!node.uvcControls || !node.hasZoom || control->id != V4L2_CID_ZOOM_ABSOLUTE) return -EINVAL;
        if (request == VIDIOC_G_CTRL) {
            control->value = node.zoom;
        } else {
            if (control->value < node.zoomMinimum || control->value > node.zoomMaximum) return -ERANGE;
            node.zoom = control->value;
        }
        return 0;
    }
    if (request == VIDIOC_QUERYCTRL) {
        auto* query = static_cast<v4l2_queryctrl*>(argument);
        if (!node.uvcControls || !node.hasZoom || query->id != V4L2_CID_ZOOM_ABSOLUTE) return -EINVAL;
        query->minimum = node.zoomMinimum;
        query->maximum = node.zoomMaximum;
        query->step = node.zoomStep;
        query->default_value = node.zoomDefault;
        return 0;
    }
    if (request != UVCIOC_CTRL_QUERY) return -ENOTTY;
    if (!node.uvcControls) return -ENOTTY;

    auto* query = static_cast<uvc_xu_control_query*>(argument);
    FakeQuery seen{query->unit, query->selector, query->query, query->size, {}};
    if (query->query == UVC_SET_CUR && query->data) seen.data.assign(query->data, query->data + query->size);
    m_queries.push_back(seen);
    if (node.nextQueryError) return -std::exchange(node.nextQueryError, 0);

    const auto unit = node.units->find(query->unit);
    if (unit == node.units->end()) return -ENOENT;
    const auto found = unit->second.find(query->selector);
    if (found == unit->second.end()) return -ENOENT;
    FakeControl& control = found->second;
    const std::size_t length = control.value.size();
    switch (query->query) {
        case UVC_GET_LEN:
            if (query->size != 2) return -ENOBUFS;
            query->data[0] = static_cast<std::uint8_t>(length);
            query->data[1] = static_cast<std::uint8_t>(length >> 8);
            return 0;
        case UVC_GET_INFO:
            if (query->size != 1) return -ENOBUFS;
            query->data[0] =
                static_cast<std::uint8_t>((control.allowGet ? 1 : 0) | (control.allowSet ? 2 : 0));
            return 0;
        case UVC_SET_CUR:
            if (!control.allowSet) return -EBADRQC;
            if (query->size != length) return -ENOBUFS;
            control.value.assign(query->data, query->data + length);
            control.writes.push_back(control.value);
            return 0;
        case UVC_GET_CUR:
            if (!control.allowGet) return -EBADRQC;
            if (query->size != length) return -ENOBUFS;
            std::memcpy(query->data, control.value.data(), length);
            return 0;
        default:
            return -EBADRQC;
    }
}

}  // namespace velmora::linux_test
