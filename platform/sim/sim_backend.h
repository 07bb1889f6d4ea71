// The simulated backend: configured cameras behind the platform ports.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/sim/sim_camera.h"
#include "platform/sim/sim_config.h"
#include "platform/sim/sim_trace.h"

namespace velmora::sim {

class SimBackend : public Backend, public std::enable_shared_from_this<SimBackend> {
public:
    explicit SimBackend(SimWorldConfig world);

    // From the file named by VELMORA_SIM_CONFIG, or the two default cameras without one.
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

private:
    SimWorldConfig m_world;
    std::shared_ptr<SimTraceFile> m_trace;
    std::vector<std::shared_ptr<SimCamera>> m_cameras;
    std::shared_ptr<SimLiveCounts> m_live = std::make_shared<SimLiveCounts>();
};

}  // namespace velmora::sim
