// Every failure: a non-zero exit status and one line on standard error naming the device and the cause.
#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

class CtlFailureTest : public VelmoractlTest {
protected:
    // Runs, and checks the exit status and the one error line, which names the device.
    std::string ExpectFailure(const std::string& config, const QStringList& arguments, int exitCode,
                              const std::string& cause)
    {
        const CtlResult result = Run(config, arguments);
        EXPECT_EQ(result.exitCode, exitCode) << result.err;
        const std::vector<std::string> lines = result.MessageLines();
        EXPECT_EQ(lines.size(), 1u) << result.err;
        const std::string line = lines.empty() ? std::string() : lines.back();
        EXPECT_EQ(line.rfind("velmoractl: ", 0), 0u) << line;
        EXPECT_NE(line.find(cause), std::string::npos) << line;
        // The JSON document carries the same cause.
        const QJsonObject json = Run(config, QStringList{"--json"} + arguments).Json();
        EXPECT_FALSE(json["ok"].toBool());
        EXPECT_EQ(json["exit"].toInt(), exitCode);
        EXPECT_EQ(json["error"].toObject()["message"].toString().toStdString(), line.substr(12));
        return line;
    }
};

TEST_F(CtlFailureTest, NoDevice)
{
    ExpectFailure("", {"key", "menu"}, 3, "no capture device found");
    ExpectFailure(Camera(), {"--device", "4", "read", "1"}, 3, "no device 4: 1 capture device(s) listed");
    ExpectFailure(Camera(), {"--device", "/dev/video7", "zoom"}, 3,
                  "no capture device matches --device /dev/video7");
}

TEST_F(CtlFailureTest, EnumerationThatCannotStartIsNamed)
{
    ExpectFailure("[sim]\nfail_enumerator = true\n" + Camera(), {"zoom"}, 3,
                  "the system device enumerator cannot be created");
    const CtlResult list = Run("[sim]\nfail_class_enumerator = true\n" + Camera(), {"list"});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_NE(list.err.find("cannot be enumerated (E_FAIL)"), std::string::npos) << list.err;
}

TEST_F(CtlFailureTest, UnsupportedInterfaceOrUnit)
{
    const std::string line =
        ExpectFailure(Camera("fail_ks_query = true"), {"key", "menu"}, 6, "does not support");
    EXPECT_NE(line.find("device 0 (USB Camera    VID_ABCD&PID_EF01)"), std::string::npos) << line;
    EXPECT_NE(line.find("E_NOINTERFACE"), std::string::npos) << line;
    // The transfer ends with E_INVALIDARG; the camera's own answer to the size query names the cause.
    const std::string unit =
        ExpectFailure(Camera("xu_guid = {00000000-0000-0000-0000-000000000001}"), {"read", "1"}, 6,
                      "no extension unit with the configured property set");
    EXPECT_NE(unit.find("size query answered HRESULT_FROM_WIN32(ERROR_NOT_FOUND)"), std::string::npos)
        << unit;
    ExpectFailure(Camera("fail_camera_control = true"), {"zoom"}, 6, "reading the zoom");
}

TEST_F(CtlFailureTest, DeviceVanished)
{
    const std::string config = Camera("vanished = true");
    ExpectFailure(
        config, {"key", "menu"}, 4,
        "device 0 (USB Camera    VID_ABCD&PID_EF01): key MENUButton press (data 0x05): the device is no "
        "longer connected (the size query answered HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)");
    ExpectFailure(config, {"zoom"}, 4, "the device is no longer connected");
    ExpectFailure(config, {"status"}, 4, "24 of 24 status reads failed");
}

TEST_F(CtlFailureTest, PermissionDeniedSaysWhatWouldFixIt)
{
    const std::string line = ExpectFailure(Camera("ks_query_status = 0x80070005"), {"write", "1", "5"}, 5,
                                           "permission denied: join the 'video' group");
    EXPECT_NE(line.find("platform/linux/ in the source) (E_ACCESSDENIED)"), std::string::npos) << line;
}

TEST_F(CtlFailureTest, SizeQueryWithoutAnswer)
{
    ExpectFailure(
        Camera("size_query = ok"), {"write", "1", "2"}, 7,
        "did not answer the size query as expected (is this the right unit? see 'velmoractl xu-info') "
        "(it answered S_OK; the transfer E_INVALIDARG)");
    ExpectFailure(Camera("size_query = zero"), {"read", "1"}, 7,
                  "(it answered HRESULT_FROM_WIN32(ERROR_MORE_DATA) with size 0; the transfer E_INVALIDARG)");
}

TEST_F(CtlFailureTest, ChecksumMismatch)
{
    ExpectFailure(Camera("corrupt_checksum = true"), {"read", "0x178"}, 8, "failed its checksum (S_FALSE)");
    const std::string line =
        ExpectFailure(Camera("corrupt_checksum = true"), {"status"}, 8, "24 of 24 status reads");
    EXPECT_NE(line.find("status register 376"), std::string::npos) << line;
    // Each register names its own failure on standard output.
    const CtlResult result = Run(Camera("corrupt_checksum = true"), {"status"});
    EXPECT_NE(result.out.find("0x0000018F (399) failed: checksum-mismatch (S_FALSE)"), std::string::npos)
        << result.out;
}

TEST_F(CtlFailureTest, ARequestThatFailsForAnotherReason)
{
    ExpectFailure(Camera("fail_piece = 1"), {"write", "1", "2"}, 1, "the request failed");
}

TEST_F(CtlFailureTest, BadArguments)
{
    const std::string config = Camera();
    ExpectFailure(config, {"frobnicate"}, 2, "unknown command 'frobnicate'");
    ExpectFailure(config, {}, 2, "no command given");
    ExpectFailure(config, {"key", "shutter"}, 2, "unknown key 'shutter'");
    ExpectFailure(config, {"key", "menu", "hold"}, 2, "unknown key action 'hold'");
    ExpectFailure(config, {"key"}, 2, "usage: velmoractl [OPTIONS] key NAME");
    ExpectFailure(config, {"read", "1", "2"}, 2, "unexpected argument '2'");
    ExpectFailure(config, {"read", "0x"}, 2, "'0x' is not a number");
    ExpectFailure(config, {"read", "12z"}, 2, "'12z' is not a number");
    ExpectFailure(config, {"read", "1", "--command", "0x100"}, 2, "--command: '0x100' is out of range");
    ExpectFailure(config, {"zoom", "--param", "1"}, 2, "--param applies to read and write only");
    ExpectFailure(config, {"zoom", "--raw-command"}, 2, "--raw-command applies to read and write only");
    ExpectFailure(config, {"--frob", "list"}, 2, "unknown option --frob");
    ExpectFailure(config, {"list", "--device"}, 2, "option --device needs a value");
    ExpectFailure(config, {"write-string", ""}, 2, "non-empty TEXT");
}

// Bit 7 of the command byte marks a read: a write given such a byte would go out as a read.
TEST_F(CtlFailureTest, ACommandByteThatMakesAWriteARead)
{
    const std::string line = ExpectFailure(Camera(), {"--trace", "write", "1", "2", "--command", "0x96"}, 2,
                                           "--command 0x96 has bit 7 set, which makes the write a read");
    EXPECT_NE(line.find("--raw-command"), std::string::npos) << line;
    EXPECT_TRUE(Run(Camera(), {"--trace", "write", "1", "2", "--command", "0x96"}).TracedWrites().empty());
    const CtlResult raw = Run(Camera(), {"--trace", "write", "1", "2", "--command", "0x96", "--raw-command"});
    EXPECT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_EQ(raw.TracedWrites(), std::vector<std::string>{Packet(0x96, 1, 0, 2)});
}

TEST_F(CtlFailureTest, ABrokenSimulatorConfigurationIsABadArgument)
{
    ExpectFailure("[camera]\nshutter = fast\n", {"list"}, 2, "line 2");
}

// A port that does not exist is a bad argument (whether or not there is a sequencer at all), and so
// is a MIDI mapping file, every bad line of it named.
TEST_F(CtlFailureTest, MidiLearnNamesAMissingPortAndEveryBadMappingLine)
{
    ExpectFailure("", {"midi", "learn", "no-such-port"}, 2, "no MIDI port 'no-such-port'");
    const std::string map = WriteFile("pads.txt", "note 60 live\nnote 61 lve\ncc 200 menu\n");
    const CtlResult result = Run("", {"midi", "learn", "x", "--midi-map", QString::fromStdString(map)});
    EXPECT_EQ(result.exitCode, 2);
    const std::vector<std::string> lines = result.MessageLines();
    ASSERT_EQ(lines.size(), 2u) << result.err;
    EXPECT_NE(lines[0].find("pads.txt: line 2: unknown key 'lve'"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("pads.txt: line 3: cc takes a number from 0 to 127"), std::string::npos)
        << lines[1];
}

}  // namespace
}  // namespace velmoractl_test
