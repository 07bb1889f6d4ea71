// Device-change notifications from a udev monitor on the video4linux subsystem.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/device_change.h"
#include "platform/linux/linux_system.h"
#include "platform/linux/video_node.h"

struct udev;
struct udev_monitor;

namespace velmora::linux_backend {

// What one udev event tells.
struct UdevEventFacts {
    std::string action;   // "add", "remove", "change", ...
    std::string devNode;  // "/dev/video0"; may be empty
    std::string sysName;  // "video0"
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
};

// A udev monitor filtered to video4linux and receiving from the moment it is opened: on the "udev"
// source (events after the rules ran, so the node's permissions are set) where the daemon runs,
// else on the "kernel" source, the kernel's own uevents, which need no daemon.
class UdevMonitor {
public:
    // Null and error set (an errno) when it cannot be had.
    static std::unique_ptr<UdevMonitor> Open(int& error, bool kernelEvents = false);
    ~UdevMonitor();
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    int Descriptor() const;
    bool KernelEvents() const { return m_kernelEvents; }
    // The next waiting event, or nothing when none waits.
    std::optional<UdevEventFacts> Receive();

private:
    UdevMonitor(struct udev* context, struct udev_monitor* monitor, bool kernelEvents)
        : m_udev(context), m_monitor(monitor), m_kernelEvents(kernelEvents)
    {
    }

    struct udev* m_udev;
    struct udev_monitor* m_monitor;
    bool m_kernelEvents;
};

// The interface name an event carries: "/dev/video0#usb#vid_046d&pid_0825#{65e8773d-...}", the
// capture class GUID in lower case as in Windows interface names. False for actions other than add
// and remove.
bool DeviceChangeFromUdev(const UdevEventFacts& facts, DeviceChangeEvent& event);

// Lets through the events of capture nodes only: uvcvideo adds a metadata node beside every capture
// node, and one camera plugged in is one arrival (one refresh, one status read), as on Windows. An
// added node is judged as the enumeration judges it; a removal passes for a node that passed before
// or was a capture node when Seed ran or was noted, since a removed node can no longer be asked.
// A removal also gets the USB ids its node had: by then sysfs no longer holds them.
class CaptureNodeEvents {
public:
    explicit CaptureNodeEvents(std::shared_ptr<LinuxSystem> system) : m_system(std::move(system)) {}

    void Seed();
    // A capture node, found by Seed, an add or an enumeration, and its USB ids.
    void Note(const VideoNode& node);
    bool Accept(UdevEventFacts& facts);

private:
    struct UsbIds {
        std::optional<std::uint16_t> vendorId;
        std::optional<std::uint16_t> productId;
    };
    std::shared_ptr<LinuxSystem> m_system;
    std::map<std::string, UsbIds> m_captureNodes;  // by sysfs name, "video0"
};

class UdevDeviceChangeSource : public DeviceChangeSource {
public:
    // primed: a monitor opened before the first enumeration, or null; primedNodes: the capture
    // nodes that enumeration listed, so that one pulled before Register still leaves. Without a
    // primed monitor, Register opens one and notes the capture nodes present then.
    UdevDeviceChangeSource(std::shared_ptr<LinuxSystem> system, std::unique_ptr<UdevMonitor> primed,
                           std::shared_ptr<CaptureNodeEvents> primedNodes);
    ~UdevDeviceChangeSource() override;

    // StatusNotSupported for a class other than KSCATEGORY_CAPTURE. Without a udev daemon the
    // kernel's own uevents are watched.
    Status Register(std::uintptr_t nativeWindow, const Guid& interfaceClass, Sink sink) override;
    int EventDescriptor() const override;
    void DispatchPending() override;
    // One received event: passed on to the sink when it is a capture node's add or remove.
    void Deliver(UdevEventFacts facts);
    std::string Notice() const override { return m_notice; }

private:
    std::shared_ptr<LinuxSystem> m_system;
    std::unique_ptr<UdevMonitor> m_monitor;
    bool m_registered = false;
    std::string m_notice;
    Sink m_sink;
    std::shared_ptr<CaptureNodeEvents> m_captureNodes;
};

}  // namespace velmora::linux_backend
