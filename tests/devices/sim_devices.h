// Simulated cameras for the device tests.
#pragma once

#include <QString>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/sim/sim_backend.h"

namespace devices_test {

// A camera with this friendly name and a USB path for vendor 0xABCD, product 0xEF00 + instance.
velmora::sim::SimCameraConfig Camera(const std::string& name, int instance);

// A backend with count cameras named "Camera 1", "Camera 2", ...
std::shared_ptr<velmora::sim::SimBackend> BackendWithCameras(int count);

std::shared_ptr<velmora::sim::SimBackend> BackendWith(std::vector<velmora::sim::SimCameraConfig> cameras);

// The moniker of the only camera of backend.
std::unique_ptr<velmora::Moniker> FirstMoniker(velmora::sim::SimBackend& backend);

}  // namespace devices_test

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
