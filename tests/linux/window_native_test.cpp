// The real window on the Linux backend: start-up without cameras or udev, and a key reaching a camera.
#include <gtest/gtest.h>

#include <linux/usb/video.h>
#include <unistd.h>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "app/velmora.h"
#include "platform/backend.h"
#include "platform/linux/linux_backend.h"
#include "platform/linux/udev_device_change.h"
#include "tests/linux/fake_linux_system.h"
#include "tests/support/debug_capture.h"
#include "tests/support/message_box_watcher.h"

namespace velmora::linux_backend {
namespace {

using linux_test::Bytes;
using linux_test::FakeLinuxSystem;
using linux_test::UvcCamera;

class LinuxWindow : public ::testing::Test {
protected:
    void TearDown() override { InstallBackend(nullptr); }
};

// Without a udev daemon the window says so once and watches the kernel's own uevents; only where no
// netlink socket can be had does it write its registration-failure line instead.
QStringList RegistrationLines()
{
    int error = 0;
    if (UdevMonitor::Open(error, true))
        return {"udev daemon not running: following the kernel's own device events"};
    return {QString::fromUtf8("注册失败")};
}

TEST_F(LinuxWindow, StartsWithAnEmptyListAndWatchesTheKernelsEventsWithoutCamerasOrUdev)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    InstallBackend(std::make_shared<LinuxBackend>(system));
    MessageBoxWatcher boxes;
    DebugCapture capture;
    Velmora window;
    window.show();
    QTest::qWait(20);
    EXPECT_EQ(window.Form().DeviceList->count(), 0);
    EXPECT_EQ(window.Form().DeviceList->currentIndex(), -1);
    EXPECT_EQ(capture.Lines(), RegistrationLines());
    EXPECT_TRUE(boxes.Seen().isEmpty());
}

TEST_F(LinuxWindow, TheNativeBackendIsThisOne)
{
    EXPECT_TRUE(HasNativeBackend());
    std::string error;
    auto backend = CreateBackend("native", error);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Name(), "linux");
    EXPECT_EQ(CreateBackend("", error)->Name(), "linux");

    // On a machine without video devices and without a udev daemon, the real system behaves as the
    // fake one above.
    if (access("/sys/class/video4linux", F_OK) == 0 || access("/run/udev/control", F_OK) == 0) {
        GTEST_SKIP() << "this machine has video devices or a udev daemon";
    }
    InstallBackend(backend);
    MessageBoxWatcher boxes;
    DebugCapture capture;
    Velmora window;
    EXPECT_EQ(window.Form().DeviceList->count(), 0);
    EXPECT_EQ(capture.Lines(), RegistrationLines());
    EXPECT_TRUE(boxes.Seen().isEmpty());
}

TEST_F(LinuxWindow, TheMenuKeyReachesTheExtensionUnitAsItsPacket)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {{4, DefaultXuPropertySet}}),
                         "USB Camera");
    system->Units(0)[4][10].value = Bytes(12, 0);
    InstallBackend(std::make_shared<LinuxBackend>(system));
    MessageBoxWatcher boxes;
    Velmora window;
    ASSERT_EQ(window.Form().DeviceList->count(), 1);
    EXPECT_EQ(window.Form().DeviceList->itemText(0), "USB Camera    VID_ABCD&PID_EF01");

    auto& writes = system->Units(0)[4][10].writes;
    writes.clear();
    const std::size_t queriesBefore = system->Queries().size();
    auto* menu = window.findChild<QPushButton*>("MENUButton");
    ASSERT_NE(menu, nullptr);
    QTest::mousePress(menu, Qt::LeftButton);
    QTest::mouseRelease(menu, Qt::LeftButton);

    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], (Bytes{0x26, 0x16, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x05, 0xBD}));
    const auto& queries = system->Queries();
    ASSERT_EQ(queries.size() - queriesBefore, 2u);  // the size query, then the write; release sends nothing
    EXPECT_EQ(queries[queriesBefore].query, UVC_GET_LEN);
    EXPECT_EQ(queries[queriesBefore + 1].query, UVC_SET_CUR);
    EXPECT_EQ(queries[queriesBefore + 1].unit, 4);
    EXPECT_TRUE(boxes.Seen().isEmpty());
    EXPECT_EQ(system->OpenNow(), 0);
}

}  // namespace
}  // namespace velmora::linux_backend
