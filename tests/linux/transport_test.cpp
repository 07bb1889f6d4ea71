// The extension-unit transport over uvcvideo's UVCIOC_CTRL_QUERY, against a fake driver.
#include <gtest/gtest.h>

#include <linux/usb/video.h>

#include <cerrno>
#include <memory>
#include <numeric>

#include "config/xu_identity.h"
#include "platform/linux/linux_capture_device.h"
#include "tests/linux/fake_linux_system.h"
#include "xu/xu_transport.h"

namespace velmora::linux_backend {
namespace {

using linux_test::Bytes;
using linux_test::FakeControl;
using linux_test::FakeLinuxSystem;
using linux_test::OtherUnitGuidA;
using linux_test::UvcCamera;

constexpr std::uint32_t Selector = 10;

class LinuxTransport : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_xuIdentity = XuIdentity{};
        system = std::make_shared<FakeLinuxSystem>();
        system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01,
                             UvcCamera(0xABCD, 0xEF01, {{3, OtherUnitGuidA}, {4, DefaultXuPropertySet}}),
                             "USB Camera");
        SetControlLength(4, 12);
        SetControlLength(3, 8);
    }
    void TearDown() override
    {
        g_xuIdentity = XuIdentity{};
        device.reset();
        // Whatever happened, every node that was opened is closed again.
        EXPECT_EQ(system->OpenNow(), 0);
        EXPECT_EQ(system->Opens(), system->Closes());
    }

    void SetControlLength(std::uint8_t unit, std::size_t length)
    {
        system->Units(0)[unit][Selector].value = Bytes(length, 0);
    }
    FakeControl& Control(std::uint8_t unit) { return system->Units(0)[unit][Selector]; }

    CaptureDevice* Device(int number = 0)
    {
        auto node = ReadVideoNode(*system, "video" + std::to_string(number));
        EXPECT_TRUE(node);
        device = std::make_unique<LinuxCaptureDevice>(system, *node);
        return device.get();
    }

    static Bytes Packet()
    {
        Bytes bytes(12);
        std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
        return bytes;
    }

    std::shared_ptr<FakeLinuxSystem> system;
    std::unique_ptr<CaptureDevice> device;
};

TEST_F(LinuxTransport, SizeQueryIsGetLenOnTheUnitWhoseGuidIsThePropertySet)
{
    std::uint32_t size = 0;
    ASSERT_EQ(GetXuControlSize(Device(), Selector, size), StatusOk);
    EXPECT_EQ(size, 12u);
    ASSERT_EQ(system->Queries().size(), 1u);
    const auto& query = system->Queries()[0];
    EXPECT_EQ(query.unit, 4);
    EXPECT_EQ(query.selector, Selector);
    EXPECT_EQ(query.query, UVC_GET_LEN);
    EXPECT_EQ(query.size, 2);

    // A length above one byte comes back whole (little-endian).
    SetControlLength(4, 300);
    ASSERT_EQ(GetXuControlSize(Device(), Selector, size), StatusOk);
    EXPECT_EQ(size, 300u);
}

TEST_F(LinuxTransport, WritesAndReadsInPiecesOfTheControlLength)
{
    const Bytes packet = Packet();
    struct Case {
        std::size_t length;
        std::vector<Bytes> pieces;
    };
    const Case cases[] = {
        {4, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}}},
        {5, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, {11, 12, 0, 0, 0}}},
        {12, {packet}},
        {64, {[&] {
             Bytes padded = packet;
             padded.resize(64, 0);
             return padded;
         }()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        SetControlLength(4, c.length);
        const std::size_t queriesBefore = system->Queries().size();
        ASSERT_EQ(SetXuControl(Device(), Selector, packet.data(), 12), StatusOk);
        EXPECT_EQ(Control(4).writes, c.pieces);
        const auto& queries = system->Queries();
        ASSERT_EQ(queries.size() - queriesBefore, 1 + c.pieces.size());
        EXPECT_EQ(queries[queriesBefore].query, UVC_GET_LEN);
        for (std::size_t i = queriesBefore + 1; i < queries.size(); ++i) {
            EXPECT_EQ(queries[i].query, UVC_SET_CUR);
            EXPECT_EQ(queries[i].size, c.length);
            EXPECT_EQ(queries[i].unit, 4);
        }

        // Each GET_CUR answers the control's current bytes: the last piece written.
        Bytes read(12, 0xEE);
        ASSERT_EQ(GetXuControl(Device(), Selector, read.data(), 12), StatusOk);
        Bytes expected;
        while (expected.size() < 12)
            expected.insert(expected.end(), c.pieces.back().begin(), c.pieces.back().end());
        expected.resize(12);
        EXPECT_EQ(read, expected);
        EXPECT_EQ(system->Queries().back().query, UVC_GET_CUR);
        Control(4).writes.clear();
    }
}

TEST_F(LinuxTransport, AConfiguredGuidSelectsAnotherUnit)
{
    g_xuIdentity.guid = OtherUnitGuidA;
    g_xuIdentity.exId = 7;  // a KS node id: not a unit id, not used on Linux
    const Bytes packet = Packet();
    ASSERT_EQ(SetXuControl(Device(), Selector, packet.data(), 8), StatusOk);
    ASSERT_EQ(Control(3).writes.size(), 1u);
    EXPECT_EQ(Control(3).writes[0], Bytes(packet.begin(), packet.begin() + 8));
    EXPECT_TRUE(Control(4).writes.empty());

    std::vector<ExtensionUnitInfo> units;
    ASSERT_EQ(Device()->DescribeExtensionUnits(OtherUnitGuidA, 7, units), StatusOk);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].nodeId, 3u);
    EXPECT_TRUE(units[0].addressed);
    EXPECT_EQ(units[1].nodeId, 4u);
    EXPECT_EQ(units[1].guid, DefaultXuPropertySet);
    EXPECT_FALSE(units[1].answersPropertySet);
    EXPECT_FALSE(units[1].addressed);
    EXPECT_EQ(units[1].controls, (Bytes{0x00, 0x02}));
}

TEST_F(LinuxTransport, ACameraWithoutTheUnitIsToldApartFromOtherFailures)
{
    system->AddUvcCamera(2, "1-2", 0x1B3F, 0x2247, UvcCamera(0x1B3F, 0x2247, {{3, OtherUnitGuidA}}), "Other");
    std::unique_ptr<KsControl> control;
    ASSERT_EQ(Device(2)->QueryKsControl(control), StatusOk);
    KsNodeRequest request{DefaultXuPropertySet, Selector, KsNodeGetFlags, 1, 0};
    std::uint32_t returned = 99;
    EXPECT_EQ(control->KsProperty(request, nullptr, 0, returned), StatusNotFound);
    EXPECT_EQ(returned, 0u);
    control.reset();

    // The transport reports a size query that did not answer, and sends nothing to the driver.
    const Bytes packet = Packet();
    EXPECT_EQ(SetXuControl(Device(2), Selector, packet.data(), 12), StatusInvalidArg);
    EXPECT_TRUE(system->Queries().empty());

    std::vector<ExtensionUnitInfo> units;
    ASSERT_EQ(Device(2)->DescribeExtensionUnits(DefaultXuPropertySet, 1, units), StatusOk);
    ASSERT_EQ(units.size(), 1u);
    EXPECT_FALSE(units[0].addressed);
}

TEST_F(LinuxTransport, DriverErrorsBecomeStatusesAndTheNodeIsClosedOnEveryPath)
{
    const Bytes packet = Packet();
    Bytes buffer(64);
    std::uint32_t returned = 0;
    auto query = [&](std::uint32_t selector, std::uint32_t flags, std::uint32_t length) {
        std::unique_ptr<KsControl> control;
        const Status opened = Device()->QueryKsControl(control);
        if (Failed(opened)) return opened;
        KsNodeRequest request{DefaultXuPropertySet, selector, flags, 1, 0};
        return control->KsProperty(request, length ? buffer.data() : nullptr, length, returned);
    };

    // EACCES on open: the node is never open, and the transport passes the status on.
    system->Node(0).openError = EACCES;
    EXPECT_EQ(SetXuControl(Device(), Selector, packet.data(), 12), StatusAccessDenied);
    EXPECT_EQ(system->Opens(), 0);
    system->Node(0).openError = 0;

    // ENOENT: no such selector on the unit.
    EXPECT_EQ(query(11, KsNodeGetFlags, 0), StatusNotFound);

    // ENOBUFS: a transfer that is not the control's length.
    EXPECT_EQ(query(Selector, KsNodeSetFlags, 64), StatusInsufficientBuffer);
    EXPECT_EQ(query(Selector, KsNodeGetFlags, 4), StatusInsufficientBuffer);

    // EINVAL from the driver on a piece: its status ends the transfer.
    system->Node(0).nextQueryError = 0;
    {
        std::unique_ptr<KsControl> control;
        ASSERT_EQ(Device()->QueryKsControl(control), StatusOk);
        KsNodeRequest request{DefaultXuPropertySet, Selector, KsNodeGetFlags, 1, 0};
        ASSERT_EQ(control->KsProperty(request, nullptr, 0, returned), StatusMoreData);
        EXPECT_EQ(returned, 12u);
        system->Node(0).nextQueryError = EINVAL;
        request.flags = KsNodeSetFlags;
        EXPECT_EQ(control->KsProperty(request, buffer.data(), 12, returned), StatusInvalidArg);
    }

    // EACCES from the query itself: the camera stalled it with "wrong state" (6.12 under qemu), which is
    // the camera refusing, not a permission to fix.
    {
        std::unique_ptr<KsControl> control;
        ASSERT_EQ(Device()->QueryKsControl(control), StatusOk);
        system->Node(0).nextQueryError = EACCES;
        KsNodeRequest request{DefaultXuPropertySet, Selector, KsNodeSetFlags, 1, 0};
        EXPECT_EQ(control->KsProperty(request, buffer.data(), 12, returned), StatusGenFailure);
    }

    // EBADRQC: the control does not take writes.
    Control(4).allowSet = false;
    EXPECT_EQ(SetXuControl(Device(), Selector, packet.data(), 12), StatusNotSupported);
    Control(4).allowSet = true;

    // ENODEV: unplugged while the control was open.
    {
        std::unique_ptr<KsControl> control;
        ASSERT_EQ(Device()->QueryKsControl(control), StatusOk);
        system->Node(0).present = false;
        KsNodeRequest request{DefaultXuPropertySet, Selector, KsNodeGetFlags, 1, 0};
        EXPECT_EQ(control->KsProperty(request, nullptr, 0, returned), StatusDeviceNotConnected);
    }
    // Unplugged before the operation: the node is gone (ENOENT on open).
    EXPECT_EQ(SetXuControl(Device(), Selector, packet.data(), 12), StatusDeviceNotConnected);
    system->Node(0).present = true;

    // The metadata node does not answer the extension-unit ioctl (ENOTTY).
    {
        std::unique_ptr<KsControl> control;
        ASSERT_EQ(Device(1)->QueryKsControl(control), StatusOk);
        KsNodeRequest request{DefaultXuPropertySet, Selector, KsNodeGetFlags, 1, 0};
        EXPECT_EQ(control->KsProperty(request, nullptr, 0, returned), StatusNotSupported);
    }

    // A request the uvcvideo ioctl cannot carry is refused before any call.
    const std::size_t queries = system->Queries().size();
    EXPECT_EQ(query(256, KsNodeGetFlags, 0), StatusInvalidArg);
    EXPECT_EQ(query(Selector, 0x10000004u, 0), StatusInvalidArg);
    EXPECT_EQ(query(Selector, KsNodeSetFlags, 12), StatusOk);
    EXPECT_EQ(system->Queries().size(), queries + 1);
    EXPECT_GT(system->Opens(), 5);
}

}  // namespace
}  // namespace velmora::linux_backend
