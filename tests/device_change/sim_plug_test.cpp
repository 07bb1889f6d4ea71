// Plugging and pulling simulated cameras while the window runs: the events, the list, the status
// reads on each camera's register log, and a storm of changes.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <memory>
#include <random>

#include "app/velmora.h"
#include "platform/sim/sim_backend.h"
#include "platform/sim/sim_device_change.h"
#include "tests/device_change/device_change_texts.h"
#include "tests/device_change/scripted_backend.h"
#include "tests/support/debug_capture.h"
#include "tests/support/message_box_watcher.h"

namespace {

using device_change_test::HasRun;
using device_change_test::Labels;
using velmora::sim::SimBackend;
using velmora::sim::SimCamera;
using velmora::sim::SimCameraConfig;

using device_change_test::kCaptureGuidText;
using device_change_test::kRemoved;
using device_change_test::kVideoRemoved;

// How many full status reads (registers 376 to 399, in order) the camera's firmware executed.
int StatusReadsOn(const SimCamera& camera)
{
    std::vector<std::uint32_t> addresses;
    for (const velmora::sim::RegisterTransaction& t : camera.Firmware().Transactions()) {
        if (t.read && t.command == 0x80 && t.param == 1 && t.address >= 376 && t.address <= 399) {
            addresses.push_back(t.address);
        }
    }
    if (addresses.size() % 24 != 0) return -1;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (addresses[i] != 376 + i % 24) return -1;
    }
    return static_cast<int>(addresses.size() / 24);
}

SimCameraConfig Camera(const std::string& name, std::uint16_t productId, int instance)
{
    SimCameraConfig camera;
    camera.friendlyName = name;
    camera.devicePath = velmora::sim::SimDevicePath(0x2B7E, productId, instance);
    return camera;
}

class SimPlugTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_sim = std::make_shared<SimBackend>(velmora::sim::DefaultSimWorld());
        velmora::InstallBackend(m_sim);
        m_window = std::make_unique<Velmora>();
        m_window->show();
    }
    void TearDown() override
    {
        m_window.reset();
        EXPECT_EQ(m_sim->Live().Total(), 0) << "every reference is given back with the window";
        velmora::InstallBackend(nullptr);
    }
    QComboBox& List() { return *m_window->Form().DeviceList; }

    std::shared_ptr<SimBackend> m_sim;
    std::unique_ptr<Velmora> m_window;
    MessageBoxWatcher m_boxes;
};

TEST_F(SimPlugTest, PlugAThirdCameraThenPullTheSelectedOne)
{
    const std::shared_ptr<SimCamera> first = m_sim->Cameras().at(0);
    const std::shared_ptr<SimCamera> second = m_sim->Cameras().at(1);
    ASSERT_EQ(List().count(), 2);
    ASSERT_EQ(StatusReadsOn(*first), 1) << "start-up reads the selected camera";
    ASSERT_EQ(StatusReadsOn(*second), 0);

    DebugCapture arrival;
    const std::shared_ptr<SimCamera> third = m_sim->Plug(Camera("Document Camera", 0x0134, 3));
    const QString thirdName = QString::fromStdString(third->Config().devicePath.value());
    ASSERT_TRUE(thirdName.contains("{65e8773d-8f56-11d0-a3b9-00a0c9223196}"))
        << "the name carries the GUID in lower case";
    EXPECT_TRUE(HasRun(arrival.Lines(), {thirdName, kCaptureGuidText}));
    EXPECT_EQ(Labels(List()),
              QStringList({"USB Camera    VID_ABCD&PID_EF01", "Conference Camera    VID_1B3F&PID_2247",
                           "Document Camera    VID_2B7E&PID_0134"}));
    EXPECT_EQ(List().currentIndex(), 0);
    EXPECT_EQ(StatusReadsOn(*first), 2) << "the first device, current again, is read after the refresh";
    EXPECT_EQ(StatusReadsOn(*second), 0);
    EXPECT_EQ(StatusReadsOn(*third), 0);

    DebugCapture removal;
    const auto firstRequests = first->Requests().size();
    ASSERT_TRUE(m_sim->Unplug(first));
    const QString firstName = QString::fromStdString(first->Config().devicePath.value());
    EXPECT_TRUE(HasRun(removal.Lines(), {kRemoved, firstName, kCaptureGuidText, kVideoRemoved}))
        << removal.Lines().join('\n').toStdString();
    EXPECT_EQ(Labels(List()), QStringList({"Conference Camera    VID_1B3F&PID_2247",
                                           "Document Camera    VID_2B7E&PID_0134"}));
    EXPECT_EQ(List().currentIndex(), 0);
    EXPECT_EQ(StatusReadsOn(*second), 1);
    EXPECT_EQ(StatusReadsOn(*third), 0);
    EXPECT_EQ(first->Requests().size(), firstRequests) << "nothing more goes to the camera that left";

    // The keys now reach the camera that is selected.
    QTest::mouseClick(m_window->Form().MENUButton, Qt::LeftButton);
    EXPECT_EQ(second->Firmware().KeyCodes(), std::vector<std::uint32_t>{0x05});
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(SimPlugTest, PullingEveryCameraEmptiesTheListAndReadsNothing)
{
    const std::shared_ptr<SimCamera> first = m_sim->Cameras().at(0);
    const std::shared_ptr<SimCamera> second = m_sim->Cameras().at(1);
    ASSERT_TRUE(m_sim->Unplug(second));
    EXPECT_EQ(StatusReadsOn(*first), 2);
    const auto firstRequests = first->Requests().size();
    const auto secondRequests = second->Requests().size();
    ASSERT_TRUE(m_sim->Unplug(first));
    EXPECT_FALSE(m_sim->Unplug(first)) << "a camera leaves once";
    EXPECT_EQ(List().count(), 0);
    EXPECT_EQ(List().currentIndex(), -1);
    EXPECT_EQ(first->Requests().size(), firstRequests);
    EXPECT_EQ(second->Requests().size(), secondRequests);
    EXPECT_TRUE(m_boxes.Seen().isEmpty());

    // A key without a device warns on press and on release, and sends nothing.
    QTest::mouseClick(m_window->Form().MENUButton, Qt::LeftButton);
    ASSERT_EQ(m_boxes.Seen().size(), 2);
    for (const SeenMessageBox& box : m_boxes.Seen()) EXPECT_EQ(box.text, QString::fromUtf8("请插入设备！"));
    EXPECT_EQ(first->Requests().size(), firstRequests);
    EXPECT_EQ(second->Requests().size(), secondRequests);
}

TEST_F(SimPlugTest, StormOfAThousandPlugsAndPullsKeepsTheListTrue)
{
    std::mt19937 random(6);
    std::vector<std::shared_ptr<SimCamera>> present = m_sim->Cameras();
    QStringList labels = Labels(List());
    int serial = 0;
    for (int change = 0; change < 1000; ++change) {
        const bool plug = present.empty() || (present.size() < 12 && random() % 2 == 0);
        if (plug) {
            ++serial;
            const auto product = static_cast<std::uint16_t>(serial);
            present.push_back(m_sim->Plug(Camera("Storm " + std::to_string(serial), product, serial)));
            labels << QString("Storm %1    VID_2B7E&PID_%2")
                          .arg(serial)
                          .arg(QString::number(product, 16).toUpper().rightJustified(4, '0'));
        } else {
            const std::size_t index = random() % present.size();
            ASSERT_TRUE(m_sim->Unplug(present[index]));
            present.erase(present.begin() + static_cast<std::ptrdiff_t>(index));
            labels.removeAt(static_cast<int>(index));
        }
        // The table holds ten devices at most, in enumeration order.
        const QStringList expected = labels.mid(0, 10);
        ASSERT_EQ(Labels(List()), expected) << "after change " << change;
        ASSERT_EQ(List().currentIndex(), expected.isEmpty() ? -1 : 0);
        const velmora::sim::SimLiveCounts& live = m_sim->Live();
        ASSERT_EQ(live.monikers, expected.size());
        ASSERT_EQ(live.devices, expected.size());
        ASSERT_EQ(live.Total(), 2 * expected.size()) << "only the table's references stay";
    }
    EXPECT_EQ(m_sim->Cameras(), present);
    EXPECT_GT(serial, 400);
}

TEST(SimDeviceChangeTest, InterfaceNamesCarryTheCaptureClassInLowerCase)
{
    SimCameraConfig camera;
    camera.devicePath =
        "\\\\?\\USB#VID_ABCD&PID_EF01&MI_00#6&1&0&0000#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\GLOBAL";
    EXPECT_EQ(velmora::sim::SimInterfaceName(camera, 4),
              "\\\\?\\usb#vid_abcd&pid_ef01&mi_00#6&1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
    camera.devicePath = "/dev/video0 usb#vid_1b3f&pid_2247";
    EXPECT_EQ(velmora::sim::SimInterfaceName(camera, 4),
              "\\\\?\\usb#vid_1b3f&pid_2247&mi_00#7&51a00004&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
              "\\global");
    camera.devicePath.reset();
    EXPECT_EQ(velmora::sim::SimInterfaceName(camera, 5),
              "\\\\?\\usb#vid_0000&pid_0000&mi_00#7&51a00005&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
              "\\global");
}

TEST(SimDeviceChangeTest, EventsReachLiveRegistrationsOfTheirClassOnly)
{
    auto sim = std::make_shared<SimBackend>(velmora::sim::SimWorldConfig{});
    std::vector<velmora::DeviceChangeEvent> heard;
    auto capture = sim->CreateDeviceChangeSource();
    auto audio = sim->CreateDeviceChangeSource();
    const velmora::Guid audioClass{
        0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
    ASSERT_EQ(capture->Register(0, velmora::KsCategoryCapture, [&](const auto& e) { heard.push_back(e); }),
              velmora::StatusOk);
    ASSERT_EQ(audio->Register(0, audioClass, [&](const auto&) { ADD_FAILURE() << "another class heard it"; }),
              velmora::StatusOk);
    EXPECT_EQ(capture->EventDescriptor(), -1);

    const auto camera = sim->Plug(Camera("One", 1, 1));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].kind, velmora::DeviceChangeKind::Arrival);
    EXPECT_EQ(heard[0].recordType, velmora::DeviceRecordInterface);
    EXPECT_EQ(heard[0].interfaceName, camera->Config().devicePath.value());

    // A capture device bound before the camera left answers that it is gone.
    std::unique_ptr<velmora::CaptureDevice> device = sim->OpenCaptureDevice(0);
    ASSERT_TRUE(device);
    std::unique_ptr<velmora::KsControl> control;
    ASSERT_EQ(device->QueryKsControl(control), velmora::StatusOk);
    capture.reset();  // the registration ends with its source
    ASSERT_TRUE(sim->Unplug(camera));
    EXPECT_EQ(heard.size(), 1u);
    EXPECT_TRUE(sim->Cameras().empty());
    velmora::KsNodeRequest request{};
    request.flags = velmora::KsNodeGetFlags;
    std::uint32_t returned = 0;
    EXPECT_EQ(control->KsProperty(request, nullptr, 0, returned), velmora::StatusDeviceNotConnected);
}

}  // namespace
