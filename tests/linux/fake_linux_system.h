// A fake sysfs tree in a temporary folder and a fake uvcvideo answering the node calls.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/linux_system.h"
#include "tests/linux/uvc_descriptor_builder.h"

namespace velmora::linux_test {

// One extension-unit control as the driver knows it from GET_INFO and GET_LEN.
struct FakeControl {
    Bytes value;  // its size is the control's length
    bool allowGet = true;
    bool allowSet = true;
    std::vector<Bytes> writes;
};

// What the driver does for one video node.
struct FakeNode {
    std::string devNode;
    std::uint32_t deviceCaps = 0;
    std::uint32_t allCaps = 0;  // capabilities: every node of the device together
    std::string card;
    bool uvcControls = true;  // false: UVCIOC_CTRL_QUERY answers ENOTTY, as on a metadata node
    bool present = true;      // false: unplugged; open fails with ENOENT, calls on open nodes ENODEV
    int openError = 0;        // errno for open, e.g. EACCES
    int nextQueryError = 0;   // errno for the next UVCIOC_CTRL_QUERY only
    // unit id -> selector -> control; the camera behind both nodes shares them.
    std::map<std::uint8_t, std::map<std::uint8_t, FakeControl>>* units = nullptr;
    bool hasZoom = true;
    std::int32_t zoom = 100, zoomMinimum = 100, zoomMaximum = 500, zoomStep = 1, zoomDefault = 100;
};

struct FakeQuery {
    std::uint8_t unit;
    std::uint8_t selector;
    std::uint8_t query;
    std::uint16_t size;
    Bytes data;  // for SET_CUR
};

class FakeLinuxSystem : public velmora::linux_backend::LinuxSystem {
public:
    FakeLinuxSystem();
    ~FakeLinuxSystem() override;

    std::string SysfsRoot() const override { return m_root + "/sys"; }
    std::string DevRoot() const override { return m_root + "/dev"; }
    int Open(const std::string& path) override;
    int Ioctl(int fd, unsigned long request, void* argument) override;
    void Close(int fd) override;
    bool UdevDaemonRunning() const override { return udevRunning; }

    // The tree. usbName is the kernel's name, "1-1"; the USB device sits under a PCI host controller.
    std::string AddUsbDevice(const std::string& usbName, std::uint16_t vendorId, std::uint16_t productId,
                             const Bytes& descriptors, int configurationValue = 1);
    // "1-1:1.0": the interface folder of configuration 1.
    std::string AddUsbInterface(const std::string& usbDir, int interfaceNumber);
    std::string AddPciDevice(const std::string& name);
    // A video node videoN below parentDir, with its driver's answers. Returns the node to adjust.
    FakeNode& AddVideoNode(int number, const std::string& parentDir, int index, bool capture,
                           const std::string& card);
    // A camera: USB device, video-control interface, capture node and metadata node.
    FakeNode& AddUvcCamera(int captureNumber, const std::string& usbName, std::uint16_t vendorId,
                           std::uint16_t productId, const Bytes& descriptors, const std::string& card);

    FakeNode& Node(int number) { return m_nodes.at(number); }
    std::map<std::uint8_t, std::map<std::uint8_t, FakeControl>>& Units(int number)
    {
        return *m_nodes.at(number).units;
    }
    void WriteFile(const std::string& path, const std::string& content);

    const std::vector<FakeQuery>& Queries() const { return m_queries; }
    int Opens() const { return m_opens; }
    int Closes() const { return m_closes; }
    int OpenNow() const { return static_cast<int>(m_open.size()); }

    bool udevRunning = false;

private:
    std::string m_root;
    std::map<int, FakeNode> m_nodes;  // by videoN number
    std::vector<std::unique_ptr<std::map<std::uint8_t, std::map<std::uint8_t, FakeControl>>>> m_cameras;
    std::map<int, int> m_open;  // fd -> node number
    int m_nextFd = 100;
    int m_opens = 0;
    int m_closes = 0;
    std::vector<FakeQuery> m_queries;
};

}  // namespace velmora::linux_test
