// The simulated backend: configured cameras behind the platform ports.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/sim/sim_camera.h"
#include "platform/sim/sim_config.h"
#include "platform/sim/sim_device_change.h"
#include "platform/sim/sim_hotplug.h"
#include "platform/sim/sim_trace.h"

namespace velmora::sim {

class SimBackend : public Backend, public std::enable_shared_from_this<SimBackend> {
public:
    explicit SimBackend(SimWorldConfig world);

    // From the file named by VELMORA_SIM_CONFIG, or the two default cameras without one; with
    // VELMORA_SIM_HOTPLUG_DIR set, also watching that folder (a folder that cannot be watched is
    // reported on stderr and left out).
    static std::shared_ptr<SimBackend> FromEnvironment(std::string& error);

    std::string Name() const override { return "sim"; }
    Status CreateSystemDeviceEnumerator(std::unique_ptr<SystemDeviceEnumerator>& out) override;
    std::unique_ptr<DeviceChangeSource> CreateDeviceChangeSource() override;

    const SimWorldConfig& World() const { return m_world; }
    SimWorldConfig& World() { return m_world; }
    const std::vector<std::shared_ptr<SimCamera>>& Cameras() const { return m_cameras; }
    const SimLiveCounts& Live() const { return *m_live; }
    // The capture device of camera index, as binding its moniker gives it; null past the last camera.
    std::unique_ptr<CaptureDevice> OpenCaptureDevice(std::size_t index);
    // Where the requests are traced, or null.
    const std::shared_ptr<SimTraceFile>& Trace() const { return m_trace; }
    const std::shared_ptr<SimLiveCounts>& LiveCounts() const { return m_live; }

    // Plugs a camera in while the program runs: it joins the enumeration after the others and
    // every device-change registration for the capture class hears its arrival. GUI thread only.
    std::shared_ptr<SimCamera> Plug(SimCameraConfig camera);
    // Pulls a camera out (taken by value: the caller may pass an element of Cameras()): it leaves the
    // enumeration, the capture devices already bound to it answer StatusDeviceNotConnected, and the
    // registrations hear its removal. False for a camera that is not (or no longer) one of Cameras(). GUI
    // thread only.
    bool Unplug(std::shared_ptr<SimCamera> camera);
    // Plugs and pulls cameras as *.camera files come and go in folder (see SimHotplugFolder);
    // the sources created afterwards signal through its descriptor. False, with error set, when
    // the folder cannot be watched.
    bool WatchHotplugFolder(const std::string& folder, std::string& error);
    const SimDeviceChangeHub& DeviceChanges() const { return *m_deviceChanges; }

private:
    SimWorldConfig m_world;
    std::shared_ptr<SimTraceFile> m_trace;
    std::vector<std::shared_ptr<SimCamera>> m_cameras;
    std::shared_ptr<SimLiveCounts> m_live = std::make_shared<SimLiveCounts>();
    std::shared_ptr<SimDeviceChangeHub> m_deviceChanges = std::make_shared<SimDeviceChangeHub>();
    std::shared_ptr<SimHotplugFolder> m_hotplug;
    std::map<const SimCamera*, std::string> m_interfaceNames;
    int m_plugged = 0;
};

}  // namespace velmora::sim
