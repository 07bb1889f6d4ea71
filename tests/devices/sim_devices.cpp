#include "tests/devices/sim_devices.h"

#include <gtest/gtest.h>

namespace devices_test {

using velmora::sim::SimCameraConfig;

SimCameraConfig Camera(const std::string& name, int instance)
{
    SimCameraConfig camera;
    camera.friendlyName = name;
    camera.devicePath =
        velmora::sim::SimDevicePath(0xABCD, static_cast<std::uint16_t>(0xEF00 + instance), instance);
    return camera;
}

std::shared_ptr<velmora::sim::SimBackend> BackendWithCameras(int count)
{
    std::vector<SimCameraConfig> cameras;
    for (int i = 1; i <= count; ++i) cameras.push_back(Camera("Camera " + std::to_string(i), i));
    return BackendWith(std::move(cameras));
}

std::shared_ptr<velmora::sim::SimBackend> BackendWith(std::vector<SimCameraConfig> cameras)
{
    velmora::sim::SimWorldConfig world;
    world.cameras = std::move(cameras);
    return std::make_shared<velmora::sim::SimBackend>(std::move(world));
}

std::unique_ptr<velmora::Moniker> FirstMoniker(velmora::sim::SimBackend& backend)
{
    std::unique_ptr<velmora::SystemDeviceEnumerator> system;
    std::unique_ptr<velmora::MonikerEnumerator> devices;
    std::unique_ptr<velmora::Moniker> moniker;
    EXPECT_EQ(backend.CreateSystemDeviceEnumerator(system), velmora::StatusOk);
    if (!system) return nullptr;
    EXPECT_EQ(system->CreateVideoInputEnumerator(devices), velmora::StatusOk);
    if (!devices) return nullptr;
    EXPECT_EQ(devices->Next(moniker), velmora::StatusOk);
    return moniker;
}

}  // namespace devices_test
