// One simulated camera: its configuration, its extension-unit control and its zoom.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/camera_control.h"
#include "platform/ks_control.h"
#include "platform/sim/sim_config.h"

namespace velmora::sim {

// Live interface objects handed out by the simulated backend, by kind.
struct SimLiveCounts {
    int enumerators = 0;
    int monikers = 0;
    int propertyBags = 0;
    int devices = 0;
    int ksControls = 0;
    int cameraControls = 0;
    int Total() const { return enumerators + monikers + propertyBags + devices + ksControls + cameraControls; }
};

// Counts one live object of a kind for as long as it exists.
class LiveToken {
public:
    LiveToken(std::shared_ptr<SimLiveCounts> counts, int SimLiveCounts::*kind);
    ~LiveToken();
    LiveToken(const LiveToken&) = delete;
    LiveToken& operator=(const LiveToken&) = delete;

private:
    std::shared_ptr<SimLiveCounts> m_counts;
    int SimLiveCounts::*m_kind;
};

class SimCamera {
public:
    explicit SimCamera(SimCameraConfig config);

    const SimCameraConfig& Config() const { return m_config; }
    bool Plugged() const { return m_plugged; }
    void SetPlugged(bool plugged) { m_plugged = plugged; }

    // The extension-unit control, as IKsControl::KsProperty sees it.
    Status KsProperty(const KsNodeRequest& request, void* data, std::uint32_t dataLength,
                      std::uint32_t& bytesReturned);

    // IAMCameraControl.
    Status CameraGet(CameraProperty property, std::int32_t& value, std::int32_t& flags);
    Status CameraGetRange(CameraProperty property, CameraRange& range);
    Status CameraSet(CameraProperty property, std::int32_t value, std::int32_t flags);

    // Every set request's bytes, in order.
    const std::vector<std::vector<std::uint8_t>>& Writes() const { return m_writes; }

private:
    SimCameraConfig m_config;
    bool m_plugged = true;
    std::uint32_t m_controlSize = 12;
    std::vector<std::uint8_t> m_control;
    std::vector<std::vector<std::uint8_t>> m_writes;
    std::int32_t m_zoom = 100;
};

}  // namespace velmora::sim
