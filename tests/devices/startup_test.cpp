// The window's start-up steps over simulated cameras: the list, the zoom query and the status
// reads go to the first camera; without a camera nothing is sent and no box appears.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>

#include <memory>

#include "app/velmora.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#include "tests/devices/sim_devices.h"
#include "tests/support/message_box_watcher.h"

namespace {

using velmora::sim::SimBackend;

struct StatusRead {
    int address;
    int param;
};

// The status register reads among the packets a camera received, in order.
std::vector<StatusRead> StatusReads(const velmora::sim::SimCamera& camera)
{
    std::vector<StatusRead> reads;
    for (const auto& packet : camera.Writes()) {
        if (packet.size() != 12 || packet[0] != 0x26 || packet[1] != 0x80) continue;
        reads.push_back({(packet[2] << 24) | (packet[3] << 16) | (packet[4] << 8) | packet[5], packet[6]});
    }
    return reads;
}

class StartupTest : public ::testing::Test {
protected:
    void Start(std::shared_ptr<SimBackend> simulated)
    {
        backend = std::move(simulated);
        velmora::InstallBackend(backend);
        window = std::make_unique<Velmora>();
    }
    void TearDown() override
    {
        window.reset();
        velmora::InstallBackend(nullptr);
        if (backend) {
            EXPECT_EQ(backend->Live().Total(), 0) << "the window kept a device reference";
        }
    }
    QComboBox& List() { return *window->Form().DeviceList; }

    MessageBoxWatcher boxes;
    std::shared_ptr<SimBackend> backend;
    std::unique_ptr<Velmora> window;
};

TEST_F(StartupTest, TwoCamerasAreListedAndTheFirstGetsTheZoomQueryAndStatusReads)
{
    Start(std::make_shared<SimBackend>(velmora::sim::DefaultSimWorld()));
    ASSERT_EQ(List().count(), 2);
    EXPECT_EQ(List().itemText(0), "USB Camera    VID_ABCD&PID_EF01");
    EXPECT_EQ(List().itemText(1), "Conference Camera    VID_1B3F&PID_2247");
    EXPECT_EQ(List().currentIndex(), 0);
    const auto& first = *backend->Cameras()[0];
    const auto& second = *backend->Cameras()[1];
    EXPECT_EQ(window->SelectedDevice(), window->DeviceForHandle(List().itemData(0).toInt()));
    EXPECT_NE(window->SelectedDevice(), nullptr);

    EXPECT_EQ(first.CameraControlQueries(), 1);
    // The zoom (value, then range) before any extension-unit request; then the 24 status reads.
    EXPECT_EQ(first.CameraControlCalls(), std::vector<std::uint64_t>({0, 0}));
    const auto reads = StatusReads(first);
    ASSERT_EQ(reads.size(), 24u);
    EXPECT_EQ(first.Writes().size(), 24u) << "nothing but the status reads";
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(reads[i].address, 376 + i);
        EXPECT_EQ(reads[i].param, 1);
    }
    EXPECT_EQ(second.CameraControlQueries(), 0);
    EXPECT_TRUE(second.Writes().empty());

    window->show();
    QTest::qWait(20);
    EXPECT_TRUE(boxes.Seen().isEmpty());
    EXPECT_EQ(backend->Live().devices, 2);
    EXPECT_EQ(backend->Live().Total(), 4) << "only the table's monikers and devices stay";
}

TEST_F(StartupTest, WithoutAUsableCameraNothingIsSentAndNoBoxAppears)
{
    auto unplugged = devices_test::BackendWithCameras(2);
    for (const auto& camera : unplugged->Cameras()) camera->SetPlugged(false);
    auto noEnumerator = devices_test::BackendWithCameras(2);
    noEnumerator->World().failCreateEnumerator = true;
    auto noBinding = devices_test::BackendWithCameras(2);
    for (const auto& camera : noBinding->Cameras()) camera->Config().failBindToObject = true;

    for (const auto& simulated : {unplugged, noEnumerator, noBinding}) {
        Start(simulated);
        window->show();
        QTest::qWait(20);
        EXPECT_EQ(List().count(), 0);
        EXPECT_EQ(List().currentIndex(), -1);
        EXPECT_EQ(window->SelectedDevice(), nullptr);
        for (const auto& camera : backend->Cameras()) {
            EXPECT_EQ(camera->KsControlQueries(), 0);
            EXPECT_EQ(camera->CameraControlQueries(), 0);
            EXPECT_TRUE(camera->Requests().empty());
        }
        EXPECT_TRUE(boxes.Seen().isEmpty());
        window.reset();
        EXPECT_EQ(backend->Live().Total(), 0);
    }
}

}  // namespace
