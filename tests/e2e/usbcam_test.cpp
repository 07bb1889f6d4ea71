// The camera emulator on the host: descriptors, control answers, fault knobs and the USB/IP exchange.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/e2e/firmware_adapter.h"
#include "tests/e2e/usbcam_options.h"
#include "tests/e2e/usbip_server.h"
#include "xu/register_packet.h"

namespace velmora::e2e {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr Guid OtherGuid{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

// Records what the camera hands to the firmware; reads answer a fixed pattern.
struct RecordingFirmware : XuFirmware {
    explicit RecordingFirmware(std::vector<Bytes>* writes) : writes(writes) {}
    void Write(const Bytes& bytes) override { writes->push_back(bytes); }
    Bytes Read(std::size_t length) override
    {
        Bytes answer(length, 0);
        for (std::size_t i = 0; i < length && i < 12; ++i) answer[i] = static_cast<std::uint8_t>(0xA0 + i);
        return answer;
    }
    std::vector<Bytes>* writes;
};

CameraModel TwoUnitCamera()
{
    CameraModel model;
    model.units = {{DefaultXuPropertySet, 1, 12}, {OtherGuid, 5, 64}};
    return model;
}

SetupPacket ClassRequest(bool in, std::uint8_t request, std::uint8_t selector, std::uint8_t entity,
                         std::uint16_t length, std::uint8_t interface = VideoControlInterface)
{
    SetupPacket setup;
    setup.requestType = in ? 0xA1 : 0x21;
    setup.request = request;
    setup.value = static_cast<std::uint16_t>(selector << 8);
    setup.index = static_cast<std::uint16_t>((entity << 8) | interface);
    setup.length = length;
    return setup;
}

SetupPacket GetDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t length)
{
    SetupPacket setup;
    setup.requestType = 0x80;
    setup.request = 6;
    setup.value = static_cast<std::uint16_t>((type << 8) | index);
    setup.length = length;
    return setup;
}

class CameraTest : public ::testing::Test {
protected:
    explicit CameraTest(CameraModel model = TwoUnitCamera())
        : camera(
              std::move(model),
              [this](const ExtensionUnitModel&) { return std::make_unique<RecordingFirmware>(&writes); },
              [this](const std::string& line) { log.push_back(line); })
    {
    }
    std::vector<Bytes> writes;
    std::vector<std::string> log;
    UvcCamera camera;
};

TEST(Descriptors, ConfigurationChainsItsLengthsAndNamesEveryUnit)
{
    const CameraModel model = TwoUnitCamera();
    const DescriptorSet set = BuildDescriptors(model);
    ASSERT_EQ(set.device.size(), 18u);
    EXPECT_EQ(set.device[8] | (set.device[9] << 8), 0xABCD);
    EXPECT_EQ(set.device[10] | (set.device[11] << 8), 0xEF01);

    const Bytes& c = set.configuration;
    ASSERT_EQ(c[2] | (c[3] << 8), static_cast<int>(c.size()));
    std::size_t vcHeader = 0, vcEnd = 0, inputHeader = 0, endpoint = 0;
    std::vector<std::size_t> units;
    std::uint8_t ct = 0, ot = 0, otSource = 0;
    for (std::size_t at = 0; at < c.size(); at += c[at]) {
        ASSERT_GE(c[at], 2) << "at " << at;
        ASSERT_LE(at + c[at], c.size()) << "at " << at;
        if (c[at + 1] == 0x04 && c[at + 2] == VideoStreamingInterface && vcEnd == 0) vcEnd = at;
        if (c[at + 1] != 0x24) {
            if (c[at + 1] == 0x05) endpoint = at;
            continue;
        }
        if (vcEnd == 0 && c[at + 2] == 0x01) vcHeader = at;
        if (vcEnd == 0 && c[at + 2] == 0x02) ct = c[at + 3];
        if (vcEnd == 0 && c[at + 2] == 0x06) units.push_back(at);
        if (vcEnd == 0 && c[at + 2] == 0x03) ot = c[at + 3], otSource = c[at + 7];
        if (vcEnd != 0 && c[at + 2] == 0x01) inputHeader = at;
    }
    EXPECT_EQ(c[vcHeader + 5] | (c[vcHeader + 6] << 8), static_cast<int>(vcEnd - vcHeader));
    EXPECT_EQ(c[inputHeader + 4] | (c[inputHeader + 5] << 8), static_cast<int>(endpoint - inputHeader));
    EXPECT_EQ(c[endpoint + 2], StreamingEndpoint);

    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(set.cameraTerminalId, ct);
    EXPECT_EQ(set.outputTerminalId, ot);
    for (std::uint8_t id : {ct, ot}) EXPECT_TRUE(id != 1 && id != 5 && id != 0);
    EXPECT_NE(ct, ot);
    // The first unit reads the camera terminal, the second the first, the output terminal the last.
    const std::size_t first = units[0], second = units[1];
    EXPECT_EQ(c[first + 3], 1);
    EXPECT_EQ(c[first + 22], ct);
    EXPECT_EQ(c[second + 22], 1);
    EXPECT_EQ(otSource, 5);
    // guidExtensionCode in the Windows layout, and selector 10 as bit 9 of bmControls.
    const auto guid = GuidBytes(OtherGuid);
    EXPECT_EQ(Bytes(c.begin() + second + 4, c.begin() + second + 20), Bytes(guid.begin(), guid.end()));
    EXPECT_EQ(c[second + 0], 27);
    EXPECT_EQ(c[second + 23], 2);
    EXPECT_EQ(c[second + 24], 0x00);
    EXPECT_EQ(c[second + 25], 0x02);
}

TEST(Descriptors, ProductStringIsUtf16AndModelsAreValidated)
{
    CameraModel model;
    model.product = "Cam";
    EXPECT_EQ(StringDescriptor(model, 2), (Bytes{8, 3, 'C', 0, 'a', 0, 'm', 0}));
    EXPECT_EQ(StringDescriptor(model, 0), (Bytes{4, 3, 0x09, 0x04}));
    EXPECT_TRUE(StringDescriptor(model, 9).empty());

    EXPECT_NE(ValidateCameraModel(model), "");  // no unit
    model.units = {{DefaultXuPropertySet, 3, 12}, {OtherGuid, 3, 12}};
    EXPECT_NE(ValidateCameraModel(model), "");  // repeated id
    model.units = {{DefaultXuPropertySet, 3, 0}};
    EXPECT_NE(ValidateCameraModel(model), "");  // zero length
    model.units = {{DefaultXuPropertySet, 3, 12}};
    EXPECT_EQ(ValidateCameraModel(model), "");
}

TEST_F(CameraTest, ExtensionUnitAnswersSizeInfoAndRunsTheFirmware)
{
    ControlResult len = camera.Control(ClassRequest(true, UvcGetLen, 10, 5, 2), {});
    EXPECT_FALSE(len.stall);
    EXPECT_EQ(len.data, (Bytes{64, 0}));
    EXPECT_EQ(camera.Control(ClassRequest(true, UvcGetInfo, 10, 1, 1), {}).data, Bytes{0x03});

    Bytes packet(12, 0x26);
    EXPECT_FALSE(camera.Control(ClassRequest(false, UvcSetCur, 10, 1, 12), packet).stall);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], packet);

    const ControlResult read = camera.Control(ClassRequest(true, UvcGetCur, 10, 5, 64), {});
    ASSERT_EQ(read.data.size(), 64u);
    EXPECT_EQ(read.data[0], 0xA0);
    EXPECT_EQ(read.data[63], 0);

    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "XU5.10 GET_LEN 4000 ok");
    EXPECT_EQ(log[2], "XU1.10 SET_CUR 262626262626262626262626 ok");
}

TEST_F(CameraTest, WrongLengthUnknownUnitAndSelectorStallWithTheirErrorCodes)
{
    auto errorCode = [this] { return camera.Control(ClassRequest(true, UvcGetCur, 2, 0, 1), {}).data; };
    EXPECT_TRUE(camera.Control(ClassRequest(false, UvcSetCur, 10, 5, 12), Bytes(12, 0)).stall);
    EXPECT_EQ(errorCode(), Bytes{7});
    EXPECT_TRUE(camera.Control(ClassRequest(true, UvcGetCur, 10, 9, 12), {}).stall);
    EXPECT_EQ(errorCode(), Bytes{5});
    EXPECT_TRUE(camera.Control(ClassRequest(true, UvcGetLen, 11, 1, 2), {}).stall);
    EXPECT_EQ(errorCode(), Bytes{6});
    EXPECT_FALSE(camera.Control(ClassRequest(true, UvcGetLen, 10, 1, 2), {}).stall);
    EXPECT_EQ(errorCode(), Bytes{0});
    EXPECT_TRUE(writes.empty());
}

TEST_F(CameraTest, FaultKnobsActOnceOnTheNextRequestOfTheirKind)
{
    camera.StallNextWrite(2);
    EXPECT_FALSE(camera.Control(ClassRequest(true, UvcGetLen, 10, 1, 2), {}).stall);
    EXPECT_TRUE(camera.Control(ClassRequest(false, UvcSetCur, 10, 1, 12), Bytes(12, 1)).stall);
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(camera.Control(ClassRequest(true, UvcGetCur, 2, 0, 1), {}).data, Bytes{2});
    EXPECT_EQ(log[1], "XU1.10 SET_CUR (fault) 010101010101010101010101 STALL");
    EXPECT_FALSE(camera.Control(ClassRequest(false, UvcSetCur, 10, 1, 12), Bytes(12, 1)).stall);

    camera.StallNextRead(1);
    EXPECT_TRUE(camera.Control(ClassRequest(true, UvcGetCur, 10, 1, 12), {}).stall);
    EXPECT_FALSE(camera.Control(ClassRequest(true, UvcGetCur, 10, 1, 12), {}).stall);

    camera.CorruptNextReadChecksum();
    EXPECT_EQ(camera.Control(ClassRequest(true, UvcGetCur, 10, 1, 12), {}).data[11], 0xAB ^ 0x5A);
    EXPECT_EQ(camera.Control(ClassRequest(true, UvcGetCur, 10, 1, 12), {}).data[11], 0xAB);
}

TEST_F(CameraTest, UnplugIsAskedForOnceAfterTheCountedAnsweredPieces)
{
    auto write = [this] { return camera.Control(ClassRequest(false, UvcSetCur, 10, 1, 12), Bytes(12, 1)); };
    auto read = [this] { return camera.Control(ClassRequest(true, UvcGetCur, 10, 1, 12), {}); };
    camera.UnplugAfterWrites(2);
    camera.UnplugAfterReads(3);
    write();
    read();
    read();
    EXPECT_FALSE(camera.TakeUnplugRequest());
    // A stalled piece never reached the firmware and does not count.
    camera.StallNextWrite(4);
    EXPECT_TRUE(write().stall);
    EXPECT_FALSE(camera.TakeUnplugRequest());
    EXPECT_FALSE(write().stall);
    EXPECT_TRUE(camera.TakeUnplugRequest());
    EXPECT_FALSE(camera.TakeUnplugRequest());
    read();
    EXPECT_TRUE(camera.TakeUnplugRequest());
    write();
    read();
    EXPECT_FALSE(camera.TakeUnplugRequest());
}

TEST_F(CameraTest, StandardRequestsAndZoomAnswerWithinTheirLimits)
{
    EXPECT_EQ(camera.Control(GetDescriptor(1, 0, 8), {}).data.size(), 8u);
    const Bytes config = camera.Control(GetDescriptor(2, 0, 0xFFFF), {}).data;
    EXPECT_EQ(config, camera.Descriptors().configuration);
    EXPECT_TRUE(camera.Control(GetDescriptor(6, 0, 10), {}).stall);  // device qualifier
    EXPECT_TRUE(camera.Control(GetDescriptor(15, 0, 5), {}).stall);  // BOS

    const std::uint8_t ct = camera.Descriptors().cameraTerminalId;
    EXPECT_EQ(camera.Control(ClassRequest(true, UvcGetMax, ZoomAbsoluteSelector, ct, 2), {}).data,
              (Bytes{0xF4, 0x01}));
    EXPECT_TRUE(
        camera.Control(ClassRequest(false, UvcSetCur, ZoomAbsoluteSelector, ct, 2), Bytes{0x00, 0x10}).stall);
    EXPECT_FALSE(
        camera.Control(ClassRequest(false, UvcSetCur, ZoomAbsoluteSelector, ct, 2), Bytes{200, 0}).stall);
    EXPECT_EQ(camera.Control(ClassRequest(true, UvcGetCur, ZoomAbsoluteSelector, ct, 2), {}).data,
              (Bytes{200, 0}));

    const Bytes probe =
        camera.Control(ClassRequest(true, UvcGetDef, 1, 0, 26, VideoStreamingInterface), {}).data;
    ASSERT_EQ(probe.size(), 26u);
    EXPECT_EQ(probe[2], 1);
    EXPECT_EQ(probe[18] | (probe[19] << 8), 160 * 120 * 2);
}

// The kernel's side of the socket pair, played by the test.
class ConnectionTest : public CameraTest {
protected:
    void SetUp() override
    {
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        kernel = pair[1];
        connection = std::make_unique<UsbipConnection>(pair[0], camera);
    }
    void TearDown() override { ::close(kernel); }

    void Submit(std::uint32_t seqnum, std::uint32_t direction, std::uint32_t endpoint,
                const SetupPacket& setup, const Bytes& out, std::int32_t length)
    {
        UsbipCommand command;
        command.command = UsbipCmdSubmit;
        command.seqnum = seqnum;
        command.devid = 65538;
        command.direction = direction;
        command.endpoint = endpoint;
        command.transferLength = length;
        command.setup = setup;
        const auto header = EncodeUsbipCommand(command);
        ASSERT_TRUE(WriteFully(kernel, header.data(), header.size()));
        if (!out.empty()) {
            ASSERT_TRUE(WriteFully(kernel, out.data(), out.size()));
        }
        ASSERT_TRUE(connection->ServeOne());
    }

    UsbipReply Reply(Bytes* data = nullptr)
    {
        std::uint8_t header[UsbipHeaderSize];
        EXPECT_TRUE(ReadFully(kernel, header, sizeof header));
        const UsbipReply reply = ParseUsbipReply(header);
        if (data && reply.actualLength > 0) {
            data->resize(static_cast<std::size_t>(reply.actualLength));
            EXPECT_TRUE(ReadFully(kernel, data->data(), data->size()));
        }
        return reply;
    }

    int kernel = -1;
    std::unique_ptr<UsbipConnection> connection;
};

TEST_F(ConnectionTest, ControlTransfersAnswerWithDataFullLengthOrStall)
{
    Submit(7, UsbipDirIn, 0, ClassRequest(true, UvcGetLen, 10, 1, 2), {}, 2);
    Bytes data;
    UsbipReply reply = Reply(&data);
    EXPECT_EQ(reply.command, UsbipRetSubmit);
    EXPECT_EQ(reply.seqnum, 7u);
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(data, (Bytes{12, 0}));

    const Bytes packet{0x26, 0x16, 0, 0, 0, 1, 0, 0, 0, 0, 5, 0xBD};
    Submit(8, UsbipDirOut, 0, ClassRequest(false, UvcSetCur, 10, 1, 12), packet, 12);
    reply = Reply();
    EXPECT_EQ(reply.seqnum, 8u);
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.actualLength, 12);  // every byte taken: a 0 here makes the driver log a failure
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], packet);

    Submit(9, UsbipDirIn, 0, GetDescriptor(6, 0, 10), {}, 10);
    reply = Reply();
    EXPECT_EQ(reply.status, UsbStatusStall);
    EXPECT_EQ(reply.actualLength, 0);
}

TEST_F(ConnectionTest, HeldBulkTransferIsUnlinkedAndAFinishedOneIsNot)
{
    SetupPacket none;
    Submit(20, UsbipDirIn, 1, none, {}, 38402);
    EXPECT_EQ(connection->PendingTransfers(), 1u);

    UsbipCommand unlink;
    unlink.command = UsbipCmdUnlink;
    unlink.seqnum = 21;
    unlink.unlinkSeqnum = 20;
    auto header = EncodeUsbipCommand(unlink);
    ASSERT_TRUE(WriteFully(kernel, header.data(), header.size()));
    ASSERT_TRUE(connection->ServeOne());
    UsbipReply reply = Reply();
    EXPECT_EQ(reply.command, UsbipRetUnlink);
    EXPECT_EQ(reply.seqnum, 21u);
    EXPECT_EQ(reply.status, UsbStatusUnlinked);
    EXPECT_EQ(connection->PendingTransfers(), 0u);

    unlink.seqnum = 22;
    header = EncodeUsbipCommand(unlink);
    ASSERT_TRUE(WriteFully(kernel, header.data(), header.size()));
    ASSERT_TRUE(connection->ServeOne());
    reply = Reply();
    EXPECT_EQ(reply.seqnum, 22u);
    EXPECT_EQ(reply.status, 0);
}

TEST_F(ConnectionTest, ClosedPeerAndOversizedTransferEndTheConnection)
{
    UsbipCommand command;
    command.command = UsbipCmdSubmit;
    command.direction = UsbipDirOut;
    command.transferLength = 1 << 24;
    const auto header = EncodeUsbipCommand(command);
    ASSERT_TRUE(WriteFully(kernel, header.data(), header.size()));
    EXPECT_FALSE(connection->ServeOne());

    ::shutdown(kernel, SHUT_WR);
    EXPECT_FALSE(connection->ServeOne());
}

Bytes ReadRequest(std::uint32_t address, std::uint8_t command, std::uint8_t param)
{
    const RegisterPacket packet =
        MakeRegisterPacket(static_cast<std::uint8_t>(command | 0x80), address, param, 0);
    return Bytes(packet.begin(), packet.end());
}

TEST(RegisterFirmwareControl, ReadsAnswerThePresetsInChecksummedPacketsOverAnyControlLength)
{
    auto firmware = MakeRegisterFirmware({});
    EXPECT_EQ(firmware->Read(12), Bytes(12, 0));  // nothing requested yet

    firmware->Write(ReadRequest(StatusRegisterFirst + 23, StatusCommand, StatusParam));
    Bytes response = firmware->Read(12);
    RegisterPacket packet;
    std::copy(response.begin(), response.end(), packet.begin());
    EXPECT_TRUE(PacketChecksumMatches(packet));
    EXPECT_EQ(PacketData(packet), StatusRegisterBase + StatusRegisterFirst + 23);

    // A 64-byte control: the packet at the start, zeros after it, both ways.
    Bytes wide = ReadRequest(PresetRegister, 0, 0);
    wide.resize(64, 0);
    firmware->Write(wide);
    response = firmware->Read(64);
    ASSERT_EQ(response.size(), 64u);
    std::copy_n(response.begin(), 12, packet.begin());
    EXPECT_EQ(PacketData(packet), PresetRegisterValue);
    EXPECT_EQ(Bytes(response.begin() + 12, response.end()), Bytes(52, 0));

    // A 5-byte control: three pieces make one request, three reads hand out one response.
    const Bytes request = ReadRequest(StringStartRegister, StringCommand, 0);
    Bytes last(request.begin() + 10, request.end());
    last.resize(5, 0);
    firmware->Write(Bytes(request.begin(), request.begin() + 5));
    firmware->Write(Bytes(request.begin() + 5, request.begin() + 10));
    firmware->Write(last);
    Bytes joined;
    for (int piece = 0; piece < 3; ++piece) {
        const Bytes part = firmware->Read(5);
        joined.insert(joined.end(), part.begin(), part.end());
    }
    std::copy_n(joined.begin(), 12, packet.begin());
    EXPECT_TRUE(PacketChecksumMatches(packet));
    EXPECT_EQ(PacketData(packet), std::string(PresetText).size());
    EXPECT_EQ(Bytes(joined.begin() + 12, joined.end()), Bytes(3, 0));
}

TEST(CameraPower, APulledCameraForgetsAWriteCutBetweenPieces)
{
    CameraModel model;
    model.units = {{DefaultXuPropertySet, 3, 4}};
    UvcCamera camera(model, MakeRegisterFirmware, [](const std::string&) {});
    auto write = [&](const Bytes& piece) { camera.Control(ClassRequest(false, UvcSetCur, 10, 3, 4), piece); };
    Bytes request = ReadRequest(PresetRegister, 0, 0);
    request.resize(16, 0);
    write(Bytes(request.begin(), request.begin() + 4));
    camera.PowerOff();

    for (int piece = 0; piece < 3; ++piece)
        write(Bytes(request.begin() + 4 * piece, request.begin() + 4 * piece + 4));
    Bytes joined;
    for (int piece = 0; piece < 3; ++piece) {
        const Bytes part = camera.Control(ClassRequest(true, UvcGetCur, 10, 3, 4), {}).data;
        joined.insert(joined.end(), part.begin(), part.end());
    }
    RegisterPacket packet;
    std::copy_n(joined.begin(), 12, packet.begin());
    EXPECT_TRUE(PacketChecksumMatches(packet));
    EXPECT_EQ(PacketData(packet), PresetRegisterValue);
}

TEST(EmulatorOptions, UnitsAndIdsParseAndBadValuesAreRefused)
{
    std::string error;
    auto options = ParseEmulatorOptions({}, error);
    ASSERT_TRUE(options);
    ASSERT_EQ(options->camera.units.size(), 1u);
    EXPECT_EQ(options->camera.units[0].guid, DefaultXuPropertySet);
    EXPECT_EQ(options->camera.units[0].controlLength, 12);

    options = ParseEmulatorOptions({"--xu", "{12345678-9abc-def0-0102-030405060708},5,64", "--xu",
                                    GuidText(DefaultXuPropertySet) + ",2", "--vid", "1b3f", "--unplugged"},
                                   error);
    ASSERT_TRUE(options) << error;
    ASSERT_EQ(options->camera.units.size(), 2u);
    EXPECT_EQ(options->camera.units[0].guid, OtherGuid);
    EXPECT_EQ(options->camera.units[0].unitId, 5);
    EXPECT_EQ(options->camera.units[0].controlLength, 64);
    EXPECT_EQ(options->camera.units[1].unitId, 2);
    EXPECT_EQ(options->camera.vendorId, 0x1B3F);
    EXPECT_FALSE(options->plugged);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--xu", "nonsense"},
          {"--xu", GuidText(OtherGuid) + ",0"},
          {"--xu", GuidText(OtherGuid) + ",3,0"},
          {"--vid", "12345"},
          {"--port"},
          {"--bogus", "1"},
          {"--xu", GuidText(OtherGuid) + ",3", "--xu", GuidText(DefaultXuPropertySet) + ",3"}}) {
        EXPECT_FALSE(ParseEmulatorOptions(bad, error)) << bad[0];
        EXPECT_NE(error, "");
    }
}

}  // namespace
}  // namespace velmora::e2e
