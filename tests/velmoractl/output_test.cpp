// velmoractl's help, and one JSON document on standard output for every command.
#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

class CtlOutputTest : public VelmoractlTest {};

TEST_F(CtlOutputTest, HelpListsEveryCommandAndExitStatus)
{
    const CtlResult result = RunBare({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* command : {"list", "key NAME", "read ADDR", "write ADDR DATA", "read-string",
                                "write-string TEXT", "status", "zoom", "watch", "xu-info", "--backend",
                                "--sim-config", "--device", "--trace", "--json", "Exit status"}) {
        EXPECT_NE(result.out.find(command), std::string::npos) << command;
    }
    EXPECT_TRUE(result.err.empty());
}

TEST_F(CtlOutputTest, CommandHelpHasExamplesAndNeedsNoDevice)
{
    for (const QStringList& arguments : {QStringList{"key", "--help"}, QStringList{"help", "key"}}) {
        const CtlResult result = Run("", arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out.rfind("usage: velmoractl [OPTIONS] key NAME [press|release|click|nudge MS]", 0),
                  0u)
            << result.out;
        EXPECT_NE(result.out.find("velmoractl key zoom-in press"), std::string::npos);
        EXPECT_NE(result.out.find("lock3"), std::string::npos);
    }
    EXPECT_NE(Run("", {"read", "--help"}).out.find("velmoractl read 0x178 --param 1"), std::string::npos);
}

TEST_F(CtlOutputTest, EveryCommandPrintsOneJsonDocument)
{
    const std::string config = Camera("string = hi");
    const QList<QStringList> commands = {
        {"list"},        {"key", "menu"},       {"read", "1"}, {"write", "1", "2"},
        {"read-string"}, {"write-string", "x"}, {"status"},    {"zoom"},
        {"xu-info"},
    };
    for (const QStringList& command : commands) {
        SCOPED_TRACE(command.join(' ').toStdString());
        const CtlResult result = Run(config, QStringList{"--json"} + command);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        const QJsonObject json = result.Json();
        EXPECT_EQ(json["command"].toString(), command.front());
        EXPECT_TRUE(json["ok"].toBool());
        EXPECT_EQ(json["exit"].toInt(), 0);
    }
}

TEST_F(CtlOutputTest, OptionsMayFollowTheCommand)
{
    const CtlResult result = Run(Camera(), {"key", "menu", "--json", "--trace"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.Json()["key"].toString(), "MENUButton");
    EXPECT_EQ(result.TraceLines("SET").size(), 1u);
    // "--" ends the options: a text may start with a dash.
    const CtlResult text = Run(Camera(), {"--trace", "write-string", "--", "-x"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.TraceLines("SET").size(), 4u);
}

// A camera's strings may carry terminal escapes: text output shows control characters (C0, DEL,
// C1) and bytes that are not UTF-8 escaped; other scripts stay as they are.
TEST_F(CtlOutputTest, ACameraStringReachesTheTerminalEscaped)
{
    const std::string config =
        Camera("fail_camera_control = true\nstring = A\x1B]2;x\x07\xFF\x7F\nname = Cam\x1B[2J\xC2\x85 中") +
        "\n";
    EXPECT_EQ(Run(config, {"list"}).out, "0  Cam\\u001b[2J\\u0085 中    VID_ABCD&PID_EF01\n");
    EXPECT_EQ(Run(config, {"read-string"}).out, "A\\u001b]2;x\\u0007\\xff\\u007f\n");
    const std::vector<std::string> error = Run(config, {"zoom"}).MessageLines();
    ASSERT_EQ(error.size(), 1u);
    EXPECT_EQ(
        error[0].rfind("velmoractl: device 0 (Cam\\u001b[2J\\u0085 中    VID_ABCD&PID_EF01): reading", 0), 0u)
        << error[0];
}

}  // namespace
}  // namespace velmoractl_test
