// The window's side of device changes: registration, nativeEvent and the refresh that follows.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <memory>

#include "app/velmora.h"
#include "tests/device_change/device_change_texts.h"
#include "tests/device_change/scripted_backend.h"
#include "tests/support/debug_capture.h"
#include "tests/support/message_box_watcher.h"

namespace {

using device_change_test::HasRun;
using device_change_test::Labels;
using device_change_test::OneStatusRead;
using device_change_test::ScriptedBackend;
using device_change_test::ScriptedMessage;
using device_change_test::StatusReads;
using velmora::DeviceChangeEvent;
using velmora::DeviceChangeKind;

using device_change_test::kCaptureGuidText;
using device_change_test::kRemoved;
using device_change_test::kVideoRemoved;
const QString kRegistrationFailed = QString::fromUtf8("注册失败");

// The window with its protected nativeEvent reachable, as the platform layer calls it.
class TestWindow : public Velmora {
public:
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    using Result = qintptr;
#else
    using Result = long;
#endif
    bool Native(void* message, Result* result)
    {
        return nativeEvent("windows_generic_MSG", message, result);
    }
};

QList<int> Handles(const QComboBox& list)
{
    QList<int> handles;
    for (int i = 0; i < list.count(); ++i) handles << list.itemData(i, Qt::UserRole).toInt();
    return handles;
}

DeviceChangeEvent InterfaceEvent(DeviceChangeKind kind, const velmora::sim::SimCamera& camera)
{
    DeviceChangeEvent event;
    event.kind = kind;
    event.recordType = velmora::DeviceRecordInterface;
    event.interfaceName = camera.Config().devicePath.value_or("");
    return event;
}

class WindowDeviceChangeTest : public ::testing::Test {
protected:
    void Start(bool noSource = false)
    {
        velmora::sim::SimWorldConfig world = velmora::sim::DefaultSimWorld();
        m_backend =
            std::make_shared<ScriptedBackend>(std::make_shared<velmora::sim::SimBackend>(world), noSource);
        velmora::InstallBackend(m_backend);
        m_window = std::make_unique<TestWindow>();
    }
    void TearDown() override
    {
        m_window.reset();
        velmora::InstallBackend(nullptr);
    }
    velmora::sim::SimCamera& Camera(int index) { return *m_backend->Sim().Cameras().at(index); }
    QComboBox& List() { return *m_window->Form().DeviceList; }
    void Deliver(const DeviceChangeEvent& event)
    {
        ASSERT_TRUE(m_backend->Script().sink);
        m_backend->Script().sink(event);
    }

    std::shared_ptr<ScriptedBackend> m_backend;
    std::unique_ptr<TestWindow> m_window;
    MessageBoxWatcher m_boxes;
};

TEST_F(WindowDeviceChangeTest, RegistersTheCaptureClassOnItsOwnWindowHandle)
{
    DebugCapture capture;
    Start();
    EXPECT_EQ(m_backend->Script().registered, std::vector<velmora::Guid>{velmora::KsCategoryCapture});
    EXPECT_EQ(m_backend->Script().nativeWindow, static_cast<std::uintptr_t>(m_window->winId()));
    EXPECT_TRUE(m_backend->Script().sink);
    EXPECT_FALSE(capture.Lines().contains(kRegistrationFailed));
    // The registration lives as long as the window.
    m_window.reset();
    EXPECT_FALSE(m_backend->Script().sourceAlive);
}

TEST_F(WindowDeviceChangeTest, FailedRegistrationLogsOnceAndStartUpGoesOn)
{
    for (bool noSource : {false, true}) {
        DebugCapture capture;
        velmora::sim::SimWorldConfig world = velmora::sim::DefaultSimWorld();
        m_backend =
            std::make_shared<ScriptedBackend>(std::make_shared<velmora::sim::SimBackend>(world), noSource);
        m_backend->Script().registerStatus = velmora::StatusFail;
        velmora::InstallBackend(m_backend);
        m_window = std::make_unique<TestWindow>();
        EXPECT_EQ(capture.Lines().count(kRegistrationFailed), 1) << noSource;
        EXPECT_EQ(List().count(), 2);
        EXPECT_EQ(List().currentIndex(), 0);
        EXPECT_EQ(StatusReads(Camera(0)), OneStatusRead()) << "the status read after registration still runs";
        EXPECT_TRUE(m_boxes.Seen().isEmpty());
        m_window.reset();
    }
}

TEST_F(WindowDeviceChangeTest, NativeEventAlwaysPassesTheMessageOnAndNeverWritesTheResult)
{
    Start();
    const QList<int> before = Handles(List());
    TestWindow::Result result = 0x5A5A;

    ScriptedMessage notDeviceChange;
    notDeviceChange.deviceChange = false;
    ScriptedMessage otherKind;
    otherKind.event.kind = DeviceChangeKind::Other;
    otherKind.event.recordType = velmora::DeviceRecordInterface;
    otherKind.event.interfaceName = Camera(0).Config().devicePath.value();
    {
        DebugCapture capture;
        EXPECT_FALSE(m_window->Native(&notDeviceChange, &result));
        EXPECT_FALSE(m_window->Native(&otherKind, &result));
        EXPECT_TRUE(capture.Lines().isEmpty());
        EXPECT_EQ(Handles(List()), before) << "ignored messages leave the list alone";
    }

    ScriptedMessage arrival;
    arrival.event = InterfaceEvent(DeviceChangeKind::Arrival, Camera(1));
    DebugCapture capture;
    EXPECT_FALSE(m_window->Native(&arrival, &result));
    EXPECT_EQ(result, 0x5A5A);
    EXPECT_EQ(m_backend->Script().translations, 3);
    EXPECT_TRUE(
        HasRun(capture.Lines(), {QString::fromStdString(arrival.event.interfaceName), kCaptureGuidText}));
    EXPECT_EQ(List().count(), 2);
    EXPECT_NE(Handles(List()), before) << "a matching arrival rebuilds the list";
}

TEST_F(WindowDeviceChangeTest, PullingTheSelectedCameraLogsRefreshesAndReadsTheNextOne)
{
    Start();
    ASSERT_EQ(List().count(), 2);
    const auto readsOfSecond = StatusReads(Camera(1)).size();
    Camera(0).SetPlugged(false);
    DebugCapture capture;
    Deliver(InterfaceEvent(DeviceChangeKind::RemoveComplete, Camera(0)));
    const QString name = QString::fromStdString(Camera(0).Config().devicePath.value());
    EXPECT_TRUE(HasRun(capture.Lines(), {kRemoved, name, kCaptureGuidText, kVideoRemoved}))
        << capture.Lines().join('\n').toStdString();
    EXPECT_EQ(Labels(List()), QStringList{"Conference Camera    VID_1B3F&PID_2247"});
    EXPECT_EQ(List().currentIndex(), 0);
    const auto reads = StatusReads(Camera(1));
    ASSERT_EQ(reads.size(), readsOfSecond + 24);
    EXPECT_EQ(std::vector<std::uint32_t>(reads.end() - 24, reads.end()), OneStatusRead());
}

TEST_F(WindowDeviceChangeTest, PullingTheLastCameraEmptiesTheListAndSendsNothing)
{
    Start();
    Camera(0).SetPlugged(false);
    Camera(1).SetPlugged(false);
    const auto sentToFirst = Camera(0).Writes().size();
    const auto sentToSecond = Camera(1).Writes().size();
    Deliver(InterfaceEvent(DeviceChangeKind::RemoveComplete, Camera(0)));
    Deliver(InterfaceEvent(DeviceChangeKind::RemoveComplete, Camera(1)));
    EXPECT_EQ(List().count(), 0);
    EXPECT_EQ(List().currentIndex(), -1);
    EXPECT_EQ(Camera(0).Writes().size(), sentToFirst);
    EXPECT_EQ(Camera(1).Writes().size(), sentToSecond);
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(WindowDeviceChangeTest, VolumesPortsAndForeignInterfacesLeaveTheListAlone)
{
    Start();
    const QList<int> before = Handles(List());
    const auto reads = StatusReads(Camera(0)).size();
    DeviceChangeEvent volume;
    volume.recordType = velmora::DeviceRecordVolume;
    DeviceChangeEvent port;
    port.recordType = velmora::DeviceRecordPort;
    DeviceChangeEvent audio;
    audio.recordType = velmora::DeviceRecordInterface;
    audio.interfaceName = "\\\\?\\usb#vid_abcd&pid_ef01#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\wave";

    DebugCapture capture;
    volume.kind = DeviceChangeKind::Arrival;
    Deliver(volume);
    EXPECT_TRUE(capture.Lines().isEmpty()) << "an arriving volume logs nothing";
    volume.kind = DeviceChangeKind::RemoveComplete;
    Deliver(volume);
    port.kind = DeviceChangeKind::RemoveComplete;
    Deliver(port);
    EXPECT_EQ(capture.Lines(), QStringList({kRemoved, kRemoved}));
    capture.Clear();
    audio.kind = DeviceChangeKind::RemoveComplete;
    Deliver(audio);
    EXPECT_EQ(capture.Lines(),
              QStringList({kRemoved, QString::fromStdString(audio.interfaceName), kCaptureGuidText}));
    EXPECT_EQ(Handles(List()), before);
    EXPECT_EQ(StatusReads(Camera(0)).size(), reads);
}

}  // namespace
