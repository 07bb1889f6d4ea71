#include "platform/linux/udev_device_change.h"

#include <libudev.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/linux/errno_status.h"
#include "platform/linux/v4l2_query.h"
#include "platform/linux/video_node.h"

namespace velmora::linux_backend {

namespace {

std::optional<std::uint16_t> HexId(const char* text)
{
    if (!text || !*text) return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 16);
    if (*end != '\0' || value > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::string Text(const char* text)
{
    return text ? text : "";
}

std::string LowerGuidText(const Guid& guid)
{
    std::string text = GuidText(guid);
    for (char& c : text) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::unique_ptr<UdevMonitor> UdevMonitor::Open(int& error, bool kernelEvents)
{
    error = 0;
    struct udev* context = udev_new();
    if (!context) {
        error = errno ? errno : ENOMEM;
        return nullptr;
    }
    struct udev_monitor* monitor = udev_monitor_new_from_netlink(context, kernelEvents ? "kernel" : "udev");
    if (!monitor) {
        error = errno ? errno : ENOMEM;
        udev_unref(context);
        return nullptr;
    }
    std::unique_ptr<UdevMonitor> result(new UdevMonitor(context, monitor, kernelEvents));
    int status = udev_monitor_filter_add_match_subsystem_devtype(monitor, "video4linux", nullptr);
    if (status >= 0) status = udev_monitor_enable_receiving(monitor);
    if (status < 0) {
        error = -status;
        return nullptr;
    }
    return result;
}

UdevMonitor::~UdevMonitor()
{
    udev_monitor_unref(m_monitor);
    udev_unref(m_udev);
}

int UdevMonitor::Descriptor() const
{
    return udev_monitor_get_fd(m_monitor);
}

std::optional<UdevEventFacts> UdevMonitor::Receive()
{
    // The monitor's socket does not block: null means nothing waits.
    struct udev_device* device = udev_monitor_receive_device(m_monitor);
    if (!device) return std::nullopt;
    UdevEventFacts facts;
    facts.action = Text(udev_device_get_action(device));
    facts.devNode = Text(udev_device_get_devnode(device));
    facts.sysName = Text(udev_device_get_sysname(device));
    // The parent is borrowed from device. After a removal sysfs may hold only an ancestor (the root
    // hub), so the removal's ids come from the event's properties (udev's database) or from what
    // was noted of the node while it was there.
    if (facts.action != "remove") {
        struct udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
        if (usb) {
            facts.vendorId = HexId(udev_device_get_sysattr_value(usb, "idVendor"));
            facts.productId = HexId(udev_device_get_sysattr_value(usb, "idProduct"));
        }
    }
    if (!facts.vendorId || !facts.productId) {
        facts.vendorId = HexId(udev_device_get_property_value(device, "ID_VENDOR_ID"));
        facts.productId = HexId(udev_device_get_property_value(device, "ID_MODEL_ID"));
    }
    udev_device_unref(device);
    return facts;
}

bool DeviceChangeFromUdev(const UdevEventFacts& facts, DeviceChangeEvent& event)
{
    if (facts.action == "add") {
        event.kind = DeviceChangeKind::Arrival;
    } else if (facts.action == "remove") {
        event.kind = DeviceChangeKind::RemoveComplete;
    } else {
        return false;
    }
    event.recordType = DeviceRecordInterface;
    std::string name = facts.devNode.empty() ? facts.sysName : facts.devNode;
    if (facts.vendorId && facts.productId) {
        char ids[32];
        std::snprintf(ids, sizeof ids, "#usb#vid_%04x&pid_%04x", *facts.vendorId, *facts.productId);
        name += ids;
    }
    event.interfaceName = name + "#{" + LowerGuidText(KsCategoryCapture) + "}";
    return true;
}

void CaptureNodeEvents::Seed()
{
    for (const VideoNode& node : ListVideoNodes(*m_system)) {
        NodeIdentity identity;
        if (IdentifyNode(m_system, node, identity) == 0 && identity.capture) Note(node);
    }
}

void CaptureNodeEvents::Note(const VideoNode& node)
{
    m_captureNodes[node.name] = node.usb ? UsbIds{node.vendorId, node.productId} : UsbIds{};
}

bool CaptureNodeEvents::Accept(UdevEventFacts& facts)
{
    if (facts.action == "remove") {
        const auto known = m_captureNodes.find(facts.sysName);
        if (known == m_captureNodes.end()) return false;
        if (!facts.vendorId || !facts.productId) {
            facts.vendorId = known->second.vendorId;
            facts.productId = known->second.productId;
        }
        m_captureNodes.erase(known);
        return true;
    }
    if (facts.action != "add") return true;
    const std::optional<VideoNode> node = ReadVideoNode(*m_system, facts.sysName);
    NodeIdentity identity;
    if (!node || IdentifyNode(m_system, *node, identity) != 0 || !identity.capture) return false;
    Note(*node);
    return true;
}

UdevDeviceChangeSource::UdevDeviceChangeSource(std::shared_ptr<LinuxSystem> system,
                                               std::unique_ptr<UdevMonitor> primed,
                                               std::shared_ptr<CaptureNodeEvents> primedNodes)
    : m_system(std::move(system)), m_monitor(std::move(primed)), m_captureNodes(std::move(primedNodes))
{
    if (!m_captureNodes) m_captureNodes = std::make_shared<CaptureNodeEvents>(m_system);
}

UdevDeviceChangeSource::~UdevDeviceChangeSource() = default;

Status UdevDeviceChangeSource::Register(std::uintptr_t /*nativeWindow*/, const Guid& interfaceClass,
                                        Sink sink)
{
    if (interfaceClass != KsCategoryCapture) return StatusNotSupported;
    if (!m_monitor) {
        int error = 0;
        // Without the daemon the "udev" source stays silent; the kernel's own uevents still come.
        m_monitor = UdevMonitor::Open(error, !m_system->UdevDaemonRunning());
        if (!m_monitor) return StatusFromErrno(error ? error : EIO);
        m_captureNodes->Seed();
    }
    if (m_monitor->KernelEvents())
        m_notice = "udev daemon not running: following the kernel's own device events";
    m_sink = std::move(sink);
    m_registered = true;
    return StatusOk;
}

int UdevDeviceChangeSource::EventDescriptor() const
{
    return m_registered && m_monitor ? m_monitor->Descriptor() : -1;
}

void UdevDeviceChangeSource::DispatchPending()
{
    if (!m_registered || !m_monitor) return;
    while (auto facts = m_monitor->Receive()) Deliver(std::move(*facts));
}

void UdevDeviceChangeSource::Deliver(UdevEventFacts facts)
{
    DeviceChangeEvent event;
    if (m_captureNodes->Accept(facts) && DeviceChangeFromUdev(facts, event) && m_sink) m_sink(event);
}

}  // namespace velmora::linux_backend
