// The extension-unit transport, checked on the requests the simulated camera received.
#include <gtest/gtest.h>

#include <array>

#include "tests/sim/sim_device_fixture.h"
#include "xu/register_protocol.h"
#include "xu/xu_transport.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;
using test::CameraWithControlSize;

constexpr std::array<std::uint8_t, 12> kMenuKey = {0x26, 0x16, 0, 0, 0, 1, 0, 0, 0, 0, 0x05, 0xBD};

class XuTransport : public test::SimDeviceTest {};

TEST_F(XuTransport, InitialIdentityNamesTheDefaultSetAndNode1)
{
    Use({});
    ASSERT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusOk);
    ASSERT_EQ(Kinds(), (Lines{"LEN", "SET"}));
    for (const sim::SimRequest& request : Requests()) {
        EXPECT_EQ(request.request.set, DefaultXuPropertySet);
        EXPECT_EQ(request.request.nodeId, 1u);
        EXPECT_EQ(request.request.id, 10u);
        EXPECT_EQ(request.request.reserved, 0u);
    }
    EXPECT_EQ(Requests()[0].request.flags, 0x10000001u);
    EXPECT_EQ(Requests()[0].dataLength, 0u);
    EXPECT_EQ(Requests()[1].request.flags, 0x10000002u);
    EXPECT_EQ(Data(true), (Lines{"26 16 00 00 00 01 00 00 00 00 05 BD"}));
    EXPECT_EQ(camera->Firmware().KeyCodes(), std::vector<std::uint32_t>{5});
}

TEST_F(XuTransport, NonNullGuidAndNodeAreUsedAndReadAfreshForEachRequest)
{
    Guid other;  // differs from the null GUID in its last byte only
    other.data4[7] = 0x01;
    sim::SimCameraConfig config;
    config.xuPropertySet = other;
    config.xuNode = 4;
    Use(config);

    EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12),
              StatusInvalidArg);  // default set: not found
    EXPECT_EQ(Kinds(), (Lines{"LEN"}));
    EXPECT_EQ(Requests()[0].request.set, DefaultXuPropertySet);

    g_xuIdentity.guid = other;
    g_xuIdentity.exId = 4;
    camera->ClearRequests();
    EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusOk);
    ASSERT_EQ(Kinds(), (Lines{"LEN", "SET"}));
    for (const sim::SimRequest& request : Requests()) {
        EXPECT_EQ(request.request.set, other);
        EXPECT_EQ(request.request.nodeId, 4u);
    }
    EXPECT_EQ(camera->Firmware().KeyCodes(), std::vector<std::uint32_t>{5});
}

TEST_F(XuTransport, ControlOf64BytesGetsOneZeroPaddedRequestEachWay)
{
    Use(CameraWithControlSize(64));
    ASSERT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusOk);
    ASSERT_EQ(Kinds(), (Lines{"LEN", "SET"}));
    ASSERT_EQ(Requests()[1].bytes.size(), 64u);
    EXPECT_EQ(HexBytes(Requests()[1].bytes.data(), 12), "26 16 00 00 00 01 00 00 00 00 05 BD");
    for (std::size_t i = 12; i < 64; ++i) EXPECT_EQ(Requests()[1].bytes[i], 0) << i;

    // The read asks for 64 bytes and copies only 12: the caller's bytes beyond stay as they were.
    std::array<std::uint8_t, 16> buffer;
    buffer.fill(0xEE);
    ASSERT_EQ(GetXuControl(device.get(), 10, buffer.data(), 12), StatusOk);
    EXPECT_EQ(Requests().back().dataLength, 64u);
    EXPECT_EQ(HexBytes(buffer.data(), 16), "26 16 00 00 00 01 00 00 00 00 05 BD EE EE EE EE");
}

TEST_F(XuTransport, ControlOf4BytesTakesThreePieces)
{
    Use(CameraWithControlSize(4));
    ASSERT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusOk);
    EXPECT_EQ(Kinds(), (Lines{"LEN", "SET", "SET", "SET"}));
    EXPECT_EQ(Data(true), (Lines{"26 16 00 00", "00 01 00 00", "00 00 05 BD"}));
    EXPECT_EQ(camera->Firmware().KeyCodes(), std::vector<std::uint32_t>{5});

    camera->ClearRequests();
    std::array<std::uint8_t, 12> buffer{};
    ASSERT_EQ(GetXuControl(device.get(), 10, buffer.data(), 12), StatusOk);
    EXPECT_EQ(Kinds(), (Lines{"LEN", "GET", "GET", "GET"}));
    EXPECT_EQ(buffer, kMenuKey);
}

TEST_F(XuTransport, ControlOf5BytesPadsTheLastPieceWithZeros)
{
    Use(CameraWithControlSize(5));
    ASSERT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusOk);
    EXPECT_EQ(Data(true), (Lines{"26 16 00 00 00", "01 00 00 00 00", "05 BD 00 00 00"}));

    std::uint64_t value = 0;
    camera->ClearRequests();
    ASSERT_EQ(ReadRegister(device.get(), 1, value, 0, 0x16), StatusOk);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(Kinds(), (Lines{"LEN", "SET", "SET", "SET", "LEN", "GET", "GET", "GET"}));
    EXPECT_EQ(Data(false), (Lines{"26 96 00 00 00", "01 00 00 00 00", "05 3D 00 00 00"}));
}

TEST_F(XuTransport, SizeQueryAnsweringOkOrZeroSendsNoData)
{
    for (const auto answer : {sim::SizeQueryAnswer::Ok, sim::SizeQueryAnswer::Zero}) {
        sim::SimCameraConfig config;
        config.sizeQuery = answer;
        Use(config);
        std::array<std::uint8_t, 12> buffer{};
        EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusInvalidArg);
        EXPECT_EQ(GetXuControl(device.get(), 10, buffer.data(), 12), StatusInvalidArg);
        EXPECT_EQ(Kinds(), (Lines{"LEN", "LEN"}));
        EXPECT_EQ(backend->Live().Total(), 1);
    }
}

TEST_F(XuTransport, FailingSecondPieceEndsTheTransferWithItsStatus)
{
    sim::SimCameraConfig config = CameraWithControlSize(4);
    config.failPiece = 2;
    Use(config);
    EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusGenFailure);
    EXPECT_EQ(Kinds(), (Lines{"LEN", "SET", "SET"}));
    EXPECT_EQ(Requests()[2].status, StatusGenFailure);
    EXPECT_TRUE(camera->Firmware().KeyCodes().empty());

    // The next transfer starts over and goes through whole.
    ASSERT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusOk);
    EXPECT_EQ(camera->Firmware().KeyCodes(), std::vector<std::uint32_t>{5});
}

TEST_F(XuTransport, FailingLastPieceIsTheResult)
{
    sim::SimCameraConfig config = CameraWithControlSize(4);
    config.failPiece = 3;
    Use(config);
    EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusGenFailure);
    EXPECT_EQ(Kinds(), (Lines{"LEN", "SET", "SET", "SET"}));
}

TEST_F(XuTransport, PieceBufferThatCannotBeHadEndsWithOutOfMemory)
{
    sim::SimCameraConfig config = CameraWithControlSize(4);
    config.failAlloc = true;
    Use(config);
    EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusOutOfMemory);
    EXPECT_EQ(Kinds(), (Lines{"LEN", "SET", "SET"}));
    std::array<std::uint8_t, 12> buffer{};
    camera->ClearRequests();
    EXPECT_EQ(GetXuControl(device.get(), 10, buffer.data(), 12), StatusOutOfMemory);
    EXPECT_EQ(Kinds(), (Lines{"LEN", "GET", "GET"}));
}

TEST_F(XuTransport, MissingArgumentsAndEmptyTransfersMakeNoPlatformCall)
{
    Use({});
    std::array<std::uint8_t, 12> buffer{};
    EXPECT_EQ(SetXuControl(nullptr, 10, kMenuKey.data(), 12), StatusPointer);
    EXPECT_EQ(SetXuControl(device.get(), 10, nullptr, 12), StatusPointer);
    EXPECT_EQ(SetXuControl(device.get(), 10, nullptr, 0), StatusPointer);
    EXPECT_EQ(GetXuControl(nullptr, 10, buffer.data(), 12), StatusPointer);
    EXPECT_EQ(GetXuControl(device.get(), 10, nullptr, 12), StatusPointer);
    EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 0), StatusOk);
    EXPECT_EQ(GetXuControl(device.get(), 10, buffer.data(), 0), StatusOk);
    EXPECT_EQ(camera->KsControlQueries(), 0);
    EXPECT_TRUE(Requests().empty());
}

TEST_F(XuTransport, DeviceWithoutKsControlPassesTheQueryStatusOn)
{
    sim::SimCameraConfig config;
    config.failKsQuery = true;
    Use(config);
    std::array<std::uint8_t, 12> buffer{};
    std::uint32_t size = 77;
    EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusNoInterface);
    EXPECT_EQ(GetXuControl(device.get(), 10, buffer.data(), 12), StatusNoInterface);
    EXPECT_EQ(SetXuControlDirect(device.get(), 10, kMenuKey.data(), 12), StatusNoInterface);
    EXPECT_EQ(GetXuControlSize(device.get(), 10, size), StatusNoInterface);
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(camera->KsControlQueries(), 4);
    EXPECT_TRUE(Requests().empty());
}

TEST_F(XuTransport, SizeAboveWhatUvcCanHoldIsRefusedBeforeAnyAllocation)
{
    Use(CameraWithControlSize(MaxXuControlSize));
    EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusOk);
    camera->Config().controlSize = MaxXuControlSize + 1;
    camera->ClearRequests();
    EXPECT_EQ(SetXuControl(device.get(), 10, kMenuKey.data(), 12), StatusInvalidArg);
    EXPECT_EQ(Kinds(), (Lines{"LEN"}));
}

// A device whose query succeeds without handing out an interface.
class NoInterfaceDevice : public CaptureDevice {
public:
    Status QueryKsControl(std::unique_ptr<KsControl>&) override { return StatusOk; }
    Status QueryCameraControl(std::unique_ptr<CameraControl>&) override { return StatusFalse; }
};

TEST(XuTransportPorts, SuccessWithoutAnInterfaceIsNoInterface)
{
    NoInterfaceDevice device;
    std::array<std::uint8_t, 12> buffer{};
    std::uint32_t size = 0;
    std::int16_t value = 0, minimum = 0, maximum = 0, step = 0;
    EXPECT_EQ(SetXuControl(&device, 10, kMenuKey.data(), 12), StatusNoInterface);
    EXPECT_EQ(GetXuControl(&device, 10, buffer.data(), 12), StatusNoInterface);
    EXPECT_EQ(GetXuControlDirect(&device, 10, buffer.data(), 12), StatusNoInterface);
    EXPECT_EQ(GetXuControlSize(&device, 10, size), StatusNoInterface);
    EXPECT_EQ(GetCameraZoom(&device, value, minimum, maximum, step), StatusNoInterface);
    EXPECT_EQ(SetCameraRoll(&device, 0), StatusNoInterface);
}

TEST_F(XuTransport, GetXuControlSizeWantsMoreDataFromTheSizeQuery)
{
    Use(CameraWithControlSize(64));
    std::uint32_t size = 0;
    EXPECT_EQ(GetXuControlSize(device.get(), 10, size), StatusOk);
    EXPECT_EQ(size, 64u);
    EXPECT_EQ(Kinds(), (Lines{"LEN"}));
    EXPECT_EQ(GetXuControlSize(nullptr, 10, size), StatusFail);

    camera->Config().sizeQuery = sim::SizeQueryAnswer::Ok;
    size = 77;
    EXPECT_EQ(GetXuControlSize(device.get(), 10, size), StatusFail);
    EXPECT_EQ(size, 77u);
    // Another selector is not found: E_FAIL too.
    camera->Config().sizeQuery = sim::SizeQueryAnswer::MoreData;
    EXPECT_EQ(GetXuControlSize(device.get(), 11, size), StatusFail);
    EXPECT_EQ(size, 77u);
}

TEST_F(XuTransport, DirectTransfersSendOneRequestOfTheCallersLength)
{
    Use({});
    EXPECT_EQ(SetXuControlDirect(device.get(), 10, kMenuKey.data(), 12), StatusOk);
    std::array<std::uint8_t, 12> buffer{};
    EXPECT_EQ(GetXuControlDirect(device.get(), 10, buffer.data(), 12), StatusOk);
    EXPECT_EQ(Kinds(), (Lines{"SET", "GET"}));
    EXPECT_EQ(buffer, kMenuKey);
    // A length the control does not take fails, as E_FAIL.
    EXPECT_EQ(SetXuControlDirect(device.get(), 10, kMenuKey.data(), 4), StatusFail);
    EXPECT_EQ(Requests().back().status, StatusInvalidArg);
    EXPECT_EQ(SetXuControlDirect(nullptr, 10, kMenuKey.data(), 12), StatusFail);
    EXPECT_EQ(GetXuControlDirect(nullptr, 10, buffer.data(), 12), StatusFail);
    EXPECT_EQ(GetXuControlDirect(device.get(), 10, nullptr, 12), StatusPointer);
    EXPECT_EQ(Requests().size(), 3u);
}

TEST_F(XuTransport, ZoomKeepsTheLow16BitsAndLeavesOutputsOnFailure)
{
    sim::SimCameraConfig config;
    config.zoom = {70000, -5, 100000, 65537};
    Use(config);
    std::int16_t value = 0, minimum = 0, maximum = 0, step = 0;
    ASSERT_EQ(GetCameraZoom(device.get(), value, minimum, maximum, step), StatusOk);
    EXPECT_EQ(value, 4464);  // 70000 - 65536
    EXPECT_EQ(minimum, -5);
    EXPECT_EQ(maximum, -31072);  // 100000 = 0x186A0 -> 0x86A0
    EXPECT_EQ(step, 1);          // 65537 = 0x10001

    EXPECT_EQ(SetCameraZoom(device.get(), 300), StatusOk);
    EXPECT_EQ(SetCameraZoom(device.get(), 100001), StatusInvalidArg);
    ASSERT_EQ(GetCameraZoom(device.get(), value, minimum, maximum, step), StatusOk);
    EXPECT_EQ(value, 300);
    EXPECT_EQ(SetCameraRoll(device.get(), -90), StatusOk);
    std::int32_t roll = 0, flags = 0;
    EXPECT_EQ(camera->CameraGet(CameraProperty::Roll, roll, flags), StatusOk);
    EXPECT_EQ(roll, -90);
    EXPECT_EQ(camera->CameraControlQueries(), 5);

    camera->Config().failCameraControl = true;
    value = minimum = maximum = step = 7;
    EXPECT_EQ(GetCameraZoom(device.get(), value, minimum, maximum, step), StatusNoInterface);
    EXPECT_EQ(SetCameraZoom(device.get(), 200), StatusNoInterface);
    EXPECT_EQ(SetCameraRoll(device.get(), 0), StatusNoInterface);
    EXPECT_EQ(value + minimum + maximum + step, 28);
    EXPECT_EQ(GetCameraZoom(nullptr, value, minimum, maximum, step), StatusPointer);
}

TEST_F(XuTransport, ZoomReadFailureLeavesOutputsUntouched)
{
    Use({});
    camera->SetPlugged(false);
    std::int16_t value = 7, minimum = 7, maximum = 7, step = 7;
    EXPECT_EQ(GetCameraZoom(device.get(), value, minimum, maximum, step), StatusDeviceNotConnected);
    EXPECT_EQ(value + minimum + maximum + step, 28);
}

}  // namespace
}  // namespace velmora
