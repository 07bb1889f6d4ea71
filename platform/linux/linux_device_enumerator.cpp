#include "platform/linux/linux_device_enumerator.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/linux/linux_capture_device.h"
#include "platform/linux/v4l2_query.h"
#include "platform/linux/video_node.h"

namespace velmora::linux_backend {

namespace {

struct ListedDevice {
    VideoNode node;
    std::string friendlyName;
    std::string devicePath;
};

class LinuxPropertyBag : public PropertyBag {
public:
    explicit LinuxPropertyBag(std::shared_ptr<const ListedDevice> device) : m_device(std::move(device)) {}

    Status Read(std::string_view name, std::string& value) override
    {
        if (name == PropertyFriendlyName) {
            value = m_device->friendlyName;
        } else if (name == PropertyDevicePath) {
            value = m_device->devicePath;
        } else if (name == PropertyDeviceNode) {
            value = m_device->node.devNode;
        } else if (name == PropertySerialNumber && !m_device->node.usbSerial.empty()) {
            value = m_device->node.usbSerial;
        } else {
            return StatusInvalidArg;
        }
        return StatusOk;
    }

private:
    std::shared_ptr<const ListedDevice> m_device;
};

class LinuxMoniker : public Moniker {
public:
    LinuxMoniker(std::shared_ptr<LinuxSystem> system, std::shared_ptr<const ListedDevice> device)
        : m_system(std::move(system)), m_device(std::move(device))
    {
    }

    Status BindToStorage(std::unique_ptr<PropertyBag>& out) override
    {
        out = std::make_unique<LinuxPropertyBag>(m_device);
        return StatusOk;
    }

    Status BindToObject(std::unique_ptr<CaptureDevice>& out) override
    {
        out = std::make_unique<LinuxCaptureDevice>(m_system, m_device->node);
        return StatusOk;
    }

private:
    std::shared_ptr<LinuxSystem> m_system;
    std::shared_ptr<const ListedDevice> m_device;
};

class LinuxMonikerEnumerator : public MonikerEnumerator {
public:
    LinuxMonikerEnumerator(std::shared_ptr<LinuxSystem> system,
                           std::vector<std::shared_ptr<const ListedDevice>> devices)
        : m_system(std::move(system)), m_devices(std::move(devices))
    {
    }

    Status Reset() override
    {
        m_next = 0;
        return StatusOk;
    }

    Status Next(std::unique_ptr<Moniker>& out) override
    {
        if (m_next >= m_devices.size()) return StatusFalse;
        out = std::make_unique<LinuxMoniker>(m_system, m_devices[m_next++]);
        return StatusOk;
    }

private:
    std::shared_ptr<LinuxSystem> m_system;
    std::vector<std::shared_ptr<const ListedDevice>> m_devices;
    std::size_t m_next = 0;
};

}  // namespace

Status LinuxDeviceEnumerator::CreateVideoInputEnumerator(std::unique_ptr<MonikerEnumerator>& out)
{
    std::vector<std::shared_ptr<const ListedDevice>> devices;
    for (VideoNode& node : ListVideoNodes(*m_system)) {
        NodeIdentity identity;
        // A node that vanished or does not answer VIDIOC_QUERYCAP is no capture device.
        if (IdentifyNode(m_system, node, identity) < 0 || !identity.capture) continue;
        if (m_listed) m_listed(node);
        auto device = std::make_shared<ListedDevice>();
        // uvcvideo's card name appends the function's string to the product's ("USB Camera: USB
        // Camera"); the product string alone is the camera's name.
        device->friendlyName = node.usbProduct.empty() ? identity.card : node.usbProduct;
        device->devicePath = DevicePathOf(node);
        device->node = std::move(node);
        devices.push_back(std::move(device));
    }
    if (devices.empty()) return StatusFalse;
    out = std::make_unique<LinuxMonikerEnumerator>(m_system, std::move(devices));
    return StatusOk;
}

}  // namespace velmora::linux_backend
