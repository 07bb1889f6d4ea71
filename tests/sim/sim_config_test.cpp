// The simulated cameras' configuration text: the extension-unit, firmware and fault keys.
#include "platform/sim/sim_config.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/sim/sim_backend.h"
#include "xu/register_packet.h"
#include "xu/register_protocol.h"
#include "xu/xu_transport.h"

namespace velmora::sim {
namespace {

TEST(SimConfig, ReadsTheExtensionUnitFirmwareAndFaultKeys)
{
    const std::string text = R"([sim]
trace = /tmp/trace.txt
[camera]
control_size = 0x40
xu_guid = {00112233-4455-6677-8899-AABBCCDDEEFF}
xu_node = 3
zoom = 70000 -5 100000 2
roll = 1 -10 10 1
status = 1 0x2 3
register = 0x300 0xFFFFFFFF
register = 17 4
string = Velmora cam 1
string_length = 9999
size_query = zero
fail_piece = 2
fail_ks_query = true
fail_alloc = yes
fail_camera_control = 1
corrupt_checksum = true
foreign_marker = true
)";
    std::string error;
    const auto world = ParseSimConfig(text, error);
    ASSERT_TRUE(world) << error;
    EXPECT_EQ(world->traceFile, "/tmp/trace.txt");
    ASSERT_EQ(world->cameras.size(), 1u);
    const SimCameraConfig& camera = world->cameras[0];
    EXPECT_EQ(camera.controlSize, 64u);
    EXPECT_EQ(GuidText(camera.xuPropertySet), "00112233-4455-6677-8899-AABBCCDDEEFF");
    EXPECT_EQ(camera.xuNode, 3u);
    EXPECT_EQ(camera.zoom.value, 70000);
    EXPECT_EQ(camera.zoom.minimum, -5);
    EXPECT_EQ(camera.zoom.maximum, 100000);
    EXPECT_EQ(camera.zoom.step, 2);
    EXPECT_EQ(camera.roll.minimum, -10);
    EXPECT_EQ(camera.firmware.statusRegisters[0], 1u);
    EXPECT_EQ(camera.firmware.statusRegisters[1], 2u);
    EXPECT_EQ(camera.firmware.statusRegisters[2], 3u);
    EXPECT_EQ(camera.firmware.statusRegisters[3], 0u);
    EXPECT_EQ(camera.firmware.registers.at(0x300), 0xFFFFFFFFu);
    EXPECT_EQ(camera.firmware.registers.at(17), 4u);
    EXPECT_EQ(camera.firmware.text, "Velmora cam 1");
    EXPECT_EQ(camera.firmware.reportedTextLength, 9999u);
    EXPECT_EQ(camera.sizeQuery, SizeQueryAnswer::Zero);
    EXPECT_EQ(camera.failPiece, 2u);
    EXPECT_TRUE(camera.failKsQuery);
    EXPECT_TRUE(camera.failAlloc);
    EXPECT_TRUE(camera.failCameraControl);
    EXPECT_TRUE(camera.firmware.corruptChecksum);
    EXPECT_TRUE(camera.firmware.foreignMarker);
}

// A section without keys is the camera the window is written for: the window's own transport, with
// its default identity, reaches its 12-byte control and gets a register back in one piece.
TEST(SimConfig, DefaultsMatchARealCamera)
{
    std::string error;
    const auto world = ParseSimConfig("[camera]\n", error);
    ASSERT_TRUE(world) << error;
    SimBackend backend(*world);
    std::unique_ptr<CaptureDevice> device = backend.OpenCaptureDevice(0);
    ASSERT_NE(device, nullptr);
    std::uint32_t size = 0;
    ASSERT_EQ(GetXuControlSize(device.get(), RegisterSelector, size), StatusOk);
    EXPECT_EQ(size, 12u);
    std::uint64_t value = 0;
    ASSERT_EQ(WriteRegister(device.get(), 0x300, 0xCAFEBABE, 0, 0), StatusOk);
    ASSERT_EQ(ReadRegister(device.get(), 0x300, value, 0, 0), StatusOk);
    EXPECT_EQ(value, 0xCAFEBABEu);
    int responses = 0;
    for (const SimRequest& request : backend.Cameras()[0]->Requests()) {
        if (request.IsSizeQuery() || request.IsSet()) continue;
        ++responses;
        EXPECT_EQ(request.bytesReturned, 12u);
    }
    EXPECT_EQ(responses, 1);
}

TEST(SimConfig, BadValuesNameTheirLine)
{
    const struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"control_size = 0", "line 2: expected a control size from 1 to 65535"},
        {"control_size = 65536", "line 2: expected a control size from 1 to 65535"},
        {"control_size = 12x", "line 2: expected a control size from 1 to 65535"},
        {"xu_guid = {00112233-4455}", "line 2: expected a GUID for xu_guid"},
        {"zoom = 1 2 3", "line 2: expected value minimum maximum step for zoom"},
        {"zoom = 1 2 3 4294967296", "line 2: expected value minimum maximum step for zoom"},
        {"status = 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25",
         "line 2: expected 1 to 24 status register values"},
        {"status = 0x100000000", "line 2: expected a 32-bit value, not 0x100000000"},
        {"register = 5", "line 2: expected an address and a 32-bit value"},
        {"size_query = sometimes", "line 2: expected more_data, ok or zero for size_query"},
        {"fail_piece = -1", "line 2: expected a request number for fail_piece"},
        {"fail_alloc = maybe", "line 2: expected a boolean for fail_alloc"},
        {"foreign_marker = 2", "line 2: expected a boolean for foreign_marker"},
    };
    for (const auto& entry : cases) {
        std::string error;
        EXPECT_FALSE(ParseSimConfig(std::string("[camera]\n") + entry.line + "\n", error)) << entry.line;
        EXPECT_EQ(error, entry.error);
    }
}

}  // namespace
}  // namespace velmora::sim
