// The window's zoom query and status-register read, on the device selected in DeviceList.
#include <gtest/gtest.h>

#include <memory>

#include "app/velmora.h"
#include "platform/sim/sim_backend.h"

namespace velmora {
namespace {

class WindowCamera : public ::testing::Test {
protected:
    void TearDown() override { InstallBackend(nullptr); }

    std::shared_ptr<sim::SimBackend> Install(std::vector<sim::SimCameraConfig> cameras)
    {
        sim::SimWorldConfig world;
        world.cameras = std::move(cameras);
        for (std::size_t i = 0; i < world.cameras.size(); ++i) {
            world.cameras[i].devicePath = sim::SimDevicePath(0xABCD, 0xEF01, static_cast<int>(i + 1));
        }
        auto backend = std::make_shared<sim::SimBackend>(world);
        InstallBackend(backend);
        return backend;
    }
};

TEST_F(WindowCamera, WithoutADeviceZoomFailsAndStatusReadSendsNothing)
{
    auto backend = Install({});
    Velmora window;
    EXPECT_EQ(window.QueryCameraZoom(), StatusFail);
    ReadStatusRegisters();
    EXPECT_EQ(backend->Live().Total(), 0);
}

TEST_F(WindowCamera, StartUpQueriesZoomThenReadsTheStatusBlockOfTheSelectedCamera)
{
    sim::SimCameraConfig first;
    for (std::uint32_t i = 0; i < 24; ++i) first.firmware.statusRegisters[i] = i;
    auto backend = Install({first, sim::SimCameraConfig{}});
    Velmora window;
    const sim::SimCamera& selected = *backend->Cameras()[0];
    EXPECT_EQ(selected.CameraControlQueries(), 1);
    EXPECT_EQ(selected.Firmware().Transactions().size(), 24u);
    EXPECT_TRUE(backend->Cameras()[1]->Requests().empty());
    EXPECT_EQ(backend->Cameras()[1]->CameraControlQueries(), 0);

    EXPECT_EQ(window.QueryCameraZoom(), StatusOk);
    EXPECT_EQ(selected.CameraControlQueries(), 2);
    ReadStatusRegisters();
    EXPECT_EQ(selected.Firmware().Transactions().size(), 48u);
    EXPECT_EQ(selected.Firmware().Transactions().back().address, 399u);

    backend->Cameras()[0]->Config().failCameraControl = true;
    EXPECT_EQ(window.QueryCameraZoom(), StatusNoInterface);
}

}  // namespace
}  // namespace velmora
