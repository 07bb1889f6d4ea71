// udev events turned into the shared device-change events, and registration without a udev daemon.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

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
// for one plug until the metadata node's events were left out. A removal carries no ids from the
// kernel, and sysfs then holds only an ancestor (the root hub, whose ids it once named): it gets the
// ids its node had.
TEST(UdevDeviceChange, OnlyCaptureNodesArriveAndLeaveNamingTheirIds)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {{4, DefaultXuPropertySet}}),
                         "USB Camera");
    CaptureNodeEvents events(system);
    events.Seed();
    // The facts passed on, or nothing for an event left out.
    auto accept = [&events](const char* action, const char* name) -> std::optional<UdevEventFacts> {
        UdevEventFacts facts{action, std::string("/dev/") + name, name, std::nullopt, std::nullopt};
        if (!events.Accept(facts)) return std::nullopt;
        return facts;
    };
    auto ids = [](const std::optional<UdevEventFacts>& facts) {
        return facts ? std::make_pair(facts->vendorId.value_or(0), facts->productId.value_or(0))
                     : std::make_pair(std::uint16_t{0}, std::uint16_t{0});
    };
    EXPECT_FALSE(accept("remove", "video1"));
    EXPECT_EQ(ids(accept("remove", "video0")), std::make_pair(std::uint16_t{0xABCD}, std::uint16_t{0xEF01}));
    EXPECT_FALSE(accept("remove", "video0"));  // gone already

    system->AddUvcCamera(2, "1-2", 0xABCD, 0xEF02, UvcCamera(0xABCD, 0xEF02, {{4, DefaultXuPropertySet}}),
                         "USB Camera");
    EXPECT_TRUE(accept("add", "video2"));
    EXPECT_FALSE(accept("add", "video3"));
    EXPECT_FALSE(accept("add", "video7"));  // vanished before it could be asked
    EXPECT_EQ(system->OpenNow(), 0);
    EXPECT_EQ(ids(accept("remove", "video2")), std::make_pair(std::uint16_t{0xABCD}, std::uint16_t{0xEF02}));
    EXPECT_FALSE(accept("remove", "video3"));
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

// Sockets open in this process, by descriptor, with their inode: a socket opened anew differs from
// one opened before even where it reuses the descriptor's number.
std::map<int, ino_t> OpenSockets()
{
    std::map<int, ino_t> sockets;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::atoi(entry.path().filename().c_str());
        struct stat facts {};
        if (fstat(fd, &facts) == 0 && S_ISSOCK(facts.st_mode)) sockets[fd] = facts.st_ino;
    }
    return sockets;
}

TEST(UdevDeviceChange, WithADaemonTheMonitorOpenedBeforeEnumeratingIsWatched)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->udevRunning = true;
    LinuxBackend backend(system);
    const std::map<int, ino_t> before = OpenSockets();
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    ASSERT_EQ(backend.CreateSystemDeviceEnumerator(enumerator), StatusOk);
    std::map<int, ino_t> primed = OpenSockets();
    for (const auto& socket : before) primed.erase(socket.first);
    if (primed.empty()) GTEST_SKIP() << "no netlink socket here";

    auto source = backend.CreateDeviceChangeSource();
    EXPECT_EQ(source->Register(0, DefaultXuPropertySet, [](const DeviceChangeEvent&) {}), StatusNotSupported);
    EXPECT_EQ(source->EventDescriptor(), -1);
    ASSERT_EQ(source->Register(0, KsCategoryCapture, [](const DeviceChangeEvent&) {}), StatusOk);
    const int watched = source->EventDescriptor();
    ASSERT_EQ(primed.count(watched), 1u) << "descriptor " << watched << " was not opened before enumerating";
    EXPECT_EQ(OpenSockets().at(watched), primed.at(watched));
    EXPECT_EQ(source->Notice(), "");
    source->DispatchPending();  // nothing waits: returns at once
}

// A camera listed by the first enumeration and pulled before the registration: its removal, read
// from the monitor afterwards, must still reach the window, or its dead entry stays listed.
TEST(UdevDeviceChange, ACameraPulledBetweenEnumeratingAndRegisteringLeaves)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->udevRunning = true;
    system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {{4, DefaultXuPropertySet}}),
                         "USB Camera");
    LinuxBackend backend(system);
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    ASSERT_EQ(backend.CreateSystemDeviceEnumerator(enumerator), StatusOk);
    std::unique_ptr<MonikerEnumerator> listed;
    ASSERT_EQ(enumerator->CreateVideoInputEnumerator(listed), StatusOk);
    system->Node(0).present = false;
    system->Node(1).present = false;

    auto concrete = backend.CreateDeviceChangeSource();
    auto& source = dynamic_cast<UdevDeviceChangeSource&>(*concrete);
    std::vector<DeviceChangeEvent> events;
    const Status status =
        source.Register(0, KsCategoryCapture, [&](const DeviceChangeEvent& e) { events.push_back(e); });
    if (status != StatusOk) GTEST_SKIP() << "no netlink socket here: " << StatusName(status);
    source.Deliver(UdevEventFacts{"remove", "/dev/video1", "video1", std::nullopt, std::nullopt});
    source.Deliver(UdevEventFacts{"remove", "/dev/video0", "video0", std::nullopt, std::nullopt});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, DeviceChangeKind::RemoveComplete);
    // The ids noted while the enumeration listed it.
    EXPECT_EQ(events[0].interfaceName,
              "/dev/video0#usb#vid_abcd&pid_ef01#{65e8773d-8f56-11d0-a3b9-00a0c9223196}");
}

}  // namespace
}  // namespace velmora::linux_backend
