// The window's zoom query and status-register read, on the device selected in DeviceList.
#include <gtest/gtest.h>

#include <QComboBox>
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

// A camera is there, but no item is current: nothing may reach it.
TEST_F(WindowCamera, WithoutADeviceZoomFailsAndStatusReadSendsNothing)
{
    auto backend = Install({sim::SimCameraConfig{}});
    Velmora window;
    const sim::SimCamera& camera = *backend->Cameras()[0];
    const std::size_t requests = camera.Requests().size();
    const std::size_t cameraCalls = camera.CameraControlCalls().size();
    const int ksQueries = camera.KsControlQueries();
    ASSERT_GT(requests, 0u) << "start-up reached the selected camera";
    window.Form().DeviceList->setCurrentIndex(-1);
    EXPECT_EQ(window.QueryCameraZoom(), StatusFail);
    ReadStatusRegisters();
    EXPECT_EQ(camera.Requests().size(), requests);
    EXPECT_EQ(camera.CameraControlCalls().size(), cameraCalls);
    EXPECT_EQ(camera.CameraControlQueries(), 1);
    EXPECT_EQ(camera.KsControlQueries(), ksQueries);
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
