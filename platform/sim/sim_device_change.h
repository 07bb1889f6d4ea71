// Device-change notifications of the simulated cameras: each plug and unplug reaches every sink
// registered for the capture class, with an interface name as Windows gives it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/device_change.h"
#include "platform/sim/sim_config.h"

namespace velmora::sim {

class SimHotplugFolder;

// The capture interface name a simulated camera announces: its device path in lower case when the
// path carries the capture class GUID, else a USB-style name with the path's vendor and product ids
// (0000 when it has none) and the given instance number.
std::string SimInterfaceName(const SimCameraConfig& camera, int instance);

// The registrations of every source of one simulated backend. GUI thread only.
class SimDeviceChangeHub {
public:
    // The registration lasts as long as the returned token.
    std::shared_ptr<void> Add(const Guid& interfaceClass, DeviceChangeSource::Sink sink);

    // Calls every sink registered for interfaceClass, at once on the calling thread. A sink may
    // register or drop registrations while it runs; those take effect for the next event.
    void Post(const Guid& interfaceClass, const DeviceChangeEvent& event);

    // Registrations still alive.
    int Registrations() const;

private:
    struct Registration {
        Guid interfaceClass;
        DeviceChangeSource::Sink sink;
    };
    std::vector<std::weak_ptr<Registration>> m_registrations;
};

// The source a simulated backend hands out. Events of Plug/Unplug reach the sinks directly;
// with a watched hotplug folder, its descriptor turns readable when files come or go and
// DispatchPending applies the changes.
class SimDeviceChangeSource : public DeviceChangeSource {
public:
    SimDeviceChangeSource(std::shared_ptr<SimDeviceChangeHub> hub, std::shared_ptr<SimHotplugFolder> folder);

    Status Register(std::uintptr_t nativeWindow, const Guid& interfaceClass, Sink sink) override;
    int EventDescriptor() const override;
    void DispatchPending() override;

private:
    std::shared_ptr<SimDeviceChangeHub> m_hub;
    std::shared_ptr<SimHotplugFolder> m_folder;
    std::vector<std::shared_ptr<void>> m_registrations;
};

}  // namespace velmora::sim
