// udev events turned into the shared device-change events, and registration without a udev daemon.
#include <gtest/gtest.h>

#include <memory>

#include "platform/linux/linux_backend.h"
#include "platform/linux/udev_device_change.h"
#include "tests/linux/fake_linux_system.h"

namespace velmora::linux_backend {
namespace {

using linux_test::FakeLinuxSystem;
using linux_test::UvcCamera;

TEST(UdevDeviceChange, AddAndRemoveBecomeInterfaceEventsCarryingTheCaptureClass)
{
    UdevEventFacts facts{"add", "/dev/video0", "video0", 0x046D, 0x0825};
    DeviceChangeEvent event;
    ASSERT_TRUE(DeviceChangeFromUdev(facts, event));
    EXPECT_EQ(event.kind, DeviceChangeKind::Arrival);
    EXPECT_EQ(event.recordType, DeviceRecordInterface);
    EXPECT_EQ(event.interfaceName,
              "/dev/video0#usb#vid_046d&pid_0825#{65e8773d-8f56-11d0-a3b9-00a0c9223196}");

    // After a removal the node may have no name and no USB ids left.
    facts = UdevEventFacts{"remove", "", "video3", std::nullopt, std::nullopt};
    ASSERT_TRUE(DeviceChangeFromUdev(facts, event));
    EXPECT_EQ(event.kind, DeviceChangeKind::RemoveComplete);
    EXPECT_EQ(event.interfaceName, "video3#{65e8773d-8f56-11d0-a3b9-00a0c9223196}");

    for (const char* action : {"change", "bind", "unbind", "move", ""}) {
        SCOPED_TRACE(action);
        facts.action = action;
        EXPECT_FALSE(DeviceChangeFromUdev(facts, event));
    }
}

// uvcvideo registers a capture node and a metadata node for each camera, and the kernel reports an add
// and a remove for each: under qemu the window refreshed twice and read the status registers 48 times
// for one plug until the metadata node's events were left out.
TEST(UdevDeviceChange, OnlyCaptureNodesArriveAndLeave)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {{4, DefaultXuPropertySet}}),
                         "USB Camera");
    CaptureNodeEvents events(system);
    events.Seed();
    auto facts = [](const char* action, const char* name) {
        return UdevEventFacts{action, std::string("/dev/") + name, name, std::nullopt, std::nullopt};
    };
    EXPECT_FALSE(events.Accept(facts("remove", "video1")));
    EXPECT_TRUE(events.Accept(facts("remove", "video0")));
    EXPECT_FALSE(events.Accept(facts("remove", "video0")));  // gone already

    system->AddUvcCamera(2, "1-2", 0xABCD, 0xEF02, UvcCamera(0xABCD, 0xEF02, {{4, DefaultXuPropertySet}}),
                         "USB Camera");
    EXPECT_TRUE(events.Accept(facts("add", "video2")));
    EXPECT_FALSE(events.Accept(facts("add", "video3")));
    EXPECT_FALSE(events.Accept(facts("add", "video7")));  // vanished before it could be asked
    EXPECT_EQ(system->OpenNow(), 0);
    EXPECT_TRUE(events.Accept(facts("remove", "video2")));
    EXPECT_FALSE(events.Accept(facts("remove", "video3")));
}

// Without a daemon (a container, an initramfs) the "udev" source stays silent; the real driver under
// qemu showed the window following plug and unplug only through the kernel's own uevents there.
TEST(UdevDeviceChange, WithoutAUdevDaemonTheKernelsOwnEventsAreWatched)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    LinuxBackend backend(system);
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    ASSERT_EQ(backend.CreateSystemDeviceEnumerator(enumerator), StatusOk);
    auto source = backend.CreateDeviceChangeSource();
    int calls = 0;
    const Status status = source->Register(0, KsCategoryCapture, [&](const DeviceChangeEvent&) { ++calls; });
    if (status != StatusOk) GTEST_SKIP() << "no netlink socket here: " << StatusName(status);
    EXPECT_GE(source->EventDescriptor(), 0);
    EXPECT_EQ(source->Notice(), "udev daemon not running: following the kernel's own device events");
    source->DispatchPending();  // nothing waits: returns at once
    EXPECT_EQ(calls, 0);
}

TEST(UdevDeviceChange, WithADaemonTheMonitorOpenedBeforeEnumeratingIsWatched)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->udevRunning = true;
    LinuxBackend backend(system);
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    ASSERT_EQ(backend.CreateSystemDeviceEnumerator(enumerator), StatusOk);
    auto source = backend.CreateDeviceChangeSource();
    EXPECT_EQ(source->Register(0, DefaultXuPropertySet, [](const DeviceChangeEvent&) {}), StatusNotSupported);
    EXPECT_EQ(source->EventDescriptor(), -1);
    const Status status = source->Register(0, KsCategoryCapture, [](const DeviceChangeEvent&) {});
    if (status != StatusOk) GTEST_SKIP() << "no netlink socket here: " << StatusName(status);
    EXPECT_GE(source->EventDescriptor(), 0);
    EXPECT_EQ(source->Notice(), "");
    source->DispatchPending();  // nothing waits: returns at once
}

}  // namespace
}  // namespace velmora::linux_backend
