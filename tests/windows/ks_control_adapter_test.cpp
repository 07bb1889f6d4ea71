// IKsControl and IAMCameraControl through the capture-device adapter and the xu transport: the
// exact KSP_NODE bytes, flags and lengths of every request, and every reference given back.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "config/xu_identity.h"
#include "platform/windows/com_types.h"
#include "platform/windows/dshow_capture_device.h"
#include "platform/windows/ks_topology.h"
#include "tests/windows/fake_com.h"
#include "xu/register_protocol.h"
#include "xu/xu_transport.h"

namespace velmora::windows {
namespace {

using Bytes = std::vector<std::uint8_t>;
using fakes::FakeCameraControl;
using fakes::FakeFilter;
using fakes::FakeKsControl;
using fakes::KsCall;
using fakes::Make;

// KSP_NODE as the adapter must lay it out: Set, Id, Flags, NodeId, Reserved.
Bytes NodeRequestBytes(const Guid& set, std::uint32_t id, std::uint32_t flags, std::uint32_t node)
{
    Bytes bytes;
    for (std::uint8_t b : GuidBytes(set)) bytes.push_back(b);
    for (std::uint32_t value : {id, flags, node, 0u}) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    return bytes;
}

// The packet of WriteRegister(address 1, data 1, param 0, command 0x16).
const Bytes KeyPacket = {0x26, 0x16, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0xC1};

class KsControlAdapter : public testing::Test {
protected:
    void SetUp() override
    {
        filter = Make<FakeFilter>();
        filter->ks = Make<FakeKsControl>();
        filter->camera = Make<FakeCameraControl>();
        filter->AddRef();  // the adapter's reference, as a moniker's BindToObject gives it
        device = std::make_unique<DirectShowCaptureDevice>(ComPtr<IBaseFilter>(filter.Get()));
        g_xuIdentity = XuIdentity{};
    }

    void TearDown() override
    {
        g_xuIdentity = XuIdentity{};
        EXPECT_EQ(filter->ks->References(), 1u) << "IKsControl not released";
        EXPECT_EQ(filter->camera->References(), 1u) << "IAMCameraControl not released";
        device.reset();
        EXPECT_EQ(filter->References(), 1u);
        filter = {};
        EXPECT_EQ(fakes::LiveObjects(), 0);
    }

    std::vector<KsCall>& Calls() { return filter->ks->calls; }

    ComPtr<FakeFilter> filter;
    std::unique_ptr<DirectShowCaptureDevice> device;
};

TEST_F(KsControlAdapter, DefaultIdentityAddressesNodeOneOfTheDefaultSet)
{
    ASSERT_EQ(WriteRegister(device.get(), 1, 1, 0, 0x16), StatusOk);
    ASSERT_EQ(Calls().size(), 2u);

    const KsCall& size = Calls()[0];
    EXPECT_EQ(size.propertyLength, 32u);
    EXPECT_EQ(size.property, NodeRequestBytes(DefaultXuPropertySet, 10, 0x10000001, 1));
    EXPECT_EQ(size.property, (Bytes{0x92, 0x42, 0x39, 0x46, 0xD0, 0x0C, 0xE3, 0x4A, 0x87, 0x83, 0x31,
                                    0x33, 0xF9, 0xEA, 0xAA, 0x3B, 0x0A, 0x00, 0x00, 0x00, 0x01, 0x00,
                                    0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_FALSE(size.dataPresent);
    EXPECT_EQ(size.dataLength, 0u);

    const KsCall& write = Calls()[1];
    EXPECT_EQ(write.propertyLength, 32u);
    EXPECT_EQ(write.property, NodeRequestBytes(DefaultXuPropertySet, 10, 0x10000002, 1));
    EXPECT_EQ(write.dataLength, 12u);
    EXPECT_EQ(write.dataSent, KeyPacket);
}

TEST_F(KsControlAdapter, ConfiguredSetAndNodeAreUsedUnchanged)
{
    const Guid configured{0x0F3F95DC, 0x2632, 0x4C4E, {0x92, 0xC9, 0xA0, 0x47, 0x82, 0xF4, 0x3B, 0xC8}};
    g_xuIdentity.exId = 4;
    g_xuIdentity.guid = configured;
    Bytes response = {0x26, 0x80, 0x00, 0x00, 0x01, 0x78, 0x01, 0x12, 0x34, 0x56, 0x78, 0x00};
    response[11] = PacketChecksum(response.data(), 11);
    filter->ks->readBytes = response;

    std::uint64_t value = 0;
    ASSERT_EQ(ReadRegister(device.get(), 376, value, 1, 0x00), StatusOk);
    EXPECT_EQ(value, 0x12345678u);
    ASSERT_EQ(Calls().size(), 4u);  // size query and write, size query and read
    const std::uint32_t flags[] = {0x10000001, 0x10000002, 0x10000001, 0x10000001};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Calls()[i].propertyLength, 32u);
        EXPECT_EQ(Calls()[i].property, NodeRequestBytes(configured, 10, flags[i], 4)) << i;
    }
    EXPECT_EQ(Calls()[1].dataSent,
              (Bytes{0x26, 0x80, 0x00, 0x00, 0x01, 0x78, 0x01, 0x00, 0x00, 0x00, 0x00, 0xDF}));
    EXPECT_EQ(Calls()[3].dataLength, 12u);
}

TEST_F(KsControlAdapter, SizeQueryAnswers)
{
    std::uint32_t size = 0;
    filter->ks->controlSize = 64;
    EXPECT_EQ(GetXuControlSize(device.get(), 10, size), StatusOk);
    EXPECT_EQ(size, 64u);

    // Success, or a size of zero, ends a transfer before any data is sent.
    filter->ks->respond = [](const KsCall&, void*, ULONG* returned) {
        *returned = 12;
        return S_OK;
    };
    EXPECT_EQ(SetXuControl(device.get(), 10, KeyPacket.data(), 12), StatusInvalidArg);
    EXPECT_EQ(GetXuControlSize(device.get(), 10, size), StatusFail);
    EXPECT_EQ(size, 64u);
    filter->ks->respond = [](const KsCall&, void*, ULONG* returned) {
        *returned = 0;
        return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
    };
    EXPECT_EQ(SetXuControl(device.get(), 10, KeyPacket.data(), 12), StatusInvalidArg);
    for (const KsCall& call : Calls()) EXPECT_FALSE(call.dataPresent);
}

TEST_F(KsControlAdapter, WritesGoInPiecesOfTheControlSize)
{
    Bytes packet(12);
    std::iota(packet.begin(), packet.end(), std::uint8_t{0xA0});
    struct Case {
        ULONG size;
        std::vector<Bytes> pieces;
    };
    const std::vector<Case> cases = {
        {4, {{0xA0, 0xA1, 0xA2, 0xA3}, {0xA4, 0xA5, 0xA6, 0xA7}, {0xA8, 0xA9, 0xAA, 0xAB}}},
        {5, {{0xA0, 0xA1, 0xA2, 0xA3, 0xA4}, {0xA5, 0xA6, 0xA7, 0xA8, 0xA9}, {0xAA, 0xAB, 0, 0, 0}}},
        {12, {packet}},
        {64, {[&] {
             Bytes padded(64, 0);
             std::copy(packet.begin(), packet.end(), padded.begin());
             return padded;
         }()}},
    };
    for (const Case& c : cases) {
        Calls().clear();
        filter->ks->controlSize = c.size;
        ASSERT_EQ(SetXuControl(device.get(), 10, packet.data(), 12), StatusOk);
        ASSERT_EQ(Calls().size(), 1 + c.pieces.size()) << c.size;
        for (std::size_t i = 0; i < c.pieces.size(); ++i) {
            const KsCall& call = Calls()[1 + i];
            EXPECT_EQ(call.Flags(), 0x10000002u);
            EXPECT_EQ(call.dataLength, c.size);
            EXPECT_EQ(call.dataSent, c.pieces[i]) << "size " << c.size << " piece " << i;
        }
    }
}

TEST_F(KsControlAdapter, ReadsGoInPiecesAndKeepOnlyTheLength)
{
    Bytes control(64);
    std::iota(control.begin(), control.end(), std::uint8_t{1});
    filter->ks->readBytes = control;
    for (ULONG size : {4u, 5u, 12u, 64u}) {
        Calls().clear();
        filter->ks->controlSize = size;
        Bytes buffer(16, 0xEE);
        ASSERT_EQ(GetXuControl(device.get(), 10, buffer.data(), 12), StatusOk);
        const std::size_t pieces = (12 + size - 1) / size;
        ASSERT_EQ(Calls().size(), 1 + pieces);
        for (std::size_t i = 1; i < Calls().size(); ++i) {
            EXPECT_EQ(Calls()[i].Flags(), 0x10000001u);
            EXPECT_EQ(Calls()[i].dataLength, size);
        }
        // Each piece reads the control from its start; only 12 bytes reach the caller.
        for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(buffer[i], control[i % size]) << size << " " << i;
        EXPECT_EQ(buffer[12], 0xEE);
    }
}

TEST_F(KsControlAdapter, FailuresArePassedOnAndNothingMoreIsSent)
{
    filter->ks->controlSize = 4;
    filter->ks->dataStatuses = {S_OK, HRESULT_FROM_WIN32(ERROR_GEN_FAILURE)};
    EXPECT_EQ(SetXuControl(device.get(), 10, KeyPacket.data(), 12), StatusGenFailure);
    EXPECT_EQ(Calls().size(), 3u);

    // A filter without IKsControl or IAMCameraControl.
    ComPtr<FakeKsControl> ks = filter->ks;
    ComPtr<FakeCameraControl> camera = filter->camera;
    filter->ks = {};
    filter->camera = {};
    EXPECT_EQ(SetXuControl(device.get(), 10, KeyPacket.data(), 12), StatusNoInterface);
    std::int16_t value = 0, minimum = 0, maximum = 0, step = 0;
    EXPECT_EQ(GetCameraZoom(device.get(), value, minimum, maximum, step), StatusNoInterface);
    filter->ks = ks;
    filter->camera = camera;
}

TEST_F(KsControlAdapter, ZoomAndRoll)
{
    FakeCameraControl& camera = *filter->camera.Get();
    camera.value = 0x12345;  // does not fit 16 bits
    camera.minimum = 100;
    camera.maximum = 400;
    camera.step = 10;
    camera.defaultValue = 150;
    std::int16_t value = 0, minimum = 0, maximum = 0, step = 0;
    ASSERT_EQ(GetCameraZoom(device.get(), value, minimum, maximum, step), StatusOk);
    EXPECT_EQ(value, 0x2345);
    EXPECT_EQ(minimum, 100);
    EXPECT_EQ(maximum, 400);
    EXPECT_EQ(step, 10);

    EXPECT_EQ(SetCameraZoom(device.get(), 250), StatusOk);
    EXPECT_EQ(SetCameraRoll(device.get(), -90), StatusOk);
    ASSERT_EQ(camera.calls.size(), 4u);
    EXPECT_EQ(camera.calls[0].method, "Get");
    EXPECT_EQ(camera.calls[0].property, 3);
    EXPECT_EQ(camera.calls[1].method, "GetRange");
    EXPECT_EQ(camera.calls[1].property, 3);
    EXPECT_EQ(camera.calls[2].method, "Set");
    EXPECT_EQ(camera.calls[2].property, 3);
    EXPECT_EQ(camera.calls[2].value, 250);
    EXPECT_EQ(camera.calls[2].flags, 2);
    EXPECT_EQ(camera.calls[3].property, 2);
    EXPECT_EQ(camera.calls[3].value, -90);
    EXPECT_EQ(camera.calls[3].flags, 2);

    // A failing GetRange leaves the outputs as they were.
    camera.rangeStatus = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    value = 7;
    EXPECT_EQ(GetCameraZoom(device.get(), value, minimum, maximum, step), StatusNotFound);
    EXPECT_EQ(value, 7);
    camera.setStatus = E_INVALIDARG;
    EXPECT_EQ(SetCameraRoll(device.get(), 1), StatusInvalidArg);
}

TEST_F(KsControlAdapter, ExtensionUnitsFromTheTopology)
{
    // Nodes: camera terminal, processing unit, two extension units; the second carries the set.
    const GUID devSpecific = {STATIC_KSNODETYPE_DEV_SPECIFIC};
    ASSERT_EQ(FromWindowsGuid(devSpecific), KsNodeTypeDevSpecific);
    const GUID topology = {STATIC_KSPROPSETID_Topology};
    ASSERT_EQ(FromWindowsGuid(topology), KsPropertySetTopology);
    const GUID other{0xDFF229E1, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
    const GUID nodes[] = {other, other, devSpecific, devSpecific};
    filter->ks->respond = [&](const KsCall& call, void* data, ULONG* returned) -> HRESULT {
        const Guid set = GuidFromBytes(call.property.data());
        *returned = 0;
        if (set == KsPropertySetTopology) {
            const ULONG size = 8 + sizeof nodes;
            *returned = size;
            if (!data) return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
            const ULONG count = 4;
            auto* bytes = static_cast<std::uint8_t*>(data);
            std::memcpy(bytes, &size, 4);
            std::memcpy(bytes + 4, &count, 4);
            std::memcpy(bytes + 8, nodes, sizeof nodes);
            return S_OK;
        }
        return set == DefaultXuPropertySet && call.NodeId() == 3 ? S_OK
                                                                 : HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
    };

    std::vector<ExtensionUnitInfo> units;
    ASSERT_EQ(device->DescribeExtensionUnits(DefaultXuPropertySet, 3, units), StatusOk);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].nodeId, 2u);
    EXPECT_FALSE(units[0].answersPropertySet);
    EXPECT_EQ(units[1].nodeId, 3u);
    EXPECT_TRUE(units[1].addressed);

    // KSPROPERTY_TOPOLOGY_NODES: KSPROPSETID_Topology, item 1, KSPROPERTY_TYPE_GET.
    ASSERT_EQ(Calls().size(), 4u);
    EXPECT_EQ(Calls()[0].property, NodeRequestBytes(KsPropertySetTopology, 1, 1, 0));
    EXPECT_FALSE(Calls()[0].dataPresent);
    EXPECT_EQ(Calls()[1].dataLength, 8 + sizeof nodes);
    EXPECT_EQ(
        Calls()[2].property,
        NodeRequestBytes(DefaultXuPropertySet, 0, KSPROPERTY_TYPE_SETSUPPORT | KSPROPERTY_TYPE_TOPOLOGY, 2));
    EXPECT_EQ(Calls()[3].NodeId(), 3u);
}

}  // namespace
}  // namespace velmora::windows
